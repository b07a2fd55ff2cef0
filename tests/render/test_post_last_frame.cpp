// The last-frame information: the ring of frame durations, the rate it gives, the matrices of
// the frame before, and the same through the renderer manager on the null driver.
#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include <cmath>

#include "render/CKeLastFrameInfo.h"
#include "render/IKeRendererManager.h"

using irr::core::matrix4;
using kolm::CKeLastFrameInfo;

namespace {

matrix4 translation(float x) {
    matrix4 m;
    m.setTranslation(irr::core::vector3df(x, 0, 0));
    return m;
}

}  // namespace

// The first frame has nothing to measure against: no sample, and 0 rather than an infinite rate.
// An engine clock that starts at 0 is a real first time, not "none yet".
TEST(LastFrameInfo, FirstFrameTakesNoSampleEvenAtTimeZero) {
    CKeLastFrameInfo info(nullptr, nullptr);
    info.record(0, matrix4(), matrix4());
    EXPECT_EQ(info.getCount(), 0u);
    EXPECT_EQ(info.getFps(), 0.0f);
    EXPECT_TRUE(std::isfinite(info.getFps()));
    info.record(40, matrix4(), matrix4());
    EXPECT_EQ(info.getCount(), 1u);
    EXPECT_EQ(info.getTotal(), 40u);
    EXPECT_FLOAT_EQ(info.getFps(), 25.0f);
    EXPECT_FLOAT_EQ(info.getFrameTime(), 0.04f);
}

TEST(LastFrameInfo, AveragesTheLastThirtyFrames) {
    CKeLastFrameInfo info(nullptr, nullptr);
    // 10 frames of 50 ms, then a steady 20 ms: the rate reaches 50 once the ring holds 20 ms only.
    irr::u32 t = 1000;
    info.record(t, matrix4(), matrix4());
    for (int i = 0; i < 10; ++i) info.record(t += 50, matrix4(), matrix4());
    EXPECT_FLOAT_EQ(info.getFps(), 20.0f);
    for (int i = 0; i < 29; ++i) info.record(t += 20, matrix4(), matrix4());
    EXPECT_EQ(info.getCount(), 30u);
    EXPECT_EQ(info.getTotal(), 50u + 29u * 20u);
    EXPECT_LT(info.getFps(), 50.0f);
    info.record(t += 20, matrix4(), matrix4());
    EXPECT_EQ(info.getTotal(), 600u);
    EXPECT_FLOAT_EQ(info.getFps(), 50.0f);
    for (int i = 0; i < 100; ++i) info.record(t += 20, matrix4(), matrix4());
    EXPECT_EQ(info.getCount(), 30u);
    EXPECT_FLOAT_EQ(info.getFps(), 50.0f);
}

// Frames within one millisecond and a clock set back (scrubbing, a chosen frame time) give no
// infinite or near-zero rate.
TEST(LastFrameInfo, ZeroTotalAndClockSetBackKeepTheRateSound) {
    CKeLastFrameInfo info(nullptr, nullptr);
    info.record(500, matrix4(), matrix4());
    info.record(500, matrix4(), matrix4());
    info.record(500, matrix4(), matrix4());
    EXPECT_EQ(info.getCount(), 2u);
    EXPECT_EQ(info.getFps(), 0.0f);
    info.record(510, matrix4(), matrix4());
    const float before = info.getFps();
    EXPECT_FLOAT_EQ(before, 1.0f / (10.0f / 3000.0f));
    info.record(100, matrix4(), matrix4());  // set back: no sample
    EXPECT_EQ(info.getCount(), 3u);
    EXPECT_FLOAT_EQ(info.getFps(), before);
    info.record(120, matrix4(), matrix4());
    EXPECT_EQ(info.getTotal(), 30u);
}

TEST(LastFrameInfo, KeepsTheLastMatrices) {
    CKeLastFrameInfo info(nullptr, nullptr);
    EXPECT_TRUE(info.getView()->isIdentity());
    EXPECT_TRUE(info.getProjection()->isIdentity());
    info.record(0, translation(1), translation(2));
    info.record(16, translation(3), translation(4));
    EXPECT_EQ(info.getView()->getTranslation().X, 3.0f);
    EXPECT_EQ(info.getProjection()->getTranslation().X, 4.0f);
}

// Through the renderer manager: update reads the device timer (the null driver keeps no
// transforms, so its matrices stay identities).
TEST(LastFrameInfo, RendererManagerReadsTimerAndDriver) {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    ASSERT_NE(device, nullptr);
    kolm::IKeRendererManager* manager = kolm::keCreateRendererManager(device, nullptr);
    ASSERT_NE(manager, nullptr);
    CKeLastFrameInfo* info = manager->getLastFrameInfo();
    ASSERT_NE(info, nullptr);
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    irr::ITimer* timer = device->getTimer();
    timer->stop();
    timer->setTime(0);
    info->update();
    timer->setTime(25);
    info->update();
    EXPECT_FLOAT_EQ(info->getFps(), 40.0f);
    EXPECT_EQ(*info->getView(), driver->getTransform(irr::video::ETS_VIEW));
    EXPECT_EQ(*info->getProjection(), driver->getTransform(irr::video::ETS_PROJECTION));
    manager->drop();
    device->drop();
}
