#include "engine/CKeLWKMorphReader.h"

#include "core/KeError.h"

#include <cstring>

namespace kolm {

using namespace irr;

namespace {

constexpr u32 fourCC(const char (&id)[5]) {
    return (u32(u8(id[0])) << 24) | (u32(u8(id[1])) << 16) | (u32(u8(id[2])) << 8) | u32(u8(id[3]));
}

constexpr u32 ID_FORM = fourCC("FORM");
constexpr u32 ID_KMOR = fourCC("KMOR");
constexpr u32 ID_VMOR = fourCC("VMOR");
constexpr u32 ID_NAME = fourCC("NAME");
constexpr u32 ID_MMAP = fourCC("MMAP");

}  // namespace

bool CKeLWKMorphReader::fail(const char* text) {
    m_error = text;
    return false;
}

bool CKeLWKMorphReader::readU32(u32& out) {
    if (limit() - m_pos < 4) return fail("chunk data runs past the end of its chunk");
    const unsigned char* p = m_data + m_pos;
    out = (u32(p[0]) << 24) | (u32(p[1]) << 16) | (u32(p[2]) << 8) | u32(p[3]);
    m_pos += 4;
    return true;
}

bool CKeLWKMorphReader::readF32(f32& out) {
    u32 bits = 0;
    if (!readU32(bits)) return false;
    std::memcpy(&out, &bits, 4);
    return true;
}

u32 CKeLWKMorphReader::beginChunk() {
    if (m_depth == MAX_DEPTH) {
        fail("chunks nested deeper than 32");
        return 0;
    }
    u32 id = 0, size = 0;
    if (!readU32(id) || !readU32(size)) return 0;
    if (size > limit() - m_pos) {
        fail("chunk runs past the end of its parent");
        return 0;
    }
    m_ends[m_depth++] = m_pos + size;
    return id;
}

bool CKeLWKMorphReader::endChunk() {
    if (m_depth == 0) return fail("chunk end without a chunk");
    m_pos = m_ends[--m_depth];
    return true;
}

bool CKeLWKMorphReader::open(const void* data, std::size_t size) {
    if (m_open) return fail("Failed to open Lightwave Load");
    m_data = static_cast<const unsigned char*>(data);
    m_size = data ? size : 0;
    m_pos = 0;
    m_depth = 0;
    m_error.clear();
    const u32 form = beginChunk();
    if (form != ID_FORM) return m_error.empty() ? fail("ID_FORM not found") : false;
    u32 type = 0;
    if (!readU32(type) || type != ID_KMOR) return fail("ID_KMOR not found");
    if (!readU32(m_morphCount) || !readU32(m_maxPoints)) return false;
    printMessage(KE_DEBUG, "CKeLWKMorphReader::open: morph_count = %d, max_points = %d", s32(m_morphCount),
                 s32(m_maxPoints));
    // Every point takes 28 bytes in the file: a larger max_points cannot be true, and sizing the
    // arrays for it would let a few bytes claim gigabytes.
    if (m_maxPoints > m_size / POINT_BYTES) return fail("max_points is larger than the file can hold");
    m_indices.assign(m_maxPoints, 0);
    m_positions.assign(size_t(m_maxPoints) * 3, 0.f);
    m_normals.assign(size_t(m_maxPoints) * 3, 0.f);
    m_current = -1;
    m_numPoints = 0;
    m_name[0] = 0;
    m_open = true;
    return true;
}

void CKeLWKMorphReader::close() {
    m_open = false;
    m_data = nullptr;
    m_size = m_pos = 0;
    m_depth = 0;
    m_indices.clear();
    m_indices.shrink_to_fit();
    m_positions.clear();
    m_positions.shrink_to_fit();
    m_normals.clear();
    m_normals.shrink_to_fit();
}

bool CKeLWKMorphReader::readNext() {
    m_error.clear();
    if (!m_open) return fail("morph file not open");
    if (m_current + 1 >= s32(m_morphCount) || m_current == 0x7FFFFFFF) return false;
    ++m_current;
    m_numPoints = 0;
    m_name[0] = 0;

    if (beginChunk() != ID_VMOR) return m_error.empty() ? fail("ID_VMOR not found") : false;
    if (beginChunk() != ID_NAME) return m_error.empty() ? fail("ID_NAME not found") : false;
    // The name ends at its zero or at the end of the chunk, whichever comes first.
    const std::size_t end = limit();
    std::size_t n = 0;
    while (m_pos + n < end && m_data[m_pos + n] != 0) {
        if (n == std::size_t(MAX_NAME)) return fail("morph name longer than 127 characters");
        ++n;
    }
    std::memcpy(m_name, m_data + m_pos, n);
    m_name[n] = 0;
    if (!endChunk()) return false;

    if (beginChunk() != ID_MMAP) return m_error.empty() ? fail("ID_MMAP not found") : false;
    u32 numPoints = 0;
    if (!readU32(numPoints)) return false;
    printMessage(KE_DEBUG, "CKeLWKMorph::readNext: Morph %d: Name='%s' NumPoints=%d", m_current, m_name,
                 s32(numPoints));
    if (numPoints > m_maxPoints) return fail("morph point count above max_points");
    if (numPoints) {
        if ((limit() - m_pos) / POINT_BYTES < numPoints) return fail("chunk data runs past the end of its chunk");
        for (u32 i = 0; i < numPoints; ++i) {
            readU32(m_indices[i]);
            // Matching walks the points in order: an index out of order or repeated is a broken file.
            if (i && m_indices[i] <= m_indices[i - 1]) return fail("morph point indices not in ascending order");
        }
        for (u32 i = 0; i < numPoints * 3; ++i) readF32(m_positions[i]);
        for (u32 i = 0; i < numPoints * 3; ++i) readF32(m_normals[i]);
    }
    m_numPoints = numPoints;
    return endChunk() && endChunk();
}

}  // namespace kolm
