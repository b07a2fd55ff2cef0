// Particle system nodes on OpenGL (Xvfb + llvmpipe) through the shipped particle effect: the
// instanced picture equals the CPU quads' picture, the instance buffer's limit and batches,
// the CPU path's limit, static mesh particles, hiding, and the GL state given back.
#include "support/gl_fixture.h"

#include "core/KePtr.h"
#include "engine/IKeTextureManager.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/CKeParticleSystemSceneNode.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/CKeSurfaceLightwaveHV.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/SShaderMacro.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <irrlicht/SMesh.h>
#include <irrlicht/SMeshBuffer.h>

using namespace irr;
using namespace kolm;

namespace {

class ParticlesGl : public gltest::GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (IsSkipped()) return;
        services = KePtr<IKeGPUProgrammingServices>::adopt(new CKeGPUProgrammingServices(device));
        textures = KePtr<IKeTextureManager>::adopt(keCreateTextureManager(device));
        effects = KePtr<IKeEffectManager>::adopt(createKeEffectManager(services.get(), true));
        effects->getBindContext().device = device;
        effects->getBindContext().textures = textures.get();
        device->getTimer()->setTime(2000);
        device->getTimer()->stop();
        smgr->addCameraSceneNode(nullptr, {0, 0, -6}, {0, 0, 0});
    }
    void TearDown() override {
        if (device) device->getTimer()->start();
        effects = nullptr;
        textures = nullptr;
        services = nullptr;
        GlDeviceTest::TearDown();
    }

    // The node's particle surface (soft orange spots, added; with `image` its texture gives
    // the spots' shape) and the shipped effect file `name` for it.
    void applyParticleEffect(CKeParticleSystemSceneNode* node, const char* name = "Particle.hlsl",
                             video::ITexture* image = nullptr) {
        CKeSceneNodeExt* ext = keGetNodeExt(node);
        auto* surface = new CKeSurfaceLightwaveHV();
        surface->initFromMaterial(node->getMaterial(0));
        KeHyperVoxelParams p = surface->getParameters();
        p.hasTexture = image != nullptr;
        p.clipTexture = image;
        p.size = 0.25f;
        p.color[0] = 1.0f, p.color[1] = 0.6f, p.color[2] = 0.2f, p.color[3] = 1.0f;
        surface->setParameters(p);
        ext->setSurface(0, surface);
        CKeMacro macros[21] = {};
        u32 count = 20;
        video::E_MATERIAL_TYPE base = video::EMT_SOLID;
        ASSERT_TRUE(surface->getEffectCompileParameters(base, macros, count, node));
        surface->drop();
        const std::string file = std::string(KOLM_SOURCE_DIR) + "/data/shadersHV/" + name;
        IKeEffect* effect = effects->createEffect(file.c_str(), base, macros);
        ASSERT_NE(effect, nullptr) << effects->getLastError();
        ext->setEffect(0, effect, 0, 0);
        effect->drop();
        ASSERT_TRUE(ext->prepare());
    }

    // A shared-pool node emitting `rate` particles per second in a 4 x 3 x 1 box that live for
    // 100 s; after updates at 1000 and 2000 ms it holds `rate` particles.
    CKeGLParticleSystemSceneNode* makeNode(f32 rate) {
        auto* node = dynamic_cast<CKeGLParticleSystemSceneNode*>(keAddParticleSystemNode(smgr, nullptr, -1));
        EXPECT_NE(node, nullptr) << "the OpenGL driver draws instanced";
        if (!node) return nullptr;
        CKeFxEmitter* e = node->getEmitter();
        e->setBirthRate(rate);
        e->setLifeTime(100, 0);
        e->setGeneratorSize(4, 3, 1);
        keFxSetRandomState(0);
        node->OnAnimate(1000);
        node->OnAnimate(2000);
        return node;
    }

    std::vector<uint32_t> drawFrame() {
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        smgr->drawAll();
        std::vector<uint32_t> px = readTarget();
        driver->endScene();
        return px;
    }

    KePtr<IKeGPUProgrammingServices> services;
    KePtr<IKeTextureManager> textures;
    KePtr<IKeEffectManager> effects;
};

TEST_F(ParticlesGl, InstancedPictureEqualsTheCpuQuadsAt5000Particles) {
    CKeGLParticleSystemSceneNode* node = makeNode(5000);
    ASSERT_NE(node, nullptr);
    applyParticleEffect(node);
    ASSERT_EQ(node->getEmitter()->getParticleCount(), 5000u);
    const std::vector<uint32_t> instanced = drawFrame();
    EXPECT_EQ(node->lastInstanceCount(), 5000u);
    EXPECT_EQ(node->lastBatchCount(), 2u);  // 4096 and 904
    node->setInstancing(false);
    const std::vector<uint32_t> quads = drawFrame();
    EXPECT_EQ(node->lastQuadCount(), 5000u);
    gltest::writeFramePng(driver, instanced, gltest::kWidth, gltest::kHeight, "particles_instanced.png");
    u32 lit = 0, off = 0;
    for (size_t i = 0; i < instanced.size(); ++i) {
        lit += gltest::red(instanced[i]) > 40 ? 1 : 0;
        off += gltest::near(instanced[i], quads[i], 2) ? 0 : 1;
    }
    // The 4 x 3 box seen from 6 units covers about 60 x 45 pixels in the middle; corners stay dark.
    EXPECT_GT(lit, 2000u);
    EXPECT_LT(lit, 4000u);
    EXPECT_GT(gltest::red(instanced[(gltest::kHeight / 2) * gltest::kWidth + gltest::kWidth / 2]), 200);
    EXPECT_EQ(instanced[0] & 0xFFFFFF, 0u);
    EXPECT_EQ(off, 0u) << "pixels where instanced and CPU quads differ";
}

// The default effect as a COLLADA FX document around the same HLSL: the same picture, here with
// the shipped particle image shaping the spots.
TEST_F(ParticlesGl, ColladaDocumentDrawsAsItsHlsl) {
    video::ITexture* image = driver->getTexture(KOLM_SOURCE_DIR "/data/textures/KeDefaultParticle.png");
    ASSERT_NE(image, nullptr);
    CKeGLParticleSystemSceneNode* node = makeNode(2000);
    ASSERT_NE(node, nullptr);
    applyParticleEffect(node, "Particle.hlsl", image);
    const std::vector<uint32_t> hlsl = drawFrame();
    applyParticleEffect(node, "Particle.dae", image);
    const std::vector<uint32_t> collada = drawFrame();
    EXPECT_EQ(node->lastInstanceCount(), 2000u);
    u32 lit = 0, off = 0;
    for (size_t i = 0; i < hlsl.size(); ++i) {
        lit += gltest::red(hlsl[i]) > 40 ? 1 : 0;
        off += gltest::near(hlsl[i], collada[i], 2) ? 0 : 1;
    }
    EXPECT_GT(lit, 1500u);
    EXPECT_EQ(off, 0u);
}

TEST_F(ParticlesGl, LimitsOfTheInstanceBufferAndOfTheCpuQuads) {
    CKeGLParticleSystemSceneNode* node = makeNode(70000);
    ASSERT_NE(node, nullptr);
    applyParticleEffect(node);
    ASSERT_EQ(node->getEmitter()->getParticleCount(), 70000u);
    drawFrame();
    EXPECT_EQ(node->lastInstanceCount(), 65536u);
    EXPECT_EQ(node->lastBatchCount(), 16u);
    node->setInstancing(false);
    drawFrame();
    EXPECT_EQ(node->lastQuadCount(), 16384u);
}

TEST_F(ParticlesGl, StateIsGivenBackAfterAnInstancedDraw) {
    CKeGLParticleSystemSceneNode* node = makeNode(100);
    ASSERT_NE(node, nullptr);
    applyParticleEffect(node);
    drawFrame();
    ASSERT_EQ(node->lastInstanceCount(), 100u);
    GLint buffer = -1, elements = -1, divisor = -1, enabled = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elements);
    EXPECT_EQ(buffer, 0);
    EXPECT_EQ(elements, 0);
    for (GLuint a : {1u, 5u, 6u, 7u}) {
        glGetVertexAttribiv(a, GL_VERTEX_ATTRIB_ARRAY_DIVISOR, &divisor);
        glGetVertexAttribiv(a, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        EXPECT_EQ(divisor, 0) << a;
        EXPECT_EQ(enabled, 0) << a;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    // A library draw afterwards still works: a cube in the middle of the picture.
    node->remove();
    smgr->addCubeSceneNode(2.0f)->setMaterialFlag(video::EMF_LIGHTING, false);
    const std::vector<uint32_t> px = drawFrame();
    EXPECT_NE(px[(gltest::kHeight / 2) * gltest::kWidth + gltest::kWidth / 2] & 0xFFFFFF, 0u);
}

TEST_F(ParticlesGl, StaticMeshGivesOneImmortalParticlePerVertexThatHidingKeeps) {
    scene::SMesh mesh;
    auto* buffer = new scene::SMeshBuffer();
    for (int i = 0; i < 1000; ++i)
        buffer->Vertices.push_back(video::S3DVertex(f32(i % 10) * 0.3f - 1.5f, f32(i / 100) * 0.3f - 1.5f, f32((i / 10) % 10) * 0.1f,
                                                    0, 0, 1, 0, 0, 0));
    mesh.addMeshBuffer(buffer);
    buffer->drop();
    CKeParticleSystemSceneNode* node = keAddParticleSystemNode(smgr, nullptr, -1, KeParticleSource::StaticMesh, &mesh);
    ASSERT_NE(node, nullptr);
    applyParticleEffect(node);
    CKeFxEmitter* e = node->getEmitter();
    EXPECT_EQ(e->state().pool->size(), 1000u);
    for (u32 t : {1000u, 2000u, 90000u}) node->OnAnimate(t);
    EXPECT_EQ(e->getParticleCount(), 1000u);
    node->setVisible(false);
    node->setVisible(true);
    EXPECT_EQ(e->getParticleCount(), 1000u);
    drawFrame();
    EXPECT_EQ(static_cast<CKeGLParticleSystemSceneNode*>(node)->lastInstanceCount(), 1000u);
}

TEST_F(ParticlesGl, HidingASharedPoolNodeReleasesItsParticlesAndShowingStartsAgain) {
    CKeGLParticleSystemSceneNode* node = makeNode(500);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->getEmitter()->getParticleCount(), 500u);
    node->setVisible(false);
    EXPECT_EQ(node->getEmitter()->getParticleCount(), 0u);
    node->setVisible(true);
    node->OnAnimate(3000);  // the first update after showing only starts
    EXPECT_EQ(node->getEmitter()->getParticleCount(), 0u);
    node->OnAnimate(4000);
    EXPECT_EQ(node->getEmitter()->getParticleCount(), 500u);
}

}  // namespace
