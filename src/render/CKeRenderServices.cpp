#include "engine/IKeRenderServices.h"

#include "core/KeError.h"
#include "engine/KeRenderPass.h"
#include "fx/IKeEffect.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/KeMaterialBinding.h"
#include "gl/KeGlTarget.h"
#include "gl/KeGlTexture.h"
#include "render/IKeRenderer.h"
#include "render/KeFrameCollector.h"

#include <irrlicht/ITimer.h>
#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/ILightSceneNode.h>
#include <irrlicht/IMaterialRendererServices.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IShaderConstantSetCallBack.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>

namespace kolm {

using namespace irr;

// ---------------------------------------------------------------------------------------------
// Screen quad

CKeScreenQuad::CKeScreenQuad() {
    const video::SColor black(0);
    mVertices[0] = video::S3DVertex(-1, -1, 0, 0, 0, 1, black, 0, 1);
    mVertices[1] = video::S3DVertex(-1, 1, 0, 0, 0, 1, black, 0, 0);
    mVertices[2] = video::S3DVertex(1, 1, 0, 0, 0, 1, black, 1, 0);
    mVertices[3] = video::S3DVertex(1, -1, 0, 0, 0, 1, black, 1, 1);
    mVertices[4] = video::S3DVertex(-1, -1, 0, 0, 0, 1, black, 0, 1);
    mVertices[5] = video::S3DVertex(1, 1, 0, 0, 0, 1, black, 1, 0);
    mMaterial.Lighting = false;
    mMaterial.ZWriteEnable = false;
    mMaterial.ZBuffer = video::ECFN_ALWAYS;
}

void CKeScreenQuad::render(video::IVideoDriver* driver) {
    static const u16 indices[6] = {0, 1, 2, 3, 4, 5};
    driver->setMaterial(mMaterial);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->drawIndexedTriangleList(mVertices, 6, indices, 2);
}

// ---------------------------------------------------------------------------------------------
// Copy shader

namespace {

const char kCopyShader[] =
    "float2 resolution; sampler2D smplr : register(s0); float4 vs_main(float4 pos:POSITION):POSITION { return pos; } "
    "float4 ps_main(float4 vp:VPOS) : COLOR0 {   float4 Color = tex2D(smplr, (vp.xy+float2(0.5,0.5) ) / resolution );   "
    "return Color; }";

class CKeCopyTexShaderCallback : public video::IShaderConstantSetCallBack {
public:
    f32 resolution[2] = {1, 1};
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
        services->setVertexShaderConstant("resolution", resolution, 2);
        services->setPixelShaderConstant("resolution", resolution, 2);
    }
};

const struct {
    core::vector3df look;
    core::vector3df up;
} kCubeFaces[6] = {
    {{1, 0, 0}, {0, 1, 0}},  {{-1, 0, 0}, {0, 1, 0}}, {{0, 1, 0}, {0, 0, -1}},
    {{0, -1, 0}, {0, 0, 1}}, {{0, 0, 1}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}},
};

class CKeRenderServices : public IKeRenderServices {
public:
    CKeRenderServices(IrrlichtDevice* device, IKeGPUProgrammingServices* gpu, bool& ok)
        : mDevice(device), mDriver(device->getVideoDriver()) {
        ok = false;
        scene::ISceneManager* smgr = device->getSceneManager();
        scene::ICameraSceneNode* active = smgr->getActiveCamera();
        mCamera = smgr->addCameraSceneNode(0, core::vector3df(0, 0, 0), core::vector3df(0, 0, 1), -1, false);
        if (mCamera) {
            mCamera->grab();
            mCamera->setNearValue(0.1f);
            mCamera->setFarValue(1000.0f);
            mCamera->setAspectRatio(1.0f);
            mCamera->setFOV(1.5707964f);
            mCamera->setVisible(false);
        }
        smgr->setActiveCamera(active);
        if (mDriver->getDriverType() == video::EDT_OPENGL) {
            mCopyCallback = new CKeCopyTexShaderCallback();
            core::stringc error;
            mCopyType = keAddShaderMaterialFromSource(gpu, kCopyShader, "vs_main", "ps_main", mCopyCallback,
                                                      video::EMT_SOLID, 0, &error);
            if (mCopyType < 0) {
                printMessage(KE_ERROR, "CKeRenderServices failed to create copy texture shader");
                if (error.size()) printMessage(KE_DEBUG, "%s", error.c_str());
                mCopyCallback->drop();
                mCopyCallback = nullptr;
                return;
            }
            mCopyQuad.getMaterial().MaterialType = static_cast<video::E_MATERIAL_TYPE>(mCopyType);
            mCopyQuad.getMaterial().TextureLayer[0].BilinearFilter = false;
        }
        ok = true;
    }

    ~CKeRenderServices() override {
        if (mCopyCallback) mCopyCallback->drop();
        if (mCamera) {
            mCamera->remove();
            mCamera->drop();
        }
    }

    bool drawScreenQuad(IKeEffect* effect, s32 technique, s32 pass, video::ITexture* texture) override {
        if (!effect) return false;
        video::SMaterial& material = mQuad.getMaterial();
        if (!effect->getPassMaterial(technique, pass, material, &mQuadRecord)) return false;
        mQuadRecord.effect = effect;
        mQuadRecord.technique = technique;
        mQuadRecord.pass = pass;
        mQuadRecord.node = nullptr;
        mQuadRecord.materialIndex = 0;
        mQuadRecord.attach(material);
        if (texture) {
            // Layer 0 keeps the pass's sampler states; an engine texture rides in the record.
            const bool engineOwned = keAsEngineTexture(texture) != nullptr;
            material.TextureLayer[0].Texture = engineOwned ? nullptr : texture;
            mQuadRecord.layers[0] = material.TextureLayer[0];
            mQuadRecord.layers[0].Texture = engineOwned ? texture : nullptr;
        }
        mQuad.render(mDriver);
        return true;
    }

    void copyTexture(video::ITexture* texture) override {
        if (!texture) return;
        if (mCopyCallback) {
            const core::dimension2du size = mDriver->getCurrentRenderTargetSize();
            mCopyCallback->resolution[0] = static_cast<f32>(size.Width);
            mCopyCallback->resolution[1] = static_cast<f32>(size.Height);
            mCopyQuad.getMaterial().setTexture(0, texture);
            mCopyQuad.render(mDriver);
            mCopyQuad.getMaterial().setTexture(0, nullptr);
            return;
        }
        const core::dimension2du ts = texture->getOriginalSize();
        const core::dimension2du target = mDriver->getCurrentRenderTargetSize();
        mDriver->draw2DImage(texture, core::rect<s32>(0, 0, target.Width, target.Height),
                             core::rect<s32>(0, 0, ts.Width, ts.Height));
    }

    void renderNodes(const core::array<scene::ISceneNode*>& nodes, s32 pass) override {
        // Mesh nodes draw the buffers of the pass (a transparent pass its transparent
        // buffers); other nodes, and every node in a pass that is not solid or transparent,
        // draw whole.
        const auto libraryPass = scene::E_SCENE_NODE_RENDER_PASS(pass);
        KeRenderPassScope scope(libraryPass);
        KeGlTargetOrientation orientation(mDriver);
        const bool byBuffer = libraryPass == scene::ESNRP_SOLID || libraryPass == scene::ESNRP_TRANSPARENT ||
                              libraryPass == scene::ESNRP_TRANSPARENT_EFFECT;
        const KeFrameCollector::Pass ours = libraryPass == scene::ESNRP_SOLID ? KeFrameCollector::PASS_SOLID
                                            : libraryPass == scene::ESNRP_TRANSPARENT
                                                ? KeFrameCollector::PASS_TRANSPARENT
                                                : KeFrameCollector::PASS_TRANSPARENT_EFFECT;
        for (u32 i = 0; i < nodes.size(); ++i) {
            if (!nodes[i]) continue;
            if (byBuffer)
                KeFrameCollector::drawNode(mDriver, nodes[i], ours);
            else
                nodes[i]->render();
        }
    }

    bool renderCubeMap(video::ITexture* cube, video::ITexture* target, const core::vector3df& position,
                       IKeRenderer* renderer) override {
        CKeGlTexture* cubeTex = keAsEngineTexture(cube);
        if (!cubeTex || !target || !renderer || !mCamera) return false;
        scene::ISceneManager* smgr = mDevice->getSceneManager();
        scene::ICameraSceneNode* previous = smgr->getActiveCamera();
        if (previous) previous->grab();
        smgr->setActiveCamera(mCamera);
        mCamera->setPosition(position);
        mCamera->updateAbsolutePosition();
        // The faces show the scene at the time of the frame being drawn.
        KeFrameContext frame;
        frame.timeMs = mDevice->getTimer()->getTime();
        frame.camera = mCamera;
        frame.target = target;
        bool ok = true;
        for (u32 face = 0; face < 6 && ok; ++face) {
            mCamera->setTarget(position + kCubeFaces[face].look * 10.0f);
            mCamera->setUpVector(kCubeFaces[face].up);
            ok = renderer->render(frame) && keGlCopyTargetToCubeFace(mDriver, target, cubeTex, face);
        }
        mDriver->setRenderTarget(0, false, false);
        smgr->setActiveCamera(previous);
        if (previous) previous->drop();
        return ok;
    }

    bool clearCubeMap(video::ITexture* cube) override {
        CKeGlTexture* cubeTex = keAsEngineTexture(cube);
        if (!cubeTex) return false;
        for (u32 face = 0; face < 6; ++face) keGlClearCubeFace(mDriver, cubeTex, face, video::SColor(0));
        mDriver->setRenderTarget(0, false, false);
        return true;
    }

    void collectShadowCasters(core::array<scene::ISceneNode*>& list) override {
        // Emptied without giving its storage back: the frame's list allocates nothing once grown.
        list.set_used(0);
        addCasters(mDevice->getSceneManager()->getRootSceneNode(), list);
    }

    void drawBox(const core::aabbox3df& box) override {
        video::SMaterial m;
        m.Lighting = false;
        m.ZBuffer = video::ECFN_ALWAYS;
        mDriver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
        mDriver->setMaterial(m);
        mDriver->draw3DBox(box, video::SColor(255, 255, 255, 255));
    }

    void drawLightBox(scene::ILightSceneNode*) override {}

    CKeScreenQuad* getScreenQuad() override { return &mQuad; }
    s32 getCopyMaterialType() const override { return mCopyType; }

private:
    static void addCasters(scene::ISceneNode* node, core::array<scene::ISceneNode*>& list) {
        for (scene::ISceneNode* child : node->getChildren()) {
            if (!child->isVisible()) continue;
            IKeSceneNodeExt* ext = keFindNodeExt(child);
            if (ext && ext->getCastShadows()) list.push_back(child);
            addCasters(child, list);
        }
    }

    IrrlichtDevice* mDevice;
    video::IVideoDriver* mDriver;
    CKeScreenQuad mQuad;
    KeMaterialBinding mQuadRecord;  // the general quad's record: effect, technique, pass, layers
    CKeScreenQuad mCopyQuad;
    CKeCopyTexShaderCallback* mCopyCallback = nullptr;
    scene::ICameraSceneNode* mCamera = nullptr;
    s32 mCopyType = -1;
};

}  // namespace

IKeRenderServices* keCreateRenderServices(IrrlichtDevice* device, IKeGPUProgrammingServices* gpu) {
    if (!device) return nullptr;
    bool ok = false;
    auto* s = new CKeRenderServices(device, gpu, ok);
    if (!ok) {
        s->drop();
        return nullptr;
    }
    return s;
}

}  // namespace kolm
