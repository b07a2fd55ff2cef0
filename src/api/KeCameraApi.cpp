#include "api/KeCameraApi.h"

#include "engine/IKeSceneNodeAnimatorCamera.h"
#include "runtime/KeEngine.h"

#include <irrlicht.h>

#include <cmath>

namespace kolm {

namespace {

IKeSceneNodeAnimatorCamera* fly() {
    // Start-up makes the camera's animator the fly camera (type KE_CAMERA_ANIMATOR_TYPE).
    return static_cast<IKeSceneNodeAnimatorCamera*>(keEngineContext().cameraAnimator);
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

}  // namespace kolm
