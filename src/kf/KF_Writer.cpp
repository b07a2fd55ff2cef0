// KF writers: the binary chunk image and the text form.
#include "kf/KF_Writer.h"

#include "kf/KF_Build.h"

#include <charconv>

namespace {

// ---- binary ---------------------------------------------------------------------------------

void putBE32(std::string& out, uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void patchBE32(std::string& out, size_t at, uint64_t v) {
    out[at] = char(v >> 24);
    out[at + 1] = char(v >> 16);
    out[at + 2] = char(v >> 8);
    out[at + 3] = char(v);
}

void putName(std::string& out, const char* name) {
    const size_t n = std::strlen(name);
    out.append(name, n);
    out.append(4 - (n & 3), '\0');  // one to four zero bytes
}

class BinaryWriter {
public:
    explicit BinaryWriter(std::string* error) : m_error(error) {}
    bool node(std::string& out, const KF_Node* n);
    bool data(std::string& out, const KF_Node* owner, int32_t type, int32_t count, const void* d);

    // Starts a chunk and returns where its length goes.
    static size_t open(std::string& out, const char* id) {
        out.append(id, 4);
        const size_t at = out.size();
        putBE32(out, 0);
        return at;
    }
    bool close(std::string& out, size_t at) {
        const uint64_t length = out.size() - at - 4;
        if (length > UINT32_MAX) return fail("the document is too large for the binary form (4 GiB or more)");
        patchBE32(out, at, length);
        return true;
    }
    bool fail(const std::string& message) {
        if (m_error) *m_error = message;
        return false;
    }

private:
    std::string* m_error;
};

bool BinaryWriter::data(std::string& out, const KF_Node* owner, int32_t type, int32_t count, const void* d) {
    if (type == KF_STR) {
        const char* s = static_cast<const char*>(d);
        const size_t n = count > 0 ? size_t(count) : 0;
        if (n && std::memchr(s, 0, n))
            return fail(std::string("string \"") + owner->name + "\" holds a zero byte, which the binary form cannot carry");
        out.append(s, n);
        out.append(4 - (n & 3), '\0');
        return true;
    }
    size_t words = count > 0 ? size_t(count) : 0;
    if (type == KF_FP_C) {
        // The stored blocks, word for word: walk them to find how many words they take.
        const uint32_t* w = static_cast<const uint32_t*>(d);
        size_t pos = 0;
        int64_t samples = 0;
        while (samples < count) {
            const uint32_t n = w[pos + 1];
            samples += n;
            pos += w[pos] == KF_RUN ? 3 : size_t(n) + 2;
        }
        // Blocks of zero samples after the last sample hold nothing and are not written.
        words = pos;
    }
    const uint32_t* w = static_cast<const uint32_t*>(d);
    const size_t at = out.size();
    out.resize(at + words * 4);
    char* p = &out[at];
    for (size_t i = 0; i < words; ++i) {
        const uint32_t v = __builtin_bswap32(w[i]);
        std::memcpy(p + 4 * i, &v, 4);
    }
    return true;
}

bool BinaryWriter::node(std::string& out, const KF_Node* n) {
    if (n->kind == KF_NODE) {
        const size_t at = open(out, "NODE");
        putName(out, n->name);
        for (int32_t i = 0; i < n->a; ++i)
            if (!node(out, n->children[i])) return false;
        return close(out, at);
    }
    if (n->a < 0 || n->a > KF_FP_C) return fail(std::string("value \"") + n->name + "\" has an unknown type");
    const size_t at = open(out, n->kind == KF_VALUE ? "NVAL" : "NARR");
    putName(out, n->name);
    putBE32(out, uint32_t(n->a));
    if (n->kind == KF_VALUE) {
        if (!data(out, n, n->a, n->b, n->data)) return false;
    } else {
        for (int32_t i = 0; i < n->b; ++i) {
            const size_t e = open(out, "AVAL");
            if (!data(out, n, n->a, n->elements[i].count, n->elements[i].data)) return false;
            if (!close(out, e)) return false;
        }
    }
    return close(out, at);
}

// ---- text -----------------------------------------------------------------------------------

class TextWriter {
public:
    TextWriter(std::string& out, std::string* error) : m_out(out), m_error(error) {}
    bool node(const KF_Node* n, int depth);

private:
    bool checkName(const KF_Node* n);
    bool data(const KF_Node* owner, int32_t type, int32_t count, const void* d);
    void indent(int depth) { m_out.append(size_t(depth) * 2, ' '); }
    void putFloat(const uint32_t* w) {
        float f;
        std::memcpy(&f, w, 4);
        char b[32];
        const auto r = std::to_chars(b, b + sizeof b, f);
        m_out.append(b, r.ptr);
    }
    template <class T>
    void putInt(T v) {
        char b[24];
        const auto r = std::to_chars(b, b + sizeof b, v);
        m_out.append(b, r.ptr);
    }
    bool fail(const std::string& message) {
        if (m_error) *m_error = message;
        return false;
    }

    std::string& m_out;
    std::string* m_error;
};

bool TextWriter::checkName(const KF_Node* n) {
    const char* s = n->name;
    if (!*s) return fail("a node without a name cannot be written as text");
    for (const char* p = s; *p; ++p)
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            return fail(std::string("name \"") + s + "\" holds a blank or a line end, which the text form cannot carry");
    if (n->kind != KF_NODE && (*s == '#' || *s == '/' || *s == '{' || *s == '}'))
        return fail(std::string("name \"") + s + "\" would read as a comment or a brace line in the text form");
    return true;
}

bool TextWriter::data(const KF_Node* owner, int32_t type, int32_t count, const void* d) {
    if (type == KF_STR) {
        const char* s = static_cast<const char*>(d);
        const size_t n = count > 0 ? size_t(count) : 0;
        for (size_t i = 0; i < n; ++i)
            if (s[i] == '\r' || s[i] == '\n')
                return fail(std::string("string \"") + owner->name + "\" holds a line end, which the text form cannot carry");
        m_out += '"';
        m_out.append(s, n);
        m_out += '"';
        return true;
    }
    if (type == KF_FP_C && count <= 0) {
        m_out += "RUN 0 0";  // a channel without samples still needs a line of its own
        return true;
    }
    if (count <= 0)
        return fail(std::string("value \"") + owner->name + "\" has no data, which the text form cannot carry");
    const uint32_t* w = static_cast<const uint32_t*>(d);
    if (type == KF_FP_C) {
        size_t pos = 0;
        int64_t samples = 0;
        bool firstBlock = true;
        while (samples < count) {
            const uint32_t marker = w[pos];
            const uint32_t n = w[pos + 1];
            if (!firstBlock) m_out += ' ';
            firstBlock = false;
            m_out += marker == KF_RUN ? "RUN " : "DAT ";
            putInt(n);
            const size_t floats = marker == KF_RUN ? 1 : n;
            for (size_t i = 0; i < floats; ++i) {
                m_out += ' ';
                putFloat(w + pos + 2 + i);
            }
            samples += n;
            pos += floats + 2;
        }
        return true;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (i) m_out += ' ';
        if (type == KF_FP)
            putFloat(w + i);
        else if (type == KF_I4)
            putInt(static_cast<int32_t>(w[i]));
        else
            putInt(w[i]);
    }
    return true;
}

bool TextWriter::node(const KF_Node* n, int depth) {
    if (!checkName(n)) return false;
    indent(depth);
    if (n->kind == KF_NODE) {
        m_out += "{ ";
        m_out += n->name;
        m_out += '\n';
        for (int32_t i = 0; i < n->a; ++i)
            if (!node(n->children[i], depth + 1)) return false;
        indent(depth);
        m_out += "}\n";
        return true;
    }
    const char* type = KF_TypeName(n->a);
    if (!type) return fail(std::string("value \"") + n->name + "\" has an unknown type");
    m_out += n->name;
    m_out += ' ';
    m_out += type;
    m_out += ' ';
    if (n->kind == KF_VALUE) {
        if (!data(n, n->a, n->b, n->data)) return false;
        m_out += '\n';
        return true;
    }
    m_out += "[\n";
    for (int32_t i = 0; i < n->b; ++i) {
        indent(depth + 1);
        if (!data(n, n->a, n->elements[i].count, n->elements[i].data)) return false;
        m_out += '\n';
    }
    indent(depth);
    m_out += "]\n";
    return true;
}

}  // namespace

bool KF_WriteBinary(const KF_Node* root, std::string* out, std::string* error) {
    std::string image;
    BinaryWriter writer(error);
    image.append("FORM");
    putBE32(image, 0);
    image.append("KLMF");
    if (root && root->kind == KF_NODE)
        for (int32_t i = 0; i < root->a; ++i)
            if (!writer.node(image, root->children[i])) return false;
    if (image.size() - 8 > UINT32_MAX) return writer.fail("the document is too large for the binary form (4 GiB or more)");
    patchBE32(image, 4, image.size() - 8);
    *out = std::move(image);
    return true;
}

bool KF_WriteText(const KF_Node* root, std::string* out, std::string* error) {
    // The opening comment also keeps even an empty document above the 12 bytes that form
    // detection needs.
    std::string text = "# KF text document\n";
    TextWriter writer(text, error);
    if (root && root->kind == KF_NODE)
        for (int32_t i = 0; i < root->a; ++i)
            if (!writer.node(root->children[i], 0)) return false;
    *out = std::move(text);
    return true;
}
