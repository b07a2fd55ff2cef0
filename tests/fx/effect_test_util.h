// Helpers of the effect definition tests: annotated effect texts read in memory, and a compact
// one-line picture of what a reading built.
#pragma once

#include "fx/CKeEffectDefLoaderKolm.h"

#include <string>
#include <vector>

namespace kolm_test {

// A definition read from text, dropped with the holder.
struct LoadedEffect {
    kolm::CKeEffectDefKolm* def = nullptr;
    std::string error;
    LoadedEffect() = default;
    LoadedEffect(const LoadedEffect&) = delete;
    LoadedEffect& operator=(const LoadedEffect&) = delete;
    ~LoadedEffect() {
        if (def) def->drop();
    }
};

// Macro names given as "NAME" or "NAME=VALUE".
inline void loadEffectText(LoadedEffect& out, const std::string& text, const std::vector<std::string>& macros = {},
                           const char* path = "/fx/test.hlsl") {
    std::vector<std::string> names, values;
    for (const std::string& m : macros) {
        const size_t eq = m.find('=');
        names.push_back(m.substr(0, eq));
        values.push_back(eq == std::string::npos ? "" : m.substr(eq + 1));
    }
    std::vector<kolm::CKeMacro> list;
    for (size_t i = 0; i < names.size(); ++i)
        list.push_back({names[i].c_str(), macros[i].find('=') == std::string::npos ? nullptr : values[i].c_str()});
    list.push_back({nullptr, nullptr});
    irr::core::stringc error;
    out.def = kolm::CKeEffectDefLoaderKolm::createFromText(text.data(), text.size(), path, list.data(), false, error);
    out.error = error.c_str();
}

inline std::string block(const std::string& lines) { return "// [KOLM_BEGIN]\n" + lines + "\n// [KOLM_END]\n"; }

// What a reading built, in a fixed order; empty parts are left out:
//   title/subject/comments, entries that are not the default ones (VE, PE), parameters
//   (P name type sem= text= url= wrap= min= mag= mip= key=value...), binds (VB, PB), states
//   (S name parameter index), technique and pass annotations (TA, PA) — of technique `t`.
inline std::string describe(const kolm::CKeEffectDef& def, unsigned t = 0) {
    using namespace kolm;
    std::vector<std::string> parts;
    const SEffectRecord& r = def.record();
    if (!r.title.empty()) parts.push_back(std::string("title=") + r.title.c_str());
    if (!r.subject.empty()) parts.push_back(std::string("subject=") + r.subject.c_str());
    if (!r.comments.empty()) parts.push_back(std::string("comments=") + r.comments.c_str());
    const STechnique& tech = r.techniques[t];
    const SPass& pass = tech.passes[0];
    if (pass.shaders[0].entry != "vs_main") parts.push_back(std::string("VE ") + pass.shaders[0].entry.c_str());
    if (pass.shaders[1].entry != "ps_main") parts.push_back(std::string("PE ") + pass.shaders[1].entry.c_str());
    for (unsigned i = 0; i < r.parameters.size(); ++i) {
        const SParameter& p = r.parameters[i];
        std::string s = std::string("P ") + p.name.c_str() + " " + std::to_string(p.type);
        if (!p.semantic.empty()) s += std::string(" sem=") + p.semantic.c_str();
        if (!p.text.empty()) s += std::string(" text=") + p.text.c_str() + "|";
        if (!p.imageUrl.empty()) s += std::string(" url=") + p.imageUrl.c_str();
        if (!p.wrapS.empty() || !p.wrapT.empty() || !p.wrapP.empty())
            s += std::string(" wrap=") + p.wrapS.c_str() + "," + p.wrapT.c_str() + "," + p.wrapP.c_str();
        if (!p.minFilter.empty()) s += std::string(" min=") + p.minFilter.c_str();
        if (!p.magFilter.empty()) s += std::string(" mag=") + p.magFilter.c_str();
        if (!p.mipFilter.empty()) s += std::string(" mip=") + p.mipFilter.c_str();
        for (unsigned a = 0; a < p.annotations.size(); ++a)
            s += std::string(" ") + p.annotations[a].name.c_str() + "=" + p.annotations[a].text.c_str();
        parts.push_back(s);
    }
    for (unsigned i = 0; i < pass.shaders[0].binds.size(); ++i)
        parts.push_back(std::string("VB ") + pass.shaders[0].binds[i].name.c_str() + ">" + pass.shaders[0].binds[i].text.c_str());
    for (unsigned i = 0; i < pass.shaders[1].binds.size(); ++i)
        parts.push_back(std::string("PB ") + pass.shaders[1].binds[i].name.c_str() + ">" + pass.shaders[1].binds[i].text.c_str());
    for (unsigned i = 0; i < pass.states.size(); ++i)
        parts.push_back(std::string("S ") + pass.states[i].name.c_str() + " " + pass.states[i].paramRef.c_str() + " " +
                        std::to_string(pass.states[i].index));
    for (unsigned i = 0; i < tech.annotations.size(); ++i)
        parts.push_back(std::string("TA ") + tech.annotations[i].name.c_str() + "=" + tech.annotations[i].text.c_str() + "|");
    for (unsigned i = 0; i < pass.annotations.size(); ++i)
        parts.push_back(std::string("PA ") + pass.annotations[i].name.c_str() + "=" + pass.annotations[i].text.c_str());
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "; ") + p;
    return out;
}

}  // namespace kolm_test
