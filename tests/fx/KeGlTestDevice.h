// A small OpenGL device for tests that render and read pixels back (needs DISPLAY).
#pragma once

#include <irrlicht/irrlicht.h>

#include <cstdint>
#include <vector>

namespace kolm {
namespace test {

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

}  // namespace test
}  // namespace kolm
