// The engine's event receiver: records keys, mouse, joystick 0 and the sync frame that another
// program can post to the render window. It never consumes an event.
#pragma once

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
    void setRecording(bool on) { recording_ = on; }
    // Forgets keys, mouse, joystick and sync frame; the Escape latch stays set.
    void reset();

    bool keyDown(int code) const { return code >= 0 && code < 256 && keys_[code] != 0; }
    bool escapeEverPressed() const { return keys_[KE_ESCAPE_LATCH] != 0; }

    int32_t mouseX() const { return mouseX_; }  // pixels, last recorded
    int32_t mouseY() const { return mouseY_; }
    float mouseWheel() const { return wheel_; }  // sum of all wheel deltas
    bool leftButton() const { return leftButton_; }
    bool rightButton() const { return rightButton_; }

    uint32_t joystickButtons() const { return joyButtons_; }
    int16_t joystickAxis(int i) const { return (i >= 0 && i < 6) ? joyAxes_[i] : 0; }
    uint16_t joystickHat() const { return joyHat_; }  // hundredths of a degree, 65535 centred

    int32_t syncFrame() const { return syncFrame_; }
    void setSyncFrame(int32_t frame) { syncFrame_ = frame; }

private:
    bool recording_ = false;
    uint8_t keys_[256];
    int32_t mouseX_ = 0, mouseY_ = 0;
    float wheel_ = 0.0f;
    bool leftButton_ = false, rightButton_ = false;
    uint32_t joyButtons_ = 0;
    int16_t joyAxes_[6];
    uint16_t joyHat_ = KE_HAT_CENTRED;
    int32_t syncFrame_ = KE_NO_SYNC_FRAME;
};

// The hat as a hundredths-of-a-degree angle, derived from the last two axes when the driver
// reports no hat (Linux joysticks expose the hat as two axes). 65535 when centred.
uint16_t keHatFromAxes(int16_t x, int16_t y);

}  // namespace kolm
