// The HyperVoxel surface (see IKeSurfaceLightwaveHV.h).
#pragma once

#include "fx/IKeSurfaceLightwaveHV.h"

namespace kolm {

class CKeSurfaceLightwaveHV : public IKeSurfaceLightwaveHV {
public:
    irr::u32 getKind() const override;
    void initFromMaterial(const irr::video::SMaterial& material) override;
    void applyToMaterial(irr::video::SMaterial& material) const override;
    bool needsTangents() const override { return false; }
    bool getEffectCompileParameters(irr::video::E_MATERIAL_TYPE& baseMaterial, CKeMacro* macros, irr::u32& count,
                                    irr::scene::ISceneNode* node) const override;
    bool setEffectTextures(IKeEffect* effect) const override;
    bool setEffectTextureOnMaterial(irr::video::SMaterial& material, KeMaterialBinding& side, IKeEffect* effect,
                                    irr::s32 technique, irr::s32 pass) const override;
    IKeSurface* clone() const override;

    void setParameters(const KeHyperVoxelParams& block) override;
    const KeHyperVoxelParams& getParameters() const override { return m_block; }

    // IKeBindSurface
    irr::u32 getBindKind() const override { return getKind(); }
    bool getBindValue(const irr::c8* name, irr::f32* values, irr::u32 count) const override;
    irr::video::ITexture* getBindTexture(const irr::c8* name) const override;
    irr::f32 getBindGlow() const override { return m_block.glow; }

private:
    KeHyperVoxelParams m_block;
};

}  // namespace kolm
