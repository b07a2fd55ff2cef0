// Outside bytes the effect loader reads: an annotated HLSL effect file. The bytes are read as
// the file itself and, wrapped in block markers, as an annotation block, with and without
// macros; every definition that comes back is read whole through the read interface.
#include "fx/CKeEffectDefLoaderKolm.h"

#include <cstdint>
#include <string>

using namespace kolm;

namespace {

void readAll(const IKeEffectDef& d) {
    SEffectDesc desc{};
    d.getDesc(desc);
    for (irr::u32 i = 0; i < desc.parameters; ++i) {
        const SParameter* p = d.getParameter(nullptr, i);
        irr::f32 m[16];
        irr::s32 ints[4];
        bool b;
        d.getMatrix(p, m);
        d.getIntArray(p, ints, 4);
        d.getBool(p, b);
        if (d.getParameterIndex(p) != irr::s32(i)) __builtin_trap();
    }
    for (irr::u32 t = 0; t < desc.techniques; ++t) {
        const SPass* pass = d.getPass(d.getTechnique(t), 0);
        SPassDesc pd{};
        if (!d.getPassDesc(pass, pd) || pd.shaders != 2) __builtin_trap();
        for (irr::u32 s = 0; s < pd.states; ++s) {
            const SState* st = d.getState(pass, s);
            // Sampler states name a texture parameter and a texture layer of a material.
            if (!d.getStateParameter(st) || st->index < 0 || st->index > 7) __builtin_trap();
        }
        for (irr::u32 s = 0; s < 2; ++s) {
            const SShader* sh = d.getShader(pass, s);
            for (irr::u32 k = 0; k < sh->binds.size(); ++k)
                if (!d.getBindParameter(d.getBind(sh, k))) __builtin_trap();
        }
    }
}

void load(const std::string& text, const CKeMacro* macros) {
    irr::core::stringc error;
    CKeEffectDefKolm* def = CKeEffectDefLoaderKolm::createFromText(text.data(), text.size(), "/fuzz/effect.hlsl",
                                                                   macros, false, error);
    if (def && !error.empty()) __builtin_trap();  // a definition never comes with an error
    if (!def && error.empty()) __builtin_trap();  // a failure always says why
    if (def) {
        readAll(*def);
        def->drop();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    static const CKeMacro macros[] = {{"USE_A", nullptr}, {"USE_TEX_COLOR", "1"}, {"B", ""}, {nullptr, nullptr}};
    load(text, nullptr);
    load("// [KOLM_BEGIN]\n" + text + "\n// [KOLM_END]\n", macros);
    return 0;
}
