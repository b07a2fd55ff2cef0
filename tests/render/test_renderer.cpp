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
    EXPECT_TRUE(renderer->render(nullptr));
    renderer->drop();
    device->drop();
}
