// The LightWave surface (see IKeSurfaceLightwave.h).
#pragma once

#include "fx/IKeSurfaceLightwave.h"

namespace kolm {

class CKeSurfaceLightwave : public IKeSurfaceLightwave {
public:
    CKeSurfaceLightwave();

    irr::u32 getKind() const override;
    void initFromMaterial(const irr::video::SMaterial& material) override;
    void applyToMaterial(irr::video::SMaterial& material) const override;
    bool needsTangents() const override;
    bool getEffectCompileParameters(irr::video::E_MATERIAL_TYPE& baseMaterial, CKeMacro* macros, irr::u32& count,
                                    irr::scene::ISceneNode* node) const override;
    bool setEffectTextures(IKeEffect* effect) const override;
    bool setEffectTextureOnMaterial(irr::video::SMaterial& material, KeMaterialBinding& side, IKeEffect* effect,
                                    irr::s32 technique, irr::s32 pass) const override;
    IKeSurface* clone() const override;

    void setFloat(irr::u32 channel, irr::f32 value) override;
    void setInt(irr::u32 channel, irr::s32 value) override;
    void setVector(irr::u32 channel, const irr::core::vector3df& value) override;
    void setTexture(irr::u32 channel, irr::video::ITexture* texture) override;
    void setColorSpace(irr::u32 channel, bool srgb) override;
    irr::f32 getFloat(irr::u32 channel) const override;
    irr::s32 getInt(irr::u32 channel) const override;
    irr::core::vector3df getVector(irr::u32 channel) const override;
    irr::video::ITexture* getTexture(irr::u32 channel) const override;
    bool getColorSpace(irr::u32 channel) const override;
    void setParameters(const KeLightwaveChannels& block) override { m_block = block; }
    const KeLightwaveChannels& getParameters() const override { return m_block; }

    // IKeBindSurface
    irr::u32 getBindKind() const override { return getKind(); }
    bool getBindValue(const irr::c8* name, irr::f32* values, irr::u32 count) const override;
    irr::video::ITexture* getBindTexture(const irr::c8* name) const override;
    irr::f32 getBindGlow() const override { return getFloat(KE_LW_GLOW_VALUE); }

private:
    KeLightwaveChannels m_block;
};

}  // namespace kolm
