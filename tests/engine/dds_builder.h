// Builds DDS files in memory for the reader's tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace ddstest {

constexpr uint32_t PF_ALPHAPIXELS = 0x1, PF_ALPHA = 0x2, PF_FOURCC = 0x4, PF_RGB = 0x40, PF_LUMINANCE = 0x20000;
constexpr uint32_t CAPS2_CUBE_ALL = 0x200 | 0xFC00, CAPS2_VOLUME = 0x200000;
constexpr uint32_t FLAG_MIPCOUNT = 0x20000, FLAG_DEPTH = 0x800000;

inline uint32_t fourcc(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

struct Header {
    uint32_t width = 1, height = 1, depth = 0, mips = 0;
    uint32_t flags = 0x1007;  // caps, height, width, pixel format
    uint32_t pfFlags = PF_RGB | PF_ALPHAPIXELS;
    uint32_t fourCC = 0, bitCount = 32;
    uint32_t r = 0x00FF0000, g = 0x0000FF00, b = 0x000000FF, a = 0xFF000000;
    uint32_t caps2 = 0;
};

inline void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(x >> (8 * i));
}

inline std::vector<uint8_t> build(const Header& h, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> v(128, 0);
    std::memcpy(v.data(), "DDS ", 4);
    put32(v, 4, 124);
    put32(v, 8, h.flags | (h.mips ? FLAG_MIPCOUNT : 0) | (h.depth ? FLAG_DEPTH : 0));
    put32(v, 12, h.height);
    put32(v, 16, h.width);
    put32(v, 24, h.depth);
    put32(v, 28, h.mips);
    put32(v, 76, 32);
    put32(v, 80, h.pfFlags);
    put32(v, 84, h.fourCC);
    put32(v, 88, h.bitCount);
    put32(v, 92, h.r);
    put32(v, 96, h.g);
    put32(v, 100, h.b);
    put32(v, 104, h.a);
    put32(v, 108, 0x1000);
    put32(v, 112, h.caps2);
    // resize + memcpy rather than insert: GCC 12 at -O3 reports a false array-bounds error there.
    const size_t head = v.size();
    v.resize(head + payload.size());
    if (!payload.empty()) std::memcpy(v.data() + head, payload.data(), payload.size());
    return v;
}

inline std::vector<uint8_t> bytes(std::initializer_list<unsigned> list) {
    std::vector<uint8_t> v;
    for (unsigned x : list) v.push_back(uint8_t(x));
    return v;
}

// Little-endian 32-bit words as bytes.
inline std::vector<uint8_t> words(std::initializer_list<uint32_t> list) {
    std::vector<uint8_t> v;
    for (uint32_t x : list)
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
    return v;
}

}  // namespace ddstest
