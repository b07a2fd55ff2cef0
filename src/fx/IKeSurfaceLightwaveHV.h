// The HyperVoxel surface ("lwhv"): the particle look of a LightWave HyperVoxel, filled as one
// block by the scene loader.
#pragma once

#include "fx/IKeSurface.h"

namespace irr {
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

constexpr irr::u32 KE_HV_MAX_KEYS = 9;

enum KeHyperVoxelBlend : irr::s32 {
    KE_HV_BLEND_ALPHA = 0,
    KE_HV_BLEND_ADD = 1,
    KE_HV_BLEND_SUBTRACT = 2,
};

struct KeHyperVoxelParams {
    bool hasTexture = false;
    irr::f32 color[4] = {1, 1, 1, 1};
    irr::f32 size = 0.2f;
    irr::f32 rotation = 0.0f;  // radians
    irr::s32 blendMode = KE_HV_BLEND_ADD;
    irr::u32 colorKeyCount = 0;  // at most KE_HV_MAX_KEYS
    irr::f32 colorKeyParams[KE_HV_MAX_KEYS] = {};
    irr::f32 colorKeyValues[KE_HV_MAX_KEYS][4] = {};
    irr::u32 sizeKeyCount = 0;  // at most KE_HV_MAX_KEYS
    irr::f32 sizeKeyParams[KE_HV_MAX_KEYS] = {};
    irr::f32 sizeKeyValues[KE_HV_MAX_KEYS] = {};
    irr::f32 glow = 1.0f;
    irr::video::ITexture* clipTexture = nullptr;  // not owned
};

class IKeSurfaceLightwaveHV : public IKeSurface {
public:
    virtual void setParameters(const KeHyperVoxelParams& block) = 0;
    virtual const KeHyperVoxelParams& getParameters() const = 0;
};

}  // namespace kolm
