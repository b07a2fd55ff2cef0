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
    : device_(device),
      cursor_(cursor),
      moveSpeed_(moveSpeed),
      rotateSpeed_(rotateSpeed),
      jumpSpeed_(jumpSpeed),
      mouseDirection_(invertMouse ? -1.0f : 1.0f),
      noVerticalMovement_(noVerticalMovement) {
    if (cursor_) cursor_->grab();
    if (keyMap)
        setKeyMap(keyMap, keyMapSize);
    else
        setKeyMap(kDefaultKeys, sizeof kDefaultKeys / sizeof kDefaultKeys[0]);
}

CKeSceneNodeAnimatorCamera::~CKeSceneNodeAnimatorCamera() {
    if (cursor_) cursor_->drop();
}

void CKeSceneNodeAnimatorCamera::setKeyMap(const SCamKeyMap* entries, u32 count) {
    keyMap_.clear();
    for (u32 i = 0; entries && i < count; ++i) {
        if (entries[i].action >= 0 && entries[i].action < KE_CAM_ACTION_COUNT) keyMap_.push_back(entries[i]);
    }
}

void CKeSceneNodeAnimatorCamera::setMode(s32 mode) {
    mode_ = mode;
    if (mode == KE_CAMERA_RIDE_MOUSE || mode == KE_CAMERA_RIDE_DRAG) enterRide_ = true;
}

void CKeSceneNodeAnimatorCamera::setWindowActiveQuery(KeWindowActiveQuery query, void* user) {
    windowQuery_ = query;
    windowQueryUser_ = user;
}

void CKeSceneNodeAnimatorCamera::setWindowManagerQuery(KeWindowManagerQuery query, void* user) {
    managerQuery_ = query;
    managerQueryUser_ = user;
}

bool CKeSceneNodeAnimatorCamera::windowManagerRuns() {
    if (managerQuery_) return managerQuery_(managerQueryUser_);
    if (windowManager_ < 0) {
        void* display = nullptr;
        if (device_ && device_->getVideoDriver() &&
            device_->getVideoDriver()->getDriverType() == video::EDT_OPENGL)
            display = device_->getVideoDriver()->getExposedVideoData().OpenGLLinux.X11Display;
        windowManager_ = keX11HasWindowManager(display) ? 1 : 0;
    }
    return windowManager_ == 1;
}

bool CKeSceneNodeAnimatorCamera::windowActive() {
    const bool active = windowQuery_ ? windowQuery_(windowQueryUser_) : (device_ ? device_->isWindowActive() : true);
    if (active) windowSeenActive_ = true;
    // A window that never had the focus counts as active only without a window manager (an
    // automated run under Xvfb): nothing will ever give it the focus, and there is no other
    // user to take it away. A window manager that withholds the focus means the user is
    // elsewhere: mouse ride must not take the pointer.
    return active || (!windowSeenActive_ && !windowManagerRuns());
}

bool CKeSceneNodeAnimatorCamera::OnEvent(const SEvent& event) {
    if (event.EventType == EET_MOUSE_INPUT_EVENT) {
        switch (event.MouseInput.Event) {
        case EMIE_LMOUSE_PRESSED_DOWN: mouseDown_ = true; return true;
        case EMIE_LMOUSE_LEFT_UP: mouseDown_ = false; return true;
        case EMIE_MOUSE_MOVED:
            if (cursor_) cursorPos_ = cursor_->getRelativePosition();
            return true;
        default: return false;
        }
    }
    if (event.EventType == EET_KEY_INPUT_EVENT) {
        bool consumed = false;
        for (const SCamKeyMap& entry : keyMap_) {
            if (keyMatches(entry.keyCode, event.KeyInput.Key)) {
                keyDown_[entry.action] = event.KeyInput.PressedDown;
                consumed = true;
            }
        }
        return consumed;
    }
    return false;
}

scene::ISceneNodeAnimator* CKeSceneNodeAnimatorCamera::createClone(scene::ISceneNode*, scene::ISceneManager*) {
    auto* clone = new CKeSceneNodeAnimatorCamera(device_, cursor_, rotateSpeed_, moveSpeed_, jumpSpeed_,
                                                 keyMap_.data(), static_cast<u32>(keyMap_.size()),
                                                 noVerticalMovement_, false);
    clone->mode_ = KE_CAMERA_IDLE;
    clone->setWindowActiveQuery(windowQuery_, windowQueryUser_);
    clone->setWindowManagerQuery(managerQuery_, managerQueryUser_);
    return clone;
}

void CKeSceneNodeAnimatorCamera::animateNode(scene::ISceneNode* node, u32 timeMs) {
    if (!node || node->getType() != scene::ESNT_CAMERA) return;
    auto* camera = static_cast<scene::ICameraSceneNode*>(node);
    switch (mode_) {
    case KE_CAMERA_DIRECT:
        camera->setPosition(position_);
        camera->setRotation(rotation_);
        break;
    case KE_CAMERA_FOLLOW:
        camera->setPosition(position_);
        camera->setUpVector(rotated(rotation_, core::vector3df(0, 1, 0)));
        camera->setTarget(position_ + rotated(rotation_, core::vector3df(0, 0, 1)));
        break;
    case KE_CAMERA_RIDE_MOUSE:
    case KE_CAMERA_RIDE_DRAG: animateRide(camera, timeMs); break;
    default: break;
    }
}

void CKeSceneNodeAnimatorCamera::animateRide(scene::ICameraSceneNode* camera, u32 timeMs) {
    if (firstUpdate_ || enterRide_) {
        rideStep(camera, timeMs);
        return;
    }
    // Differences of the wrapping millisecond clock, read as signed: a time before the last
    // step means the clock went backwards (or restarted). Take up the ride from here instead
    // of stepping through four billion milliseconds.
    const s32 gap = static_cast<s32>(timeMs - lastTime_);
    if (gap < 0) {
        lastTime_ = timeMs;
        if (static_cast<s32>(moveStart_ - timeMs) > 0) moveStart_ = timeMs;
        return;
    }
    if (gap < 16) return;
    // After a long stall only the last MAX_CATCH_UP_MS are replayed; the rest is skipped.
    u32 base = lastTime_;
    u32 span = static_cast<u32>(gap);
    if (span > MAX_CATCH_UP_MS) {
        base = timeMs - MAX_CATCH_UP_MS;
        span = MAX_CATCH_UP_MS;
        lastTime_ = base;
        if (static_cast<s32>(base - moveStart_) < 0) moveStart_ = base;
    }
    for (int k = 1;; ++k) {
        const double offset = k * kStepMs;
        if (offset > span - kStepMs) break;
        rideStep(camera, base + static_cast<u32>(offset));  // step times in whole ms
    }
    rideStep(camera, timeMs);
}

void CKeSceneNodeAnimatorCamera::recentreCursor() {
    cursor_->setPosition(0.5f, 0.5f);
    lastCursor_ = cursorPos_ = cursor_->getRelativePosition();
}

bool CKeSceneNodeAnimatorCamera::cursorOutsideScreen(scene::ICameraSceneNode* camera) const {
    scene::ISceneManager* smgr = camera->getSceneManager();
    video::IVideoDriver* driver = smgr ? smgr->getVideoDriver() : nullptr;
    if (!driver) return false;
    const core::dimension2du screen = driver->getScreenSize();
    const core::position2di at = cursor_->getPosition();
    return at.X < 0 || at.Y < 0 || static_cast<u32>(at.X) >= screen.Width || static_cast<u32>(at.Y) >= screen.Height;
}

void CKeSceneNodeAnimatorCamera::rideStep(scene::ICameraSceneNode* camera, u32 t) {
    ++stepCount_;
    // 1. Entering ride: start over from the stored position and rotation.
    if (enterRide_) {
        camera->setUpVector(core::vector3df(0, 1, 0));
        camera->setPosition(position_);
        camera->setRotation(rotation_);
        dragging_ = false;
        lastTime_ = moveStart_ = t;
        moving_ = false;
        velocity_.set(0, 0, 0);
        turnVelocity_.set(0, 0, 0);
        enterRide_ = false;
    }
    // 2. First step since creation.
    if (firstUpdate_) {
        camera->updateAbsolutePosition();
        if (cursor_) {
            if (mode_ == KE_CAMERA_RIDE_MOUSE) cursor_->setPosition(0.5f, 0.5f);
            lastCursor_ = cursorPos_ = cursor_->getRelativePosition();
        }
        lastTime_ = t;
        firstUpdate_ = false;
    }
    // 3. Focus: keys held while the window lost it are let go; the cursor's travel while
    // inactive is not a turn.
    if (!windowActive()) {
        windowWasInactive_ = true;
        for (bool& down : keyDown_) down = false;
        if (mode_ == KE_CAMERA_RIDE_MOUSE) return;
    } else if (windowWasInactive_) {
        if (cursor_) lastCursor_ = cursorPos_ = cursor_->getRelativePosition();
        windowWasInactive_ = false;
    }
    // 4.
    scene::ISceneManager* smgr = camera->getSceneManager();
    if (!camera->isInputReceiverEnabled() || !smgr || smgr->getActiveCamera() != camera) return;
    // 5. Time and held movement keys.
    const s32 elapsed = static_cast<s32>(t - lastTime_);
    const f32 dt = elapsed > 0 ? static_cast<f32>(elapsed) : 0.0f;  // ms
    lastTime_ = t;
    if (keyDown_[KE_CAM_FORWARD] || keyDown_[KE_CAM_BACKWARD] || keyDown_[KE_CAM_STRAFE_LEFT] ||
        keyDown_[KE_CAM_STRAFE_RIGHT]) {
        if (!moving_) moveStart_ = t;
        moving_ = true;
    } else {
        moving_ = false;
    }
    // 6. Where the camera looks now (degrees).
    core::vector3df pos = camera->getPosition();
    const core::vector3df angles = (camera->getTarget() - pos).getHorizontalAngle();
    f32 pitch = angles.X;
    f32 yaw = angles.Y;
    // 7. Mouse.
    f32 dPitch = 0.0f;
    f32 dYaw = 0.0f;
    if (cursor_) {
        if (mode_ == KE_CAMERA_RIDE_MOUSE) {
            if (std::fabs(cursorPos_.X - lastCursor_.X) >= kCursorEpsilon ||
                std::fabs(cursorPos_.Y - lastCursor_.Y) >= kCursorEpsilon) {
                dYaw = (cursorPos_.X - 0.5f) * rotateSpeed_;
                dPitch = (cursorPos_.Y - 0.5f) * rotateSpeed_ * mouseDirection_;
                recentreCursor();
            }
            // The pointer left the window before its motion arrived: bring it back.
            if (cursorOutsideScreen(camera)) recentreCursor();
        } else if (mode_ == KE_CAMERA_RIDE_DRAG) {
            if (mouseDown_ && !dragging_) {
                lastCursor_ = cursorPos_;
                dragging_ = true;
            } else if (dragging_) {
                dPitch = (cursorPos_.Y - lastCursor_.Y) * rotateSpeed_;
                dYaw = (cursorPos_.X - lastCursor_.X) * rotateSpeed_ * mouseDirection_;
                lastCursor_ = cursorPos_;
                if (!mouseDown_) dragging_ = false;  // the step after the release ends the drag
            }
        }
    }
    // 8. Turning with inertia; n counts 1/60 s steps in dt.
    const f32 n = dt / 1000.0f / kStepSeconds;
    if (n > 0.5f)
        turnVelocity_ = core::vector3df(dPitch, dYaw, 0) + turnVelocity_ * turnInertia_;
    else
        turnVelocity_.set(dPitch, dYaw, 0);
    pitch += (1.0f - turnInertia_) * turnVelocity_.X;
    yaw += (1.0f - turnInertia_) * turnVelocity_.Y;
    // 9.
    pitch = keLimitRidePitch(pitch, maxVerticalAngle_);
    // 10. Look and move directions.
    const f32 reach = core::max_(1.0f, pos.getLength());
    const core::vector3df targetOffset = rotated(core::vector3df(pitch, yaw, 0), core::vector3df(0, 0, reach));
    core::vector3df moveDir = noVerticalMovement_ ? rotated(core::vector3df(0, yaw, 0), core::vector3df(0, 0, reach))
                                                  : targetOffset;
    moveDir.normalize();
    // 11. Movement with inertia and the acceleration ramp.
    core::vector3df step = n > 0.5f ? velocity_ * moveInertia_ : core::vector3df(0, 0, 0);
    f32 ramp = 1.0f;
    if (accelerationTime_ > 0) {
        ramp = static_cast<f32>(static_cast<s32>(t - moveStart_)) / static_cast<f32>(accelerationTime_);
        ramp = core::clamp(ramp, 0.0f, 1.0f);
    }
    const f32 share = (1.0f - moveInertia_) * ramp;
    const f32 distance = dt * moveSpeed_ * share;
    if (keyDown_[KE_CAM_FORWARD]) step += moveDir * distance;
    if (keyDown_[KE_CAM_BACKWARD]) step -= moveDir * distance;
    core::vector3df strafe = targetOffset.crossProduct(camera->getUpVector());
    if (noVerticalMovement_) strafe.Y = 0.0f;
    strafe.normalize();
    if (keyDown_[KE_CAM_STRAFE_LEFT]) step += strafe * distance;
    if (keyDown_[KE_CAM_STRAFE_RIGHT]) step -= strafe * distance;
    // 12.
    pos += step;
    velocity_ = step;
    // 13. Jump through the collision-response animators that stand on something.
    if (keyDown_[KE_CAM_JUMP]) {
        for (scene::ISceneNodeAnimator* animator : camera->getAnimators()) {
            if (animator->getType() != scene::ESNAT_COLLISION_RESPONSE) continue;
            auto* collision = static_cast<scene::ISceneNodeAnimatorCollisionResponse*>(animator);
            if (!collision->isFalling()) collision->jump(jumpSpeed_);
        }
    }
    // 14.
    camera->setPosition(pos);
    camera->setTarget(pos + targetOffset);
}

}  // namespace kolm
