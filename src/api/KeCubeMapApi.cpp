#include "api/KeCubeMapApi.h"

#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeCubeMap.h"
#include "engine/IKeManager.h"
#include "engine/IKeSceneManager.h"
#include "fx/IKeSceneNodeExt.h"
#include "runtime/KeEngine.h"

namespace kolm {

using namespace irr;

namespace {

KeIdTable<KeCubeMapRecord>* table() { return keEngineContext().idLists.cubeMap; }

class CubeFaceDrawer : public IKeRenderWithDrawer {
public:
    CubeFaceDrawer(IKeCubeMap* cube, const core::vector3df& position) : m_cube(cube), m_position(position) {}
    bool draw(IKeRenderer* renderer) override {
        ok = renderer && m_cube->render(renderer, m_position);
        return ok;
    }
    bool ok = false;

private:
    IKeCubeMap* m_cube;
    core::vector3df m_position;
};

}  // namespace

int keMakeCubeMap(int id, int size) {
    auto* record = new KeCubeMapRecord;
    if (keIdRegister(table(), KeIdKind::CubeMap, id, record, 1) != 0) {
        delete record;
        return -1;
    }
    IKeManager* manager = keEngineManager();
    IKeSceneManager* scenes = manager ? manager->getSceneManager() : nullptr;
    record->cubeMap = scenes && size > 0 ? scenes->createCubeMap(u32(size), KE_CUBE_MAP_FORMAT) : nullptr;
    if (!record->cubeMap) {
        recordError(-1, "Failed to create cube map");
        keIdTableRemove(table(), id);
        delete record;
        return -1;
    }
    return 0;
}

bool keCubeMapExist(int id) { return keIdExists(table(), id); }

IKeCubeMap* keCubeMapGet(int id) {
    KeCubeMapRecord* record = keIdExists(table(), id) ? keIdTableGet(table(), id) : nullptr;
    return record ? record->cubeMap : nullptr;
}

int keDeleteCubeMap(int id) {
    if (!keIdExists(table(), id)) return 0;
    KeCubeMapRecord* record = keIdTableGet(table(), id);
    video::ITexture* texture = record->cubeMap ? record->cubeMap->getTexture() : nullptr;
    // No object may keep reflecting a cube map that is going away.
    KeIdTable<KeNodeCell>* objects = keEngineContext().idLists.object;
    if (texture && objects)
        for (int i = 0; i <= objects->highestId(); ++i) {
            KeNodeCell* cell = objects->exists(i) ? objects->get(i) : nullptr;
            IKeSceneNodeExt* ext = cell ? keFindNodeExt(cell->node) : nullptr;
            if (ext && ext->getCubeMapTexture() == texture) ext->setCubeMapTexture(nullptr);
        }
    if (record->cubeMap) record->cubeMap->drop();
    keIdTableRemove(table(), id);
    delete record;
    return 0;
}

int keClearCubeMap(int id) {
    KeCubeMapRecord* record = keIdLookup(table(), KeIdKind::CubeMap, id, 1);
    if (!record) return -1;
    return record->cubeMap->clear() ? 0 : -1;
}

bool keCubeMapRendered(int id) {
    KeCubeMapRecord* record = keIdLookup(table(), KeIdKind::CubeMap, id, 1);
    return record && record->cubeMap->isRendered();
}

int keRenderCubeMap(int id, float x, float y, float z) {
    KeCubeMapRecord* record = keIdLookup(table(), KeIdKind::CubeMap, id, 1);
    if (!record) return -1;
    CubeFaceDrawer drawer(record->cubeMap, core::vector3df(x, y, z));
    if (keRenderWith(&drawer) != 0 || !drawer.ok) {
        recordError(-1, "Failed to render cube map");
        return -1;
    }
    return 0;
}

}  // namespace kolm
