// Writes `.kmorph` bytes for tests: IFF chunks with big-endian 32-bit sizes, nested by hand so
// that broken files (wrong sizes, wrong IDs, deep nesting) are as easy to make as good ones.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kmorphtest {

struct IffWriter {
    std::string bytes;
    std::vector<size_t> open;  // offsets of the size fields of open chunks

    IffWriter& u32(uint32_t v) {
        const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        bytes.append(b, 4);
        return *this;
    }
    IffWriter& f32(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return u32(v);
    }
    IffWriter& id(const char* four) {
        bytes.append(four, 4);
        return *this;
    }
    IffWriter& raw(const std::string& s) {
        bytes += s;
        return *this;
    }
    // Opens a chunk whose size end() fills in.
    IffWriter& begin(const char* four) {
        id(four);
        open.push_back(bytes.size());
        return u32(0);
    }
    // Closes the innermost chunk; `extraSize` is added to the true size (to make it lie).
    IffWriter& end(int64_t extraSize = 0) {
        const size_t at = open.back();
        open.pop_back();
        const uint32_t size = uint32_t(int64_t(bytes.size() - at - 4) + extraSize);
        const char b[4] = {char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
        bytes.replace(at, 4, b, 4);
        return *this;
    }
};

struct MorphPoint {
    uint32_t index;
    float dx, dy, dz;
    float nx = 0, ny = 0, nz = 0;
};

struct MorphDef {
    std::string name;
    std::vector<MorphPoint> points;
};

inline IffWriter& writeMorph(IffWriter& w, const MorphDef& m) {
    w.begin("VMOR").begin("NAME").raw(m.name).raw(std::string(1, '\0')).end();
    w.begin("MMAP").u32(uint32_t(m.points.size()));
    for (const auto& p : m.points) w.u32(p.index);
    for (const auto& p : m.points) w.f32(p.dx).f32(p.dy).f32(p.dz);
    for (const auto& p : m.points) w.f32(p.nx).f32(p.ny).f32(p.nz);
    return w.end().end();
}

// A whole file; max_points defaults to the largest point count.
inline std::string kmorphFile(const std::vector<MorphDef>& morphs, int64_t maxPoints = -1) {
    size_t largest = 0;
    for (const auto& m : morphs) largest = m.points.size() > largest ? m.points.size() : largest;
    IffWriter w;
    w.begin("FORM").id("KMOR").u32(uint32_t(morphs.size())).u32(uint32_t(maxPoints < 0 ? int64_t(largest) : maxPoints));
    for (const auto& m : morphs) writeMorph(w, m);
    return w.end().bytes;
}

}  // namespace kmorphtest
