// The point-of-view hat of a Linux joystick. The kernel reports a hat as two axes (ABS_HAT0X,
// ABS_HAT0Y) at whatever axis numbers the device has them, and the 3D library's joystick
// events carry neither a hat nor more than six axes: the hat is read from the device itself.
#pragma once

#include <cstdint>

namespace kolm {

constexpr uint16_t KE_JOYSTICK_HAT_CENTRED = 65535;  // hundredths of a degree
constexpr uint8_t KE_ABS_HAT0X = 0x10;               // the kernel's event codes of the first hat
constexpr uint8_t KE_ABS_HAT0Y = 0x11;

// The device's axis numbers of its first hat, from its axis map (the event code of each axis,
// as the joystick interface's JSIOCGAXMAP gives it). False when the device has no hat.
bool keFindHatAxes(const uint8_t* axisMap, int axisCount, int* xAxis, int* yAxis);

// The hat angle in hundredths of a degree clockwise from up, the library's convention (0 up,
// 9000 right, 18000 down, 27000 left, diagonals between), from the hat's two axis values (x
// negative left, y negative up; beyond half way counts as pressed); 65535 when centred.
uint16_t keHatAngle(int x, int y);

// Reads the hat of one joystick device without waiting.
class KeJoystickHat {
public:
    KeJoystickHat() = default;
    ~KeJoystickHat();
    KeJoystickHat(const KeJoystickHat&) = delete;
    KeJoystickHat& operator=(const KeJoystickHat&) = delete;

    // Opens joystick device `number` ("/dev/input/js<n>", "/dev/js<n>"; the library's
    // SJoystickInfo::Joystick). False, and nothing open, without such a device or hat.
    bool open(int number);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // Takes the device's pending events and answers the hat angle (65535 when centred or not
    // open).
    uint16_t poll();

private:
    int m_fd = -1;
    int m_xAxis = -1, m_yAxis = -1;
    int m_x = 0, m_y = 0;
};

}  // namespace kolm
