// Cube map commands of the object API: cube render targets registered under IDs in the cube
// map table (capacity 1000), rendered from a position in the scene and bound to objects for
// reflections.
//
// Unknown IDs record "CubeMap ID %d does not exist. %s" with index 1 and fail (keCubeMapExist
// and keDeleteCubeMap never record anything).
#pragma once

namespace kolm {

class IKeCubeMap;

// What a cube map ID holds.
struct KeCubeMapRecord {
    IKeCubeMap* cubeMap = nullptr;  // one reference
};

// The colour format of the cube maps the commands make (ECF_A16B16G16R16F).
constexpr int KE_CUBE_MAP_FORMAT = 12;

// 0, or -1 after "invalid CubeMap ID %d : %s" (index 1) or "Failed to create cube map"
// (index -1; the ID is free again).
int keMakeCubeMap(int id, int size);
bool keCubeMapExist(int id);
// Objects whose node extension uses the cube map's texture drop it first. Always 0.
int keDeleteCubeMap(int id);
// Clears the six faces and marks the cube map as not rendered. 0 or -1.
int keClearCubeMap(int id);
bool keCubeMapRendered(int id);
// Renders the six faces from (x, y, z) with the current renderer within the engine's frame
// (begun first when needed), then draws into the back buffer again. 0, or -1 after "Failed to
// render cube map" (index -1).
int keRenderCubeMap(int id, float x, float y, float z);

// The cube map of a registered ID without recording anything (null otherwise).
IKeCubeMap* keCubeMapGet(int id);

}  // namespace kolm
