// The engine side of a scene object's surface effects and of evaluated effect parameter lists:
// what the engine's scene call table does when the loader gives a surface row its effect, and
// when it sets an effect's parameter list (surface effects and camera effects alike).
#pragma once

namespace kolm {

class IKeEffect;
struct KeSceneParameter;

// First-time form of surface row `row` of object `objectId`, after its parameters and textures:
//  - a row whose "ReflectionImage" has no texture while the object reflects a cube map gets the
//    extension's indirect cube-map texture there (colour-space flag off);
//  - the surface's effect compile parameters (base material, macros) and the current renderer's
//    effect file and macros for that material choose the effect: its file is `ownFile` when the
//    surface has an effect of its own (non-empty), else the renderer's file; found by the
//    data-file search and created by the effect manager with the surface's macros followed by
//    the renderer's; bound to the row with technique 0 and pass 0. A renderer that names no
//    file (the simple renderer) leaves a surface without an effect of its own as it is.
// 0 on success (a surface left without an effect included). -1 after recording (argument 1)
// "Object ID %d does not exist", "Object ID %d unexpected format (no node extension)" or
// "Object ID %d has no surface %d, cannot SetSurfaces": the object's later rows are skipped.
// 1 after logging at ERROR "Object ID %d, Surf %d : Failed to get the effect compile parameters",
// "... : Failed to get the renderer effect" or "... : Failed to compile effect %s": the next row
// goes on.
int keSceneChooseSurfaceEffect(int objectId, int row, const char* ownFile);

// First-time form of the image of surface parameter `parameter` (0 .. 38) of row `row`: the
// texture of `file`, with mip-maps when `mipmaps` (parameter 35, "ReflectionImage", a cube
// texture when the six face files of the name exist), its colour-space flag `srgb`. A texture
// that cannot be loaded logs "Object ID %d, Surf %d, Param %d: texture '%s' not found" at ERROR
// and leaves the parameter without one (1). -1 without a LightWave surface in the row (quietly:
// the row's other work reports it). 0 on success.
int keSceneSetSurfaceImage(int objectId, int row, int parameter, const char* file, bool mipmaps, bool srgb);

// The evaluated parameter list of the effect bound to row `row` of object `objectId` (its effect
// file `file` names it in messages): in first-time form its textures, then in both forms its
// values. A row without an effect takes nothing (0). Messages in first-time form only:
// "Object ID %d Surface %d: failed to set textures of shader '%s'" and "Object ID %d Surface %d:
// failed to set parameters of shader '%s'" (recorded, argument 2). 0, or -1 when something of
// the list could not be set.
int keSceneSetSurfaceEffectParameters(int objectId, int row, const char* file, const KeSceneParameter* list,
                                      int count, bool firstTime);

// Applying a list to an effect. Textures: every string entry naming a texture parameter gets
// the texture of its file (of the parameter's type, through the data-file search), none for an
// empty text; a file that cannot be loaded leaves the parameter without one. Values: vectors,
// scalars and integers by parameter name; strings are textures and skipped. With `report` each
// entry that cannot be set is logged with `file` ("%s: failed to load texture '%s' of shader
// param %s", "%s: failed to set texture '%s' of shader param %s", "%s: no effect param with name
// '%s'", "%s: shader param '%s' unknown type %d"). False when any entry could not be set.
bool keSceneApplyEffectTextures(IKeEffect* effect, const char* file, const KeSceneParameter* list, int count);
bool keSceneApplyEffectValues(IKeEffect* effect, const char* file, const KeSceneParameter* list, int count,
                              bool report);

}  // namespace kolm
