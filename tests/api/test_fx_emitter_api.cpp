// Fx emitter commands on the null driver: creation defaults and the shipped particle image,
// replacing and refusing IDs, the particle surface (size, blend modes, colours, gradients),
// static-mesh emitters and the setters they ignore, mesh emitters without a mesh, parents, and
// the messages of unregistered IDs.
#include "api_effect_fixture.h"

#include "api/KeFxEmitterApi.h"
#include "files/KeFileSystem.h"
#include "fx/CKeParticleSystemSceneNode.h"
#include "fx/IKeEffect.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeSurfaceLightwaveHV.h"

#include <irrlicht/SMesh.h>
#include <irrlicht/SMeshBuffer.h>
#include <irrlicht/irrlicht.h>

#include <cmath>

using namespace irr;
using namespace kolm;
using apitest::lastError;

namespace {

class FxEmitterApi : public apitest::EngineNull {
protected:
    void SetUp() override {
        EngineNull::SetUp();
        keSetBaseDir(KOLM_SOURCE_DIR "/data/");  // the shipped particle image
    }
    void TearDown() override {
        keDeleteAllFxEmitters();
        keSetBaseDir("");
        EngineNull::TearDown();
    }
    const KeHyperVoxelParams& look(int id) {
        IKeSceneNodeExt* ext = keFindNodeExt(keFxEmitterGet(id));
        auto* hv = dynamic_cast<IKeSurfaceLightwaveHV*>(ext ? ext->getSurface(0) : nullptr);
        EXPECT_NE(hv, nullptr);
        static KeHyperVoxelParams none;
        return hv ? hv->getParameters() : none;
    }
    const FxEmitterState& emitter(int id) { return keFxEmitterGet(id)->getEmitter()->state(); }

    // A static mesh node of `vertices` vertices registered as object `id`.
    void meshObject(int id, int vertices) {
        scene::SMesh* mesh = new scene::SMesh();
        auto* buffer = new scene::SMeshBuffer();
        for (int i = 0; i < vertices; ++i) buffer->Vertices.push_back(video::S3DVertex(f32(i), 0, 0, 0, 0, 1, 0, 0, 0));
        mesh->addMeshBuffer(buffer);
        buffer->drop();
        cells[id].node = keEngineContext().sceneManager->addMeshSceneNode(mesh);
        mesh->drop();
        keIdTableAdd(keEngineContext().idLists.object, id, &cells[id]);
    }
};

TEST_F(FxEmitterApi, BoxStartsSilentWithTheDefaultImageAndAdditiveBlending) {
    ASSERT_EQ(keMakeFxEmitterBox(1, "", 10, 10, 10), 0) << lastError();
    EXPECT_EQ(emitter(1).birthRate, 0.0f);
    EXPECT_EQ(emitter(1).lifeTime, 1.0f);
    EXPECT_FLOAT_EQ(emitter(1).lifeTimeVariation, 0.1f);
    EXPECT_EQ(emitter(1).generatorSize[0], 10.0f);
    EXPECT_EQ(emitter(1).kind, 0u);
    EXPECT_TRUE(emitter(1).sharedPool);
    const KeHyperVoxelParams& p = look(1);
    ASSERT_NE(p.clipTexture, nullptr);
    EXPECT_NE(std::string(p.clipTexture->getName().getPath().c_str()).find("KeDefaultParticle.png"), std::string::npos);
    EXPECT_TRUE(p.hasTexture);
    EXPECT_EQ(p.blendMode, KE_HV_BLEND_ADD);
    ASSERT_EQ(keMakeFxEmitterSphere(2, nullptr, 1, 2, 3), 0);
    EXPECT_EQ(emitter(2).kind, 1u);
}

TEST_F(FxEmitterApi, ARegisteredIdIsRefusedAndAFailedCreationLeavesItFree) {
    ASSERT_EQ(keMakeFxEmitterBox(1, "", 1, 1, 1), 0);
    CKeParticleSystemSceneNode* first = keFxEmitterGet(1);
    EXPECT_EQ(keMakeFxEmitterBox(1, "", 2, 2, 2), -1);
    const std::string error = lastError();
    EXPECT_EQ(error.rfind("1:invalid FxEmitter ID 1 : ", 0), 0u) << error;
    EXPECT_NE(error.find("already exist"), std::string::npos) << error;
    EXPECT_EQ(keFxEmitterGet(1), first);
    EXPECT_EQ(keMakeFxEmitterBox(2, "no-such-particle.png", 1, 1, 1), -1);
    EXPECT_EQ(lastError(), "2:failed to setup material image");
    EXPECT_FALSE(keFxEmitterExist(2));
    EXPECT_EQ(keMakeFxEmitterBox(1000, "", 1, 1, 1), -1);
    EXPECT_FALSE(keFxEmitterExist(1000));
}

TEST_F(FxEmitterApi, SurfaceLookCommands) {
    ASSERT_EQ(keMakeFxEmitterBox(1, "", 1, 1, 1), 0);
    keSetFxEmitterParticleSize(1, 3);
    EXPECT_EQ(look(1).size, 6.0f);
    EXPECT_EQ(emitter(1).particleSize, 6.0f);
    const struct {
        int mode;
        s32 blend;
        bool sorted;
    } modes[] = {{1, KE_HV_BLEND_ALPHA, true}, {0, KE_HV_BLEND_ADD, false}, {3, KE_HV_BLEND_SUBTRACT, false},
                 {1, KE_HV_BLEND_ALPHA, true}, {2, KE_HV_BLEND_ADD, false}, {7, KE_HV_BLEND_ADD, false}};
    for (const auto& m : modes) {
        keSetFxEmitterBlendMode(1, m.mode);
        EXPECT_EQ(look(1).blendMode, m.blend) << m.mode;
        EXPECT_EQ(emitter(1).sorted, m.sorted) << m.mode;
    }
    keSetFxEmitterColor(1, 0xFF8000);
    EXPECT_FALSE(look(1).hasTexture);
    EXPECT_FLOAT_EQ(look(1).color[0], 1.0f);
    EXPECT_NEAR(look(1).color[1], 0.502f, 1e-3f);
    EXPECT_EQ(look(1).color[2], 0.0f);
    EXPECT_EQ(look(1).color[3], 1.0f);
    keSetFxEmitterUseImageColor(1);
    EXPECT_TRUE(look(1).hasTexture);
    for (f32 c : look(1).color) EXPECT_EQ(c, 1.0f);
    keSetFxEmitterRotation(1, 0.25f);
    EXPECT_EQ(look(1).rotation, 0.25f);
    EXPECT_EQ(lastError(), "none");
}

TEST_F(FxEmitterApi, GradientsKeepEightKeysAndCloseTheTable) {
    ASSERT_EQ(keMakeFxEmitterBox(1, "", 1, 1, 1), 0);
    const float two[10] = {0, 1, 0, 0, 1, 0.5f, 0, 0, 1, 0.5f};
    keSetFxEmitterColorGradient(1, 2, two);
    ASSERT_EQ(look(1).colorKeyCount, 3u);
    EXPECT_EQ(look(1).colorKeyParams[2], 100.5f);
    EXPECT_EQ(look(1).colorKeyValues[2][2], 1.0f);
    EXPECT_EQ(look(1).colorKeyValues[2][3], 0.5f);
    float twelve[60];
    for (int i = 0; i < 60; ++i) twelve[i] = f32(i);
    keSetFxEmitterSizeGradient(1, 12, twelve);
    ASSERT_EQ(look(1).sizeKeyCount, 9u);
    EXPECT_EQ(look(1).sizeKeyParams[7], 35.0f);
    EXPECT_EQ(look(1).sizeKeyParams[8], 135.0f);
    EXPECT_EQ(look(1).sizeKeyValues[8], 36.0f);
    keSetFxEmitterSizeGradient(1, 0, twelve);  // no keys: an empty table, never key -1
    EXPECT_EQ(look(1).sizeKeyCount, 0u);
}

TEST_F(FxEmitterApi, StaticMeshEmittersIgnoreEmissionSettersButTakeLifeTime) {
    meshObject(2, 1000);
    ASSERT_EQ(keMakeFxEmitterMeshStatic(1, "", 2), 0) << lastError();
    EXPECT_EQ(keFxEmitterGet(1)->getEmitter()->getParticleCount(), 1000u);
    EXPECT_EQ(emitter(1).pool->size(), 1000u);
    EXPECT_EQ(emitter(1).birthRate, 100.0f);  // the emitter's own defaults
    keSetFxEmitterVelocity(1, 1, 2, 3);
    keSetFxEmitterBirthRate(1, 5);
    keFxResetEmitter(1);
    EXPECT_EQ(lastError(), "none");
    EXPECT_EQ(emitter(1).velocity[0], 0.0f);
    EXPECT_EQ(emitter(1).birthRate, 100.0f);
    EXPECT_EQ(keFxEmitterGet(1)->getEmitter()->getParticleCount(), 1000u);
    keSetFxEmitterLifeTime(1, 7, 0.5f);
    EXPECT_EQ(emitter(1).lifeTime, 7.0f);
    for (u32 t : {100u, 200u}) keFxEmitterGet(1)->OnAnimate(t);
    EXPECT_EQ(keFxEmitterGet(1)->getEmitter()->getParticleCount(), 1000u);
    object(3);  // a cube: no static mesh
    EXPECT_EQ(keMakeFxEmitterMeshStatic(4, "", 3), -1);
    EXPECT_EQ(lastError(), "3:failed to create FxEmitter node");
    EXPECT_FALSE(keFxEmitterExist(4));
}

TEST_F(FxEmitterApi, MeshEmitterWithoutObjectStaysARegisteredBox) {
    EXPECT_EQ(keMakeFxEmitterMeshVertices(1, "", 7), -1);
    EXPECT_TRUE(log.contains("getObjectMesh: Failed to get iObj=7"));
    EXPECT_EQ(lastError(), "3:failed to get mesh of object ID 7");
    ASSERT_TRUE(keFxEmitterExist(1));
    EXPECT_EQ(emitter(1).kind, 0u);
    meshObject(2, 3);
    ASSERT_EQ(keMakeFxEmitterMeshNormal(3, "", 2), 0);
    EXPECT_EQ(emitter(3).kind, 3u);
    EXPECT_NE(emitter(3).mesh, nullptr);
}

TEST_F(FxEmitterApi, ParentsFeedParticleEmitters) {
    ASSERT_EQ(keMakeFxEmitterBox(1, "", 1, 1, 1), 0);
    ASSERT_EQ(keMakeFxEmitterParticles(2, "", 1), 0);
    EXPECT_EQ(emitter(2).kind, 5u);
    EXPECT_EQ(emitter(2).source, keFxEmitterGet(1)->getEmitter());
    ASSERT_EQ(keMakeFxEmitterDyingParticles(3, "", -1), 0);
    EXPECT_EQ(emitter(3).source, nullptr);
    EXPECT_EQ(keSetFxEmitterParent(3, 9), -1);
    EXPECT_EQ(lastError().rfind("2:FxEmitter ID 3 : parent 9 does not exist. ", 0), 0u);
    EXPECT_EQ(keSetFxEmitterParent(3, 1), 0);
    EXPECT_EQ(emitter(3).source, keFxEmitterGet(1)->getEmitter());
    keDeleteFxEmitter(1);  // the children lose their source, nothing dangles
    EXPECT_EQ(emitter(2).source, nullptr);
    EXPECT_EQ(emitter(3).source, nullptr);
}

TEST_F(FxEmitterApi, UnregisteredIdsAndEmissionSetters) {
    EXPECT_EQ(keSetFxEmitterBirthRate(5, 10), -1);
    EXPECT_EQ(lastError().rfind("1:FxEmitter ID 5 does not exist. ", 0), 0u);
    EXPECT_EQ(keDeleteFxEmitter(5), 0);
    EXPECT_EQ(lastError(), "none");
    EXPECT_FALSE(keFxEmitterExist(5));
    ASSERT_EQ(keMakeFxEmitterBox(1, "", 1, 1, 1), 0);
    keSetFxEmitterVelocity(1, 1, 2, 3);
    keSetFxEmitterGravity(1, 0, -9.8f, 0);
    keSetFxEmitterWeight(1, 2);
    keSetFxEmitterResistance(1, 0.5f);
    keSetFxEmitterVibration(1, 0.25f);
    keSetFxEmitterParticleLimit(1, 10);
    keSetFxEmitterRandomVelocity(1, 3);
    keSetFxEmitterCurlNoisePower(1, 4);
    keSetFxEmitterCurlNoiseFrequency(1, 5);
    keSetFxEmitterParentMotion(1, 0.5f);
    keSetFxEmitterExplosion(1, 2);
    const FxEmitterState& s = emitter(1);
    EXPECT_EQ(s.velocity[2], 3.0f);
    EXPECT_EQ(s.gravity[1], -9.8f);
    EXPECT_EQ(s.weight, 2.0f);
    EXPECT_EQ(s.resistance, 0.5f);
    EXPECT_EQ(s.vibration, 0.25f);
    EXPECT_EQ(s.particleLimit, 10u);
    EXPECT_EQ(s.randomVelocity, 3.0f);
    EXPECT_EQ(s.curlNoisePower, 4.0f);
    EXPECT_EQ(s.curlNoiseFrequency, 5.0f);
    EXPECT_EQ(s.parentMotion, 0.5f);
    EXPECT_EQ(s.explosion, 2.0f);
    keHideFxEmitter(1);
    EXPECT_FALSE(keFxEmitterGet(1)->isVisible());
    kePositionFxEmitter(1, 1, 2, 3);
    EXPECT_EQ(keFxEmitterGet(1)->getPosition(), core::vector3df(1, 2, 3));
    keLockFxEmitterOff(1);
    EXPECT_EQ(keFxEmitterGet(1)->getParent(), nullptr);
    keLockFxEmitterOn(1);
    EXPECT_EQ(keFxEmitterGet(1)->getParent(), keEngineContext().camera);
    EXPECT_EQ(lastError(), "none");
}

}  // namespace

namespace {

TEST_F(FxEmitterApi, EffectsForTheParticleSurface) {
    ASSERT_EQ(keMakeFxEmitterBox(1, "", 1, 1, 1), 0);
    EXPECT_EQ(keSetFxEmitterDefaultEffect(1), 0) << lastError();
    IKeSceneNodeExt* ext = keFindNodeExt(keFxEmitterGet(1));
    IKeEffect* first = ext->getEffect(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(keSetFxEmitterEffectFromFile(1, "no-such-effect.hlsl"), -1);
    EXPECT_EQ(lastError(), "2:FxEmitter ID 1: Failed to compile effect no-such-effect.hlsl");
    EXPECT_EQ(ext->getEffect(0), first);  // the effect bound before stays
    EXPECT_EQ(keLoadEffectForFxEmitter(KOLM_SOURCE_DIR "/data/shadersHV/Particle.hlsl", 5, 1), 0) << lastError();
    EXPECT_EQ(ext->getEffect(0), first);
    EXPECT_EQ(keSetFxEmitterEffect(1, 5), 0);
    EXPECT_EQ(ext->getEffect(0), keEffectGet(5));
    // A parameter list builds its effect once; later calls with the same file only set values.
    KeFxEffectParameter size;
    size.kind = 1;
    size.name = "ParticleSize";
    size.value[0] = 0.5f;
    const char* file = KOLM_SOURCE_DIR "/data/shadersHV/Particle.hlsl";
    EXPECT_EQ(keSetFxEmitterEffectParameters(1, file, &size, 1), 0) << lastError();
    IKeEffect* listed = ext->getEffect(0);
    EXPECT_NE(listed, keEffectGet(5));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(keSetFxEmitterEffectParameters(1, file, &size, 1), 0);
    EXPECT_EQ(ext->getEffect(0), listed);
    // A file that does not compile is tried once: later frames only set values on the bound effect.
    EXPECT_EQ(keSetFxEmitterEffectParameters(1, "broken.hlsl", &size, 1), 0);
    EXPECT_EQ(lastError(), "2:FxEmitter 1 : Failed to compile effect broken.hlsl");
    EXPECT_EQ(ext->getEffect(0), listed);
    log.clear();
    EXPECT_EQ(keSetFxEmitterEffectParameters(1, "broken.hlsl", &size, 1), 0);
    EXPECT_FALSE(log.contains("Failed to compile")) << log.text;
    KeFxEffectParameter unknown;
    unknown.kind = 1;
    unknown.name = "NoSuchConstant";
    EXPECT_EQ(keSetFxEmitterEffectParameters(1, "broken.hlsl", &unknown, 1), -1);
    EXPECT_EQ(lastError(), "2:FxEmitter ID 1: failed to set parameters of shader 'broken.hlsl'");
}

}  // namespace
