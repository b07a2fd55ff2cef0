// Camera commands of the object API: the one camera that engine start-up makes, moved through
// its fly camera animator. Angles in degrees; positions in scene units. Without a running
// engine every operation does nothing and returns -1.
#pragma once

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

// The animator mode a script camera mode selects (1 -> 3, 2 -> 4, others -> 2).
int keCameraAnimatorMode(int scriptMode);

}  // namespace kolm
