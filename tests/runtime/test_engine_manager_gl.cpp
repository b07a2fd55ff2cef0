// The engine manager on OpenGL: the copy shader and the screen quad, checked on pixels read
// back from the frame (Xvfb + llvmpipe).
#include "support/gl_fixture.h"

#include "core/KeError.h"
#include "runtime/CKeManager.h"
#include "engine/IKeRenderServices.h"
#include "engine/IKeVideoDriverExt.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "gl/KeScreenGrab.h"

#include <gtest/gtest.h>

using namespace irr;
using namespace kolm;

namespace {

// 64 x 64 texture whose texel (x, y) (row 0 at the top) is (4x, 4y, 128).
video::ITexture* gradient(video::IVideoDriver* driver) {
    video::IImage* img = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(64, 64));
    for (u32 y = 0; y < 64; ++y)
        for (u32 x = 0; x < 64; ++x) img->setPixel(x, y, video::SColor(255, x * 4, y * 4, 128));
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    video::ITexture* t = driver->addTexture("gradient", img);
    img->drop();
    return t;
}

int mismatches(const std::vector<uint8_t>& rgb) {
    int bad = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint8_t* p = &rgb[(y * 64 + x) * 3];
            bad += p[0] != x * 4 || p[1] != y * 4 || p[2] != 128;
        }
    return bad;
}

TEST(EngineGl, CopyTextureIsTexelExactOnTheBackBufferAndThroughARenderTarget) {
    keResetErrorReporter();
    gltest::GlDevice gl(64, 64);
    ASSERT_NE(gl.driver, nullptr) << "no OpenGL device (is DISPLAY set?)";
    IKeManager* manager = createKeManager(gl.device);
    ASSERT_NE(manager, nullptr);
    IKeRenderServices* rs = manager->getRenderServices();
    EXPECT_GE(rs->getCopyMaterialType(), 0);
    video::ITexture* tex = gradient(gl.driver);

    std::vector<uint8_t> rgb(64 * 64 * 3);
    gl.driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    rs->copyTexture(tex);
    ASSERT_TRUE(keReadBackBufferRGB(64, 64, rgb.data()));
    gl.driver->endScene();
    EXPECT_EQ(mismatches(rgb), 0);

    video::ITexture* rt = gl.driver->addRenderTargetTexture(core::dimension2du(64, 64), "copy_rt");
    ASSERT_NE(rt, nullptr);
    gl.driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    gl.driver->setRenderTarget(rt, true, true, video::SColor(255, 0, 0, 0));
    rs->copyTexture(tex);
    gl.driver->setRenderTarget(0, false, false);
    rs->copyTexture(rt);
    ASSERT_TRUE(keReadBackBufferRGB(64, 64, rgb.data()));
    gl.driver->endScene();
    EXPECT_EQ(mismatches(rgb), 0);
    manager->drop();
}

class Colour : public video::IShaderConstantSetCallBack {
public:
    f32 rgba[4] = {0, 0, 0, 1};
    void OnSetConstants(video::IMaterialRendererServices* s, s32) override { s->setPixelShaderConstant("color", rgba, 4); }
};

TEST(EngineGl, VideoDriverExtensionStatesApplyToTheNextDraws) {
    keResetErrorReporter();
    gltest::GlDevice gl(64, 64);
    ASSERT_NE(gl.driver, nullptr) << "no OpenGL device (is DISPLAY set?)";
    IKeManager* manager = createKeManager(gl.device);
    ASSERT_NE(manager, nullptr);
    const std::string file = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/passthrough.hlsl";
    auto* colour = new Colour();
    const s32 type = manager->getGPUProgrammingServices()->getShaderMaterial(
        file.c_str(), "vs_main", video::EVST_VS_3_0, file.c_str(), "ps_color", video::EPST_PS_3_0, colour,
        video::EMT_SOLID, 0, nullptr);
    ASSERT_GE(type, 0);
    video::SMaterial m;
    m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    m.Lighting = false;
    m.ZBuffer = video::ECFN_ALWAYS;
    IKeVideoDriverExt* ext = manager->getVideoDriverExt();

    gl.driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    // Mark the left half in the stencil buffer (always pass, replace with 1) while drawing red.
    ext->setStencil(true);
    ext->setStencilFunc(7);  // ALWAYS
    ext->setStencilPass(3);  // REPLACE
    colour->rgba[0] = 1;
    gltest::drawQuad(gl.driver, m, -1, -1, 0, 1);
    // Green only where the stencil holds 1.
    ext->setStencilFunc(2);  // EQUAL
    ext->setStencilPass(1);  // KEEP
    colour->rgba[0] = 0;
    colour->rgba[1] = 1;
    gltest::drawQuad(gl.driver, m);
    ext->setStencil(false);
    std::vector<uint8_t> rgb(64 * 64 * 3);
    ASSERT_TRUE(keReadBackBufferRGB(64, 64, rgb.data()));
    gl.driver->endScene();
    const uint8_t* left = &rgb[(32 * 64 + 8) * 3];
    const uint8_t* right = &rgb[(32 * 64 + 56) * 3];
    EXPECT_EQ(left[0], 0);
    EXPECT_EQ(left[1], 255);
    EXPECT_EQ(right[0], 0);
    EXPECT_EQ(right[1], 0) << "outside the stencil mark nothing is drawn";
    colour->drop();
    manager->drop();
}

}  // namespace
