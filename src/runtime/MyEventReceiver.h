// The engine's event receiver: records keys, mouse, joystick 0 and the sync frame that another
// program can post to the render window. It never consumes an event.
#pragma once

#include "platform/KeJoystickHat.h"

#include <irrlicht.h>

#include <cstdint>

namespace kolm {

constexpr int KE_KEY_SHIFT = 16;
constexpr int KE_KEY_ESCAPE = 27;
constexpr int KE_ESCAPE_LATCH = 255;        // byte of the key table set once Escape was down
constexpr int32_t KE_SYNC_MESSAGE = 0x7000;  // first datum of a "follow this frame" user event
constexpr int32_t KE_NO_SYNC_FRAME = 0x0FFFFFFF;
constexpr uint16_t KE_HAT_CENTRED = 65535;  // hundredths of a degree

class MyEventReceiver : public irr::IEventReceiver {
public:
    MyEventReceiver();

    bool OnEvent(const irr::SEvent& event) override;

    // Events are recorded only while recording is on (the engine has started).
    void setRecording(bool on) { m_recording = on; }
    // Forgets keys, mouse, joystick and sync frame; the Escape latch stays set.
    void reset();

    bool keyDown(int code) const { return code >= 0 && code < 256 && m_keys[code] != 0; }
    bool escapeEverPressed() const { return m_keys[KE_ESCAPE_LATCH] != 0; }

    int32_t mouseX() const { return m_mouseX; }  // pixels, last recorded
    int32_t mouseY() const { return m_mouseY; }
    float mouseWheel() const { return m_wheel; }  // sum of all wheel deltas
    bool leftButton() const { return m_leftButton; }
    bool rightButton() const { return m_rightButton; }

    uint32_t joystickButtons() const { return m_joyButtons; }
    int16_t joystickAxis(int i) const { return (i >= 0 && i < 6) ? m_joyAxes[i] : 0; }
    uint16_t joystickHat() const { return m_joyHat; }  // hundredths of a degree, 65535 centred

    // Where the hat of joystick 0 comes from when the library reports none (its Linux joysticks
    // never do): the hat axes of joystick device `number` (the library's SJoystickInfo::
    // Joystick); -1 reads none, so the hat stays centred. False when the device has no hat.
    bool setJoystickHatDevice(int number);

    int32_t syncFrame() const { return m_syncFrame; }
    void setSyncFrame(int32_t frame) { m_syncFrame = frame; }

private:
    bool m_recording = false;
    uint8_t m_keys[256];
    int32_t m_mouseX = 0, m_mouseY = 0;
    float m_wheel = 0.0f;
    bool m_leftButton = false, m_rightButton = false;
    uint32_t m_joyButtons = 0;
    int16_t m_joyAxes[6];
    uint16_t m_joyHat = KE_HAT_CENTRED;
    KeJoystickHat m_hatDevice;
    int32_t m_syncFrame = KE_NO_SYNC_FRAME;
};

}  // namespace kolm
