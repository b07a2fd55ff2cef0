// Effect commands of the object API: runtime effects loaded from effect files under IDs of the
// effect table (capacity 1000), their constants and textures set by parameter name.
//
// Operations on an existing ID record "Effect ID %d does not exist. %s" with index 1 when the ID
// is not registered and then do nothing else (keEffectExist and keDeleteEffect never record
// anything). Results: 0, or -1 after the recorded message.
#pragma once

#include <irrlicht/irrTypes.h>

namespace kolm {

class IKeEffect;
struct CKeMacro;

// What an effect ID holds.
struct KeEffectRecord {
    int id = 0;
    IKeEffect* effect = nullptr;  // one reference; null only while the effect is being loaded
};

// Room for macros when an effect is loaded for a surface: the surface's and the renderer's
// together, the terminating pair included.
constexpr int KE_SURFACE_EFFECT_MACROS = 20;

// Loads an effect file (the name as given, searched by the effect manager) under effectId with
// no base material and no macros. "invalid effect ID %d : %s" [2] when the ID cannot be
// registered (a registered ID included: the script command deletes it first); "Failed to load
// effect '%s' : %s" [1] with the file and the effect manager's error text, the ID left free.
int keLoadEffect(const char* file, int effectId);
// The same with a base material (a material type of the library, -1 for none) and a macro list
// ended by a null name (or null). The effect creation runs with the library's log on at least
// ERROR, so that compile errors reach the log.
int keLoadEffectWithParameters(const char* file, int effectId, irr::s32 baseMaterial, const CKeMacro* macros);
// The effect compiled for row `surface` of an object: the base material and macros of that
// surface (for that node) followed by the current renderer's macros. Checks, each failing with
// -1 and nothing registered: "Object ID %d does not exist" [3], "Object ID %d does not have node
// extension" [3], "Invalid surface ID %d for the Object ID %d" [4] (row, object), "Failed to get
// the effect compile parameters" [-1], "Failed to get the renderer effect" [-1]. The effect is
// registered, not bound: keSetObjectSurfaceEffect binds it.
int keLoadEffectForObjectSurface(const char* file, int effectId, int objectId, int surface);
bool keEffectExist(int effectId);
// Releases the record's reference: camera effects, objects and emitters that use the same
// runtime effect keep theirs. An unregistered ID is ignored. Always 0.
int keDeleteEffect(int effectId);

// Constant setters by parameter name: "Unknown constant '%s'" [2] when the effect has no such
// parameter, "failed to set value for constant '%s'" [2] when the effect refuses the value.
int keSetEffectConstantBoolean(int effectId, const char* name, bool value);
int keSetEffectConstantInteger(int effectId, const char* name, int value);
int keSetEffectConstantFloat(int effectId, const char* name, float value);
// `count` numbers (0 to 16) into the first values of the parameter; the rest keep theirs.
int keSetEffectConstantFloatN(int effectId, const char* name, const float* values, int count);
// A texture file (as given) of the parameter's type (volume and cube parameters get volume and
// cube textures) into the parameter, sRGB off. "Unknown texture '%s'" [2] stops; a file that
// cannot be loaded records "failed to load texture '%s' " [3] and clears the parameter's
// texture; "failed to set texture '%s'" [2] (the name) when the effect refuses it.
int keSetEffectTexture(int effectId, const char* name, const char* file);

// One texture of an effect parameter list (scene surfaces and camera effects, fx emitters):
// the parameter `name`, when the effect has it, gets the texture file `text` found with the
// data-file search (no texture for an empty name). False, with the error recorded at -1 and
// `listFile` naming the list in it, when the file cannot be loaded or the effect refuses it.
bool keSetEffectListTexture(IKeEffect* effect, const char* listFile, const char* name, const char* text);

// The effect of a registered ID without recording anything (null otherwise).
IKeEffect* keEffectGet(int effectId);
// Deletes every registered effect (engine shut-down: before the engine manager goes).
void keDeleteAllEffects();

}  // namespace kolm
