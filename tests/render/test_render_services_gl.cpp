// The render services on OpenGL (Xvfb + llvmpipe), pixels read back: the screen quad drawn with
// a runtime effect's pass and its record, and nodes drawn by render pass with the engine's
// current pass set meanwhile.
#include "support/gl_fixture.h"
#include "support/log_capture.h"

#include "core/KePtr.h"
#include "engine/IKeRenderServices.h"
#include "engine/KeRenderPass.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "gl/KeGlTexture.h"

#include <gtest/gtest.h>

#include <irrlicht/SMesh.h>
#include <irrlicht/SMeshBuffer.h>

using namespace irr;
using namespace kolm;

namespace {

constexpr u32 kSize = 64;

class RenderServicesGl : public gltest::GlDeviceTest {
protected:
    void SetUp() override {
        gltest::GlDeviceTest::SetUp();
        if (!device) return;
        gpu = KePtr<CKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
        services = KePtr<IKeRenderServices>::adopt(keCreateRenderServices(device, gpu.get()));
        ASSERT_NE(services, nullptr);
        target = driver->addRenderTargetTexture({kSize, kSize}, "rt");
    }
    void TearDown() override {
        services.reset();
        gpu.reset();
        gltest::GlDeviceTest::TearDown();
    }
    // Runs `draw` into the target inside a frame and reads the target back.
    template <typename F> std::vector<uint32_t> frame(F draw) {
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        driver->setRenderTarget(target, true, true, video::SColor(255, 0, 0, 0));
        draw();
        std::vector<uint32_t> px = readTarget(kSize, kSize);
        driver->setRenderTarget(nullptr, false, false);
        driver->endScene();
        return px;
    }

    KePtr<CKeGPUProgrammingServices> gpu;
    KePtr<IKeRenderServices> services;
    video::ITexture* target = nullptr;
};

video::ITexture* texture4x4(video::IVideoDriver* driver, const char* name, uint32_t (*texel)(u32, u32)) {
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, {4, 4});
    for (u32 y = 0; y < 4; ++y)
        for (u32 x = 0; x < 4; ++x) image->setPixel(x, y, video::SColor(texel(x, y)));
    video::ITexture* t = driver->addTexture(name, image);
    image->drop();
    return t;
}

uint32_t texelA(u32 x, u32 y) { return 0xFF000000u | (30 + 60 * x) << 16 | (20 + 70 * y) << 8 | 90; }
uint32_t texelB(u32 x, u32 y) { return 0xFF000000u | 200 << 16 | (10 + 60 * y) << 8 | (40 + 50 * x); }

TEST_F(RenderServicesGl, TheScreenQuadDrawsAnEffectsPassWithItsLayersAndTheGivenTexture) {
    kolmtest::LogCapture log;
    KePtr<IKeEffectManager> effects = KePtr<IKeEffectManager>::adopt(createKeEffectManager(gpu.get(), true));
    const std::string file = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/screen_quad.hlsl";
    KePtr<IKeEffect> effect = KePtr<IKeEffect>::adopt(effects->createEffect(file.c_str(), -1, nullptr));
    ASSERT_NE(effect, nullptr) << effects->getLastError();
    video::ITexture* a = texture4x4(driver, "a", texelA);
    video::ITexture* b = texture4x4(driver, "b", texelB);
    ASSERT_TRUE(effect->setTexture("Tex__6", b, false));  // layer 6, from the pass
    const float tint[4] = {1.0f, 0.5f, 1.0f, 1.0f};
    ASSERT_TRUE(effect->setFloatArray("Tint", tint, 4));

    // Left half: layer 0 (the texture given) tinted; right half: layer 6. Pixels next to a
    // texel edge are left out.
    auto check = [&](const std::vector<uint32_t>& px, uint32_t (*left)(u32, u32), const char* what) {
        int off = 0;
        for (u32 y = 0; y < kSize; ++y)
            for (u32 x = 0; x < kSize; ++x) {
                if (x % 16 == 0 || x % 16 == 15 || y % 16 == 0 || y % 16 == 15) continue;
                uint32_t want = x < kSize / 2 ? left(x / 16, y / 16) : texelB(x / 16, y / 16);
                if (x < kSize / 2 && left == texelA)
                    want = (want & 0xFFFF00FFu) | u32(std::lround(gltest::green(want) * 0.5)) << 8;
                if (!gltest::near(px[y * kSize + x], want, 1) && ++off <= 5)
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex << px[y * kSize + x]
                                  << " not " << want;
            }
        EXPECT_EQ(off, 0) << what;
    };
    bool drawn = false;
    check(frame([&] { drawn = services->drawScreenQuad(effect.get(), 0, 0, a); }), texelA, "library texture");
    EXPECT_TRUE(drawn);

    // An engine texture given for layer 0 travels in the quad's record: a float texture reads
    // as (value, 0, 0, 1), tinted.
    const float values[16] = {0.2f, 0.4f, 0.6f, 0.8f, 0.2f, 0.4f, 0.6f, 0.8f,
                              0.2f, 0.4f, 0.6f, 0.8f, 0.2f, 0.4f, 0.6f, 0.8f};
    KePtr<CKeGlTexture> f = KePtr<CKeGlTexture>::adopt(keGlCreateFloatTexture(driver, "f", 4, 4, values));
    static const auto floatTexel = [](u32 x, u32) { return 0xFF000000u | u32(std::lround(0.2 * (x + 1) * 255)) << 16; };
    check(frame([&] { drawn = services->drawScreenQuad(effect.get(), 0, 0, f.get()); }),
          [](u32 x, u32 y) { return floatTexel(x, y); }, "engine texture");
    EXPECT_TRUE(drawn);

    // Nothing is drawn for a pass or technique that does not exist, nor without an effect.
    const std::vector<uint32_t> none = frame([&] {
        EXPECT_FALSE(services->drawScreenQuad(effect.get(), 1, 0, a));
        EXPECT_FALSE(services->drawScreenQuad(effect.get(), 0, 1, a));
        EXPECT_FALSE(services->drawScreenQuad(nullptr, 0, 0, a));
    });
    for (uint32_t p : none) ASSERT_EQ(p & 0xFFFFFFu, 0u);
    EXPECT_EQ(log.text, "");
}

// Records the engine's current pass when it is drawn.
class PassProbe : public scene::ISceneNode {
public:
    explicit PassProbe(scene::ISceneManager* smgr) : ISceneNode(smgr->getRootSceneNode(), smgr) {}
    void render() override { seen.push_back(keGetRenderPass()); }
    const core::aabbox3df& getBoundingBox() const override { return box; }
    core::aabbox3df box;
    std::vector<scene::E_SCENE_NODE_RENDER_PASS> seen;
};

scene::SMeshBuffer* quadBuffer(float x0, float x1, video::SColor colour, video::E_MATERIAL_TYPE type) {
    auto* b = new scene::SMeshBuffer();
    const float y0 = -1, y1 = 1, z = 0.5f;
    b->Vertices.push_back(video::S3DVertex(x0, y1, z, 0, 0, -1, colour, 0, 0));
    b->Vertices.push_back(video::S3DVertex(x1, y1, z, 0, 0, -1, colour, 1, 0));
    b->Vertices.push_back(video::S3DVertex(x1, y0, z, 0, 0, -1, colour, 1, 1));
    b->Vertices.push_back(video::S3DVertex(x0, y0, z, 0, 0, -1, colour, 0, 1));
    for (u16 i : {0, 1, 2, 0, 2, 3}) b->Indices.push_back(i);
    b->Material.MaterialType = type;
    b->Material.Lighting = false;
    b->Material.BackfaceCulling = false;
    b->Material.ZBuffer = video::ECFN_ALWAYS;
    b->recalculateBoundingBox();
    return b;
}

TEST_F(RenderServicesGl, RenderNodesDrawsThePassesBuffersAndKeepsThePassMeanwhile) {
    // A mesh whose left half is a solid red buffer and right half a transparent (added) green one.
    scene::SMesh* mesh = new scene::SMesh();
    for (scene::SMeshBuffer* b : {quadBuffer(-1, 0, video::SColor(255, 255, 0, 0), video::EMT_SOLID),
                                  quadBuffer(0, 1, video::SColor(255, 0, 255, 0), video::EMT_TRANSPARENT_ADD_COLOR)}) {
        mesh->addMeshBuffer(b);
        b->drop();
    }
    mesh->recalculateBoundingBox();
    scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh);
    mesh->drop();
    PassProbe* probe = new PassProbe(smgr);
    core::array<scene::ISceneNode*> nodes;
    nodes.push_back(node);
    nodes.push_back(probe);

    struct Case {
        scene::E_SCENE_NODE_RENDER_PASS pass;
        uint32_t left, right;
    };
    const Case cases[] = {
        {scene::ESNRP_SOLID, 0xFF0000, 0x000000},
        {scene::ESNRP_TRANSPARENT, 0x000000, 0x00FF00},
        {scene::ESNRP_TRANSPARENT_EFFECT, 0x000000, 0x00FF00},
    };
    for (const Case& c : cases) {
        probe->seen.clear();
        const std::vector<uint32_t> px = frame([&] {
            for (auto t : {video::ETS_VIEW, video::ETS_PROJECTION}) driver->setTransform(t, core::IdentityMatrix);
            services->renderNodes(nodes, c.pass);
        });
        for (u32 y = 1; y < kSize - 1; ++y)
            for (u32 x = 1; x < kSize - 1; ++x) {
                if (x == kSize / 2 - 1 || x == kSize / 2) continue;
                const uint32_t want = x < kSize / 2 ? c.left : c.right;
                ASSERT_TRUE(gltest::near(px[y * kSize + x], want, 1))
                    << "pass " << c.pass << " pixel " << x << "," << y << " is " << std::hex << px[y * kSize + x];
            }
        ASSERT_EQ(probe->seen.size(), 1u);
        EXPECT_EQ(probe->seen[0], c.pass);
        EXPECT_EQ(keGetRenderPass(), scene::ESNRP_NONE);
    }
    probe->drop();
}

}  // namespace
