// A LightWave surface drawn on OpenGL (Xvfb + llvmpipe) by the engine's path: the node
// extension's row holds the surface and the engine's surface effect loaded with the surface's
// compile parameters; the row writes the shader material and the surface's textures into the
// node's material, and the frame's light reaches the effect through the light block. The
// picture is compared pixel by pixel with its reference.
#include "support/gl_fixture.h"

#include "core/KePtr.h"
#include "engine/IKeTextureManager.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeSurfaceLightwave.h"
#include "fx/IKeSurfaceManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

using namespace irr;
using namespace kolm;

namespace {

class SurfaceGl : public gltest::GlDeviceTest {
protected:
    video::ITexture* makeTexture(const char* name, u32 size, uint32_t (*texel)(u32 x, u32 y, u32 size)) {
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, {size, size});
        for (u32 y = 0; y < size; ++y)
            for (u32 x = 0; x < size; ++x) image->setPixel(x, y, video::SColor(texel(x, y, size)));
        video::ITexture* t = driver->addTexture(name, image);
        image->drop();
        return t;
    }
};

TEST_F(SurfaceGl, ColourTextureSpecularAndBumpThroughTheSurfaceEffect) {
    KePtr<IKeGPUProgrammingServices> services =
        KePtr<IKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
    KePtr<IKeTextureManager> textures = KePtr<IKeTextureManager>::adopt(keCreateTextureManager(device));
    KePtr<IKeEffectManager> effects = KePtr<IKeEffectManager>::adopt(createKeEffectManager(services.get(), true));
    effects->getBindContext().device = device;
    effects->getBindContext().textures = textures.get();
    KePtr<IKeSurfaceManager> surfaces = KePtr<IKeSurfaceManager>::adopt(keCreateSurfaceManager(device));

    // Colour: a checker of 8 x 8 orange and blue cells. Height: ridges running from pole to
    // pole, a sine of eight periods around the sphere.
    video::ITexture* colour = makeTexture("SurfaceChecker", 64, [](u32 x, u32 y, u32) -> uint32_t {
        return (x / 8 + y / 8) % 2 ? 0xFFE0A040u : 0xFF3070D0u;
    });
    video::ITexture* height = makeTexture("SurfaceRidges", 64, [](u32 x, u32, u32 size) -> uint32_t {
        const double h = 0.5 + 0.5 * std::sin(2.0 * 3.14159265358979 * 8.0 * (x + 0.5) / size);
        const u32 v = u32(std::lround(h * 255.0));
        return 0xFF000000u | v << 16 | v << 8 | v;
    });
    ASSERT_TRUE(colour && height);

    KePtr<IKeSurface> surface = KePtr<IKeSurface>::adopt(surfaces->createSurface("lightwave"));
    auto* lw = dynamic_cast<IKeSurfaceLightwave*>(surface.get());
    ASSERT_NE(lw, nullptr);
    lw->setVector(KE_LW_BASE_COLOR, {1.0f, 1.0f, 1.0f});
    lw->setTexture(KE_LW_BASE_COLOR, colour);
    lw->setFloat(KE_LW_DIFFUSE, 0.9f);
    lw->setFloat(KE_LW_SPECULARITY, 0.8f);
    lw->setFloat(KE_LW_GLOSSINESS, 0.4f);  // exponent 2^6
    lw->setFloat(KE_LW_LUMINOSITY, 0.15f);
    lw->setTexture(KE_LW_BUMP, height);
    lw->setFloat(KE_LW_BUMP, 4.0f);

    scene::IMesh* sphere = smgr->getGeometryCreator()->createSphereMesh(1.0f, 32, 32);
    scene::IMeshSceneNode* node = smgr->addMeshSceneNode(sphere);
    sphere->drop();
    smgr->addLightSceneNode(nullptr, {-3, 3, -3}, video::SColorf(1.0f, 1.0f, 0.95f), 20.0f);
    smgr->addCameraSceneNode(nullptr, {0, 0, -3.2f}, {0, 0, 0});

    CKeSceneNodeExt* ext = keGetNodeExt(node);
    ASSERT_NE(ext, nullptr);
    ext->setSurface(0, surface.get());
    CKeMacro macros[32] = {};
    u32 count = 32;
    video::E_MATERIAL_TYPE base = video::EMT_SOLID;
    ASSERT_TRUE(surface->getEffectCompileParameters(base, macros, count, node));
    // The sphere gets vertex tangents from `prepare`, so the frame is not computed per pixel.
    ASSERT_EQ(count, 2u);
    EXPECT_STREQ(macros[0].Name, "USE_TEX_COLOR");
    EXPECT_STREQ(macros[1].Name, "USE_TEX_NORMAL");
    EXPECT_EQ(base, video::EMT_SOLID);

    const std::string file = std::string(KOLM_SOURCE_DIR) + "/data/shadersSURF/LightwaveSurface.hlsl";
    KePtr<IKeEffect> effect = KePtr<IKeEffect>::adopt(effects->createEffect(file.c_str(), s32(base), macros));
    ASSERT_NE(effect, nullptr) << effects->getLastError();
    ext->setEffect(0, effect.get(), 0, 0);
    ASSERT_TRUE(ext->prepare());
    ASSERT_EQ(node->getMesh()->getMeshBuffer(0)->getVertexType(), video::EVT_TANGENTS);
    // The row's overrides put the surface's textures where the effect samples them.
    const video::SMaterial& material = node->getMaterial(0);
    EXPECT_EQ(material.TextureLayer[0].Texture, colour);
    EXPECT_EQ(material.TextureLayer[1].Texture, height);

    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    smgr->drawAll();
    const std::vector<uint32_t> px = readTarget();
    driver->endScene();
    gltest::expectMatchesReference(driver, px, gltest::kWidth, gltest::kHeight,
                                   std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/lightwave_surface_sphere.png", 2);
}

}  // namespace
