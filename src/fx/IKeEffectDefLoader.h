// A reader of one effect file format into effect definitions. The effect manager asks its
// loaders, the last added first, whether they take a file, and keeps what they build in its
// cache keyed by path and, for loaders whose files depend on macros, by macro set.
#pragma once

#include "fx/IKeEffectDef.h"
#include "fx/SShaderMacro.h"

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrString.h>

#include <string>

namespace kolm {

// Reads a whole file into `out` through the engine's file layer; false when it does not open or
// cannot be read to its end.
using KeEffectFileReader = bool (*)(const char* path, std::string& out);

class IKeEffectDefLoader : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeEffectDefLoader() {}

    // Decides by the name's extension, compared without regard to case.
    virtual bool isLoadableFile(const irr::c8* fileName) const = 0;

    // True when the macro set changes what a file yields (one definition per macro set).
    virtual bool dependsOnMacros() const = 0;

    // A new definition with one reference, or null with the failure text in `error`. `macros`
    // is a list ended by a null name (or null); a value may be null. A definition returned
    // together with a non-empty error counts as a failure.
    virtual IKeEffectDef* createEffectDef(KeEffectFileReader reader, const irr::c8* absolutePath,
                                          const CKeMacro* macros, bool targetIsOpenGL,
                                          irr::core::stringc& error) = 0;
};

// True when the file name ends in "." + extension, compared without regard to case.
bool keHasExtension(const char* fileName, const char* extension);

}  // namespace kolm
