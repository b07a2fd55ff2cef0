// The fly camera's per-frame cost on the null device: a ride frame with keys held at 60 Hz
// (one step) and at 25 Hz (two or three steps).
#include "engine/CKeSceneNodeAnimatorCamera.h"

#include <benchmark/benchmark.h>

#include <irrlicht/irrlicht.h>

namespace {

using namespace irr;

void rideFrames(benchmark::State& state, u32 frameMs) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2du(800, 600));
    device->getLogger()->setLogLevel(ELL_NONE);
    scene::ICameraSceneNode* camera = device->getSceneManager()->addCameraSceneNode();
    auto* anim = new kolm::CKeSceneNodeAnimatorCamera(device, nullptr);
    anim->setWindowActiveQuery([](void*) { return true; }, nullptr);
    camera->addAnimator(anim);
    anim->setMode(kolm::KE_CAMERA_RIDE_DRAG);
    SEvent key{};
    key.EventType = EET_KEY_INPUT_EVENT;
    key.KeyInput.Key = KEY_UP;
    key.KeyInput.PressedDown = true;
    anim->OnEvent(key);
    u32 t = 1000;
    for (auto _ : state) {
        anim->animateNode(camera, t);
        t += frameMs;
    }
    state.counters["steps/frame"] = static_cast<double>(anim->getStepCount()) / static_cast<double>(state.iterations());
    anim->drop();
    device->drop();
}

void BM_RideFrame60Hz(benchmark::State& state) { rideFrames(state, 17); }
void BM_RideFrame25Hz(benchmark::State& state) { rideFrames(state, 40); }
BENCHMARK(BM_RideFrame60Hz);
BENCHMARK(BM_RideFrame25Hz);

}  // namespace
