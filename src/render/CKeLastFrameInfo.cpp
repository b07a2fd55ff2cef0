#include "render/CKeLastFrameInfo.h"

#include <irrlicht/ITimer.h>
#include <irrlicht/IVideoDriver.h>

namespace kolm {

using namespace irr;

CKeLastFrameInfo::CKeLastFrameInfo(ITimer* timer, video::IVideoDriver* driver) : m_timer(timer), m_driver(driver) {}

void CKeLastFrameInfo::update() {
    const u32 now = m_timer ? m_timer->getTime() : 0;
    if (m_driver)
        record(now, m_driver->getTransform(video::ETS_VIEW), m_driver->getTransform(video::ETS_PROJECTION));
    else
        record(now, m_view, m_projection);
}

void CKeLastFrameInfo::record(u32 nowMs, const core::matrix4& view, const core::matrix4& projection) {
    const bool sample = m_hasLastTime && nowMs >= m_lastTime;
    const u32 delta = sample ? nowMs - m_lastTime : 0;
    m_lastTime = nowMs;
    m_hasLastTime = true;
    if (sample) {
        if (m_count < kRing) ++m_count;
        m_total = m_total + delta - m_frameTimes[m_position];
        m_frameTimes[m_position] = delta;
        m_position = (m_position + 1) % kRing;
        // With a total of 0 ms (several frames in one millisecond) there is no rate to give:
        // 0 rather than an infinite value that would reach the shaders.
        m_frameTime = static_cast<f32>(m_total) / (static_cast<f32>(m_count) * 1000.0f);
        m_fps = m_total ? 1.0f / m_frameTime : 0.0f;
    }
    m_projection = projection;
    m_view = view;
}

}  // namespace kolm
