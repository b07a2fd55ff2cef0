// The surface manager: LightWave surfaces by name ("lightwave", "lightwave_hv") or by kind
// code ("lwsr", "lwhv": four characters, the first in the lowest byte).
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrTypes.h>

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

class IKeSurface;

constexpr irr::u32 keFourCC(const char (&c)[5]) {
    return irr::u32(irr::u8(c[0])) | irr::u32(irr::u8(c[1])) << 8 | irr::u32(irr::u8(c[2])) << 16 |
           irr::u32(irr::u8(c[3])) << 24;
}
constexpr irr::u32 KE_SURFACE_LIGHTWAVE = keFourCC("lwsr");
constexpr irr::u32 KE_SURFACE_LIGHTWAVE_HV = keFourCC("lwhv");

class IKeSurfaceManager : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeSurfaceManager() {}
    // "lightwave" -> kind "lwsr", "lightwave_hv" -> "lwhv" (exact case); anything else null.
    virtual IKeSurface* createSurface(const char* name) = 0;
    // A new surface of the kind ("lwsr": CKeSurfaceLightwave, "lwhv": CKeSurfaceLightwaveHV;
    // one reference for the caller); null for other kinds.
    virtual IKeSurface* createSurfaceOfKind(irr::u32 kind) = 0;
};

IKeSurfaceManager* keCreateSurfaceManager(irr::IrrlichtDevice* device);
// The kind createSurface uses for a name; 0 for unknown names.
irr::u32 keSurfaceKindOfName(const char* name);

}  // namespace kolm
