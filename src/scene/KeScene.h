// Scene slots: a scene document (KF text or binary) loaded into one of 60 slots becomes cube
// maps, objects (with clones), lights and camera effects registered through the object API
// (scene/KeSceneCalls.h) under consecutive ID ranges chosen by the caller: item i of a kind has
// the ID base + i. The slot keeps the parsed document, whose nodes its description points at,
// until it is unloaded.
//
// Time: scene time t in ms; channel sample position s = t / 1000 * framesPerSecond / frameStep;
// absolute frame F = t * framesPerSecond / 1000 + frameStart. Documents whose frame rate is
// below 1 or whose frame step is below 1 are refused, since both divide.
//
// Slot numbers outside 0..59 do nothing (results 0 or -1). Main thread only.
#pragma once

#include "kf/KF_Document.h"

namespace kolm {

constexpr int KE_SCENE_SLOTS = 60;
constexpr int KE_SCENE_MAX_CAMERA_EFFECTS = 20;
constexpr int KE_SCENE_MAX_SURFACES = 256;  // surfaces applied per object
constexpr int KE_SCENE_MAX_MORPHS = 60;     // morph weights passed per object and frame
constexpr float KE_SCENE_RAD_TO_DEG = 57.295776f;

// One evaluated effect or surface parameter. Kinds: -1 not set (no "value"), 0 vector (an array
// of channels, or an "FP" of exactly three floats), 1 scalar (a channel or any other "FP"),
// 2 integer (first word of "I4"/"U4"), 3 string (for effect parameters a texture file).
struct KeSceneParameter {
    int kind = -1;
    const char* name = nullptr;
    float value[3] = {0, 0, 0};  // vector: all three; scalar: the first
    int integer = 0;
    const char* text = nullptr;  // points into the document
};
constexpr int KE_SCENE_MAX_PARAMETERS = 30;  // evaluated per list

// Evaluates the parameter groups of `parameters` (each named after its parameter and holding
// "value") at sample position s into `out`, at most min(capacity, 30); returns how many.
int keSceneEvaluateParameters(const KF_Node* parameters, float sample, KeSceneParameter* out, int capacity);

// The "Effect" group (of a surface's "Shader") that applies to each of the surfaces in `surfaces`
// (a scene object's "Surfaces"), at most capacity, into `out`; returns how many. Among its first
// 256 surfaces the last one with an effect and "applyToSurface" 2 gives the override effect,
// the last one with an effect and "applyToSurface" 1 the default effect. A surface whose
// "applyToSurface" is 3 gets none; any other the override effect, else its own, else the default
// effect, else none (null).
int keSceneSurfaceEffects(const KF_Node* surfaces, const KF_Node** out, int capacity);

// Called with the percentage of objects made (0 before the first); non-zero stops the load.
using KeSceneProgress = int (*)(int percent, void* user);

// 0 on success, 1 when the progress callback stopped the load (what was made stays in the slot),
// -1 on failure (the slot stays free). Everything is made hidden. A used slot is unloaded
// first. Scenes loaded under the same name share meshes: an object whose mesh file an active
// slot of that name (this one included) already loaded is cloned from it (with instanceMode,
// instanced; the same operation).
int keSceneLoad(const char* path, int slot, int objectBase, int lightBase, int emitterBase,
                int cubeMapBase, int cameraEffectBase, bool instanceMode, const char* name,
                bool extra);
// keSceneLoad for a document already loaded (KF_LoadMemory, KF_Load), which the slot takes
// over; it is released on failure and for a slot number out of range. `path` names the scene in
// messages. With askProgress the progress callback is asked before anything is done, as
// keSceneLoad asks it before reading the file.
int keSceneLoadDocument(KF_Document* doc, const char* path, int slot, int objectBase, int lightBase,
                        int emitterBase, int cubeMapBase, int cameraEffectBase, bool instanceMode,
                        const char* name, bool extra, bool askProgress = true);
// Loads the document and checks it as keSceneLoad would (a "Scene" group, the time rules),
// making nothing; the document is released again. 0 when it would load, -1 otherwise.
int keSceneCheck(const char* path);
// Deletes everything the slot made and frees it.
void keSceneUnload(int slot);
// Shows objects and (not for extra scenes) lights; a normal scene also sets the backdrop colour
// ("zenith", black when missing) and, when its render settings switch it on, the camera range.
void keSceneShow(int slot);
void keSceneHide(int slot);
// Pushes the render camera's field of view and transform (not for extra scenes), the ambient
// light, the transforms, frames (absolute frame, within the mesh's frames) and morph weights of
// objects, the transforms, colours, cones and ranges of lights, and shows the camera effects
// whose frame windows hold the absolute frame (hiding the others), at the scene time (ms).
void keSceneAnimate(int slot, int timeMs);
// Run once after loading, before the scene is first shown: shows the slot, animates it at 0,
// renders one frame into the dummy target so every node and texture is set up, renders the
// cube maps (twice, so the second pass sees the reflections of the first), hides the slot and
// resets the setting caches so the next animation sends every render setting again.
void keScenePrepare(int slot);
// Renders again the cube maps whose "renderType" is 1, at the scene time (ms).
void keSceneUpdate(int slot, int timeMs);
// Updates a loaded slot in place from the changed document at `path`, keeping IDs. 0, or -1
// when the new document cannot be loaded or the slot is free (the slot keeps its scene).
int keSceneReload(const char* path, int slot);

void keSceneSetProgress(KeSceneProgress callback, void* user);
// Reports of objects that cannot be loaded and cube maps that cannot be made (off at start).
void keSceneSetReporting(bool on);

bool keSceneActive(int slot);
int keSceneObjectCount(int slot);
int keSceneLightCount(int slot);
int keSceneCameraCount(int slot);
int keSceneEmitterCount(int slot);
int keSceneCubeMapCount(int slot);
int keSceneCameraEffectCount(int slot);  // as loaded: at most 20
int keSceneFirstFrame(int slot);
int keSceneFrameRate(int slot);  // frames per second, truncated
int keSceneLength(int slot);     // ms
const char* keSceneMusic(int slot);  // "loadAudio", null when missing or empty
int keSceneMusicOffset(int slot);    // ms: where scene time 0 lies in the music
float keSceneSamplePosition(int slot, int timeMs);
float keSceneAbsoluteFrame(int slot, int timeMs);
// The cube map ID that object `index` of the slot reflects at load, -1 for none.
int keSceneObjectCubeMap(int slot, int index);
// The slot's "Scene" group, for the animation and the viewer; null for a free slot.
KF_Node* keSceneRoot(int slot);

}  // namespace kolm
