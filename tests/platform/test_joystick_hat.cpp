// The joystick hat of Linux devices: which axes the kernel names as the hat, and the angle of
// their values.
#include "platform/KeJoystickHat.h"

#include <gtest/gtest.h>

namespace kolm {
namespace {

TEST(JoystickHat, HatAxesComeFromTheAxisMap) {
    // Event codes: 0x00 X, 0x01 Y, 0x02 Z, 0x03 RX, 0x04 RY, 0x05 RZ, 0x10/0x11 hat 0.
    const uint8_t pad[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x10, 0x11};  // triggers on 2 and 5
    const uint8_t stickOnly[] = {0x00, 0x01, 0x03, 0x04};                    // no hat at all
    const uint8_t hatFirst[] = {0x10, 0x11, 0x00, 0x01};
    const uint8_t halfHat[] = {0x00, 0x01, 0x10};
    int x = -1, y = -1;
    EXPECT_TRUE(keFindHatAxes(pad, 8, &x, &y));
    EXPECT_EQ(x, 6);
    EXPECT_EQ(y, 7);
    EXPECT_FALSE(keFindHatAxes(stickOnly, 4, &x, &y));
    EXPECT_TRUE(keFindHatAxes(hatFirst, 4, &x, &y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 1);
    EXPECT_FALSE(keFindHatAxes(halfHat, 3, &x, &y));
    EXPECT_FALSE(keFindHatAxes(pad, 6, &x, &y));  // the hat beyond the axes the device has
    EXPECT_FALSE(keFindHatAxes(nullptr, 8, &x, &y));
}

TEST(JoystickHat, AnglesClockwiseFromUp) {
    const struct {
        int x, y;
        uint16_t angle;
    } cases[] = {
        {0, 0, 65535},           {0, -32767, 0},          {32767, -32767, 4500},  {32767, 0, 9000},
        {32767, 32767, 13500},   {0, 32767, 18000},       {-32767, 32767, 22500}, {-32767, 0, 27000},
        {-32767, -32767, 31500}, {16384, -16384, 65535},  // half way is not pressed
        {16385, 0, 9000},
    };
    for (const auto& c : cases) EXPECT_EQ(keHatAngle(c.x, c.y), c.angle) << c.x << ", " << c.y;
}

TEST(JoystickHat, NoDeviceNoHat) {
    KeJoystickHat hat;
    EXPECT_FALSE(hat.open(-1));
    EXPECT_FALSE(hat.open(31));  // no such device on a test machine
    EXPECT_FALSE(hat.isOpen());
    EXPECT_EQ(hat.poll(), KE_JOYSTICK_HAT_CENTRED);
}

}  // namespace
}  // namespace kolm
