#include "runtime/MyEventReceiver.h"

#include <cstring>

namespace kolm {
namespace {

// X11 reports left and right Shift with their own codes; the engine knows only Shift.
int canonicalKey(int code) {
    if (code == irr::KEY_LSHIFT || code == irr::KEY_RSHIFT) return KE_KEY_SHIFT;
    return code;
}

}  // namespace

uint16_t keHatFromAxes(int16_t x, int16_t y) {
    const int threshold = 16384;
    const bool left = x < -threshold, right = x > threshold;
    const bool up = y < -threshold, down = y > threshold;
    if (up && right) return 4500;
    if (right && down) return 13500;
    if (down && left) return 22500;
    if (left && up) return 31500;
    if (up) return 0;
    if (right) return 9000;
    if (down) return 18000;
    if (left) return 27000;
    return KE_HAT_CENTRED;
}

MyEventReceiver::MyEventReceiver() {
    std::memset(m_keys, 0, sizeof m_keys);
    reset();
}

void MyEventReceiver::reset() {
    // The Escape latch stays set for the rest of the run, across engine restarts.
    const uint8_t latch = m_keys[KE_ESCAPE_LATCH];
    std::memset(m_keys, 0, sizeof m_keys);
    m_keys[KE_ESCAPE_LATCH] = latch;
    std::memset(m_joyAxes, 0, sizeof m_joyAxes);
    m_mouseX = m_mouseY = 0;
    m_wheel = 0.0f;
    m_leftButton = m_rightButton = false;
    m_joyButtons = 0;
    m_joyHat = KE_HAT_CENTRED;
    m_syncFrame = KE_NO_SYNC_FRAME;
}

bool MyEventReceiver::OnEvent(const irr::SEvent& event) {
    if (!m_recording) return false;
    switch (event.EventType) {
    case irr::EET_KEY_INPUT_EVENT: {
        const int code = canonicalKey(static_cast<int>(event.KeyInput.Key));
        // The Shift state first: X11 reports it as it was before this event, so a Shift key
        // event itself must win over it. Codes beyond the table (and the latch byte itself)
        // are ignored.
        m_keys[KE_KEY_SHIFT] = event.KeyInput.Shift ? 1 : 0;
        if (code >= 0 && code < KE_ESCAPE_LATCH) m_keys[code] = event.KeyInput.PressedDown ? 1 : 0;
        if (code == KE_KEY_ESCAPE && event.KeyInput.PressedDown) m_keys[KE_ESCAPE_LATCH] = 1;
        break;
    }
    case irr::EET_MOUSE_INPUT_EVENT:
        m_mouseX = event.MouseInput.X;
        m_mouseY = event.MouseInput.Y;
        if (event.MouseInput.Event == irr::EMIE_MOUSE_WHEEL) m_wheel += event.MouseInput.Wheel;
        m_leftButton = event.MouseInput.isLeftPressed();
        m_rightButton = event.MouseInput.isRightPressed();
        break;
    case irr::EET_JOYSTICK_INPUT_EVENT:
        if (event.JoystickEvent.Joystick != 0) break;
        m_joyButtons = event.JoystickEvent.ButtonStates;
        for (int i = 0; i < 6; ++i) m_joyAxes[i] = event.JoystickEvent.Axis[i];
        m_joyHat = event.JoystickEvent.POV;
        if (m_joyHat == KE_HAT_CENTRED) m_joyHat = keHatFromAxes(m_joyAxes[4], m_joyAxes[5]);
        break;
    case irr::EET_USER_EVENT:
        if (event.UserEvent.UserData1 == KE_SYNC_MESSAGE) m_syncFrame = event.UserEvent.UserData2;
        break;
    default:
        break;
    }
    return false;
}

}  // namespace kolm
