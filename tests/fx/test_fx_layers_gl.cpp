// Texture layers of engine shader materials on OpenGL (Xvfb + llvmpipe), pixels read back: one
// draw reads an engine float texture, cube texture and volume texture and a library texture
// on layer 6 with their layers' sampler states; the sRGB flag of a layer; units 0-3 given
// back to the library afterwards.
#include "support/gl_fixture.h"
#include "support/log_capture.h"

#include "core/KePtr.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/KeMaterialBinding.h"
#include "gl/KeGlTexture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace irr;
using namespace kolm;

namespace {

const std::string kLayers = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/layers.hlsl";
constexpr u32 kSize = 64;

class LayersGl : public gltest::GlDeviceTest {};

video::SMaterialLayer pointSampled(video::ITexture* t) {
    video::SMaterialLayer l;
    l.Texture = t;
    l.BilinearFilter = false;
    l.TrilinearFilter = false;
    return l;
}

int srgbToLinear(int v) {
    const double c = v / 255.0;
    return int(std::lround(255.0 * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4))));
}

TEST_F(LayersGl, OneDrawReadsEngineCubeVolumeFloatAndALibraryTextureOnLayerSix) {
    kolmtest::LogCapture log;
    KePtr<CKeGPUProgrammingServices> services = KePtr<CKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
    core::stringc error;
    const s32 type = services->getShaderMaterial(kLayers.c_str(), "vs_main", video::EVST_VS_3_0, kLayers.c_str(),
                                                 "ps_layers", video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0,
                                                 nullptr, &error);
    ASSERT_GE(type, 0) << error.c_str();

    // Layer 0: two floats; layer 1: a cube whose faces differ; layer 2: a 2 x 2 x 4 volume of
    // four slices; layer 6: a 4 x 4 library texture of sixteen colours.
    const float floats[2] = {0.25f, 0.75f};
    KePtr<CKeGlTexture> floatTex = KePtr<CKeGlTexture>::adopt(keGlCreateFloatTexture(driver, "f", 2, 1, floats));
    const uint32_t faceColours[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
    std::vector<uint32_t> faces[6];
    const uint32_t* facePtrs[6];
    for (int f = 0; f < 6; ++f) {
        faces[f].assign(4 * 4, faceColours[f]);
        facePtrs[f] = faces[f].data();
    }
    KePtr<CKeGlTexture> cube = KePtr<CKeGlTexture>::adopt(keGlCreateCubeTexture(driver, "c", 4, facePtrs, false));
    const uint32_t sliceColours[4] = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0};
    std::vector<uint32_t> voxels;
    for (uint32_t z = 0; z < 4; ++z) voxels.insert(voxels.end(), 4, sliceColours[z]);
    KePtr<CKeGlTexture> volume = KePtr<CKeGlTexture>::adopt(keGlCreateVolumeTexture(driver, "v", 2, 2, 4, voxels.data(), false));
    ASSERT_TRUE(floatTex && cube && volume);
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, {4, 4});
    auto texel6 = [](u32 x, u32 y) { return 0xFF000000u | (40 + 60 * x) << 16 | (30 + 70 * y) << 8 | (200 - 40 * x); };
    for (u32 y = 0; y < 4; ++y)
        for (u32 x = 0; x < 4; ++x) image->setPixel(x, y, video::SColor(texel6(x, y)));
    video::ITexture* six = driver->addTexture("six", image);
    image->drop();

    KeMaterialBinding record;
    record.layers[0] = pointSampled(floatTex.get());
    record.layers[1] = pointSampled(cube.get());
    record.layers[2] = pointSampled(volume.get());
    record.layers[6] = pointSampled(six);
    video::SMaterial material;
    material.MaterialType = video::E_MATERIAL_TYPE(type);
    material.Lighting = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    record.attach(material);

    video::ITexture* target = driver->addRenderTargetTexture({kSize, kSize}, "rt");
    auto draw = [&] {
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        driver->setRenderTarget(target, true, true, video::SColor(255, 0, 0, 0));
        gltest::drawQuad(driver, material);
        const std::vector<uint32_t> px = readTarget(kSize, kSize);
        driver->setRenderTarget(nullptr, false, false);
        driver->endScene();
        return px;
    };
    // What each pixel reads; pixels next to a column, band or texel edge are left out.
    auto expected = [&](u32 x, u32 y, bool srgb6, uint32_t& want) {
        const u32 column = x / 16, cx = x % 16;
        if (cx < 1 || cx > 14 || y % 16 < 1 || y % 16 > 14) return false;
        switch (column) {
        case 0: want = y < 32 ? 0xFF400000u : 0xFFBF0000u; return true;
        case 1: want = y < 32 ? faceColours[0] : faceColours[5]; return true;
        case 2: want = sliceColours[y / 16]; return true;
        default:
            if (cx % 4 == 0 || cx % 4 == 3) return false;
            want = texel6(cx / 4, y / 16);
            if (srgb6)
                want = 0xFF000000u | u32(srgbToLinear(gltest::red(want))) << 16 |
                       u32(srgbToLinear(gltest::green(want))) << 8 | u32(srgbToLinear(gltest::blue(want)));
            return true;
        }
    };
    for (bool srgb6 : {false, true}) {
        record.layerFlags[6] = srgb6 ? KE_LAYER_SRGB : 0;
        const std::vector<uint32_t> px = draw();
        int off = 0;
        for (u32 y = 0; y < kSize; ++y)
            for (u32 x = 0; x < kSize; ++x) {
                uint32_t want = 0;
                if (!expected(x, y, srgb6, want)) continue;
                if (!gltest::near(px[y * kSize + x], want, 1) && ++off <= 6)
                    ADD_FAILURE() << (srgb6 ? "sRGB " : "") << "pixel " << x << "," << y << " is " << std::hex
                                  << px[y * kSize + x] << " not " << want;
            }
        EXPECT_EQ(off, 0);
    }
    EXPECT_EQ(log.text, "");

    // The library's own draw after it: unit 0 filters with the library's states again (the
    // layer above read unit 0 point-sampled), so a black-white texture blends in the middle.
    video::IImage* ramp = driver->createImage(video::ECF_A8R8G8B8, {2, 1});
    ramp->setPixel(0, 0, video::SColor(255, 0, 0, 0));
    ramp->setPixel(1, 0, video::SColor(255, 255, 255, 255));
    video::ITexture* rampTex = driver->addTexture("ramp", ramp);
    ramp->drop();
    video::SMaterial plain;
    plain.Lighting = false;
    plain.ZBuffer = video::ECFN_ALWAYS;
    plain.UseMipMaps = false;
    plain.TextureLayer[0].Texture = rampTex;
    plain.TextureLayer[0].BilinearFilter = true;
    plain.TextureLayer[0].TextureWrapU = video::ETC_CLAMP_TO_EDGE;
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    driver->setRenderTarget(target, true, true, video::SColor(255, 0, 0, 0));
    gltest::drawQuad(driver, material);
    gltest::drawQuad(driver, plain);
    const std::vector<uint32_t> px = readTarget(kSize, kSize);
    driver->setRenderTarget(nullptr, false, false);
    driver->endScene();
    for (u32 x : {31u, 32u}) {
        const int g = gltest::green(px[32 * kSize + x]);
        EXPECT_GT(g, 100) << "pixel " << x << " is " << std::hex << px[32 * kSize + x];
        EXPECT_LT(g, 160) << "pixel " << x << " is " << std::hex << px[32 * kSize + x];
    }
}

}  // namespace
