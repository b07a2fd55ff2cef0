// The simple renderer, the frame collector and cube render targets on OpenGL, checked on
// pixels read back from the frame.
#include "support/gl_fixture.h"

#include <cstdlib>
#include <new>
#include <string>

#include "engine/IKeTextureManager.h"
#include "render/CKeRendererSimple.h"
#include "gl/KeGlTarget.h"
#include "render/KeFrameCollector.h"

using namespace gltest;

// Counts heap allocations, to show that a warmed-up collector allocates nothing per frame.
// Sanitizer builds keep their own allocator (the GL implementation mixes aligned and plain
// forms that a replacement would have to mirror), so the count is only taken without them.
static size_t g_allocations = 0;
#if defined(__SANITIZE_ADDRESS__)
static constexpr bool kCountingAllocations = false;
#else
static constexpr bool kCountingAllocations = true;
void* operator new(size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif
using irr::u32;
using irr::core::dimension2du;
using irr::core::vector3df;
using irr::video::SColor;

namespace {

struct Drop {
    irr::IReferenceCounted* object;
    ~Drop() {
        if (object) object->drop();
    }
};

// A white sphere of the geometry creator lit by one red-white light from the upper left front.
irr::scene::IMeshSceneNode* addLitSphere(irr::scene::ISceneManager* smgr) {
    irr::scene::IMesh* mesh = smgr->getGeometryCreator()->createSphereMesh(5.f, 32, 32);
    irr::scene::IMeshSceneNode* sphere = smgr->addMeshSceneNode(mesh);
    mesh->drop();
    irr::video::SMaterial& m = sphere->getMaterial(0);
    m.Lighting = true;
    m.DiffuseColor = SColor(255, 255, 255, 255);
    m.AmbientColor = SColor(255, 0, 0, 0);
    m.SpecularColor = SColor(255, 0, 0, 0);
    smgr->setAmbientLight(irr::video::SColorf(0, 0, 0));
    irr::scene::ILightSceneNode* light =
        smgr->addLightSceneNode(nullptr, vector3df(-30, 20, -30), irr::video::SColorf(1.f, 0.4f, 0.3f), 200.f);
    light->getLightData().SpecularColor = irr::video::SColorf(0, 0, 0);
    light->getLightData().Attenuation = vector3df(1, 0, 0);  // constant: no fall-off
    smgr->addCameraSceneNode(nullptr, vector3df(0, 0, -14), vector3df(0, 0, 0));
    return sphere;
}

// A node drawn in one flat colour (emissive, no lights needed).
void flatColour(irr::scene::ISceneNode* node, SColor colour) {
    irr::video::SMaterial& m = node->getMaterial(0);
    m.Lighting = true;
    m.EmissiveColor = colour;
    m.DiffuseColor = SColor(255, 0, 0, 0);
    m.AmbientColor = SColor(255, 0, 0, 0);
    m.SpecularColor = SColor(255, 0, 0, 0);
}

}  // namespace

class SimpleRendererGl : public GlDeviceTest {};

TEST_F(SimpleRendererGl, ClearsBackBufferAndTargetToItsClearColour) {
    EXPECT_TRUE(kolm::keSupportsLightPrePass(driver)) << "FBO, MRT and GLSL expected on this GL";
    kolm::IKeRenderer* renderer = kolm::keCreateSimpleRenderer(device);
    ASSERT_NE(renderer, nullptr);
    Drop keep{renderer};
    irr::video::ITexture* target = driver->addRenderTargetTexture(dimension2du(64, 32), "rt", irr::video::ECF_A8R8G8B8);
    ASSERT_NE(target, nullptr);
    const SColor clear(255, 0x33, 0x66, 0x99);
    renderer->setClearColor(clear);
    ASSERT_TRUE(driver->beginScene(true, true, SColor(255, 255, 0, 0)));
    EXPECT_TRUE(renderer->render(kolm::keFrameInto(target)));
    for (uint32_t c : readTarget(64, 32)) ASSERT_EQ(c & 0xFFFFFF, clear.color & 0xFFFFFF);
    EXPECT_TRUE(renderer->render(kolm::keFrameInto(nullptr)));
    for (uint32_t c : readTarget()) ASSERT_EQ(c & 0xFFFFFF, clear.color & 0xFFFFFF);
    driver->endScene();
}

TEST_F(SimpleRendererGl, DrawsALitMeshIntoBackBufferAndTarget) {
    addLitSphere(smgr);
    kolm::IKeRenderer* renderer = kolm::keCreateSimpleRenderer(device);
    Drop keep{renderer};
    const SColor clear(255, 10, 20, 40);
    renderer->setClearColor(clear);
    irr::video::ITexture* target =
        driver->addRenderTargetTexture(dimension2du(kWidth, kHeight), "rt", irr::video::ECF_A8R8G8B8);
    ASSERT_NE(target, nullptr);

    ASSERT_TRUE(driver->beginScene(true, true, SColor(0)));
    ASSERT_TRUE(renderer->render(kolm::keFrameInto(target)));
    const std::vector<uint32_t> inTarget = readTarget();
    ASSERT_TRUE(renderer->render(kolm::keFrameInto(nullptr)));
    const std::vector<uint32_t> inBackBuffer = readTarget();
    driver->endScene();
    // Up to 0.5 % of the pixels may differ by more than 4 levels (edges of the sphere).
    expectMatchesReference(driver, inBackBuffer, kWidth, kHeight,
                           std::string(KOLM_TEST_DATA_DIR) + "/render/simple_lit_sphere.png", 4, kWidth * kHeight / 200);

    auto at = [](const std::vector<uint32_t>& px, u32 x, u32 y) { return px[y * kWidth + x]; };
    for (const auto* px : {&inBackBuffer, &inTarget}) {
        SCOPED_TRACE(px == &inTarget ? "render target" : "back buffer");
        EXPECT_EQ(at(*px, 2, 2) & 0xFFFFFF, clear.color & 0xFFFFFF);
        EXPECT_EQ(at(*px, kWidth - 3, kHeight - 3) & 0xFFFFFF, clear.color & 0xFFFFFF);
        // The side facing the light (upper left) is lit in the light's colour, the far side dark.
        const uint32_t lit = at(*px, kWidth / 2 - 12, kHeight / 2 - 12);
        const uint32_t dark = at(*px, kWidth / 2 + 14, kHeight / 2 + 10);
        EXPECT_GT(red(lit), 150) << std::hex << lit;
        EXPECT_GT(red(lit), green(lit) + 60) << std::hex << lit;
        EXPECT_GT(green(lit), blue(lit)) << std::hex << lit;
        EXPECT_LT(red(dark), 60) << std::hex << dark;
        EXPECT_NE(dark & 0xFFFFFF, clear.color & 0xFFFFFF) << "the sphere covers this pixel";
    }
    // Both pictures are the same frame: the target holds it the right way up.
    u32 differing = 0;
    for (size_t i = 0; i < inTarget.size(); ++i) differing += near(inTarget[i], inBackBuffer[i], 2) ? 0 : 1;
    EXPECT_EQ(differing, 0u);
}

// ---------------------------------------------------------------------------------------------
// frame collector

class FrameCollectorGl : public GlDeviceTest {};

TEST_F(FrameCollectorGl, SortsPassesCullsAndDrawsLikeTheSceneManager) {
    irr::scene::IMeshSceneNode* sphere = addLitSphere(smgr);
    // Transparent quads in front of the sphere at different distances, added near to far.
    irr::scene::ISceneNode* glass[3];
    const float z[3] = {-10.f, -8.f, -6.5f};
    for (int i = 0; i < 3; ++i) {
        glass[i] = smgr->addCubeSceneNode(2.f, nullptr, -1, vector3df(-3.f + 3.f * i, 0, z[i]));
        glass[i]->setMaterialFlag(irr::video::EMF_LIGHTING, false);
        glass[i]->setMaterialType(irr::video::EMT_TRANSPARENT_ADD_COLOR);
    }
    irr::scene::ISceneNode* hidden = smgr->addCubeSceneNode(2.f, nullptr, -1, vector3df(0, 5, 0));
    hidden->setVisible(false);
    irr::scene::ISceneNode* hiddenChild = smgr->addCubeSceneNode(2.f, hidden);
    irr::scene::ISceneNode* behind = smgr->addCubeSceneNode(2.f, nullptr, -1, vector3df(0, 0, -40));
    (void)hiddenChild;
    irr::scene::IParticleSystemSceneNode* sparks =
        smgr->addParticleSystemSceneNode(false, nullptr, -1, vector3df(0, -3, -5));
    irr::scene::ILightSceneNode* nearLight =
        smgr->addLightSceneNode(nullptr, vector3df(0, 0, -19), irr::video::SColorf(0.f, 0.f, 0.f), 1.f);

    kolm::KeFrameCollector collector;
    ASSERT_TRUE(collector.collect(smgr, 0));
    ASSERT_EQ(collector.getSolid().size(), 1u);
    EXPECT_EQ(collector.getSolid()[0].node, sphere);
    ASSERT_EQ(collector.getTransparent().size(), 3u);
    // Back to front: the farthest from the camera at z = -20 first.
    EXPECT_EQ(collector.getTransparent()[0].node, glass[2]);
    EXPECT_EQ(collector.getTransparent()[1].node, glass[1]);
    EXPECT_EQ(collector.getTransparent()[2].node, glass[0]);
    ASSERT_EQ(collector.getLights().size(), 2u);
    EXPECT_EQ(collector.getLights()[0], nearLight);
    ASSERT_EQ(collector.getTransparentEffect().size(), 1u);
    EXPECT_EQ(collector.getTransparentEffect()[0].node, sparks);
    for (const auto& e : collector.getSolid()) EXPECT_NE(e.node, behind);

    // Warmed up, collecting a frame allocates nothing (drawing is the driver's business: the
    // GL implementation may allocate while it compiles state variants).
    const size_t before = g_allocations;
    for (u32 frame = 1; frame <= 3; ++frame) collector.collect(smgr, frame * 16);
    if (kCountingAllocations) {
        EXPECT_EQ(g_allocations, before);
    }

    const SColor clear(255, 0, 0, 0);
    ASSERT_TRUE(driver->beginScene(true, true, clear));
    smgr->drawAll();
    const std::vector<uint32_t> byLibrary = readTarget();
    driver->setRenderTarget(nullptr, true, true, clear);
    collector.drawAll(driver);
    const std::vector<uint32_t> byCollector = readTarget();
    driver->endScene();
    u32 differing = 0;
    for (size_t i = 0; i < byLibrary.size(); ++i) differing += near(byLibrary[i], byCollector[i], 3) ? 0 : 1;
    EXPECT_EQ(differing, 0u);
    // The added colour of the glass shows over the lit sphere.
    EXPECT_GT(green(byCollector[(kHeight / 2) * kWidth + kWidth / 2]), 100);
}

// ---------------------------------------------------------------------------------------------
// cube render targets

namespace {

// Camera direction and up vector of each cube face, +X, -X, +Y, -Y, +Z, -Z.
const vector3df kFaceDir[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
const vector3df kFaceUp[6] = {{0, 1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}};
const SColor kFaceColour[6] = {SColor(255, 255, 0, 0),   SColor(255, 0, 255, 0),   SColor(255, 0, 0, 255),
                               SColor(255, 255, 255, 0), SColor(255, 0, 255, 255), SColor(255, 255, 0, 255)};

}  // namespace

class CubeTargetGl : public GlDeviceTest {};

TEST_F(CubeTargetGl, FacesRenderedThroughA2DTargetLandInOrderAndUpright) {
    // One big coloured block along each axis, and a white marker in the upper left of every view.
    for (int f = 0; f < 6; ++f) {
        flatColour(smgr->addCubeSceneNode(12.f, nullptr, -1, kFaceDir[f] * 20.f), kFaceColour[f]);
        const vector3df left = kFaceDir[f].crossProduct(kFaceUp[f]);  // the camera's left (left-handed)
        flatColour(smgr->addCubeSceneNode(2.f, nullptr, -1, kFaceDir[f] * 10.f + kFaceUp[f] * 5.f + left * 5.f),
                   SColor(255, 255, 255, 255));
    }
    const u32 edge = 64;
    kolm::IKeTextureManager* textures = kolm::keCreateTextureManager(device);
    Drop keepTextures{textures};
    kolm::CKeGlTexture* cube =
        kolm::keGlCreateCubeRenderTarget(driver, "rt", edge, irr::video::ECF_A16B16G16R16F);
    ASSERT_NE(cube, nullptr);
    Drop keepCube{cube};
    irr::video::ITexture* target = textures->getRenderTarget(dimension2du(edge, edge), kolm::KE_CF_A16B16G16R16F);
    ASSERT_NE(target, nullptr);
    kolm::IKeRenderer* renderer = kolm::keCreateSimpleRenderer(device);
    Drop keepRenderer{renderer};
    renderer->setClearColor(SColor(255, 20, 20, 20));

    irr::scene::ICameraSceneNode* camera = smgr->addCameraSceneNode(nullptr, vector3df(0, 0, 0), vector3df(0, 0, 1), -1, false);
    camera->setFOV(irr::core::HALF_PI);
    camera->setAspectRatio(1.f);
    camera->setNearValue(0.1f);
    camera->setFarValue(1000.f);
    smgr->setActiveCamera(camera);
    ASSERT_TRUE(driver->beginScene(true, true, SColor(0)));
    for (u32 f = 0; f < 6; ++f) {
        camera->setUpVector(kFaceUp[f]);
        camera->setTarget(kFaceDir[f] * 10.f);
        ASSERT_TRUE(renderer->render(kolm::keFrameInto(target)));
        ASSERT_TRUE(kolm::keGlCopyTargetToCubeFace(driver, target, cube, f));
    }
    driver->setRenderTarget(nullptr, false, false);
    driver->endScene();

    for (u32 f = 0; f < 6; ++f) {
        SCOPED_TRACE("face " + std::to_string(f));
        std::vector<uint32_t> px;
        ASSERT_TRUE(cube->readPixels(f, px));
        // Row 0 is the top of the view, column 0 its left.
        const uint32_t upperLeft = px[(edge / 4) * edge + edge / 4];
        const uint32_t lowerRight = px[(3 * edge / 4) * edge + 3 * edge / 4];
        const uint32_t centre = px[(edge / 2) * edge + edge / 2];
        EXPECT_TRUE(near(centre, kFaceColour[f].color, 8)) << std::hex << centre;
        EXPECT_TRUE(near(upperLeft, 0xFFFFFFFF, 8)) << std::hex << upperLeft;
        EXPECT_FALSE(near(lowerRight, 0xFFFFFFFF, 40)) << std::hex << lowerRight;
    }
}

TEST_F(CubeTargetGl, A2DTargetIsCopiedIntoOneFaceTheRightWayUp) {
    const u32 edge = 32;
    kolm::CKeGlTexture* cube = kolm::keGlCreateCubeRenderTarget(driver, "rt", edge, irr::video::ECF_A8R8G8B8);
    ASSERT_NE(cube, nullptr);
    Drop keepCube{cube};
    irr::video::ITexture* target = driver->addRenderTargetTexture(dimension2du(edge, edge), "rt", irr::video::ECF_A8R8G8B8);
    ASSERT_TRUE(driver->beginScene(true, true, SColor(0)));
    for (u32 f = 0; f < 6; ++f) ASSERT_TRUE(kolm::keGlClearCubeFace(driver, cube, f, SColor(255, 0, 0, 90)));
    // Top half white, bottom half green, in the library's 2D coordinates (y down).
    driver->setRenderTarget(target, true, true, SColor(255, 0, 200, 0));
    {
        kolm::KeGlTargetOrientation orientation(driver);
        driver->draw2DRectangle(SColor(255, 255, 255, 255), irr::core::recti(0, 0, edge, edge / 2));
    }
    ASSERT_TRUE(kolm::keGlCopyTargetToCubeFace(driver, target, cube, 4));
    driver->setRenderTarget(nullptr, false, false);
    driver->endScene();

    std::vector<uint32_t> px;
    ASSERT_TRUE(cube->readPixels(4, px));
    EXPECT_EQ(px[2 * edge + 5], 0xFFFFFFFFu);
    EXPECT_EQ(px[(edge - 3) * edge + 5], 0xFF00C800u);
    ASSERT_TRUE(cube->readPixels(3, px));
    EXPECT_EQ(px[0], 0xFF00005Au) << "the other faces keep their clear colour";
}
