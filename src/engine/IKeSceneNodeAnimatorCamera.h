// The engine camera's animator: follows the positions and rotations handed to it, or lets the
// user fly through the scene ("ride") with the keyboard and the mouse.
#pragma once

#include <irrlicht/ISceneNodeAnimator.h>

namespace kolm {

// Animator type of the fly camera, as found in a node's animator list.
constexpr irr::s32 KE_CAMERA_ANIMATOR_TYPE = 10001;

enum KeCameraMode : irr::s32 {
    KE_CAMERA_IDLE = 0,
    KE_CAMERA_DIRECT = 1,      // position and rotation set as given
    KE_CAMERA_FOLLOW = 2,      // position given, target and up vector from the rotation
    KE_CAMERA_RIDE_MOUSE = 3,  // ride, looking with the mouse (cursor kept at the centre)
    KE_CAMERA_RIDE_DRAG = 4,   // ride, looking by dragging with the left button
};

// Ride actions, as the library numbers its key actions.
enum KeCameraAction : irr::s32 {
    KE_CAM_FORWARD = 0,
    KE_CAM_BACKWARD = 1,
    KE_CAM_STRAFE_LEFT = 2,
    KE_CAM_STRAFE_RIGHT = 3,
    KE_CAM_JUMP = 4,
    KE_CAM_ACTION_COUNT = 5,
};

// One key binding: an action (0 to 4) and a key code (the library's EKEY_CODE values, which
// are the Windows virtual-key codes).
struct SCamKeyMap {
    irr::s32 action;
    irr::s32 keyCode;
};

class IKeSceneNodeAnimatorCamera : public irr::scene::ISceneNodeAnimator {
public:
    // Units per millisecond.
    virtual irr::f32 getMoveSpeed() const = 0;
    virtual void setMoveSpeed(irr::f32 speed) = 0;
    // Degrees per unit of relative mouse movement (the window is 1 wide and 1 high).
    virtual irr::f32 getRotateSpeed() const = 0;
    virtual void setRotateSpeed(irr::f32 speed) = 0;
    // Handed to the collision-response animators of the camera when jumping.
    virtual irr::f32 getJumpSpeed() const = 0;
    virtual void setJumpSpeed(irr::f32 speed) = 0;
    // Replaces the key map; entries whose action is not 0 to 4 are left out.
    virtual void setKeyMap(const SCamKeyMap* entries, irr::u32 count) = 0;
    virtual void setVerticalMovement(bool allow) = 0;
    virtual void setInvertMouse(bool invert) = 0;
    // One of KeCameraMode; a ride mode restarts the ride from the stored position and rotation.
    virtual void setMode(irr::s32 mode) = 0;
    virtual irr::s32 getMode() const = 0;
    virtual void setPosition(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    // Degrees, the library's Euler convention.
    virtual void setRotation(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
};

}  // namespace kolm
