#include "api/KeEffectApi.h"

#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "engine/IKeTextureManager.h"
#include "files/KeFileSystem.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeSurface.h"
#include "render/IKeRenderer.h"
#include "runtime/KeEngine.h"

namespace kolm {

using namespace irr;

namespace {

KeIdTable<KeEffectRecord>* table() { return keEngineContext().idLists.effect; }

IKeEffectManager* effectManager() {
    IKeManager* manager = keEngineManager();
    return manager ? manager->getEffectManager() : nullptr;
}

// Raises the library's log to ERROR for the lifetime of the guard when it is quieter, so that
// the compile errors of an effect reach the log.
class LogAtLeastErrors {
public:
    LogAtLeastErrors() {
        IrrlichtDevice* device = keEngineContext().device;
        m_logger = device ? device->getLogger() : nullptr;
        if (!m_logger) return;
        m_level = m_logger->getLogLevel();
        if (m_level > ELL_ERROR) m_logger->setLogLevel(ELL_ERROR);
    }
    ~LogAtLeastErrors() {
        if (m_logger) m_logger->setLogLevel(m_level);
    }
    LogAtLeastErrors(const LogAtLeastErrors&) = delete;
    LogAtLeastErrors& operator=(const LogAtLeastErrors&) = delete;

private:
    ILogger* m_logger = nullptr;
    ELOG_LEVEL m_level = ELL_INFORMATION;
};

// The parameter of a registered effect for a constant setter, or null after the messages.
const SParameter* constantOf(int effectId, const char* name, IKeEffect*& effect) {
    KeEffectRecord* record = keIdLookup(table(), KeIdKind::Effect, effectId, 1);
    if (!record) return nullptr;
    effect = record->effect;
    const SParameter* parameter = name ? effect->getParameterByName(nullptr, name) : nullptr;
    if (!parameter) recordError(2, "Unknown constant '%s'", name ? name : "");
    return parameter;
}

int constantSet(bool ok, const char* name) {
    if (ok) return 0;
    recordError(2, "failed to set value for constant '%s'", name);
    return -1;
}

}  // namespace

int keLoadEffectWithParameters(const char* file, int effectId, s32 baseMaterial, const CKeMacro* macros) {
    auto* record = new KeEffectRecord;
    record->id = effectId;
    if (keIdRegister(table(), KeIdKind::Effect, effectId, record, 2) != 0) {
        delete record;
        return -1;
    }
    const char* name = file ? file : "";
    IKeEffectManager* effects = effectManager();
    {
        LogAtLeastErrors log;
        record->effect = effects ? effects->createEffect(name, baseMaterial, macros, nullptr) : nullptr;
    }
    if (!record->effect) {
        recordError(1, "Failed to load effect '%s' : %s", name, effects ? effects->getLastError() : "");
        keIdTableRemove(table(), effectId);
        delete record;
        return -1;
    }
    return 0;
}

int keLoadEffect(const char* file, int effectId) { return keLoadEffectWithParameters(file, effectId, -1, nullptr); }

int keLoadEffectForObjectSurface(const char* file, int effectId, int objectId, int surface) {
    scene::ISceneNode* node = keObjectGet(objectId);
    if (!node) {
        recordError(3, "Object ID %d does not exist", objectId);
        return -1;
    }
    IKeSceneNodeExt* ext = keFindNodeExt(node);
    if (!ext) {
        recordError(3, "Object ID %d does not have node extension", objectId);
        return -1;
    }
    IKeSurface* lwSurface = ext->getSurface(surface);
    if (!lwSurface) {
        recordError(4, "Invalid surface ID %d for the Object ID %d", surface, objectId);
        return -1;
    }
    CKeMacro macros[KE_SURFACE_EFFECT_MACROS] = {};
    video::E_MATERIAL_TYPE baseMaterial = video::EMT_SOLID;
    u32 count = KE_SURFACE_EFFECT_MACROS;
    if (!lwSurface->getEffectCompileParameters(baseMaterial, macros, count, node) ||
        count >= u32(KE_SURFACE_EFFECT_MACROS)) {
        recordError(-1, "Failed to get the effect compile parameters");
        return -1;
    }
    // The renderer appends after the surface's macros and leaves the last entry for the
    // terminating pair. The effect file it names is not used: the given file is loaded.
    IKeRenderer* renderer = keCurrentRenderer();
    core::stringc rendererFile;
    u32 rendererCount = u32(KE_SURFACE_EFFECT_MACROS) - 1 - count;
    if (!renderer ||
        !renderer->getMaterialEffect(rendererFile, macros + count, rendererCount, baseMaterial, node, lwSurface) ||
        count + rendererCount >= u32(KE_SURFACE_EFFECT_MACROS)) {
        recordError(-1, "Failed to get the renderer effect");
        return -1;
    }
    macros[count + rendererCount] = CKeMacro{nullptr, nullptr};
    return keLoadEffectWithParameters(file, effectId, s32(baseMaterial), macros);
}

bool keEffectExist(int effectId) { return keIdExists(table(), effectId); }

bool keSetEffectListTexture(IKeEffect* effect, const char* listFile, const char* name, const char* text) {
    if (!effect || !name) return true;
    const SParameter* parameter = effect->getParameterByName(nullptr, name);
    if (!parameter) return true;
    IKeManager* manager = keEngineManager();
    IKeTextureManager* textures = manager ? manager->getTextureManager() : nullptr;
    bool ok = true;
    video::ITexture* texture = nullptr;
    if (text && *text) {
        SParameterDesc desc{};
        effect->getParameterDesc(parameter, desc);
        texture = textures ? textures->getTextureOfType(keFindFile(text), desc.type) : nullptr;
        if (!texture) {
            recordError(-1, "%s: failed to load texture '%s' of shader param %s", listFile, text, name);
            ok = false;
        }
    }
    if (!effect->setTexture(parameter, texture, false)) {
        recordError(-1, "%s: failed to set texture '%s' of shader param %s", listFile, text ? text : "", name);
        ok = false;
    }
    return ok;
}

IKeEffect* keEffectGet(int effectId) {
    KeEffectRecord* record = keIdExists(table(), effectId) ? keIdTableGet(table(), effectId) : nullptr;
    return record ? record->effect : nullptr;
}

int keDeleteEffect(int effectId) {
    if (!keIdExists(table(), effectId)) return 0;
    KeEffectRecord* record = keIdTableGet(table(), effectId);
    keIdTableRemove(table(), effectId);
    if (record->effect) record->effect->drop();
    delete record;
    return 0;
}

void keDeleteAllEffects() {
    KeIdTable<KeEffectRecord>* effects = table();
    if (!effects) return;
    for (int id = 0; id <= effects->highestId(); ++id) keDeleteEffect(id);
}

int keSetEffectConstantBoolean(int effectId, const char* name, bool value) {
    IKeEffect* effect = nullptr;
    const SParameter* parameter = constantOf(effectId, name, effect);
    if (!parameter) return -1;
    return constantSet(effect->setBool(parameter, value), name);
}

int keSetEffectConstantInteger(int effectId, const char* name, int value) {
    IKeEffect* effect = nullptr;
    const SParameter* parameter = constantOf(effectId, name, effect);
    if (!parameter) return -1;
    return constantSet(effect->setInt(parameter, value), name);
}

int keSetEffectConstantFloat(int effectId, const char* name, float value) {
    IKeEffect* effect = nullptr;
    const SParameter* parameter = constantOf(effectId, name, effect);
    if (!parameter) return -1;
    return constantSet(effect->setFloat(parameter, value), name);
}

int keSetEffectConstantFloatN(int effectId, const char* name, const float* values, int count) {
    IKeEffect* effect = nullptr;
    const SParameter* parameter = constantOf(effectId, name, effect);
    if (!parameter) return -1;
    // A parameter holds at most 16 values; more (or a negative count) is refused, not cut.
    const bool fits = count >= 0 && count <= 16 && (values || count == 0);
    return constantSet(fits && effect->setFloatArray(parameter, values, u32(count)), name);
}

int keSetEffectTexture(int effectId, const char* name, const char* file) {
    KeEffectRecord* record = keIdLookup(table(), KeIdKind::Effect, effectId, 1);
    if (!record) return -1;
    IKeEffect* effect = record->effect;
    const SParameter* parameter = name ? effect->getParameterByName(nullptr, name) : nullptr;
    if (!parameter) {
        recordError(2, "Unknown texture '%s'", name ? name : "");
        return -1;
    }
    SParameterDesc desc{};
    effect->getParameterDesc(parameter, desc);
    IKeManager* manager = keEngineManager();
    IKeTextureManager* textures = manager ? manager->getTextureManager() : nullptr;
    const char* path = file ? file : "";
    video::ITexture* texture = textures && *path ? textures->getTextureOfType(path, desc.type) : nullptr;
    int result = 0;
    if (!texture) {
        recordError(3, "failed to load texture '%s' ", path);
        result = -1;
    }
    if (!effect->setTexture(parameter, texture, false)) {
        recordError(2, "failed to set texture '%s'", name);
        result = -1;
    }
    return result;
}

}  // namespace kolm
