// Morph objects through the object commands on the null driver: objects with a "base.kmorph"
// or "base.morphN.ext" targets load as morph nodes, take weights and frames, clone into
// objects that animate apart, and a skinned `.x` character from ../shared/assets loads and
// animates as an object (skipped without the assets).
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "engine/IKeMorphMesh.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "runtime/KeEngine.h"
#include "engine/kmorph_writer.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <irrlicht.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace irr;
using namespace kolm;

namespace {

const std::string kTiny = KOLM_SOURCE_DIR "/../shared/assets/x/dxsdk-tiny/tiny.x";

// A quad whose vertex 3 sits at (1, 1, z).
std::string quadX(float z) {
    return "xof 0303txt 0032\nFrame Root {\n Mesh quad {\n  4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;" + std::to_string(z) +
           ";;\n  2; 3;0,1,2;, 3;2,1,3;;\n }\n}\n";
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class MorphObjectApi : public ::testing::Test {
protected:
    void SetUp() override {
        keSetEngineDriverType(video::EDT_NULL);
        ASSERT_EQ(keStartEngine(EngineSetup()), 0);
        log.install();
        ASSERT_TRUE(dir.create("/tmp/kolm-morph-api-"));
        d = dir.path + "/";
    }
    void TearDown() override {
        keDeleteAllObjects();
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
    }
    static void animate(u32 ms = 0) { keEngineContext().sceneManager->getRootSceneNode()->OnAnimate(ms); }
    static core::vector3df vertex(int id, u32 buffer, u32 v) {
        auto* node = static_cast<IKeMorphMeshSceneNode*>(keObjectGet(id));
        return node->getMorphMesh()->getMeshBuffer(buffer)->getPosition(v);
    }

    kolmtest::LogCapture log;
    ScratchDir dir;
    std::string d;
};

TEST_F(MorphObjectApi, MorphObjectsTakeWeightsAndClonesKeepTheirOwn) {
    writeFile(d + "tree.x", quadX(0));
    writeFile(d + "tree.morph1.x", quadX(1));
    writeFile(d + "tree.morph2.x", quadX(2));
    writeFile(d + "face.x", quadX(0));
    writeFile(d + "face.kmorph", kmorphtest::kmorphFile({{"up", {{3, 0, 0, 4}}}, {"side", {{0, 3, 0, 0}}}, {"none", {}}}));
    writeFile(d + "plain.x", quadX(0));

    ASSERT_EQ(keLoadObject((d + "tree.x").c_str(), 1), 0) << log.text;
    ASSERT_EQ(keLoadObject((d + "face.x").c_str(), 2), 0) << log.text;
    ASSERT_EQ(keLoadObject((d + "plain.x").c_str(), 3), 0) << log.text;
    EXPECT_EQ(unsigned(keObjectGet(1)->getType()), KE_MORPH_NODE_TYPE);
    EXPECT_EQ(keGetObjectMorphCount(1), 2);
    EXPECT_EQ(keGetObjectMorphCount(2), 3);
    EXPECT_EQ(keGetObjectMorphCount(3), 0);
    EXPECT_EQ(keTotalObjectFrames(1), 1);
    EXPECT_GT(keGetObjectRadius(2), 0.f);

    const int ids[] = {2, 1};
    const float weights[] = {0.5f, 1.f};
    EXPECT_EQ(keSetObjectMorph(1, 2, ids, weights), 0);
    EXPECT_EQ(keSetObjectMorph(2, 1, ids + 1, weights + 1), 0);
    EXPECT_EQ(keSetObjectMorph(3, 2, ids, weights), 0);  // not a morph object: nothing happens
    EXPECT_EQ(keSetObjectMorph(9, 2, ids, weights), 0);
    EXPECT_NE(std::string(takeLastError(nullptr) ? takeLastError(nullptr) : ""), "");  // no such object
    clearLastError();
    animate();
    EXPECT_EQ(vertex(1, 0, 3), core::vector3df(1, 1, 2));  // 0.5 x 2 + 1 x 1
    EXPECT_EQ(vertex(2, 0, 3), core::vector3df(1, 1, 4));

    ASSERT_EQ(keCloneObject(4, 2), 0) << log.text;
    EXPECT_EQ(keGetObjectMorphCount(4), 3);
    const int side = 2;
    const float full = 1.f;
    EXPECT_EQ(keSetObjectMorph(4, 1, &side, &full), 0);
    animate();
    EXPECT_EQ(vertex(4, 0, 0), core::vector3df(3, 0, 0));
    EXPECT_EQ(vertex(4, 0, 3), core::vector3df(1, 1, 0));
    EXPECT_EQ(vertex(2, 0, 3), core::vector3df(1, 1, 4));  // the source keeps its own
    EXPECT_EQ(vertex(2, 0, 0), core::vector3df(0, 0, 0));
}

TEST_F(MorphObjectApi, ASkinnedCharacterLoadsAndAnimatesAsAnObject) {
    if (!std::filesystem::exists(kTiny)) GTEST_SKIP() << "the shared assets are absent (" << kTiny << ")";
    ASSERT_EQ(keLoadObject(kTiny.c_str(), 1), 0) << log.text;
    ASSERT_EQ(unsigned(keObjectGet(1)->getType()), KE_MORPH_NODE_TYPE);
    EXPECT_EQ(keGetObjectMorphCount(1), 0);
    const int frames = keTotalObjectFrames(1);
    ASSERT_GT(frames, 100);
    animate();
    const core::aabbox3df first = keObjectGet(1)->getBoundingBox();
    const core::vector3df v0 = vertex(1, 0, 0);
    ASSERT_EQ(keSetObjectFrame(1, float(frames / 2)), 0);
    animate(1);
    EXPECT_GT((vertex(1, 0, 0) - v0).getLength(), 1.f);
    EXPECT_NE(keObjectGet(1)->getBoundingBox().MaxEdge, first.MaxEdge);  // the box follows the pose
    EXPECT_FALSE(log.contains("ERROR")) << log.text;
}

}  // namespace
