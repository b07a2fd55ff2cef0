#include "api/KeSurfaceApi.h"

#include "api/KeEffectApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "engine/IKeTextureManager.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeSurfaceLightwave.h"
#include "fx/IKeSurfaceManager.h"
#include "runtime/KeEngine.h"

namespace kolm {

using namespace irr;

namespace {

// The node extension of a registered object, or null after the message (index 1).
IKeSceneNodeExt* extensionOf(int objectId) {
    scene::ISceneNode* node = keObjectGet(objectId);
    if (!node) {
        recordError(1, "Object ID %d does not exist", objectId);
        return nullptr;
    }
    IKeSceneNodeExt* ext = keFindNodeExt(node);
    if (!ext) recordError(1, "Object ID %d unexpected format (no node extension)", objectId);
    return ext;
}

// The surface in row `surface` of a registered object, or null after the message.
IKeSurface* surfaceOf(int objectId, int surface) {
    IKeSceneNodeExt* ext = extensionOf(objectId);
    if (!ext) return nullptr;
    IKeSurface* found = ext->getSurface(surface);
    if (!found) recordError(2, "Object ID %d has no surface %d", objectId, surface);
    return found;
}

// The LightWave surface to set a channel of: null (with the message) when there is no surface,
// and null (silently) for other kinds of surface, which have no channels.
IKeSurfaceLightwave* lightwaveOf(int objectId, int surface, bool& found) {
    IKeSurface* s = surfaceOf(objectId, surface);
    found = s != nullptr;
    return s && s->getKind() == KE_SURFACE_LIGHTWAVE ? dynamic_cast<IKeSurfaceLightwave*>(s) : nullptr;
}

}  // namespace

int keSurfaceParameterIndex(const char* name) {
    if (!name) return -1;
    const u32 channel = keLightwaveChannelOfName(name);
    return channel < KE_LW_CHANNEL_COUNT ? int(channel) : -1;
}

int keSetObjectSurfaceParamTex(int objectId, int surface, int parameter, const char* file) {
    bool found = false;
    IKeSurfaceLightwave* lw = lightwaveOf(objectId, surface, found);
    if (!found) return -1;
    IKeManager* manager = keEngineManager();
    IKeTextureManager* textures = manager ? manager->getTextureManager() : nullptr;
    const char* path = file ? file : "";
    video::ITexture* texture = nullptr;
    if (textures && *path)
        texture = parameter == int(KE_LW_REFLECTION_IMAGE) ? textures->getTextureAuto(path, true)
                                                           : textures->getTexture(path, true);
    if (!texture) {
        recordError(4, "Texture does not exist '%s'", path);
        return -1;
    }
    if (lw) lw->setTexture(u32(parameter), texture);
    return 0;
}

int keSetObjectSurfaceParamInt(int objectId, int surface, int parameter, int value) {
    bool found = false;
    IKeSurfaceLightwave* lw = lightwaveOf(objectId, surface, found);
    if (!found) return -1;
    if (lw) lw->setInt(u32(parameter), value);
    return 0;
}

int keSetObjectSurfaceParamFloat(int objectId, int surface, int parameter, float value) {
    bool found = false;
    IKeSurfaceLightwave* lw = lightwaveOf(objectId, surface, found);
    if (!found) return -1;
    if (lw) lw->setFloat(u32(parameter), value);
    return 0;
}

int keSetObjectSurfaceParamFloat3(int objectId, int surface, int parameter, float x, float y, float z) {
    bool found = false;
    IKeSurfaceLightwave* lw = lightwaveOf(objectId, surface, found);
    if (!found) return -1;
    if (lw) lw->setVector(u32(parameter), core::vector3df(x, y, z));
    return 0;
}

int keSetObjectSurfaceEffect(int objectId, int surface, int effectId) {
    KeEffectRecord* record = keIdLookup(keEngineContext().idLists.effect, KeIdKind::Effect, effectId, 3);
    if (!record) return -1;
    if (!surfaceOf(objectId, surface)) return -1;
    keFindNodeExt(keObjectGet(objectId))->setEffect(surface, record->effect, 0, 0);
    return 0;
}

int keSetObjectSurfaceEffectTechnique(int objectId, int surface, int technique) {
    IKeSceneNodeExt* ext = extensionOf(objectId);
    if (!ext) return -1;
    ext->setTechnique(surface, technique);
    return 0;
}

int keUpdateObjectFromSurfaces(int objectId) {
    IKeSceneNodeExt* ext = extensionOf(objectId);
    if (!ext) return -1;
    return ext->prepare() ? 0 : -1;
}

}  // namespace kolm
