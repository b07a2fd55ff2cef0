// The last-frame information over the device timer (milliseconds) and the video driver's
// transforms: a ring of the last 30 frame durations, their average and rate, and the view and
// projection of the last frame.
#pragma once

#include "render/IKeLastFrameInfo.h"

namespace irr {
class ITimer;
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace kolm {

class CKeLastFrameInfo : public IKeLastFrameInfo {
public:
    static constexpr irr::u32 kRing = 30;

    // Both borrowed; either may be null (then update reads nothing from it).
    CKeLastFrameInfo(irr::ITimer* timer, irr::video::IVideoDriver* driver);
    ~CKeLastFrameInfo() override {}

    void update() override;
    irr::f32 getFps() override { return m_fps; }
    irr::core::matrix4* getProjection() override { return &m_projection; }
    irr::core::matrix4* getView() override { return &m_view; }

    // The work of update with the time and matrices given. A frame duration is sampled only
    // when an earlier time is known: the first call only remembers `nowMs`. A time before the
    // previous one (the clock was set back) gives no sample either, and becomes the new
    // previous time.
    void record(irr::u32 nowMs, const irr::core::matrix4& view, const irr::core::matrix4& projection);

    // Average frame duration in seconds (0 while no time has been measured).
    irr::f32 getFrameTime() const { return m_frameTime; }
    // Valid ring entries (at most 30) and their sum in milliseconds.
    irr::u32 getCount() const { return m_count; }
    irr::u32 getTotal() const { return m_total; }

private:
    irr::ITimer* m_timer;
    irr::video::IVideoDriver* m_driver;
    irr::core::matrix4 m_projection;
    irr::core::matrix4 m_view;
    // The clock of the engine starts at 0, so 0 is a real time and cannot mean "none yet".
    bool m_hasLastTime = false;
    irr::u32 m_lastTime = 0;
    irr::u32 m_frameTimes[kRing] = {};
    irr::u32 m_count = 0;
    irr::u32 m_position = 0;
    irr::u32 m_total = 0;
    irr::f32 m_frameTime = 0;
    irr::f32 m_fps = 0;
};

}  // namespace kolm
