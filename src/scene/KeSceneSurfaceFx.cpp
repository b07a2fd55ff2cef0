#include "scene/KeSceneSurfaceFx.h"

#include "api/KeEffectApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "engine/IKeManager.h"
#include "engine/IKeTextureManager.h"
#include "files/KeFileSystem.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeSurface.h"
#include "fx/IKeSurfaceLightwave.h"
#include "fx/IKeSurfaceManager.h"
#include "render/IKeRenderer.h"
#include "runtime/KeEngine.h"
#include "scene/KeScene.h"

#include <string>

namespace kolm {

using namespace irr;

int keSceneChooseSurfaceEffect(int objectId, int row, const char* ownFile) {
    scene::ISceneNode* node = keObjectGet(objectId);
    if (!node) {
        recordError(1, "Object ID %d does not exist", objectId);
        return -1;
    }
    IKeSceneNodeExt* ext = keFindNodeExt(node);
    if (!ext) {
        recordError(1, "Object ID %d unexpected format (no node extension)", objectId);
        return -1;
    }
    IKeSurface* surface = ext->getSurface(row);
    if (!surface) {
        recordError(1, "Object ID %d has no surface %d, cannot SetSurfaces", objectId, row);
        return -1;
    }

    // A surface without a reflection image of its own reflects the cube map the object uses.
    if (ext->getCubeMapTexture() && surface->getKind() == KE_SURFACE_LIGHTWAVE)
        if (auto* lw = dynamic_cast<IKeSurfaceLightwave*>(surface))
            if (!lw->getTexture(KE_LW_REFLECTION_IMAGE)) {
                lw->setTexture(KE_LW_REFLECTION_IMAGE, ext->getCubeMapIndirect());
                lw->setColorSpace(KE_LW_REFLECTION_IMAGE, false);
            }

    // The surface's macros first, then the renderer's; the last entry stays for the terminator.
    CKeMacro macros[KE_SURFACE_EFFECT_MACROS] = {};
    video::E_MATERIAL_TYPE baseMaterial = video::EMT_SOLID;
    u32 count = u32(KE_SURFACE_EFFECT_MACROS);
    if (!surface->getEffectCompileParameters(baseMaterial, macros, count, node) ||
        count >= u32(KE_SURFACE_EFFECT_MACROS)) {
        printMessage(KE_ERROR, "Object ID %d, Surf %d : Failed to get the effect compile parameters", objectId, row);
        return 1;
    }
    IKeRenderer* renderer = keCurrentRenderer();
    core::stringc rendererFile;
    u32 rendererCount = u32(KE_SURFACE_EFFECT_MACROS) - 1 - count;
    if (!renderer ||
        !renderer->getMaterialEffect(rendererFile, macros + count, rendererCount, baseMaterial, node, surface) ||
        count + rendererCount >= u32(KE_SURFACE_EFFECT_MACROS)) {
        printMessage(KE_ERROR, "Object ID %d, Surf %d : Failed to get the renderer effect", objectId, row);
        return 1;
    }
    macros[count + rendererCount] = CKeMacro{nullptr, nullptr};

    const bool own = ownFile && *ownFile;
    if (!own && rendererFile.empty()) return 0;  // the renderer draws this material without one
    // The data-file search answers in a buffer that the effect manager's own searches reuse.
    const std::string path = keFindFile(own ? ownFile : rendererFile.c_str());
    IKeManager* manager = keEngineManager();
    IKeEffectManager* effects = manager ? manager->getEffectManager() : nullptr;
    IKeEffect* effect = effects ? effects->createEffect(path.c_str(), s32(baseMaterial), macros) : nullptr;
    if (!effect) {
        printMessage(KE_ERROR, "Object ID %d, Surf %d : Failed to compile effect %s", objectId, row, path.c_str());
        return 1;
    }
    ext->setEffect(row, effect, 0, 0);  // the extension takes its own reference
    effect->drop();
    return 0;
}

int keSceneSetSurfaceImage(int objectId, int row, int parameter, const char* file, bool mipmaps, bool srgb) {
    scene::ISceneNode* node = keObjectGet(objectId);
    IKeSceneNodeExt* ext = node ? keFindNodeExt(node) : nullptr;
    IKeSurface* surface = ext ? ext->getSurface(row) : nullptr;
    if (!surface) return -1;
    if (parameter < 0 || parameter >= int(KE_LW_CHANNEL_COUNT) || surface->getKind() != KE_SURFACE_LIGHTWAVE) return 0;
    auto* lw = dynamic_cast<IKeSurfaceLightwave*>(surface);
    if (!lw) return 0;
    IKeManager* manager = keEngineManager();
    IKeTextureManager* textures = manager ? manager->getTextureManager() : nullptr;
    const char* path = file ? file : "";
    video::ITexture* texture = nullptr;
    if (textures && *path)
        texture = parameter == int(KE_LW_REFLECTION_IMAGE) ? textures->getTextureAuto(path, mipmaps)
                                                           : textures->getTexture(path, mipmaps);
    lw->setTexture(u32(parameter), texture);
    lw->setColorSpace(u32(parameter), texture && srgb);
    if (texture) return 0;
    printMessage(KE_ERROR, "Object ID %d, Surf %d, Param %d: texture '%s' not found", objectId, row, parameter, path);
    return 1;
}

bool keSceneApplyEffectTextures(IKeEffect* effect, const char* file, const KeSceneParameter* list, int count) {
    if (!effect) return false;
    bool ok = true;
    for (int i = 0; list && i < count; ++i)
        if (list[i].kind == 3 && !keSetEffectListTexture(effect, file ? file : "", list[i].name, list[i].text)) ok = false;
    return ok;
}

bool keSceneApplyEffectValues(IKeEffect* effect, const char* file, const KeSceneParameter* list, int count,
                              bool report) {
    if (!effect) return false;
    if (!file) file = "";
    bool ok = true;
    for (int i = 0; list && i < count; ++i) {
        const KeSceneParameter& e = list[i];
        const SParameter* parameter = e.name ? effect->getParameterByName(nullptr, e.name) : nullptr;
        if (!parameter) {
            if (report) recordError(-1, "%s: no effect param with name '%s'", file, e.name ? e.name : "");
            ok = false;
            continue;
        }
        switch (e.kind) {
        case 0: effect->setFloatArray(parameter, e.value, 3); break;
        case 1: effect->setFloat(parameter, e.value[0]); break;
        case 2: effect->setInt(parameter, e.integer); break;
        case 3: break;
        default:
            if (report) recordError(-1, "%s: shader param '%s' unknown type %d", file, e.name, e.kind);
            ok = false;
            break;
        }
    }
    return ok;
}

int keSceneSetSurfaceEffectParameters(int objectId, int row, const char* file, const KeSceneParameter* list,
                                      int count, bool firstTime) {
    scene::ISceneNode* node = keObjectGet(objectId);
    IKeSceneNodeExt* ext = node ? keFindNodeExt(node) : nullptr;
    IKeEffect* effect = ext ? ext->getEffect(row) : nullptr;
    if (!effect) return 0;
    if (!file) file = "";
    int result = 0;
    if (firstTime && !keSceneApplyEffectTextures(effect, file, list, count)) {
        recordError(2, "Object ID %d Surface %d: failed to set textures of shader '%s'", objectId, row, file);
        result = -1;
    }
    if (!keSceneApplyEffectValues(effect, file, list, count, firstTime)) {
        if (firstTime)
            recordError(2, "Object ID %d Surface %d: failed to set parameters of shader '%s'", objectId, row, file);
        result = -1;
    }
    return result;
}

}  // namespace kolm
