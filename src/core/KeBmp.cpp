#include "core/KeBmp.h"

#include <cstdio>
#include <cstring>

namespace kolm {
namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

}  // namespace

bool keWriteBmp24(const char* path, int width, int height, const uint8_t* rgb, std::vector<uint8_t>* scratch) {
    if (!path || !rgb || width <= 0 || height <= 0 || width > 65535 || height > 65535) return false;
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t dataBytes = rowBytes * static_cast<uint32_t>(height);
    const uint32_t headerBytes = 14 + 40;

    std::vector<uint8_t> local;
    std::vector<uint8_t>& buf = scratch ? *scratch : local;
    buf.assign(headerBytes + dataBytes, 0);
    uint8_t* h = buf.data();
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, headerBytes + dataBytes);
    put32(h + 10, headerBytes);
    put32(h + 14, 40);
    put32(h + 18, static_cast<uint32_t>(width));
    put32(h + 22, static_cast<uint32_t>(height));  // positive: rows bottom to top
    put16(h + 26, 1);
    put16(h + 28, 24);
    put32(h + 34, dataBytes);
    put32(h + 38, 2835);  // 72 dpi
    put32(h + 42, 2835);

    for (int y = 0; y < height; ++y) {
        const uint8_t* src = rgb + static_cast<size_t>(height - 1 - y) * width * 3;
        uint8_t* dst = h + headerBytes + static_cast<size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            dst[3 * x + 0] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x + 0];
        }
    }
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool ok = std::fwrite(buf.data(), 1, buf.size(), f) == buf.size();
    return (std::fclose(f) == 0) && ok;
}

}  // namespace kolm
