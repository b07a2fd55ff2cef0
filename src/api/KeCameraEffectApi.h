// Camera effect commands of the object API: full-screen effects under IDs of the camera effect
// table (capacity 1000) that run over the finished image, and the shown list that decides
// which of them run and in which order.
//
// The shown list holds camera effect IDs in the order in which they were shown; an ID shown
// twice is in it twice (its effect runs twice per frame). The priority does not change the
// order. Each frame drawn to the back buffer hands the renderer the effects of the list, in
// list order (keSetShownCameraEffects of the engine); the list never holds an ID that is not
// registered.
//
// Operations on an existing ID record "Camera Effect ID %d does not exist. %s" with index 1
// when the ID is not registered and then do nothing else (keCameraEffectExist and
// keDeleteCameraEffect never record anything). Results: 0, or -1 after the recorded message.
#pragma once

namespace kolm {

class IKeEffect;

// What a camera effect ID holds.
struct KeCameraEffectRecord {
    IKeEffect* effect = nullptr;  // one reference
    int shown = 0;                // 1 while the ID is in the shown list
    int priority = 0;
};

// A camera effect sharing the runtime effect of effect ID effectId (one more reference).
// "Effect ID %d does not exist. %s" [2] (nothing registered), "invalid Camera Effect ID %d : %s"
// [1] (a registered ID included: the script command deletes it first).
int keMakeCameraEffect(int cameraEffectId, int effectId);
// A camera effect of its own from an effect file, found in the search directories.
// "invalid Camera Effect ID %d : %s" [1]; "Camera Effect ID %d : Failed to compile effect %s"
// [2] with a message box (the file as given), the ID left free.
int keMakeCameraEffectFromFile(int cameraEffectId, const char* file);
bool keCameraEffectExist(int cameraEffectId);
// Takes every occurrence of the ID out of the shown list, releases the effect reference and
// frees the ID. An unregistered ID is ignored. Always 0.
int keDeleteCameraEffect(int cameraEffectId);
// Appends the ID to the shown list.
int keShowCameraEffect(int cameraEffectId);
// Takes the first occurrence of the ID out of the shown list. Once anything was ever shown, an
// ID that is not in the list reports "remove enabled FAILED to find ID=%d in enabled list"
// (ERROR with a message box, not recorded) and gives -1.
int keHideCameraEffect(int cameraEffectId);
int keSetCameraEffectPriority(int cameraEffectId, int priority);

// The shown list: its length and the ID at `index` (-1 out of range).
int keShownCameraEffectCount();
int keShownCameraEffectId(int index);
// The effect of a registered ID without recording anything (null otherwise).
IKeEffect* keCameraEffectGet(int cameraEffectId);
// Deletes every registered camera effect (engine shut-down: before the engine manager goes).
void keDeleteAllCameraEffects();

}  // namespace kolm
