#include "app/KeObjectViewer.h"

#include "api/KeCameraApi.h"
#include "api/KeInputApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "api/KeWindowApi.h"
#include "core/KeError.h"
#include "runtime/KeEngine.h"

#include <cstdlib>

namespace kolm {
namespace {

constexpr int kObject = 1;
constexpr int kLight = 1;
constexpr uint32_t kBackdrop = 0x113366;  // 0xRRGGBB
constexpr int kFps = 30;                  // the animation's frames per second

KeObjectViewerLimits g_limits;
bool g_limitsSet = false;

KeObjectViewerLimits limits() {
    if (g_limitsSet) return g_limits;
    KeObjectViewerLimits l;
    if (const char* v = std::getenv("KOLM_VIEWER_FRAMES")) l.frames = std::atoi(v);
    if (const char* v = std::getenv("KOLM_VIEWER_MS")) l.ms = std::atoll(v);
    if (const char* v = std::getenv("KOLM_VIEWER_SCREENSHOT")) l.screenshot = *v ? v : nullptr;
    return l;
}

}  // namespace

void keObjectViewerSetLimits(const KeObjectViewerLimits& limits) {
    g_limits = limits;
    g_limitsSet = true;
}

void keObjectViewerClearLimits() {
    g_limits = KeObjectViewerLimits();
    g_limitsSet = false;
}

KeObjectViewerState keObjectViewerStart(float radius, int frames, int mouseX, int mouseY, int wheel, int64_t clock) {
    KeObjectViewerState s;
    s.radius = radius != 0.0f ? radius : 20.0f;
    s.distance = -1.5f * s.radius;
    s.mouseX = mouseX;
    s.mouseY = mouseY;
    s.wheel = wheel;
    s.frames = frames;
    s.t0 = clock;
    return s;
}

KeObjectViewerStep keObjectViewerFrame(KeObjectViewerState& s, const KeObjectViewerInput& in) {
    KeObjectViewerStep step;

    // Dragging with the left button alone turns the object, half a degree per pixel.
    bool turned = false;
    if (in.click == 1) {
        if (!s.dragging) {
            s.dragging = true;
        } else {
            const int dx = in.mouseX - s.mouseX;
            const int dy = in.mouseY - s.mouseY;
            s.yaw -= 0.5f * float(dx);
            s.pitch -= 0.5f * float(dy);
            turned = dx != 0 || dy != 0;
        }
        s.mouseX = in.mouseX;
        s.mouseY = in.mouseY;
    } else {
        s.dragging = false;
    }

    if (in.left) {
        s.yaw += 1.0f;
        turned = true;
    } else if (in.right) {
        s.yaw -= 1.0f;
        turned = true;
    }
    step.rotate = turned;

    // The wheel and Up/Down move the camera along z.
    const float before = s.distance;
    const int w = in.wheel - s.wheel;
    s.wheel = in.wheel;
    s.distance += float(w) * s.radius / 20.0f;
    if (in.up)
        s.distance -= s.radius / 40.0f;
    else if (in.down)
        s.distance += s.radius / 40.0f;
    step.moveCamera = s.distance != before;

    // The animation loops at 30 frames per second; the modulo is taken on whole milliseconds.
    if (s.frames >= 2) {
        const int64_t period = int64_t(s.frames) * 1000 / kFps;
        int64_t elapsed = (in.clock - s.t0) % period;
        if (elapsed < 0) elapsed += period;
        step.setFrame = true;
        step.frame = float(elapsed * kFps) / 1000.0f;
    }
    return step;
}

int keViewObject(const char* path) {
    if (!path) path = "";
    keLoadObject(path, kObject);
    if (!keObjectExist(kObject)) {
        reportError("Failed to load object %s\n", path);
        return -1;
    }
    keMakeLight(kLight);
    keSetDirectionalLight(kLight, 0, 0, 1);
    keColorBackdrop(kBackdrop);

    KeObjectViewerState state = keObjectViewerStart(keGetObjectRadius(kObject), keTotalObjectFrames(kObject),
                                                    keMouseX(), keMouseY(), keMouseZ(), 0);
    keRotateObject(kObject, 0, 0, 0);
    kePositionCamera(0, 0, state.distance);
    state.t0 = keTimer();

    const KeObjectViewerLimits limit = limits();
    int rendered = 0;
    while (keRun()) {
        if (keEscapeKeyEverPressed()) break;
        KeObjectViewerInput in;
        in.click = keMouseClick();
        in.mouseX = keMouseX();
        in.mouseY = keMouseY();
        in.wheel = keMouseZ();
        in.left = keLeftKey();
        in.right = keRightKey();
        in.up = keUpKey();
        in.down = keDownKey();
        in.clock = keTimer();
        if (limit.ms > 0 && in.clock - state.t0 >= limit.ms) break;

        const KeObjectViewerStep step = keObjectViewerFrame(state, in);
        if (step.rotate) keRotateObject(kObject, state.pitch, state.yaw, 0);
        if (step.moveCamera) kePositionCamera(0, 0, state.distance);
        if (step.setFrame) keSetObjectFrame(kObject, step.frame);

        keSync();
        if (!keIsWindowActive()) keSleep(20);
        ++rendered;
        if (limit.onFrame && !limit.onFrame(state, limit.user)) break;
        if (limit.frames > 0 && rendered >= limit.frames) break;
    }
    if (limit.screenshot) keScreenShot(limit.screenshot);
    keDeleteObject(kObject);
    return 0;
}

}  // namespace kolm
