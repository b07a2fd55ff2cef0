// The effect runtime on the null driver: the value every built-in bind sends for a known
// camera, node and light set, the light block's order, setters and value readers, the order
// of a draw's callbacks, textures reaching every pass, clones and material records.
#include "effect_runtime_stub.h"
#include "support/log_capture.h"

#include "core/KePtr.h"
#include "fx/CKeEffectManager.h"
#include "fx/IKeEffectBindSemanticMap.h"

#include <gtest/gtest.h>
#include <irrlicht/irrlicht.h>

#include <cmath>

using namespace irr;
using namespace kolm;
using namespace kolm_test;

namespace {

core::matrix4 transposed(const core::matrix4& m) { return m.getTransposed(); }
std::vector<f32> floats(const core::matrix4& m) { return std::vector<f32>(m.pointer(), m.pointer() + 16); }

// A null device with a known scene: view, world and projection transforms, a camera, two mesh
// nodes and a light at the root, a timer stopped at 5 s.
class BindValues : public ::testing::Test {
protected:
    void SetUp() override {
        device = createDevice(video::EDT_NULL, core::dimension2du(320, 240));
        ASSERT_NE(device, nullptr);
        driver = device->getVideoDriver();
        smgr = device->getSceneManager();
        context = std::make_shared<KeEffectBindContext>();
        context->device = device;
        binds = keCreateBuiltinBinds(context);
        view.buildCameraLookAtMatrixLH({1, 2, -5}, {0, 0, 0}, {0, 1, 0});
        world.setTranslation({3, -1, 2});
        world.setRotationDegrees({0, 30, 0});
        projection.buildProjectionMatrixPerspectiveFovLH(1.0f, 4.0f / 3.0f, 1.0f, 100.0f);
        driver->setTransform(video::ETS_VIEW, view);
        driver->setTransform(video::ETS_WORLD, world);
        driver->setTransform(video::ETS_PROJECTION, projection);
        camera = smgr->addCameraSceneNode(nullptr, {4, 5, 6}, {0, 0, 0});
        camera->setFarValue(250.0f);
        scene::IMesh* cube = smgr->getGeometryCreator()->createCubeMesh();
        smgr->addMeshSceneNode(cube, nullptr, -1, {10, 0, 0}, {0, 0, 0}, {2, 3, 4});
        smgr->addMeshSceneNode(cube, nullptr, -1, {-7, 1, 2});
        cube->drop();
        light = smgr->addLightSceneNode(nullptr, {0, 9, 0}, video::SColorf(0.5f, 0.25f, 1.0f, 1.0f), 50.0f);
        smgr->setAmbientLight(video::SColorf(0.1f, 0.2f, 0.3f, 1.0f));
        smgr->getRootSceneNode()->updateAbsolutePosition();
        for (scene::ISceneNode* n : smgr->getRootSceneNode()->getChildren()) n->updateAbsolutePosition();
        camera->OnAnimate(0);
        camera->render();  // computes its view frustum
        driver->setTransform(video::ETS_VIEW, view);
        driver->setTransform(video::ETS_PROJECTION, projection);
        device->getTimer()->setTime(5000);
        device->getTimer()->stop();
        context->lastFrame.view.setTranslation({0, 0, 7});
        context->lastFrame.projection.setScale({2, 2, 1});
        context->lastFrame.fps = 59.5f;
    }
    void TearDown() override {
        for (u32 i = 0; i < binds.size(); ++i) binds[i]->drop();
        if (device) device->drop();
    }

    // What the first bind that serves (semantic, type, stage, register) sends, and its name.
    std::vector<f32> send(const char* semantic, s32 type, s32 stage, s32 reg, const char** by = nullptr,
                          RecordingServices* rec = nullptr, const char* symbol = "u") {
        RecordingServices local(driver);
        RecordingServices& r = rec ? *rec : local;
        SKeFxConstBind c;
        c.stage = stage;
        c.type = type;
        c.symbol = symbol;
        c.semantic = semantic;
        c.registerIndex = reg;
        c.registerCount = reg < 0 ? 0 : 4;
        c.floatCount = type == KE_FXP_FLOAT4X4 ? 16 : type == KE_FXP_FLOAT4 ? 4 : type == KE_FXP_FLOAT3 ? 3 : 1;
        SKeFxParameter cell;
        cell.floats()[0] = 42.0f;
        for (u32 i = 0; i < binds.size(); ++i) {
            u8 data[8] = {};
            KeBindFunction f = binds[i]->getBindFunction(c, data);
            if (!f) continue;
            std::memcpy(c.data, data, 8);
            if (by) *by = binds[i]->getBindName();
            binds[i]->onSetMaterial(nullptr, 0);
            f(binds[i], &r, c, cell);
            const std::string key = std::string(stage == KE_STAGE_VERTEX ? "v" : "p") + (reg < 0 ? ":" : "#") +
                                    (reg < 0 ? std::string(symbol) : std::to_string(reg));
            return r.sent.count(key) ? r.sent[key] : std::vector<f32>{};
        }
        return {};
    }

    IrrlichtDevice* device = nullptr;
    video::IVideoDriver* driver = nullptr;
    scene::ISceneManager* smgr = nullptr;
    scene::ICameraSceneNode* camera = nullptr;
    scene::ILightSceneNode* light = nullptr;
    KeEffectBindContextPtr context;
    core::array<IKeEffectBind*> binds;
    core::matrix4 view, world, projection;
};

void expectNear(const std::vector<f32>& got, const std::vector<f32>& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-4f * (1.0f + std::fabs(want[i]))) << what << " [" << i << "]";
}

TEST_F(BindValues, EveryBindSendsTheEngineValue) {
    const core::vector3df cam = camera->getAbsolutePosition();
    struct Case {
        const char* semantic;
        s32 type;
        s32 stage;
        s32 reg;
        const char* bind;
        std::vector<f32> want;
    };
    const std::vector<Case> cases = {
        // The matrix convention (the null driver keeps no transforms: the transform bind's
        // products are checked on the GL driver): by name the matrix, its transpose by registers,
        // the reverse for "...Transpose".
        {"PrevView", KE_FXP_FLOAT4X4, KE_STAGE_VERTEX, 0, "CKeEffectBindLastFrameInfo", floats(transposed(context->lastFrame.view))},
        {"PrevViewTranspose", KE_FXP_FLOAT4X4, KE_STAGE_VERTEX, -1, "CKeEffectBindLastFrameInfo", floats(transposed(context->lastFrame.view))},
        {"PrevViewTranspose", KE_FXP_FLOAT4X4, KE_STAGE_VERTEX, 8, "CKeEffectBindLastFrameInfo", floats(context->lastFrame.view)},
        // Time in seconds of the device timer.
        {"Time", KE_FXP_FLOAT, KE_STAGE_FRAGMENT, -1, "CKeEffectBindTime", {5.0f}},
        {"Time0_X", KE_FXP_FLOAT, KE_STAGE_FRAGMENT, -1, "CKeEffectBindTime", {5.0f}},
        // Sizes of the 320 x 240 target and screen.
        {"TargetSize", KE_FXP_FLOAT2, KE_STAGE_FRAGMENT, -1, "CKeEffectBindScreen", {320, 240}},
        {"PixelSize", KE_FXP_FLOAT2, KE_STAGE_FRAGMENT, -1, "CKeEffectBindScreen", {1 / 320.0f, 1 / 240.0f}},
        {"HalfPixelSize", KE_FXP_FLOAT2, KE_STAGE_FRAGMENT, -1, "CKeEffectBindScreen", {1 / 640.0f, 1 / 480.0f}},
        {"ScreenSize", KE_FXP_FLOAT2, KE_STAGE_FRAGMENT, -1, "CKeEffectBindScreen", {320, 240}},
        {"HalfScreenPixelSize", KE_FXP_FLOAT2, KE_STAGE_FRAGMENT, -1, "CKeEffectBindScreen", {2 / 320.0f, 2 / 240.0f}},
        {"QuarterScreenHalfPixelSize", KE_FXP_FLOAT2, KE_STAGE_FRAGMENT, -1, "CKeEffectBindScreen", {4 / 640.0f, 4 / 480.0f}},
        // Lights: the ambient colour, light 0 at the root.
        {"LightAmbient", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, -1, "CKeEffectBindLight", {0.1f, 0.2f, 0.3f, 1.0f}},
        {"LightPos0", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, -1, "CKeEffectBindLight", {0, 9, 0, 1}},
        {"LightDiffuse0", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, -1, "CKeEffectBindLight", {0.5f, 0.25f, 1.0f, 1.0f}},
        // Camera.
        {"ViewPosition", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, -1, "CKeEffectBindCamera", {cam.X, cam.Y, cam.Z, 1}},
        {"ZFarValue", KE_FXP_FLOAT, KE_STAGE_FRAGMENT, -1, "CKeEffectBindCamera", {250.0f}},
        // Objects: mesh nodes of the root in child order (the light and camera do not count).
        {"ObjectPos1", KE_FXP_FLOAT4, KE_STAGE_VERTEX, -1, "CKeEffectBindObject", {-7, 1, 2, 1}},
        {"ObjectScale0", KE_FXP_FLOAT3, KE_STAGE_VERTEX, -1, "CKeEffectBindObject", {2, 3, 4}},
        // The last frame.
        {"PrevView", KE_FXP_FLOAT4X4, KE_STAGE_VERTEX, -1, "CKeEffectBindLastFrameInfo", floats(context->lastFrame.view)},
        {"PrevViewProjection", KE_FXP_FLOAT4X4, KE_STAGE_VERTEX, -1, "CKeEffectBindLastFrameInfo",
         floats(context->lastFrame.projection * context->lastFrame.view)},
        {"ViewInversePrevViewProjection", KE_FXP_FLOAT4X4, KE_STAGE_VERTEX, -1, "CKeEffectBindLastFrameInfo",
         floats(context->lastFrame.projection * context->lastFrame.view)},  // the null driver's view is identity
        {"Fps", KE_FXP_FLOAT, KE_STAGE_FRAGMENT, -1, "CKeEffectBindLastFrameInfo", {59.5f}},
        // No bind knows "Fov": the generic bind sends the cell's value.
        {"Fov", KE_FXP_FLOAT, KE_STAGE_FRAGMENT, -1, "CKeEffectBind", {42.0f}},
        {"", KE_FXP_FLOAT, KE_STAGE_FRAGMENT, 3, "CKeEffectBind", {42.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const char* by = "";
        const std::string what = std::string(c.semantic) + (c.reg < 0 ? " by name" : " by register");
        const std::vector<f32> got = send(c.semantic, c.type, c.stage, c.reg, &by);
        EXPECT_STREQ(by, c.bind) << what;
        expectNear(got, c.want, what);
    }
}

TEST_F(BindValues, MissingObjectAndLightLogOncePerConstant) {
    kolmtest::LogCapture log;
    RecordingServices rec(driver);
    SKeFxConstBind c;
    c.stage = KE_STAGE_VERTEX;
    c.type = KE_FXP_FLOAT4;
    c.symbol = "u";
    c.semantic = "ObjectPos3";  // two mesh nodes only
    IKeEffectBind* object = nullptr;
    KeBindFunction f = nullptr;
    for (u32 i = 0; i < binds.size() && !f; ++i) {
        u8 data[8] = {};
        f = binds[i]->getBindFunction(c, data);
        object = binds[i];
        std::memcpy(c.data, data, 8);
    }
    ASSERT_NE(f, nullptr);
    SKeFxParameter cell;
    for (int draw = 0; draw < 3; ++draw) f(object, &rec, c, cell);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "ERROR : CKeEffectBindObject : Object index 3 not found \n");
    EXPECT_TRUE(rec.sent.empty());  // nothing is sent
    EXPECT_TRUE(send("LightPos1", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, -1).empty());
    EXPECT_TRUE(log.contains("CKeEffectBindLight : Light index 1 not found "));
}

// The light block: at most five lights, directional first, then point, then spot lights,
// whatever order the frame lists them in; spot cones stored in degrees, sent as cosines.
TEST_F(BindValues, LightBlockOrdersAndCountsLights) {
    struct Case {
        const char* lights;  // D directional, P point, S spot, in the order listed
        std::vector<f32> num, ini;
        std::string kinds;   // of the five records
    };
    const std::vector<Case> cases = {
        {"SSSPPP", {0, 3, 2}, {0, 0, 3}, "PPPSS"},
        {"SPD", {1, 1, 1}, {0, 1, 2}, "DPS"},
        {"DDDDDDP", {5, 0, 0}, {0, 5, 5}, "DDDDD"},
        {"", {0, 0, 0}, {0, 0, 0}, ""},
    };
    for (const Case& c : cases) {
        driver->deleteAllDynamicLights();
        for (const char* k = c.lights; *k; ++k) {
            video::SLight l;
            l.Type = *k == 'D' ? video::ELT_DIRECTIONAL : *k == 'P' ? video::ELT_POINT : video::ELT_SPOT;
            l.DiffuseColor = video::SColorf(*k == 'D' ? 1.f : 0.f, *k == 'P' ? 1.f : 0.f, *k == 'S' ? 1.f : 0.f);
            l.Radius = 4.0f;
            l.InnerCone = 30.0f;
            l.OuterCone = 60.0f;
            driver->addDynamicLight(l);
        }
        KeLightBlock block;
        keBuildLightBlock(driver, block);
        expectNear({block.num[0], block.num[1], block.num[2]}, c.num, c.lights);
        expectNear({block.ini[0], block.ini[1], block.ini[2]}, c.ini, c.lights);
        for (size_t i = 0; i < c.kinds.size(); ++i) {
            const KeLightBlock::Light& l = block.lights[i];
            const char kind = l.color[0] > 0 ? 'D' : l.color[1] > 0 ? 'P' : 'S';
            EXPECT_EQ(kind, c.kinds[i]) << c.lights << " record " << i;
            EXPECT_FLOAT_EQ(l.invRadiusSqr, kind == 'D' ? 0.0f : 1.0f / 16.0f);
            if (kind == 'S') {
                EXPECT_NEAR(l.spotAngles[0], std::cos(30.0 * M_PI / 180.0), 1e-6);  // 0.866, not cos(30 rad)
                EXPECT_NEAR(l.spotAngles[1], 0.5, 1e-6);
            }
        }
    }
    // Sent member by member by name, or as 25 registers (five per light).
    driver->deleteAllDynamicLights();
    video::SLight spot;
    spot.Type = video::ELT_SPOT;
    spot.Position = {1, 2, 3};
    spot.Radius = 2.0f;
    driver->addDynamicLight(spot);
    RecordingServices rec(driver);
    send("LightParams", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, -1, nullptr, &rec, "LightParams");
    expectNear(rec.sent["p:LightParams[0].LightPosition"], {1, 2, 3}, "position");
    expectNear(rec.sent["p:LightParams[0].InvLightRadiusSqr"], {0.25f}, "radius");
    send("LightsNum", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, -1, nullptr, &rec, "LightsNum");
    expectNear(rec.sent["p:LightsNum.LightSpotsNum"], {1}, "spots");
    const std::vector<f32> regs = send("LightParams", KE_FXP_FLOAT4, KE_STAGE_FRAGMENT, 10, nullptr, nullptr, "LightParams");
    ASSERT_EQ(regs.size(), 100u);
    expectNear({regs[4], regs[5], regs[6], regs[12]}, {1, 2, 3, 0.25f}, "registers");
    const char* by = "";
    send("LightParams", KE_FXP_FLOAT4, KE_STAGE_VERTEX, -1, &by);
    EXPECT_STREQ(by, "CKeEffectBind");  // the block serves pixel shaders only
}

// --- effects built on stub services ---------------------------------------------------------

// A bind that records its calls and can refuse the material.
class ProbeBind : public IKeEffectBind {
public:
    std::vector<std::string>* calls;
    bool accept = true;
    explicit ProbeBind(std::vector<std::string>* c) : calls(c) {}
    const c8* getBindName() const override { return "probe"; }
    bool onSetMaterial(const KeMaterialBinding*, s32) override {
        calls->push_back("onSetMaterial");
        return accept;
    }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&)[8]) override {
        return std::strcmp(c.semantic, "Fov") == 0 ? &send : nullptr;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        static_cast<ProbeBind*>(b)->calls->push_back(std::string("send ") + c.symbol);
        const f32 v = 7.0f;
        return keSendFloats(s, c, &v, 1);
    }
};

class EffectRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        b.param("Wvp", KE_FXP_FLOAT4X4, "WorldViewProjection");
        b.param("Tint", KE_FXP_FLOAT4, "", "1 0.5 0.25 1");
        b.param("Gloss", KE_FXP_FLOAT, "Fov", "0.75");
        b.param("Count", KE_FXP_INT, "", "3");
        b.param("Enabled", KE_FXP_BOOL, "", "1");
        b.param("Diffuse", KE_FXP_SAMPLER2D);
        SPass& p0 = b.pass(0);
        DefBuilder::bind(p0, KE_STAGE_VERTEX, "Wvp", "Wvp");
        DefBuilder::bind(p0, KE_STAGE_FRAGMENT, "Tint", "Tint");
        DefBuilder::bind(p0, KE_STAGE_FRAGMENT, "Gloss", "Gloss");
        DefBuilder::bind(p0, KE_STAGE_FRAGMENT, "Count", "Count");
        DefBuilder::state(p0, "texture2D", "", "Diffuse", 1);
        SPass& p1 = b.pass(0);
        DefBuilder::bind(p1, KE_STAGE_FRAGMENT, "Tint", "Tint");
        DefBuilder::state(p1, "texture2D", "", "Diffuse", 5);
    }
    KePtr<CKeEffect> build() {
        kolmtest::LogCapture quiet;
        KePtr<CKeEffect> e = KePtr<CKeEffect>::adopt(kit.build(b.def));
        EXPECT_TRUE(e->isValid()) << e->getError();
        return e;
    }
    DefBuilder b;
    BuildKit kit;
};

TEST_F(EffectRuntime, SettersChangeCellsAndReadersAnswerThem) {
    KePtr<CKeEffect> e = build();
    const SParameter* tint = e->getParameterByName(nullptr, "Tint");
    f32 v[4];
    ASSERT_TRUE(e->getFloatArray(tint, v, 4));
    EXPECT_EQ(std::vector<f32>(v, v + 4), (std::vector<f32>{1, 0.5f, 0.25f, 1}));  // from the definition
    s32 count = 0;
    bool enabled = false;
    EXPECT_TRUE(e->getInt(e->getParameterByName(nullptr, "Count"), count));
    EXPECT_TRUE(e->getBool(e->getParameterByName(nullptr, "Enabled"), enabled));
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(enabled);

    const f32 red[4] = {1, 0, 0, 1};
    EXPECT_TRUE(e->setFloatArray("Tint", red, 4));
    EXPECT_TRUE(e->setFloat("Gloss", 0.25f));
    EXPECT_TRUE(e->setInt("Count", -2));
    EXPECT_TRUE(e->setBool("Enabled", false));
    EXPECT_FALSE(e->setFloat("NoSuchParameter", 1.0f));
    const f32 big[20] = {};
    EXPECT_TRUE(e->setFloatArray("Tint", big, 20));  // cut at the cell's 16 floats
    EXPECT_TRUE(e->setFloatArray("Tint", red, 4));

    // The generic bind sends the current values; the definition still reads its text.
    KeMaterialBinding record;
    record.effect = e.get();
    RecordingServices rec;
    EXPECT_TRUE(e->onSetShaderConstants(&rec, 0, &record));
    EXPECT_EQ(rec.sent["p:Tint"], (std::vector<f32>{1, 0, 0, 1}));
    EXPECT_EQ(rec.sent["p:Gloss"], std::vector<f32>{0.25f});
    EXPECT_EQ(rec.sent["p:Count"], std::vector<f32>{-2.0f});
    f32 fromText = 0;
    e->getDefinition()->getFloat(e->getParameterByName(nullptr, "Gloss"), fromText);
    EXPECT_FLOAT_EQ(fromText, 0.75f);
}

TEST_F(EffectRuntime, BindsRunInOrderAndARefusalSetsNoStaleConstant) {
    std::vector<std::string> calls;
    auto* probe = new ProbeBind(&calls);
    kit.addBind(probe);
    KePtr<CKeEffect> e = build();
    KeMaterialBinding record;
    record.effect = e.get();
    RecordingServices rec;
    ASSERT_TRUE(e->onSetShaderConstants(&rec, 0, &record));
    EXPECT_EQ(calls, (std::vector<std::string>{"onSetMaterial", "send Gloss"}));
    EXPECT_EQ(rec.sent["p:Gloss"], std::vector<f32>{7.0f});  // the bind in front wins over the generic one

    // A refusal: the error line, no bind function called, every constant of the pass zeroed.
    probe->accept = false;
    calls.clear();
    kolmtest::LogCapture log;
    EXPECT_FALSE(e->onSetShaderConstants(&rec, 0, &record));
    EXPECT_EQ(calls, std::vector<std::string>{"onSetMaterial"});
    EXPECT_TRUE(log.contains("ERROR : CKeEffect::onSetShaderConstants : onSetMaterial() failed, abort"));
    for (const char* key : {"v:Wvp", "p:Tint", "p:Gloss", "p:Count"})
        for (f32 f : rec.sent[key]) EXPECT_EQ(f, 0.0f) << key;
    probe->drop();
}

TEST_F(EffectRuntime, ACallbackFindsTheEffectThroughTheMaterialHandle) {
    KePtr<CKeEffect> e = build();
    CKeEffectCallback callback;
    RecordingServices rec;
    video::SMaterial material;
    {
        KeMaterialBinding record;
        record.effect = e.get();
        record.attach(material);
        EXPECT_EQ(keMaterialBindingOf(material), &record);
        callback.OnSetMaterial(material);
        callback.OnSetConstants(&rec, 0);
        EXPECT_TRUE(callback.lastSucceeded());
        EXPECT_EQ(rec.sent.count("p:Tint"), 1u);
    }
    // The record is gone: its handle finds nothing and nothing is set.
    rec.sent.clear();
    callback.OnSetMaterial(material);
    callback.OnSetConstants(&rec, 0);
    EXPECT_FALSE(callback.lastSucceeded());
    EXPECT_TRUE(rec.sent.empty());
    video::SMaterial plain;
    EXPECT_EQ(keMaterialBindingOf(plain), nullptr);
}

TEST_F(EffectRuntime, UnsettableConstantIsReportedOncePerEffectAndConstant) {
    KePtr<CKeEffect> e = build();
    KeMaterialBinding record;
    record.effect = e.get();
    RecordingServices rec;
    rec.refuseNames = true;
    kolmtest::LogCapture log;
    for (int draw = 0; draw < 3; ++draw) e->onSetShaderConstants(&rec, 0, &record);
    EXPECT_EQ(log.lines.size(), 4u);  // Wvp, Tint, Gloss, Count: once each
    EXPECT_TRUE(log.contains("WARN : CKeEffect : test.hlsl: the constant 'Tint' (semantic '') could not be set"));
}

TEST_F(EffectRuntime, TextureReachesEveryPassThatSamplesIt) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    video::IVideoDriver* driver = device->getVideoDriver();
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, {4, 4});
    video::ITexture* tex = driver->addTexture("diffuse", image);
    image->drop();
    KePtr<CKeEffect> e = build();
    const s32 diffuse = e->getParameterIndex(e->getParameterByName(nullptr, "Diffuse"));
    ASSERT_TRUE(e->setTextureByIndex(diffuse, tex, true));
    EXPECT_EQ(e->getFxTechnique(0)->passes[0].material.TextureLayer[1].Texture, tex);
    EXPECT_EQ(e->getFxTechnique(0)->passes[1].layers[5].texture, tex);
    EXPECT_TRUE(e->getFxTechnique(0)->passes[1].layers[5].srgb);

    // Pass 1 puts its layer 5 into the material's side data with the sRGB flag.
    KeMaterialBinding side;
    video::SMaterial m;
    ASSERT_TRUE(e->getPassMaterial(0, 1, m, &side));
    EXPECT_EQ(m.MaterialType, e->getFxTechnique(0)->passes[1].material.MaterialType);
    EXPECT_EQ(side.layers[5].Texture, tex);
    EXPECT_EQ(side.layerFlags[5], KE_LAYER_SRGB);
    EXPECT_EQ(m.TextureLayer[1].Texture, nullptr);
    EXPECT_FALSE(e->getPassMaterial(0, 2, m, &side));
    EXPECT_FALSE(e->getPassMaterial(1, 0, m, &side));

    // The cell holds its own reference: the texture outlives its removal from the driver.
    driver->removeTexture(tex);
    EXPECT_EQ(e->getCell(u32(diffuse))->layer.texture, tex);
    EXPECT_EQ(tex->getReferenceCount(), 1);
    EXPECT_EQ(tex->getName().getPath(), "diffuse");
    EXPECT_TRUE(e->setTexture("Diffuse", nullptr, false));  // releases it
    device->drop();
}

TEST_F(EffectRuntime, CloneReadsItsOwnCellsAfterTheOriginalIsGone) {
    KePtr<CKeEffect> e = build();
    const f32 blue[4] = {0, 0, 1, 1};
    e->setFloatArray("Tint", blue, 4);
    IKeEffectBind* generic = kit.binds.getLast();
    const s32 refs = generic->getReferenceCount();
    KePtr<IKeEffect> copy = KePtr<IKeEffect>::adopt(e->clone());
    EXPECT_GT(generic->getReferenceCount(), refs);  // the clone holds the binds too
    EXPECT_EQ(copy->getDefinition(), e->getDefinition());
    e.reset();  // the original goes
    const f32 green[4] = {0, 1, 0, 1};
    copy->setFloatArray("Tint", green, 4);
    KeMaterialBinding record;
    record.effect = copy.get();
    RecordingServices rec;
    ASSERT_TRUE(copy->onSetShaderConstants(&rec, 0, &record));
    EXPECT_EQ(rec.sent["p:Tint"], (std::vector<f32>{0, 1, 0, 1}));
}

TEST_F(EffectRuntime, SemanticMapServesItsNamesInFrontOfTheBuiltins) {
    CKeEffectManager manager(&kit.services, false, nullptr);
    KePtr<IKeEffectBindSemanticMap> map = KePtr<IKeEffectBindSemanticMap>::adopt(manager.createSemanticMap());
    EXPECT_EQ(manager.getEffectBinds()[0], map.get());
    EXPECT_TRUE(map->addSemantic("Fov", KE_FXP_FLOAT2));
    EXPECT_FALSE(map->addSemantic("Fov", KE_FXP_FLOAT));  // exists
    EXPECT_FALSE(map->addSemantic("Bad", KE_FXP_INT));
    EXPECT_TRUE(map->setFloat("Fov", 1.5f));
    const f32 second[2] = {1.5f, 2.5f};
    EXPECT_TRUE(map->setValues("Fov", second, sizeof(second)));
    EXPECT_FALSE(map->setFloat("Unknown", 1.0f));
    kit.addBind(map.get());
    KePtr<CKeEffect> e = build();
    KeMaterialBinding record;
    record.effect = e.get();
    RecordingServices rec;
    ASSERT_TRUE(e->onSetShaderConstants(&rec, 0, &record));
    EXPECT_EQ(rec.sent["p:Gloss"], (std::vector<f32>{1.5f, 2.5f}));  // the map's type decides the count
}

TEST(MaterialBinding, HandlesAreExactFloatsAndReused) {
    const u32 before = keMaterialBindingCount();
    video::SMaterial m;
    u32 first;
    {
        KeMaterialBinding a;
        KeMaterialBinding b(a);  // a copy gets a handle of its own
        EXPECT_NE(a.handle(), b.handle());
        EXPECT_EQ(keMaterialBindingCount(), before + 2);
        b.attach(m);
        EXPECT_EQ(keMaterialBindingOf(m), &b);
        first = b.handle();
    }
    EXPECT_EQ(keMaterialBindingCount(), before);
    EXPECT_EQ(keMaterialBindingOf(m), nullptr);
    m.MaterialTypeParam2 = f32(first) + 0.5f;  // not a handle
    EXPECT_EQ(keMaterialBindingOfParam(m.MaterialTypeParam2), nullptr);
    EXPECT_EQ(keMaterialBindingOfParam(-1.0f), nullptr);
    EXPECT_EQ(keMaterialBindingOfParam(std::nanf("")), nullptr);
}

}  // namespace
