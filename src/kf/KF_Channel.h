// Animation channels: sampling "FP_C" data at whole and fractional frames.
//
// A channel stores one sample per whole frame (sample i belongs to frame i), run-length coded
// (see KF_Document.h). Samples are never decoded into a flat array: lookups walk the blocks from
// the start, and the second neighbour continues from the first one's block. Nothing here
// allocates. Frames are floats in the document's frame numbering; rotation angles are radians.
//
// Outside its samples a channel holds its first value (frames <= 0, and NaN) and its last value
// (frames >= count - 1); a channel without samples reads 0.
#pragma once

#include "kf/KF_Document.h"

// Where a lookup stopped: the block and the index of its first sample. Start from {data, 0}.
struct KF_Cursor {
    const uint32_t* block;
    uint32_t first;
};

// Sample `index` of coded data, continuing from the cursor's block (which must not lie past the
// sample). `index` must be below the channel's count. The cursor is left on the block found.
float KF_ChannelSample(const void* data, uint32_t index, KF_Cursor* cursor);

struct KF_Split {
    int32_t i;    // lower sample index
    float lo;     // sample i
    float hi;     // sample i + 1 (equal to lo when clamped)
    int clamped;  // 1 when the frame lay outside (0, count - 1) or the channel is empty
};

// Splits a channel of `count` samples at *frame. A clamped frame is written back (0 or
// count - 1).
KF_Split KF_ChannelSplit(int32_t count, const void* data, float* frame);

// Value at a fractional frame.
//   KF_FP_Lerp: "FP" value: its first float; "FP_C" value: the interpolated channel.
//     Arrays log "KF_FP_Lerp not supported on array\n" and give 0.
//   KF_FP2_Lerp / KF_FP3_Lerp: "FP" value: its first two / three floats; "FP_C" array of
//     exactly two / three elements: each element interpolated at the frame. Anything else logs
//     its "unsupported" message and gives zeros.
float KF_FP_Lerp(const KF_Node* node, float frame);
KF_FP2 KF_FP2_Lerp(const KF_Node* node, float frame);
KF_FP3 KF_FP3_Lerp(const KF_Node* node, float frame);

// Rotation given as heading, pitch, bank (radians; a constant "FP" triple or a three-element
// "FP_C" array) turned into XYZ Euler angles (radians) for the engine's nodes: the result
// (x, y, z) describes Rz(z)·Ry(y)·Rx(x), which equals Ry(heading)·Rx(pitch)·Rz(bank). Between
// keys the rotation is interpolated spherically along the shorter way; the blend of the two
// key quaternions is deliberately not renormalised before it is turned back into angles.
// Anything else logs its "unsupported" message and gives zeros.
KF_FP3 KF_FP3_Slerp_HPB_To_XYZ(const KF_Node* node, float frame);
