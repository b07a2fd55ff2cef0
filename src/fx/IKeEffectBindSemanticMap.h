// A bind whose values the application sets by semantic name: each name has a type (float 2 to
// float4x4 6) and 16 floats of value, zero at first. The effect manager puts the maps it makes
// in front of the built-in binds, so a map can take over any semantic.
#pragma once

#include "fx/IKeEffectBind.h"

namespace kolm {

class IKeEffectBindSemanticMap : public IKeEffectBind {
public:
    // False when the name exists already or the type is not 2 to 6.
    virtual bool addSemantic(const irr::c8* name, irr::s32 type) = 0;
    // The first float of the value; false when the name is unknown.
    virtual bool setFloat(const irr::c8* name, irr::f32 value) = 0;
    // Copies `bytes` bytes (at most 64) into the value; false when the name is unknown.
    virtual bool setValues(const irr::c8* name, const void* data, irr::u32 bytes) = 0;
};

}  // namespace kolm
