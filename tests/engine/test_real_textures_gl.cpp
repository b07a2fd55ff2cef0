// Real, public texture files through the texture manager on OpenGL: DDS in DXT1, DXT3 (a width
// that is not a power of two), DXT5 with mip-maps, a DXT1 cube map, a 32^3 volume and
// uncompressed layouts; PNG test-suite images (16-bit, grey with alpha, colour-key and palette
// transparency). Size and format are checked, and texels against a decode written here from
// the formats' documents. The files live in ../shared/assets; without them the tests skip.
#include "support/gl_fixture.h"

#include "core/KePtr.h"
#include "engine/IKeTextureManager.h"
#include "gl/KeGlTexture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace irr;
using namespace kolm;

namespace {

const std::string kAssets = std::string(KOLM_SOURCE_DIR) + "/../shared/assets/textures/";

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// --- DDS, as the DirectDraw surface document lays it out ------------------------------------

uint32_t expand565(uint16_t c) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}
uint32_t mix(uint32_t a, uint32_t b, int wa, int wb, int d) {
    uint32_t out = 0;
    for (int s : {0, 8, 16}) out |= uint32_t((((a >> s) & 255) * wa + ((b >> s) & 255) * wb) / d) << s;
    return out;
}

// Texel (x, y) of the top level of a DXT1/3/5 surface starting at `data`, 0xAARRGGBB.
uint32_t dxtTexel(const uint8_t* data, uint32_t width, int dxt, uint32_t x, uint32_t y) {
    const uint32_t blocksWide = (width + 3) / 4, blockBytes = dxt == 1 ? 8 : 16;
    const uint8_t* block = data + (size_t(y / 4) * blocksWide + x / 4) * blockBytes;
    const uint32_t i = (y % 4) * 4 + x % 4;
    const uint8_t* colour = dxt == 1 ? block : block + 8;
    const uint16_t c0 = uint16_t(colour[0] | colour[1] << 8), c1 = uint16_t(colour[2] | colour[3] << 8);
    const uint32_t e0 = expand565(c0), e1 = expand565(c1);
    const uint32_t index = (le32(colour + 4) >> (2 * i)) & 3;
    uint32_t rgb = 0, alpha = 255;
    if (dxt != 1 || c0 > c1) {
        const uint32_t table[4] = {e0, e1, mix(e0, e1, 2, 1, 3), mix(e0, e1, 1, 2, 3)};
        rgb = table[index];
    } else {
        const uint32_t table[4] = {e0, e1, mix(e0, e1, 1, 1, 2), 0};
        rgb = table[index];
        if (index == 3) alpha = 0;
    }
    if (dxt == 3) {
        const uint32_t a = (block[i / 2] >> (4 * (i % 2))) & 15;
        alpha = a * 17;
    } else if (dxt == 5) {
        const uint32_t a0 = block[0], a1 = block[1];
        uint64_t bits = 0;
        for (int k = 0; k < 6; ++k) bits |= uint64_t(block[2 + k]) << (8 * k);
        const uint32_t ai = uint32_t(bits >> (3 * i)) & 7;
        if (ai == 0) alpha = a0;
        else if (ai == 1) alpha = a1;
        else if (a0 > a1) alpha = ((8 - ai) * a0 + (ai - 1) * a1) / 7;
        else alpha = ai == 6 ? 0 : ai == 7 ? 255 : ((6 - ai) * a0 + (ai - 1) * a1) / 5;
    }
    return alpha << 24 | rgb;
}

// Texel of an uncompressed surface described by its bit count and masks.
uint32_t maskedTexel(const uint8_t* data, uint32_t width, uint32_t bits, const uint32_t masks[4], uint32_t x,
                     uint32_t y, uint32_t z = 0, uint32_t height = 0) {
    const uint32_t bytes = bits / 8;
    const uint8_t* p = data + ((size_t(z) * height + y) * width + x) * bytes;
    uint32_t v = 0;
    for (uint32_t b = 0; b < bytes; ++b) v |= uint32_t(p[b]) << (8 * b);
    auto channel = [v](uint32_t mask, uint32_t absent) {
        if (!mask) return absent;
        uint32_t shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const uint32_t max = mask >> shift;
        return ((v & mask) >> shift) * 255 / max;
    };
    return channel(masks[3], 255) << 24 | channel(masks[0], 0) << 16 | channel(masks[1], 0) << 8 | channel(masks[2], 0);
}

// The top level's pixels of a library texture, 0xAARRGGBB, rows top first.
std::vector<uint32_t> libraryPixels(video::ITexture* t) {
    std::vector<uint32_t> out;
    const core::dimension2du size = t->getSize();
    const void* data = t->lock(video::ETLM_READ_ONLY);
    if (!data || t->getColorFormat() != video::ECF_A8R8G8B8) return out;
    out.resize(size_t(size.Width) * size.Height);
    for (u32 y = 0; y < size.Height; ++y)
        std::memcpy(&out[size_t(y) * size.Width], static_cast<const uint8_t*>(data) + size_t(y) * t->getPitch(),
                    size.Width * 4);
    t->unlock();
    return out;
}

class RealTexturesGl : public gltest::GlDeviceTest {
protected:
    void SetUp() override {
        gltest::GlDeviceTest::SetUp();
        if (IsSkipped()) return;
        if (!std::filesystem::is_directory(kAssets))
            GTEST_SKIP() << "the shared test assets are absent: no folder " << kAssets;
        manager = KePtr<IKeTextureManager>::adopt(keCreateTextureManager(device));
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override {
        manager.reset();
        gltest::GlDeviceTest::TearDown();
    }
    KePtr<IKeTextureManager> manager;
};

// A few texels: the four corners, the centre and a spread of others.
std::vector<std::pair<u32, u32>> probes(u32 w, u32 h) {
    std::vector<std::pair<u32, u32>> p = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}};
    for (u32 k = 1; k < 8; ++k) p.push_back({(k * 37) % w, (k * 53) % h});
    return p;
}

TEST_F(RealTexturesGl, DdsFilesLoadWithTheirSizeFormatAndTexels) {
    struct Case {
        const char* file;
        u32 width, height;
        int dxt;  // 0: uncompressed
    };
    const Case cases[] = {
        {"dds/brass.dds", 16, 16, 1},      {"dds/tree01S.dds", 208, 256, 3}, {"dds/Foliage.dds", 512, 512, 5},
        {"dds/SmallTexture.dds", 2, 2, 0}, {"dds/rainbow.dds", 128, 1, 0},   {"dds/linear.dds", 16, 16, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> file = readAll(kAssets + c.file);
        ASSERT_GT(file.size(), 128u);
        ASSERT_EQ(le32(&file[0]), 0x20534444u);  // "DDS "
        ASSERT_EQ(le32(&file[16]), c.width);
        ASSERT_EQ(le32(&file[12]), c.height);
        video::ITexture* t = manager->getTexture((kAssets + c.file).c_str(), true);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->getOriginalSize(), core::dimension2du(c.width, c.height));
        EXPECT_EQ(t->getColorFormat(), video::ECF_A8R8G8B8);
        const std::vector<uint32_t> px = libraryPixels(t);
        ASSERT_EQ(px.size(), size_t(c.width) * c.height) << "texture size " << t->getSize().Width;
        const uint32_t masks[4] = {le32(&file[92]), le32(&file[96]), le32(&file[100]),
                                   (le32(&file[80]) & 0x1) ? le32(&file[104]) : 0};
        for (auto [x, y] : probes(c.width, c.height)) {
            const uint32_t want = c.dxt ? dxtTexel(&file[128], c.width, c.dxt, x, y)
                                        : maskedTexel(&file[128], c.width, le32(&file[88]), masks, x, y);
            const uint32_t got = px[size_t(y) * c.width + x];
            EXPECT_TRUE(gltest::near(got, want, 1) && std::abs(int(got >> 24) - int(want >> 24)) <= 1)
                << "texel " << x << "," << y << " is " << std::hex << got << " not " << want;
        }
    }
}

TEST_F(RealTexturesGl, ADdsCubeMapAndAVolumeBecomeEngineTextures) {
    const std::string cubeFile = kAssets + "dds/LobbyCube.dds";
    const std::vector<uint8_t> cubeBytes = readAll(cubeFile);
    video::ITexture* cube = manager->getCubeTexture(cubeFile.c_str(), false);
    CKeGlTexture* glCube = keAsEngineTexture(cube);
    ASSERT_NE(glCube, nullptr);
    EXPECT_EQ(glCube->getKind(), KeGlTextureKind::Cube);
    EXPECT_EQ(glCube->getSize(), core::dimension2du(256, 256));
    const size_t faceBytes = size_t(64) * 64 * 8;  // DXT1 blocks of one 256 x 256 face
    for (u32 face = 0; face < 6; ++face) {
        std::vector<uint32_t> px;
        ASSERT_TRUE(glCube->readPixels(face, px));
        ASSERT_EQ(px.size(), 256u * 256u);
        for (auto [x, y] : probes(256, 256)) {
            const uint32_t want = dxtTexel(&cubeBytes[128 + face * faceBytes], 256, 1, x, y);
            EXPECT_TRUE(gltest::near(px[y * 256 + x], want, 1))
                << "face " << face << " texel " << x << "," << y << " is " << std::hex << px[y * 256 + x] << " not " << want;
        }
    }

    const std::string volumeFile = kAssets + "dds/smallnoise3d.dds";
    const std::vector<uint8_t> volumeBytes = readAll(volumeFile);
    video::ITexture* volume = manager->get3DTexture(volumeFile.c_str());
    CKeGlTexture* glVolume = keAsEngineTexture(volume);
    ASSERT_NE(glVolume, nullptr);
    EXPECT_EQ(glVolume->getKind(), KeGlTextureKind::Volume);
    EXPECT_EQ(glVolume->getSize(), core::dimension2du(32, 32));
    EXPECT_EQ(glVolume->getDepth(), 32u);
    std::vector<uint32_t> voxels;
    ASSERT_TRUE(glVolume->readPixels(0, voxels));
    ASSERT_EQ(voxels.size(), 32u * 32u * 32u);
    const uint32_t masks[4] = {le32(&volumeBytes[92]), le32(&volumeBytes[96]), le32(&volumeBytes[100]),
                               le32(&volumeBytes[104])};
    for (u32 z : {0u, 7u, 31u})
        for (auto [x, y] : probes(32, 32)) {
            const uint32_t want = maskedTexel(&volumeBytes[128], 32, 32, masks, x, y, z, 32);
            const uint32_t got = voxels[(size_t(z) * 32 + y) * 32 + x];
            EXPECT_EQ(got, want) << "voxel " << x << "," << y << "," << z;
        }
}

// --- PNG, decoded as the file format defines it ----------------------------------------------

// The image of a non-interlaced PNG as 0xAARRGGBB words, transparency keys and palette alpha
// applied. Colours are corrected for a display gamma of 2.2 from the file's gAMA (1/2.2 when
// it has none, which changes nothing), as the library's PNG loader does.
bool decodePng(const std::vector<uint8_t>& f, u32& w, u32& h, std::vector<uint32_t>& out) {
    if (f.size() < 33 || std::memcmp(f.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return false;
    std::vector<uint8_t> idat, palette, trns;
    u32 depth = 0, type = 0;
    double fileGamma = 0.45455;
    for (size_t at = 8; at + 12 <= f.size();) {
        const u32 len = be32(&f[at]);
        const std::string kind(reinterpret_cast<const char*>(&f[at + 4]), 4);
        const uint8_t* d = &f[at + 8];
        if (kind == "IHDR") {
            w = be32(d);
            h = be32(d + 4);
            depth = d[8];
            type = d[9];
            if (d[12] != 0) return false;
        } else if (kind == "PLTE") palette.assign(d, d + len);
        else if (kind == "tRNS") trns.assign(d, d + len);
        else if (kind == "IDAT") idat.insert(idat.end(), d, d + len);
        else if (kind == "gAMA") fileGamma = be32(d) / 100000.0;
        at += 12 + len;
    }
    const u32 channels = type == 0 ? 1 : type == 2 ? 3 : type == 3 ? 1 : type == 4 ? 2 : 4;
    const u32 bpp = std::max<u32>(1, channels * depth / 8), stride = (w * channels * depth + 7) / 8;
    std::vector<uint8_t> raw(size_t(h) * (stride + 1));
    uLongf rawSize = uLongf(raw.size());
    if (uncompress(raw.data(), &rawSize, idat.data(), uLong(idat.size())) != Z_OK || rawSize != raw.size()) return false;
    std::vector<uint8_t> img(size_t(h) * stride), zero(stride, 0);
    for (u32 y = 0; y < h; ++y) {
        const uint8_t filter = raw[size_t(y) * (stride + 1)];
        const uint8_t* src = &raw[size_t(y) * (stride + 1) + 1];
        uint8_t* row = &img[size_t(y) * stride];
        const uint8_t* up = y ? &img[size_t(y - 1) * stride] : zero.data();
        for (u32 i = 0; i < stride; ++i) {
            const int a = i >= bpp ? row[i - bpp] : 0, b = up[i], c = i >= bpp ? up[i - bpp] : 0;
            int p = src[i];
            if (filter == 1) p += a;
            else if (filter == 2) p += b;
            else if (filter == 3) p += (a + b) / 2;
            else if (filter == 4) {
                const int e = a + b - c, pa = std::abs(e - a), pb = std::abs(e - b), pc = std::abs(e - c);
                p += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            }
            row[i] = uint8_t(p);
        }
    }
    const u32 bytes = depth / 8;  // 8- and 16-bit images only
    out.resize(size_t(w) * h);
    for (u32 y = 0; y < h; ++y)
        for (u32 x = 0; x < w; ++x) {
            const uint8_t* s = &img[size_t(y) * stride + size_t(x) * channels * bytes];
            auto full = [&](u32 k) { return bytes == 2 ? u32(s[k * 2] << 8 | s[k * 2 + 1]) : u32(s[k]); };
            const double top = bytes == 2 ? 65535.0 : 255.0;
            auto sample = [&](u32 k) { return u32(std::lround(full(k) * 255.0 / top)); };
            auto corrected = [&](double v) {
                return u32(std::lround(255.0 * std::pow(v / top, 1.0 / (2.2 * fileGamma))));
            };
            u32 r = 0, g = 0, b = 0, a = 255;
            if (type == 3) {
                const u32 i = s[0];
                r = corrected(palette[i * 3]);
                g = corrected(palette[i * 3 + 1]);
                b = corrected(palette[i * 3 + 2]);
                if (i < trns.size()) a = trns[i];
            } else if (type == 0 || type == 4) {
                r = g = b = corrected(full(0));
                if (type == 4) a = sample(1);
                else if (trns.size() >= 2 && full(0) == u32(trns[0] << 8 | trns[1])) a = 0;
            } else {
                r = corrected(full(0));
                g = corrected(full(1));
                b = corrected(full(2));
                if (type == 6) a = sample(3);
                else if (trns.size() >= 6 && full(0) == u32(trns[0] << 8 | trns[1]) &&
                         full(1) == u32(trns[2] << 8 | trns[3]) && full(2) == u32(trns[4] << 8 | trns[5]))
                    a = 0;
            }
            out[size_t(y) * w + x] = a << 24 | r << 16 | g << 8 | b;
        }
    return true;
}

TEST_F(RealTexturesGl, PngSuiteImagesLoadWithTheirAlpha) {
    for (const char* name : {"png/basn6a08.png", "png/basn6a16.png", "png/basn4a08.png", "png/ftbrn2c08.png",
                             "png/ftbbn3p08.png", "png/basn3p08.png"}) {
        SCOPED_TRACE(name);
        u32 w = 0, h = 0;
        std::vector<uint32_t> want;
        ASSERT_TRUE(decodePng(readAll(kAssets + name), w, h, want));
        video::ITexture* t = manager->getTexture((kAssets + name).c_str(), false);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->getOriginalSize(), core::dimension2du(w, h));
        EXPECT_EQ(t->getColorFormat(), video::ECF_A8R8G8B8);
        const std::vector<uint32_t> px = libraryPixels(t);
        ASSERT_EQ(px.size(), want.size());
        int off = 0;
        for (size_t i = 0; i < px.size(); ++i) {
            const bool same = gltest::near(px[i], want[i], 1) && std::abs(int(px[i] >> 24) - int(want[i] >> 24)) <= 1;
            // A transparent texel's colour is not part of the picture.
            if (!same && !((want[i] >> 24) == 0 && (px[i] >> 24) == 0) && ++off <= 4)
                ADD_FAILURE() << "texel " << i % w << "," << i / w << " is " << std::hex << px[i] << " not " << want[i];
        }
        EXPECT_EQ(off, 0);
    }
}

}  // namespace
