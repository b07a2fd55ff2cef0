// The effect runtime on OpenGL (Xvfb + llvmpipe): the transform bind's products on a real
// driver, and a lit, textured sphere drawn through the annotated example effect, compared
// pixel by pixel with its reference picture.
#include "effect_runtime_stub.h"
#include "support/gl_fixture.h"
#include "support/scratch_dir.h"

#include "core/KePtr.h"
#include "engine/IKeTextureManager.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "gl/KeGlTexture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace irr;
using namespace kolm;

namespace {

class EffectGl : public gltest::GlDeviceTest {};

TEST_F(EffectGl, TransformBindSendsTheDriversProducts) {
    core::matrix4 view, world, projection;
    view.buildCameraLookAtMatrixLH({1, 2, -5}, {0, 0, 0}, {0, 1, 0});
    world.setRotationDegrees({0, 30, 10});
    world.setTranslation({3, -1, 2});
    projection.buildProjectionMatrixPerspectiveFovLH(1.0f, 4.0f / 3.0f, 1.0f, 100.0f);
    driver->setTransform(video::ETS_VIEW, view);
    driver->setTransform(video::ETS_WORLD, world);
    driver->setTransform(video::ETS_PROJECTION, projection);
    auto context = std::make_shared<KeEffectBindContext>();
    context->device = device;
    core::array<IKeEffectBind*> binds = keCreateBuiltinBinds(context);
    core::matrix4 worldViewInverse;
    (view * world).getInverse(worldViewInverse);
    struct Case {
        const char* semantic;
        s32 reg;
        core::matrix4 want;
    };
    const core::matrix4 wvp = projection * view * world;
    const Case cases[] = {
        {"WorldViewProjection", -1, wvp},
        {"WorldViewProjection", 0, wvp.getTransposed()},
        {"WorldViewProjectionTranspose", -1, wvp.getTransposed()},
        {"WorldViewProjectionTranspose", 4, wvp},
        {"WorldView", -1, view * world},
        {"ViewProjection", -1, projection * view},
        {"WorldViewInverse", -1, worldViewInverse},
        {"World", -1, world},
        {"Projection", -1, projection},
    };
    for (const Case& c : cases) {
        kolm_test::RecordingServices rec(driver);
        SKeFxConstBind k;
        k.stage = KE_STAGE_VERTEX;
        k.type = KE_FXP_FLOAT4X4;
        k.symbol = "m";
        k.semantic = c.semantic;
        k.registerIndex = c.reg;
        k.registerCount = 4;
        u8 data[8] = {};
        KeBindFunction f = binds[0]->getBindFunction(k, data);
        ASSERT_NE(f, nullptr) << c.semantic;
        std::memcpy(k.data, data, 8);
        SKeFxParameter cell;
        f(binds[0], &rec, k, cell);
        const std::vector<f32>& got = rec.sent[c.reg < 0 ? "v:m" : "v#" + std::to_string(c.reg)];
        ASSERT_EQ(got.size(), 16u) << c.semantic;
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], c.want[i], 1e-5f) << c.semantic << " " << c.reg << " [" << i << "]";
    }
    for (u32 i = 0; i < binds.size(); ++i) binds[i]->drop();
}

TEST_F(EffectGl, LitTexturedSphereThroughTheAnnotatedEffect) {
    KePtr<IKeGPUProgrammingServices> services = KePtr<IKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
    KePtr<IKeTextureManager> textures = KePtr<IKeTextureManager>::adopt(keCreateTextureManager(device));
    KePtr<IKeEffectManager> effects = KePtr<IKeEffectManager>::adopt(createKeEffectManager(services.get(), true));
    effects->getBindContext().device = device;
    effects->getBindContext().textures = textures.get();

    // The colour map the effect names: an 8 x 8 checker of two colours.
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, {8, 8});
    for (u32 y = 0; y < 8; ++y)
        for (u32 x = 0; x < 8; ++x)
            image->setPixel(x, y, (x + y) % 2 ? video::SColor(255, 240, 200, 60) : video::SColor(255, 60, 120, 230));
    driver->addTexture("CheckerMap", image);
    image->drop();

    const std::string file = std::string(KOLM_SOURCE_DIR) + "/examples/effects/lit_textured.hlsl";
    KePtr<IKeEffect> effect = KePtr<IKeEffect>::adopt(effects->createEffect(file.c_str(), -1, nullptr));
    ASSERT_NE(effect, nullptr) << effects->getLastError();

    scene::IMesh* sphere = smgr->getGeometryCreator()->createSphereMesh(1.0f, 24, 24);
    scene::IMeshSceneNode* node = smgr->addMeshSceneNode(sphere);
    sphere->drop();
    smgr->addLightSceneNode(nullptr, {-3, 3, -3}, video::SColorf(1.0f, 1.0f, 0.9f), 20.0f);
    smgr->setAmbientLight(video::SColorf(0.15f, 0.15f, 0.2f));
    smgr->addCameraSceneNode(nullptr, {0, 0, -3.2f}, {0, 0, 0});

    KeMaterialBinding record;
    record.effect = effect.get();
    record.node = node;
    video::SMaterial& material = node->getMaterial(0);
    ASSERT_TRUE(effect->getPassMaterial(0, 0, material, &record));
    record.attach(material);
    ASSERT_NE(material.TextureLayer[0].Texture, nullptr);  // found by the resolver under its name

    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    smgr->drawAll();
    const std::vector<uint32_t> px = readTarget();
    driver->endScene();

    gltest::expectMatchesReference(driver, px, gltest::kWidth, gltest::kHeight,
                                   std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/lit_textured_sphere.png", 3);
    // Lit from the upper left: that side is brighter than the lower right, and the sphere is
    // textured with both colours.
    const uint32_t lit = px[50 * gltest::kWidth + 70], dark = px[70 * gltest::kWidth + 92];
    EXPECT_GT(gltest::red(lit) + gltest::green(lit) + gltest::blue(lit), gltest::red(dark) + gltest::green(dark) + gltest::blue(dark));
}

}  // namespace

namespace {

// Constants of every scalar kind reach the shader through the effect's setters: a bool, an int
// and a float4, each read back as one channel of a screen-filling quad.
TEST_F(EffectGl, BoolIntAndVectorConstantsReachTheShader) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-fx-kinds-"));
    const std::string file = dir / "kinds.hlsl";
    std::ofstream(file) << "// [KOLM_BEGIN]\n"
                           "// bool Flag : 1 : pixel\n"
                           "// int Count : 3 : pixel\n"
                           "// float4 Tint : 0.25, 0.5, 0.75, 1 : pixel\n"
                           "// [KOLM_END]\n"
                           "bool Flag;\nint Count;\nfloat4 Tint;\n"
                           "float4 vs_main(float3 pos : POSITION) : POSITION { return float4(pos, 1.0); }\n"
                           "float4 ps_main() : COLOR0 {\n"
                           "    return float4(Flag ? 1.0 : 0.0, float(Count) / 4.0, Tint.b, 1.0);\n"
                           "}\n";
    KePtr<IKeGPUProgrammingServices> services =
        KePtr<IKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
    KePtr<IKeEffectManager> effects = KePtr<IKeEffectManager>::adopt(createKeEffectManager(services.get(), true));
    effects->getBindContext().device = device;
    KePtr<IKeEffect> effect = KePtr<IKeEffect>::adopt(effects->createEffect(file.c_str(), -1, nullptr));
    ASSERT_NE(effect, nullptr) << effects->getLastError();

    struct Case {
        bool flag;
        s32 count;
        f32 blue;
        uint32_t want;  // 0xRRGGBB
    };
    const Case cases[] = {
        {true, 2, 0.6f, 0xFF8099},
        {false, 4, 0.2f, 0x00FF33},
        {true, 0, 1.0f, 0xFF00FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.want);
        ASSERT_TRUE(effect->setBool("Flag", c.flag));
        ASSERT_TRUE(effect->setInt("Count", c.count));
        const f32 tint[4] = {0.0f, 0.0f, c.blue, 1.0f};
        ASSERT_TRUE(effect->setFloatArray("Tint", tint, 4));
        KeMaterialBinding record;
        record.effect = effect.get();
        video::SMaterial material;
        ASSERT_TRUE(effect->getPassMaterial(0, 0, material, &record));
        record.attach(material);
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        gltest::drawQuad(driver, material);
        const std::vector<uint32_t> px = readTarget();
        driver->endScene();
        EXPECT_TRUE(gltest::near(px[(gltest::kHeight / 2) * gltest::kWidth + gltest::kWidth / 2], c.want, 1))
            << std::hex << px[(gltest::kHeight / 2) * gltest::kWidth + gltest::kWidth / 2];
    }
}

// Engine cube and volume textures and a library texture on layer 5, each set on the effect by
// its parameter, reach the shader in one draw through the material's record.
TEST_F(EffectGl, EngineCubeAndVolumeTexturesAndLayerFiveThroughAnEffect) {
    KePtr<IKeGPUProgrammingServices> services = KePtr<IKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
    KePtr<IKeEffectManager> effects = KePtr<IKeEffectManager>::adopt(createKeEffectManager(services.get(), true));
    const std::string file = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/effect_layers.hlsl";
    KePtr<IKeEffect> effect = KePtr<IKeEffect>::adopt(effects->createEffect(file.c_str(), -1, nullptr));
    ASSERT_NE(effect, nullptr) << effects->getLastError();

    const uint32_t faceColours[6] = {0xFF800000, 0xFF20C040, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF, 0xFFFF00FF};
    std::vector<uint32_t> faces[6];
    const uint32_t* facePtrs[6];
    for (int f = 0; f < 6; ++f) {
        faces[f].assign(4, faceColours[f]);
        facePtrs[f] = faces[f].data();
    }
    KePtr<CKeGlTexture> cube = KePtr<CKeGlTexture>::adopt(keGlCreateCubeTexture(driver, "c", 2, facePtrs, false));
    const uint32_t slices[2] = {0xFF336699, 0xFFCC9966};
    const uint32_t voxels[8] = {slices[0], slices[0], slices[0], slices[0], slices[1], slices[1], slices[1], slices[1]};
    KePtr<CKeGlTexture> volume = KePtr<CKeGlTexture>::adopt(keGlCreateVolumeTexture(driver, "v", 2, 2, 2, voxels, false));
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, {1, 2});
    image->setPixel(0, 0, video::SColor(255, 10, 200, 30));
    image->setPixel(0, 1, video::SColor(255, 250, 40, 120));
    video::ITexture* five = driver->addTexture("five", image);
    image->drop();
    ASSERT_TRUE(cube && volume && five);
    ASSERT_TRUE(effect->setTexture("Tex__1", cube.get(), false));
    ASSERT_TRUE(effect->setTexture("Tex__2", volume.get(), false));
    ASSERT_TRUE(effect->setTexture("Tex__5", five, false));

    KeMaterialBinding record;
    record.effect = effect.get();
    video::SMaterial material;
    material.Lighting = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    ASSERT_TRUE(effect->getPassMaterial(0, 0, material, &record));
    record.attach(material);
    EXPECT_EQ(material.TextureLayer[1].Texture, nullptr);  // engine textures ride in the record
    EXPECT_EQ(record.layers[1].Texture, cube.get());
    EXPECT_EQ(record.layers[5].Texture, five);

    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    gltest::drawQuad(driver, material);
    const std::vector<uint32_t> px = readTarget();
    driver->endScene();
    const u32 w = gltest::kWidth, h = gltest::kHeight;
    int off = 0;
    for (u32 y = 0; y < h; ++y)
        for (u32 x = 0; x < w; ++x) {
            const u32 column = x * 3 / w;
            if (x * 3 % w < 2 || (x + 1) * 3 % w < 2 || y == h / 2 - 1 || y == h / 2) continue;
            const bool upper = y < h / 2;
            const uint32_t want = column == 0 ? faceColours[1]
                                  : column == 1 ? slices[upper ? 0 : 1]
                                                : (upper ? 0xFF0AC81Eu : 0xFFFA2878u);
            if (!gltest::near(px[y * w + x], want, 1) && ++off <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << px[y * w + x] << " not " << want;
        }
    EXPECT_EQ(off, 0);
}

}  // namespace

namespace {

// The base-material table's blending reaches the frame: the packed blend bits of the effect's
// material (source and destination factors as the float's bits) blend the quad over the backdrop.
TEST_F(EffectGl, BaseMaterialBlendingFromThePackedBits) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-fx-blend-"));
    KePtr<IKeGPUProgrammingServices> services =
        KePtr<IKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
    KePtr<IKeEffectManager> effects = KePtr<IKeEffectManager>::adopt(createKeEffectManager(services.get(), true));
    effects->getBindContext().device = device;
    struct Case {
        const char* baseMaterial;
        uint32_t want;  // 0xRRGGBB over a backdrop of 0x204080, the quad giving 0x402010
    };
    const Case cases[] = {
        {"solid", 0x402010},
        {"transparent_one_one", 0x606090},    // ONE / ONE: added
        {"transparent_sub_color", 0x183878},  // ZERO / ONE_MINUS_SRC_COLOR: backdrop x (1 - quad)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baseMaterial);
        const std::string file = dir / (std::string(c.baseMaterial) + ".hlsl");
        std::ofstream(file) << "// [KOLM_BEGIN]\n// config baseMaterial : " << c.baseMaterial
                            << "\n// [KOLM_END]\n"
                               "float4 vs_main(float3 pos : POSITION) : POSITION { return float4(pos, 1.0); }\n"
                               "float4 ps_main() : COLOR0 { return float4(0.25, 0.125, 0.0625, 1.0); }\n";
        KePtr<IKeEffect> effect = KePtr<IKeEffect>::adopt(effects->createEffect(file.c_str(), -1, nullptr));
        ASSERT_NE(effect, nullptr) << effects->getLastError();
        KeMaterialBinding record;
        record.effect = effect.get();
        video::SMaterial material;
        ASSERT_TRUE(effect->getPassMaterial(0, 0, material, &record));
        record.attach(material);
        driver->beginScene(true, true, video::SColor(255, 0x20, 0x40, 0x80));
        gltest::drawQuad(driver, material);
        const std::vector<uint32_t> px = readTarget();
        driver->endScene();
        const uint32_t got = px[(gltest::kHeight / 2) * gltest::kWidth + gltest::kWidth / 2];
        EXPECT_TRUE(gltest::near(got, c.want, 2)) << std::hex << got;
    }
}

}  // namespace
