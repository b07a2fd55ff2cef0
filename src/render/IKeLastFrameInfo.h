// The last-frame information: what effects that depend on motion and on the frame rate read
// about the frames already drawn (the "Prev..." and "Fps" semantics). The frame loop updates it
// once per frame, after the scene has ended, so that while frame n is drawn it holds the view
// and projection of frame n - 1 and the frame times up to frame n - 1.
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrTypes.h>
#include <irrlicht/matrix4.h>

namespace kolm {

class IKeLastFrameInfo : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeLastFrameInfo() {}
    // Takes the time of the frame just drawn and the video driver's current view and projection.
    virtual void update() = 0;
    // Frames per second over the last (at most 30) frame durations; 0 before two frames were
    // seen and while the measured durations add up to 0 ms.
    virtual irr::f32 getFps() = 0;
    virtual irr::core::matrix4* getProjection() = 0;
    virtual irr::core::matrix4* getView() = 0;
};

}  // namespace kolm
