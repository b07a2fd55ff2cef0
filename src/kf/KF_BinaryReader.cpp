// KF binary form: nested big-endian chunks inside "FORM" .. "KLMF".
//
// The document keeps the file buffer: names point into it and data words are swapped to host
// order in place. Every chunk header and content is checked against the end of the chunk or
// file that holds it (in 64 bits) before anything inside it is read or swapped.
#include "kf/KF_Build.h"

#include <memory>

namespace {

constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) |
           uint32_t(uint8_t(d));
}
constexpr uint32_t ID_NODE = fourCC('N', 'O', 'D', 'E');
constexpr uint32_t ID_NVAL = fourCC('N', 'V', 'A', 'L');
constexpr uint32_t ID_NARR = fourCC('N', 'A', 'R', 'R');
constexpr uint32_t ID_AVAL = fourCC('A', 'V', 'A', 'L');

uint32_t be32(const char* p) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    return (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | uint32_t(u[3]);
}

class BinaryReader {
public:
    BinaryReader(char* buffer, size_t size) : m_buf(buffer), m_size(size) {}
    KF_Document* run();

private:
    // Name field at the start of a content of `length` bytes: the name, its zero byte and
    // padding to the next multiple of 4. Returns the field size, or 0 after logging.
    uint64_t nameField(uint64_t content, uint64_t length);
    // Data of a value or element: `length` bytes at `offset`.
    bool data(int32_t type, uint64_t offset, uint64_t length, int32_t* count, void** out);

    char* m_buf;
    size_t m_size;
    int m_depth = 0;
    KF_Builder m_builder;
    std::unique_ptr<KF_Arena> m_arena;  // only for data at unaligned offsets
};

uint64_t BinaryReader::nameField(uint64_t content, uint64_t length) {
    const void* zero = std::memchr(m_buf + content, 0, static_cast<size_t>(length));
    if (!zero) {
        kfLog("name without zero byte at level %d\n", m_depth);
        return 0;
    }
    const uint64_t nameLength = static_cast<uint64_t>(static_cast<const char*>(zero) - (m_buf + content));
    const uint64_t field = (nameLength & ~uint64_t(3)) + 4;
    if (field > length) {
        kfLog("exceed chunk size at level %d\n", m_depth);
        return 0;
    }
    return field;
}

bool BinaryReader::data(int32_t type, uint64_t offset, uint64_t length, int32_t* count, void** out) {
    char* p = m_buf + offset;
    if (type == KF_STR) {
        const void* zero = std::memchr(p, 0, static_cast<size_t>(length));
        if (!zero) {
            kfLog("string without zero byte at level %d\n", m_depth);
            return false;
        }
        *count = static_cast<int32_t>(static_cast<const char*>(zero) - p);
        *out = p;
        return true;
    }
    const size_t words = static_cast<size_t>(length / 4);  // a partial last word is ignored
    uint32_t* w;
    if ((reinterpret_cast<uintptr_t>(p) & 3) == 0) {
        w = reinterpret_cast<uint32_t*>(p);
    } else {
        // A writer that did not pad its strings leaves later data unaligned: keep an aligned
        // copy so that every reader of the document may load words directly.
        if (!m_arena) m_arena.reset(new KF_Arena);
        w = reinterpret_cast<uint32_t*>(m_arena->alloc(words * 4));
        if (words) std::memcpy(w, p, words * 4);
    }
    for (size_t i = 0; i < words; ++i) w[i] = __builtin_bswap32(w[i]);
    if (type == KF_FP_C) {
        const int64_t samples = kfChannelCount(w, words);
        if (samples < 0) {
            kfLog("malformed FP_C channel at level %d\n", m_depth);
            return false;
        }
        *count = static_cast<int32_t>(samples);
    } else {
        *count = static_cast<int32_t>(words);
    }
    *out = w;
    return true;
}

KF_Document* BinaryReader::run() {
    uint64_t ends[KF_MAX_DEPTH];
    ends[0] = m_size;
    uint64_t pos = 12;
    for (;;) {
        // Close every level that ends here.
        while (pos == ends[m_depth]) {
            if (m_depth == 0) {
                KF_Document* doc = m_builder.finish(0, m_buf, m_arena.get());  // may throw
                m_arena.release();
                return doc;
            }
            m_builder.closeGroup();
            --m_depth;
        }
        const uint64_t end = ends[m_depth];
        if (end - pos < 8) {
            kfLog("exceed chunk size at level %d\n", m_depth);
            return nullptr;
        }
        const uint32_t id = be32(m_buf + pos);
        const uint64_t length = be32(m_buf + pos + 4);
        if (id != ID_NODE && id != ID_NVAL && id != ID_NARR) {
            kfLog("unknown chunk ID 0x%8x\n", id);
            return nullptr;
        }
        const uint64_t content = pos + 8;
        const uint64_t chunkEnd = content + length;
        if (chunkEnd > end) {
            kfLog("exceed chunk size at level %d\n", m_depth);
            return nullptr;
        }
        const uint64_t field = nameField(content, length);
        if (!field) return nullptr;
        const char* name = m_buf + content;

        if (id == ID_NODE) {
            if (!m_builder.openGroup(name)) {
                kfLog("groups nested deeper than %d levels at level %d\n", KF_MAX_DEPTH, m_depth);
                return nullptr;
            }
            ++m_depth;
            ends[m_depth] = chunkEnd;
            pos = content + field;
            continue;
        }

        // NVAL and NARR: a type code follows the name field.
        if (length - field < 4) {
            kfLog("exceed chunk size at level %d\n", m_depth);
            return nullptr;
        }
        const uint32_t type = be32(m_buf + content + field);
        if (type > uint32_t(KF_FP_C)) {
            kfLog("unknown value type %u at level %d\n", type, m_depth);
            return nullptr;
        }
        const uint64_t body = content + field + 4;
        if (id == ID_NVAL) {
            int32_t count = 0;
            void* out = nullptr;
            if (!data(static_cast<int32_t>(type), body, chunkEnd - body, &count, &out)) return nullptr;
            m_builder.addValue(name, static_cast<int32_t>(type), count, out);
        } else {
            m_builder.beginArray(name, static_cast<int32_t>(type));
            uint64_t at = body;
            while (at < chunkEnd) {
                if (chunkEnd - at < 8) {
                    kfLog("exceed array size at level %d\n", m_depth);
                    return nullptr;
                }
                const uint32_t elementId = be32(m_buf + at);
                if (elementId != ID_AVAL) {
                    kfLog("expected AVAL chunk, found 0x%8x\n", elementId);
                    return nullptr;
                }
                const uint64_t elementLength = be32(m_buf + at + 4);
                if (at + 8 + elementLength > chunkEnd) {
                    kfLog("exceed array size at level %d\n", m_depth);
                    return nullptr;
                }
                int32_t count = 0;
                void* out = nullptr;
                if (!data(static_cast<int32_t>(type), at + 8, elementLength, &count, &out)) return nullptr;
                m_builder.addElement(count, out);
                at += 8 + elementLength;
            }
        }
        pos = chunkEnd;
    }
}

}  // namespace

KF_Document* kfReadBinary(char* buffer, size_t size) {
    BinaryReader reader(buffer, size);
    return reader.run();
}
