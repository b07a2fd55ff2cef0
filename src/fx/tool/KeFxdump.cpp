// kolm-fxdump: loads one effect file (annotated HLSL or COLLADA FX) through the effect manager,
// as the engine does, and prints the definition it yields in a fixed order meant for diffing: the
// effect record, its parameters (type, semantic, text, annotations, sampler texts), then each
// technique with its passes, shaders (entry, target, inline texts, binds) and states. Needs no display.
//
//   kolm-fxdump [-D NAME[=VALUE]]... FILE
//   kolm-fxdump --build [-D NAME[=VALUE]]... FILE
//
// With --build it also builds the runtime effect on an OpenGL window (needs a display) and
// prints, per technique and pass, the shader material, base material and packed parameter,
// each constant with the bind that serves it, and the texture layers.
//
// Exit status: 0 loaded (and built), 1 load or build error (the message on stderr), 2 usage.
#include "core/KeError.h"
#include "engine/IKeTextureManager.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectBind.h"
#include "fx/IKeEffectDef.h"
#include "fx/IKeEffectManager.h"
#include "fx/KeEffectBindContext.h"

#include <irrlicht/irrlicht.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

int usage(FILE* out, int status) {
    std::fprintf(out,
                 "usage: kolm-fxdump [-D NAME[=VALUE]]... FILE\n"
                 "       kolm-fxdump --build [-D NAME[=VALUE]]... FILE\n"
                 "  Loads the effect file FILE (annotated HLSL: .hlsl, .fx; COLLADA FX: .dae, .xml) with the\n"
                 "  given macros, as the engine does, and prints the effect definition: the effect record,\n"
                 "  each parameter with its type, semantic, text, annotations and sampler texts, then each\n"
                 "  technique with its annotations, passes, shaders (entry point, target, inline texts,\n"
                 "  binds) and states.\n"
                 "  Texts are printed in double quotes with \\\" \\\\ \\t \\r \\n escaped; a shader's source\n"
                 "  file is printed as (effect) when it is the effect file itself.\n"
                 "  -D NAME[=VALUE]  define a macro (\"-D USE_TEX_COLOR\" sets the condition TEX_COLOR)\n"
                 "  --build          also build the runtime effect on an OpenGL window (needs a display)\n"
                 "                   and print per technique and pass the material type, base material,\n"
                 "                   packed parameter, each constant with its bind, and the layers\n"
                 "  -h, --help       this text\n"
                 "Exit status: 0 loaded (and built), 1 load or build error (message on stderr), 2 usage.\n");
    return status;
}

void toStderr(const char* line, void*) { std::fputs(line, stderr); }

std::string quoted(const char* s) {
    std::string out = "\"";
    for (const char* p = s ? s : ""; *p; ++p) {
        switch (*p) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default: out += *p;
        }
    }
    return out + "\"";
}

void printAnnotations(const IKeEffectDef& def, const SElement* element, u32 count, const char* indent) {
    for (u32 i = 0; i < count; ++i) {
        const SParameter* a = def.getAnnotation(element, i);
        const char* name = "";
        const char* text = "";
        def.getElementName(a, name);
        def.getElementText(a, text);
        std::printf("%sannotation %s = %s\n", indent, quoted(name).c_str(), quoted(text).c_str());
    }
}

void printParameters(const IKeEffectDef& def, u32 count) {
    for (u32 i = 0; i < count; ++i) {
        const SParameter* p = def.getParameter(nullptr, i);
        SParameterDesc d{};
        def.getParameterDesc(p, d);
        const char* text = "";
        def.getElementText(p, text);
        std::printf("parameter %u %s %s semantic=%s text=%s\n", i, quoted(d.name).c_str(), keEffectParamTypeName(d.type),
                    quoted(d.semantic).c_str(), quoted(text).c_str());
        if (keIsTextureParamType(d.type)) {
            SSamplerDesc s{};
            def.getSamplerDesc(p, s);
            std::printf("  sampler image=%s wrap=%s,%s,%s min=%s mag=%s mip=%s\n", quoted(s.imageUrl).c_str(),
                        quoted(s.wrapS).c_str(), quoted(s.wrapT).c_str(), quoted(s.wrapP).c_str(),
                        quoted(s.minFilter).c_str(), quoted(s.magFilter).c_str(), quoted(s.mipFilter).c_str());
        }
        printAnnotations(def, p, d.annotations, "  ");
    }
}

void printShader(const IKeEffectDef& def, const SShader* shader) {
    SShaderDesc d{};
    def.getShaderDesc(shader, d);
    const bool own = std::strcmp(d.sourceFile, def.getName()) == 0;
    std::printf("    shader %s entry=%s target=%s source=%s\n", keShaderStageName(d.stage), quoted(d.entry).c_str(),
                keShaderTargetName(d.target), own ? "(effect)" : quoted(d.sourceFile).c_str());
    for (u32 i = 0; i < d.inlines; ++i) {
        const char* text = "";
        def.getShaderInline(shader, i, text);
        std::printf("      inline %s\n", quoted(text).c_str());
    }
    for (u32 i = 0; i < d.binds; ++i) {
        const SParameter* b = def.getBind(shader, i);
        const char* symbol = "";
        const char* param = "";
        def.getElementName(b, symbol);
        def.getElementText(b, param);
        std::printf("      bind %s -> %s%s\n", quoted(symbol).c_str(), quoted(param).c_str(),
                    def.getBindParameter(b) ? "" : " (no such parameter)");
    }
}

void printTechniques(const IKeEffectDef& def, u32 count) {
    for (u32 t = 0; t < count; ++t) {
        const STechnique* tech = def.getTechnique(t);
        STechniqueDesc td{};
        def.getTechniqueDesc(tech, td);
        std::printf("technique %u %s\n", t, quoted(td.name).c_str());
        printAnnotations(def, tech, td.annotations, "  ");
        for (u32 p = 0; p < td.passes; ++p) {
            const SPass* pass = def.getPass(tech, p);
            SPassDesc pd{};
            def.getPassDesc(pass, pd);
            std::printf("  pass %u %s\n", p, quoted(pd.name).c_str());
            printAnnotations(def, pass, pd.annotations, "    ");
            for (u32 s = 0; s < pd.shaders; ++s) printShader(def, def.getShader(pass, s));
            for (u32 s = 0; s < pd.states; ++s) {
                SStateDesc sd{};
                def.getStateDesc(def.getState(pass, s), sd);
                std::printf("    state %s value=%s param=%s index=%d\n", quoted(sd.name).c_str(), quoted(sd.value).c_str(),
                            quoted(sd.paramRef).c_str(), sd.index);
            }
            for (u32 s = 0; s < pd.evaluates; ++s) {
                SEvaluateDesc ed{};
                def.getEvaluateDesc(def.getEvaluate(pass, s), ed);
                std::printf("    evaluate %s index=%d param=%s value=%s\n", quoted(ed.name).c_str(), ed.index,
                            quoted(ed.paramRef).c_str(), quoted(ed.value).c_str());
            }
        }
    }
}

void printBuilt(const IKeEffect& effect) {
    for (u32 t = 0; t < effect.getTechniqueCount(); ++t) {
        const SKeFxTechnique* tech = effect.getFxTechnique(t);
        for (u32 p = 0; p < tech->passes.size(); ++p) {
            const SKeFxPass& pass = tech->passes[p];
            u32 bits;
            std::memcpy(&bits, &pass.material.MaterialTypeParam, 4);
            std::printf("build technique %u pass %u material %d base %d param 0x%x\n", t, p,
                        s32(pass.material.MaterialType), pass.baseMaterial, bits);
            for (u32 s = 0; s < pass.shaders.size(); ++s) {
                const SKeFxShader& sh = pass.shaders[s];
                for (u32 c = 0; c < sh.constants.size(); ++c) {
                    const SKeFxConstBind& k = sh.constants[c];
                    std::printf("  %s constant %s semantic=%s bind=%s\n", keShaderStageName(sh.stage), k.symbol,
                                quoted(k.semantic).c_str(), k.bind ? k.bind->getBindName() : "none");
                }
                for (u32 b = 0; b < sh.textures.size(); ++b) {
                    const SKeFxTextureBind& tb = sh.textures[b];
                    const SParameter* param = effect.getParameter(nullptr, u32(tb.parameter));
                    std::printf("  %s sampler %s parameter %s layer %d\n", keShaderStageName(sh.stage),
                                tb.symbol ? tb.symbol : "(state)", param ? param->name.c_str() : "?", tb.sampler);
                }
            }
            for (u32 l = 0; l < KE_MATERIAL_LAYERS; ++l) {
                const SKeFxTextureLayer& layer = pass.layers[l];
                if (!layer.texture) continue;
                std::printf("  layer %u texture %s wrap %u,%u%s%s%s\n", l, quoted(layer.texture->getName().getPath().c_str()).c_str(),
                            layer.wrapU, layer.wrapV, layer.bilinear ? " bilinear" : "", layer.trilinear ? " trilinear" : "",
                            layer.srgb ? " srgb" : "");
            }
        }
    }
}

// Builds the effect on an OpenGL window: 0 built, 1 failed (logged).
int build(const char* file, const CKeMacro* macros) {
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_OPENGL;
    p.WindowSize = core::dimension2du(64, 64);
    p.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(p);
    if (!device) {
        std::fprintf(stderr, "kolm-fxdump: --build needs an OpenGL window (is DISPLAY set?)\n");
        return 1;
    }
    int status = 1;
    {
        IKeGPUProgrammingServices* services = new CKeGPUProgrammingServices(device);
        IKeTextureManager* textures = keCreateTextureManager(device);
        IKeEffectManager* manager = createKeEffectManager(services, true);
        manager->getBindContext().device = device;
        manager->getBindContext().textures = textures;
        if (IKeEffect* effect = manager->createEffect(file, -1, macros)) {
            printBuilt(*effect);
            effect->drop();
            status = 0;
        }
        manager->drop();
        textures->drop();
        services->drop();
    }
    device->closeDevice();
    device->run();
    device->drop();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names, values;
    std::vector<bool> hasValue;
    std::vector<std::string> files;
    bool doBuild = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") return usage(stdout, 0);
        if (a == "--build") {
            doBuild = true;
            continue;
        }
        if (a == "-D" || (a.size() > 2 && a.compare(0, 2, "-D") == 0)) {
            if (a == "-D" && i + 1 >= argc) return usage(stderr, 2);
            const std::string def = a.size() > 2 ? a.substr(2) : argv[++i];
            if (def.empty() || def[0] == '=') return usage(stderr, 2);
            const size_t eq = def.find('=');
            names.push_back(def.substr(0, eq));
            values.push_back(eq == std::string::npos ? "" : def.substr(eq + 1));
            hasValue.push_back(eq != std::string::npos);
        } else if (!a.empty() && a[0] == '-') {
            return usage(stderr, 2);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 1) return usage(stderr, 2);

    keSetLogSink(&toStderr, nullptr);
    setLogThreshold(KE_WARN);
    disableMessageBoxes();

    std::vector<CKeMacro> macros;
    for (size_t i = 0; i < names.size(); ++i)
        macros.push_back({names[i].c_str(), hasValue[i] ? values[i].c_str() : nullptr});
    macros.push_back({nullptr, nullptr});

    IKeEffectManager* manager = createKeEffectManager(nullptr, true);
    const IKeEffectDef* def = manager->getEffectDef(files[0].c_str(), macros.data());
    if (!def) {
        // A load error has been logged; a file that no loader takes has not.
        if (!*manager->getLastError())
            std::fprintf(stderr, "kolm-fxdump: no effect loader takes %s (annotated HLSL: .hlsl, .fx; COLLADA FX: .dae, .xml)\n", files[0].c_str());
        manager->drop();
        return 1;
    }

    SEffectDesc d{};
    def->getDesc(d);
    std::printf("effect %s\n", quoted(def->getName()).c_str());
    std::printf("  macros");
    for (size_t i = 0; i < names.size(); ++i)
        std::printf(" %s%s%s", names[i].c_str(), hasValue[i] ? "=" : "", hasValue[i] ? values[i].c_str() : "");
    std::printf("\n");
    if (*d.id) std::printf("  id %s\n", quoted(d.id).c_str());
    if (*d.name) std::printf("  name %s\n", quoted(d.name).c_str());
    std::printf("  title %s\n  subject %s\n  comments %s\n", quoted(d.title).c_str(), quoted(d.subject).c_str(),
                quoted(d.comments).c_str());
    std::printf("  parameters %u techniques %u\n", d.parameters, d.techniques);
    printAnnotations(*def, nullptr, d.annotations, "  ");
    printParameters(*def, d.parameters);
    printTechniques(*def, d.techniques);
    manager->drop();
    return doBuild ? build(files[0].c_str(), macros.data()) : 0;
}
