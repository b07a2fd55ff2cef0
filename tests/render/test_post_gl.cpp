// The post objects on OpenGL (Xvfb + llvmpipe), on the light pre-pass renderer's own targets
// with pictures put into them and read back: gamma 1 is the identity, a glow of intensity 0
// changes nothing, the glow's half-size target holds the composed blur when the streaks are off,
// and the depth of field leaves a wall in its focal plane sharp while it blurs one out of it; SMAA
// leaves a picture without edges as it is, softens a hard diagonal edge along the edge only, and
// fails to start without its lookup images.
#include "lpp_fixture.h"

#include "engine/IKeTextureManager.h"
#include "render/CKePostChain.h"
#include "support/gl_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace irr;
using namespace kolm;
using namespace lpptest;

namespace {

const std::string kQuad = KOLM_TEST_DATA_DIR "/render/lpp_quad.hlsl";
constexpr int kW = 64;
constexpr int kH = 48;

std::string g_log;

class PostGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        g_log.clear();
        keSetLogSink(
            [](const char* l, void*) {
                g_log += l;
                std::fprintf(stderr, "%s", l);
            },
            nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        // The engine with anti-aliasing on, as the setup key "antialias" starts it.
        EngineSetup s;
        s.width = kW;
        s.height = kH;
        s.windowed = 1;
        s.vsync = 0;
        s.antialias = 1;
        s.lightPrePass = 1;
        s.baseDir = KOLM_TEST_BASE_DIR "/";
        ASSERT_EQ(keStartEngine(s), 0);
        renderer = dynamic_cast<CKeRendererLpp*>(keCurrentRenderer());
        ASSERT_NE(renderer, nullptr) << "the engine did not start with the light pre-pass renderer";
        chain = &renderer->getPostChain();
    }
    void TearDown() override {
        if (quad) quad->drop();
        keDeleteAllEffects();
        keStopEngine();
        keResetErrorReporter();
    }
    video::ITexture* target(const char* name) { return renderer->getTargets().find(name); }

    // Puts a picture (rows top first, 0xAARRGGBB) into a target, texel for pixel.
    void fill(video::ITexture* t, const std::vector<uint32_t>& px) {
        const core::dimension2du size = t->getSize();
        video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, size);
        for (u32 y = 0; y < size.Height; ++y)
            for (u32 x = 0; x < size.Width; ++x) image->setPixel(x, y, video::SColor(px[y * size.Width + x]));
        video::ITexture* tex = driver()->addTexture("post-test-picture", image);
        image->drop();
        driver()->setRenderTarget(t, false, false);
        keEngineManager()->getRenderServices()->copyTexture(tex);
        driver()->setRenderTarget(nullptr, false, false);
        driver()->removeTexture(tex);
    }
    // Fills a target with one value in every channel (floats beyond 0..1 allowed: depth).
    void fillValue(video::ITexture* t, float value) {
        if (!quad) quad = loadEffect(kQuad);
        ASSERT_NE(quad, nullptr);
        const float colour[4] = {value, value, value, value};
        const float none[4] = {0, 0, 0, 0};
        quad->setFloatArray("Color", colour, 4);
        quad->setFloatArray("Second", none, 4);
        quad->setFloat("Scale", 0.0f);
        quad->setTexture("Tex__0", nullptr, false);
        driver()->setRenderTarget(t, false, false);
        CKeScreenQuad screen;
        KeMaterialBinding record;
        ASSERT_TRUE(keLppApplyEffect(quad, screen.getMaterial(), record));
        screen.render(driver());
        driver()->setRenderTarget(nullptr, false, false);
    }
    static std::vector<uint32_t> checkerboard(int w, int h, int cell) {
        std::vector<uint32_t> px(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = ((x / cell + y / cell) & 1) ? 0xFFE0C040u : 0xFF102080u;
        return px;
    }
    static int maxDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, bool withAlpha = true) {
        int worst = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8)
                worst = std::max(worst, std::abs(gltest::channel(a[i], shift) - gltest::channel(b[i], shift)));
        return worst;
    }

    CKeRendererLpp* renderer = nullptr;
    CKePostChain* chain = nullptr;
    IKeEffect* quad = nullptr;
};

TEST_F(PostGl, GammaOneIsTheIdentityAndTheDefaultBrightensMidTones) {
    std::vector<uint32_t> px(size_t(kW) * kH);
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0x40000000u | uint32_t((i * 2654435761u) & 0xFFFFFFu);
    fill(target("BackRTT[0]"), px);
    IKeEffect* gamma = chain->getGamma().getEffect();
    ASSERT_NE(gamma, nullptr);
    ASSERT_TRUE(gamma->setFloat("Gamma", 1.0f));
    chain->gamma(target("BackRTT[1]"), target("BackRTT[0]"));
    EXPECT_LE(maxDifference(readTarget(target("BackRTT[1]")), px), 1);

    fill(target("BackRTT[0]"), std::vector<uint32_t>(px.size(), 0xFF808080u));
    ASSERT_TRUE(gamma->setFloat("Gamma", 2.2f));
    chain->gamma(target("BackRTT[1]"), target("BackRTT[0]"));
    const uint32_t c = readTarget(target("BackRTT[1]"))[100];
    EXPECT_NEAR(gltest::red(c), 186, 2);  // (128 / 255)^(1 / 2.2) x 255
    EXPECT_EQ(gltest::channel(c, 24), 255);
}

// A uniform glow source: every level's blur keeps it uniform, so the half-size target ends as the
// sum of the levels that run (two for radius 16, all five for 48), each the masked colour; the
// scene gets that times the intensity. Intensity 0 leaves the scene as it was.
TEST_F(PostGl, TheHalfTargetHoldsTheComposedLevelsAndTheSceneGetsThemTimesTheIntensity) {
    const uint32_t sourceColour = 0x80402010u;  // alpha 0.5: mask = (0.125, 0.0625, 0.03)
    const std::vector<uint32_t> base(size_t(kW) * kH, 0xFF202020u);
    struct Case {
        float radius;
        int levels;
    } cases[] = {{16, 2}, {48, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radius);
        fill(target("HalfScreen[2]"), std::vector<uint32_t>(size_t(kW / 2) * (kH / 2), sourceColour));
        fill(target("BackRTT[0]"), base);
        chain->glow(target("BackRTT[0]"), c.radius, 0.0f, false, LightStreakSettings());
        EXPECT_EQ(maxDifference(readTarget(target("BackRTT[0]")), base), 0) << "intensity 0 changed the scene";
        const std::vector<uint32_t> half = readTarget(target("HalfScreen[1]"));
        const float mask[3] = {0x40 / 255.0f * 0x80 / 255.0f, 0x20 / 255.0f * 0x80 / 255.0f, 0x10 / 255.0f * 0x80 / 255.0f};
        for (size_t i : {size_t(0), half.size() / 2 + 5, half.size() - 1}) {
            EXPECT_NEAR(gltest::red(half[i]), mask[0] * c.levels * 255, 2) << i;
            EXPECT_NEAR(gltest::green(half[i]), mask[1] * c.levels * 255, 2) << i;
            EXPECT_NEAR(gltest::blue(half[i]), mask[2] * c.levels * 255, 2) << i;
        }
        fill(target("HalfScreen[2]"), std::vector<uint32_t>(size_t(kW / 2) * (kH / 2), sourceColour));
        chain->glow(target("BackRTT[0]"), c.radius, 0.5f, false, LightStreakSettings());
        const uint32_t lit = readTarget(target("BackRTT[0]"))[size_t(kW) * 20 + 30];
        EXPECT_NEAR(gltest::red(lit), 0x20 + mask[0] * c.levels * 0.5f * 255, 2);
        EXPECT_EQ(gltest::channel(lit, 24), 255) << "the glow changed the scene's alpha";
    }
}

// Streaks of a source that matches the colour key add to the half-size target; off, it holds the
// blur alone.
TEST_F(PostGl, StreaksAddToTheHalfTargetOnlyWhenOn) {
    // A white glowing block of 2 x 2 texels, (16, 12) to (17, 13): every level lines up with it.
    std::vector<uint32_t> source(size_t(kW / 2) * (kH / 2), 0x00000000u);
    for (int y : {12, 13})
        for (int x : {16, 17}) source[size_t(kW / 2) * y + x] = 0xFFFFFFFFu;
    LightStreakSettings streaks;
    fill(target("HalfScreen[2]"), source);
    chain->glow(target("BackRTT[0]"), 16, 1.0f, false, streaks);
    const std::vector<uint32_t> off = readTarget(target("HalfScreen[1]"));
    fill(target("HalfScreen[2]"), source);
    chain->glow(target("BackRTT[0]"), 16, 1.0f, true, streaks);
    const std::vector<uint32_t> on = readTarget(target("HalfScreen[1]"));
    // Far along the streak's row (angle 0) only the streaks reach.
    const size_t along = size_t(kW / 2) * 12 + 28;
    EXPECT_EQ(gltest::red(off[along]), 0);
    EXPECT_GT(gltest::red(on[along]), 0);
    // Blur alone is symmetric about the block.
    const size_t left = size_t(kW / 2) * 12 + 14, right = size_t(kW / 2) * 12 + 19;
    EXPECT_NEAR(gltest::red(off[left]), gltest::red(off[right]), 1);
    EXPECT_GT(gltest::red(off[left]), 0);
}

// The focus values reach the effects through the renderer's semantics, which a frame publishes.
TEST_F(PostGl, DepthOfFieldLeavesTheFocalPlaneSharpAndBlursOtherDepths) {
    struct Case {
        bool artist;
        float depth;
        bool sharp;
    } cases[] = {{false, 10, true}, {false, 40, false}, {true, 10, true}, {true, 20, false}};
    LppPostSettings& post = *renderer->getPostSettings();
    post.focalDistance = 10;
    post.fStop = 2.8f;
    post.dofFocalRangeMin = 5;
    post.dofFocalRangeFocused = 10;
    post.dofFocalRangeMax = 20;
    ASSERT_TRUE(renderer->render(keFrameInto(nullptr)));
    const std::vector<uint32_t> board = checkerboard(kW, kH, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.artist ? "artist" : "physical") + " at depth " + std::to_string(c.depth));
        fill(target("BackRTT[0]"), board);
        fillValue(target("DepthRTT"), c.depth);
        chain->dof(target("BackRTT[1]"), target("BackRTT[0]"), c.artist, 1.0f);
        const int change = maxDifference(readTarget(target("BackRTT[1]")), board, false);
        if (c.sharp)
            EXPECT_LE(change, 1);
        else
            EXPECT_GT(change, 40);
    }
}

// SMAA from BackRTT[0], edges into BackRTT[2] (where the result ends), weights in BackRTT[1].
std::vector<uint32_t> smaa(CKeRendererLpp* renderer, CKePostChain* chain, const std::vector<uint32_t>& picture,
                           PostGl* test) {
    (void)test;
    const KeLppTargets& t = renderer->getTargets();
    EXPECT_TRUE(chain->getSMAA().isInitialised());
    chain->getSMAA().render(t.back(0), t.back(2), t.back(1), false);
    (void)picture;
    return readTarget(t.back(2));
}

TEST_F(PostGl, SmaaLeavesAPictureWithoutEdgesAsItIs) {
    std::vector<uint32_t> px(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) px[size_t(y) * kW + x] = 0xFF000000u | uint32_t(x * 2) << 16 | uint32_t(y * 3) << 8 | 0x40u;
    fill(target("BackRTT[0]"), px);
    EXPECT_EQ(maxDifference(smaa(renderer, chain, px, this), px), 0);
}

// Black below a line falling one pixel every four: along the line pixels take intermediate values;
// two pixels away from every colour change nothing moves.
TEST_F(PostGl, SmaaSoftensAHardDiagonalEdgeAlongTheEdgeOnly) {
    auto white = [](int x, int y) { return y < 8 + x / 4; };
    std::vector<uint32_t> px(size_t(kW) * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) px[size_t(y) * kW + x] = white(x, y) ? 0xFFFFFFFFu : 0xFF000000u;
    fill(target("BackRTT[0]"), px);
    const std::vector<uint32_t> out = smaa(renderer, chain, px, this);
    int intermediate = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            bool nearEdge = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = std::min(std::max(x + dx, 0), kW - 1), ny = std::min(std::max(y + dy, 0), kH - 1);
                    nearEdge = nearEdge || white(nx, ny) != white(x, y);
                }
            const uint32_t v = out[size_t(y) * kW + x];
            if (!nearEdge)
                EXPECT_EQ(v, px[size_t(y) * kW + x]) << x << ", " << y;
            else if (gltest::red(v) > 10 && gltest::red(v) < 245)
                ++intermediate;
        }
    // Every run of four along the 56 columns left of the last step softens some of its pixels.
    EXPECT_GT(intermediate, 28);
}

// Into a target, SMAA works in that target (edges, then the final picture) and leaves
// "BackRTT[2]" alone.
TEST_F(PostGl, AFrameIntoATargetWithSmaaEndsThereAndLeavesTheScratchTargetAlone) {
    video::ITexture* frameTarget = driver()->addRenderTargetTexture(core::dimension2du(kW, kH), "post-frame-target");
    ASSERT_NE(frameTarget, nullptr);
    ASSERT_TRUE(chain->getSMAA().isInitialised()) << "antialias on starts SMAA";
    const std::vector<uint32_t> marker(size_t(kW) * kH, 0xFF11AA22u);
    fill(target("BackRTT[2]"), marker);
    renderer->setClearColor(video::SColor(0xFF3060A0u));
    ASSERT_TRUE(renderer->render(keFrameInto(frameTarget)));
    const std::vector<uint32_t> out = readTarget(frameTarget);
    EXPECT_TRUE(gltest::near(out[0], 0xFF3060A0u, 1)) << std::hex << out[0];
    EXPECT_TRUE(gltest::near(out[out.size() - 1], 0xFF3060A0u, 1)) << std::hex << out[out.size() - 1];
    EXPECT_EQ(maxDifference(readTarget(target("BackRTT[2]")), marker), 0);
    driver()->removeTexture(frameTarget);
}

TEST_F(PostGl, SmaaWithoutItsSearchImageRefusesToStart) {
    // The names as the start-up finds them; only the search image is missing.
    std::string files[4];
    const char* names[4] = {"SMAA-1-LumaEdgeDetection.fx", "SMAA-2-BlendingWeightCalculation.fx",
                            "SMAA-3-NeighborhoodBlending.fx", "AreaTexDX9.png"};
    for (int i = 0; i < 4; ++i) files[i] = keFindFile(names[i]);
    CKePostSMAA other;
    IKeManager* m = keEngineManager();
    g_log.clear();
    EXPECT_FALSE(other.init(driver(), m->getEffectManager(), m->getTextureManager(), files[0].c_str(),
                            files[1].c_str(), files[2].c_str(), files[3].c_str(), "NoSuchSearchTex.png"));
    EXPECT_FALSE(other.isInitialised());
    EXPECT_NE(g_log.find("ERROR : CKePostSMAA failed to load NoSuchSearchTex.png"), std::string::npos) << g_log;
    EXPECT_EQ(g_log.find("failed to load " + files[3]), std::string::npos) << g_log;
    // A second init of an initialised one is refused.
    EXPECT_FALSE(chain->getSMAA().init(driver(), m->getEffectManager(), m->getTextureManager(),
                                       "SMAA-1-LumaEdgeDetection.fx", "SMAA-2-BlendingWeightCalculation.fx",
                                       "SMAA-3-NeighborhoodBlending.fx", "AreaTexDX9.png", "SearchTex.png"));
}

}  // namespace
