// KF text form: a line-oriented reader.
//
// One pass over the text, no per-token strings: names and data go straight into the document's
// arena. Numbers are converted without the C locale (a decimal point is always ".").
#include "kf/KF_Build.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <memory>

namespace {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }
inline bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// ---- number conversion (C library semantics, locale-free) -----------------------------------

// Leading sign and decimal digits; characters after the digits are ignored; no digits gives 0.
// Overflow saturates like strtol on a 64-bit long; the result is then cut to 32 bits.
int32_t toI4(const char* p, const char* e) {
    bool neg = false;
    if (p < e && (*p == '+' || *p == '-')) neg = *p++ == '-';
    uint64_t v = 0;
    bool over = false;
    for (; p < e && unsigned(*p - '0') < 10; ++p) {
        if (v > (uint64_t(INT64_MAX) + 1) / 10) over = true;
        v = v * 10 + unsigned(*p - '0');
    }
    int64_t r;
    if (neg)
        r = (over || v > uint64_t(INT64_MAX) + 1) ? INT64_MIN : static_cast<int64_t>(0 - v);
    else
        r = (over || v > uint64_t(INT64_MAX)) ? INT64_MAX : static_cast<int64_t>(v);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r)));
}

// As strtoul on a 64-bit long: a minus sign negates modulo 2^64, overflow gives all ones; the
// result is then cut to 32 bits.
uint32_t toU4(const char* p, const char* e) {
    bool neg = false;
    if (p < e && (*p == '+' || *p == '-')) neg = *p++ == '-';
    uint64_t v = 0;
    bool over = false;
    for (; p < e && unsigned(*p - '0') < 10; ++p) {
        const unsigned d = unsigned(*p - '0');
        if (v > (UINT64_MAX - d) / 10) over = true;
        v = v * 10 + d;
    }
    if (over) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(neg ? 0 - v : v);
}

locale_t cLocale() {
    static locale_t loc = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// The rare forms the fast path leaves alone (hexadecimal, out of range) go to strtod in the C
// locale, on a bounded copy.
double slowDouble(const char* p, const char* e) {
    char tmp[128];
    size_t n = static_cast<size_t>(e - p);
    if (n >= sizeof tmp) n = sizeof tmp - 1;
    std::memcpy(tmp, p, n);
    tmp[n] = '\0';
    return cLocale() ? strtod_l(tmp, nullptr, cLocale()) : std::strtod(tmp, nullptr);
}

// Leading characters as a decimal floating-point number (sign, digits, point, exponent, also
// "inf" and "nan"); nothing readable gives 0. Read as a double, stored as a float.
float toFP(const char* p, const char* e) {
    const char* s = p;
    if (s < e && *s == '+') {
        ++s;
        if (s < e && *s == '-') return 0.0f;
    }
    const char* d = s < e && *s == '-' ? s + 1 : s;
    if (e - d >= 2 && d[0] == '0' && (d[1] == 'x' || d[1] == 'X')) return static_cast<float>(slowDouble(p, e));
    double v = 0.0;
    const std::from_chars_result r = std::from_chars(s, e, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) return static_cast<float>(slowDouble(p, e));
    if (r.ec != std::errc()) return 0.0f;
    return static_cast<float>(v);
}

// ---- the reader -----------------------------------------------------------------------------

class TextReader {
public:
    TextReader(const char* text, size_t size) : m_p(text), m_end(text + size) {
        m_arena.reset(new KF_Arena);
        m_arena->hint(size / 2);  // numbers take about half their text once converted
    }

    KF_Document* run();

private:
    bool line(const char* s, const char* e);
    bool parseData(int32_t type, const char* s, const char* e, int32_t* count, void** data);
    bool invalid(const char* first) {
        kfLog("%s", first);
        kfLog("line %d: Invalid line\n", m_line);
        return false;
    }

    const char* m_p;
    const char* m_end;
    int m_line = 1;
    bool m_inArray = false;
    int32_t m_arrayType = 0;
    KF_Builder m_builder;
    std::unique_ptr<KF_Arena> m_arena;
};

KF_Document* TextReader::run() {
    const char* p = m_p;
    while (p < m_end) {
        const char* s = p;
        while (p < m_end && !isLineEnd(*p)) ++p;
        if (!line(s, p)) return nullptr;
        while (p < m_end && isLineEnd(*p)) ++p;
        ++m_line;
    }
    // Groups and an array still open at the end count as closed.
    KF_Document* doc = m_builder.finish(1, nullptr, m_arena.get());  // may throw: arena still ours
    m_arena.release();
    return doc;
}

bool TextReader::line(const char* s, const char* e) {
    while (s < e && isBlank(*s)) ++s;
    if (s == e || *s == '#' || *s == '/') return true;

    if (m_inArray) {
        if (*s == ']') {
            m_inArray = false;
            return true;
        }
        int32_t count = 0;
        void* data = nullptr;
        if (!parseData(m_arrayType, s, e, &count, &data)) return false;
        m_builder.addElement(count, data);
        return true;
    }
    if (*s == '}') {
        if (!m_builder.closeGroup()) {
            kfLog("line %d: too many }\n", m_line);
            return false;
        }
        return true;
    }

    // First and second tokens end at a blank; the third is the rest of the line.
    const char* t1 = s;
    while (s < e && !isBlank(*s)) ++s;
    const char* t1e = s;
    while (s < e && isBlank(*s)) ++s;
    const char* t2 = s;
    while (s < e && !isBlank(*s)) ++s;
    const char* t2e = s;
    while (s < e && isBlank(*s)) ++s;
    const char* t3 = s;

    if (t2 == t2e) return invalid("Line does not have enough token\n");
    if (*t1 == '{') {
        const char* name = m_arena->copyString(t2, size_t(t2e - t2));
        if (!m_builder.openGroup(name)) {
            kfLog("line %d: groups nested deeper than %d levels\n", m_line, KF_MAX_DEPTH);
            return false;
        }
        return true;
    }
    if (t3 == e) return invalid("Line value does not have enough token\n");

    const size_t typeLen = size_t(t2e - t2);
    int32_t type = -1;
    for (int32_t t = 0; t <= KF_FP_C; ++t) {
        const char* spelling = KF_TypeName(t);
        if (std::strlen(spelling) == typeLen && std::memcmp(spelling, t2, typeLen) == 0) type = t;
    }
    if (type < 0) {
        kfLog("line %d: unknown value type %.*s\n", m_line, static_cast<int>(typeLen), t2);
        return false;
    }
    const char* name = m_arena->copyString(t1, size_t(t1e - t1));
    if (*t3 == '[') {
        m_builder.beginArray(name, type);
        m_inArray = true;
        m_arrayType = type;
        return true;
    }
    int32_t count = 0;
    void* data = nullptr;
    if (!parseData(type, t3, e, &count, &data)) return false;
    m_builder.addValue(name, type, count, data);
    return true;
}

bool TextReader::parseData(int32_t type, const char* s, const char* e, int32_t* count, void** data) {
    if (type == KF_STR) {
        // s is at the first non-blank. A leading quote starts the value; a quote that is the
        // last non-blank of the line is cut off together with the blanks after it. No escapes.
        const char* b = s;
        const char* end = e;
        if (b < e && *b == '"') {
            ++b;
            const char* t = e;
            while (t > b && isBlank(t[-1])) --t;
            if (t > b && t[-1] == '"') end = t - 1;
        }
        *count = static_cast<int32_t>(end - b);
        *data = m_arena->copyString(b, size_t(end - b));
        return true;
    }

    // Every piece takes at least one character and one blank: this bounds the number of words.
    const size_t maxWords = (size_t(e - s) + 1) / 2;
    uint32_t* words = reinterpret_cast<uint32_t*>(m_arena->reserve(maxWords * 4));
    size_t n = 0;

    if (type == KF_FP_C) {
        // Blocks must be whole: a marker, its count, then one float (RUN) or count floats (DAT).
        enum { Marker, Count, Floats } state = Marker;
        uint32_t marker = 0;
        uint64_t left = 0;
        int64_t total = 0;
        bool ok = true;
        const char* p = s;
        while (p < e && ok) {
            while (p < e && isBlank(*p)) ++p;
            if (p == e) break;
            const char* q = p;
            while (q < e && !isBlank(*q)) ++q;
            const bool isRun = q - p == 3 && std::memcmp(p, "RUN", 3) == 0;
            const bool isDat = q - p == 3 && std::memcmp(p, "DAT", 3) == 0;
            if (state == Marker) {
                if (!isRun && !isDat) {
                    ok = false;
                    break;
                }
                marker = isRun ? KF_RUN : KF_DAT;
                words[n++] = marker;
                state = Count;
            } else if (state == Count) {
                const uint32_t c = toU4(p, q);
                words[n++] = c;
                total += c;
                if (total > INT32_MAX) ok = false;
                left = marker == KF_RUN ? 1 : c;
                state = left ? Floats : Marker;
            } else {
                if (isRun || isDat) {
                    ok = false;
                    break;
                }
                const float f = toFP(p, q);
                std::memcpy(&words[n++], &f, 4);
                if (--left == 0) state = Marker;
            }
            p = q;
        }
        if (!ok || state != Marker) {
            kfLog("line %d: malformed FP_C channel\n", m_line);
            return false;
        }
        *count = static_cast<int32_t>(total);
    } else {
        const char* p = s;
        while (p < e) {
            while (p < e && isBlank(*p)) ++p;
            if (p == e) break;
            const char* q = p;
            while (q < e && !isBlank(*q)) ++q;
            if (type == KF_FP) {
                const float f = toFP(p, q);
                std::memcpy(&words[n], &f, 4);
            } else if (type == KF_I4) {
                words[n] = static_cast<uint32_t>(toI4(p, q));
            } else {
                words[n] = toU4(p, q);
            }
            ++n;
            p = q;
        }
        *count = static_cast<int32_t>(n);
    }
    m_arena->commit(n * 4);
    *data = words;
    return true;
}

}  // namespace

KF_Document* kfReadText(const char* text, size_t size) {
    TextReader reader(text, size);
    return reader.run();
}
