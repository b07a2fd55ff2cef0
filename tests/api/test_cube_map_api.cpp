// Cube map commands on a running engine with the null driver: registration and its messages,
// objects that drop a deleted cube map, clearing, and a render through the current renderer.
#include "api/KeCubeMapApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeCubeMap.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/KeTextureIndirect.h"
#include "runtime/KeEngine.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

using namespace irr;
using namespace kolm;

namespace {

// The pending error with its argument index as "index:text".
std::string lastError() {
    int index = 0;
    const char* text = takeLastError(&index);
    return std::to_string(index) + ":" + (text ? text : "");
}

class CubeMapApi : public ::testing::Test {
protected:
    void SetUp() override {
        keSetEngineDriverType(video::EDT_NULL);
        ASSERT_EQ(keStartEngine(EngineSetup()), 0);
        log.install();
    }
    void TearDown() override {
        for (KeNodeCell& c : cells)
            if (c.node) keIdTableRemove(keEngineContext().idLists.object, int(&c - cells));
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
    }
    // An object with a node extension under `id` of the object table.
    CKeSceneNodeExt* object(int id) {
        scene::ISceneManager* smgr = keEngineContext().sceneManager;
        cells[id].node = smgr->addEmptySceneNode();
        keIdTableAdd(keEngineContext().idLists.object, id, &cells[id]);
        return keGetNodeExt(cells[id].node);
    }
    kolmtest::LogCapture log;
    KeNodeCell cells[4];
};

TEST_F(CubeMapApi, MakeExistDeleteAndMessages) {
    EXPECT_FALSE(keCubeMapExist(3));
    ASSERT_EQ(keMakeCubeMap(3, 32), 0);
    EXPECT_TRUE(keCubeMapExist(3));
    ASSERT_NE(keCubeMapGet(3), nullptr);
    EXPECT_EQ(keCubeMapGet(3)->getTexture()->getSize(), core::dimension2du(32, 32));
    EXPECT_FALSE(keCubeMapRendered(3));

    EXPECT_EQ(keMakeCubeMap(3, 32), -1);  // taken
    EXPECT_EQ(lastError().rfind("1:invalid CubeMap ID 3 : ", 0), 0u);
    EXPECT_EQ(keMakeCubeMap(5, 0), -1);
    EXPECT_EQ(lastError(), "-1:Failed to create cube map");
    EXPECT_FALSE(keCubeMapExist(5));  // released again

    EXPECT_EQ(keClearCubeMap(7), -1);
    EXPECT_EQ(lastError().rfind("1:CubeMap ID 7 does not exist.", 0), 0u);
    EXPECT_EQ(keDeleteCubeMap(7), 0);  // ignored
    EXPECT_EQ(keClearCubeMap(3), 0);

    // Two objects reflect it, a third another texture: deleting it clears only the two.
    video::ITexture* cube = keCubeMapGet(3)->getTexture();
    CKeSceneNodeExt* a = object(0);
    CKeSceneNodeExt* b = object(2);
    CKeSceneNodeExt* c = object(3);
    a->setCubeMapTexture(cube);
    b->setCubeMapTexture(cube);
    ASSERT_EQ(keMakeCubeMap(4, 16), 0);
    c->setCubeMapTexture(keCubeMapGet(4)->getTexture());
    EXPECT_EQ(keDeleteCubeMap(3), 0);
    EXPECT_FALSE(keCubeMapExist(3));
    EXPECT_EQ(a->getCubeMapTexture(), nullptr);
    EXPECT_EQ(b->getCubeMapTexture(), nullptr);
    EXPECT_EQ(c->getCubeMapTexture(), keCubeMapGet(4)->getTexture());
    EXPECT_EQ(keResolveTexture(a->getCubeMapIndirect()), nullptr);
    c->setCubeMapTexture(nullptr);
    EXPECT_EQ(keDeleteCubeMap(4), 0);
}

TEST_F(CubeMapApi, RenderMarksItRenderedAndClearForgets) {
    ASSERT_EQ(keMakeCubeMap(1, 8), 0);
    keSetBackdropColor(0x336699);
    ASSERT_EQ(keRenderCubeMap(1, 0, 0, 0), 0) << lastError();
    EXPECT_TRUE(keCubeMapRendered(1));
    EXPECT_EQ(keClearCubeMap(1), 0);
    EXPECT_FALSE(keCubeMapRendered(1));
    EXPECT_EQ(keRenderCubeMap(2, 0, 0, 0), -1);
    EXPECT_NE(lastError().find("CubeMap ID 2 does not exist."), std::string::npos);
    // The engine camera is active again after the six faces.
    EXPECT_EQ(keEngineContext().sceneManager->getActiveCamera(), keEngineContext().camera);
    keDeleteCubeMap(1);
}

}  // namespace
