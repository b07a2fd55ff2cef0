// The scene viewer's timeline: which scene time a frame shows, driven by the engine clock, the
// keys and the music position that the caller hands in each frame. It owns no window, engine or
// music; what it decides for the music goes through KeViewerMusic, what the window must do
// (ride, debug display, camera speed) comes back in KeViewerStep. Times are ms: the clock A in
// engine-clock ms, scene times from the scene's first frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kolm {

// Virtual key codes the viewer reads.
enum KeViewerKey : int {
    KE_VK_RETURN = 13,
    KE_VK_SHIFT = 16,
    KE_VK_SPACE = 32,
    KE_VK_LEFT = 37,
    KE_VK_RIGHT = 39,
    KE_VK_1 = 0x31,
    KE_VK_2 = 0x32,
    KE_VK_ADD = 107,       // numeric pad plus
    KE_VK_SUBTRACT = 109,  // numeric pad minus
    KE_VK_F12 = 123,
    KE_VK_PLUS = 187,
    KE_VK_MINUS = 189,
};

// The music the timeline steers (music ID 1 of the viewer); called only when music was loaded.
class KeViewerMusic {
public:
    virtual ~KeViewerMusic() {}
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void setPosition(int64_t ms) = 0;
};

// The scene as the timeline sees it.
struct KeViewerScene {
    int firstFrame = 0;
    int frameRate = 1;  // frames per second, truncated (at least 1)
    int length = 0;     // ms
    int musicOffset = 0;  // ms: where scene time 0 lies in the music
};

// One frame's inputs.
struct KeViewerInput {
    int64_t clock = 0;            // A: the engine clock now
    const bool* keys = nullptr;   // 256 key states by virtual key code (null: none down)
    bool rightButton = false;
    bool windowActive = true;
    int64_t musicPosition = -1;   // ms, -1 when unknown (or no music)
};

// What one frame decided.
struct KeViewerStep {
    bool skip = false;          // idle: sleep 10 ms and render nothing this frame
    int sceneTime = 0;          // B
    bool evaluate = false;      // animate the scene at B
    bool rideChanged = false;   // riding was toggled (right button)
    bool speedChanged = false;  // rideSpeed changed (keys 1 and 2)
    bool toggleDebug = false;   // F12 pressed
};

class KeViewerTimeline {
public:
    KeViewerTimeline(const KeViewerScene& scene, bool musicLoaded, bool riding, int rideSpeed);

    // Start steps: with frameStart >= 0 (the "-framestart" frame; -1 for none) the time of that
    // frame, clamped to the scene, is where playing starts; with `paused` the timeline starts
    // paused there, otherwise the music is put at that point and played.
    void start(int64_t clock, int frameStart, bool paused, KeViewerMusic* music);

    // One frame: the idle rule, the scene time, the keys, the loop and end rules and whether to
    // evaluate. noIdleInactive turns the idle rule off.
    KeViewerStep frame(const KeViewerInput& in, bool noIdleInactive, KeViewerMusic* music);

    // Shows scene time t from now on (sync frame, reload): paused, it becomes the paused time;
    // playing, the clock origin moves and the music follows. Forces the next evaluation.
    void follow(int64_t clock, int64_t t, KeViewerMusic* music);
    // Scene time of frame number f of the current scene (at least 0; not limited above).
    int64_t timeOfFrame(double frame) const;
    // Frame number at scene time t: first frame + frame rate x t / 1000.
    double frameAt(int64_t t) const;
    // A reloaded scene: new first frame, frame rate, length and (when given) music offset.
    void setScene(const KeViewerScene& scene) { m_scene = scene; }
    const KeViewerScene& scene() const { return m_scene; }

    bool paused() const { return m_paused; }
    bool looping() const { return m_loop; }
    bool riding() const { return m_riding; }
    int rideSpeed() const { return m_rideSpeed; }
    int64_t origin() const { return m_origin; }
    int64_t pausedTime() const { return m_pausedTime; }
    int lastSceneTime() const { return m_lastSceneTime; }

private:
    void pauseMusic(KeViewerMusic* music);
    void moveMusic(int64_t clock, KeViewerMusic* music);
    bool pressed(const KeViewerInput& in, int key);
    static bool down(const KeViewerInput& in, int key) { return in.keys && key >= 0 && key < 256 && in.keys[key]; }

    KeViewerScene m_scene;
    int64_t m_origin = 0;
    bool m_paused = false;
    int64_t m_pausedTime = 0;
    int64_t m_lastPausedTime = 0;
    bool m_forceEvaluate = true;
    bool m_loop = false;
    bool m_musicLoaded = false;
    bool m_musicPausedByUser = false;
    bool m_riding = false;
    int m_rideSpeed = 1000;
    int m_idleCount = 0;
    int m_lastSceneTime = 0;
    bool m_previousKeys[256] = {};
    bool m_previousRightButton = false;
};

// Overlay texts, written into `out` (at least 64 characters).
// "Frame=%4.2f time=%dmn%dsec%d millisec=%d" for scene time t.
void keViewerFrameText(char* out, size_t size, const KeViewerTimeline& timeline, int t);
// "FPS=%.2f (%.2f ms/frm)" for d ms spent on the last 30 frames.
void keViewerFpsText(char* out, size_t size, int64_t d);
// Heading and pitch in degrees, each within -180..180, of the direction (x, y, z) from the
// camera to its target.
void keViewerHeadingPitch(float x, float y, float z, float* heading, float* pitch);

}  // namespace kolm
