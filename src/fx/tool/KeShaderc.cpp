// kolm-shaderc: compiles one HLSL effect file through the engine's shader compilation
// services, exactly as the engine does, and prints the macro text, the cache file names, the
// constant tables and the generated GLSL. Needs no display (null video driver).
//
//   kolm-shaderc [-D NAME[=VALUE]]... [--cache DIR] FILE [VS_ENTRY PS_ENTRY]
//
// Exit status: 0 compiled, 1 compile error (messages with file and line on stderr), 2 usage.
#include "core/KeError.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/KeShaderCacheName.h"

#include <irrlicht/irrlicht.h>

#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: kolm-shaderc [-D NAME[=VALUE]]... [--cache DIR] FILE [VS_ENTRY PS_ENTRY]\n"
                 "  Compiles FILE as the engine does (entries default to vs_main and ps_main) and prints\n"
                 "  the macro text, the cache file names, the constant tables and the generated GLSL.\n"
                 "  --cache DIR  read and write compiled shaders in DIR (cache mode 7)\n");
    return 2;
}

void toStderr(const char* line, void*) { std::fputs(line, stderr); }

const char* kindName(KeConstantKind k) {
    switch (k) {
        case KeConstantKind::Float: return "float";
        case KeConstantKind::Int: return "int";
        case KeConstantKind::UInt: return "uint";
        case KeConstantKind::Bool: return "bool";
        case KeConstantKind::Sampler: return "sampler";
    }
    return "?";
}

void printTable(const char* title, const KeGlslShader& s) {
    std::printf("%s\n", title);
    for (const KeShaderConstant& c : s.constants) {
        if (c.kind == KeConstantKind::Sampler)
            std::printf("  %-24s sampler  s%d unit %d\n", c.name.c_str(), c.samplerIndex, c.unit);
        else
            std::printf("  %-24s %-7s  c%d.%c (%d register%s)%s\n", c.name.c_str(), kindName(c.kind), c.registerIndex,
                        "xyzw"[(c.offset % 16) / 4], c.registerCount, c.registerCount == 1 ? "" : "s",
                        c.arraySize > 1 ? (" [" + std::to_string(c.arraySize) + "]").c_str() : "");
    }
}

// Compiler messages name the main source "memory": print the file's name instead.
std::string withFileName(std::string text, const std::string& file) {
    for (size_t at = text.find("memory("); at != std::string::npos; at = text.find("memory(", at + file.size()))
        text.replace(at, 6, file);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names, values;
    std::vector<bool> hasValue;
    std::string cacheDir, file, vsEntry = "vs_main", psEntry = "ps_main";
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-h" || a == "--help") return usage();
        if (a == "-D" || (a.size() > 2 && a.compare(0, 2, "-D") == 0)) {
            std::string def = a.size() > 2 ? a.substr(2) : (i + 1 < argc ? argv[++i] : "");
            if (def.empty() || def[0] == '=') return usage();
            const size_t eq = def.find('=');
            names.push_back(def.substr(0, eq));
            values.push_back(eq == std::string::npos ? "" : def.substr(eq + 1));
            hasValue.push_back(eq != std::string::npos);
        } else if (a == "--cache") {
            if (i + 1 >= argc) return usage();
            cacheDir = argv[++i];
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 1 && positional.size() != 3) return usage();
    file = positional[0];
    if (positional.size() == 3) {
        vsEntry = positional[1];
        psEntry = positional[2];
    }

    keSetLogSink(&toStderr, nullptr);
    setLogThreshold(KE_WARN);
    disableMessageBoxes();

    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_NULL;
    p.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(p);
    if (!device) {
        std::fprintf(stderr, "kolm-shaderc: cannot start the null video driver\n");
        return 1;
    }
    if (!cacheDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(cacheDir, ec);
        if (ec) std::fprintf(stderr, "kolm-shaderc: cannot create cache directory %s: %s\n", cacheDir.c_str(), ec.message().c_str());
    }
    auto* services = new CKeGPUProgrammingServices(device);
    services->setShaderCache(cacheDir.c_str(), cacheDir.empty() ? 0 : 7);

    std::vector<CKeMacro> macros;
    for (size_t i = 0; i < names.size(); ++i)
        macros.push_back(CKeMacro{names[i].c_str(), hasValue[i] ? values[i].c_str() : nullptr});
    macros.push_back(CKeMacro{nullptr, nullptr});
    const std::vector<SShaderMacro> sorted = keSortedMacros(macros.data());

    core::stringc error;
    const s32 type = services->getShaderMaterial(file.c_str(), vsEntry.c_str(), video::EVST_VS_3_0, file.c_str(),
                                                 psEntry.c_str(), video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0,
                                                 macros.data(), &error);
    int status = 0;
    std::printf("macros: %s\n", keShaderMacroText(sorted).c_str());
    std::printf("cache: %s %s\n", keShaderCacheFileName(file, vsEntry, true, sorted).c_str(),
                keShaderCacheFileName(file, psEntry, false, sorted).c_str());
    if (type < 0) {
        std::fprintf(stderr, "%s\n", withFileName(error.c_str(), file).c_str());
        status = 1;
    } else {
        const KeGlslShader* vs = services->shaderDriver().vertexTable(type);
        const KeGlslShader* ps = services->shaderDriver().pixelTable(type);
        printTable("Vertex Shader Constants", *vs);
        printTable("Pixel Shader Constants", *ps);
        std::printf("---- vertex GLSL (%s)\n%s", vsEntry.c_str(), vs->glsl.c_str());
        std::printf("---- pixel GLSL (%s)\n%s", psEntry.c_str(), ps->glsl.c_str());
    }
    std::fflush(stdout);
    services->drop();
    device->drop();
    return status;
}
