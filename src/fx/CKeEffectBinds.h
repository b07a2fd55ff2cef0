// The built-in binds of the effect manager, in the order of its list: transforms, time,
// screen sizes, LightWave and HyperVoxel surface channels, the light parameter block, single
// lights, camera values, node-extension cube maps, the last frame, scene objects; semantic
// maps in front of them and the generic bind, which serves any parameter from its value cell,
// last.
//
// Matrix convention: a semantic without "Transpose" sends the library's matrix4 by name and
// its transpose by registers; one ending in "Transpose" the reverse. Positions go out as 4
// floats with w = 1, rotations with w = 0.
#pragma once

#include "fx/IKeEffectBind.h"
#include "fx/IKeEffectBindSemanticMap.h"
#include "fx/KeEffectBindContext.h"

#include <irrlicht/IVideoDriver.h>
#include <irrlicht/irrArray.h>

#include <map>
#include <string>

namespace kolm {

// The built-in binds reading `context` (shared with them), in list order, generic last. Each
// element holds one reference, which the caller takes over.
irr::core::array<IKeEffectBind*> keCreateBuiltinBinds(const KeEffectBindContextPtr& context);

// A new semantic map (one reference).
IKeEffectBindSemanticMap* keCreateSemanticMap();

// The light parameter block as the lights of the frame give it (at most 5: directional, then
// point, then spot lights). Public for tests.
struct KeLightBlock {
    irr::f32 num[3] = {};  // directional, point, spot counts
    irr::f32 ini[3] = {};  // index of the first light of each kind
    struct Light {
        irr::f32 color[3];
        irr::f32 position[3];
        irr::f32 direction[3];
        irr::f32 invRadiusSqr;
        irr::f32 spotAngles[2];  // cos(inner cone), cos(outer cone); cones in degrees
    } lights[5] = {};
};

// Builds the block from the driver's dynamic lights of the frame.
void keBuildLightBlock(const irr::video::IVideoDriver* driver, KeLightBlock& block);

}  // namespace kolm
