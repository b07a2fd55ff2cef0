#include "engine/KeXReader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>
#include <type_traits>

#include <zlib.h>

// Index
//   header and MSZIP inflation
//   tokens: text scanner, binary scanner
//   data objects: one grammar for both encodings
//   keXRead

namespace kolm {

const KeXObject* KeXObject::child(const char* childType) const {
    for (const auto& c : children)
        if (!c->reference && c->type == childType) return c.get();
    return nullptr;
}

namespace {

constexpr size_t kHeaderSize = 16;
// MSZIP: every block starts a new deflate stream that may refer back this far into the
// output of the blocks before it.
constexpr size_t kMsZipWindow = 32768;

uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t rd32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Compressed body: u32 size of the whole uncompressed file (header included), then blocks of
// (u16 uncompressed size, u16 compressed size counting the "CK" signature, "CK", deflate data).
bool inflateMsZip(const uint8_t* data, size_t size, std::string& out, KeXReadError& error) {
    if (size < 4) {
        error.message = "Compressed x file has no size";
        return false;
    }
    const uint32_t declared = rd32(data);
    if (declared < kHeaderSize) {
        error.message = "Compressed x file declares a size smaller than its header";
        return false;
    }
    const size_t expected = declared - kHeaderSize;
    out.clear();
    z_stream zs;
    std::memset(&zs, 0, sizeof(zs));
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
        error.message = "Cannot start inflating the compressed x file";
        return false;
    }
    size_t pos = 4;
    bool ok = true;
    while (pos < size && ok) {
        if (size - pos < 6) {
            error.message = "Truncated block header in compressed x file";
            error.binary = true;
            error.position = uint32_t(pos);
            ok = false;
            break;
        }
        const uint16_t plain = rd16(data + pos);
        const uint16_t packed = rd16(data + pos + 2);
        if (packed < 2 || data[pos + 4] != 'C' || data[pos + 5] != 'K' || size - pos - 4 < packed ||
            out.size() + plain > expected) {
            error.message = "Broken block in compressed x file";
            error.binary = true;
            error.position = uint32_t(pos);
            ok = false;
            break;
        }
        inflateReset(&zs);
        if (!out.empty()) {
            const size_t window = out.size() < kMsZipWindow ? out.size() : kMsZipWindow;
            inflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(out.data() + out.size() - window), uInt(window));
        }
        const size_t start = out.size();
        out.resize(start + plain);
        zs.next_in = const_cast<Bytef*>(data + pos + 6);
        zs.avail_in = uInt(packed - 2);
        zs.next_out = reinterpret_cast<Bytef*>(&out[start]);
        zs.avail_out = uInt(plain);
        const int rc = inflate(&zs, Z_FINISH);
        if ((rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && zs.avail_out == 0)) || zs.avail_out != 0) {
            error.message = "Broken deflate data in compressed x file";
            error.binary = true;
            error.position = uint32_t(pos);
            ok = false;
            break;
        }
        pos += 4 + size_t(packed);
    }
    inflateEnd(&zs);
    if (ok && out.size() != expected) {
        error.message = "Compressed x file is shorter than its declared size";
        ok = false;
    }
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Tokens

enum class Tok {
    End,
    Name,
    String,
    Number,     // text: one number
    IntList,    // binary: `count` u32 values at `data`
    FloatList,  // binary: `count` floats of the document's float size at `data`
    Guid,
    LBrace,
    RBrace,
    Semicolon,
    Comma,
    Template,
    Other,  // punctuation and type keywords that only occur inside templates
    Error,
};

struct Token {
    Tok kind = Tok::End;
    const char* text = nullptr;  // Name, String
    size_t length = 0;
    double number = 0;           // Number
    const uint8_t* data = nullptr;  // IntList, FloatList
    uint32_t count = 0;
    uint32_t position = 0;  // line (text) or offset (binary)
};

// Powers of ten (exact as doubles up to 1e22) and their reciprocals.
const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

const double kNegPow10[] = {1e-0,  1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,  1e-8,  1e-9,  1e-10, 1e-11,
                            1e-12, 1e-13, 1e-14, 1e-15, 1e-16, 1e-17, 1e-18, 1e-19, 1e-20, 1e-21, 1e-22};

// Character classes of the text encoding.
enum : uint8_t { kSpace = 1, kDelimiter = 2, kNumberStart = 4 };

struct CharClasses {
    uint8_t of[256] = {};
    constexpr CharClasses() {
        for (char c : {' ', '\t', '\n', '\r', '\f', '\v', '\0'}) of[uint8_t(c)] = kSpace | kDelimiter;
        for (char c : {'{', '}', ';', ',', '"', '<'}) of[uint8_t(c)] = kDelimiter;
        for (char c = '0'; c <= '9'; ++c) of[uint8_t(c)] = kNumberStart;
        for (char c : {'-', '+', '.'}) of[uint8_t(c)] = kNumberStart;
    }
};
constexpr CharClasses kClasses;

inline uint8_t classOf(char c) { return kClasses.of[uint8_t(c)]; }

class TextScanner {
public:
    TextScanner(const char* begin, const char* end) : m_p(begin), m_end(end) {}

    Token next() {
        skipSpace();
        Token t;
        t.position = m_line;
        if (m_p >= m_end) return t;
        const char c = *m_p;
        switch (c) {
            case '{': ++m_p; t.kind = Tok::LBrace; return t;
            case '}': ++m_p; t.kind = Tok::RBrace; return t;
            case ';': ++m_p; t.kind = Tok::Semicolon; return t;
            case ',': ++m_p; t.kind = Tok::Comma; return t;
            case '"': {
                const char* start = ++m_p;
                while (m_p < m_end && *m_p != '"') {
                    if (*m_p == '\n') ++m_line;
                    ++m_p;
                }
                if (m_p >= m_end) {
                    t.kind = Tok::Error;
                    t.text = "Unterminated string in x file";
                    return t;
                }
                t.kind = Tok::String;
                t.text = start;
                t.length = size_t(m_p - start);
                ++m_p;
                return t;
            }
            case '<': {
                while (m_p < m_end && *m_p != '>' && *m_p != '\n') ++m_p;
                if (m_p >= m_end || *m_p != '>') {
                    t.kind = Tok::Error;
                    t.text = "Unterminated GUID in x file";
                    return t;
                }
                ++m_p;
                t.kind = Tok::Guid;
                return t;
            }
            default: break;
        }
        const char* start = m_p;
        if (classOf(c) & kNumberStart) {
            const char* stop = parseNumber(start, m_end, t.number);
            if (stop) {
                if (stop == m_end || (classOf(*stop) & kDelimiter)) {
                    m_p = stop;
                    t.kind = Tok::Number;
                    return t;
                }
                if (*stop == '#') {
                    // "1.#QNAN0", "-1.#IND00": how some exporters print invalid floats.
                    m_p = stop;
                    while (m_p < m_end && !(classOf(*m_p) & kDelimiter)) ++m_p;
                    t.kind = Tok::Number;
                    t.number = std::numeric_limits<double>::quiet_NaN();
                    return t;
                }
            }
        }
        while (m_p < m_end && !(classOf(*m_p) & kDelimiter)) ++m_p;
        const size_t length = size_t(m_p - start);
        t.text = start;
        t.length = length;
        if (length == 8 && std::memcmp(start, "template", 8) == 0)
            t.kind = Tok::Template;
        else if (length == 1 && (c == '[' || c == ']' || c == '.'))
            t.kind = Tok::Other;
        else
            t.kind = Tok::Name;
        return t;
    }

    // The run of numbers and separators that follows a number, read without making tokens (the
    // bulk of a mesh file). Stops before anything else; `lastSemicolon` tells whether the last
    // separator read was a semicolon.
    void continueNumbers(std::vector<double>& out, bool& lastSemicolon) {
        for (;;) {
            skipSpace();
            if (m_p >= m_end) return;
            const char c = *m_p;
            if (c == ';') {
                lastSemicolon = true;
                ++m_p;
            } else if (c == ',') {
                lastSemicolon = false;
                ++m_p;
            } else if (classOf(c) & kNumberStart) {
                double value;
                const char* stop = parseNumber(m_p, m_end, value);
                if (!stop || (stop < m_end && !(classOf(*stop) & kDelimiter))) return;  // the full scanner decides
                out.push_back(value);
                lastSemicolon = false;
                m_p = stop;
            } else {
                return;
            }
        }
    }

private:
    void skipSpace() {
        while (m_p < m_end) {
            const char c = *m_p;
            if (c == ' ') {
                ++m_p;
                continue;
            }
            if (classOf(c) & kSpace) {
                if (c == '\n') ++m_line;
                ++m_p;
            } else if (c == '#' || (c == '/' && m_p + 1 < m_end && m_p[1] == '/')) {
                while (m_p < m_end && *m_p != '\n') ++m_p;
            } else {
                return;
            }
        }
    }

    // A decimal number at `p`: [sign] digits [. digits] [e [sign] digits]. Returns where it
    // stops, or null when no digits come.
    static const char* parseNumber(const char* p, const char* end, double& out) {
        const char* const start = p;
        bool negative = false;
        if (*p == '-' || *p == '+') negative = *p++ == '-';
        uint64_t mantissa = 0;
        const char* digits = p;
        while (p < end && unsigned(*p - '0') < 10) mantissa = mantissa * 10 + uint64_t(*p++ - '0');
        size_t count = size_t(p - digits);
        int exponent = 0;
        if (p < end && *p == '.') {
            const char* fraction = ++p;
            while (p < end && unsigned(*p - '0') < 10) mantissa = mantissa * 10 + uint64_t(*p++ - '0');
            exponent = -int(p - fraction);
            count += size_t(p - fraction);
        }
        if (count == 0) return nullptr;
        if (p < end && (*p == 'e' || *p == 'E')) {
            const char* q = p + 1;
            bool expNegative = false;
            if (q < end && (*q == '-' || *q == '+')) expNegative = *q++ == '-';
            if (q < end && unsigned(*q - '0') < 10) {
                int e = 0;
                while (q < end && unsigned(*q - '0') < 10) {
                    if (e < 100000) e = e * 10 + (*q - '0');
                    ++q;
                }
                exponent += expNegative ? -e : e;
                p = q;
            }
        }
        if (count > 15 || exponent < -22 || exponent > 22) {
            out = parseLong(start, p);
            return p;
        }
        // Within an ulp of the double nearest the decimal: exact once narrowed to a float, which
        // is what the file's numbers become.
        const double value = double(mantissa) * (exponent < 0 ? kNegPow10[-exponent] : kPow10[exponent]);
        out = negative ? -value : value;
        return p;
    }

    // Rare: more digits than a double holds, or large exponents. Correctly rounded whatever the
    // process's locale.
    static double parseLong(const char* begin, const char* end) {
        std::string text(begin, end);
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        double value = 0;
        in >> value;
        return in.fail() ? 0.0 : value;
    }

    const char* m_p;
    const char* m_end;
    uint32_t m_line = 1;
};

class BinaryScanner {
public:
    BinaryScanner(const uint8_t* begin, const uint8_t* end, int floatSize, uint32_t baseOffset)
        : m_begin(begin), m_p(begin), m_end(end), m_floatSize(floatSize), m_base(baseOffset) {}

    Token next() {
        Token t;
        t.position = m_base + uint32_t(m_p - m_begin);
        if (m_p >= m_end) return t;
        if (m_end - m_p < 2) return fail(t, "Binary token past the end of the x file");
        const uint16_t code = rd16(m_p);
        m_p += 2;
        switch (code) {
            case 0x01:  // name: u32 length, characters
            case 0x02: {  // string: u32 length, characters, terminator token
                uint32_t length;
                if (!readCount(length)) return fail(t, "Binary token past the end of the x file");
                const size_t need = size_t(length) + (code == 0x02 ? 2 : 0);
                if (size_t(m_end - m_p) < need) return fail(t, "Binary token past the end of the x file");
                t.kind = code == 0x01 ? Tok::Name : Tok::String;
                t.text = reinterpret_cast<const char*>(m_p);
                t.length = length;
                m_p += need;
                return t;
            }
            case 0x03:  // one integer
                if (m_end - m_p < 4) return fail(t, "Binary token past the end of the x file");
                t.kind = Tok::IntList;
                t.data = m_p;
                t.count = 1;
                m_p += 4;
                return t;
            case 0x05:  // GUID
                if (m_end - m_p < 16) return fail(t, "Binary token past the end of the x file");
                m_p += 16;
                t.kind = Tok::Guid;
                return t;
            case 0x06:  // integer list
            case 0x07: {  // float list
                uint32_t count;
                if (!readCount(count)) return fail(t, "Binary token past the end of the x file");
                const size_t element = code == 0x06 ? 4 : size_t(m_floatSize);
                if (size_t(m_end - m_p) / element < count) return fail(t, "Binary token past the end of the x file");
                t.kind = code == 0x06 ? Tok::IntList : Tok::FloatList;
                t.data = m_p;
                t.count = count;
                m_p += size_t(count) * element;
                return t;
            }
            case 0x0a: t.kind = Tok::LBrace; return t;
            case 0x0b: t.kind = Tok::RBrace; return t;
            case 0x13: t.kind = Tok::Comma; return t;
            case 0x14: t.kind = Tok::Semicolon; return t;
            case 0x1f: t.kind = Tok::Template; return t;
            default:
                // ( ) [ ] < > . and the type keywords WORD ... array: template bodies only.
                if ((code >= 0x0c && code <= 0x12) || (code >= 0x28 && code <= 0x34)) {
                    t.kind = Tok::Other;
                    return t;
                }
                return fail(t, "Unknown binary token in x file");
        }
    }

private:
    bool readCount(uint32_t& value) {
        if (m_end - m_p < 4) return false;
        value = rd32(m_p);
        m_p += 4;
        return true;
    }
    static Token fail(Token& t, const char* message) {
        t.kind = Tok::Error;
        t.text = message;
        return t;
    }

    const uint8_t* m_begin;
    const uint8_t* m_p;
    const uint8_t* m_end;
    int m_floatSize;
    uint32_t m_base;
};

// ---------------------------------------------------------------------------------------------
// Data objects

template <class Scanner>
class Parser {
public:
    Parser(Scanner& scanner, bool binary, int floatSize, KeXReadError& error)
        : m_scanner(scanner), m_binary(binary), m_floatSize(floatSize), m_error(error) {}

    bool parseDocument(std::vector<std::unique_ptr<KeXObject>>& objects) {
        for (;;) {
            Token t = m_scanner.next();
            switch (t.kind) {
                case Tok::End: return true;
                case Tok::Error: return fail(t, t.text);
                case Tok::Template:
                    if (!skipTemplate()) return false;
                    break;
                case Tok::Name: {
                    auto object = std::make_unique<KeXObject>();
                    object->type.assign(t.text, t.length);
                    object->position = t.position;
                    if (!parseObject(*object, 1)) return false;
                    objects.push_back(std::move(object));
                    break;
                }
                case Tok::RBrace:
                case Tok::Semicolon:
                case Tok::Comma:
                    break;  // stray separators between objects are harmless
                default:
                    return fail(t, "Unexpected data outside of a data object in x file");
            }
        }
    }

private:
    // After the type identifier: [name] "{" members "}".
    bool parseObject(KeXObject& object, int depth) {
        if (depth > KE_X_MAX_DEPTH) return failAt(object.position, "Data objects nest too deeply in x file");
        Token t = m_scanner.next();
        if (t.kind == Tok::Name) {
            object.name.assign(t.text, t.length);
            t = m_scanner.next();
        }
        if (t.kind == Tok::Error) return fail(t, t.text);
        if (t.kind != Tok::LBrace) {
            if (object.type == "MeshMaterialsUVs") return fail(t, "No starting brace in MeshMaterialsUVs found.");
            return fail(t, "No opening brace in " + object.type + " found in x file");
        }
        bool lastSemicolon = false;
        for (;;) {
            t = m_scanner.next();
            switch (t.kind) {
                case Tok::End:
                    if (object.type == "MeshMaterialsUVs")
                        return fail(t, "No closing brace in MeshMaterialsUVs found in x file");
                    return fail(t, "Unexpected ending found in " + object.type + " in x file");
                case Tok::Error: return fail(t, t.text);
                case Tok::RBrace:
                    object.closedBySemicolon = m_binary || lastSemicolon;
                    return true;
                case Tok::Semicolon: lastSemicolon = true; continue;
                case Tok::Comma: break;
                case Tok::Number:
                    object.numbers.push_back(t.number);
                    if constexpr (std::is_same<Scanner, TextScanner>::value) {
                        lastSemicolon = false;
                        m_scanner.continueNumbers(object.numbers, lastSemicolon);
                        continue;
                    }
                    break;
                case Tok::IntList:
                    for (uint32_t i = 0; i < t.count; ++i) object.numbers.push_back(double(rd32(t.data + 4 * size_t(i))));
                    break;
                case Tok::FloatList: appendFloats(object.numbers, t); break;
                case Tok::String: object.strings.emplace_back(t.text, t.length); break;
                case Tok::Guid: break;  // the optional class id of an object
                case Tok::LBrace: {
                    auto ref = std::make_unique<KeXObject>();
                    ref->reference = true;
                    ref->position = t.position;
                    if (!parseReference(*ref)) return false;
                    object.children.push_back(std::move(ref));
                    break;
                }
                case Tok::Name: {
                    auto child = std::make_unique<KeXObject>();
                    child->type.assign(t.text, t.length);
                    child->position = t.position;
                    if (!parseObject(*child, depth + 1)) return false;
                    object.children.push_back(std::move(child));
                    break;
                }
                case Tok::Template:
                    if (!skipTemplate()) return false;
                    break;
                case Tok::Other: return fail(t, "Unexpected token in " + object.type + " in x file");
            }
            lastSemicolon = false;
        }
    }

    // After "{": name and/or GUID, then "}".
    bool parseReference(KeXObject& ref) {
        for (int i = 0; i < 3; ++i) {
            Token t = m_scanner.next();
            if (t.kind == Tok::RBrace) return true;
            if (t.kind == Tok::Name && ref.name.empty())
                ref.name.assign(t.text, t.length);
            else if (t.kind == Tok::Error)
                return fail(t, t.text);
            else if (t.kind != Tok::Guid)
                return fail(t, "Broken reference in x file");
        }
        return failAt(ref.position, "Broken reference in x file");
    }

    // After "template": everything up to the matching closing brace.
    bool skipTemplate() {
        int open = 0;
        for (;;) {
            Token t = m_scanner.next();
            switch (t.kind) {
                case Tok::End: return fail(t, "Unexpected ending found in template in x file");
                case Tok::Error: return fail(t, t.text);
                case Tok::LBrace: ++open; break;
                case Tok::RBrace:
                    if (--open <= 0) return true;
                    break;
                default: break;
            }
        }
    }

    void appendFloats(std::vector<double>& out, const Token& t) {
        const uint8_t* p = t.data;
        if (m_floatSize == 8) {
            for (uint32_t i = 0; i < t.count; ++i, p += 8) {
                double d;
                std::memcpy(&d, p, 8);
                out.push_back(d);
            }
        } else {
            for (uint32_t i = 0; i < t.count; ++i, p += 4) {
                float f;
                std::memcpy(&f, p, 4);
                out.push_back(double(f));
            }
        }
    }

    bool fail(const Token& t, const std::string& message) { return failAt(t.position, message); }
    bool failAt(uint32_t position, const std::string& message) {
        m_error.message = message;
        m_error.binary = m_binary;
        m_error.position = position;
        return false;
    }

    Scanner& m_scanner;
    bool m_binary;
    int m_floatSize;
    KeXReadError& m_error;
};

}  // namespace

bool keXRead(const void* data, size_t size, KeXDocument& doc, KeXReadError& error) {
    error = KeXReadError();
    doc = KeXDocument();
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (size < kHeaderSize || std::memcmp(bytes, "xof ", 4) != 0) {
        error.message = "Not an x file, wrong header.";
        return false;
    }
    auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
    if (!digit(bytes[4]) || !digit(bytes[5]) || !digit(bytes[6]) || !digit(bytes[7])) {
        error.message = "Not an x file, wrong version in header.";
        return false;
    }
    doc.majorVersion = (bytes[4] - '0') * 10 + (bytes[5] - '0');
    doc.minorVersion = (bytes[6] - '0') * 10 + (bytes[7] - '0');
    const char* format = reinterpret_cast<const char*>(bytes + 8);
    if (std::memcmp(format, "txt ", 4) == 0) {
        doc.binary = false;
    } else if (std::memcmp(format, "bin ", 4) == 0) {
        doc.binary = true;
    } else if (std::memcmp(format, "tzip", 4) == 0) {
        doc.compressed = true;
    } else if (std::memcmp(format, "bzip", 4) == 0) {
        doc.binary = doc.compressed = true;
    } else {
        error.message = "Unknown x file format in header.";
        return false;
    }
    if (std::memcmp(bytes + 12, "0032", 4) == 0) {
        doc.floatSize = 4;
    } else if (std::memcmp(bytes + 12, "0064", 4) == 0) {
        doc.floatSize = 8;
    } else {
        error.message = "Float size not supported.";
        return false;
    }

    std::string inflated;
    const uint8_t* body = bytes + kHeaderSize;
    const uint8_t* end = bytes + size;
    if (doc.compressed) {
        if (!inflateMsZip(body, size - kHeaderSize, inflated, error)) return false;
        body = reinterpret_cast<const uint8_t*>(inflated.data());
        end = body + inflated.size();
    }
    if (doc.binary) {
        // Offsets count from the start of the file (of the inflated file when compressed).
        BinaryScanner scanner(body, end, doc.floatSize, uint32_t(kHeaderSize));
        Parser<BinaryScanner> parser(scanner, true, doc.floatSize, error);
        return parser.parseDocument(doc.objects);
    }
    TextScanner scanner(reinterpret_cast<const char*>(body), reinterpret_cast<const char*>(end));
    Parser<TextScanner> parser(scanner, false, doc.floatSize, error);
    return parser.parseDocument(doc.objects);
}

}  // namespace kolm
