#include "platform/KeJoystickHat.h"

#include <fcntl.h>
#include <linux/joystick.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace kolm {

bool keFindHatAxes(const uint8_t* axisMap, int axisCount, int* xAxis, int* yAxis) {
    int x = -1, y = -1;
    for (int i = 0; axisMap && i < axisCount; ++i) {
        if (axisMap[i] == KE_ABS_HAT0X && x < 0) x = i;
        if (axisMap[i] == KE_ABS_HAT0Y && y < 0) y = i;
    }
    if (x < 0 || y < 0) return false;
    if (xAxis) *xAxis = x;
    if (yAxis) *yAxis = y;
    return true;
}

uint16_t keHatAngle(int x, int y) {
    const int half = 16384;
    const bool left = x < -half, right = x > half;
    const bool up = y < -half, down = y > half;
    if (up && right) return 4500;
    if (right && down) return 13500;
    if (down && left) return 22500;
    if (left && up) return 31500;
    if (up) return 0;
    if (right) return 9000;
    if (down) return 18000;
    if (left) return 27000;
    return KE_JOYSTICK_HAT_CENTRED;
}

KeJoystickHat::~KeJoystickHat() { close(); }

bool KeJoystickHat::open(int number) {
    close();
    if (number < 0) return false;
    const char* const patterns[] = {"/dev/input/js%d", "/dev/js%d"};
    for (const char* pattern : patterns) {
        char path[64];
        std::snprintf(path, sizeof path, pattern, number);
        const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        uint8_t axes = 0;
        uint8_t map[ABS_CNT] = {};
        if (ioctl(fd, JSIOCGAXES, &axes) == 0 && ioctl(fd, JSIOCGAXMAP, map) >= 0 &&
            keFindHatAxes(map, axes, &m_xAxis, &m_yAxis)) {
            m_fd = fd;
            m_x = m_y = 0;
            return true;
        }
        ::close(fd);
        return false;
    }
    return false;
}

void KeJoystickHat::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_xAxis = m_yAxis = -1;
    m_x = m_y = 0;
}

uint16_t KeJoystickHat::poll() {
    if (m_fd < 0) return KE_JOYSTICK_HAT_CENTRED;
    js_event event;
    while (::read(m_fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
        if ((event.type & ~JS_EVENT_INIT) != JS_EVENT_AXIS) continue;
        if (event.number == m_xAxis) m_x = event.value;
        if (event.number == m_yAxis) m_y = event.value;
    }
    return keHatAngle(m_x, m_y);
}

}  // namespace kolm
