#include "fx/IKeSurfaceManager.h"

#include "fx/CKeSurfaceLightwave.h"
#include "fx/CKeSurfaceLightwaveHV.h"

#include <cstring>

namespace kolm {

using namespace irr;

u32 keSurfaceKindOfName(const char* name) {
    if (!name) return 0;
    if (std::strcmp(name, "lightwave") == 0) return KE_SURFACE_LIGHTWAVE;
    if (std::strcmp(name, "lightwave_hv") == 0) return KE_SURFACE_LIGHTWAVE_HV;
    return 0;
}

namespace {

class CKeSurfaceManager : public IKeSurfaceManager {
public:
    explicit CKeSurfaceManager(IrrlichtDevice* device) : m_device(device) {}
    IKeSurface* createSurface(const char* name) override {
        const u32 kind = keSurfaceKindOfName(name);
        return kind ? createSurfaceOfKind(kind) : nullptr;
    }
    IKeSurface* createSurfaceOfKind(u32 kind) override {
        if (kind == KE_SURFACE_LIGHTWAVE) return new CKeSurfaceLightwave();
        if (kind == KE_SURFACE_LIGHTWAVE_HV) return new CKeSurfaceLightwaveHV();
        return nullptr;
    }

private:
    [[maybe_unused]] IrrlichtDevice* m_device;
};

}  // namespace

IKeSurfaceManager* keCreateSurfaceManager(IrrlichtDevice* device) { return new CKeSurfaceManager(device); }

}  // namespace kolm
