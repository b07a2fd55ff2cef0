// An OpenGL device on the test display, with pixel read-back helpers.
#pragma once

#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <cstdlib>
#include <vector>

#include "core/KeError.h"
#include "platform/gl/KeGlTexture.h"

namespace gltest {

constexpr irr::u32 kWidth = 160;
constexpr irr::u32 kHeight = 120;

// One OpenGL device serves every test of the binary: the scene and the textures are cleared
// between tests. It stays open until the process ends, so that the GL implementation stays
// loaded while the leak checker looks at what it holds.
class GlDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        kolm::keResetErrorReporter();
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        device = sharedDevice();
        ASSERT_NE(device, nullptr) << "cannot open an OpenGL window on " << std::getenv("DISPLAY");
        driver = device->getVideoDriver();
        smgr = device->getSceneManager();
    }
    void TearDown() override {
        if (device) {
            smgr->clear();
            smgr->setActiveCamera(nullptr);
            driver->setRenderTarget(nullptr, false, false);
            driver->removeAllTextures();
            driver->removeAllHardwareBuffers();
        }
        kolm::keResetErrorReporter();
    }

    static irr::IrrlichtDevice* sharedDevice() {
        static irr::IrrlichtDevice* shared = [] {
            irr::SIrrlichtCreationParameters p;
            p.DriverType = irr::video::EDT_OPENGL;
            p.WindowSize = irr::core::dimension2du(kWidth, kHeight);
            p.Bits = 32;
            p.Vsync = false;
            p.LoggingLevel = irr::ELL_WARNING;
            irr::IrrlichtDevice* d = nullptr;
            // A display that was just released by another process may refuse us for a moment.
            for (int attempt = 0; attempt < 20 && !d; ++attempt) {
                d = irr::createDeviceEx(p);
                if (!d) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            return d;
        }();
        return shared;
    }

    // The whole current target, rows top first.
    std::vector<uint32_t> readTarget(irr::u32 w = kWidth, irr::u32 h = kHeight) {
        std::vector<uint32_t> px;
        EXPECT_TRUE(kolm::keGlReadCurrentTarget(driver, 0, 0, w, h, px));
        return px;
    }

    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    irr::scene::ISceneManager* smgr = nullptr;
};

inline int channel(uint32_t c, int shift) { return int((c >> shift) & 255); }
inline int red(uint32_t c) { return channel(c, 16); }
inline int green(uint32_t c) { return channel(c, 8); }
inline int blue(uint32_t c) { return channel(c, 0); }
inline bool near(uint32_t a, uint32_t b, int tolerance) {
    for (int s : {0, 8, 16})
        if (std::abs(channel(a, s) - channel(b, s)) > tolerance) return false;
    return true;
}

}  // namespace gltest
