// KF documents: building the pools, loading with form detection, freeing, queries.
#include "kf/KF_Build.h"
#include "kf/KF_Channel.h"
#include "kf/kfile.h"

#include "core/KeError.h"

#include <cstdarg>
#include <cstdio>
#include <new>

void kfLog(const char* format, ...) {
    char text[kolm::KE_MESSAGE_CAPACITY];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    kolm::logLine("%s", text);
}

// ---- builder ---------------------------------------------------------------------------------

KF_Builder::KF_Builder() {
    m_nodes.reserve(256);
    m_parent.reserve(256);
    m_firstElement.reserve(256);
    m_stack[0] = addNode(KF_NODE, "root", 0);
}

int32_t KF_Builder::addNode(int32_t kind, const char* name, int32_t a) {
    const int32_t index = static_cast<int32_t>(m_nodes.size());
    KF_Node n;
    n.kind = kind;
    n.name = name;
    n.a = a;
    n.b = 0;
    n.data = nullptr;
    m_nodes.push_back(n);
    m_parent.push_back(index == 0 ? -1 : m_stack[m_depth]);
    m_firstElement.push_back(0);
    if (index > 0) m_nodes[m_stack[m_depth]].a++;
    return index;
}

bool KF_Builder::openGroup(const char* name) {
    if (m_depth + 1 >= KF_MAX_DEPTH) return false;
    const int32_t index = addNode(KF_NODE, name, 0);
    m_stack[++m_depth] = index;
    return true;
}

bool KF_Builder::closeGroup() {
    if (m_depth == 0) return false;
    --m_depth;
    return true;
}

void KF_Builder::addValue(const char* name, int32_t type, int32_t count, void* data) {
    const int32_t index = addNode(KF_VALUE, name, type);
    m_nodes[index].b = count;
    m_nodes[index].data = data;
}

void KF_Builder::beginArray(const char* name, int32_t type) {
    m_array = addNode(KF_ARRAY, name, type);
    m_firstElement[m_array] = static_cast<int32_t>(m_elements.size());
}

void KF_Builder::addElement(int32_t count, void* data) {
    m_elements.push_back(KF_Element{count, data});
    m_nodes[m_array].b++;
}

KF_Document* KF_Builder::finish(int form, char* buffer, KF_Arena* arena) {
    const size_t nodeCount = m_nodes.size();
    KF_Document* doc = new KF_Document{};
    doc->form = form;
    doc->nodeCount = static_cast<int32_t>(nodeCount);
    doc->childCount = static_cast<int32_t>(nodeCount - 1);  // every node but the root is a child
    doc->elementCount = static_cast<int32_t>(m_elements.size());
    doc->nodes = static_cast<KF_Node*>(std::malloc(nodeCount * sizeof(KF_Node)));
    doc->childPool = static_cast<KF_Node**>(std::malloc((nodeCount - 1 + 1) * sizeof(KF_Node*)));
    doc->elementPool = static_cast<KF_Element*>(std::malloc((m_elements.size() + 1) * sizeof(KF_Element)));
    if (!doc->nodes || !doc->childPool || !doc->elementPool) {
        std::free(doc->nodes);
        std::free(doc->childPool);
        std::free(doc->elementPool);
        delete doc;
        throw std::bad_alloc();
    }
    std::memcpy(doc->nodes, m_nodes.data(), nodeCount * sizeof(KF_Node));
    if (!m_elements.empty())
        std::memcpy(doc->elementPool, m_elements.data(), m_elements.size() * sizeof(KF_Element));

    // Nodes are in depth-first order, so a group's slots are handed out when it is met and
    // filled by its children, which all follow it in order. m_firstElement doubles as the fill
    // position of each group.
    size_t slot = 0;
    KF_Node* pool = doc->nodes;
    for (size_t j = 0; j < nodeCount; ++j) {
        KF_Node& n = pool[j];
        if (j > 0) {
            const int32_t p = m_parent[j];
            pool[p].children[m_firstElement[p]++] = &n;
        }
        if (n.kind == KF_NODE) {
            n.children = doc->childPool + slot;
            m_firstElement[j] = 0;
            slot += static_cast<size_t>(n.a);
        } else if (n.kind == KF_ARRAY) {
            n.elements = doc->elementPool + m_firstElement[j];
        }
    }
    doc->root = pool;
    doc->buffer = buffer;
    doc->arena = arena;
    return doc;
}

int64_t kfChannelCount(const uint32_t* words, size_t count) {
    size_t pos = 0;
    int64_t total = 0;
    while (pos < count) {
        if (count - pos < 2) return -1;
        const uint32_t marker = words[pos];
        const uint32_t n = words[pos + 1];
        uint64_t blockWords;
        if (marker == KF_RUN)
            blockWords = 3;
        else if (marker == KF_DAT)
            blockWords = uint64_t(n) + 2;
        else
            return -1;
        if (blockWords > count - pos) return -1;
        total += n;
        if (total > INT32_MAX) return -1;
        pos += static_cast<size_t>(blockWords);
    }
    return total;
}

// ---- loading --------------------------------------------------------------------------------

namespace {

bool isBinaryHeader(const char* b) {
    return std::memcmp(b, "FORM", 4) == 0 && std::memcmp(b + 8, "KLMF", 4) == 0;
}

uint32_t readBE32(const char* p) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    return (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | uint32_t(u[3]);
}

void notKF() { kfLog("Error, Not a KF file\n"); }

}  // namespace

KF_Document* KF_LoadBuffer(char* buffer, size_t size) {
    if (!buffer) return nullptr;
    KF_Document* doc = nullptr;
    try {
        if (size < 12) {
            kfLog("Error, file size < 12 bytes\n");
            notKF();
        } else if (isBinaryHeader(buffer)) {
            if (uint64_t(readBE32(buffer + 4)) + 8 == uint64_t(size)) {
                doc = kfReadBinary(buffer, size);
                if (doc) return doc;  // the document owns the buffer now
            } else {
                kfLog("Error, KF binary FORM size mismatch file size\n");
                notKF();
            }
        } else {
            bool text = true;
            for (int i = 0; i < 12; ++i)
                if (static_cast<unsigned char>(buffer[i]) < 9) text = false;
            if (text) {
                doc = kfReadText(buffer, size);
            } else {
                kfLog("Error, file is not KF format\n");
                notKF();
            }
        }
    } catch (const std::bad_alloc&) {
        kfLog("Error, out of memory reading KF document\n");
        doc = nullptr;
    }
    std::free(buffer);
    return doc;
}

KF_Document* KF_LoadMemory(const void* data, size_t size) {
    char* copy = static_cast<char*>(std::malloc(size + 1));
    if (!copy) return nullptr;
    if (size) std::memcpy(copy, data, size);
    copy[size] = '\0';
    return KF_LoadBuffer(copy, size);
}

KF_Document* KF_Load(const char* path) {
    size_t size = 0;
    char* buffer = kfile_read_all(path, &size);
    if (!buffer) return nullptr;
    return KF_LoadBuffer(buffer, size);
}

void KF_Free(KF_Document* doc) {
    if (!doc) return;
    delete doc->arena;
    std::free(doc->buffer);
    std::free(doc->nodes);
    std::free(doc->childPool);
    std::free(doc->elementPool);
    delete doc;
}

// ---- queries --------------------------------------------------------------------------------

KF_Node* KF_Root(KF_Document* doc) { return doc ? doc->root : nullptr; }

KF_Node* KF_Find(KF_Node* node, const char* name) {
    if (!node || !name || node->kind != KF_NODE || node->a <= 0) return nullptr;
    for (int32_t i = 0; i < node->a; ++i) {
        KF_Node* child = node->children[i];
        if (std::strcmp(child->name, name) == 0) return child;
    }
    return nullptr;
}

const char* KF_TypeName(int32_t type) {
    static const char* const names[] = {"I4", "U4", "FP", "STR", "FP_C"};
    return type >= 0 && type <= KF_FP_C ? names[type] : nullptr;
}

namespace {

float floatAt(const void* data, int32_t i) {
    float f;
    std::memcpy(&f, static_cast<const char*>(data) + 4 * size_t(i), 4);
    return f;
}

// Component k of a value's data read at a whole sample index: float k of "FP" data, or the
// clamped sample of a channel (the same for every k). 0 for anything missing.
float componentAt(int32_t type, int32_t count, const void* data, int k, int index) {
    if (type == KF_FP) return k < count ? floatAt(data, k) : 0.0f;
    if (type != KF_FP_C || count <= 0) return 0.0f;
    uint32_t i = static_cast<uint32_t>(index);
    if (i > uint32_t(count) - 1) i = uint32_t(count) - 1;
    KF_Cursor cursor = {static_cast<const uint32_t*>(data), 0};
    return KF_ChannelSample(data, i, &cursor);
}

// Component k of a node: a value's data, or element k of an array (first float for "FP").
float nodeComponent(const KF_Node* node, int k, int index) {
    if (!node) return 0.0f;
    if (node->kind == KF_VALUE) return componentAt(node->a, node->b, node->data, k, index);
    if (node->kind == KF_ARRAY && k < node->b) {
        const KF_Element& e = node->elements[k];
        return componentAt(node->a, e.count, e.data, 0, index);
    }
    return 0.0f;
}

}  // namespace

float KF_GetFP(const KF_Node* node, int index) { return nodeComponent(node, 0, index); }

KF_FP2 KF_GetFP2(const KF_Node* node, int index) {
    return KF_FP2{nodeComponent(node, 0, index), nodeComponent(node, 1, index)};
}

KF_FP3 KF_GetFP3(const KF_Node* node, int index) {
    return KF_FP3{nodeComponent(node, 0, index), nodeComponent(node, 1, index), nodeComponent(node, 2, index)};
}
