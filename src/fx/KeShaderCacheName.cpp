#include "fx/KeShaderCacheName.h"

#include "core/KeError.h"

#include <algorithm>
#include <cstring>

namespace kolm {

std::vector<SShaderMacro> keSortedMacros(const CKeMacro* macros) {
    std::vector<SShaderMacro> out;
    for (const CKeMacro* m = macros; m && m->Name; ++m)
        out.push_back(SShaderMacro{m->Name, m->Definition ? m->Definition : ""});
    std::sort(out.begin(), out.end());
    return out;
}

std::string keShaderMacroText(const std::vector<SShaderMacro>& macros) {
    std::string text;
    for (const SShaderMacro& m : macros) {
        text += m.name;
        text += ' ';
        text += m.value;
        text += '~';
    }
    return text;
}

void keShaderHash160(const void* data, size_t size, uint8_t out[20]) {
    const uint32_t m1 = 0x5BD1E995u, m2 = 0x19D699A5u, m3 = 0xB11924E1u, m4 = 0x16118B03u,
                   m5 = 0x53C93455u;
    const uint32_t len = static_cast<uint32_t>(size);
    uint32_t h1 = len, h2 = len ^ m2, h3 = len ^ m3, h4 = len ^ m4, h5 = len ^ m5;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t left = size;
    while (left >= 4) {
        uint32_t k = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        k *= m1;
        k ^= k >> 24;
        k *= m1;
        const uint32_t o2 = h2, o3 = h3, o4 = h4, o5 = h5;
        h1 = (h1 * m1) ^ k ^ o2;
        h2 = (o2 * m2) ^ k ^ o3;
        h3 = (o3 * m3) ^ k ^ o4;
        h4 = (o4 * m4) ^ k ^ o5;
        h5 = (o5 * m5) ^ k ^ h1;
        p += 4;
        left -= 4;
    }
    uint32_t* lanes[5] = {&h1, &h2, &h3, &h4, &h5};
    const uint32_t mult[5] = {m1, m2, m3, m4, m5};
    if (left == 3)
        for (uint32_t* h : lanes) *h ^= uint32_t(p[2]) << 16;
    if (left >= 2)
        for (uint32_t* h : lanes) *h ^= uint32_t(p[1]) << 8;
    if (left >= 1)
        for (int i = 0; i < 5; ++i) {
            *lanes[i] ^= p[0];
            *lanes[i] *= mult[i];
        }
    for (int i = 0; i < 5; ++i) {
        uint32_t h = *lanes[i];
        h ^= h >> 13;
        h *= mult[i];
        h ^= h >> 15;
        *lanes[i] = h;
    }
    const uint32_t words[5] = {h1 ^ h2 ^ h3 ^ h4 ^ h5, h2 ^ h1, h3 ^ h1, h4 ^ h1, h5 ^ h1};
    for (int i = 0; i < 5; ++i)
        for (int b = 0; b < 4; ++b) out[i * 4 + b] = uint8_t(words[i] >> (8 * b));
}

bool keBase32Encode(const uint8_t* data, size_t size, std::string& out) {
    static const char kAlphabet[] = "123456789ABCDEFGHJKMNPQRSTUVWXYZ";
    out.clear();
    if (size % 5 != 0) return false;
    for (size_t g = 0; g < size; g += 5) {
        uint64_t v = 0;
        for (int i = 0; i < 5; ++i) v = (v << 8) | data[g + i];
        for (int s = 7; s >= 0; --s) out += kAlphabet[(v >> (5 * s)) & 31];
    }
    return true;
}

std::string keShaderMacroHash(const std::string& macroText) {
    uint8_t bytes[20];
    keShaderHash160(macroText.data(), macroText.size(), bytes);
    std::string out;
    if (!keBase32Encode(bytes, sizeof bytes, out)) {
        printMessage(KE_ERROR, "KeGPU: Failed to encode base32");
        return std::string(32, 'X');
    }
    return out;
}

std::string keShaderFileDir(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash);
}

std::string keShaderCacheFileName(const std::string& file, const std::string& entry, bool vertex,
                                  const std::vector<SShaderMacro>& macros) {
    const std::string dir = keShaderFileDir(file);
    const size_t dirSlash = dir.find_last_of("/\\");
    const std::string d = dirSlash == std::string::npos ? dir : dir.substr(dirSlash + 1);
    const size_t slash = file.find_last_of("/\\");
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base.resize(dot);
    return d + "!" + base + "!" + entry + "!" + keShaderMacroHash(keShaderMacroText(macros)) +
           (vertex ? ".vso" : ".pso");
}

static void slashes(std::string& s) { std::replace(s.begin(), s.end(), '\\', '/'); }

bool keGetShaderIncludes(const std::string& file, int depth, const KeFileReader& reader,
                         std::vector<std::string>& out) {
    std::string text;
    if (!reader(file, text)) {
        printMessage(KE_ERROR, "KeGPU: getShaderIncludes:read file '%s' FAILED", file.c_str());
        return false;
    }
    const std::string dir = keShaderFileDir(file);
    std::vector<std::string> mine;
    static const char kInclude[] = "#include";
    for (size_t at = text.find(kInclude); at != std::string::npos;
         at = text.find(kInclude, at + sizeof kInclude - 1)) {
        // A "//" in the 8 characters before the directive on the same line comments it out.
        size_t lineStart = text.find_last_of("\r\n", at);
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        const size_t from = at - lineStart > 8 ? at - 8 : lineStart;
        if (text.substr(from, at - from).find("//") != std::string::npos) continue;
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        const size_t q1 = line.find('"');
        if (q1 == std::string::npos) continue;
        const size_t q2 = line.find('"', q1 + 1);
        if (q2 == std::string::npos) continue;
        std::string path = dir + "/" + line.substr(q1 + 1, q2 - q1 - 1);
        slashes(path);
        if (std::find(out.begin(), out.end(), path) == out.end()) out.push_back(path);
        if (std::find(mine.begin(), mine.end(), path) == mine.end()) mine.push_back(path);
    }
    // Bounded by depth: a file that includes itself is scanned depth + 1 times, listed once.
    if (depth > 0)
        for (const std::string& inc : mine) keGetShaderIncludes(inc, depth - 1, reader, out);
    return true;
}

}  // namespace kolm
