// The LightWave surface ("lwsr"): 39 channels, each a value of three floats (a scalar uses
// the first; an integer channel keeps a signed 32-bit integer in the first word), an optional
// texture and the texture's colour-space flag (sRGB when set).
#pragma once

#include "fx/IKeSurface.h"

#include <irrlicht/vector3d.h>

namespace irr {
namespace video {
class ITexture;
}
}  // namespace irr

namespace kolm {

enum KeLightwaveChannel : irr::u32 {
    KE_LW_BASE_COLOR = 0,
    KE_LW_LUMINOSITY = 1,
    KE_LW_DIFFUSE = 2,
    KE_LW_SPECULARITY = 3,
    KE_LW_REFLECTIVITY = 4,
    KE_LW_TRANSPARENCY = 5,
    KE_LW_TRANSLUCENCY = 6,
    KE_LW_IOR = 7,
    KE_LW_BUMP = 8,
    KE_LW_GLOSSINESS = 9,
    KE_LW_GLOW_VALUE = 25,
    KE_LW_LINE_SIZE = 27,
    KE_LW_ALPHA_OPTIONS = 28,
    KE_LW_REFLECTION_OPTIONS = 29,
    KE_LW_REFRACTION_OPTIONS = 30,
    KE_LW_SIDEDNESS = 31,
    KE_LW_EXCLUDE_FROM_VSTACK = 32,
    KE_LW_GLOW = 33,
    KE_LW_RENDER_OUTLINES = 34,
    KE_LW_REFLECTION_IMAGE = 35,
    KE_LW_REFRACTION_IMAGE = 36,
    KE_LW_VERTEX_COLORING = 37,
    KE_LW_VERTEX_NORMAL = 38,
    KE_LW_CHANNEL_COUNT = 39,
};

// "BaseColor" ... "VertexNormal"; null above 38.
const irr::c8* keLightwaveChannelName(irr::u32 channel);
// The channel of a name (exact case), or KE_LW_CHANNEL_COUNT.
irr::u32 keLightwaveChannelOfName(const irr::c8* name);
// Whether the channel holds an integer (the option, sidedness and switch channels 28-34).
bool keLightwaveChannelIsInt(irr::u32 channel);

struct KeLightwaveChannelRecord {
    irr::f32 value[3];
    irr::video::ITexture* texture;  // not owned
    bool colorSpace;
};

// The whole block, copied at once by setParameters and clone.
struct KeLightwaveChannels {
    KeLightwaveChannelRecord channel[KE_LW_CHANNEL_COUNT];
};

// A new surface's block: all zero without textures, except BaseColor (0.78, 0.78, 0.78),
// Diffuse 1, Bump 1, Glossiness 0.4, LineSize 1, VertexColoring 1.
KeLightwaveChannels keLightwaveDefaults();

class IKeSurfaceLightwave : public IKeSurface {
public:
    // Setters ignore a channel above 38; getters answer 0 (or null) there.
    virtual void setFloat(irr::u32 channel, irr::f32 value) = 0;
    virtual void setInt(irr::u32 channel, irr::s32 value) = 0;
    virtual void setVector(irr::u32 channel, const irr::core::vector3df& value) = 0;
    virtual void setTexture(irr::u32 channel, irr::video::ITexture* texture) = 0;
    virtual void setColorSpace(irr::u32 channel, bool srgb) = 0;
    virtual irr::f32 getFloat(irr::u32 channel) const = 0;
    virtual irr::s32 getInt(irr::u32 channel) const = 0;
    virtual irr::core::vector3df getVector(irr::u32 channel) const = 0;
    virtual irr::video::ITexture* getTexture(irr::u32 channel) const = 0;
    virtual bool getColorSpace(irr::u32 channel) const = 0;
    virtual void setParameters(const KeLightwaveChannels& block) = 0;
    virtual const KeLightwaveChannels& getParameters() const = 0;
};

}  // namespace kolm
