// Light commands of the object API: lights are the library's light scene nodes, registered in
// the engine's light list (a one-pointer cell per ID that holds a reference to its node), and
// the scene-wide ambient light and backdrop colour.
//
// Operations on an existing ID record "Light ID %d does not exist. %s" with index 1 when the ID
// is not registered and then do nothing else (0 or false returned, -1 for the creating one).
// Colours are 0xRRGGBB integers (bits 24 to 31 carry the alpha where an operation reads it);
// angles are degrees, the library's Euler convention.
#pragma once

#include <cstdint>

namespace irr {
namespace scene {
class ILightSceneNode;
}  // namespace scene
}  // namespace irr

namespace kolm {

// Registers id and makes a white light at the origin (no parent, radius 10000000, the light's
// extension when the engine makes one). "invalid Light ID %d : %s" [1] or "failed to create
// light" [-1] (the ID stays free) and -1 on failure.
int keMakeLight(int id);
// Type directional (2), then the rotation.
int keSetDirectionalLight(int id, float x, float y, float z);
// Type spot (1) with inner and outer cone angles in degrees.
int keSetSpotLight(int id, float inner, float outer);
// Type point (0), then the position.
int keSetPointLight(int id, float x, float y, float z);
bool keLightExist(int id);  // never records anything
bool keLightVisible(int id);
int keSetLightRange(int id, float range);  // the light's radius
// The light's colour becomes the colour's four channels / 255 (alpha from bits 24 to 31) at
// intensity 1; so does its diffuse colour.
int keColorLight(int id, uint32_t colour);
// The light's colour becomes (r, g, b) with alpha 1 (channels in 0 .. 1, more for over-bright
// lights); the diffuse colour is colour x intensity, alpha 1.
int keSetLightRawColor(int id, float r, float g, float b);
// The diffuse colour becomes the light's colour x intensity, alpha 1.
int keSetLightIntensity(int id, float intensity);
// The colour of the light's shadows: the colour's four channels / 255.
int keColorLightShadow(int id, uint32_t colour);
// Shadow-map size in texels and fuzz (the blur of the shadow's edge), read by the shadow-map
// stage of the renderer.
int keSetShadowMapSize(int id, int size);
int keSetShadowMapFuzz(int id, float fuzz);
int keShowLight(int id);
int keHideLight(int id);
int keDeleteLight(int id);  // an unregistered ID is ignored without error
int kePositionLight(int id, float x, float y, float z);
int keRotateLight(int id, float x, float y, float z);
int keSetLightShadow(int id, bool on);  // the node's shadow casting
// Accepted for compatibility; the rotation order is always the library's. Checks nothing.
int keSetLightRotationXYZ(int id);
int keSetLightRotationZYX(int id);

// The scene manager's ambient light: the colour's channels / 255, alpha 1.
int keColorAmbientLight(uint32_t colour);
// The colour every frame is cleared with.
int keColorBackdrop(uint32_t colour);

// The light node of a registered ID without recording anything (null otherwise); for the
// engine's own use and tests.
irr::scene::ILightSceneNode* keLightGet(int id);

// Deletes every registered light (engine shut-down: before the device goes).
void keDeleteAllLights();

}  // namespace kolm
