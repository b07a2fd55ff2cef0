// Effect commands on a running engine with the null driver: loading under an ID with its
// messages (a broken file leaves the ID free), constants set by name, textures by name, and
// effects compiled for an object's surface.
#include "api/KeSurfaceApi.h"
#include "api_effect_fixture.h"
#include "fx/IKeEffect.h"

#include <vector>

using namespace irr;
using namespace kolm;
using apitest::dataFile;
using apitest::lastError;

namespace {

using EffectApi = apitest::EngineNull;

std::vector<float> floats(IKeEffect* effect, const char* name, u32 count) {
    std::vector<float> v(count, -1.0f);
    effect->getFloatArray(effect->getParameterByName(nullptr, name), v.data(), count);
    return v;
}

video::ITexture* textureOf(IKeEffect* effect, const char* name) {
    const s32 index = effect->getParameterIndex(effect->getParameterByName(nullptr, name));
    return index >= 0 ? effect->getCell(u32(index))->layer.texture : nullptr;
}

TEST_F(EffectApi, LoadExistDeleteAndTheirMessages) {
    const std::string good = dataFile("constants.hlsl");
    EXPECT_FALSE(keEffectExist(2));
    ASSERT_EQ(keLoadEffect(good.c_str(), 2), 0) << lastError();
    EXPECT_TRUE(keEffectExist(2));
    ASSERT_NE(keEffectGet(2), nullptr);

    // A registered ID is refused; the first effect stays.
    IKeEffect* first = keEffectGet(2);
    EXPECT_EQ(keLoadEffect(good.c_str(), 2), -1);
    EXPECT_EQ(lastError(), "2:invalid effect ID 2 : id 2 already exist");
    EXPECT_EQ(keEffectGet(2), first);
    EXPECT_EQ(keLoadEffect(good.c_str(), 1000), -1);
    EXPECT_EQ(lastError(), "2:invalid effect ID 1000 : invalid ID 1000 greater or equals than 1000");

    // A broken file: the loader's text in the message, no ID, and the library's log level is
    // what it was before.
    const std::string broken = std::string(KOLM_SOURCE_DIR) + "/tests/fx/data/unterminated.hlsl";
    ILogger* logger = keEngineContext().device->getLogger();
    logger->setLogLevel(ELL_NONE);
    EXPECT_EQ(keLoadEffect(broken.c_str(), 3), -1);
    EXPECT_EQ(logger->getLogLevel(), ELL_NONE);
    const std::string message = lastError();
    EXPECT_EQ(message.rfind("1:Failed to load effect '" + broken + "' : ", 0), 0u) << message;
    EXPECT_NE(message.find("[KOLM_BEGIN] without [KOLM_END]"), std::string::npos) << message;
    EXPECT_FALSE(keEffectExist(3));
    EXPECT_EQ(keLoadEffect("no_such_effect.hlsl", 3), -1);
    EXPECT_EQ(lastError().rfind("1:Failed to load effect 'no_such_effect.hlsl' : ", 0), 0u);
    EXPECT_FALSE(keEffectExist(3));
    EXPECT_EQ(keLoadEffect(good.c_str(), 3), 0) << lastError();  // the ID was left free

    // Deleting: an unknown ID is ignored silently; a known one is gone.
    EXPECT_EQ(keDeleteEffect(7), 0);
    EXPECT_EQ(keDeleteEffect(-1), 0);
    EXPECT_EQ(lastError(), "none");
    EXPECT_EQ(keDeleteEffect(2), 0);
    EXPECT_FALSE(keEffectExist(2));
    EXPECT_EQ(keSetEffectConstantFloat(2, "Gain", 1.0f), -1);
    EXPECT_EQ(lastError().rfind("1:Effect ID 2 does not exist. ", 0), 0u);
}

TEST_F(EffectApi, ConstantsByName) {
    ASSERT_EQ(keLoadEffect(dataFile("constants.hlsl").c_str(), 1), 0) << lastError();
    IKeEffect* e = keEffectGet(1);

    EXPECT_EQ(keSetEffectConstantBoolean(1, "Flag", true), 0);
    bool flag = false;
    EXPECT_TRUE(e->getBool(e->getParameterByName(nullptr, "Flag"), flag));
    EXPECT_TRUE(flag);
    EXPECT_EQ(keSetEffectConstantInteger(1, "Count", -7), 0);
    s32 count = 0;
    EXPECT_TRUE(e->getInt(e->getParameterByName(nullptr, "Count"), count));
    EXPECT_EQ(count, -7);
    EXPECT_EQ(keSetEffectConstantFloat(1, "Gain", 2.5f), 0);
    EXPECT_EQ(floats(e, "Gain", 1), std::vector<float>{2.5f});

    // Three numbers on a float4 change the first three only; 16 fill a matrix.
    const float three[3] = {1, 2, 3};
    EXPECT_EQ(keSetEffectConstantFloatN(1, "Tint", three, 3), 0);
    EXPECT_EQ(floats(e, "Tint", 4), (std::vector<float>{1, 2, 3, 1}));
    float sixteen[16];
    for (int i = 0; i < 16; ++i) sixteen[i] = float(i) + 0.5f;
    EXPECT_EQ(keSetEffectConstantFloatN(1, "Mat", sixteen, 16), 0);
    EXPECT_EQ(floats(e, "Mat", 16), std::vector<float>(sixteen, sixteen + 16));
    // More than a parameter can hold is refused, not cut or run past.
    float seventeen[17] = {};
    EXPECT_EQ(keSetEffectConstantFloatN(1, "Tint", seventeen, 17), -1);
    EXPECT_EQ(lastError(), "2:failed to set value for constant 'Tint'");
    EXPECT_EQ(floats(e, "Tint", 4), (std::vector<float>{1, 2, 3, 1}));

    // Every setter names an unknown constant at argument 2 and a missing effect at argument 1.
    EXPECT_EQ(keSetEffectConstantBoolean(1, "Nope", true), -1);
    EXPECT_EQ(lastError(), "2:Unknown constant 'Nope'");
    EXPECT_EQ(keSetEffectConstantInteger(1, "Nope", 1), -1);
    EXPECT_EQ(lastError(), "2:Unknown constant 'Nope'");
    EXPECT_EQ(keSetEffectConstantFloat(1, "gain", 1), -1);  // names are case-sensitive
    EXPECT_EQ(lastError(), "2:Unknown constant 'gain'");
    EXPECT_EQ(keSetEffectConstantFloatN(1, "Nope", three, 3), -1);
    EXPECT_EQ(lastError(), "2:Unknown constant 'Nope'");
    EXPECT_EQ(keSetEffectConstantBoolean(9, "Flag", true), -1);
    EXPECT_EQ(lastError().rfind("1:Effect ID 9 does not exist. ", 0), 0u);
}

TEST_F(EffectApi, TextureByNameAndAMissingFileClearsIt) {
    ASSERT_EQ(keLoadEffect(dataFile("constants.hlsl").c_str(), 1), 0) << lastError();
    IKeEffect* e = keEffectGet(1);
    EXPECT_EQ(keSetEffectTexture(1, "Tex__0", dataFile("red.png").c_str()), 0) << lastError();
    ASSERT_NE(textureOf(e, "Tex__0"), nullptr);
    EXPECT_EQ(textureOf(e, "Tex__0")->getName().getPath(), io::path(dataFile("red.png").c_str()));

    EXPECT_EQ(keSetEffectTexture(1, "Tex__0", "missing.png"), -1);
    EXPECT_EQ(lastError(), "3:failed to load texture 'missing.png' ");
    EXPECT_EQ(textureOf(e, "Tex__0"), nullptr);

    EXPECT_EQ(keSetEffectTexture(1, "Tex__9", dataFile("red.png").c_str()), -1);
    EXPECT_EQ(lastError(), "2:Unknown texture 'Tex__9'");
    EXPECT_EQ(keSetEffectTexture(4, "Tex__0", dataFile("red.png").c_str()), -1);
    EXPECT_EQ(lastError().rfind("1:Effect ID 4 does not exist. ", 0), 0u);
}

TEST_F(EffectApi, LoadForObjectSurfaceUsesTheSurfaceMacros) {
    const std::string file = dataFile("surface_color.hlsl");
    object(0);
    object(1, false);

    // Without a BaseColor texture the effect has no colour map; with one it has.
    ASSERT_EQ(keLoadEffectForObjectSurface(file.c_str(), 5, 0, 0), 0) << lastError();
    EXPECT_EQ(keEffectGet(5)->getParameterByName(nullptr, "Tex__0"), nullptr);
    EXPECT_EQ(keSetObjectSurfaceParamTex(0, 0, keSurfaceParameterIndex("BaseColor"), dataFile("red.png").c_str()), 0);
    ASSERT_EQ(keLoadEffectForObjectSurface(file.c_str(), 6, 0, 0), 0) << lastError();
    EXPECT_NE(keEffectGet(6)->getParameterByName(nullptr, "Tex__0"), nullptr);
    // Loaded, not bound.
    EXPECT_EQ(keFindNodeExt(cells[0].node)->getEffect(0), nullptr);

    struct Case {
        int object, row;
        const char* error;
    };
    const Case cases[] = {
        {3, 0, "3:Object ID 3 does not exist"},
        {1, 0, "3:Object ID 1 does not have node extension"},
        {0, 1, "4:Invalid surface ID 1 for the Object ID 0"},
        {0, -1, "4:Invalid surface ID -1 for the Object ID 0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keLoadEffectForObjectSurface(file.c_str(), 7, c.object, c.row), -1);
        EXPECT_EQ(lastError(), c.error);
        EXPECT_FALSE(keEffectExist(7)) << c.error;
    }
    // A broken file fails as keLoadEffect does and leaves the ID free.
    EXPECT_EQ(keLoadEffectForObjectSurface("no_such_effect.hlsl", 7, 0, 0), -1);
    EXPECT_EQ(lastError().rfind("1:Failed to load effect 'no_such_effect.hlsl' : ", 0), 0u);
    EXPECT_FALSE(keEffectExist(7));
}

}  // namespace
