// An engine on the OpenGL driver with the light pre-pass renderer, for the renderer's GL tests
// and its picture tool: start at a size, effects from test files, targets read back, objects
// drawn with the engine's surface effect, the example scene with extra lights.
#pragma once

#include "api/KeEffectApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "api/KeSurfaceApi.h"
#include "core/KeError.h"
#include "engine/IKeManager.h"
#include "engine/IKeRenderServices.h"
#include "files/KeFileSystem.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeSceneNodeExt.h"
#include "gl/KeGlTexture.h"
#include "render/CKeRenderLightVolumetric.h"
#include "render/CKeRendererLpp.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"

#include <irrlicht/irrlicht.h>

#include <cstdio>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

namespace lpptest {

using namespace irr;

// Starts the engine (w x h, windowed, the light pre-pass renderer unless `lightPrePass` is
// false); its data folders are those the build copies beside the tests. The light pre-pass
// renderer, or null (on failure, and with the simple renderer).
inline kolm::CKeRendererLpp* startEngine(int w, int h, bool lightPrePass = true) {
    kolm::EngineSetup s;
    s.width = w;
    s.height = h;
    s.windowed = 1;
    s.vsync = 0;
    s.antialias = 0;
    s.lightPrePass = lightPrePass ? 1 : 0;
    s.baseDir = KOLM_TEST_BASE_DIR "/";
    if (kolm::keStartEngine(s) != 0) return nullptr;
    return dynamic_cast<kolm::CKeRendererLpp*>(kolm::keCurrentRenderer());
}

inline video::IVideoDriver* driver() { return kolm::keEngineContext().driver; }

// A runtime effect of a file (one reference), with `macros` (null: none).
inline kolm::IKeEffect* loadEffect(const std::string& file, const kolm::CKeMacro* macros = nullptr) {
    return kolm::keEngineManager()->getEffectManager()->createEffect(file.c_str(), -1, macros);
}

// The whole of a render target, rows top first, 0xAARRGGBB (float targets clamp to 0..1).
inline std::vector<uint32_t> readTarget(video::ITexture* t) {
    std::vector<uint32_t> px;
    driver()->setRenderTarget(t, false, false);
    const core::dimension2du s = t->getSize();
    kolm::keGlReadCurrentTarget(driver(), 0, 0, s.Width, s.Height, px);
    driver()->setRenderTarget(nullptr, false, false);
    return px;
}

// The back buffer (w x h), rows top first, 0xFFRRGGBB.
inline std::vector<uint32_t> readBackBuffer(int w, int h) {
    std::vector<uint32_t> px;
    driver()->setRenderTarget(nullptr, false, false);
    kolm::keGlReadCurrentTarget(driver(), 0, 0, u32(w), u32(h), px);
    return px;
}

// Gives every surface row of an object the renderer's effect for it (the final pass for
// opaque materials), under effect IDs from `firstEffect`; the next free effect ID.
inline int useRendererEffect(int objectId, int firstEffect) {
    scene::ISceneNode* node = kolm::keObjectGet(objectId);
    kolm::IKeSceneNodeExt* ext = node ? kolm::keFindNodeExt(node) : nullptr;
    if (!ext) return firstEffect;
    const char* file = kolm::keFindFile("LppFinalPass3.hlsl");
    const std::string path = file;
    for (u32 row = 0; row < ext->getRowCount(); ++row) {
        if (kolm::keLoadEffectForObjectSurface(path.c_str(), firstEffect, objectId, int(row)) == 0 &&
            kolm::keSetObjectSurfaceEffect(objectId, int(row), firstEffect) == 0)
            ++firstEffect;
    }
    return firstEffect;
}

inline kolm::KeLightParams* lightParams(int lightId) {
    scene::ILightSceneNode* light = kolm::keLightGet(lightId);
    kolm::IKeLightSceneNodeExt* ext = light ? kolm::keFindLightExt(light) : nullptr;
    return ext ? &ext->getParams() : nullptr;
}

// The example scene (slot 1: objects from 10, lights from 20) shown at `timeMs`, its objects
// drawn with the renderer's effect and casting shadows, lit by its directional and point lights
// only (its shadowed spot light 22 and volumetric light 23 hidden: the pictures add their own).
inline bool loadExampleScene(int timeMs) {
    // Mesh files of the example are named relative to its folder.
    char previous[4096];
    if (!::getcwd(previous, sizeof previous) || ::chdir(KOLM_SOURCE_DIR "/examples/scenes") != 0) return false;
    const int loaded = kolm::keSceneLoad("cube_on_ground.kscn", 1, 10, 20, 30, 40, 50, false, "example", false);
    if (::chdir(previous) != 0 || loaded != 0) return false;
    kolm::keSceneShow(1);
    kolm::keHideLight(22);
    kolm::keHideLight(23);
    int effect = 100;
    for (int id = 10; id < 10 + kolm::keSceneObjectCount(1); ++id) {
        effect = useRendererEffect(id, effect);
        if (scene::ISceneNode* node = kolm::keObjectGet(id))
            if (kolm::IKeSceneNodeExt* ext = kolm::keFindNodeExt(node)) ext->setCastShadows(true);
    }
    kolm::keSceneAnimate(1, timeMs);
    return true;
}

// A spot light at `position` looking at `target`.
inline bool addSpotLight(int id, const core::vector3df& position, const core::vector3df& target, float inner,
                         float outer, float range, uint32_t colour) {
    if (kolm::keMakeLight(id) != 0 || kolm::keSetSpotLight(id, inner, outer) != 0) return false;
    kolm::kePositionLight(id, position.X, position.Y, position.Z);
    const core::vector3df rotation = (target - position).getHorizontalAngle();
    kolm::keRotateLight(id, rotation.X, rotation.Y, rotation.Z);
    kolm::keSetLightRange(id, range);
    kolm::keColorLight(id, colour);
    kolm::keShowLight(id);
    return true;
}

}  // namespace lpptest
