#include "api/KeImageApi.h"

#include "api/KeDrawApi.h"
#include "api/KeEffectApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "files/KeFileSystem.h"
#include "fx/IKeEffect.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeSurface.h"
#include "fx/IKeSurfaceLightwave.h"
#include "fx/IKeSurfaceManager.h"
#include "runtime/KeEngine.h"

#include <cstdio>

namespace kolm {

using namespace irr;

namespace {

KeIdTable<KeImageRecord>* table() { return keEngineContext().idLists.image; }

// Registers a new record under id (deleting what was there); null after "invalid Image ID".
KeImageRecord* registerRecord(int id, int argIndex) {
    keDeleteImage(id);
    auto* record = new KeImageRecord;
    record->id = id;
    if (keIdRegister(table(), KeIdKind::Image, id, record, argIndex) != 0) {
        delete record;
        return nullptr;
    }
    return record;
}

void unregister(KeImageRecord* record) {
    keIdTableRemove(table(), record->id);
    delete record;
}

int queueImage(int id, int x, int y, int width, int height, bool useAlpha) {
    KeImageRecord* record = keIdLookup(table(), KeIdKind::Image, id, 1);
    if (!record) return -1;
    KeDrawEntry e;
    e.kind = KE_DRAW_IMAGE;
    e.object = record->texture;
    e.field[0] = x;
    e.field[1] = y;
    e.field[2] = width;
    e.field[3] = height;
    e.field[4] = useAlpha ? 1 : 0;
    e.field[5] = static_cast<int32_t>(keImageDrawColour());
    return keDrawQueuePush(e);
}

}  // namespace

int keLoadImage(const char* file, int id) {
    KeImageRecord* record = registerRecord(id, 2);
    if (!record) return -1;
    const EngineContext& engine = keEngineContext();
    const char* name = file ? file : "";
    if (engine.driver && *name) {
        // The library logs a picture it cannot open: the file is looked for first.
        io::IFileSystem* fs = engine.device->getFileSystem();
        const char* path = fs->existFile(name) ? name : keFindFile(name);
        if (fs->existFile(path)) record->texture = engine.driver->getTexture(path);
    }
    if (!record->texture) {
        recordError(1, "Failed to load image '%s'", name);
        unregister(record);
        return -1;
    }
    return 0;
}

int keMakeImage(int width, int height, int id) {
    if (width < 1 || height < 1) {
        recordError(width < 1 ? 1 : 2, "invalid image size %d x %d", width, height);
        return -1;
    }
    KeImageRecord* record = registerRecord(id, 3);
    if (!record) return -1;
    video::IVideoDriver* driver = keEngineContext().driver;
    if (driver) {
        char name[32];
        std::snprintf(name, sizeof name, "keRtImage%d", id);
        const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
        driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
        record->texture = driver->addRenderTargetTexture(
            core::dimension2d<u32>(static_cast<u32>(width), static_cast<u32>(height)), name, video::ECF_A8R8G8B8);
        driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
        record->made = record->texture != nullptr;
    }
    if (!record->texture) {
        recordError(1, "Failed to make image");
        unregister(record);
        return -1;
    }
    return 0;
}

int keRenderToImage(int id, bool clear) {
    KeImageRecord* record = keIdLookup(table(), KeIdKind::Image, id, 1);
    if (!record) return -1;
    if (!record->texture->isRenderTarget()) {
        recordError(1, "Image ID %d is not renderable", id);
        return -1;
    }
    return keRenderToTexture(record->texture, clear);
}

int kePasteImage(int id, int x, int y, bool useAlpha) { return queueImage(id, x, y, -1, -1, useAlpha); }

int kePasteImageStretch(int id, int x, int y, int width, int height, bool useAlpha) {
    return queueImage(id, x, y, width, height, useAlpha);
}

int kePasteImageWithEffect(int id, int x, int y, int width, int height, int effectId) {
    KeImageRecord* record = keIdLookup(table(), KeIdKind::Image, id, 1);
    if (!record) return -1;
    if (!keEffectGet(effectId)) {
        keIdRecordMissing(KeIdKind::Effect, effectId, 6);
        return -1;
    }
    KeDrawEntry e;
    e.kind = KE_DRAW_IMAGE_EFFECT;
    e.object = record->texture;
    e.field[0] = x;
    e.field[1] = y;
    e.field[2] = width;
    e.field[3] = height;
    e.field[4] = static_cast<int32_t>(keImageDrawColour());
    e.field[5] = effectId;
    return keDrawQueuePush(e);
}

bool keImageExist(int id) { return keIdExists(table(), id); }

int keDeleteImage(int id) {
    KeIdTable<KeImageRecord>* images = table();
    KeImageRecord* record = images && images->exists(id) ? images->get(id) : nullptr;
    if (!record) return 0;
    // A made target is the image's own: give it back to the driver, which frees it once the
    // queue and the effects that hold it let go. A loaded texture is the driver's cache entry
    // for its file and stays.
    video::IVideoDriver* driver = keEngineContext().driver;
    if (record->made && !record->onSurface && record->texture && driver) driver->removeTexture(record->texture);
    unregister(record);
    return 0;
}

int keImageWidth(int id) {
    KeImageRecord* record = keIdLookup(table(), KeIdKind::Image, id, 1);
    return record ? static_cast<int>(record->texture->getOriginalSize().Width) : 0;
}

int keImageHeight(int id) {
    KeImageRecord* record = keIdLookup(table(), KeIdKind::Image, id, 1);
    return record ? static_cast<int>(record->texture->getOriginalSize().Height) : 0;
}

video::ITexture* keImageTexture(int id) {
    KeIdTable<KeImageRecord>* images = table();
    KeImageRecord* record = images && images->exists(id) ? images->get(id) : nullptr;
    return record ? record->texture : nullptr;
}

int keSetEffectTextureImage(int effectId, const char* name, int imageId) {
    if (!keEffectGet(effectId)) {
        keIdRecordMissing(KeIdKind::Effect, effectId, 1);
        return -1;
    }
    IKeEffect* effect = keEffectGet(effectId);
    const SParameter* parameter = name ? effect->getParameterByName(nullptr, name) : nullptr;
    if (!parameter) {
        recordError(2, "Unknown texture '%s'", name ? name : "");
        return -1;
    }
    video::ITexture* texture = keImageTexture(imageId);
    if (!texture) recordError(3, "Image %d does not exist", imageId);
    if (!effect->setTexture(parameter, texture, false)) {
        recordError(2, "failed to set texture '%s'", name);
        return -1;
    }
    return texture ? 0 : -1;
}

int keSetObjectSurfaceParamTexImg(int objectId, int surface, int parameter, int imageId) {
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
    IKeSurface* found = ext->getSurface(surface);
    if (!found) {
        recordError(2, "Object ID %d has no surface %d", objectId, surface);
        return -1;
    }
    KeIdTable<KeImageRecord>* images = table();
    KeImageRecord* record = images && images->exists(imageId) ? images->get(imageId) : nullptr;
    if (!record) {
        recordError(4, "Image %d does not exist", imageId);
        return -1;
    }
    // Only LightWave surfaces have channels; other kinds take the call and change nothing.
    if (found->getKind() != KE_SURFACE_LIGHTWAVE) return 0;
    auto* lw = dynamic_cast<IKeSurfaceLightwave*>(found);
    if (!lw || parameter < 0) return 0;
    lw->setTexture(static_cast<u32>(parameter), record->texture);
    record->onSurface = true;
    return 0;
}

void keDeleteAllImages() {
    KeIdTable<KeImageRecord>* images = table();
    if (!images) return;
    for (int id = 0; id <= images->highestId(); ++id) keDeleteImage(id);
}

}  // namespace kolm
