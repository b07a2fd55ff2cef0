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

bool MyEventReceiver::setJoystickHatDevice(int number) {
    m_hatDevice.close();
    m_joyHat = KE_HAT_CENTRED;
    return number >= 0 && m_hatDevice.open(number);
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
        // The library's Linux joysticks report no hat: it is read from the device's own hat
        // axes (a pad's last two axes are as often a stick or a trigger).
        m_joyHat = event.JoystickEvent.POV;
        if (m_joyHat == KE_HAT_CENTRED && m_hatDevice.isOpen()) m_joyHat = m_hatDevice.poll();
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
