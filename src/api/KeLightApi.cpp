#include "api/KeLightApi.h"

#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "engine/IKeSceneManager.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "runtime/KeEngine.h"

#include <irrlicht.h>

namespace kolm {

using namespace irr;

namespace {

KeIdTable<KeNodeCell>* lights() { return keEngineContext().idLists.light; }

scene::ILightSceneNode* lightOf(int id) {
    KeNodeCell* cell = keIdLookup(lights(), KeIdKind::Light, id, 1);
    return cell ? static_cast<scene::ILightSceneNode*>(cell->node) : nullptr;
}

// The light's extension (made on first request), or null when the engine makes none.
IKeLightSceneNodeExt* extOf(scene::ILightSceneNode* light) {
    IKeManager* manager = keEngineManager();
    IKeSceneManager* ext = manager ? manager->getSceneManager() : nullptr;
    return ext ? ext->getLightExt(light) : nullptr;
}

// The four channels of 0xAARRGGBB / 255.
void channels(uint32_t colour, f32 out[4]) {
    const f32 k = 1.0f / 255.0f;
    out[0] = ((colour >> 16) & 255) * k;
    out[1] = ((colour >> 8) & 255) * k;
    out[2] = (colour & 255) * k;
    out[3] = ((colour >> 24) & 255) * k;
}

}  // namespace

int keMakeLight(int id) {
    KeNodeCell* cell = new KeNodeCell;
    if (keIdRegister(lights(), KeIdKind::Light, id, cell, 1) != 0) {
        delete cell;
        return -1;
    }
    scene::ISceneManager* smgr = keEngineContext().sceneManager;
    scene::ILightSceneNode* light =
        smgr ? smgr->addLightSceneNode(nullptr, core::vector3df(0, 0, 0), video::SColorf(1, 1, 1, 1), 100.0f, -1)
             : nullptr;
    if (!light) {
        recordError(-1, "failed to create light");
        keIdTableRemove(lights(), id);
        delete cell;
        return -1;
    }
    light->grab();  // the cell's reference: the node outlives a removal from the scene graph
    cell->node = light;
    if (IKeManager* manager = keEngineManager()) {
        if (IKeSceneManager* ext = manager->getSceneManager()) ext->getLightExt(light);
    }
    light->setRadius(10000000.0f);
    return 0;
}

int keSetDirectionalLight(int id, float x, float y, float z) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    light->setLightType(video::ELT_DIRECTIONAL);
    light->setRotation(core::vector3df(x, y, z));
    return 0;
}

int keSetSpotLight(int id, float inner, float outer) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    light->setLightType(video::ELT_SPOT);
    light->getLightData().InnerCone = inner;
    light->getLightData().OuterCone = outer;
    return 0;
}

int keSetPointLight(int id, float x, float y, float z) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    light->setLightType(video::ELT_POINT);
    light->setPosition(core::vector3df(x, y, z));
    return 0;
}

bool keLightExist(int id) { return keIdExists(lights(), id); }

bool keLightVisible(int id) {
    scene::ILightSceneNode* light = lightOf(id);
    return light && light->isVisible();
}

int keSetLightRange(int id, float range) {
    if (scene::ILightSceneNode* light = lightOf(id)) light->setRadius(range);
    return 0;
}

int keColorLight(int id, uint32_t colour) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    f32 c[4];
    channels(colour, c);
    if (IKeLightSceneNodeExt* ext = extOf(light)) {
        KeLightParams& params = ext->getParams();
        params.intensity = 1.0f;
        for (int i = 0; i < 4; ++i) params.colour[i] = c[i];
    }
    light->getLightData().DiffuseColor = video::SColorf(c[0], c[1], c[2], c[3]);
    return 0;
}

int keSetLightRawColor(int id, float r, float g, float b) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    if (IKeLightSceneNodeExt* ext = extOf(light)) ext->setColour(r, g, b);
    return 0;
}

int keSetLightIntensity(int id, float intensity) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    if (IKeLightSceneNodeExt* ext = extOf(light)) ext->setIntensity(intensity);
    return 0;
}

int keColorLightShadow(int id, uint32_t colour) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    if (IKeLightSceneNodeExt* ext = extOf(light)) channels(colour, ext->getParams().shadowColour);
    return 0;
}

int keSetShadowMapSize(int id, int size) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    if (IKeLightSceneNodeExt* ext = extOf(light)) ext->getParams().shadowMapSize = size;
    return 0;
}

int keSetShadowMapFuzz(int id, float fuzz) {
    scene::ILightSceneNode* light = lightOf(id);
    if (!light) return 0;
    if (IKeLightSceneNodeExt* ext = extOf(light)) ext->getParams().shadowMapFuzz = fuzz;
    return 0;
}

int keShowLight(int id) {
    if (scene::ILightSceneNode* light = lightOf(id)) light->setVisible(true);
    return 0;
}

int keHideLight(int id) {
    if (scene::ILightSceneNode* light = lightOf(id)) light->setVisible(false);
    return 0;
}

int keDeleteLight(int id) {
    KeIdTable<KeNodeCell>* table = lights();
    KeNodeCell* cell = keIdTableGet(table, id);
    if (!cell) return 0;
    if (cell->node) {
        cell->node->remove();
        cell->node->drop();
    }
    keIdTableRemove(table, id);
    delete cell;
    return 0;
}

int kePositionLight(int id, float x, float y, float z) {
    if (scene::ILightSceneNode* light = lightOf(id)) light->setPosition(core::vector3df(x, y, z));
    return 0;
}

int keRotateLight(int id, float x, float y, float z) {
    if (scene::ILightSceneNode* light = lightOf(id)) light->setRotation(core::vector3df(x, y, z));
    return 0;
}

int keSetLightShadow(int id, bool on) {
    if (scene::ILightSceneNode* light = lightOf(id)) light->enableCastShadow(on);
    return 0;
}

int keSetLightRotationXYZ(int) { return 0; }
int keSetLightRotationZYX(int) { return 0; }

int keColorAmbientLight(uint32_t colour) {
    scene::ISceneManager* smgr = keEngineContext().sceneManager;
    if (!smgr) return -1;
    const float k = 1.0f / 255.0f;
    smgr->setAmbientLight(
        video::SColorf(((colour >> 16) & 255) * k, ((colour >> 8) & 255) * k, (colour & 255) * k, 1.0f));
    return 0;
}

int keColorBackdrop(uint32_t colour) {
    keSetBackdropColor(colour);
    return 0;
}

scene::ILightSceneNode* keLightGet(int id) {
    KeNodeCell* cell = keIdTableGet(lights(), id);
    return cell ? static_cast<scene::ILightSceneNode*>(cell->node) : nullptr;
}

void keDeleteAllLights() {
    KeIdTable<KeNodeCell>* table = lights();
    if (!table) return;
    for (int id = 0; id <= table->highestId(); ++id) keDeleteLight(id);
}

}  // namespace kolm
