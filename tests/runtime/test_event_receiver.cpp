#include "runtime/MyEventReceiver.h"

#include <gtest/gtest.h>

using namespace kolm;
using namespace irr;

namespace {

SEvent key(EKEY_CODE code, bool down, bool shift = false) {
    SEvent e{};
    e.EventType = EET_KEY_INPUT_EVENT;
    e.KeyInput.Key = code;
    e.KeyInput.PressedDown = down;
    e.KeyInput.Shift = shift;
    e.KeyInput.Control = false;
    e.KeyInput.Char = 0;
    return e;
}

SEvent user(s32 a, s32 b) {
    SEvent e{};
    e.EventType = EET_USER_EVENT;
    e.UserEvent.UserData1 = a;
    e.UserEvent.UserData2 = b;
    return e;
}

TEST(EventReceiver, IgnoresEverythingUntilRecordingAndNeverConsumes) {
    MyEventReceiver r;
    EXPECT_FALSE(r.OnEvent(key(KEY_SPACE, true)));
    EXPECT_FALSE(r.keyDown(KEY_SPACE));
    r.setRecording(true);
    EXPECT_FALSE(r.OnEvent(key(KEY_SPACE, true)));
    EXPECT_TRUE(r.keyDown(KEY_SPACE));
    r.OnEvent(key(KEY_SPACE, false));
    EXPECT_FALSE(r.keyDown(KEY_SPACE));
}

TEST(EventReceiver, ShiftEscapeLatchAndOutOfRangeCodes) {
    MyEventReceiver r;
    r.setRecording(true);
    // Left and right Shift count as Shift, even though X11 reports the state before the press.
    for (EKEY_CODE shift : {KEY_LSHIFT, KEY_RSHIFT}) {
        r.OnEvent(key(shift, true, false));
        EXPECT_TRUE(r.keyDown(KE_KEY_SHIFT));
        r.OnEvent(key(shift, false, true));
        EXPECT_FALSE(r.keyDown(KE_KEY_SHIFT));
    }
    // Any key event carries the Shift state.
    r.OnEvent(key(KEY_KEY_A, true, true));
    EXPECT_TRUE(r.keyDown(KE_KEY_SHIFT));
    r.OnEvent(key(KEY_KEY_A, false, false));
    EXPECT_FALSE(r.keyDown(KE_KEY_SHIFT));

    EXPECT_FALSE(r.escapeEverPressed());
    r.OnEvent(key(KEY_ESCAPE, true));
    r.OnEvent(key(KEY_ESCAPE, false));
    EXPECT_FALSE(r.keyDown(KE_KEY_ESCAPE));
    EXPECT_TRUE(r.escapeEverPressed());
    r.OnEvent(key(KEY_ESCAPE, true));  // a second press changes nothing
    r.OnEvent(key(KEY_ESCAPE, false));
    EXPECT_TRUE(r.escapeEverPressed());

    // Codes at or beyond the latch byte never touch it.
    MyEventReceiver fresh;
    fresh.setRecording(true);
    fresh.OnEvent(key(static_cast<EKEY_CODE>(255), true));
    fresh.OnEvent(key(static_cast<EKEY_CODE>(300), true));
    EXPECT_FALSE(fresh.escapeEverPressed());
}

TEST(EventReceiver, MouseWheelAccumulatesAndButtons) {
    MyEventReceiver r;
    r.setRecording(true);
    SEvent e{};
    e.EventType = EET_MOUSE_INPUT_EVENT;
    e.MouseInput.Event = EMIE_MOUSE_WHEEL;
    e.MouseInput.X = 10;
    e.MouseInput.Y = 20;
    e.MouseInput.Wheel = 1.5f;
    e.MouseInput.ButtonStates = EMBSM_LEFT | EMBSM_RIGHT;
    r.OnEvent(e);
    e.MouseInput.Wheel = 1.0f;
    r.OnEvent(e);
    EXPECT_FLOAT_EQ(r.mouseWheel(), 2.5f);
    EXPECT_EQ(static_cast<int>(r.mouseWheel()), 2);
    EXPECT_EQ(r.mouseX(), 10);
    EXPECT_EQ(r.mouseY(), 20);
    EXPECT_TRUE(r.leftButton());
    EXPECT_TRUE(r.rightButton());
}

TEST(EventReceiver, SyncFrameFollowsOnlyTheFrameMessage) {
    MyEventReceiver r;
    r.setRecording(true);
    EXPECT_EQ(r.syncFrame(), 0x0FFFFFFF);
    r.OnEvent(user(0x1234, 77));
    EXPECT_EQ(r.syncFrame(), 0x0FFFFFFF);
    r.OnEvent(user(0x7000, 1234));
    EXPECT_EQ(r.syncFrame(), 1234);
}

TEST(EventReceiver, JoystickZeroOnlyAndNoHatFromSticks) {
    MyEventReceiver r;
    r.setRecording(true);
    SEvent e{};
    e.EventType = EET_JOYSTICK_INPUT_EVENT;
    e.JoystickEvent.Joystick = 1;
    e.JoystickEvent.ButtonStates = 0xF;
    r.OnEvent(e);
    EXPECT_EQ(r.joystickButtons(), 0u);
    e.JoystickEvent.Joystick = 0;
    e.JoystickEvent.POV = 65535;
    e.JoystickEvent.Axis[4] = -32767;  // a second stick or a trigger on common pads, not a hat
    e.JoystickEvent.Axis[5] = -32767;
    r.OnEvent(e);
    EXPECT_EQ(r.joystickButtons(), 0xFu);
    EXPECT_EQ(r.joystickAxis(4), -32767);
    EXPECT_EQ(r.joystickHat(), 65535);
    e.JoystickEvent.POV = 9000;  // a library that reports the hat itself
    r.OnEvent(e);
    EXPECT_EQ(r.joystickHat(), 9000);
    EXPECT_FALSE(r.setJoystickHatDevice(-1));
}

}  // namespace
