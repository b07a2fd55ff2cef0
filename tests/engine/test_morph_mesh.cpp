// Morph meshes on the null device: skinning by the work mesh against hand-computed positions,
// blending rules on every vertex type for both morph mesh classes, the node's lazy update and
// frame loop, clones that animate apart, and morph meshes found beside mesh files ("base.kmorph"
// and "base.morphN.ext" sequences).
#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include "core/KePtr.h"
#include "engine/CKeMeshKM.h"
#include "engine/CKeMorphMesh.h"
#include "engine/CKeSkinMeshBuffer.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "engine/IKeSceneManager.h"
#include "kmorph_writer.h"
#include "morph_fixture.h"
#include "support/alloc_counter.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

using namespace irr;
using kolm::KePtr;

namespace {

void expectVec(const core::vector3df& got, const core::vector3df& want, const std::string& what) {
    EXPECT_NEAR(got.X, want.X, 1e-5f) << what;
    EXPECT_NEAR(got.Y, want.Y, 1e-5f) << what;
    EXPECT_NEAR(got.Z, want.Z, 1e-5f) << what;
}

class MorphMeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = createDevice(video::EDT_NULL, core::dimension2du(64, 64));
        ASSERT_NE(device, nullptr);
        device->getLogger()->setLogLevel(ELL_NONE);
        smgr = device->getSceneManager();
    }
    void TearDown() override { device->drop(); }

    // A skinned triangle (0,0,0), (1,0,0), (0,1,0) of one joint "bone" that moves by (f, 0, 0)
    // at frame f, of `frames` frames; vertex 2 has no weight when `partial`.
    KePtr<scene::ISkinnedMesh> skinnedTriangle(u32 frames, bool partial = false) {
        auto mesh = KePtr<scene::ISkinnedMesh>::adopt(smgr->createSkinnedMesh());
        scene::SSkinMeshBuffer* b = mesh->addMeshBuffer();
        b->Vertices_Standard.push_back(video::S3DVertex(0, 0, 0, 0, 0, 1, video::SColor(255, 255, 255, 255), 0, 0));
        b->Vertices_Standard.push_back(video::S3DVertex(1, 0, 0, 0, 0, 1, video::SColor(255, 255, 255, 255), 1, 0));
        b->Vertices_Standard.push_back(video::S3DVertex(0, 1, 0, 0, 0, 1, video::SColor(255, 255, 255, 255), 0, 1));
        for (u16 i : {0, 1, 2}) b->Indices.push_back(i);
        b->recalculateBoundingBox();
        scene::ISkinnedMesh::SJoint* bone = mesh->addJoint(nullptr);
        bone->Name = "bone";
        for (u32 v = 0; v < (partial ? 2u : 3u); ++v) {
            scene::ISkinnedMesh::SWeight* w = mesh->addWeight(bone);
            w->buffer_id = 0;
            w->vertex_id = v;
            w->strength = 1.f;
        }
        for (u32 f = 0; f <= frames; ++f) {  // the library counts the last key's frame number
            scene::ISkinnedMesh::SPositionKey* k = mesh->addPositionKey(bone);
            k->frame = f32(f);
            k->position.set(f32(f), 0, 0);
            scene::ISkinnedMesh::SRotationKey* r = mesh->addRotationKey(bone);
            r->frame = f32(f);
            r->rotation.set(0, 0, 0, 1);
        }
        mesh->finalize();
        return mesh;
    }

    IrrlichtDevice* device = nullptr;
    scene::ISceneManager* smgr = nullptr;
};

// A morph set that moves vertex `v` of buffer 0 by `delta` (normal by `normal`) as morph 1.
kolm::KeMorphSetPtr oneMorph(u32 v, const core::vector3df& delta, const core::vector3df& normal = {0, 0, 0}) {
    auto set = std::make_shared<kolm::KeMorphSet>();
    kolm::KeMorph morph;
    morph.buffers.resize(1);
    kolm::KeMorphEntry e;
    e.vertex = v;
    e.position[0] = delta.X, e.position[1] = delta.Y, e.position[2] = delta.Z;
    e.normal[0] = normal.X, e.normal[1] = normal.Y, e.normal[2] = normal.Z;
    morph.buffers[0].push_back(e);
    set->morphs.push_back(morph);
    return set;
}

// ---------------------------------------------------------------------------------------------
// Work mesh

TEST_F(MorphMeshTest, WorkMeshSkinsWithSummedWeightedJointMatrices) {
    kolmtest::LogCapture log;
    // Three vertices; v0 on joint 0 alone, v1 half on joint 0 and half on joint 1, v2 on none.
    auto mesh = KePtr<scene::ISkinnedMesh>::adopt(smgr->createSkinnedMesh());
    scene::SSkinMeshBuffer* b = mesh->addMeshBuffer();
    b->Vertices_Standard.push_back(video::S3DVertex(1, 0, 0, 0, 1, 0, video::SColor(0), 0, 0));
    b->Vertices_Standard.push_back(video::S3DVertex(0, 2, 0, 1, 0, 0, video::SColor(0), 0, 0));
    b->Vertices_Standard.push_back(video::S3DVertex(3, 3, 3, 0, 0, 1, video::SColor(0), 0, 0));
    scene::ISkinnedMesh::SJoint* j0 = mesh->addJoint(nullptr);
    scene::ISkinnedMesh::SJoint* j1 = mesh->addJoint(nullptr);
    auto weigh = [&](scene::ISkinnedMesh::SJoint* j, u32 v, f32 s) {
        scene::ISkinnedMesh::SWeight* w = mesh->addWeight(j);
        w->buffer_id = 0, w->vertex_id = v, w->strength = s;
    };
    weigh(j0, 0, 1.f);
    weigh(j0, 1, 0.5f);
    weigh(j1, 1, 0.5f);
    mesh->finalize();

    kolm::CKeMeshKM work;
    ASSERT_TRUE(work.create(mesh.get(), mesh.get()));
    ASSERT_EQ(work.getJointCount(), 2u);
    EXPECT_EQ(work.buffers()[0].vertices[2].jointCount, 1u);
    EXPECT_EQ(work.buffers()[0].vertices[2].joints[0], 2u);  // the identity
    work.jointMatrix(0).setTranslation(core::vector3df(10, 0, 0));
    work.jointMatrix(1).setRotationDegrees(core::vector3df(0, 0, 90));  // x -> y, y -> -x
    work.jointMatrix(1).setTranslation(core::vector3df(0, 0, 4));

    KePtr<scene::IMesh> target = KePtr<scene::IMesh>::adopt(kolm::keCopyMeshWithExt(mesh.get()));
    ASSERT_TRUE(work.skinMesh(target.get()));
    scene::IMeshBuffer* out = target->getMeshBuffer(0);
    expectVec(out->getPosition(0), {11, 0, 0}, "v0 translated");
    expectVec(out->getNormal(0), {0, 1, 0}, "v0 normal kept");
    // 0.5 x (0, 2, 0) + (10, 0, 0) and 0.5 x (-2, 0, 4): (5 - 1, 1, 2)
    expectVec(out->getPosition(1), {4, 1, 2}, "v1 blended");
    expectVec(out->getNormal(1), {0.5f, 0.5f, 0}, "v1 normal not renormalised");
    expectVec(out->getPosition(2), {3, 3, 3}, "v2 identity");
    expectVec(target->getBoundingBox().MaxEdge, {11, 3, 3}, "box follows");

    // The checks before writing.
    auto other = KePtr<scene::SMesh>::adopt(new scene::SMesh);
    EXPECT_FALSE(work.copyToMesh(other.get()));
    EXPECT_TRUE(log.contains("CKeMeshKM::copyToMesh: not same number of buffers")) << log.text;
    auto* small = new scene::SMeshBuffer;
    small->Vertices.set_used(2);
    other->addMeshBuffer(small);
    small->drop();
    EXPECT_FALSE(work.skinMesh(other.get()));
    EXPECT_TRUE(log.contains("CKeMeshKM::skinMesh: not same number of vertices")) << log.text;
}

TEST_F(MorphMeshTest, AVertexOfNineJointsKeepsTheFirstEightWithOneWarning) {
    kolmtest::LogCapture log;
    auto mesh = KePtr<scene::ISkinnedMesh>::adopt(smgr->createSkinnedMesh());
    scene::SSkinMeshBuffer* b = mesh->addMeshBuffer();
    b->Vertices_Standard.set_used(2);
    for (u32 j = 0; j < 9; ++j) {
        scene::ISkinnedMesh::SJoint* joint = mesh->addJoint(nullptr);
        for (u32 v = 0; v < 2; ++v) {
            scene::ISkinnedMesh::SWeight* w = mesh->addWeight(joint);
            w->buffer_id = 0, w->vertex_id = v, w->strength = 0.1f * f32(j + 1);
        }
    }
    mesh->finalize();
    kolm::CKeMeshKM work;
    work.create(mesh.get(), mesh.get());
    const kolm::KeWorkVertexKM& v = work.buffers()[0].vertices[1];
    ASSERT_EQ(v.jointCount, 8u);
    for (u32 k = 0; k < 8; ++k) EXPECT_EQ(v.joints[k], k);
    EXPECT_FLOAT_EQ(v.weights[7], 0.8f / 4.5f);  // the library normalises the nine weights
    int warnings = 0;
    for (const auto& l : log.lines) warnings += l.find("too much joints > MAX 8 on MeshBuffer=0 Vertice=0") != std::string::npos;
    EXPECT_EQ(warnings, 1) << log.text;
}

TEST_F(MorphMeshTest, ABufferAttachedToAJointMovesWithIt) {
    // Buffer 0 is skinned to "bone"; buffer 1 has no weights and hangs rigidly on it.
    auto skinned = skinnedTriangle(5);
    scene::SSkinMeshBuffer* rigid = skinned->addMeshBuffer();
    rigid->Vertices_Standard.push_back(video::S3DVertex(0, 0, 7, 0, 0, 1, video::SColor(0), 0, 0));
    skinned->getAllJoints()[0]->AttachedMeshes.push_back(1);
    skinned->finalize();
    auto mesh = KePtr<kolm::IKeMorphMesh>::adopt(kolm::keCreateMorphMeshMorphMapKM());
    ASSERT_TRUE(mesh->createSkinned(skinned.get(), nullptr));
    mesh->update(0, nullptr, nullptr, 3.f);
    expectVec(mesh->getMeshBuffer(0)->getPosition(1), {4, 0, 0}, "skinned buffer");
    expectVec(mesh->getMeshBuffer(1)->getPosition(0), {3, 0, 7}, "attached buffer");
}

// ---------------------------------------------------------------------------------------------
// Blending, on both classes and every vertex type

TEST_F(MorphMeshTest, WeightsBlendOnEveryVertexTypeInBothClasses) {
    struct Kind {
        const char* name;
        kolm::IKeMorphMesh* (*make)();
    };
    const Kind kinds[] = {{"kmorph", kolm::keCreateMorphMeshMorphMapKM}, {"targets", kolm::keCreateMorphMeshMorphMap}};
    for (video::E_VERTEX_TYPE type : {video::EVT_STANDARD, video::EVT_2TCOORDS, video::EVT_TANGENTS}) {
        auto base = KePtr<scene::SMesh>::adopt(new scene::SMesh);
        auto* buffer = new kolm::CKeSkinMeshBuffer(type);
        for (u32 i = 0; i < 3; ++i) {
            buffer->Vertices_Standard.push_back(video::S3DVertex(f32(i), 0, 0, 0, 0, 1, video::SColor(0), 0, 0));
            buffer->Vertices_2TCoords.push_back(video::S3DVertex2TCoords(f32(i), 0.f, 0.f, video::SColor(0), 0.f, 0.f, 0.f, 0.f));
            buffer->Vertices_Tangents.push_back(video::S3DVertexTangents(f32(i), 0, 0));
            buffer->getVertex(i)->Normal.set(0, 0, 1);
        }
        base->addMeshBuffer(buffer);
        buffer->drop();
        auto set = oneMorph(1, {0, 2, 0}, {0, 1, -1});
        for (const Kind& kind : kinds) {
            const std::string what = std::string(kind.name) + " vertex type " + std::to_string(int(type));
            auto morph = KePtr<kolm::IKeMorphMesh>::adopt(kind.make());
            ASSERT_TRUE(morph->createStatic(base.get(), set)) << what;
            EXPECT_EQ(morph->getMorphCount(), 1u);
            EXPECT_EQ(morph->getFrameCount(), 1u);
            struct Step {
                std::vector<u32> ids;
                std::vector<f32> weights;
                f32 y;  // of vertex 1
            };
            const Step steps[] = {
                {{1}, {0.5f}, 1.f},           // half way
                {{1}, {-1.f}, -2.f},          // away from the target
                {{0, 2, 1}, {1, 1, 1}, 2.f},  // ID 0 and IDs above the count skipped
                {{1, 1}, {1, 0.25f}, 2.5f},   // entries add up
                {{1}, {0.f}, 0.f},            // weight 0: the base pose
            };
            for (const Step& s : steps) {
                morph->update(u32(s.ids.size()), s.ids.data(), s.weights.data(), 0.f);
                scene::IMeshBuffer* out = morph->getMeshBuffer(0);
                ASSERT_EQ(out->getVertexType(), type) << what;
                expectVec(out->getPosition(1), {1, s.y, 0}, what + " weight " + std::to_string(s.weights[0]));
                expectVec(out->getPosition(0), {0, 0, 0}, what + " unmoved vertex");
            }
            const f32 w = 1.f;
            const u32 id = 1;
            morph->update(1, &id, &w, 0.f);
            expectVec(morph->getMeshBuffer(0)->getNormal(1), {0, 1, 0}, what + " normal");
            expectVec(morph->getBoundingBox().MaxEdge, {2, 2, 0}, what + " box");
            // The original mesh is never written.
            expectVec(base->getMeshBuffer(0)->getPosition(1), {1, 0, 0}, what + " base untouched");
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Node

// Counts updates of the real morph mesh.
class CountingMorphMesh : public kolm::CKeMorphMeshMorphMapKM {
public:
    void update(u32 count, const u32* ids, const f32* weights, f32 frame) override {
        ++updates;
        lastFrame = frame;
        CKeMorphMeshMorphMapKM::update(count, ids, weights, frame);
    }
    int updates = 0;
    f32 lastFrame = -1;
};

TEST_F(MorphMeshTest, NodeRecomputesOncePerChangeAndClampsItsFrameLoop) {
    auto skinned = skinnedTriangle(5);
    ASSERT_EQ(skinned->getFrameCount(), 5u);
    auto mesh = KePtr<CountingMorphMesh>::adopt(new CountingMorphMesh);
    ASSERT_TRUE(mesh->createSkinned(skinned.get(), oneMorph(2, {0, 0, 3})));
    kolm::IKeMorphMeshSceneNode* node = kolm::keAddMorphMeshSceneNode(mesh.get(), nullptr, smgr, 7);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(u32(node->getType()), 0x70726F6Du);
    EXPECT_EQ(node->getEndFrame(), 4);
    EXPECT_EQ(node->getMaterialCount(), 1u);

    node->OnAnimate(0);
    EXPECT_EQ(mesh->updates, 1);  // a new node shows its first pose
    const u32 ids[2] = {1, 3};
    const f32 weights[2] = {1.f, 0.5f};
    node->setMorphs(2, ids, weights);
    node->OnAnimate(1);
    node->OnAnimate(2);
    EXPECT_EQ(mesh->updates, 2);
    const u32 sameIds[2] = {1, 3};
    const f32 sameWeights[2] = {1.f, 0.5f};
    node->setMorphs(2, sameIds, sameWeights);
    node->OnAnimate(3);
    EXPECT_EQ(mesh->updates, 2);  // the same selection again changes nothing
    node->setMorphs(1, ids, weights);
    node->OnAnimate(4);
    EXPECT_EQ(mesh->updates, 3);

    node->setFrameLoop(10, 2);
    EXPECT_EQ(node->getStartFrame(), 2);
    EXPECT_EQ(node->getEndFrame(), 4);
    EXPECT_EQ(node->getFrameNr(), 2.f);
    node->setCurrentFrame(9.f);
    EXPECT_EQ(node->getFrameNr(), 4.f);
    node->setCurrentFrame(1.f);
    EXPECT_EQ(node->getFrameNr(), 2.f);
    node->OnAnimate(5);
    EXPECT_EQ(mesh->updates, 4);
    EXPECT_EQ(mesh->lastFrame, 2.f);
    // Frame 2 moves the bone by (2, 0, 0); morph 1 lifts vertex 2 by 3.
    scene::IMeshBuffer* out = mesh->getMeshBuffer(0);
    expectVec(out->getPosition(0), {2, 0, 0}, "skinned");
    expectVec(out->getPosition(2), {2, 1, 3}, "morphed and skinned");
    // The node's box is the mesh's, not a fixed unit box.
    expectVec(node->getBoundingBox().MaxEdge, {3, 1, 3}, "node box");
}

TEST_F(MorphMeshTest, AClonedSkinnedNodeAnimatesOnItsOwn) {
    auto skinned = skinnedTriangle(5);
    auto mesh = KePtr<kolm::IKeMorphMesh>::adopt(kolm::keCreateMorphMeshMorphMap());
    ASSERT_TRUE(mesh->createSkinned(skinned.get(), nullptr));
    kolm::IKeMorphMeshSceneNode* node = kolm::keAddMorphMeshSceneNode(mesh.get(), nullptr, smgr, -1);
    auto* clone = static_cast<kolm::IKeMorphMeshSceneNode*>(node->clone(nullptr, nullptr));
    ASSERT_NE(clone, nullptr);
    ASSERT_NE(clone->getMorphMesh(), node->getMorphMesh());
    EXPECT_EQ(clone->getMorphMesh()->getSkinnedMesh(), skinned.get());
    node->setCurrentFrame(1.f);
    clone->setCurrentFrame(3.f);
    smgr->getRootSceneNode()->OnAnimate(0);
    expectVec(node->getMorphMesh()->getMeshBuffer(0)->getPosition(1), {2, 0, 0}, "original at frame 1");
    expectVec(clone->getMorphMesh()->getMeshBuffer(0)->getPosition(1), {4, 0, 0}, "clone at frame 3");
    clone->setCurrentFrame(4.f);
    smgr->getRootSceneNode()->OnAnimate(1);
    expectVec(node->getMorphMesh()->getMeshBuffer(0)->getPosition(1), {2, 0, 0}, "original stays");
    expectVec(clone->getMorphMesh()->getMeshBuffer(0)->getPosition(1), {5, 0, 0}, "clone at frame 4");
}

// ---------------------------------------------------------------------------------------------
// Morph meshes beside mesh files

// A quad whose vertex 3 sits at (1, 1, z); `extraVertex` adds a fifth, unused-by-faces vertex.
std::string quadX(f32 z, bool extraVertex = false) {
    std::string v = "0;0;0;, 1;0;0;, 0;1;0;, 1;1;" + std::to_string(z) + ";";
    return "xof 0303txt 0032\nFrame Root {\n Mesh quad {\n  " + std::string(extraVertex ? "5; " : "4; ") + v +
           (extraVertex ? ", 2;2;2;;\n" : ";\n") + (extraVertex ? "  3;" : "  2;") + " 3;0,1,2;, 3;2,1,3;" + (extraVertex ? ", 3;3,1,4;;\n" : ";\n") +
           " }\n}\n";
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST_F(MorphMeshTest, MorphFilesBesideTheMeshMakeMorphNodes) {
    kolmtest::LogCapture log;
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-morph.v2-"));  // a dot in the folder name must not count
    const std::string d = dir.path + "/";
    writeFile(d + "tree.x", quadX(0));
    writeFile(d + "tree.morph1.x", quadX(1));
    writeFile(d + "tree.morph2.x", quadX(2));
    writeFile(d + "tree.morph4.x", quadX(4));  // after the gap: not part of the sequence
    writeFile(d + "plain.x", quadX(0));
    writeFile(d + "face.x", quadX(0));
    writeFile(d + "face.kmorph", kmorphtest::kmorphFile({{"raise", {{3, 0, 0, 5}}}}));
    writeFile(d + "broken.x", quadX(0));
    writeFile(d + "broken.morph1.x", quadX(1, true));
    writeFile(d + "badfile.x", quadX(0));
    writeFile(d + "badfile.kmorph", "FORM");

    KePtr<kolm::IKeSceneManager> ext = KePtr<kolm::IKeSceneManager>::adopt(kolm::keCreateSceneManager(device, nullptr));
    struct Case {
        const char* file;
        bool morphNode;
        u32 morphs;
        f32 z;  // of vertex 3 with morph 1 at weight 1
    };
    const Case cases[] = {{"tree.x", true, 2, 1.f}, {"face.x", true, 1, 5.f}, {"plain.x", false, 0, 0.f}};
    for (const Case& c : cases) {
        scene::ISceneNode* node = ext->addMeshNode((d + c.file).c_str(), nullptr, -1);
        ASSERT_NE(node, nullptr) << c.file << log.text;
        EXPECT_EQ(u32(node->getType()) == 0x70726F6Du, c.morphNode) << c.file;
        if (!c.morphNode) continue;
        auto* morph = static_cast<kolm::IKeMorphMeshSceneNode*>(node);
        EXPECT_EQ(morph->getMorphMesh()->getMorphCount(), c.morphs) << c.file;
        const u32 id = 1;
        const f32 w = 1.f;
        morph->setMorphs(1, &id, &w);
        morph->OnAnimate(0);
        scene::IMeshBuffer* out = morph->getMorphMesh()->getMeshBuffer(0);
        expectVec(out->getPosition(3), {1, 1, c.z}, c.file);
    }
    EXPECT_EQ(ext->addMeshNode((d + "broken.x").c_str(), nullptr, -1), nullptr);
    EXPECT_TRUE(log.contains("Failed to load morph mesh '" + d + "broken.morph1.x'")) << log.text;
    EXPECT_EQ(ext->addMeshNode((d + "badfile.x").c_str(), nullptr, -1), nullptr);
    EXPECT_TRUE(log.contains("CKeMorphMapLoader: failed to read morphmap file " + d + "badfile.kmorph")) << log.text;

    io::path base, extension;
    kolm::keSplitMeshPath("/a.b/c.d/tree", base, extension);
    EXPECT_STREQ(base.c_str(), "/a.b/c.d/tree");
    EXPECT_STREQ(extension.c_str(), "");
    kolm::keSplitMeshPath("/a.b/tree.morph1.X", base, extension);
    EXPECT_STREQ(base.c_str(), "/a.b/tree.morph1");
    EXPECT_STREQ(extension.c_str(), ".X");
}

// ---------------------------------------------------------------------------------------------
// Per-frame cost and real characters

TEST_F(MorphMeshTest, UpdatesAllocateNothing) {
    auto character = morphtest::gridCharacter(smgr, 40, 40, 10);
    for (bool skinned : {true, false}) {
        auto mesh = KePtr<kolm::IKeMorphMesh>::adopt(kolm::keCreateMorphMeshMorphMapKM());
        auto targets = KePtr<kolm::IKeMorphMesh>::adopt(kolm::keCreateMorphMeshMorphMap());
        for (kolm::IKeMorphMesh* m : {mesh.get(), targets.get()}) {
            const kolm::KeMorphSetPtr morphs = morphtest::strideMorphs(1600, 4, 3);
            ASSERT_TRUE(skinned ? m->createSkinned(character.get(), morphs) : m->createStatic(character.get(), morphs));
            kolm::IKeMorphMeshSceneNode* node = kolm::keAddMorphMeshSceneNode(m, nullptr, smgr, -1);
            const u32 ids[4] = {1, 2, 3, 4};
            f32 weights[4] = {0.5f, 1.f, -1.f, 0.25f};
            node->OnAnimate(0);
            const long before = gAllocations.load();
            for (u32 step = 0; step < 20; ++step) {
                weights[0] = 0.05f * f32(step);
                node->setMorphs(4, ids, weights);
                node->setCurrentFrame(0.5f * f32(step));
                node->OnAnimate(step);
            }
            EXPECT_EQ(gAllocations.load() - before, 0) << (skinned ? "skinned" : "static");
            node->remove();
        }
    }
}

// Seams of real characters: vertices at one bind position (texture seams, vertices split
// between materials) stay together under a morph that moves every point by a delta of its
// position, as a modelled morph does, with the skeleton at any frame.
TEST_F(MorphMeshTest, SeamsOfSharedSkinnedCharactersStayClosed) {
    const std::string assets = KOLM_SOURCE_DIR "/../shared/assets/x/";
    const char* files[] = {"dxsdk-tiny/tiny.x", "assimp-bcn-epileptic/BCN_Epileptic.X"};
    if (!std::filesystem::exists(assets + files[0])) GTEST_SKIP() << "no shared assets at " << assets;
    KePtr<kolm::IKeSceneManager> ext = KePtr<kolm::IKeSceneManager>::adopt(kolm::keCreateSceneManager(device, nullptr));
    size_t pairsSeen = 0;
    for (const char* file : files) {
        scene::IAnimatedMesh* loaded = smgr->getMesh((assets + file).c_str());
        ASSERT_NE(loaded, nullptr) << file;
        auto* skinned = dynamic_cast<scene::ISkinnedMesh*>(loaded);
        ASSERT_NE(skinned, nullptr) << file;
        skinned->setHardwareSkinning(true);  // the bind pose

        // A morph that moves every point by a delta of its bind position; pairs at one position.
        const f32 size = skinned->getBoundingBox().getExtent().getLength();
        std::map<u32, core::vector3df> pointAt;
        struct Where {
            u32 buffer, vertex, index;
        };
        std::map<std::tuple<f32, f32, f32>, std::vector<Where>> groups;
        std::set<u32> ambiguous;
        for (u32 b = 0; b < skinned->getMeshBufferCount(); ++b) {
            scene::IMeshBuffer* buffer = skinned->getMeshBuffer(b);
            const core::array<u32>* o = kolm::keGetOriginalVerticesIndices(buffer);
            ASSERT_NE(o, nullptr) << file;
            for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
                const core::vector3df p = buffer->getPosition(v);
                // A file of several meshes numbers each mesh's vertices from 0: an index that
                // names two positions is left out of the morph and of the pairs.
                auto [at, fresh] = pointAt.emplace((*o)[v], p);
                if (!fresh && at->second != p) ambiguous.insert((*o)[v]);
                groups[std::make_tuple(p.X, p.Y, p.Z)].push_back({b, v, (*o)[v]});
            }
        }
        kmorphtest::MorphDef morph{"all", {}};
        for (const auto& [index, p] : pointAt) {
            if (ambiguous.count(index)) continue;
            const f32 phase = (p.X + 2.f * p.Y + 3.f * p.Z) / size * 20.f;
            morph.points.push_back({index, 0.02f * size * std::sin(phase), 0.02f * size * std::cos(phase), 0.f});
        }
        const std::string bytes = kmorphtest::kmorphFile({morph});
        kolm::KeMorphSetPtr set = kolm::CKeMorphMapLoader::createMorphMap(skinned, bytes.data(), bytes.size());
        ASSERT_TRUE(set) << file;
        auto mesh = KePtr<kolm::IKeMorphMesh>::adopt(kolm::keCreateMorphMeshMorphMapKM());
        ASSERT_TRUE(mesh->createSkinned(skinned, set));
        const u32 id = 1;
        const f32 weight = 1.f;
        for (f32 frame : {0.f, f32(mesh->getFrameCount()) * 0.37f}) {
            mesh->update(1, &id, &weight, frame);
            size_t pairs = 0, apart = 0;
            for (const auto& g : groups) {
                if (g.second.size() < 2) continue;
                if (std::any_of(g.second.begin(), g.second.end(), [&](const Where& w) { return ambiguous.count(w.index); }))
                    continue;
                const core::vector3df first = mesh->getMeshBuffer(g.second[0].buffer)->getPosition(g.second[0].vertex);
                for (size_t k = 1; k < g.second.size(); ++k) {
                    ++pairs;
                    const core::vector3df other = mesh->getMeshBuffer(g.second[k].buffer)->getPosition(g.second[k].vertex);
                    if (first.getDistanceFrom(other) > 1e-5f * size) ++apart;
                }
            }
            EXPECT_EQ(apart, 0u) << file << " at frame " << frame << " of " << pairs << " pairs";
            pairsSeen += pairs;
        }
        // The morph moved the character away from the bind pose.
        EXPECT_NE(mesh->getMeshBuffer(0)->getPosition(0), skinned->getMeshBuffer(0)->getPosition(0)) << file;
    }
    EXPECT_GT(pairsSeen, 0u) << "neither character has seams";
}

}  // namespace
