// Screen passes and render states of shader materials on OpenGL (Xvfb + llvmpipe), checked
// pixel by pixel: Direct3D 9 pixel centres, the orientation rule of render targets through
// every path, two render targets at once, separate alpha and depth bias.
#include "support/gl_fixture.h"

#include "core/KeError.h"
#include "core/KePtr.h"
#include "engine/IKeVideoDriverExt.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "gl/KeGlProgram.h"
#include "gl/KeGlTarget.h"
#include "gl/KeGlTexture.h"
#include "gl/KeScreenGrab.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

using namespace irr;
using namespace kolm;

namespace {

const std::string kPasses = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/passes.hlsl";
constexpr int kSize = 64;  // window and targets

class PassConstants : public video::IShaderConstantSetCallBack {
public:
    float color[4] = {1, 0, 0, 1};
    float halfPixel[2] = {0, 0};
    void OnSetConstants(video::IMaterialRendererServices* s, s32) override {
        s->setPixelShaderConstant("color", color, 4);
        s->setVertexShaderConstant("HalfPixelSize", halfPixel, 2);
    }
};

video::SMaterial screenMaterial(s32 type) {
    video::SMaterial m;
    m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    m.Lighting = false;
    m.ZBuffer = video::ECFN_ALWAYS;
    m.ZWriteEnable = false;
    return m;
}

// A quad over the whole target at clip depth `z`.
void quadAtDepth(video::IVideoDriver* driver, const video::SMaterial& m, float z) {
    const video::SColor white(255, 255, 255, 255);
    video::S3DVertex v[4] = {video::S3DVertex(-1, 1, z, 0, 0, 1, white, 0, 0), video::S3DVertex(1, 1, z, 0, 0, 1, white, 1, 0),
                             video::S3DVertex(1, -1, z, 0, 0, 1, white, 1, 1), video::S3DVertex(-1, -1, z, 0, 0, 1, white, 0, 1)};
    const u16 idx[6] = {0, 1, 2, 0, 2, 3};
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setTransform(video::ETS_VIEW, core::IdentityMatrix);
    driver->setTransform(video::ETS_PROJECTION, core::IdentityMatrix);
    driver->setMaterial(m);
    driver->drawIndexedTriangleList(v, 4, idx, 2);
}

class PassesGl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sGl = std::make_unique<gltest::GlDevice>(kSize, kSize); }
    static void TearDownTestSuite() { sGl.reset(); }

    void SetUp() override {
        keResetErrorReporter();
        setLogThreshold(KE_WARN);
        gl = sGl.get();
        ASSERT_NE(gl->driver, nullptr) << "no OpenGL device (is DISPLAY set?)";
        driver = gl->driver;
        services = KePtr<CKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(gl->device));
        constants = KePtr<PassConstants>::adopt(new PassConstants());
    }
    void TearDown() override {
        if (driver) {
            driver->setRenderTarget(nullptr, false, false);
            driver->removeAllTextures();
        }
        keResetErrorReporter();
    }

    s32 material(const char* vs, const char* ps, video::E_MATERIAL_TYPE base = video::EMT_SOLID) {
        core::stringc error;
        const s32 type = services->getShaderMaterial(kPasses.c_str(), vs, video::EVST_VS_3_0, kPasses.c_str(), ps,
                                                     video::EPST_PS_3_0, constants.get(), base, 0, nullptr, &error);
        EXPECT_GE(type, 0) << error.c_str();
        return type;
    }

    video::ITexture* target(const char* name, video::ECOLOR_FORMAT format = video::ECF_A8R8G8B8) {
        video::ITexture* t = driver->addRenderTargetTexture(core::dimension2du(kSize, kSize), name, format);
        EXPECT_NE(t, nullptr);
        return t;
    }

    // The whole current target (or back buffer), rows top first.
    std::vector<uint32_t> read() {
        std::vector<uint32_t> px;
        EXPECT_TRUE(keGlReadCurrentTarget(driver, 0, 0, kSize, kSize, px));
        return px;
    }

    static std::unique_ptr<gltest::GlDevice> sGl;
    gltest::GlDevice* gl = nullptr;
    video::IVideoDriver* driver = nullptr;
    KePtr<CKeGPUProgrammingServices> services;
    KePtr<PassConstants> constants;
};

std::unique_ptr<gltest::GlDevice> PassesGl::sGl;

// 0xFFFFFFFF in the upper-left quarter, 0xFF000080 elsewhere, exactly; the number of pixels
// that differ.
int markerMismatches(const std::vector<uint32_t>& px, int size) {
    int bad = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint32_t want = (x < size / 2 && y < size / 2) ? 0xFFFFFFFFu : 0xFF000080u;
            if (!gltest::near(px[size_t(y) * size + x], want, 1)) ++bad;
        }
    return bad;
}

}  // namespace

TEST_F(PassesGl, AHalfTexelCopyOfAOnePixelCheckerboardIsExact) {
    // Direct3D 9 samples attributes at whole pixel coordinates; effects add half a texel to land
    // on texel centres. With bilinear filtering, half a texel off would blend to grey.
    video::IImage* img = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(kSize, kSize));
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            img->setPixel(x, y, ((x + y) & 1) ? video::SColor(255, 255, 255, 255) : video::SColor(255, 0, 0, 0));
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    video::ITexture* board = driver->addTexture("board", img);
    img->drop();
    const s32 type = material("vs_halfpixel", "ps_tex0");
    constants->halfPixel[0] = 0.5f / kSize;
    constants->halfPixel[1] = 0.5f / kSize;
    video::SMaterial m = screenMaterial(type);
    m.setTexture(0, board);
    m.TextureLayer[0].BilinearFilter = true;
    video::ITexture* rt = target("board_rt");

    // Into a render target, then from it onto the back buffer: both copies exact.
    ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 90, 0, 0)));
    driver->setRenderTarget(rt, true, true, video::SColor(255, 90, 0, 0));
    gltest::drawQuad(driver, m);
    const std::vector<uint32_t> inTarget = read();
    driver->setRenderTarget(nullptr, false, false);
    m.setTexture(0, rt);
    gltest::drawQuad(driver, m);
    const std::vector<uint32_t> onScreen = read();
    driver->endScene();
    for (const auto* px : {&inTarget, &onScreen}) {
        SCOPED_TRACE(px == &inTarget ? "render target" : "back buffer");
        int bad = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                const uint32_t want = ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
                if ((*px)[size_t(y) * kSize + x] != want && bad++ < 3)
                    ADD_FAILURE() << x << "," << y << ": " << std::hex << (*px)[size_t(y) * kSize + x];
            }
        EXPECT_EQ(bad, 0);
    }
}

TEST_F(PassesGl, OneOrientationForShaderAndFixedFunctionDrawsCopiesReadBackAnd2D) {
    // A marker white in its upper-left quarter goes through every path that writes or reads a
    // render target; each result must show it in the upper-left quarter.
    const s32 marker = material("vs_main", "ps_marker");
    const s32 copy = material("vs_main", "ps_tex0");
    video::ITexture* shaderDrawn = target("marker_shader");
    video::ITexture* fixedDrawn = target("marker_fixed");
    auto cube = KePtr<CKeGlTexture>::adopt(keGlCreateCubeRenderTarget(driver, "rt", kSize, video::ECF_A8R8G8B8));
    ASSERT_TRUE(cube);

    struct Result {
        const char* path;
        std::vector<uint32_t> px;
    };
    std::vector<Result> results;
    ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
    // Shader draw into a target; read back.
    driver->setRenderTarget(shaderDrawn, true, true, video::SColor(255, 0, 0, 0));
    gltest::drawQuad(driver, screenMaterial(marker));
    results.push_back({"shader draw into a target", read()});
    // Fixed-function draws into a target: a white 3D quad over the upper-left quarter and 2D
    // drawing, on dark blue.
    driver->setRenderTarget(fixedDrawn, true, true, video::SColor(255, 0, 0, 128));
    {
        KeGlTargetOrientation orientation(driver);
        video::SMaterial plain;
        plain.Lighting = false;
        plain.ZBuffer = video::ECFN_ALWAYS;
        gltest::drawQuad(driver, plain, -1, 0, 0, 1);
    }
    results.push_back({"fixed-function 3D draw into a target", read()});
    driver->setRenderTarget(fixedDrawn, true, true, video::SColor(255, 0, 0, 128));
    {
        KeGlTargetOrientation orientation(driver);
        driver->draw2DRectangle(video::SColor(255, 255, 255, 255), core::recti(0, 0, kSize / 2, kSize / 2));
    }
    results.push_back({"2D draw into a target", read()});
    // The shader-drawn target copied into a cube face.
    ASSERT_TRUE(keGlCopyTargetToCubeFace(driver, shaderDrawn, cube.get(), 2));
    Result face{"copy into a cube face", {}};
    ASSERT_TRUE(cube->readPixels(2, face.px));
    results.push_back(face);
    // A target sampled by a shader onto the back buffer, read back.
    driver->setRenderTarget(nullptr, true, true, video::SColor(255, 0, 0, 0));
    video::SMaterial fromTarget = screenMaterial(copy);
    fromTarget.setTexture(0, shaderDrawn);
    fromTarget.TextureLayer[0].BilinearFilter = false;
    gltest::drawQuad(driver, fromTarget);
    results.push_back({"a target sampled by a shader onto the back buffer", read()});
    // A target sampled by a shader into another target.
    driver->setRenderTarget(fixedDrawn, true, true, video::SColor(255, 0, 0, 0));
    gltest::drawQuad(driver, fromTarget);
    results.push_back({"a target sampled by a shader into a target", read()});
    // 2D drawing of targets onto the back buffer and into a target.
    for (video::ITexture* from : {shaderDrawn, fixedDrawn}) {
        driver->setRenderTarget(nullptr, true, true, video::SColor(255, 0, 0, 0));
        keGlDraw2DImage(driver, from, core::recti(0, 0, kSize, kSize), core::recti(0, 0, kSize, kSize));
        results.push_back({from == shaderDrawn ? "2D drawing of a shader-drawn target"
                                               : "2D drawing of a target drawn by a shader from a target",
                           read()});
    }
    driver->setRenderTarget(fixedDrawn, true, true, video::SColor(255, 0, 0, 0));
    keGlDraw2DImage(driver, shaderDrawn, core::recti(0, 0, kSize, kSize), core::recti(0, 0, kSize, kSize));
    results.push_back({"2D drawing of a target into a target", read()});
    driver->setRenderTarget(nullptr, false, false);
    driver->endScene();

    for (const Result& r : results) EXPECT_EQ(markerMismatches(r.px, kSize), 0) << r.path;
}

TEST_F(PassesGl, SeparateAlphaNeverTurnsBlendingOnForAMaterialThatDoesNotBlend) {
    auto ext = KePtr<IKeVideoDriverExt>::adopt(keCreateVideoDriverExt(gl->device));
    const s32 solid = material("vs_main", "ps_color");
    const s32 blending = material("vs_main", "ps_color", video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    video::ITexture* rt = target("alpha_rt");
    // Alpha of the result = the target's alpha (source factor zero, destination one).
    ext->setSeparateAlphaBlend(true);
    ext->setAlphaBlend(1, 0, 1);
    const struct {
        s32 type;
        float alpha;
        uint32_t want;
    } cases[] = {
        {solid, 1.0f, 0xFFFF0000u},     // written as it is: colour and alpha
        {blending, 0.5f, 0x40800000u},  // colour blended by source alpha, alpha kept
    };
    for (const auto& c : cases) {
        constants->color[0] = 1;
        constants->color[1] = constants->color[2] = 0;
        constants->color[3] = c.alpha;
        ASSERT_TRUE(driver->beginScene(true, true, video::SColor(0)));
        driver->setRenderTarget(rt, true, true, video::SColor(0x40, 0, 0, 0));
        gltest::drawQuad(driver, screenMaterial(c.type));
        const std::vector<uint32_t> px = read();
        driver->setRenderTarget(nullptr, false, false);
        driver->endScene();
        int bad = 0;
        for (uint32_t p : px)
            bad += !gltest::near(p, c.want, 1) || std::abs(int(p >> 24) - int(c.want >> 24)) > 1;
        EXPECT_EQ(bad, 0) << std::hex << "want " << c.want << " got " << px[0];
    }
    ext->setSeparateAlphaBlend(false);
}

TEST_F(PassesGl, DepthBiasCountsStepsOfTheDepthBufferInUse) {
    // Quad A (red) writes its depth; quad B (green) follows with a bias, passing where its
    // biased depth is less or equal. The bias is in depth-range units: 2^-bits is one step of
    // the depth buffer actually bound, the window's or a render target's.
    auto ext = KePtr<IKeVideoDriverExt>::adopt(keCreateVideoDriverExt(gl->device));
    const s32 type = material("vs_main", "ps_color");
    video::SMaterial m = screenMaterial(type);
    m.ZBuffer = video::ECFN_LESSEQUAL;
    m.ZWriteEnable = true;
    const struct {
        float offsetSteps;  // B's depth - A's depth
        float biasSteps;
        bool greenWins;
    } cases[] = {
        // GL may count up to a few steps per unit; a depth buffer mistaken for another is off
        // by a factor of 256.
        {64, -512, true},    // behind, pulled in front by the bias
        {64, 0, false},      // behind
        {-1024, 64, true},   // in front, pushed back less than its lead
        {-64, 1024, false},  // in front, pushed behind
    };
    video::ITexture* rt = target("depth_rt");
    ASSERT_TRUE(driver->beginScene(true, true, video::SColor(0)));
    for (video::ITexture* into : {static_cast<video::ITexture*>(nullptr), rt}) {
        for (const auto& c : cases) {
            driver->setRenderTarget(into, true, true, video::SColor(0));
            const u32 bits = keGlDepthBits();
            ASSERT_GE(bits, 16u);
            const float step = 1.0f / float(1u << bits);  // depth-range units
            SCOPED_TRACE(std::string(into ? "render target, " : "back buffer, ") + std::to_string(bits) + " bits");
            ext->setDepthBias(0, 0);
            constants->color[0] = 1;
            constants->color[1] = 0;
            quadAtDepth(driver, m, 0.0f);
            float bias = c.biasSteps * step, slope = 0;
            u32 biasBits, slopeBits;
            std::memcpy(&biasBits, &bias, 4);
            std::memcpy(&slopeBits, &slope, 4);
            ext->setDepthBias(biasBits, slopeBits);
            constants->color[0] = 0;
            constants->color[1] = 1;
            // Clip z maps to depth z / 2 + 1 / 2.
            quadAtDepth(driver, m, 2.0f * c.offsetSteps * step);
            ext->setDepthBias(0, 0);
            const std::vector<uint32_t> px = read();
            int bad = 0;
            for (uint32_t p : px) bad += p != (c.greenWins ? 0xFF00FF00u : 0xFFFF0000u);
            EXPECT_EQ(bad, 0) << "offset " << c.offsetSteps << " bias " << c.biasSteps;
        }
    }
    driver->setRenderTarget(nullptr, false, false);
    driver->endScene();
}

TEST_F(PassesGl, TwoTargetsAreBothWrittenAndALaterSingleTargetDrawLeavesTheSecondAlone) {
    const s32 type = material("vs_main", "ps_two");  // COLOR0 = colour, COLOR1 = its blue, green, red
    video::ITexture* first = target("mrt_first");
    video::ITexture* second = target("mrt_second");
    core::array<video::IRenderTarget> both;
    both.push_back(video::IRenderTarget(first));
    both.push_back(video::IRenderTarget(second));
    auto expectAll = [&](video::ITexture* t, uint32_t want, const char* what) {
        driver->setRenderTarget(t, false, false);
        const std::vector<uint32_t> px = read();
        int bad = 0;
        for (uint32_t p : px) bad += !gltest::near(p, want, 1);
        EXPECT_EQ(bad, 0) << what << std::hex << ": want " << want << " got " << px[0];
    };
    ASSERT_TRUE(driver->beginScene(true, true, video::SColor(0)));
    ASSERT_TRUE(driver->setRenderTarget(both, true, true, video::SColor(255, 0, 0, 0)));
    constants->color[0] = 1;
    constants->color[1] = 0.5f;
    constants->color[2] = 0;
    constants->color[3] = 1;
    gltest::drawQuad(driver, screenMaterial(type));
    // One target: the same shader writes COLOR1 too, which must go nowhere.
    driver->setRenderTarget(first, false, false);
    constants->color[0] = 0;
    constants->color[1] = 0;
    constants->color[2] = 1;
    gltest::drawQuad(driver, screenMaterial(type));
    expectAll(first, 0xFF0000FFu, "first target after the single-target draw");
    expectAll(second, 0xFF0080FFu, "second target keeps the two-target draw");  // not 0xFFFF0000
    driver->setRenderTarget(nullptr, false, false);
    driver->endScene();
}
