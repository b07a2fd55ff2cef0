#include "engine/IKeVideoDriverExt.h"

#include "gl/KeGlProgram.h"

#include <irrlicht/IrrlichtDevice.h>

#include <cstring>

namespace kolm {

using namespace irr;

namespace {

float bitsToFloat(u32 bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

class CKeGLVideoDriverExt : public IKeVideoDriverExt {
public:
    explicit CKeGLVideoDriverExt(IrrlichtDevice* device) : mDevice(device) { keGlExtraStates() = KeGlExtraStates(); }
    ~CKeGLVideoDriverExt() override { keGlExtraStates() = KeGlExtraStates(); }
    void setSeparateAlphaBlend(bool on) override { keGlExtraStates().separateAlpha = on; }
    void setAlphaSrcBlend(s32 factor) override {
        keGlExtraStates().alphaSrc = keGlBlendFactor(factor);
    }
    void setAlphaBlend(s32 operation, s32 srcFactor, s32 dstFactor) override {
        KeGlExtraStates& s = keGlExtraStates();
        s.alphaOp = keGlBlendOperation(operation);
        s.alphaSrc = keGlBlendFactor(srcFactor);
        s.alphaDst = keGlBlendFactor(dstFactor);
    }
    void setBlendFactor(video::SColor c) override {
        KeGlExtraStates& s = keGlExtraStates();
        s.blendColor[0] = c.getRed() / 255.0f;
        s.blendColor[1] = c.getGreen() / 255.0f;
        s.blendColor[2] = c.getBlue() / 255.0f;
        s.blendColor[3] = c.getAlpha() / 255.0f;
        s.useBlendColor = true;
    }
    void setDepthBias(u32 bias, u32 slopeBias) override {
        keGlExtraStates().depthBias = bitsToFloat(bias);
        keGlExtraStates().slopeBias = bitsToFloat(slopeBias);
    }
    void setStencil(bool on) override { keGlExtraStates().stencil = on; }
    void setStencilPass(s32 operation) override { keGlExtraStates().stencilPass = keGlStencilOperation(operation); }
    void setStencilFunc(s32 comparison) override { keGlExtraStates().stencilFunc = keGlComparison(comparison); }

private:
    [[maybe_unused]] IrrlichtDevice* mDevice;
};

class CKeNullVideoDriverExt : public IKeVideoDriverExt {
public:
    explicit CKeNullVideoDriverExt(IrrlichtDevice* device) : mDevice(device) {}
    void setSeparateAlphaBlend(bool) override {}
    void setAlphaSrcBlend(s32) override {}
    void setAlphaBlend(s32, s32, s32) override {}
    void setBlendFactor(video::SColor) override {}
    void setDepthBias(u32, u32) override {}
    void setStencil(bool) override {}
    void setStencilPass(s32) override {}
    void setStencilFunc(s32) override {}

private:
    [[maybe_unused]] IrrlichtDevice* mDevice;
};

}  // namespace

IKeVideoDriverExt* keCreateVideoDriverExt(IrrlichtDevice* device) {
    video::IVideoDriver* driver = device ? device->getVideoDriver() : nullptr;
    if (driver && driver->getDriverType() == video::EDT_OPENGL) return new CKeGLVideoDriverExt(device);
    return new CKeNullVideoDriverExt(device);
}

}  // namespace kolm
