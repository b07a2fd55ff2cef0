// Reader of the engine's annotated HLSL effect files (".hlsl", ".fx"): plain HLSL source with a
// block of comment lines between "[KOLM_BEGIN]" and "[KOLM_END]" that declares entry points,
// configuration, textures and parameters. Nothing is compiled here; the block is read once per
// technique, with the loader's macros and the technique's own macros as condition names, into
// one definition per macro set.
#pragma once

#include "fx/CKeEffectDef.h"
#include "fx/IKeEffectDefLoader.h"

#include <cstddef>

namespace kolm {

class CKeEffectDefLoaderKolm : public IKeEffectDefLoader {
public:
    bool isLoadableFile(const irr::c8* fileName) const override;  // "hlsl" and "fx"
    bool dependsOnMacros() const override { return true; }
    IKeEffectDef* createEffectDef(KeEffectFileReader reader, const irr::c8* absolutePath, const CKeMacro* macros,
                                  bool targetIsOpenGL, irr::core::stringc& error) override;

    // Builds a definition from file contents already in memory (`size` bytes, no terminating
    // zero needed). Null with the failure text in `error`; never a half-built definition.
    static CKeEffectDefKolm* createFromText(const char* data, size_t size, const irr::c8* absolutePath,
                                            const CKeMacro* macros, bool targetIsOpenGL, irr::core::stringc& error);
};

// Longest annotation line that is read; longer lines that a handler would act on are rejected.
constexpr size_t KE_FX_LINE_CAPACITY = 255;

}  // namespace kolm
