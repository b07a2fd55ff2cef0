// The DDS reader on files built in memory: every pixel encoding it claims, the cube and volume
// layouts, and rejection of damaged or hostile headers.
#include <gtest/gtest.h>

#include "engine/KeDds.h"
#include "dds_builder.h"

using namespace ddstest;
using kolm::KeDdsImage;
using kolm::KeDdsKind;

namespace {

KeDdsImage parseOk(const std::vector<uint8_t>& file) {
    KeDdsImage image;
    std::string error;
    EXPECT_TRUE(kolm::keDdsParse(file.data(), file.size(), image, error)) << error;
    return image;
}

struct MaskCase {
    const char* name;
    Header header;
    std::vector<uint8_t> payload;
    std::vector<uint32_t> expected;  // 0xAARRGGBB, one row
};

Header masks(uint32_t pfFlags, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t width) {
    Header h;
    h.width = width;
    h.pfFlags = pfFlags;
    h.bitCount = bits;
    h.r = r;
    h.g = g;
    h.b = b;
    h.a = a;
    return h;
}

}  // namespace

TEST(DdsReader, DecodesBitMaskFormats) {
    const MaskCase cases[] = {
        {"A8R8G8B8", masks(PF_RGB | PF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 2),
         words({0x80102030, 0x00FF00FF}), {0x80102030, 0x00FF00FF}},
        {"X8R8G8B8 has opaque alpha", masks(PF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0, 1), words({0x12102030}),
         {0xFF102030}},
        {"R8G8B8", masks(PF_RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0, 2), bytes({0x30, 0x20, 0x10, 0xFF, 0, 0}),
         {0xFF102030, 0xFF0000FF}},
        {"R5G6B5 scales to 0..255", masks(PF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0, 3),
         bytes({0x00, 0xF8, 0xE0, 0x07, 0x10, 0x00}), {0xFFFF0000, 0xFF00FF00, 0xFF000084}},
        {"A1R5G5B5", masks(PF_RGB | PF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 2),
         bytes({0x00, 0xFC, 0x1F, 0x00}), {0xFFFF0000, 0x000000FF}},
        {"L8", masks(PF_LUMINANCE, 8, 0xFF, 0, 0, 0, 2), bytes({0x40, 0xFF}), {0xFF404040, 0xFFFFFFFF}},
        {"A8L8", masks(PF_LUMINANCE | PF_ALPHAPIXELS, 16, 0xFF, 0, 0, 0xFF00, 1), bytes({0x40, 0x80}),
         {0x80404040}},
        {"A8", masks(PF_ALPHA, 8, 0, 0, 0, 0xFF, 1), bytes({0x40}), {0x40000000}},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(c.name);
        const KeDdsImage image = parseOk(build(c.header, c.payload));
        EXPECT_EQ(image.kind, KeDdsKind::Image2D);
        EXPECT_EQ(image.pixels, c.expected);
    }
}

TEST(DdsReader, DecodesDxt1InBothColourModesAndCropsOddSizes) {
    Header h;
    h.width = 8;
    h.height = 4;
    h.pfFlags = PF_FOURCC;
    h.fourCC = fourcc("DXT1");
    // Block 0: red > blue, four colours; row 0 uses indices 0 1 2 3.
    // Block 1: blue < green, three colours and transparent black; row 0 uses 2 3 0 1.
    const auto payload = bytes({0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0, 0x1F, 0x00, 0xE0, 0x07, 0x4E, 0, 0, 0});
    const KeDdsImage image = parseOk(build(h, payload));
    const std::vector<uint32_t> row0(image.pixels.begin(), image.pixels.begin() + 8);
    EXPECT_EQ(row0, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA, 0xFF007F7F, 0x00000000,
                                           0xFF0000FF, 0xFF00FF00}));
    EXPECT_EQ(image.pixels[3 * 8 + 0], 0xFFFF0000u);
    EXPECT_EQ(image.pixels[3 * 8 + 7], 0xFF0000FFu);

    // A 5 x 3 image still takes whole blocks from the file and keeps only its own pixels.
    h.width = 5;
    h.height = 3;
    const KeDdsImage cropped = parseOk(build(h, payload));
    ASSERT_EQ(cropped.pixels.size(), 15u);
    EXPECT_EQ(cropped.pixels[4], 0xFF007F7Fu);
}

TEST(DdsReader, DecodesDxt3AndDxt5Alpha) {
    Header h;
    h.width = 4;
    h.height = 4;
    h.pfFlags = PF_FOURCC;
    {
        SCOPED_TRACE("DXT3: explicit 4-bit alpha, colours always in four-colour mode");
        h.fourCC = fourcc("DXT3");
        const auto payload = bytes({0x0F, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
        const KeDdsImage image = parseOk(build(h, payload));
        EXPECT_EQ(image.pixels[0], 0xFFAAAAAAu);
        EXPECT_EQ(image.pixels[1], 0x00AAAAAAu);
        EXPECT_EQ(image.pixels[3], 0x88AAAAAAu);
    }
    h.fourCC = fourcc("DXT5");
    const auto white = bytes({0xFF, 0xFF, 0x00, 0x00, 0, 0, 0, 0});
    {
        SCOPED_TRACE("DXT5: eight interpolated alphas");
        auto payload = bytes({255, 0, 0x88, 0x0E, 0, 0, 0, 0});
        payload.insert(payload.end(), white.begin(), white.end());
        const KeDdsImage image = parseOk(build(h, payload));
        EXPECT_EQ(image.pixels[0] >> 24, 255u);
        EXPECT_EQ(image.pixels[1] >> 24, 0u);
        EXPECT_EQ(image.pixels[2] >> 24, 218u);
        EXPECT_EQ(image.pixels[3] >> 24, 36u);
        EXPECT_EQ(image.pixels[0] & 0xFFFFFF, 0xFFFFFFu);
    }
    {
        SCOPED_TRACE("DXT5: six interpolated alphas plus 0 and 255");
        auto payload = bytes({0, 255, 0xBE, 0, 0, 0, 0, 0});
        payload.insert(payload.end(), white.begin(), white.end());
        const KeDdsImage image = parseOk(build(h, payload));
        EXPECT_EQ(image.pixels[0] >> 24, 0u);
        EXPECT_EQ(image.pixels[1] >> 24, 255u);
        EXPECT_EQ(image.pixels[2] >> 24, 51u);
    }
}

TEST(DdsReader, ReadsTopLevelOfEveryCubeFaceAcrossMipChains) {
    Header h;
    h.width = 2;
    h.height = 2;
    h.mips = 2;
    h.caps2 = CAPS2_CUBE_ALL;
    std::vector<uint8_t> payload;
    for (uint32_t f = 0; f < 6; ++f) {
        const auto level0 = words({0xFF000000 | f << 4 | 0, 0xFF000000 | f << 4 | 1, 0xFF000000 | f << 4 | 2,
                                   0xFF000000 | f << 4 | 3});
        const auto level1 = words({0xDEADBEEF});
        payload.insert(payload.end(), level0.begin(), level0.end());
        payload.insert(payload.end(), level1.begin(), level1.end());
    }
    const KeDdsImage image = parseOk(build(h, payload));
    EXPECT_EQ(image.kind, KeDdsKind::Cube);
    ASSERT_EQ(image.pixels.size(), 24u);
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(image.pixels[f * 4 + i], 0xFF000000 | f << 4 | i);
}

TEST(DdsReader, ReadsVolumeSlices) {
    Header h;
    h.width = 2;
    h.height = 2;
    h.depth = 2;
    h.caps2 = CAPS2_VOLUME;
    std::vector<uint32_t> voxels;
    std::vector<uint8_t> payload;
    for (uint32_t z = 0; z < 2; ++z)
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 2; ++x) {
                voxels.push_back(0xFF000000 | z << 16 | y << 8 | x);
                const auto w = words({voxels.back()});
                payload.insert(payload.end(), w.begin(), w.end());
            }
    const KeDdsImage image = parseOk(build(h, payload));
    EXPECT_EQ(image.kind, KeDdsKind::Volume);
    EXPECT_EQ(image.depth, 2u);
    EXPECT_EQ(image.pixels, voxels);
}

TEST(DdsReader, RejectsDamagedAndHostileFiles) {
    auto argb2x2 = [] {
        Header h;
        h.width = 2;
        h.height = 2;
        return h;
    };
    const std::vector<uint8_t> pixels(16, 0);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    {
        const auto f = build(argb2x2(), {});
        cases.push_back({"header cut short", std::vector<uint8_t>(f.begin(), f.begin() + 100)});
    }
    {
        auto f = build(argb2x2(), pixels);
        f[0] = 'X';
        cases.push_back({"bad magic", f});
    }
    {
        auto f = build(argb2x2(), pixels);
        f[4] = 100;
        cases.push_back({"bad header size", f});
    }
    cases.push_back({"truncated pixels", build(argb2x2(), std::vector<uint8_t>(15, 0))});
    {
        Header h = argb2x2();
        h.caps2 = 0x200 | 0x400;
        cases.push_back({"cube without all faces", build(h, std::vector<uint8_t>(16 * 6, 0))});
    }
    {
        Header h = argb2x2();
        h.caps2 = CAPS2_CUBE_ALL;
        cases.push_back({"cube missing the last face's data", build(h, std::vector<uint8_t>(16 * 5 + 8, 0))});
    }
    {
        Header h = argb2x2();
        h.pfFlags = PF_FOURCC;
        h.fourCC = fourcc("ATI2");
        cases.push_back({"unsupported compression", build(h, pixels)});
    }
    {
        Header h = argb2x2();
        h.bitCount = 12;
        cases.push_back({"odd bit count", build(h, pixels)});
    }
    {
        Header h = argb2x2();
        h.width = 0;
        cases.push_back({"zero width", build(h, pixels)});
    }
    {
        Header h = argb2x2();
        h.width = 0x7FFFFFFF;
        cases.push_back({"absurd width", build(h, pixels)});
    }
    {
        Header h = argb2x2();
        h.width = h.height = h.depth = 4096;
        h.caps2 = CAPS2_VOLUME;
        cases.push_back({"huge volume announced, little data", build(h, pixels)});
    }
    {
        Header h = argb2x2();
        h.pfFlags = PF_FOURCC;
        h.fourCC = fourcc("DXT5");
        h.width = h.height = 16;
        cases.push_back({"DXT5 short by one block", build(h, std::vector<uint8_t>(15 * 16, 0))});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeDdsImage image;
        std::string error;
        EXPECT_FALSE(kolm::keDdsParse(c.file.data(), c.file.size(), image, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(image.pixels.empty());
    }
}
