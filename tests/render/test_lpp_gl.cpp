// The light pre-pass renderer on OpenGL (Xvfb + llvmpipe), pixels read back: its targets by name,
// size and format, float targets, target pairs, the shadow maps' own depth buffers, the
// orientation of pictures through camera-effect chains, a checkerboard kept exact, the light
// buffer and the normal target of a small scene.
#include "lpp_fixture.h"

#include "api/KeCameraApi.h"

#include "support/gl_fixture.h"

#include <gtest/gtest.h>

using namespace irr;
using namespace kolm;
using namespace lpptest;

namespace {

const std::string kQuad = KOLM_TEST_DATA_DIR "/render/lpp_quad.hlsl";
const std::string kMarker = KOLM_TEST_DATA_DIR "/render/lpp_marker.hlsl";
const std::string kPassThrough = KOLM_TEST_DATA_DIR "/render/lpp_passthrough_effect.hlsl";

class LppGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    }
    void TearDown() override {
        if (quad) quad->drop();
        keDeleteAllObjects();
        keDeleteAllLights();
        keDeleteAllEffects();
        keSceneUnload(1);
        keStopEngine();
        keResetErrorReporter();
    }
    void start(int w, int h) {
        width = w;
        height = h;
        renderer = startEngine(w, h);
        ASSERT_NE(renderer, nullptr) << "the engine did not start with the light pre-pass renderer";
        quad = loadEffect(kQuad);
        ASSERT_NE(quad, nullptr);
    }
    video::ITexture* target(const char* name) {
        video::ITexture* t = driver()->findTexture(name);
        EXPECT_NE(t, nullptr) << name;
        return t;
    }
    // Draws the test quad into the current target(s): layer 0 x scale + colour, second output
    // `second`, at clip depth `depth`, with the given depth test and writing.
    void drawQuad(const float colour[4], const float second[4], float scale = 0.0f, video::ITexture* layer0 = nullptr,
                  float depth = 0.5f, video::E_COMPARISON_FUNC test = video::ECFN_ALWAYS, bool writeDepth = false) {
        quad->setFloatArray("Color", colour, 4);
        quad->setFloatArray("Second", second, 4);
        quad->setFloat("Scale", scale);
        quad->setFloat("Depth", depth);
        quad->setTexture("Tex__0", layer0, false);
        CKeScreenQuad screen;
        KeMaterialBinding record;
        ASSERT_TRUE(keLppApplyEffect(quad, screen.getMaterial(), record));
        screen.getMaterial().ZBuffer = test;
        screen.getMaterial().ZWriteEnable = writeDepth;
        screen.render(driver());
    }

    CKeRendererLpp* renderer = nullptr;
    IKeEffect* quad = nullptr;
    int width = 0, height = 0;
};

const float kNone[4] = {0, 0, 0, 0};

TEST_F(LppGl, TargetsByNameSizeAndFormatAndFloatTargetsHoldValuesAboveOne) {
    start(100, 60);
    const video::ECOLOR_FORMAT colour = video::ECF_A16B16G16R16F;  // as the start-up asks
    for (const KeLppTargetInfo& info : kKeLppTargets) {
        video::ITexture* t = target(info.name);
        if (!t) continue;
        EXPECT_EQ(t->getSize(), core::dimension2du(std::max(1u, 100u >> info.shift), std::max(1u, 60u >> info.shift)))
            << info.name;
        EXPECT_EQ(t->getColorFormat(), info.r32f ? video::ECF_R32F : colour) << info.name;
        EXPECT_TRUE(t->isRenderTarget()) << info.name;
    }
    for (u32 i = 0; i < KE_LPP_SHADOW_MAPS; ++i) {
        video::ITexture* t = target(kKeLppShadowMapNames[i]);
        if (!t) continue;
        EXPECT_EQ(t->getSize(), core::dimension2du(kKeLppShadowMapSizes[i], kKeLppShadowMapSizes[i]));
        EXPECT_EQ(t->getColorFormat(), video::ECF_R32F);
    }
    EXPECT_EQ(renderer->getTargets().find("NoSuchTarget"), nullptr);

    // 2.0 written into a colour target and 3.0 into the depth target survive: a quarter and a
    // sixth of them read back as one half.
    video::ITexture* probe = driver()->addRenderTargetTexture({100, 60}, "probe", video::ECF_A8R8G8B8);
    ASSERT_NE(probe, nullptr);
    driver()->beginScene(false, false);
    const float two[4] = {2, 2, 2, 2}, three[4] = {3, 3, 3, 3};
    driver()->setRenderTarget(target("BackRTT[1]"), false, false);
    drawQuad(two, kNone);
    driver()->setRenderTarget(target("DepthRTT"), false, false);
    drawQuad(three, kNone);
    driver()->setRenderTarget(probe, true, false, video::SColor(0));
    drawQuad(kNone, kNone, 0.25f, target("BackRTT[1]"));
    const std::vector<uint32_t> quarter = readTarget(probe);
    driver()->setRenderTarget(probe, true, false, video::SColor(0));
    drawQuad(kNone, kNone, 1.0f / 6.0f, target("DepthRTT"));
    const std::vector<uint32_t> sixth = readTarget(probe);
    driver()->endScene();
    EXPECT_TRUE(gltest::near(quarter[30 * 100 + 50], 0x808080, 1)) << std::hex << quarter[30 * 100 + 50];
    EXPECT_TRUE(gltest::near(sixth[30 * 100 + 50], 0x800000, 1)) << std::hex << sixth[30 * 100 + 50];
}

TEST_F(LppGl, APairOfTargetsLeavesTheSecondAloneInLaterSingleTargetDraws) {
    start(64, 48);
    video::ITexture* first = target("BackRTT[1]");
    video::ITexture* second = target("NormalRTT");
    driver()->beginScene(false, false);
    KeLppTargetPair pair;
    const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1}, blue[4] = {0, 0, 1, 1}, white[4] = {1, 1, 1, 1};
    {
        KeLppTargetPair::Scope both(pair, driver(), first, second);
        ASSERT_TRUE(both.ok());
        drawQuad(red, green);
    }
    // The first target alone (still the driver's current one): the shader's second output has
    // nowhere to go.
    driver()->setRenderTarget(first, false, false);
    drawQuad(blue, white);
    const std::vector<uint32_t> a = readTarget(first), b = readTarget(second);
    // The pair again, then the second target alone.
    {
        KeLppTargetPair::Scope both(pair, driver(), first, second);
        ASSERT_TRUE(both.ok());
        drawQuad(red, green);
    }
    driver()->setRenderTarget(second, false, false);
    drawQuad(blue, white);
    const std::vector<uint32_t> c = readTarget(first), d = readTarget(second);
    driver()->endScene();
    EXPECT_EQ(a[24 * 64 + 32] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(b[24 * 64 + 32] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(c[24 * 64 + 32] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(d[24 * 64 + 32] & 0xFFFFFF, 0x0000FFu);
}

TEST_F(LppGl, ShadowMapsAsLargeAsTheScreenKeepTheScenesDepth) {
    start(512, 512);
    video::ITexture* scene = target("BackRTT[0]");
    const float green[4] = {0, 1, 0, 1}, red[4] = {1, 0, 0, 1};
    driver()->beginScene(false, false);
    driver()->setRenderTarget(scene, true, true, video::SColor(0));
    drawQuad(green, kNone, 0.0f, nullptr, 0.0f, video::ECFN_LESSEQUAL, true);
    // Every map of the pool cleared as the shadow map stage clears them.
    for (u32 i = 0; i < KE_LPP_SHADOW_MAPS; ++i)
        driver()->setRenderTarget(target(kKeLppShadowMapNames[i]), true, true, video::SColor(0xFFFFFFFF));
    // Farther than what the scene holds: hidden when the scene's depth survived.
    driver()->setRenderTarget(scene, false, false);
    drawQuad(red, kNone, 0.0f, nullptr, 0.5f, video::ECFN_LESSEQUAL, true);
    const std::vector<uint32_t> px = readTarget(scene);
    driver()->endScene();
    EXPECT_EQ(px[256 * 512 + 256] & 0xFFFFFF, 0x00FF00u);
}

// White upper-left quarter, dark blue elsewhere: true when `px` (w x h, rows top first) shows it.
bool showsMarker(const std::vector<uint32_t>& px, int w, int h) {
    const int points[4][2] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    const uint32_t want[4] = {0xFFFFFF, 0x000080, 0x000080, 0x000080};
    for (int i = 0; i < 4; ++i)
        if (!gltest::near(px[size_t(points[i][1]) * w + points[i][0]], want[i], 2)) return false;
    return true;
}

TEST_F(LppGl, PicturesKeepTheirOrientationThroughChainsOfCameraEffects) {
    start(96, 64);
    IKeEffect* marker = loadEffect(kMarker);
    IKeEffect* pass = loadEffect(kPassThrough);
    ASSERT_TRUE(marker && pass);
    IKeRenderServices* services = keEngineManager()->getRenderServices();
    for (u32 n = 0; n <= 3; ++n) {
        core::array<IKeEffect*> chain;
        for (u32 i = 0; i < n; ++i) chain.push_back(pass);
        renderer->setCameraEffects(chain);
        driver()->beginScene(false, false);
        driver()->setRenderTarget(target("BackRTT[0]"), true, true, video::SColor(0));
        services->drawScreenQuad(marker, 0, 0, nullptr);
        video::ITexture* result = renderer->applyCameraEffects(target("BackRTT[0]"), nullptr, false, false);
        EXPECT_EQ(result, n % 2 ? target("BackRTT[1]") : target("BackRTT[0]")) << n;
        EXPECT_TRUE(showsMarker(readTarget(result), 96, 64)) << n << " effects";
        driver()->setRenderTarget(nullptr, false, false);
        services->copyTexture(result);
        EXPECT_TRUE(showsMarker(readBackBuffer(96, 64), 96, 64)) << n << " effects, on screen";
        driver()->endScene();
    }
    renderer->setCameraEffects(core::array<IKeEffect*>());
    marker->drop();
    pass->drop();
}

TEST_F(LppGl, AOnePixelCheckerboardPassesACameraEffectAndTheFinalCopyExactly) {
    start(80, 50);
    IKeEffect* pass = loadEffect(kPassThrough);
    ASSERT_NE(pass, nullptr);
    video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, {80, 50});
    for (u32 y = 0; y < 50; ++y)
        for (u32 x = 0; x < 80; ++x)
            image->setPixel(x, y, video::SColor((x + y) % 2 ? 0xFFFFFFFF : 0xFF000000 | (x * 3) << 16 | (y * 5)));
    video::ITexture* checker = driver()->addTexture("checker", image);
    image->drop();
    IKeRenderServices* services = keEngineManager()->getRenderServices();
    driver()->beginScene(false, false);
    driver()->setRenderTarget(target("BackRTT[0]"), true, true, video::SColor(0));
    services->copyTexture(checker);
    EXPECT_TRUE(renderer->applyCameraEffect(target("BackRTT[1]"), target("BackRTT[0]"), pass, nullptr, false));
    const std::vector<uint32_t> effect = readTarget(target("BackRTT[1]"));
    driver()->setRenderTarget(nullptr, false, false);
    services->copyTexture(target("BackRTT[1]"));
    const std::vector<uint32_t> screen = readBackBuffer(80, 50);
    driver()->endScene();
    int off = 0;
    for (u32 y = 0; y < 50; ++y)
        for (u32 x = 0; x < 80; ++x) {
            const uint32_t want = (x + y) % 2 ? 0xFFFFFF : (x * 3) << 16 | (y * 5);
            if ((effect[y * 80 + x] & 0xFFFFFF) != want && ++off < 5)
                ADD_FAILURE() << "effect " << x << "," << y << " " << std::hex << effect[y * 80 + x];
            if ((screen[y * 80 + x] & 0xFFFFFF) != want && ++off < 5)
                ADD_FAILURE() << "screen " << x << "," << y << " " << std::hex << screen[y * 80 + x];
        }
    EXPECT_EQ(off, 0);
    pass->drop();
}

TEST_F(LppGl, CameraEffectTagsTargetsAndTheGlowRequirement) {
    start(64, 48);
    IKeEffect* pass = loadEffect(kPassThrough);
    IKeEffect* named = loadEffect(KOLM_TEST_DATA_DIR "/render/lpp_named_target_effect.hlsl");
    IKeEffect* glow = loadEffect(KOLM_TEST_DATA_DIR "/render/lpp_glow_effect.hlsl");
    ASSERT_TRUE(pass && named && glow);
    video::ITexture* a = target("BackRTT[0]");
    video::ITexture* b = target("BackRTT[1]");
    driver()->beginScene(false, false);
    // Untagged effects run only in the untagged chain.
    EXPECT_TRUE(renderer->applyCameraEffect(b, a, pass, nullptr, false));
    EXPECT_FALSE(renderer->applyCameraEffect(b, a, pass, "lightpost", false));

    // "rendertarget" naming a render target: drawn there, the chain's image unchanged.
    video::ITexture* own = driver()->addRenderTargetTexture({64, 48}, "lpp_named", video::ECF_A8R8G8B8);
    driver()->setRenderTarget(b, true, false, video::SColor(0));
    EXPECT_FALSE(renderer->applyCameraEffect(b, a, named, nullptr, false));
    EXPECT_EQ(readTarget(own)[24 * 64 + 32] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(readTarget(b)[24 * 64 + 32] & 0xFFFFFF, 0u);
    // Naming a texture that is not a render target counts as unknown: drawn into the chain.
    driver()->removeTexture(own);
    video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, {4, 4});
    video::ITexture* plain = driver()->addTexture("lpp_named", image);
    image->drop();
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(renderer->applyCameraEffect(b, a, named, nullptr, false));
    EXPECT_EQ(readTarget(b)[24 * 64 + 32] & 0xFFFFFF, 0x00FF00u);

    // An effect reading the glow is skipped while the glow is off.
    driver()->setRenderTarget(b, true, false, video::SColor(0));
    EXPECT_FALSE(renderer->applyCameraEffect(b, a, glow, nullptr, false));
    EXPECT_EQ(readTarget(b)[24 * 64 + 32] & 0xFFFFFF, 0u);
    EXPECT_TRUE(renderer->applyCameraEffect(b, a, glow, nullptr, true));
    EXPECT_EQ(readTarget(b)[24 * 64 + 32] & 0xFFFFFF, 0xFF0000u);
    driver()->endScene();
    pass->drop();
    named->drop();
    glow->drop();
}

TEST_F(LppGl, MaterialEffectsForOpaqueAndTransparentMaterialsAndTheMacroRoom) {
    start(64, 48);
    const struct {
        video::E_MATERIAL_TYPE type;
        const char* file;
    } rows[] = {{video::EMT_SOLID, "LppFinalPass3.hlsl"},
                {video::EMT_TRANSPARENT_ADD_COLOR, "UberShader3.hlsl"},
                {video::EMT_TRANSPARENT_ALPHA_CHANNEL, "UberShader3.hlsl"},
                {video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF, "UberShader3.hlsl"},
                {video::EMT_TRANSPARENT_VERTEX_ALPHA, "UberShader3.hlsl"},
                {video::EMT_TRANSPARENT_REFLECTION_2_LAYER, "LppFinalPass3.hlsl"}};
    for (const auto& row : rows) {
        core::stringc file;
        CKeMacro macros[2] = {{"KEEP", "1"}, {"KEEP", "2"}};
        u32 room = 2;
        ASSERT_TRUE(renderer->getMaterialEffect(file, macros, room, row.type, nullptr, nullptr));
        EXPECT_EQ(room, 1u);
        EXPECT_STREQ(macros[0].Name, "USE_OUTDEPTH");
        EXPECT_EQ(macros[0].Definition, nullptr);
        EXPECT_EQ(macros[1].Name, nullptr);
        // The start-up found the file in the engine's data folders.
        const std::string name = file.c_str();
        EXPECT_EQ(name.substr(name.size() - std::string(row.file).size()), row.file) << row.type;
    }
    core::stringc file = "unchanged";
    CKeMacro macros[1] = {{"KEEP", "1"}};
    u32 room = 1;
    EXPECT_FALSE(renderer->getMaterialEffect(file, macros, room, video::EMT_SOLID, nullptr, nullptr));
    EXPECT_STREQ(macros[0].Name, "KEEP");
    EXPECT_EQ(file, "unchanged");
}

// A cube drawn with the renderer's surface effect on the left, one drawn with the forward
// surface effect (no "depth" technique) on the right, a camera looking at both.
class LppSceneGl : public LppGl {
protected:
    void build() {
        start(120, 80);
        const std::string cube = KOLM_SOURCE_DIR "/examples/scripts/cube.x";
        ASSERT_EQ(keLoadObject(cube.c_str(), 1), 0);
        ASSERT_EQ(keLoadObject(cube.c_str(), 2), 0);
        kePositionObject(1, -1.6f, 0, 0);
        kePositionObject(2, 1.6f, 0, 0);
        useRendererEffect(1, 100);
        const std::string forward = std::string(keFindFile("LightwaveSurface.hlsl"));
        ASSERT_EQ(keLoadEffectForObjectSurface(forward.c_str(), 200, 2, 0), 0);
        ASSERT_EQ(keSetObjectSurfaceEffect(2, 0, 200), 0);
        keShowObject(1);
        keShowObject(2);
        kePositionCamera(0, 0, -6);
        keRotateCamera(0, 0, 0);
    }
    void frame() {
        driver()->beginScene(false, false);
        ASSERT_TRUE(renderer->render(keFrameInto(nullptr)));
        driver()->endScene();
    }
};

TEST_F(LppSceneGl, ANodeWithoutADepthTechniqueIsAbsentFromTheNormalTarget) {
    build();
    frame();
    EXPECT_EQ(renderer->getDepthDrawnCount(), 1u);
    const std::vector<uint32_t> normals = readTarget(target("NormalRTT"));
    const std::vector<uint32_t> depth = readTarget(target("DepthRTT"));
    // Left cube: a normal facing the camera (-z in view space: blue low) and a depth; right
    // cube: the clear values.
    const uint32_t left = normals[40 * 120 + 34], right = normals[40 * 120 + 86];
    EXPECT_LT(gltest::blue(left), 60) << std::hex << left;
    EXPECT_EQ(right, 0x00808080u) << std::hex << right;
    EXPECT_NE(depth[40 * 120 + 34] & 0xFF0000, 0u);
    EXPECT_EQ(depth[40 * 120 + 86] & 0xFF0000, 0u);
}

TEST_F(LppSceneGl, ABlackLightLeavesTheLightBufferAtZero) {
    build();
    ASSERT_EQ(keMakeLight(1), 0);
    kePositionLight(1, 0, 0, -3);
    keSetLightRange(1, 20);
    keColorLight(1, 0x000000);
    keShowLight(1);
    frame();
    for (uint32_t p : readTarget(target("LightRTT"))) ASSERT_EQ(p, 0u) << std::hex << p;
    EXPECT_EQ(renderer->getLightBuffer()->counters().points, 0u);
    // The same light in white lights the left cube's face.
    keColorLight(1, 0xFFFFFF);
    frame();
    const std::vector<uint32_t> lit = readTarget(target("LightRTT"));
    EXPECT_GT(gltest::red(lit[40 * 120 + 34]), 40) << std::hex << lit[40 * 120 + 34];
    EXPECT_EQ(renderer->getLightBuffer()->counters().points, 1u);
}

}  // namespace

namespace {

TEST_F(LppSceneGl, VolumetricLightsOfLongRangeAndWideConesTakeTheirVolumes) {
    build();
    keEngineContext().camera->setFarValue(10000.0f);
    frame();
    // Without camera effects the frame's picture is left in the scene colour target.
    const std::vector<uint32_t> dark = readTarget(target("BackRTT[0]"));
    // A point light of radius 1500: its sphere is drawn 1000 x 1.15 across.
    ASSERT_EQ(keMakeLight(1), 0);
    kePositionLight(1, 0, 0, 40);
    keSetLightRange(1, 1500);
    keShowLight(1);
    lightParams(1)->volumetric = true;
    frame();
    EXPECT_TRUE(renderer->getVolumetric()->lastDrawnAsVolume());
    EXPECT_FLOAT_EQ(renderer->getVolumetric()->lastVolumeLength(), 1150.0f);
    keDeleteLight(1);

    // A spot light facing away: its cone; past 89 degrees of widened cone, the whole screen, and
    // the light still shows.
    for (float outer : {30.0f, 85.0f}) {
        ASSERT_TRUE(addSpotLight(2, {0, 0, 3}, {0, 0, 10}, outer * 0.5f, outer, 50, 0xFFFFFF));
        lightParams(2)->volumetric = true;
        frame();
        EXPECT_EQ(renderer->getVolumetric()->lastDrawnAsVolume(), outer < 80.0f) << outer;
        if (outer > 80.0f) {
            const std::vector<uint32_t> lit = readTarget(target("BackRTT[0]"));
            EXPECT_GT(gltest::red(lit[10 * 120 + 60]), gltest::red(dark[10 * 120 + 60])) << outer;
        }
        keDeleteLight(2);
    }
}

TEST_F(LppSceneGl, SpotLightsPast81DegreesLightTheWholeScreen) {
    build();
    // Far in front of the cubes, facing them: with the cone of 85 degrees the light buffer draws
    // over the whole screen instead of a cone whose base has no finite size.
    ASSERT_TRUE(addSpotLight(1, {0, 0, -40}, {0, 0, 0}, 80, 85, 60, 0xFFFFFF));
    frame();
    EXPECT_EQ(renderer->getLightBuffer()->counters().spots, 1u);
    EXPECT_EQ(renderer->getLightBuffer()->counters().fullScreen, 1u);
    const std::vector<uint32_t> lit = readTarget(target("LightRTT"));
    EXPECT_GT(gltest::red(lit[40 * 120 + 34]), 20) << std::hex << lit[40 * 120 + 34];
}

}  // namespace

namespace {

TEST_F(LppSceneGl, ALightBufferEffectLeavesTheBackdropAlone) {
    build();
    IKeEffect* lightpost = loadEffect(KOLM_TEST_DATA_DIR "/render/lpp_lightpost_effect.hlsl");
    ASSERT_NE(lightpost, nullptr);
    core::array<IKeEffect*> effects;
    effects.push_back(lightpost);
    renderer->setCameraEffects(effects);
    renderer->setClearColor(video::SColor(255, 200, 0, 0));
    frame();
    // The effect's spare target is not the scene colour, which keeps the backdrop it was
    // cleared with; the light buffer comes back unchanged (black without lights).
    const std::vector<uint32_t> scene = readTarget(target("BackRTT[0]"));
    EXPECT_EQ(scene[5 * 120 + 5] & 0xFFFFFF, 0xC80000u) << std::hex << scene[5 * 120 + 5];
    for (uint32_t p : readTarget(target("LightRTT"))) ASSERT_EQ(p & 0xFFFFFF, 0u);
    renderer->setCameraEffects(core::array<IKeEffect*>());
    lightpost->drop();
}

}  // namespace

namespace {

TEST_F(LppSceneGl, ShadowMapsForTwoVolumetricSpotsAndNoneForPointLights) {
    build();
    for (u32 id : {1u, 2u}) {
        ASSERT_TRUE(addSpotLight(int(id), {id == 1 ? -1.6f : 1.6f, 4, -3}, {id == 1 ? -1.6f : 1.6f, 0, 0}, 20, 30,
                                 20, 0xFFFFFF));
        keSetLightShadow(int(id), true);
        keSetShadowMapSize(int(id), 512);
        lightParams(int(id))->volumetric = true;
        scene::ISceneNode* cube = keObjectGet(int(id));
        keFindNodeExt(cube)->setCastShadows(true);
    }
    // A point light asking for a shadow is lit without one.
    ASSERT_EQ(keMakeLight(3), 0);
    kePositionLight(3, 0, 2, -3);
    keSetLightRange(3, 20);
    keSetLightShadow(3, true);
    keShowLight(3);
    frame();
    const KeLppShadowPool& pool = renderer->getShadowPool();
    // Both asked for 512: the volumetric light that took "ShadowMap.512" keeps it for the
    // volumetric stage, so the other gets "ShadowMap.512.1".
    EXPECT_NE(pool.users[1], nullptr);
    EXPECT_NE(pool.users[2], nullptr);
    EXPECT_NE(pool.users[1], pool.users[2]);
    EXPECT_EQ(pool.users[0], nullptr);
    EXPECT_EQ(pool.users[3], nullptr);
    EXPECT_EQ(renderer->getLightBuffer()->counters().shadowed, 2u);
    EXPECT_EQ(renderer->getLightBuffer()->counters().points, 1u);
}

}  // namespace

namespace {

TEST_F(LppSceneGl, TransparentSurfacesLeaveTheSceneAlphaAsDestTimesOneMinusTheirs) {
    build();
    // The right cube becomes half transparent, drawn with the renderer's transparent effect.
    ASSERT_EQ(keSetObjectSurfaceParamFloat(2, 0, keSurfaceParameterIndex("Transparency"), 0.5f), 0);
    const std::string uber = std::string(keFindFile("UberShader3.hlsl"));
    ASSERT_EQ(keLoadEffectForObjectSurface(uber.c_str(), 201, 2, 0), 0);
    ASSERT_EQ(keSetObjectSurfaceEffect(2, 0, 201), 0);
    renderer->setClearColor(video::SColor(255, 0, 0, 40));
    frame();
    const std::vector<uint32_t> scene = readTarget(target("BackRTT[0]"));
    const uint32_t behind = scene[40 * 120 + 86], beside = scene[5 * 120 + 5];
    EXPECT_EQ(beside >> 24, 255u) << std::hex << beside;
    EXPECT_NEAR(int(behind >> 24), 128, 3) << std::hex << behind;
}

}  // namespace
