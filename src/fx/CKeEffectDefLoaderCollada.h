// Reader of COLLADA FX documents (".dae", ".xml") into effect definitions: the COLLADA 1.5 FX
// subset of one `library_effects` whose effects carry parameters (`newparam`), a `profile_CG`
// with includes and techniques, passes with states, evaluate entries and programs of shaders
// (sources, compiler target, uniform binds), and annotations. Everything else is skipped with a
// log line ("COLLADA skipping section %s"); `profile_GLSL` is skipped silently.
//
// Our shaders are HLSL compiled by the engine's own compiler whatever the video driver, so the
// document is always read as for an HLSL driver: the CG profile is the one read, shaders keep
// compile target 0 until a `compiler` element sets one, and `bind_uniform` elements are read.
//
// The document goes through expat, a strict and well-kept XML parser: a document that is not
// well-formed XML is a load error naming the file, the line and the element it broke in. A
// reference that names nothing (an `import` whose ref is no include's sid, a `param` ref that is
// no effect parameter's sid) and a document with no CG technique are load errors too, so the
// effect manager never caches a definition that cannot be built.
#pragma once

#include "fx/CKeEffectDef.h"
#include "fx/IKeEffectDefLoader.h"

#include <cstddef>

namespace kolm {

// A definition read from a COLLADA FX document; it reads like any other definition.
class CKeEffectDefCollada : public CKeEffectDef {
public:
    using CKeEffectDef::CKeEffectDef;
};

class CKeEffectDefLoaderCollada : public IKeEffectDefLoader {
public:
    bool isLoadableFile(const irr::c8* fileName) const override;  // "dae" and "xml"
    bool dependsOnMacros() const override { return false; }
    IKeEffectDef* createEffectDef(KeEffectFileReader reader, const irr::c8* absolutePath, const CKeMacro* macros,
                                  bool targetIsOpenGL, irr::core::stringc& error) override;

    // Builds a definition from a document already in memory (`size` bytes). Null with the
    // failure text ("<path>(<line>): ...") in `error`; never a half-built definition.
    static CKeEffectDefCollada* createFromText(const char* data, size_t size, const irr::c8* absolutePath,
                                               bool targetIsOpenGL, irr::core::stringc& error);
};

}  // namespace kolm
