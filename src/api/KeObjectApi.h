// Object commands of the object API: objects are mesh scene nodes made from mesh files by the
// engine's scene-manager extension, registered in the engine's object list (a one-pointer cell
// per ID that holds a reference to its node, so that a node taken out of the scene graph by
// LockObjectOff stays valid until DeleteObject).
//
// Operations on an existing ID record "Object ID %d does not exist. %s" with index 1 when the
// ID is not registered and then do nothing else. Angles are degrees (the library's Euler
// convention), scales are percent.
#pragma once

namespace irr {
namespace scene {
class ISceneNode;
}  // namespace scene
}  // namespace irr

namespace kolm {

// The node type of the engine's morph mesh nodes ('m','o','r','p' packed as the library packs
// node type codes).
constexpr unsigned KE_MORPH_NODE_TYPE = 0x70726F6D;

// Loads a mesh file under id, deleting an object registered there first. "invalid Object ID %d
// : %s" [2], or "Failed to load mesh '%s'" [1] with the full path (the ID stays free); -1 then.
// The node gets its extension with one LightWave surface per material, made from the material.
// A buffer of 16-bit indices with more than 65535 vertices is reported as a warning (with a
// message box) and loads all the same.
int keLoadObject(const char* file, int id);
// A clone of the source object under newId (an object there is deleted first). "invalid Object
// ID %d : %s" [1], "Object ID %d does not exist" [2] or "Failed to create the cloned object"
// [-1], the new ID left free; -1 then. Instancing is the same operation.
int keCloneObject(int newId, int sourceId);
int keInstanceObject(int newId, int sourceId);
bool keObjectExist(int id);  // never records anything
bool keObjectVisible(int id);
int keShowObject(int id);
int keHideObject(int id);
// Takes the object out of the camera's collision world and the scene and frees the ID. An
// unregistered ID is ignored without error.
int keDeleteObject(int id);
// Parent: the camera (moves with it), or none (out of the scene graph, not drawn).
int keLockObjectOn(int id);
int keLockObjectOff(int id);
int kePositionObject(int id, float x, float y, float z);
int keRotateObject(int id, float x, float y, float z);
int keScaleObject(int id, float x, float y, float z);  // percent
// Morph and animated mesh nodes: the mesh's frame count; other nodes 1.
int keTotalObjectFrames(int id);
// Morph and animated mesh nodes: the current frame becomes frame + the node's start frame
// (clamped to the node's frame loop).
int keSetObjectFrame(int id, float frame);
// Morph nodes take the weights of `count` morphs (1-based morph numbers, at most 60 entries;
// numbers 0 or below and above the morph count are skipped); the mesh is recomputed at the next
// animation step when the selection changed. Other nodes are left alone.
int keSetObjectMorph(int id, int count, const int* indices, const float* weights);
int keGetObjectMorphCount(int id);  // 0 for nodes that are not morph nodes
// Half the diagonal of the mesh's bounding box; 0 with "Object ID %d is not of supported type"
// [1] or "Object ID %d has no mesh" [1] for nodes without one.
float keGetObjectRadius(int id);
// Adds a static mesh object to the camera's collision world (made first when needed) with a
// triangle selector of its mesh; an object that has a selector already, or is not a static
// mesh, is left alone. Switching it off is the same operation: objects stay in the world until
// they are deleted.
int keSetObjectCollisionOn(int id);
int keSetObjectCollisionOff(int id);
// Check the ID only.
int keGhostObjectOn(int id);
int keSetAlphaMappingOn(int id, float value);
int keSetObjectRotationXYZ(int id);
int keSetObjectRotationZYX(int id);

// The node of a registered ID without recording anything (null otherwise).
irr::scene::ISceneNode* keObjectGet(int id);

// Deletes every registered object (engine shut-down: before the device goes).
void keDeleteAllObjects();

}  // namespace kolm
