// KF documents: the engine's hierarchical scene format, its in-memory model and queries.
//
// A document is a tree of nodes. A group (KF_NODE) holds an ordered list of children; a value
// (KF_VALUE) holds one value type, a count and the data; an array (KF_ARRAY) holds a value type
// and an ordered list of elements, each with its own count and data. Value types:
//   KF_I4   signed 32-bit integers, count = number of integers
//   KF_U4   unsigned 32-bit integers
//   KF_FP   32-bit floats
//   KF_STR  one zero-terminated byte string, count = its length without the zero
//   KF_FP_C run-length coded float channel, count = number of decoded samples. The data is a
//           sequence of 32-bit words in blocks: 0 ("RUN"), n, f = n copies of f; 1 ("DAT"), n,
//           f1 .. fn = those n samples. Channels are sampled by the functions of KF_Channel.h.
//
// Documents come in two encodings with the same content, a line-oriented text form and a
// chunked big-endian binary form ("FORM" .. "KLMF"); KF_Load tells them apart itself.
//
// Memory: a document lives in three pools (every node record, every child pointer, every array
// element) plus, for binary documents, the file buffer that names and data point into, and for
// text documents an arena holding names and data. Everything is released by KF_Free. Pointers
// handed out stay valid until then; a document never changes after loading. All data words are
// 4-byte aligned and in host byte order.
//
// Loading guarantees (both forms): every group is nested at most KF_MAX_DEPTH levels deep
// (root included), every "STR" is zero-terminated at data[count], every "FP_C" is a whole
// sequence of well-formed blocks whose sample counts sum to count.
//
// Failures are logged through the error reporter (kolm::logLine) with the document's own
// message texts. Not reentrant (process-wide message buffers); main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

enum KF_NodeKind : int32_t {
    KF_NODE = 0,   // group
    KF_VALUE = 1,  // one value
    KF_ARRAY = 2,  // array of elements of one value type
};

enum KF_ValueType : int32_t {
    KF_I4 = 0,
    KF_U4 = 1,
    KF_FP = 2,
    KF_STR = 3,
    KF_FP_C = 4,
};

constexpr int KF_MAX_DEPTH = 20;  // levels of groups, the root (level 0) included

// FP_C block markers.
constexpr uint32_t KF_RUN = 0;
constexpr uint32_t KF_DAT = 1;

struct KF_Element {
    int32_t count;  // as the count of a KF_VALUE of the array's type
    void* data;
};

struct KF_Node {
    int32_t kind;      // KF_NODE, KF_VALUE or KF_ARRAY
    const char* name;  // zero-terminated, case-sensitive
    int32_t a;         // KF_NODE: number of children; KF_VALUE, KF_ARRAY: value type
    int32_t b;         // KF_VALUE: count; KF_ARRAY: number of elements; KF_NODE: unused (0)
    union {
        KF_Node** children;    // KF_NODE
        void* data;            // KF_VALUE
        KF_Element* elements;  // KF_ARRAY
    };
};

struct KF_Arena;  // text documents' names and data

struct KF_Document {
    KF_Node* root;   // always a group named "root"; the first record of the node pool
    int form;        // 1 = read from text, 0 = read from binary
    char* buffer;    // binary: the file buffer, names and data point into it; text: null
    KF_Node* nodes;  // node pool, depth-first order, root first
    KF_Node** childPool;
    KF_Element* elementPool;
    int32_t nodeCount;
    int32_t childCount;
    int32_t elementCount;
    KF_Arena* arena;  // text: names and data; binary: realigned data of odd files, or null
};

struct KF_FP2 {
    float x, y;
};
struct KF_FP3 {
    float x, y, z;
};

// Reads the whole file through kfile, detects the form, parses. Null on failure (messages are
// logged; a file that cannot be read fails silently).
KF_Document* KF_Load(const char* path);
// Parses a document already in memory. Takes ownership of `buffer`, which must come from
// std::malloc and hold size + 1 bytes, the last a zero; it is freed on failure.
KF_Document* KF_LoadBuffer(char* buffer, size_t size);
// Copies `size` bytes and parses the copy.
KF_Document* KF_LoadMemory(const void* data, size_t size);
void KF_Free(KF_Document* doc);  // null-safe

KF_Node* KF_Root(KF_Document* doc);  // null for a null document
// First child of a group whose name equals `name` byte for byte; null when there is none, when
// `node` is null or not a group.
KF_Node* KF_Find(KF_Node* node, const char* name);

// Spelling of a value type ("I4", "U4", "FP", "STR", "FP_C"), or null for an unknown code.
const char* KF_TypeName(int32_t type);

// Float readers at a whole sample index. The index is clamped to count - 1 as an unsigned
// number, so any index past the end and any negative index read the last sample.
//   "FP" value: the first floats of the data, whatever the index.
//   "FP_C" value: sample min(index, count - 1); a scalar channel fills every component.
//   Array: elements 0, 1, 2 by the same rules, one per component (KF_GetFP: element 0 only).
// Parts that are missing (short data, count 0, fewer elements, other value types, groups, a
// null node) read 0.
float KF_GetFP(const KF_Node* node, int index);
KF_FP2 KF_GetFP2(const KF_Node* node, int index);
KF_FP3 KF_GetFP3(const KF_Node* node, int index);
