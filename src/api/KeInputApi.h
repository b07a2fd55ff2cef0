// Keyboard, mouse and joystick commands of the object API, over the engine's event receiver.
// None records an error; without an engine they answer false or 0.
#pragma once

#include <cstdint>

namespace kolm {

// ---------------------------------------------------------------------------------------------
// Keyboard: whether the key (a virtual-key code) is down now.

bool keEscapeKey();            // 27
bool keEscapeKeyEverPressed();  // the latch: Escape was down at some time since start
bool keReturnKey();            // 13
bool keSpaceKey();             // 32
bool keShiftKey();             // 16
bool keRightKey();             // 39
bool keLeftKey();              // 37
bool keUpKey();                // 38
bool keDownKey();              // 40
bool keMinusKey();             // 189 or 109 (keypad)
bool kePlusKey();              // 187 or 107 (keypad)
// Any code 0 to 255 (255 is the Escape latch); other codes answer false.
bool keKeyState(int code);

// ---------------------------------------------------------------------------------------------
// Mouse

// Left button + 2 x right button.
int keMouseClick();
// The cursor in the render window's client coordinates (pixels): below 0 reads -1, beyond the
// right or bottom edge reads that edge + 1. Drivers without a window: the last position the
// event receiver recorded.
int keMouseX();
int keMouseY();
// The sum of all wheel movements since start, truncated to an integer.
int keMouseZ();
int keShowMouse();
int keHideMouse();
// A cursor coordinate read against a client size: -1 below 0, size + 1 beyond it.
int keClampMouseCoordinate(int value, int size);

// ---------------------------------------------------------------------------------------------
// Joystick 0 (all false or 0 while not enabled)

// Activates the device's joysticks, keeping their list, and reads joystick 0's hat from its
// device when the library reports none. Always 0.
int keEnableJoystick();
int keDisableJoystick();
bool keJoystickIsPresent();
// The hat is not centred and its angle lies within 90 degrees (exclusive) of up (0), down
// (180), left (270) or right (90) — the library's angles, clockwise from up.
bool keJoystickUp();
bool keJoystickDown();
bool keJoystickLeft();
bool keJoystickRight();
// The axis, or 0 inside the dead zone (-1499 to 1499).
int keJoystickX();
int keJoystickY();
int keJoystickZ();
int keJoystickR();
int keJoystickU();
int keJoystickV();
// Button bits 0 to 3; keJoystickFireX any bit 0 to 31 (false for others).
bool keJoystickFireA();
bool keJoystickFireB();
bool keJoystickFireC();
bool keJoystickFireD();
bool keJoystickFireX(int button);

// The rules themselves: whether a hat angle (hundredths of a degree, 65535 centred) points
// within 90 degrees of `directionDegrees`; an axis value after the dead zone.
bool keHatPointsTo(uint16_t hat, int directionDegrees);
int keJoystickDeadZone(int value);

}  // namespace kolm
