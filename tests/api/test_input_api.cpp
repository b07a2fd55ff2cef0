// Keyboard, mouse and joystick commands on a running engine with the null driver, fed through
// the engine's event receiver, and the rules behind them as tables: hat directions, the dead
// zone, the mouse clamp and screen depths.
#include "api/KeInputApi.h"
#include "api/KeWindowApi.h"
#include "runtime/KeEngine.h"

#include <gtest/gtest.h>

using namespace irr;
using namespace kolm;

namespace {

TEST(InputRules, HatDirectionsFollowTheLibrarysAngles) {
    // Hundredths of a degree clockwise from up: 9000 is right, 27000 left.
    struct Case {
        uint16_t hat;
        bool up, down, left, right;
    } const cases[] = {
        {65535, false, false, false, false},  // centred
        {0, true, false, false, false},
        {4500, true, false, false, true},     // up and right
        {9000, false, false, false, true},
        {13500, false, true, false, true},
        {18000, false, true, false, false},
        {22500, false, true, true, false},
        {27000, false, false, true, false},
        {31500, true, false, true, false},    // up and left: 315 - 0 = 315 is brought to -45
        {35900, true, false, true, false},    // 359 is within 90 of 270 as well
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hat);
        EXPECT_EQ(keHatPointsTo(c.hat, 0), c.up);
        EXPECT_EQ(keHatPointsTo(c.hat, 180), c.down);
        EXPECT_EQ(keHatPointsTo(c.hat, 270), c.left);
        EXPECT_EQ(keHatPointsTo(c.hat, 90), c.right);
    }
}

TEST(InputRules, DeadZoneMouseClampAndDepths) {
    const int axes[][2] = {{0, 0}, {1499, 0}, {-1499, 0}, {1500, 1500}, {-1500, -1500}, {32767, 32767}, {-32768, -32768}};
    for (const auto& a : axes) EXPECT_EQ(keJoystickDeadZone(a[0]), a[1]) << a[0];

    const int mouse[][3] = {{-1, 640, -1}, {-500, 640, -1}, {0, 640, 0}, {639, 640, 639}, {640, 640, 640},
                            {641, 640, 641}, {5000, 640, 641}};
    for (const auto& m : mouse) EXPECT_EQ(keClampMouseCoordinate(m[0], m[1]), m[2]) << m[0];

    const int depths[][2] = {{video::ECF_A1R5G5B5, 16}, {video::ECF_R5G6B5, 16}, {video::ECF_R8G8B8, 24},
                             {video::ECF_A8R8G8B8, 32}, {video::ECF_A16B16G16R16F, 32}};
    for (const auto& d : depths) EXPECT_EQ(keColourFormatDepth(d[0]), d[1]) << d[0];
}

class InputApi : public ::testing::Test {
protected:
    void SetUp() override {
        keSetEngineDriverType(video::EDT_NULL);
        ASSERT_EQ(keStartEngine(EngineSetup()), 0);
    }
    void TearDown() override {
        keDisableJoystick();
        keStopEngine();
        keSetEngineDriverType(video::EDT_OPENGL);
    }
    static void send(const SEvent& e) { keEventReceiver().OnEvent(e); }
    static void key(EKEY_CODE code, bool down) {
        SEvent e{};
        e.EventType = EET_KEY_INPUT_EVENT;
        e.KeyInput.Key = code;
        e.KeyInput.PressedDown = down;
        send(e);
    }
    static void mouse(EMOUSE_INPUT_EVENT what, int x, int y, float wheel, u32 buttons) {
        SEvent e{};
        e.EventType = EET_MOUSE_INPUT_EVENT;
        e.MouseInput.Event = what;
        e.MouseInput.X = x;
        e.MouseInput.Y = y;
        e.MouseInput.Wheel = wheel;
        e.MouseInput.ButtonStates = buttons;
        send(e);
    }
};

TEST_F(InputApi, KeysAndTheirCodes) {
    key(KEY_SUBTRACT, true);  // the keypad's minus counts as minus
    key(KEY_ADD, true);
    key(KEY_LEFT, true);
    EXPECT_TRUE(keMinusKey());
    EXPECT_TRUE(kePlusKey());
    EXPECT_TRUE(keLeftKey());
    EXPECT_TRUE(keKeyState(37));
    EXPECT_FALSE(keRightKey());
    key(KEY_LEFT, false);
    EXPECT_FALSE(keLeftKey());
    // Codes outside 0..255 read nothing beyond the key table.
    for (int code : {-1, 256, 100000, -100000}) EXPECT_FALSE(keKeyState(code)) << code;
    key(KEY_ESCAPE, true);
    EXPECT_TRUE(keEscapeKey());
    key(KEY_ESCAPE, false);
    EXPECT_FALSE(keEscapeKey());
    EXPECT_TRUE(keEscapeKeyEverPressed());
    EXPECT_TRUE(keKeyState(255));  // the latch byte
}

TEST_F(InputApi, MouseButtonsPositionAndWheel) {
    const int z = keMouseZ();
    mouse(EMIE_MOUSE_WHEEL, 12, 34, 1.5f, EMBSM_LEFT);
    mouse(EMIE_MOUSE_WHEEL, 12, 34, 1.0f, EMBSM_LEFT | EMBSM_RIGHT);
    EXPECT_EQ(keMouseZ() - z, 2);  // 2.5 truncated
    EXPECT_EQ(keMouseClick(), 3);
    mouse(EMIE_RMOUSE_LEFT_UP, 12, 34, 0, EMBSM_RIGHT);
    EXPECT_EQ(keMouseClick(), 2);
    // Without a window (the null driver) the position is the last one recorded.
    EXPECT_EQ(keMouseX(), 12);
    EXPECT_EQ(keMouseY(), 34);
}

TEST_F(InputApi, JoystickAnswersOnlyWhileEnabled) {
    SEvent e{};
    e.EventType = EET_JOYSTICK_INPUT_EVENT;
    e.JoystickEvent.Joystick = 0;
    e.JoystickEvent.ButtonStates = 0x80000005u;
    e.JoystickEvent.Axis[0] = 1499;
    e.JoystickEvent.Axis[1] = -1500;
    e.JoystickEvent.Axis[5] = 20000;
    e.JoystickEvent.POV = 4500;
    send(e);
    EXPECT_FALSE(keJoystickFireA());
    EXPECT_EQ(keJoystickY(), 0);
    EXPECT_FALSE(keJoystickUp());

    keEnableJoystick();
    EXPECT_FALSE(keJoystickIsPresent());  // the null device reports none
    send(e);
    EXPECT_TRUE(keJoystickFireA());
    EXPECT_FALSE(keJoystickFireB());
    EXPECT_TRUE(keJoystickFireC());
    EXPECT_TRUE(keJoystickFireX(31));
    EXPECT_FALSE(keJoystickFireX(32));
    EXPECT_FALSE(keJoystickFireX(-1));
    EXPECT_EQ(keJoystickX(), 0);
    EXPECT_EQ(keJoystickY(), -1500);
    EXPECT_EQ(keJoystickV(), 20000);
    EXPECT_TRUE(keJoystickUp());
    EXPECT_TRUE(keJoystickRight());
    EXPECT_FALSE(keJoystickLeft());
    keDisableJoystick();
    EXPECT_FALSE(keJoystickFireA());
}

TEST_F(InputApi, WindowAndScreenOfTheNullDevice) {
    EXPECT_EQ(keScreenWidth(), 640);
    EXPECT_EQ(keScreenHeight(), 480);
    EXPECT_FALSE(keWindowMode());
    EXPECT_EQ(keHideWindow(), 0);  // no window to hide: nothing happens
    EXPECT_EQ(keShowWindow(), 0);
}

}  // namespace
