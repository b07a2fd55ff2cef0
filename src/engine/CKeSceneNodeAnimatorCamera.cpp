#include "engine/CKeSceneNodeAnimatorCamera.h"

#include "platform/KeWindow.h"

#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/ISceneNodeAnimatorCollisionResponse.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/Keycodes.h>
#include <irrlicht/matrix4.h>

#include <cmath>

namespace kolm {

using namespace irr;

namespace {

constexpr double kStepMs = 16.666666;        // one ride step, 1/60 s
constexpr f32 kStepSeconds = 0.016666668f;
constexpr f32 kCursorEpsilon = 0.000001f;

const SCamKeyMap kDefaultKeys[] = {
    {KE_CAM_FORWARD, KEY_UP},       {KE_CAM_BACKWARD, KEY_DOWN},   {KE_CAM_STRAFE_LEFT, KEY_LEFT},
    {KE_CAM_STRAFE_RIGHT, KEY_RIGHT}, {KE_CAM_JUMP, KEY_RCONTROL},
};

// X11 reports the left and right variants of Shift, Control and Alt: a binding of the plain
// key takes either.
bool keyMatches(s32 bound, EKEY_CODE pressed) {
    if (bound == pressed) return true;
    switch (bound) {
    case KEY_SHIFT: return pressed == KEY_LSHIFT || pressed == KEY_RSHIFT;
    case KEY_CONTROL: return pressed == KEY_LCONTROL || pressed == KEY_RCONTROL;
    case KEY_MENU: return pressed == KEY_LMENU || pressed == KEY_RMENU;
    default: return false;
    }
}

core::vector3df rotated(const core::vector3df& degrees, core::vector3df v) {
    core::matrix4 m;
    m.setRotationDegrees(degrees);
    m.rotateVect(v);
    return v;
}

}  // namespace

f32 keLimitRidePitch(f32 pitch, f32 maxVertical) {
    if (!std::isfinite(pitch)) return 0.0f;
    pitch = std::fmod(pitch, 360.0f);
    if (pitch < 0.0f) pitch += 360.0f;
    if (2.0f * maxVertical < pitch && pitch < 360.0f - maxVertical) return 360.0f - maxVertical;
    if (maxVertical < pitch && pitch < 360.0f - maxVertical) return maxVertical;
    return pitch;
}

CKeSceneNodeAnimatorCamera::CKeSceneNodeAnimatorCamera(IrrlichtDevice* device, gui::ICursorControl* cursor,
                                                       f32 rotateSpeed, f32 moveSpeed, f32 jumpSpeed,
                                                       const SCamKeyMap* keyMap, u32 keyMapSize,
                                                       bool noVerticalMovement, bool invertMouse)
    : m_device(device),
      m_cursor(cursor),
      m_moveSpeed(moveSpeed),
      m_rotateSpeed(rotateSpeed),
      m_jumpSpeed(jumpSpeed),
      m_mouseDirection(invertMouse ? -1.0f : 1.0f),
      m_noVerticalMovement(noVerticalMovement) {
    if (m_cursor) m_cursor->grab();
    if (keyMap)
        setKeyMap(keyMap, keyMapSize);
    else
        setKeyMap(kDefaultKeys, sizeof kDefaultKeys / sizeof kDefaultKeys[0]);
}

CKeSceneNodeAnimatorCamera::~CKeSceneNodeAnimatorCamera() {
    if (m_cursor) m_cursor->drop();
}

void CKeSceneNodeAnimatorCamera::setKeyMap(const SCamKeyMap* entries, u32 count) {
    m_keyMap.clear();
    for (u32 i = 0; entries && i < count; ++i) {
        if (entries[i].action >= 0 && entries[i].action < KE_CAM_ACTION_COUNT) m_keyMap.push_back(entries[i]);
    }
}

void CKeSceneNodeAnimatorCamera::setMode(s32 mode) {
    m_mode = mode;
    if (mode == KE_CAMERA_RIDE_MOUSE || mode == KE_CAMERA_RIDE_DRAG) m_enterRide = true;
}

void CKeSceneNodeAnimatorCamera::setWindowActiveQuery(KeWindowActiveQuery query, void* user) {
    m_windowQuery = query;
    m_windowQueryUser = user;
}

void CKeSceneNodeAnimatorCamera::setWindowManagerQuery(KeWindowManagerQuery query, void* user) {
    m_managerQuery = query;
    m_managerQueryUser = user;
}

bool CKeSceneNodeAnimatorCamera::windowManagerRuns() {
    if (m_managerQuery) return m_managerQuery(m_managerQueryUser);
    if (m_windowManager < 0) {
        void* display = nullptr;
        if (m_device && m_device->getVideoDriver() &&
            m_device->getVideoDriver()->getDriverType() == video::EDT_OPENGL)
            display = m_device->getVideoDriver()->getExposedVideoData().OpenGLLinux.X11Display;
        m_windowManager = keX11HasWindowManager(display) ? 1 : 0;
    }
    return m_windowManager == 1;
}

bool CKeSceneNodeAnimatorCamera::windowActive() {
    const bool active = m_windowQuery ? m_windowQuery(m_windowQueryUser) : (m_device ? m_device->isWindowActive() : true);
    if (active) m_windowSeenActive = true;
    // A window that never had the focus counts as active only without a window manager (an
    // automated run under Xvfb): nothing will ever give it the focus, and there is no other
    // user to take it away. A window manager that withholds the focus means the user is
    // elsewhere: mouse ride must not take the pointer.
    return active || (!m_windowSeenActive && !windowManagerRuns());
}

bool CKeSceneNodeAnimatorCamera::OnEvent(const SEvent& event) {
    if (event.EventType == EET_MOUSE_INPUT_EVENT) {
        switch (event.MouseInput.Event) {
        case EMIE_LMOUSE_PRESSED_DOWN: m_mouseDown = true; return true;
        case EMIE_LMOUSE_LEFT_UP: m_mouseDown = false; return true;
        case EMIE_MOUSE_MOVED:
            if (m_cursor) m_cursorPos = m_cursor->getRelativePosition();
            return true;
        default: return false;
        }
    }
    if (event.EventType == EET_KEY_INPUT_EVENT) {
        bool consumed = false;
        for (const SCamKeyMap& entry : m_keyMap) {
            if (keyMatches(entry.keyCode, event.KeyInput.Key)) {
                m_keyDown[entry.action] = event.KeyInput.PressedDown;
                consumed = true;
            }
        }
        return consumed;
    }
    return false;
}

scene::ISceneNodeAnimator* CKeSceneNodeAnimatorCamera::createClone(scene::ISceneNode*, scene::ISceneManager*) {
    auto* clone = new CKeSceneNodeAnimatorCamera(m_device, m_cursor, m_rotateSpeed, m_moveSpeed, m_jumpSpeed,
                                                 m_keyMap.data(), static_cast<u32>(m_keyMap.size()),
                                                 m_noVerticalMovement, false);
    clone->m_mode = KE_CAMERA_IDLE;
    clone->setWindowActiveQuery(m_windowQuery, m_windowQueryUser);
    clone->setWindowManagerQuery(m_managerQuery, m_managerQueryUser);
    return clone;
}

void CKeSceneNodeAnimatorCamera::animateNode(scene::ISceneNode* node, u32 timeMs) {
    if (!node || node->getType() != scene::ESNT_CAMERA) return;
    auto* camera = static_cast<scene::ICameraSceneNode*>(node);
    switch (m_mode) {
    case KE_CAMERA_DIRECT:
        camera->setPosition(m_position);
        camera->setRotation(m_rotation);
        break;
    case KE_CAMERA_FOLLOW:
        // The view comes from target and up vector; the node's own rotation is what its children
        // (objects and emitters locked on the camera, extra scenes) turn with, so it is the same
        // rotation (without a target binding it does not move the target).
        camera->setPosition(m_position);
        camera->setRotation(m_rotation);
        camera->setUpVector(rotated(m_rotation, core::vector3df(0, 1, 0)));
        camera->setTarget(m_position + rotated(m_rotation, core::vector3df(0, 0, 1)));
        break;
    case KE_CAMERA_RIDE_MOUSE:
    case KE_CAMERA_RIDE_DRAG: animateRide(camera, timeMs); break;
    default: break;
    }
}

void CKeSceneNodeAnimatorCamera::animateRide(scene::ICameraSceneNode* camera, u32 timeMs) {
    if (m_firstUpdate || m_enterRide) {
        rideStep(camera, timeMs);
        return;
    }
    // Differences of the wrapping millisecond clock, read as signed: a time before the last
    // step means the clock went backwards (or restarted). Take up the ride from here instead
    // of stepping through four billion milliseconds.
    const s32 gap = static_cast<s32>(timeMs - m_lastTime);
    if (gap < 0) {
        m_lastTime = timeMs;
        if (static_cast<s32>(m_moveStart - timeMs) > 0) m_moveStart = timeMs;
        return;
    }
    if (gap < 16) return;
    // After a long stall only the last MAX_CATCH_UP_MS are replayed; the rest is skipped.
    u32 base = m_lastTime;
    u32 span = static_cast<u32>(gap);
    if (span > MAX_CATCH_UP_MS) {
        base = timeMs - MAX_CATCH_UP_MS;
        span = MAX_CATCH_UP_MS;
        m_lastTime = base;
        if (static_cast<s32>(base - m_moveStart) < 0) m_moveStart = base;
    }
    for (int k = 1;; ++k) {
        const double offset = k * kStepMs;
        if (offset > span - kStepMs) break;
        rideStep(camera, base + static_cast<u32>(offset));  // step times in whole ms
    }
    rideStep(camera, timeMs);
}

void CKeSceneNodeAnimatorCamera::recentreCursor() {
    m_cursor->setPosition(0.5f, 0.5f);
    m_lastCursor = m_cursorPos = m_cursor->getRelativePosition();
}

bool CKeSceneNodeAnimatorCamera::cursorOutsideScreen(scene::ICameraSceneNode* camera) const {
    scene::ISceneManager* smgr = camera->getSceneManager();
    video::IVideoDriver* driver = smgr ? smgr->getVideoDriver() : nullptr;
    if (!driver) return false;
    const core::dimension2du screen = driver->getScreenSize();
    const core::position2di at = m_cursor->getPosition();
    return at.X < 0 || at.Y < 0 || static_cast<u32>(at.X) >= screen.Width || static_cast<u32>(at.Y) >= screen.Height;
}

void CKeSceneNodeAnimatorCamera::rideStep(scene::ICameraSceneNode* camera, u32 t) {
    ++m_stepCount;
    // 1. Entering ride: start over from the stored position and rotation.
    if (m_enterRide) {
        camera->setUpVector(core::vector3df(0, 1, 0));
        camera->setPosition(m_position);
        camera->setRotation(m_rotation);
        m_dragging = false;
        m_lastTime = m_moveStart = t;
        m_moving = false;
        m_velocity.set(0, 0, 0);
        m_turnVelocity.set(0, 0, 0);
        m_enterRide = false;
    }
    // 2. First step since creation.
    if (m_firstUpdate) {
        camera->updateAbsolutePosition();
        if (m_cursor) {
            if (m_mode == KE_CAMERA_RIDE_MOUSE) m_cursor->setPosition(0.5f, 0.5f);
            m_lastCursor = m_cursorPos = m_cursor->getRelativePosition();
        }
        m_lastTime = t;
        m_firstUpdate = false;
    }
    // 3. Focus: keys held while the window lost it are let go; the cursor's travel while
    // inactive is not a turn.
    if (!windowActive()) {
        m_windowWasInactive = true;
        for (bool& down : m_keyDown) down = false;
        if (m_mode == KE_CAMERA_RIDE_MOUSE) return;
    } else if (m_windowWasInactive) {
        if (m_cursor) m_lastCursor = m_cursorPos = m_cursor->getRelativePosition();
        m_windowWasInactive = false;
    }
    // 4.
    scene::ISceneManager* smgr = camera->getSceneManager();
    if (!camera->isInputReceiverEnabled() || !smgr || smgr->getActiveCamera() != camera) return;
    // 5. Time and held movement keys.
    const s32 elapsed = static_cast<s32>(t - m_lastTime);
    const f32 dt = elapsed > 0 ? static_cast<f32>(elapsed) : 0.0f;  // ms
    m_lastTime = t;
    if (m_keyDown[KE_CAM_FORWARD] || m_keyDown[KE_CAM_BACKWARD] || m_keyDown[KE_CAM_STRAFE_LEFT] ||
        m_keyDown[KE_CAM_STRAFE_RIGHT]) {
        if (!m_moving) m_moveStart = t;
        m_moving = true;
    } else {
        m_moving = false;
    }
    // 6. Where the camera looks now (degrees).
    core::vector3df pos = camera->getPosition();
    const core::vector3df angles = (camera->getTarget() - pos).getHorizontalAngle();
    f32 pitch = angles.X;
    f32 yaw = angles.Y;
    // 7. Mouse.
    f32 dPitch = 0.0f;
    f32 dYaw = 0.0f;
    if (m_cursor) {
        if (m_mode == KE_CAMERA_RIDE_MOUSE) {
            if (std::fabs(m_cursorPos.X - m_lastCursor.X) >= kCursorEpsilon ||
                std::fabs(m_cursorPos.Y - m_lastCursor.Y) >= kCursorEpsilon) {
                dYaw = (m_cursorPos.X - 0.5f) * m_rotateSpeed;
                dPitch = (m_cursorPos.Y - 0.5f) * m_rotateSpeed * m_mouseDirection;
                recentreCursor();
            }
            // The pointer left the window before its motion arrived: bring it back.
            if (cursorOutsideScreen(camera)) recentreCursor();
        } else if (m_mode == KE_CAMERA_RIDE_DRAG) {
            if (m_mouseDown && !m_dragging) {
                m_lastCursor = m_cursorPos;
                m_dragging = true;
            } else if (m_dragging) {
                dPitch = (m_cursorPos.Y - m_lastCursor.Y) * m_rotateSpeed;
                dYaw = (m_cursorPos.X - m_lastCursor.X) * m_rotateSpeed * m_mouseDirection;
                m_lastCursor = m_cursorPos;
                if (!m_mouseDown) m_dragging = false;  // the step after the release ends the drag
            }
        }
    }
    // 8. Turning with inertia; n counts 1/60 s steps in dt.
    const f32 n = dt / 1000.0f / kStepSeconds;
    if (n > 0.5f)
        m_turnVelocity = core::vector3df(dPitch, dYaw, 0) + m_turnVelocity * m_turnInertia;
    else
        m_turnVelocity.set(dPitch, dYaw, 0);
    pitch += (1.0f - m_turnInertia) * m_turnVelocity.X;
    yaw += (1.0f - m_turnInertia) * m_turnVelocity.Y;
    // 9.
    pitch = keLimitRidePitch(pitch, m_maxVerticalAngle);
    // 10. Look and move directions.
    const f32 reach = core::max_(1.0f, pos.getLength());
    const core::vector3df targetOffset = rotated(core::vector3df(pitch, yaw, 0), core::vector3df(0, 0, reach));
    core::vector3df moveDir = m_noVerticalMovement ? rotated(core::vector3df(0, yaw, 0), core::vector3df(0, 0, reach))
                                                  : targetOffset;
    moveDir.normalize();
    // 11. Movement with inertia and the acceleration ramp.
    core::vector3df step = n > 0.5f ? m_velocity * m_moveInertia : core::vector3df(0, 0, 0);
    f32 ramp = 1.0f;
    if (m_accelerationTime > 0) {
        ramp = static_cast<f32>(static_cast<s32>(t - m_moveStart)) / static_cast<f32>(m_accelerationTime);
        ramp = core::clamp(ramp, 0.0f, 1.0f);
    }
    const f32 share = (1.0f - m_moveInertia) * ramp;
    const f32 distance = dt * m_moveSpeed * share;
    if (m_keyDown[KE_CAM_FORWARD]) step += moveDir * distance;
    if (m_keyDown[KE_CAM_BACKWARD]) step -= moveDir * distance;
    core::vector3df strafe = targetOffset.crossProduct(camera->getUpVector());
    if (m_noVerticalMovement) strafe.Y = 0.0f;
    strafe.normalize();
    if (m_keyDown[KE_CAM_STRAFE_LEFT]) step += strafe * distance;
    if (m_keyDown[KE_CAM_STRAFE_RIGHT]) step -= strafe * distance;
    // 12.
    pos += step;
    m_velocity = step;
    // 13. Jump through the collision-response animators that stand on something.
    if (m_keyDown[KE_CAM_JUMP]) {
        for (scene::ISceneNodeAnimator* animator : camera->getAnimators()) {
            if (animator->getType() != scene::ESNAT_COLLISION_RESPONSE) continue;
            auto* collision = static_cast<scene::ISceneNodeAnimatorCollisionResponse*>(animator);
            if (!collision->isFalling()) collision->jump(m_jumpSpeed);
        }
    }
    // 14.
    camera->setPosition(pos);
    camera->setTarget(pos + targetOffset);
}

}  // namespace kolm
