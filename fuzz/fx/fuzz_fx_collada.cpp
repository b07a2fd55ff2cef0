// Outside bytes the COLLADA effect loader reads: a whole document. Every definition that comes
// back is read whole through the read interface; refusals must carry the file name.
#include "core/KeError.h"
#include "fx/CKeEffectDefLoaderCollada.h"

#include <cstdint>
#include <cstring>

using namespace kolm;

namespace {

void ignoreLine(const char*, void*) {}

void readAll(const IKeEffectDef& d) {
    SEffectDesc desc{};
    d.getDesc(desc);
    for (irr::u32 i = 0; i < desc.parameters; ++i) {
        const SParameter* p = d.getParameter(nullptr, i);
        irr::f32 m[16];
        SSamplerDesc s{};
        d.getMatrix(p, m);
        d.getSamplerDesc(p, s);
        if (d.getParameterIndex(p) != irr::s32(i)) __builtin_trap();
    }
    for (irr::u32 t = 0; t < desc.techniques; ++t) {
        const STechnique* tech = d.getTechnique(t);
        STechniqueDesc td{};
        d.getTechniqueDesc(tech, td);
        for (irr::u32 p = 0; p < td.passes; ++p) {
            const SPass* pass = d.getPass(tech, p);
            SPassDesc pd{};
            d.getPassDesc(pass, pd);
            for (irr::u32 s = 0; s < pd.shaders; ++s) {
                const SShader* sh = d.getShader(pass, s);
                SShaderDesc sd{};
                d.getShaderDesc(sh, sd);
                for (irr::u32 b = 0; b < sd.binds; ++b)  // every bind names a parameter
                    if (!d.getBindParameter(d.getBind(sh, b))) __builtin_trap();
            }
            for (irr::u32 s = 0; s < pd.states; ++s) {
                SStateDesc sd{};
                d.getStateDesc(d.getState(pass, s), sd);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    keSetLogSink(&ignoreLine, nullptr);
    irr::core::stringc error;
    CKeEffectDefCollada* def = CKeEffectDefLoaderCollada::createFromText(reinterpret_cast<const char*>(data), size,
                                                                         "/fuzz.dae", false, error);
    if (def) {
        if (!error.empty()) __builtin_trap();
        readAll(*def);
        def->drop();
    } else if (std::strncmp(error.c_str(), "/fuzz.dae", 9) != 0) {
        __builtin_trap();
    }
    return 0;
}
