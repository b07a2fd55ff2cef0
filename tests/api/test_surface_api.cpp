// Object surface commands on a running engine with the null driver: the 39 parameter names,
// channel values and textures reaching the row's LightWave surface, a cube reflection image
// from six face files, surface effects with their reference, and the messages of each check.
#include "api/KeSurfaceApi.h"
#include "api_effect_fixture.h"
#include "fx/IKeEffect.h"
#include "gl/KeGlTexture.h"
#include "support/scratch_dir.h"

#include <cstring>
#include <fstream>
#include <iterator>

using namespace irr;
using namespace kolm;
using apitest::dataFile;
using apitest::lastError;

namespace {

using SurfaceApi = apitest::EngineNull;

TEST_F(SurfaceApi, ParameterNamesMapToTheChannels) {
    struct Case {
        const char* name;
        int index;
    };
    const Case cases[] = {
        {"BaseColor", 0},        {"Luminosity", 1},       {"Glossiness", 9},       {"SpecialBuffer1", 10},
        {"SpecialBuffer4", 13},  {"ColorFilter", 21},     {"GlowValue", 25},       {"AlphaOptions", 28},
        {"ReflectionImage", 35}, {"RefractionImage", 36}, {"VertexColoring", 37},  {"VertexNormal", 38},
        {"basecolor", -1},       {"BaseColor ", -1},      {"", -1},                {nullptr, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(keSurfaceParameterIndex(c.name), c.index) << (c.name ? c.name : "null");
}

TEST_F(SurfaceApi, ValuesAndTexturesReachTheSurface) {
    object(0);
    IKeSurfaceLightwave* s = surfaceOf(0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(keSetObjectSurfaceParamFloat(0, 0, keSurfaceParameterIndex("Glossiness"), 0.75f), 0);
    EXPECT_FLOAT_EQ(s->getFloat(KE_LW_GLOSSINESS), 0.75f);
    EXPECT_EQ(keSetObjectSurfaceParamInt(0, 0, keSurfaceParameterIndex("Sidedness"), 3), 0);
    EXPECT_EQ(s->getInt(KE_LW_SIDEDNESS), 3);
    EXPECT_EQ(keSetObjectSurfaceParamFloat3(0, 0, keSurfaceParameterIndex("BaseColor"), 0.1f, 0.2f, 0.3f), 0);
    EXPECT_EQ(s->getVector(KE_LW_BASE_COLOR), core::vector3df(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(keSetObjectSurfaceParamTex(0, 0, keSurfaceParameterIndex("Bump"), dataFile("red.png").c_str()), 0);
    ASSERT_NE(s->getTexture(KE_LW_BUMP), nullptr);
    EXPECT_EQ(s->getTexture(KE_LW_BUMP)->getName().getPath(), io::path(dataFile("red.png").c_str()));

    // Indices past the channels change nothing.
    const KeLightwaveChannels before = s->getParameters();
    EXPECT_EQ(keSetObjectSurfaceParamFloat(0, 0, 39, 5.0f), 0);
    EXPECT_EQ(keSetObjectSurfaceParamFloat3(0, 0, -1, 5.0f, 5.0f, 5.0f), 0);
    EXPECT_EQ(std::memcmp(&before, &s->getParameters(), sizeof before), 0);

    // The checks in order: the object, its extension, the row; then the texture file.
    object(1, false);
    struct Case {
        int object, row;
        const char* error;
    };
    const Case cases[] = {
        {3, 0, "1:Object ID 3 does not exist"},
        {1, 0, "1:Object ID 1 unexpected format (no node extension)"},
        {0, 2, "2:Object ID 0 has no surface 2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keSetObjectSurfaceParamFloat(c.object, c.row, 9, 1.0f), -1);
        EXPECT_EQ(lastError(), c.error);
        EXPECT_EQ(keSetObjectSurfaceParamInt(c.object, c.row, 31, 1), -1);
        EXPECT_EQ(lastError(), c.error);
        EXPECT_EQ(keSetObjectSurfaceParamFloat3(c.object, c.row, 0, 1, 1, 1), -1);
        EXPECT_EQ(lastError(), c.error);
        EXPECT_EQ(keSetObjectSurfaceParamTex(c.object, c.row, 0, "missing.png"), -1);
        EXPECT_EQ(lastError(), c.error);
    }
    EXPECT_EQ(keSetObjectSurfaceParamTex(0, 0, 0, "missing.png"), -1);
    EXPECT_EQ(lastError(), "4:Texture does not exist 'missing.png'");
    EXPECT_EQ(s->getTexture(KE_LW_BASE_COLOR), nullptr);
}

TEST_F(SurfaceApi, ReflectionImageWithSixFacesIsACubeTexture) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create(testing::TempDir() + "kolm-surface-api-"));
    std::ifstream red(dataFile("red.png"), std::ios::binary);
    const std::string png((std::istreambuf_iterator<char>(red)), {});
    for (int face = 0; face < 6; ++face)
        std::ofstream(dir.path + "/sky0" + std::to_string(face) + ".png", std::ios::binary) << png;
    object(0);
    IKeSurfaceLightwave* s = surfaceOf(0);

    const std::string sky = dir.path + "/sky.png";
    ASSERT_EQ(keSetObjectSurfaceParamTex(0, 0, KE_LW_REFLECTION_IMAGE, sky.c_str()), 0) << lastError();
    auto* cube = dynamic_cast<CKeGlTexture*>(s->getTexture(KE_LW_REFLECTION_IMAGE));
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->getKind(), KeGlTextureKind::Cube);
    // Any other channel takes the name as a plain file.
    const std::string face = dir.path + "/sky00.png";
    ASSERT_EQ(keSetObjectSurfaceParamTex(0, 0, KE_LW_REFRACTION_IMAGE, face.c_str()), 0) << lastError();
    EXPECT_EQ(dynamic_cast<CKeGlTexture*>(s->getTexture(KE_LW_REFRACTION_IMAGE)), nullptr);
}

TEST_F(SurfaceApi, SurfaceEffectsAndTheirChecks) {
    object(0);
    object(1, false);
    // The effect is checked before anything else.
    EXPECT_EQ(keSetObjectSurfaceEffect(3, 0, 4), -1);
    EXPECT_EQ(lastError().rfind("3:Effect ID 4 does not exist. ", 0), 0u);

    ASSERT_EQ(keLoadEffectForObjectSurface(dataFile("surface_color.hlsl").c_str(), 4, 0, 0), 0) << lastError();
    const struct {
        int object, row;
        const char* error;
    } cases[] = {
        {3, 0, "1:Object ID 3 does not exist"},
        {1, 0, "1:Object ID 1 unexpected format (no node extension)"},
        {0, 1, "2:Object ID 0 has no surface 1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keSetObjectSurfaceEffect(c.object, c.row, 4), -1);
        EXPECT_EQ(lastError(), c.error);
    }

    IKeSceneNodeExt* ext = keFindNodeExt(cells[0].node);
    ASSERT_EQ(keSetObjectSurfaceEffect(0, 0, 4), 0) << lastError();
    IKeEffect* effect = keEffectGet(4);
    EXPECT_EQ(ext->getEffect(0), effect);
    EXPECT_EQ(ext->getTechnique(0), 0);
    // The extension holds its own reference: the effect outlives its ID.
    EXPECT_EQ(keDeleteEffect(4), 0);
    ASSERT_EQ(ext->getEffect(0), effect);
    EXPECT_NE(effect->getParameterByName(nullptr, "WorldViewProj"), nullptr);

    EXPECT_EQ(keUpdateObjectFromSurfaces(0), 0);
    EXPECT_EQ(keUpdateObjectFromSurfaces(1), -1);
    EXPECT_EQ(lastError(), "1:Object ID 1 unexpected format (no node extension)");
    EXPECT_EQ(keSetObjectSurfaceEffectTechnique(3, 0, 1), -1);
    EXPECT_EQ(lastError(), "1:Object ID 3 does not exist");
    EXPECT_EQ(keSetObjectSurfaceEffectTechnique(0, 5, 1), 0);  // the row is not checked
    EXPECT_EQ(keSetObjectSurfaceEffectTechnique(0, 0, 0), 0);
    EXPECT_EQ(ext->getTechnique(0), 0);
}

}  // namespace
