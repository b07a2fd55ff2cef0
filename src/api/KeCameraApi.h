// Camera commands of the object API: the one camera that engine start-up makes, moved through
// its fly camera animator. Angles in degrees; positions in scene units. Without a running
// engine every operation does nothing and returns -1.
#pragma once

namespace irr {
namespace scene {
class IMetaTriangleSelector;
}  // namespace scene
}  // namespace irr

namespace kolm {

int kePositionCamera(float x, float y, float z);
// The library's Euler angles.
int keRotateCamera(float x, float y, float z);
// Script mode 1: ride looking with the mouse; 2: ride dragging with the left button; any
// other value: the animator follows the positions and rotations it is given.
int keSetCameraMode(int mode);
int keSetCameraMoveSpeed(float speed);  // units per millisecond
int keSetCameraJumpSpeed(float speed);
// The horizontal field of view in degrees: the camera's vertical one becomes
// 2 atan(tan(angle / 2) x height / width) for the screen size.
int keSetCameraFOV(float angle);
// Accepted for compatibility; the rotation order is always the library's.
int keSetCameraRotationXYZ();
int keSetCameraRotationZYX();

// Collision: the camera collides with the objects added to its collision world (a meta triangle
// selector set on the camera node, made on first use; keSetObjectCollisionOn adds objects).
// Replaces any collision response of the camera by one against the world: an ellipsoid of
// radius `radius` in every axis whose centre sits `height` above the camera (scene units),
// falling with `gravity` units per second, sliding 0.0005.
int keAutomaticCameraCollisionOn(float radius, float gravity, float height);
// Removes the camera's collision response (the world stays).
int keAutomaticCameraCollisionOff();
// The camera's collision world; made first when `create` (null without an engine, or when not
// made yet and `create` is false). Borrowed: the camera holds it.
irr::scene::IMetaTriangleSelector* keCameraCollisionWorld(bool create);

// The animator mode a script camera mode selects (1 -> 3, 2 -> 4, others -> 2).
int keCameraAnimatorMode(int scriptMode);

// ---------------------------------------------------------------------------------------------
// Render settings: the camera's depth of field and stereo (script commands and scene cameras)
// and the scene's post settings (scene animation). Every setter stores its values in the
// engine's record and hands the whole record to the light pre-pass renderer in use, so the next
// frame draws with them; under the simple renderer (and without an engine) they are only
// stored. Switches are 0 (off) or non-zero (on).

constexpr int KE_STREAK_VALUES = 11;

struct KeRenderSettings {
    int glowEnabled = 0;
    float glowIntensity = 0, glowRadius = 0;  // radius in pixels of the full-size image
    int streakEnabled = 0;
    // Glow minimum, colour key (r, g, b), colour key match, colorize (r, g, b), attenuation,
    // angle (degrees), compose: the order in which scenes deliver them.
    float streak[KE_STREAK_VALUES] = {};
    int bloomEnabled = 0;
    float bloomSpecularMin = 0, bloomCompose = 0;
    // Ambient occlusion: kept for the renderer, drawn by no stage.
    int ssaoEnabled = 0;
    float ssaoDistanceReach = 0, ssaoMaxDepthDecline = 0, ssaoDepthAliasingEpsilon = 0,
          ssaoOutputMultiplier = 0;
    // On: every light's shadow test uses shadowEpsilon instead of the light's own.
    int shadowEnabled = 0;
    float shadowEpsilon = 0;
    int dofEnabled = 0;
    float focalDistance = 0, fStop = 0;  // scene units; the lens's f-number
    // Non-zero: the artist's circle of confusion from the focal ranges (scene units) and the
    // radius scale instead of the physical one.
    int dofAdvanced = 0;
    float dofFocalRangeMin = 0, dofFocalRangeMax = 0, dofFocalRangeFocused = 0, dofRadiusScale = 0;
    // Stored for the scene and scripts; no renderer draws in stereo.
    int stereoMode = 0;
    float stereoSeparation = 0;
    int stereoUseConvergence = 0;
    float stereoConvergence = 0;
};
const KeRenderSettings& keRenderSettings();
// Back to the record's defaults (everything off) and handed to the renderer in use.
void keResetRenderSettings();

// Script commands SetCameraDOF, SetCameraAdvancedDOF, SetCameraStereo; always 0.
int keSetCameraDOF(int enabled, float focalDistance, float fStop);
int keSetCameraAdvancedDOF(int advanced, float rangeMin, float rangeMax, float rangeFocused, float radiusScale);
int keSetCameraStereo(int mode, float separation, int useConvergence, float convergence);

// The scene's render settings.
void keSetGlow(int on, float intensity, float radius);
void keSetStreakEnable(int on);
void keSetStreakValues(const float* values);  // KE_STREAK_VALUES, in the record's order
void keSetBloomEnable(int on);
void keSetBloomValues(float specularMin, float compose);
void keSetSSAOEnable(int on);
void keSetSSAOValues(float distanceReach, float maxDepthDecline, float depthAliasingEpsilon, float outputMultiplier);
void keSetShadowEnable(int on);
void keSetShadowEpsilon(float epsilon);

}  // namespace kolm
