// OpenGL devices on the test display (one shared by a fixture, or one per suite), with pixel
// read-back and quad-drawing helpers. GL test programs start through gl_main.cpp, which makes
// CTest report them as skipped when no display can be opened.
#pragma once

#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/KeError.h"
#include "gl/KeGlTexture.h"

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

// Writes a frame (w x h, rows top first, 0xAARRGGBB) as a PNG picture at `path`.
inline bool writeFramePng(irr::video::IVideoDriver* driver, const std::vector<uint32_t>& px, irr::u32 w, irr::u32 h,
                          const std::string& path) {
    std::vector<uint32_t> copy(px);
    for (uint32_t& c : copy) c |= 0xFF000000u;
    irr::video::IImage* image = driver->createImageFromData(irr::video::ECF_A8R8G8B8,
                                                            irr::core::dimension2du(w, h), copy.data(), false, true);
    const bool ok = image && driver->writeImageToFile(image, path.c_str());
    if (image) image->drop();
    return ok;
}

// Compares a frame (w x h, rows top first) with the reference picture at `path`: every pixel
// within `tolerance` per channel, apart from at most `maxOff` pixels. Without the picture the
// frame is written to the working directory as a candidate to look at, and the test fails.
inline void expectMatchesReference(irr::video::IVideoDriver* driver, const std::vector<uint32_t>& px, irr::u32 w,
                                   irr::u32 h, const std::string& path, int tolerance, irr::u32 maxOff = 0) {
    irr::video::IImage* ref = driver->createImageFromFile(path.c_str());
    if (!ref) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        const std::string out = std::filesystem::current_path().string() + "/" + name;
        writeFramePng(driver, px, w, h, out);
        ADD_FAILURE() << "no reference picture " << path << "; this frame was written to " << out;
        return;
    }
    ASSERT_EQ(ref->getDimension(), irr::core::dimension2du(w, h));
    irr::u32 off = 0;
    for (irr::u32 y = 0; y < h; ++y)
        for (irr::u32 x = 0; x < w; ++x) {
            const uint32_t want = ref->getPixel(x, y).color;
            if (!near(px[y * w + x], want, tolerance) && ++off <= maxOff + 5 && off > maxOff)
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << px[y * w + x] << " not " << want;
        }
    ref->drop();
    EXPECT_LE(off, maxOff) << "pixels differing from " << path;
}

// A device of its own (a suite that needs its own window size or stencil).
struct GlDevice {
    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    int width = 64, height = 64;

    explicit GlDevice(int w = 64, int h = 64) : width(w), height(h) {
        irr::SIrrlichtCreationParameters p;
        p.DriverType = irr::video::EDT_OPENGL;
        p.WindowSize = irr::core::dimension2du(w, h);
        p.Bits = 32;
        p.Doublebuffer = true;
        p.Stencilbuffer = true;
        p.LoggingLevel = irr::ELL_NONE;
        device = irr::createDeviceEx(p);
        if (device) driver = device->getVideoDriver();
    }
    ~GlDevice() {
        if (device) {
            device->closeDevice();
            device->run();
            device->drop();
        }
    }
};

// A quad from (x0,y0) to (x1,y1) in clip space with texture coordinates (0,0) at the top-left
// corner, drawn with the given material and identity transforms.
inline void drawQuad(irr::video::IVideoDriver* driver, const irr::video::SMaterial& material, float x0 = -1,
                     float y0 = -1, float x1 = 1, float y1 = 1) {
    using namespace irr;
    video::S3DVertex v[4] = {
        video::S3DVertex(x0, y1, 0, 0, 0, 1, video::SColor(255, 255, 255, 255), 0, 0),
        video::S3DVertex(x1, y1, 0, 0, 0, 1, video::SColor(255, 255, 255, 255), 1, 0),
        video::S3DVertex(x1, y0, 0, 0, 0, 1, video::SColor(255, 255, 255, 255), 1, 1),
        video::S3DVertex(x0, y0, 0, 0, 0, 1, video::SColor(255, 255, 255, 255), 0, 1),
    };
    const u16 idx[6] = {0, 1, 2, 0, 2, 3};
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setTransform(video::ETS_VIEW, core::IdentityMatrix);
    driver->setTransform(video::ETS_PROJECTION, core::IdentityMatrix);
    driver->setMaterial(material);
    driver->drawIndexedTriangleList(v, 4, idx, 2);
}

}  // namespace gltest
