#include "api/KeObjectApi.h"

#include "api/KeCameraApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "engine/IKeMorphMesh.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "engine/IKeSceneManager.h"
#include "files/KeFileSystem.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/IKeSurface.h"
#include "fx/IKeSurfaceManager.h"
#include "kf/kfile.h"
#include "runtime/KeEngine.h"

#include <irrlicht.h>

#include <cmath>

namespace kolm {

using namespace irr;

namespace {

KeIdTable<KeNodeCell>* objects() { return keEngineContext().idLists.object; }

scene::ISceneNode* objectOf(int id) {
    KeNodeCell* cell = keIdLookup(objects(), KeIdKind::Object, id, 1);
    return cell ? cell->node : nullptr;
}

IKeSceneManager* sceneExt() {
    IKeManager* manager = keEngineManager();
    return manager ? manager->getSceneManager() : nullptr;
}

IKeMorphMeshSceneNode* morphNodeOf(scene::ISceneNode* node) {
    return node && unsigned(node->getType()) == KE_MORPH_NODE_TYPE ? static_cast<IKeMorphMeshSceneNode*>(node) : nullptr;
}

scene::IMesh* meshOf(scene::ISceneNode* node) {
    if (IKeMorphMeshSceneNode* morph = morphNodeOf(node)) return morph->getMorphMesh();
    switch (node->getType()) {
    case scene::ESNT_MESH:
        return static_cast<scene::IMeshSceneNode*>(node)->getMesh();
    case scene::ESNT_ANIMATED_MESH: {
        scene::IAnimatedMesh* mesh = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
        return mesh ? mesh->getMesh(0) : nullptr;
    }
    default:
        return nullptr;
    }
}

// Buffers of 16-bit indices address 65535 vertices at most: more is drawn wrongly.
void warnOversizedBuffers(int id, const char* path, scene::ISceneNode* node) {
    scene::IMesh* mesh = meshOf(node);
    if (!mesh) return;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        if (buffer->getIndexType() == video::EIT_32BIT || buffer->getVertexCount() <= 65535) continue;
        printMessage(KE_WARN | KE_SHOW_BOX,
                     "Object %d '%s' has too much points on surface %u ;\n%u points > maximum 65535.\n"
                     "Render artifacts will occur.",
                     id, path, i, buffer->getVertexCount());
    }
}

// Registers a fresh cell under id (deleting what was there): the cell, or null after the
// "invalid" message at argIndex.
KeNodeCell* registerCell(int id, int argIndex) {
    keDeleteObject(id);
    KeNodeCell* cell = new KeNodeCell;
    if (keIdRegister(objects(), KeIdKind::Object, id, cell, argIndex) != 0) {
        delete cell;
        return nullptr;
    }
    return cell;
}

// The node's extension with one LightWave surface per material, each made from its material.
void addSurfaces(scene::ISceneNode* node) {
    IKeManager* manager = keEngineManager();
    IKeSceneManager* ext = manager ? manager->getSceneManager() : nullptr;
    CKeSceneNodeExt* nodeExt = ext ? ext->getNodeExt(node) : nullptr;
    IKeSurfaceManager* surfaces = manager ? manager->getSurfaceManager() : nullptr;
    if (!nodeExt || !surfaces) return;
    for (u32 i = 0; i < node->getMaterialCount(); ++i) {
        IKeSurface* surface = surfaces->createSurfaceOfKind(KE_SURFACE_LIGHTWAVE);
        if (!surface) return;
        surface->initFromMaterial(node->getMaterial(i));
        nodeExt->setSurface(s32(i), surface);
        surface->drop();
    }
}

void unregisterCell(int id, KeNodeCell* cell) {
    keIdTableRemove(objects(), id);
    delete cell;
}

}  // namespace

int keLoadObject(const char* file, int id) {
    KeNodeCell* cell = registerCell(id, 2);
    if (!cell) return -1;
    const EngineContext& c = keEngineContext();
    // The file layer's full path: in a packaged run the member's rooted path, which the
    // library's own absolute path (realpath of a file that is not on disk) would cut short.
    const io::path fullPath = c.device ? io::path(kfile_fullpath(keFindFile(file))) : io::path(file);
    IKeSceneManager* ext = sceneExt();
    scene::ISceneNode* node = ext ? ext->addMeshNode(fullPath, nullptr, -1) : nullptr;
    if (!node) {
        recordError(1, "Failed to load mesh '%s'", fullPath.c_str());
        unregisterCell(id, cell);
        return -1;
    }
    node->grab();  // the cell's reference
    cell->node = node;
    warnOversizedBuffers(id, fullPath.c_str(), node);
    addSurfaces(node);
    return 0;
}

int keCloneObject(int newId, int sourceId) {
    KeNodeCell* cell = registerCell(newId, 1);
    if (!cell) return -1;
    KeNodeCell* source = keIdTableGet(objects(), sourceId);
    if (!source) {
        recordError(2, "Object ID %d does not exist", sourceId);
        unregisterCell(newId, cell);
        return -1;
    }
    IKeSceneManager* ext = sceneExt();
    scene::ISceneNode* node = ext ? ext->cloneNode(source->node) : nullptr;
    if (!node) {
        recordError(-1, "Failed to create the cloned object");
        unregisterCell(newId, cell);
        return -1;
    }
    // A clone of a node in the scene graph belongs to the graph; one of a node out of it (locked
    // off) comes with the creation reference, which becomes the cell's.
    if (node->getParent()) node->grab();
    cell->node = node;
    return 0;
}

int keInstanceObject(int newId, int sourceId) { return keCloneObject(newId, sourceId); }

bool keObjectExist(int id) { return keIdExists(objects(), id); }

bool keObjectVisible(int id) {
    scene::ISceneNode* node = objectOf(id);
    return node && node->isVisible();
}

int keShowObject(int id) {
    if (scene::ISceneNode* node = objectOf(id)) node->setVisible(true);
    return 0;
}

int keHideObject(int id) {
    if (scene::ISceneNode* node = objectOf(id)) node->setVisible(false);
    return 0;
}

int keDeleteObject(int id) {
    KeIdTable<KeNodeCell>* table = objects();
    KeNodeCell* cell = keIdTableGet(table, id);
    if (!cell) return 0;
    if (cell->node) {
        scene::ITriangleSelector* selector = cell->node->getTriangleSelector();
        scene::IMetaTriangleSelector* world = keCameraCollisionWorld(false);
        if (selector && world) world->removeTriangleSelector(selector);
        cell->node->remove();
        cell->node->drop();
    }
    keIdTableRemove(table, id);
    delete cell;
    return 0;
}

int keLockObjectOn(int id) {
    if (scene::ISceneNode* node = objectOf(id)) node->setParent(keEngineContext().camera);
    return 0;
}

int keLockObjectOff(int id) {
    // The cell's reference keeps the node alive out of the scene graph.
    if (scene::ISceneNode* node = objectOf(id)) node->setParent(nullptr);
    return 0;
}

int kePositionObject(int id, float x, float y, float z) {
    if (scene::ISceneNode* node = objectOf(id)) node->setPosition(core::vector3df(x, y, z));
    return 0;
}

int keRotateObject(int id, float x, float y, float z) {
    if (scene::ISceneNode* node = objectOf(id)) node->setRotation(core::vector3df(x, y, z));
    return 0;
}

int keScaleObject(int id, float x, float y, float z) {
    if (scene::ISceneNode* node = objectOf(id)) node->setScale(core::vector3df(x / 100.0f, y / 100.0f, z / 100.0f));
    return 0;
}

int keTotalObjectFrames(int id) {
    scene::ISceneNode* node = objectOf(id);
    if (!node) return 0;
    if (IKeMorphMeshSceneNode* morph = morphNodeOf(node))
        return morph->getMorphMesh() ? static_cast<int>(morph->getMorphMesh()->getFrameCount()) : 1;
    if (node->getType() == scene::ESNT_ANIMATED_MESH) {
        scene::IAnimatedMesh* mesh = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
        return mesh ? static_cast<int>(mesh->getFrameCount()) : 1;
    }
    return 1;
}

int keSetObjectFrame(int id, float frame) {
    scene::ISceneNode* node = objectOf(id);
    if (IKeMorphMeshSceneNode* morph = morphNodeOf(node)) {
        morph->setCurrentFrame(frame + static_cast<float>(morph->getStartFrame()));
    } else if (node && node->getType() == scene::ESNT_ANIMATED_MESH) {
        auto* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node);
        animated->setCurrentFrame(frame + static_cast<float>(animated->getStartFrame()));
    }
    return 0;
}

int keSetObjectMorph(int id, int count, const int* indices, const float* weights) {
    IKeMorphMeshSceneNode* morph = morphNodeOf(objectOf(id));
    if (!morph) return 0;
    if (count < 0 || !indices || !weights) count = 0;
    if (count > int(IKeMorphMesh::MAX_MORPHS)) count = int(IKeMorphMesh::MAX_MORPHS);
    // A negative index names no morph, as 0 does.
    u32 ids[IKeMorphMesh::MAX_MORPHS];
    for (int i = 0; i < count; ++i) ids[i] = indices[i] > 0 ? u32(indices[i]) : 0u;
    morph->setMorphs(u32(count), ids, weights);
    return 0;
}

int keGetObjectMorphCount(int id) {
    IKeMorphMeshSceneNode* morph = morphNodeOf(objectOf(id));
    return morph && morph->getMorphMesh() ? static_cast<int>(morph->getMorphMesh()->getMorphCount()) : 0;
}

float keGetObjectRadius(int id) {
    scene::ISceneNode* node = objectOf(id);
    if (!node) return 0.0f;
    const unsigned type = node->getType();
    if (type != scene::ESNT_MESH && type != scene::ESNT_ANIMATED_MESH && type != KE_MORPH_NODE_TYPE) {
        recordError(1, "Object ID %d is not of supported type", id);
        return 0.0f;
    }
    scene::IMesh* mesh = meshOf(node);
    if (!mesh) {
        recordError(1, "Object ID %d has no mesh", id);
        return 0.0f;
    }
    return static_cast<float>(mesh->getBoundingBox().getExtent().getLength() * 0.5f);
}

int keSetObjectCollisionOn(int id) {
    scene::ISceneNode* node = objectOf(id);
    if (!node) return 0;
    scene::IMetaTriangleSelector* world = keCameraCollisionWorld(true);
    if (!world || node->getTriangleSelector() || node->getType() != scene::ESNT_MESH) return 0;
    scene::IMesh* mesh = static_cast<scene::IMeshSceneNode*>(node)->getMesh();
    if (!mesh) return 0;
    scene::ITriangleSelector* selector = keEngineContext().sceneManager->createTriangleSelector(mesh, node);
    if (!selector) return 0;
    node->setTriangleSelector(selector);
    world->addTriangleSelector(selector);
    selector->drop();
    return 0;
}

int keSetObjectCollisionOff(int id) { return keSetObjectCollisionOn(id); }

int keGhostObjectOn(int id) {
    objectOf(id);
    return 0;
}

int keSetAlphaMappingOn(int id, float) {
    objectOf(id);
    return 0;
}

int keSetObjectRotationXYZ(int) { return 0; }
int keSetObjectRotationZYX(int) { return 0; }

scene::ISceneNode* keObjectGet(int id) {
    KeNodeCell* cell = keIdTableGet(objects(), id);
    return cell ? cell->node : nullptr;
}

void keDeleteAllObjects() {
    KeIdTable<KeNodeCell>* table = objects();
    if (!table) return;
    for (int id = 0; id <= table->highestId(); ++id) keDeleteObject(id);
}

}  // namespace kolm
