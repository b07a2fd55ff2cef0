#include "api/KeInputApi.h"

#include "platform/KePointer.h"
#include "runtime/KeEngine.h"

namespace kolm {

using namespace irr;

namespace {

bool g_joystickEnabled = false;
core::array<SJoystickInfo> g_joysticks;  // as the device reported them when enabled

const MyEventReceiver* receiver() { return keEngineContext().started ? &keEventReceiver() : nullptr; }

bool key(int code) {
    const MyEventReceiver* r = receiver();
    return r && r->keyDown(code);
}

const MyEventReceiver* joystick() { return g_joystickEnabled ? receiver() : nullptr; }

int axis(int index) {
    const MyEventReceiver* r = joystick();
    return r ? keJoystickDeadZone(r->joystickAxis(index)) : 0;
}

bool direction(int degrees) {
    const MyEventReceiver* r = joystick();
    return r && keHatPointsTo(r->joystickHat(), degrees);
}

// The pointer relative to the render window, unclamped; false without a window (the null
// driver), whose position is then the last one the event receiver recorded.
bool pointer(int* x, int* y) {
    const EngineContext& engine = keEngineContext();
    if (!engine.started || !engine.driver || engine.driver->getDriverType() != video::EDT_OPENGL) return false;
    const video::SExposedVideoData& data = engine.driver->getExposedVideoData();
    return keWindowPointer(data.OpenGLLinux.X11Display, static_cast<unsigned long>(data.OpenGLLinux.X11Window), x, y);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Keyboard

bool keEscapeKey() { return key(KEY_ESCAPE); }
bool keEscapeKeyEverPressed() {
    const MyEventReceiver* r = receiver();
    return r && r->escapeEverPressed();
}
bool keReturnKey() { return key(KEY_RETURN); }
bool keSpaceKey() { return key(KEY_SPACE); }
bool keShiftKey() { return key(KE_KEY_SHIFT); }
bool keRightKey() { return key(KEY_RIGHT); }
bool keLeftKey() { return key(KEY_LEFT); }
bool keUpKey() { return key(KEY_UP); }
bool keDownKey() { return key(KEY_DOWN); }
bool keMinusKey() { return key(KEY_MINUS) || key(KEY_SUBTRACT); }
bool kePlusKey() { return key(KEY_PLUS) || key(KEY_ADD); }
bool keKeyState(int code) { return code >= 0 && code <= 255 && key(code); }

// ---------------------------------------------------------------------------------------------
// Mouse

int keMouseClick() {
    const MyEventReceiver* r = receiver();
    return r ? (r->leftButton() ? 1 : 0) + (r->rightButton() ? 2 : 0) : 0;
}

int keClampMouseCoordinate(int value, int size) {
    if (value < 0) return -1;
    return value > size ? size + 1 : value;
}

int keMouseX() {
    int x = 0, y = 0;
    if (pointer(&x, &y)) return keClampMouseCoordinate(x, static_cast<int>(keEngineContext().driver->getScreenSize().Width));
    const MyEventReceiver* r = receiver();
    return r ? r->mouseX() : 0;
}

int keMouseY() {
    int x = 0, y = 0;
    if (pointer(&x, &y)) return keClampMouseCoordinate(y, static_cast<int>(keEngineContext().driver->getScreenSize().Height));
    const MyEventReceiver* r = receiver();
    return r ? r->mouseY() : 0;
}

int keMouseZ() {
    const MyEventReceiver* r = receiver();
    return r ? static_cast<int>(r->mouseWheel()) : 0;
}

int keShowMouse() {
    const EngineContext& engine = keEngineContext();
    if (engine.started && engine.device) engine.device->getCursorControl()->setVisible(true);
    return 0;
}

int keHideMouse() {
    const EngineContext& engine = keEngineContext();
    if (engine.started && engine.device) engine.device->getCursorControl()->setVisible(false);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Joystick

int keEnableJoystick() {
    const EngineContext& engine = keEngineContext();
    if (!engine.started || !engine.device) return 0;
    g_joysticks.clear();
    engine.device->activateJoysticks(g_joysticks);
    keEventReceiver().setJoystickHatDevice(g_joysticks.size() ? static_cast<int>(g_joysticks[0].Joystick) : -1);
    g_joystickEnabled = true;
    return 0;
}

int keDisableJoystick() {
    g_joystickEnabled = false;
    keEventReceiver().setJoystickHatDevice(-1);
    return 0;
}

bool keJoystickIsPresent() { return joystick() && g_joysticks.size() > 0; }

bool keHatPointsTo(uint16_t hat, int directionDegrees) {
    if (hat == KE_HAT_CENTRED) return false;
    int difference = hat / 100 - directionDegrees;
    if (difference > 180) difference -= 360;
    if (difference < -180) difference += 360;
    return difference > -90 && difference < 90;
}

int keJoystickDeadZone(int value) { return value > -1500 && value < 1500 ? 0 : value; }

bool keJoystickUp() { return direction(0); }
bool keJoystickDown() { return direction(180); }
bool keJoystickLeft() { return direction(270); }
bool keJoystickRight() { return direction(90); }

int keJoystickX() { return axis(0); }
int keJoystickY() { return axis(1); }
int keJoystickZ() { return axis(2); }
int keJoystickR() { return axis(3); }
int keJoystickU() { return axis(4); }
int keJoystickV() { return axis(5); }

bool keJoystickFireX(int button) {
    const MyEventReceiver* r = joystick();
    return r && button >= 0 && button < 32 && ((r->joystickButtons() >> button) & 1u) != 0;
}
bool keJoystickFireA() { return keJoystickFireX(0); }
bool keJoystickFireB() { return keJoystickFireX(1); }
bool keJoystickFireC() { return keJoystickFireX(2); }
bool keJoystickFireD() { return keJoystickFireX(3); }

}  // namespace kolm
