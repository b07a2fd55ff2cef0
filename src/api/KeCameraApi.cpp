#include "api/KeCameraApi.h"

#include "engine/IKeSceneNodeAnimatorCamera.h"
#include "render/IKeRendererLpp.h"
#include "runtime/KeEngine.h"

#include <irrlicht.h>

#include <cmath>

namespace kolm {

namespace {

IKeSceneNodeAnimatorCamera* fly() {
    // Start-up makes the camera's animator the fly camera (type KE_CAMERA_ANIMATOR_TYPE).
    return static_cast<IKeSceneNodeAnimatorCamera*>(keEngineContext().cameraAnimator);
}

KeRenderSettings g_renderSettings;

// The record into the light pre-pass renderer's post and streak settings. The viewer's gamma
// switch is not part of the record and stays as the renderer has it.
void handToRenderer() {
    auto* lpp = dynamic_cast<IKeRendererLpp*>(keCurrentRenderer());
    if (!lpp) return;
    const KeRenderSettings& r = g_renderSettings;
    LppPostSettings& p = *lpp->getPostSettings();
    p.dofEnabled = r.dofEnabled != 0;
    p.focalDistance = r.focalDistance;
    p.fStop = r.fStop;
    p.dofAdvanced = r.dofAdvanced != 0 ? 1.0f : 0.0f;
    p.dofFocalRangeMin = r.dofFocalRangeMin;
    p.dofFocalRangeMax = r.dofFocalRangeMax;
    p.dofFocalRangeFocused = r.dofFocalRangeFocused;
    p.dofRadiusScale = r.dofRadiusScale;
    p.glowEnabled = r.glowEnabled != 0;
    p.glowIntensity = r.glowIntensity;
    p.glowRadius = r.glowRadius;
    p.streakEnabled = r.streakEnabled != 0;
    p.bloomEnabled = r.bloomEnabled != 0;
    p.bloomSpecularMin = r.bloomSpecularMin;
    p.bloomCompose = r.bloomCompose;
    p.ssaoEnabled = r.ssaoEnabled != 0;
    p.ssao[0] = r.ssaoDistanceReach;
    p.ssao[1] = r.ssaoMaxDepthDecline;
    p.ssao[2] = r.ssaoDepthAliasingEpsilon;
    p.ssao[3] = r.ssaoOutputMultiplier;
    p.shadowEpsilonOverride = r.shadowEnabled != 0;
    p.shadowEpsilon = r.shadowEpsilon;
    // The scene's order (glow minimum, colour key, match, colorize, attenuation, angle, compose)
    // into the streak object's own; the fourth colour values are unused ones.
    LightStreakSettings& s = *lpp->getLightStreakSettings();
    s.glowMin = r.streak[0];
    s.colorKey[0] = r.streak[1];
    s.colorKey[1] = r.streak[2];
    s.colorKey[2] = r.streak[3];
    s.colorKey[3] = 1.0f;
    s.colorKeyMatch = r.streak[4];
    s.colorize[0] = r.streak[5];
    s.colorize[1] = r.streak[6];
    s.colorize[2] = r.streak[7];
    s.colorize[3] = 1.0f;
    s.attenuation = r.streak[8];
    s.angle = r.streak[9];
    s.compose = r.streak[10];
}

void removeCollisionResponse(irr::scene::ICameraSceneNode* camera) {
    const irr::core::list<irr::scene::ISceneNodeAnimator*>& animators = camera->getAnimators();
    for (auto it = animators.begin(); it != animators.end();) {
        irr::scene::ISceneNodeAnimator* animator = *it;
        ++it;  // removing invalidates the iterator of the removed entry only
        if (animator->getType() == irr::scene::ESNAT_COLLISION_RESPONSE) camera->removeAnimator(animator);
    }
}

}  // namespace

irr::scene::IMetaTriangleSelector* keCameraCollisionWorld(bool create) {
    const EngineContext& c = keEngineContext();
    if (!c.camera || !c.sceneManager) return nullptr;
    if (auto* world = dynamic_cast<irr::scene::IMetaTriangleSelector*>(c.camera->getTriangleSelector()))
        return world;
    if (!create) return nullptr;
    irr::scene::IMetaTriangleSelector* world = c.sceneManager->createMetaTriangleSelector();
    c.camera->setTriangleSelector(world);
    world->drop();  // the camera's reference
    return world;
}

int keAutomaticCameraCollisionOn(float radius, float gravity, float height) {
    const EngineContext& c = keEngineContext();
    if (!c.camera || !c.sceneManager) return -1;
    removeCollisionResponse(c.camera);
    irr::scene::IMetaTriangleSelector* world = keCameraCollisionWorld(true);
    irr::scene::ISceneNodeAnimatorCollisionResponse* response = c.sceneManager->createCollisionResponseAnimator(
        world, c.camera, irr::core::vector3df(radius, radius, radius), irr::core::vector3df(0, -gravity, 0),
        irr::core::vector3df(0, height, 0), 0.0005f);
    if (!response) return -1;
    c.camera->addAnimator(response);
    response->drop();
    return 0;
}

int keAutomaticCameraCollisionOff() {
    const EngineContext& c = keEngineContext();
    if (!c.camera) return -1;
    removeCollisionResponse(c.camera);
    return 0;
}

int kePositionCamera(float x, float y, float z) {
    IKeSceneNodeAnimatorCamera* animator = fly();
    if (!animator) return -1;
    animator->setPosition(x, y, z);
    return 0;
}

int keRotateCamera(float x, float y, float z) {
    IKeSceneNodeAnimatorCamera* animator = fly();
    if (!animator) return -1;
    animator->setRotation(x, y, z);
    return 0;
}

int keCameraAnimatorMode(int scriptMode) {
    if (scriptMode == 1) return KE_CAMERA_RIDE_MOUSE;
    if (scriptMode == 2) return KE_CAMERA_RIDE_DRAG;
    return KE_CAMERA_FOLLOW;
}

int keSetCameraMode(int mode) {
    IKeSceneNodeAnimatorCamera* animator = fly();
    if (!animator) return -1;
    animator->setMode(keCameraAnimatorMode(mode));
    return 0;
}

int keSetCameraMoveSpeed(float speed) {
    IKeSceneNodeAnimatorCamera* animator = fly();
    if (!animator) return -1;
    animator->setMoveSpeed(speed);
    return 0;
}

int keSetCameraJumpSpeed(float speed) {
    IKeSceneNodeAnimatorCamera* animator = fly();
    if (!animator) return -1;
    animator->setJumpSpeed(speed);
    return 0;
}

int keSetCameraFOV(float angle) {
    const EngineContext& c = keEngineContext();
    if (!c.camera || c.screenWidth <= 0) return -1;
    const double half = std::tan(angle * 3.14159265358979323846 / 180.0 * 0.5);
    c.camera->setFOV(static_cast<float>(2.0 * std::atan(half * c.screenHeight / c.screenWidth)));
    return 0;
}

int keSetCameraRotationXYZ() { return 0; }
int keSetCameraRotationZYX() { return 0; }

// ---------------------------------------------------------------------------------------------
// Render settings

const KeRenderSettings& keRenderSettings() { return g_renderSettings; }

void keResetRenderSettings() {
    g_renderSettings = KeRenderSettings();
    handToRenderer();
}

int keSetCameraDOF(int enabled, float focalDistance, float fStop) {
    g_renderSettings.dofEnabled = enabled;
    g_renderSettings.focalDistance = focalDistance;
    g_renderSettings.fStop = fStop;
    handToRenderer();
    return 0;
}

int keSetCameraAdvancedDOF(int advanced, float rangeMin, float rangeMax, float rangeFocused, float radiusScale) {
    g_renderSettings.dofAdvanced = advanced;
    g_renderSettings.dofFocalRangeMin = rangeMin;
    g_renderSettings.dofFocalRangeMax = rangeMax;
    g_renderSettings.dofFocalRangeFocused = rangeFocused;
    g_renderSettings.dofRadiusScale = radiusScale;
    handToRenderer();
    return 0;
}

int keSetCameraStereo(int mode, float separation, int useConvergence, float convergence) {
    g_renderSettings.stereoMode = mode;
    g_renderSettings.stereoSeparation = separation;
    g_renderSettings.stereoUseConvergence = useConvergence;
    g_renderSettings.stereoConvergence = convergence;
    return 0;
}

void keSetGlow(int on, float intensity, float radius) {
    g_renderSettings.glowEnabled = on;
    g_renderSettings.glowIntensity = intensity;
    g_renderSettings.glowRadius = radius;
    handToRenderer();
}

void keSetStreakEnable(int on) {
    g_renderSettings.streakEnabled = on;
    handToRenderer();
}

void keSetStreakValues(const float* values) {
    if (!values) return;
    for (int i = 0; i < KE_STREAK_VALUES; ++i) g_renderSettings.streak[i] = values[i];
    handToRenderer();
}

void keSetBloomEnable(int on) {
    g_renderSettings.bloomEnabled = on;
    handToRenderer();
}

void keSetBloomValues(float specularMin, float compose) {
    g_renderSettings.bloomSpecularMin = specularMin;
    g_renderSettings.bloomCompose = compose;
    handToRenderer();
}

void keSetSSAOEnable(int on) {
    g_renderSettings.ssaoEnabled = on;
    handToRenderer();
}

void keSetSSAOValues(float distanceReach, float maxDepthDecline, float depthAliasingEpsilon, float outputMultiplier) {
    g_renderSettings.ssaoDistanceReach = distanceReach;
    g_renderSettings.ssaoMaxDepthDecline = maxDepthDecline;
    g_renderSettings.ssaoDepthAliasingEpsilon = depthAliasingEpsilon;
    g_renderSettings.ssaoOutputMultiplier = outputMultiplier;
    handToRenderer();
}

void keSetShadowEnable(int on) {
    g_renderSettings.shadowEnabled = on;
    handToRenderer();
}

void keSetShadowEpsilon(float epsilon) {
    g_renderSettings.shadowEpsilon = epsilon;
    handToRenderer();
}

}  // namespace kolm
