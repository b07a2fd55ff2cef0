// Internal to the KF library: the arena of text documents, the tree builder both readers use,
// and the readers' entry points. Not for use outside src/kf.
#pragma once

#include "kf/KF_Document.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// Bump allocator for names and data: a few large blocks instead of one allocation per token.
// Every allocation is 4-byte aligned.
struct KF_Arena {
    KF_Arena() = default;
    KF_Arena(const KF_Arena&) = delete;
    KF_Arena& operator=(const KF_Arena&) = delete;
    ~KF_Arena() {
        while (head) {
            Block* next = head->next;
            std::free(head);
            head = next;
        }
    }

    // Contiguous room for n bytes; only the part passed to commit() is kept.
    char* reserve(size_t n) {
        n = (n + 3) & ~size_t(3);
        if (!head || head->cap - head->used < n) grow(n);
        return data(head) + head->used;
    }
    void commit(size_t n) { head->used += (n + 3) & ~size_t(3); }
    char* alloc(size_t n) {
        char* p = reserve(n);
        commit(n);
        return p;
    }
    char* copyString(const char* s, size_t n) {
        char* p = alloc(n + 1);
        std::memcpy(p, s, n);
        p[n] = '\0';
        return p;
    }
    // Size hint for the first block (e.g. from the file size); later blocks double.
    void hint(size_t n) { nextSize = n < 4096 ? 4096 : n; }

private:
    struct Block {
        Block* next;
        size_t cap;
        size_t used;
        size_t pad;  // keeps the data 8-byte aligned
    };
    static char* data(Block* b) { return reinterpret_cast<char*>(b + 1); }
    void grow(size_t n) {
        size_t cap = nextSize;
        if (cap < n) cap = n;
        Block* b = static_cast<Block*>(std::malloc(sizeof(Block) + cap));
        if (!b) throw std::bad_alloc();
        b->next = head;
        b->cap = cap;
        b->used = 0;
        head = b;
        if (nextSize < (size_t(64) << 20)) nextSize *= 2;
    }
    Block* head = nullptr;
    size_t nextSize = 64 * 1024;
};

// Collects nodes in document order (which is depth-first order, root first) and turns them into
// the pooled document at the end. Children refer to their parent by index.
class KF_Builder {
public:
    KF_Builder();

    int depth() const { return m_depth; }
    // Opens a group below the current one; false when that would exceed KF_MAX_DEPTH levels.
    bool openGroup(const char* name);
    // Closes the current group; false at the root.
    bool closeGroup();
    void addValue(const char* name, int32_t type, int32_t count, void* data);
    void beginArray(const char* name, int32_t type);
    void addElement(int32_t count, void* data);  // to the array begun last

    // Builds the pools. The document takes `buffer` and `arena` (either may be null).
    KF_Document* finish(int form, char* buffer, KF_Arena* arena);

private:
    int32_t addNode(int32_t kind, const char* name, int32_t a);
    std::vector<KF_Node> m_nodes;
    std::vector<int32_t> m_parent;
    std::vector<int32_t> m_firstElement;  // arrays: index of their first element
    std::vector<KF_Element> m_elements;
    int32_t m_stack[KF_MAX_DEPTH];
    int m_depth = 0;
    int32_t m_array = -1;
};

// FP_C words: the number of decoded samples, or -1 when the words are not a whole sequence of
// blocks with markers 0 or 1 and a total that fits in int32.
int64_t kfChannelCount(const uint32_t* words, size_t count);

// Readers. Both leave `buffer` to the caller on failure; the binary reader takes it into the
// document on success.
KF_Document* kfReadText(const char* text, size_t size);
KF_Document* kfReadBinary(char* buffer, size_t size);

// Message helper: every text the library logs goes through here.
void kfLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
