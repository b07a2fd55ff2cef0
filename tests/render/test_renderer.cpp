// The simple renderer's contract on the null driver.
#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include "fx/SShaderMacro.h"
#include "render/CKeRendererSimple.h"

TEST(SimpleRenderer, NamesNoEffectAndLeavesTheMacroListAlone) {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(kolm::keCreateSimpleRenderer(nullptr), nullptr);
    EXPECT_FALSE(kolm::keSupportsLightPrePass(device->getVideoDriver()));
    EXPECT_FALSE(kolm::keSupportsLightPrePass(nullptr));
    kolm::IKeRenderer* renderer = kolm::keCreateSimpleRenderer(device);
    ASSERT_NE(renderer, nullptr);

    kolm::CKeMacro macros[3] = {{"KEEP", "1"}, {"ME", nullptr}, {nullptr, nullptr}};
    irr::core::stringc effect = "previous.fx";
    irr::u32 count = 2;
    EXPECT_TRUE(renderer->getMaterialEffect(effect, macros, count, irr::video::EMT_SOLID, nullptr, nullptr));
    EXPECT_EQ(effect, "");
    EXPECT_EQ(count, 0u);
    EXPECT_STREQ(macros[0].Name, "KEEP");
    EXPECT_STREQ(macros[0].Definition, "1");
    EXPECT_STREQ(macros[1].Name, "ME");
    EXPECT_EQ(macros[2].Name, nullptr);

    auto* simple = static_cast<kolm::CKeRendererSimple*>(renderer);
    EXPECT_EQ(simple->getClearColor().color, 0u);
    EXPECT_EQ(simple->getDebug(), 0);
    simple->setDebug(7);
    EXPECT_EQ(simple->getDebug(), 7);
    // Drawing an empty scene on the null driver still succeeds.
    EXPECT_TRUE(renderer->render(kolm::keFrameInto(nullptr)));
    renderer->drop();
    device->drop();
}

// Time is an input of rendering: the same scene rendered at a given frame time shows its
// animation at that time, whatever the clock says, and in any order.
TEST(SimpleRenderer, AnimatesTheSceneAtTheFrameTime) {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    ASSERT_NE(device, nullptr);
    irr::scene::ISceneManager* smgr = device->getSceneManager();
    smgr->addCameraSceneNode(nullptr, irr::core::vector3df(0, 0, -10), irr::core::vector3df(0, 0, 0));
    irr::scene::ISceneNode* node = smgr->addEmptySceneNode();
    irr::scene::ISceneNodeAnimator* fly = smgr->createFlyStraightAnimator(
        irr::core::vector3df(0, 0, 0), irr::core::vector3df(100, 0, 0), 1000, false);
    // Animators remember their start at creation: put the library's clock at 0 first.
    node->removeAnimators();
    device->getTimer()->setTime(0);
    fly->drop();
    fly = smgr->createFlyStraightAnimator(irr::core::vector3df(0, 0, 0), irr::core::vector3df(100, 0, 0), 1000,
                                          false);
    node->addAnimator(fly);
    fly->drop();

    kolm::IKeRenderer* renderer = kolm::keCreateSimpleRenderer(device);
    ASSERT_NE(renderer, nullptr);
    for (irr::u32 t : {500u, 250u, 1000u, 0u}) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(renderer->render(kolm::keFrameInto(nullptr, t)));
        EXPECT_NEAR(node->getPosition().X, 100.0f * float(t) / 1000.0f, 1e-3f);
    }

    // A frame may name its own camera; the active camera is the scene's again afterwards.
    irr::scene::ICameraSceneNode* active = smgr->getActiveCamera();
    irr::scene::ICameraSceneNode* other = smgr->addCameraSceneNode(nullptr, irr::core::vector3df(5, 5, 5));
    smgr->setActiveCamera(active);
    kolm::KeFrameContext frame = kolm::keFrameInto(nullptr, 10);
    frame.camera = other;
    ASSERT_TRUE(renderer->render(frame));
    EXPECT_EQ(smgr->getActiveCamera(), active);
    renderer->drop();
    device->drop();
}
