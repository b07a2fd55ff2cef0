// The fly camera animator. See IKeSceneNodeAnimatorCamera.h.
//
// Ride movement is stepped at a fixed 60 Hz whatever the frame rate, so that inertia and speed
// do not depend on it: a long frame runs several steps, a frame closer than 16 ms to the last
// step runs none. The window-active test, the cursor and the time are inputs (a device and a
// cursor control, or test doubles; the time of animateNode), so that rides run without a
// window.
#pragma once

#include "engine/IKeSceneNodeAnimatorCamera.h"

#include <irrlicht/ICursorControl.h>
#include <irrlicht/IrrlichtDevice.h>
#include <irrlicht/vector2d.h>
#include <irrlicht/vector3d.h>

#include <vector>

namespace irr::scene {
class ICameraSceneNode;
}

namespace kolm {

// Brings a pitch (degrees) into the ride's limits: pitches between maxVertical and
// 360 - maxVertical are turned back to the nearer limit. The pitch is first brought into
// [0, 360), so that a fast turn past 0 or 360 is limited too.
irr::f32 keLimitRidePitch(irr::f32 pitch, irr::f32 maxVertical);

// Tells whether the window has the input focus; user is the pointer given with it.
using KeWindowActiveQuery = bool (*)(void* user);
// Tells whether a window manager runs (one that hands the focus out).
using KeWindowManagerQuery = bool (*)(void* user);

class CKeSceneNodeAnimatorCamera : public IKeSceneNodeAnimatorCamera {
public:
    // Longest stretch of time caught up in one frame (30 steps). A longer stall, or a clock
    // that went backwards, resynchronises the ride instead of replaying it.
    static constexpr irr::u32 MAX_CATCH_UP_MS = 500;

    // device: for the window-active test (may be null: always active). cursor: grabbed; may be
    // null (no mouse look). keyMap null: the default keys (arrows, right Control to jump).
    CKeSceneNodeAnimatorCamera(irr::IrrlichtDevice* device, irr::gui::ICursorControl* cursor,
                               irr::f32 rotateSpeed = 100.0f, irr::f32 moveSpeed = 0.01f, irr::f32 jumpSpeed = 0.0f,
                               const SCamKeyMap* keyMap = nullptr, irr::u32 keyMapSize = 0,
                               bool noVerticalMovement = false, bool invertMouse = false);
    ~CKeSceneNodeAnimatorCamera() override;

    // ISceneNodeAnimator
    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    bool isEventReceiverEnabled() const override { return true; }
    bool OnEvent(const irr::SEvent& event) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override {
        return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(KE_CAMERA_ANIMATOR_TYPE);
    }
    bool hasFinished() const override { return false; }

    // IKeSceneNodeAnimatorCamera
    irr::f32 getMoveSpeed() const override { return m_moveSpeed; }
    void setMoveSpeed(irr::f32 speed) override { m_moveSpeed = speed; }
    irr::f32 getRotateSpeed() const override { return m_rotateSpeed; }
    void setRotateSpeed(irr::f32 speed) override { m_rotateSpeed = speed; }
    irr::f32 getJumpSpeed() const override { return m_jumpSpeed; }
    void setJumpSpeed(irr::f32 speed) override { m_jumpSpeed = speed; }
    void setKeyMap(const SCamKeyMap* entries, irr::u32 count) override;
    void setVerticalMovement(bool allow) override { m_noVerticalMovement = !allow; }
    void setInvertMouse(bool invert) override { m_mouseDirection = invert ? -1.0f : 1.0f; }
    void setMode(irr::s32 mode) override;
    irr::s32 getMode() const override { return m_mode; }
    void setPosition(irr::f32 x, irr::f32 y, irr::f32 z) override { m_position.set(x, y, z); }
    void setRotation(irr::f32 x, irr::f32 y, irr::f32 z) override { m_rotation.set(x, y, z); }

    // Replaces the window-active test (nullptr: back to the device's). Either way a window
    // that has never been active counts as active when no window manager runs: nothing will
    // ever give it the focus then.
    void setWindowActiveQuery(KeWindowActiveQuery query, void* user);
    // Replaces the window-manager test (nullptr: back to asking the device's X display once;
    // without one, no window manager).
    void setWindowManagerQuery(KeWindowManagerQuery query, void* user);

    // Read-outs for the viewer and for tests.
    const std::vector<SCamKeyMap>& getKeyMap() const { return m_keyMap; }
    irr::u32 getLastStepTime() const { return m_lastTime; }
    irr::u32 getStepCount() const { return m_stepCount; }  // ride steps run (wraps)
    const irr::core::vector3df& getVelocity() const { return m_velocity; }

private:
    void animateRide(irr::scene::ICameraSceneNode* camera, irr::u32 timeMs);
    void rideStep(irr::scene::ICameraSceneNode* camera, irr::u32 t);
    bool windowActive();
    bool windowManagerRuns();
    void recentreCursor();
    bool cursorOutsideScreen(irr::scene::ICameraSceneNode* camera) const;

    irr::IrrlichtDevice* m_device;
    irr::gui::ICursorControl* m_cursor;
    KeWindowActiveQuery m_windowQuery = nullptr;
    void* m_windowQueryUser = nullptr;
    KeWindowManagerQuery m_managerQuery = nullptr;
    void* m_managerQueryUser = nullptr;
    int m_windowManager = -1;  // the device's answer once asked: 0 or 1; -1 not yet

    irr::f32 m_maxVerticalAngle = 88.0f;  // degrees
    irr::f32 m_moveSpeed;                 // units per ms
    irr::f32 m_rotateSpeed;               // degrees per unit of relative mouse movement
    irr::f32 m_jumpSpeed;
    irr::f32 m_mouseDirection;  // 1, or -1 when inverted
    irr::u32 m_lastTime = 0;    // ms, time of the last ride step
    std::vector<SCamKeyMap> m_keyMap;
    irr::core::vector2df m_lastCursor;
    irr::core::vector2df m_cursorPos;
    bool m_keyDown[KE_CAM_ACTION_COUNT] = {};
    bool m_mouseDown = false;
    bool m_firstUpdate = true;
    bool m_noVerticalMovement;
    irr::s32 m_mode = KE_CAMERA_FOLLOW;
    bool m_windowWasInactive = false;
    bool m_windowSeenActive = false;  // the window has had the focus at least once
    bool m_dragging = false;
    bool m_enterRide = false;
    irr::f32 m_moveInertia = 0.85f;  // share of the last step's movement kept
    irr::f32 m_turnInertia = 0.7f;   // share of the last step's turning kept
    irr::u32 m_moveStart = 0;        // ms, when a movement key went down
    bool m_moving = false;
    irr::s32 m_accelerationTime = 100;  // ms to full speed
    irr::core::vector3df m_velocity;      // displacement of the last step
    irr::core::vector3df m_turnVelocity;  // degrees turned in the last step (pitch, yaw, 0)
    irr::core::vector3df m_rotation;      // degrees, handed in
    irr::core::vector3df m_position;      // handed in
    irr::u32 m_stepCount = 0;
};

}  // namespace kolm
