// Camera commands of the object API: the one camera that engine start-up makes, moved through
// its fly camera animator. Angles in degrees; positions in scene units. Without a running
// engine every operation does nothing and returns -1.
#pragma once

namespace irr {
namespace scene {
class IMetaTriangleSelector;
}  // namespace scene
}  // namespace irr

namespace kolm {

int kePositionCamera(float x, float y, float z);
// The library's Euler angles.
int keRotateCamera(float x, float y, float z);
// Script mode 1: ride looking with the mouse; 2: ride dragging with the left button; any
// other value: the animator follows the positions and rotations it is given.
int keSetCameraMode(int mode);
int keSetCameraMoveSpeed(float speed);  // units per millisecond
int keSetCameraJumpSpeed(float speed);
// The horizontal field of view in degrees: the camera's vertical one becomes
// 2 atan(tan(angle / 2) x height / width) for the screen size.
int keSetCameraFOV(float angle);
// Accepted for compatibility; the rotation order is always the library's.
int keSetCameraRotationXYZ();
int keSetCameraRotationZYX();

// Collision: the camera collides with the objects added to its collision world (a meta triangle
// selector set on the camera node, made on first use; keSetObjectCollisionOn adds objects).
// Replaces any collision response of the camera by one against the world: an ellipsoid of
// radius `radius` in every axis whose centre sits `height` above the camera (scene units),
// falling with `gravity` units per second, sliding 0.0005.
int keAutomaticCameraCollisionOn(float radius, float gravity, float height);
// Removes the camera's collision response (the world stays).
int keAutomaticCameraCollisionOff();
// The camera's collision world; made first when `create` (null without an engine, or when not
// made yet and `create` is false). Borrowed: the camera holds it.
irr::scene::IMetaTriangleSelector* keCameraCollisionWorld(bool create);

// The animator mode a script camera mode selects (1 -> 3, 2 -> 4, others -> 2).
int keCameraAnimatorMode(int scriptMode);

}  // namespace kolm
