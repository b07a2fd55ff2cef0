#include "app/KeSceneViewerTimeline.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kolm {

KeViewerTimeline::KeViewerTimeline(const KeViewerScene& scene, bool musicLoaded, bool riding, int rideSpeed)
    : m_scene(scene), m_musicLoaded(musicLoaded), m_riding(riding), m_rideSpeed(rideSpeed > 0 ? rideSpeed : 1000) {
    if (m_scene.frameRate < 1) m_scene.frameRate = 1;
    if (m_scene.length < 0) m_scene.length = 0;
}

int64_t KeViewerTimeline::timeOfFrame(double frame) const {
    const double t = (frame - m_scene.firstFrame) * 1000.0 / m_scene.frameRate;
    if (!(t > 0.0)) return 0;  // NaN included
    return t < 9.0e15 ? int64_t(t) : int64_t(9.0e15);
}

double KeViewerTimeline::frameAt(int64_t t) const {
    return m_scene.firstFrame + double(m_scene.frameRate) * double(t) / 1000.0;
}

void KeViewerTimeline::start(int64_t clock, int frameStart, bool paused, KeViewerMusic* music) {
    int64_t t = 0;
    if (frameStart >= 0) {
        t = timeOfFrame(frameStart);
        if (t > m_scene.length) t = m_scene.length;
    }
    m_origin = clock - t;
    if (paused) {
        m_paused = true;
        m_pausedTime = clock - m_origin;
    } else if (m_musicLoaded && music) {
        music->setPosition(clock + m_scene.musicOffset - m_origin);
        music->play();
    }
    m_lastSceneTime = int(t);
}

void KeViewerTimeline::pauseMusic(KeViewerMusic* music) {
    if (!m_musicLoaded || !music) return;
    music->pause();
    m_musicPausedByUser = true;
}

void KeViewerTimeline::moveMusic(int64_t clock, KeViewerMusic* music) {
    if (m_musicLoaded && music) music->setPosition(clock + m_scene.musicOffset - m_origin);
}

bool KeViewerTimeline::pressed(const KeViewerInput& in, int key) { return down(in, key) && !m_previousKeys[key]; }

void KeViewerTimeline::follow(int64_t clock, int64_t t, KeViewerMusic* music) {
    if (t < 0) t = 0;
    if (m_paused) {
        m_pausedTime = t > m_scene.length ? m_scene.length : t;
    } else {
        m_origin = clock - t;
        moveMusic(clock, music);
    }
    m_forceEvaluate = true;
}

KeViewerStep KeViewerTimeline::frame(const KeViewerInput& in, bool noIdleInactive, KeViewerMusic* music) {
    KeViewerStep step;
    const int64_t a = in.clock;
    const int64_t length = m_scene.length;

    // Idle: paused in an inactive window with nothing to show, only every 10th frame renders.
    if (!noIdleInactive && !m_forceEvaluate && m_paused && !in.windowActive) {
        if (++m_idleCount < 10) {
            step.skip = true;
            step.sceneTime = m_lastSceneTime;
            return step;
        }
        m_idleCount = 0;
    } else {
        m_idleCount = 0;
    }

    const bool musicKnown = m_musicLoaded && in.musicPosition >= 0;
    int64_t b = a - m_origin;
    if (m_paused)
        b = m_pausedTime;
    else if (musicKnown)
        b = in.musicPosition - m_scene.musicOffset;
    if (b > length) b = length;
    bool musicMoved = false;

    if (pressed(in, KE_VK_RETURN)) m_loop = !m_loop;

    if (pressed(in, KE_VK_SPACE)) {
        if (!m_paused) {
            m_paused = true;
            pauseMusic(music);
            m_pausedTime = b < 0 ? 0 : b;
        } else {
            m_paused = false;
            int64_t musicAt = 0;
            if (m_pausedTime != length) {
                m_origin = a - m_pausedTime;
                musicAt = m_pausedTime + m_scene.musicOffset;
            } else {  // paused at the end: play again from the start
                m_origin = a;
                b = 0;
                musicAt = m_scene.musicOffset;
            }
            if (m_musicLoaded && music) {
                music->setPosition(musicAt);
                if (m_musicPausedByUser) {
                    music->resume();
                    m_musicPausedByUser = false;
                } else {
                    music->play();
                }
            }
            musicMoved = true;
        }
    }

    // Stepping: Right and Left scrub unless riding (they steer the camera then); Plus and Minus
    // always do.
    const int size = down(in, KE_VK_SHIFT) ? 10 : 1;
    const bool forward = (down(in, KE_VK_RIGHT) && !m_riding) || down(in, KE_VK_PLUS) || down(in, KE_VK_ADD);
    const bool backward = (down(in, KE_VK_LEFT) && !m_riding) || down(in, KE_VK_MINUS) || down(in, KE_VK_SUBTRACT);
    if (m_paused) {
        if (forward) m_pausedTime += 5 * size;
        if (backward) m_pausedTime -= 5 * size;
        if (m_pausedTime < 0) m_pausedTime = 0;
        if (m_pausedTime > length) m_pausedTime = length;
    } else if (forward || backward) {
        if (forward) m_origin -= 10 * size;
        if (backward) m_origin += 10 * size;
        moveMusic(a, music);
        musicMoved = true;
    }

    // Before the start playing pauses at 0; at the end it wraps (with loop; the music plays on)
    // or pauses at the end.
    if (!m_paused) {
        if (a < m_origin) {
            m_origin = a;
            m_pausedTime = 0;
            m_paused = true;
            pauseMusic(music);
        } else if (a - m_origin >= length) {
            if (m_loop && length > 0) {
                m_origin += (a - m_origin) / length * length;
            } else if (!m_loop) {
                m_pausedTime = length;
                m_origin = a - length;
                m_paused = true;
                pauseMusic(music);
            }
        }
    }

    // The frame shows the time its keys chose.
    if (m_paused)
        b = m_pausedTime;
    else if (musicMoved || !musicKnown)
        b = a - m_origin;
    if (b > length) b = length;
    if (b < 0) b = 0;

    if (m_riding) {
        if (down(in, KE_VK_1)) {
            m_rideSpeed = m_rideSpeed > 11 ? m_rideSpeed - 10 : 1;
            step.speedChanged = true;
        }
        if (down(in, KE_VK_2)) {
            m_rideSpeed += 10;
            step.speedChanged = true;
        }
    }
    if (in.rightButton && !m_previousRightButton) {
        m_riding = !m_riding;
        step.rideChanged = true;
    }
    step.toggleDebug = pressed(in, KE_VK_F12);

    step.evaluate = !m_paused || m_pausedTime != m_lastPausedTime || m_forceEvaluate;
    m_forceEvaluate = false;
    m_lastPausedTime = m_pausedTime;
    step.sceneTime = int(b);
    m_lastSceneTime = step.sceneTime;

    for (int k = 0; k < 256; ++k) m_previousKeys[k] = down(in, k);
    m_previousRightButton = in.rightButton;
    return step;
}

void keViewerFrameText(char* out, size_t size, const KeViewerTimeline& timeline, int t) {
    std::snprintf(out, size, "Frame=%4.2f time=%dmn%dsec%d millisec=%d", timeline.frameAt(t), t / 60000,
                  (t / 1000) % 60, (t % 1000) / 100, t);
}

void keViewerFpsText(char* out, size_t size, int64_t d) {
    if (d <= 0) d = 1;  // 30 frames within one clock tick
    std::snprintf(out, size, "FPS=%.2f (%.2f ms/frm)", 30000.0 / double(d), double(d) / 30.0);
}

namespace {
float wrapDegrees(float a) {
    while (a > 180.0f) a -= 360.0f;
    while (a < -180.0f) a += 360.0f;
    return a;
}
}  // namespace

void keViewerHeadingPitch(float x, float y, float z, float* heading, float* pitch) {
    const float toDegrees = 57.295776f;
    *heading = wrapDegrees(std::atan2(x, z) * toDegrees);
    *pitch = wrapDegrees(std::atan2(std::sqrt(x * x + z * z), y) * toDegrees - 90.0f);
}

}  // namespace kolm
