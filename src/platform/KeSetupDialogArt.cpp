// Artwork of the setup dialog: a banner with the name and the "Start" button, drawn from a
// small 5 x 7 block font so that no picture files are needed.
#include "platform/KeSetupDialog.h"

#include <algorithm>
#include <cstring>

namespace kolm {
namespace {

struct Glyph {
    char c;
    const char* rows[7];
};

const Glyph kGlyphs[] = {
    {'K', {"10001", "10010", "10100", "11000", "10100", "10010", "10001"}},
    {'O', {"01110", "10001", "10001", "10001", "10001", "10001", "01110"}},
    {'L', {"10000", "10000", "10000", "10000", "10000", "10000", "11111"}},
    {'M', {"10001", "11011", "10101", "10101", "10001", "10001", "10001"}},
    {'S', {"01111", "10000", "10000", "01110", "00001", "00001", "11110"}},
    {'T', {"11111", "00100", "00100", "00100", "00100", "00100", "00100"}},
    {'A', {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'R', {"11110", "10001", "10001", "11110", "10100", "10010", "10001"}},
};

const Glyph* glyphOf(char c) {
    for (const Glyph& g : kGlyphs) {
        if (g.c == c) return &g;
    }
    return nullptr;
}

uint32_t mix(uint32_t a, uint32_t b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const float ca = static_cast<float>((a >> shift) & 0xFF);
        const float cb = static_cast<float>((b >> shift) & 0xFF);
        out |= static_cast<uint32_t>(ca + (cb - ca) * t + 0.5f) << shift;
    }
    return out;
}

// Draws text in block letters of `scale` pixels per dot; colour from top to bottom.
void drawText(std::vector<uint32_t>& px, int width, int height, const char* text, int x, int y, int scale,
              int gap, uint32_t top, uint32_t bottom) {
    const int len = static_cast<int>(std::strlen(text));
    for (int i = 0; i < len; ++i) {
        const Glyph* g = glyphOf(text[i]);
        const int gx = x + i * (5 * scale + gap);
        if (!g) continue;
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (g->rows[row][col] != '1') continue;
                for (int dy = 0; dy < scale; ++dy) {
                    for (int dx = 0; dx < scale; ++dx) {
                        const int px_ = gx + col * scale + dx, py = y + row * scale + dy;
                        if (px_ < 0 || py < 0 || px_ >= width || py >= height) continue;
                        px[static_cast<size_t>(py) * width + px_] =
                            mix(top, bottom, static_cast<float>(row * scale + dy) / (7.0f * scale));
                    }
                }
            }
        }
    }
}

int textWidth(const char* text, int scale, int gap) {
    const int len = static_cast<int>(std::strlen(text));
    return len * 5 * scale + (len - 1) * gap;
}

}  // namespace

std::vector<uint32_t> keDrawSetupBanner() {
    const int w = KE_SETUP_BANNER_WIDTH, h = KE_SETUP_BANNER_HEIGHT;
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const uint32_t row = mix(0x182448, 0x000000, static_cast<float>(y) / (h - 1));
        for (int x = 0; x < w; ++x) {
            // Faint scan lines every fourth row.
            px[static_cast<size_t>(y) * w + x] = (y % 4 == 3) ? mix(row, 0x000000, 0.5f) : row;
        }
    }
    const int scale = 12, gap = 14;
    const int tw = textWidth("KOLM", scale, gap);
    drawText(px, w, h, "KOLM", (w - tw) / 2 + 3, (h - 7 * scale) / 2 + 3, scale, gap, 0x000000, 0x000000);
    drawText(px, w, h, "KOLM", (w - tw) / 2, (h - 7 * scale) / 2, scale, gap, 0xFFD060, 0xFF6020);
    return px;
}

std::vector<uint32_t> keDrawStartButton(bool pressed) {
    const int w = KE_SETUP_BUTTON_WIDTH, h = KE_SETUP_BUTTON_HEIGHT;
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    const uint32_t top = pressed ? 0x202838 : 0x5A6A90;
    const uint32_t bottom = pressed ? 0x405070 : 0x1C2438;
    for (int y = 0; y < h; ++y) {
        const uint32_t row = mix(top, bottom, static_cast<float>(y) / (h - 1));
        for (int x = 0; x < w; ++x) {
            const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            px[static_cast<size_t>(y) * w + x] = border ? 0x8890A8 : row;
        }
    }
    const int scale = 2, gap = 2;
    const int tw = textWidth("START", scale, gap);
    const int shift = pressed ? 1 : 0;
    drawText(px, w, h, "START", (w - tw) / 2 + shift, (h - 7 * scale) / 2 + shift, scale, gap, 0xFFFFFF,
             0xC0C8D8);
    return px;
}

}  // namespace kolm
