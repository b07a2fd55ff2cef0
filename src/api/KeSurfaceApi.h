// Object surface commands of the object API: the LightWave surface bound to one row of an
// object's node extension gets its channel values, textures and effect.
//
// Parameters are the 39 channels of the LightWave surface, by index (keSurfaceParameterIndex
// maps the names scripts use). Values set here are read by the surface binds at every draw;
// textures reach the node's materials when the extension next writes the surface's row
// (binding an effect or a surface, or keUpdateObjectFromSurfaces). The compile macros that
// depend on the surface's textures are chosen only when an effect is loaded for the surface.
//
// The parameter setters first find the surface: "Object ID %d does not exist" [1], "Object ID %d
// unexpected format (no node extension)" [1], "Object ID %d has no surface %d" [2] (object, row).
// Parameter indices outside 0 .. 38 change nothing, and so do surfaces that are not LightWave
// surfaces (HyperVoxel surfaces have no channels). Results: 0, or -1 after the recorded message.
#pragma once

namespace kolm {

// The channel index of a parameter name ("BaseColor" 0 ... "VertexNormal" 38, exact case), or
// -1 for a name that is not one of them.
int keSurfaceParameterIndex(const char* name);

// A texture file into a channel, loaded with mip maps; the "ReflectionImage" channel takes a
// cube texture when the six face files of the name exist. "Texture does not exist '%s'" [4].
int keSetObjectSurfaceParamTex(int objectId, int surface, int parameter, const char* file);
int keSetObjectSurfaceParamInt(int objectId, int surface, int parameter, int value);
int keSetObjectSurfaceParamFloat(int objectId, int surface, int parameter, float value);
int keSetObjectSurfaceParamFloat3(int objectId, int surface, int parameter, float x, float y, float z);
// Binds effect ID effectId to the row (technique 0, pass 0; the extension takes its own
// reference). Checks the effect first ("Effect ID %d does not exist. %s" [3]), then the object
// and the row as the parameter setters do.
int keSetObjectSurfaceEffect(int objectId, int surface, int effectId);
// The technique of the row's effect (a row without one is left alone; the row is not checked).
int keSetObjectSurfaceEffectTechnique(int objectId, int surface, int technique);
// Prepares the object (tangents when its surfaces or effects need them) and writes every row
// into its materials again. -1 without a message when the mesh cannot be converted.
int keUpdateObjectFromSurfaces(int objectId);

}  // namespace kolm
