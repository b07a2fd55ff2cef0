// Sections: the document (expat into a flat element list) - reading the COLLADA elements -
// references resolved after the walk - the loader.
#include "fx/CKeEffectDefLoaderCollada.h"

#include "core/KeError.h"
#include "files/KeReadFile.h"

#include <expat.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace kolm {

using namespace irr;

namespace {

// ---- the document -------------------------------------------------------------------------------

// One element, in document order. The element's descendants are the nodes from the next one up
// to `end`; its children are found by stepping from one child's `end` to the next.
struct XmlNode {
    std::string name;
    std::vector<std::string> attributes;  // name, value, name, value, ...
    std::string text;                     // the element's own character data, children's excluded
    size_t end = 0;
    int line = 0;
};

struct XmlDocument {
    std::vector<XmlNode> nodes;
    std::vector<size_t> open;  // elements started and not yet ended
    XML_Parser parser = nullptr;
};

void XMLCALL onStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    auto* doc = static_cast<XmlDocument*>(user);
    XmlNode node;
    node.name = name;
    for (const XML_Char** a = attributes; a && a[0] && a[1]; a += 2) {
        node.attributes.emplace_back(a[0]);
        node.attributes.emplace_back(a[1]);
    }
    node.line = int(XML_GetCurrentLineNumber(doc->parser));
    doc->open.push_back(doc->nodes.size());
    doc->nodes.push_back(std::move(node));
}

void XMLCALL onEnd(void* user, const XML_Char*) {
    auto* doc = static_cast<XmlDocument*>(user);
    doc->nodes[doc->open.back()].end = doc->nodes.size();
    doc->open.pop_back();
}

void XMLCALL onText(void* user, const XML_Char* text, int length) {
    auto* doc = static_cast<XmlDocument*>(user);
    if (!doc->open.empty()) doc->nodes[doc->open.back()].text.append(text, size_t(length));
}

void setError(core::stringc& error, const char* path, int line, const std::string& text) {
    char message[KE_MESSAGE_CAPACITY];
    if (line > 0)
        std::snprintf(message, sizeof(message), "%s(%d): %s", path, line, text.c_str());
    else
        std::snprintf(message, sizeof(message), "%s: %s", path, text.c_str());
    error = message;
}

// Parses the whole document; false with the error set (file, line, the element it broke in).
bool parseDocument(const char* data, size_t size, const char* path, XmlDocument& doc, core::stringc& error) {
    if (size > size_t(INT_MAX)) {
        setError(error, path, 0, "malformed document: too large");
        return false;
    }
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) {
        setError(error, path, 0, "out of memory");
        return false;
    }
    doc.parser = parser;
    XML_SetUserData(parser, &doc);
    XML_SetElementHandler(parser, &onStart, &onEnd);
    XML_SetCharacterDataHandler(parser, &onText);
    const bool ok = XML_Parse(parser, data, int(size), 1) != XML_STATUS_ERROR;
    if (!ok) {
        std::string text = "malformed document: ";
        text += XML_ErrorString(XML_GetErrorCode(parser));
        if (!doc.open.empty()) text += " (inside <" + doc.nodes[doc.open.back()].name + ">)";
        setError(error, path, int(XML_GetCurrentLineNumber(parser)), text);
    }
    XML_ParserFree(parser);
    doc.parser = nullptr;
    return ok;
}

// ---- reading the COLLADA elements ---------------------------------------------------------------

struct NameValue {
    const char* name;
    s32 value;
};

constexpr NameValue kStages[] = {
    {"TESSELATION", KE_STAGE_TESSELATION}, {"VERTEX", KE_STAGE_VERTEX},
    {"GEOMETRY", KE_STAGE_GEOMETRY},       {"FRAGMENT", KE_STAGE_FRAGMENT},
};
constexpr NameValue kTargets[] = {
    {"vs_1_1", KE_TARGET_VS_1_1}, {"vs_2_0", KE_TARGET_VS_2_0}, {"vs_3_0", KE_TARGET_VS_3_0},
    {"ps_1_1", KE_TARGET_PS_1_1}, {"ps_2_0", KE_TARGET_PS_2_0}, {"ps_3_0", KE_TARGET_PS_3_0},
};
constexpr NameValue kValueTypes[] = {
    {"bool", KE_FXP_BOOL},     {"float", KE_FXP_FLOAT},   {"float2", KE_FXP_FLOAT2},       {"float3", KE_FXP_FLOAT3},
    {"float4", KE_FXP_FLOAT4}, {"int", KE_FXP_INT},       {"float4x4", KE_FXP_FLOAT4X4},
};
// The COLLADA schema writes the last three in capitals; both spellings are read.
constexpr NameValue kSamplerTypes[] = {
    {"sampler1D", KE_FXP_SAMPLER1D},     {"sampler2D", KE_FXP_SAMPLER2D},     {"sampler3D", KE_FXP_SAMPLER3D},
    {"samplerRect", KE_FXP_SAMPLERRECT}, {"samplerCube", KE_FXP_SAMPLERCUBE}, {"samplerDepth", KE_FXP_SAMPLERDEPTH},
    {"samplerRECT", KE_FXP_SAMPLERRECT}, {"samplerCUBE", KE_FXP_SAMPLERCUBE}, {"samplerDEPTH", KE_FXP_SAMPLERDEPTH},
};

template <size_t N> s32 lookup(const NameValue (&table)[N], const std::string& name) {
    for (const NameValue& e : table)
        if (name == e.name) return e.value;
    return 0;
}

// An `import` of a shader, resolved against the includes once the whole document is read.
struct PendingImport {
    u32 technique, pass, shader;
    std::string ref;
    int line;
};

// A `param` reference (bind, state, evaluate target) that must name an effect parameter.
struct PendingParam {
    std::string element;
    std::string ref;
    int line;
};

class Reading {
public:
    Reading(const XmlDocument& doc, SEffectRecord& record, const char* path)
        : m_nodes(doc.nodes), m_record(record), m_path(path) {}

    // Reads the document into the record; false with the message set.
    bool run(core::stringc& error) {
        // A well-formed document has exactly one root element, the first node.
        if (m_nodes.empty() || m_nodes[0].name != "COLLADA")
            fail(0, "not a COLLADA document (root element <" + (m_nodes.empty() ? std::string() : m_nodes[0].name) + ">)");
        else
            readCollada(0);
        if (m_error.empty()) resolveReferences();
        if (m_error.empty() && m_record.techniques.empty())
            fail(0, "no profile_CG technique in library_effects (other profiles are not read)");
        if (m_error.empty()) return true;
        setError(error, m_path, m_errorLine, m_error);
        return false;
    }

private:
    // Calls f(child index, child name) for every child element of element `i`.
    template <typename F> void children(size_t i, F f) {
        for (size_t j = i + 1; j < m_nodes[i].end && m_error.empty(); j = m_nodes[j].end) f(j, m_nodes[j].name);
    }

    const char* attribute(size_t i, const char* name, bool* present = nullptr) const {
        const std::vector<std::string>& a = m_nodes[i].attributes;
        for (size_t k = 0; k + 1 < a.size(); k += 2) {
            if (a[k] == name) {
                if (present) *present = true;
                return a[k + 1].c_str();
            }
        }
        if (present) *present = false;
        return "";
    }

    // The element's own text without spaces, tabs, line feeds and carriage returns at the ends.
    core::stringc text(size_t i) const {
        const std::string& t = m_nodes[i].text;
        const char* ws = " \t\n\r";
        const size_t first = t.find_first_not_of(ws);
        if (first == std::string::npos) return core::stringc();
        const size_t last = t.find_last_not_of(ws);
        return core::stringc(t.c_str() + first, u32(last - first + 1));
    }

    s32 intAttribute(size_t i, const char* name) const {
        s32 v = 0;
        return keReadInt(attribute(i, name), v) ? v : 0;
    }

    void skip(size_t i) { logLine("COLLADA skipping section %s\n", m_nodes[i].name.c_str()); }

    void fail(size_t i, const std::string& message) {
        if (!m_error.empty()) return;
        m_error = message;
        m_errorLine = i < m_nodes.size() ? m_nodes[i].line : 0;
    }

    // A reference attribute that must be present and not empty.
    const char* required(size_t i, const char* name) {
        const char* v = attribute(i, name);
        if (!*v) fail(i, "<" + m_nodes[i].name + "> without the reference \"" + name + "\"");
        return v;
    }

    void readCollada(size_t i) {
        children(i, [&](size_t j, const std::string& n) {
            if (n == "asset")
                readAsset(j);
            else if (n == "library_effects")
                readLibrary(j);
            else
                logLine("COLLADA loader warning: Wrong tag usage found %s\n", n.c_str());
        });
    }

    void readAsset(size_t i) {
        children(i, [&](size_t j, const std::string& n) {
            if (n == "title") {
                m_record.title = text(j);
            } else if (n == "subject") {
                m_record.subject = text(j);
            } else if (n == "contributor") {
                children(j, [&](size_t k, const std::string& m) {
                    if (m == "comments")
                        m_record.comments = text(k);
                    else
                        skip(k);
                });
            } else {
                skip(j);
            }
        });
    }

    void readLibrary(size_t i) {
        children(i, [&](size_t j, const std::string& n) {
            if (n == "effect")
                readEffect(j);
            else
                skip(j);
        });
    }

    void readEffect(size_t i) {
        m_record.id = attribute(i, "id");
        m_record.name = attribute(i, "name");
        children(i, [&](size_t j, const std::string& n) {
            if (n == "asset")
                readAsset(j);
            else if (n == "newparam")
                m_record.parameters.push_back(readParameter(j));
            else if (n == "profile_CG")
                readProfile(j);
            else if (n == "profile_GLSL")
                return;  // the other driver's profile: skipped without a word
            else if (n == "annotate")
                m_record.annotations.push_back(readAnnotation(j));
            else
                skip(j);
        });
    }

    SParameter readAnnotation(size_t i) {
        SParameter a;
        a.name = attribute(i, "name");
        children(i, [&](size_t j, const std::string& n) {
            if (n == "string")
                a.text = text(j);
            else
                skip(j);
        });
        return a;
    }

    SParameter readParameter(size_t i) {
        SParameter p;
        p.name = attribute(i, "sid");
        children(i, [&](size_t j, const std::string& n) {
            if (n == "semantic") {
                p.semantic = text(j);
            } else if (n == "annotate") {
                p.annotations.push_back(readAnnotation(j));
            } else if (const s32 type = lookup(kValueTypes, n)) {
                p.type = type;
                p.text = text(j);
            } else if (const s32 sampler = lookup(kSamplerTypes, n)) {
                p.type = sampler;
                readSampler(j, p);
            } else {
                skip(j);  // usertype included
            }
        });
        return p;
    }

    void readSampler(size_t i, SParameter& p) {
        children(i, [&](size_t j, const std::string& n) {
            if (n == "instance_image")
                p.imageUrl = attribute(j, "url");
            else if (n == "wrap_s")
                p.wrapS = text(j);
            else if (n == "wrap_t")
                p.wrapT = text(j);
            else if (n == "wrap_p")
                p.wrapP = text(j);
            else if (n == "minfilter")
                p.minFilter = text(j);
            else if (n == "magfilter")
                p.magFilter = text(j);
            else if (n == "mipfilter")
                p.mipFilter = text(j);
            else
                skip(j);
        });
    }

    void readProfile(size_t i) {
        children(i, [&](size_t j, const std::string& n) {
            if (n == "include") {
                SInclude inc;
                inc.sid = required(j, "sid");
                inc.url = required(j, "url");
                m_record.includes.push_back(inc);
            } else if (n == "technique") {
                readTechnique(j);
            } else {
                skip(j);
            }
        });
    }

    void readTechnique(size_t i) {
        const u32 index = m_record.techniques.size();
        m_record.techniques.push_back(STechnique());
        STechnique& t = m_record.techniques[index];  // nothing else is added to the list meanwhile
        t.name = attribute(i, "sid");
        children(i, [&](size_t j, const std::string& n) {
            if (n == "pass") {
                t.passes.push_back(SPass());
                readPass(j, index, t.passes.size() - 1, t.passes.getLast());
            } else if (n == "annotate") {
                t.annotations.push_back(readAnnotation(j));
            } else {
                skip(j);
            }
        });
    }

    void readPass(size_t i, u32 technique, u32 passIndex, SPass& pass) {
        pass.name = attribute(i, "sid");
        children(i, [&](size_t j, const std::string& n) {
            if (n == "states") {
                readStates(j, pass);
            } else if (n == "evaluate") {
                readEvaluate(j, pass);
            } else if (n == "program") {
                children(j, [&](size_t k, const std::string& m) {
                    if (m != "shader") return skip(k);
                    pass.shaders.push_back(SShader());
                    readShader(k, technique, passIndex, pass.shaders.size() - 1, pass.shaders.getLast());
                });
            } else if (n == "annotate") {
                pass.annotations.push_back(readAnnotation(j));
            } else {
                skip(j);
            }
        });
    }

    // The attributes "value", "param", "index" and the child elements `value` and `param`.
    void readStateFields(size_t i, SState& s) {
        s.value = attribute(i, "value");
        s.paramRef = attribute(i, "param");
        s.index = intAttribute(i, "index");
        children(i, [&](size_t j, const std::string& n) {
            if (n == "value")
                s.value = text(j);
            else if (n == "param")
                s.paramRef = text(j);
            else
                skip(j);
        });
        if (!s.paramRef.empty()) m_params.push_back({m_nodes[i].name, s.paramRef.c_str(), m_nodes[i].line});
    }

    void readStates(size_t i, SPass& pass) {
        children(i, [&](size_t j, const std::string& n) {
            if (n != "blend_func") {
                SState s;
                s.name = n.c_str();
                readStateFields(j, s);
                pass.states.push_back(s);
                return;
            }
            children(j, [&](size_t k, const std::string& m) {
                if (m != "src" && m != "dest") return skip(k);
                SState s;
                s.name = ("blend_func " + m).c_str();
                readStateFields(k, s);
                pass.states.push_back(s);
            });
        });
    }

    void readEvaluate(size_t i, SPass& pass) {
        children(i, [&](size_t j, const std::string& n) {
            SEvaluate e;
            e.name = n.c_str();
            if (n == "color_target" || n == "depth_target") {
                e.index = intAttribute(j, "index");
                children(j, [&](size_t k, const std::string& m) {
                    if (m == "param") {
                        e.paramRef = required(k, "ref");
                        m_params.push_back({n, e.paramRef.c_str(), m_nodes[k].line});
                    } else if (m == "instance_image") {
                        e.paramRef = attribute(k, "url");
                    } else {
                        skip(k);
                    }
                });
            } else if (n == "stencil_target" || n == "color_clear" || n == "depth_clear" || n == "stencil_clear" ||
                       n == "draw") {
                e.index = intAttribute(j, "index");
                e.value = text(j);
            } else {
                return skip(j);
            }
            pass.evaluates.push_back(e);
        });
    }

    void readShader(size_t i, u32 technique, u32 pass, u32 shaderIndex, SShader& s) {
        s.stage = lookup(kStages, attribute(i, "stage"));
        s.target = KE_TARGET_UNKNOWN;  // until a `compiler` element gives one
        children(i, [&](size_t j, const std::string& n) {
            if (n == "sources") {
                s.entry = attribute(j, "entry");
                children(j, [&](size_t k, const std::string& m) {
                    if (m == "inline") {
                        s.inlines.push_back(text(k));
                    } else if (m == "import") {
                        const char* ref = required(k, "ref");
                        s.sourceFile = ref;
                        m_imports.push_back({technique, pass, shaderIndex, ref, m_nodes[k].line});
                    } else {
                        skip(k);
                    }
                });
            } else if (n == "compiler") {
                s.target = lookup(kTargets, attribute(j, "target"));
            } else if (n == "bind_uniform") {
                readBind(j, s);
            } else {
                skip(j);
            }
        });
    }

    // A bind takes its value from the effect parameter its `param` names; a bind without one
    // (a value given in place) is not read.
    void readBind(size_t i, SShader& s) {
        SParameter b;
        b.name = attribute(i, "symbol");
        bool hasParam = false;
        children(i, [&](size_t j, const std::string& n) {
            if (n != "param") return skip(j);
            hasParam = true;
            b.text = required(j, "ref");
            m_params.push_back({"bind_uniform", b.text.c_str(), m_nodes[j].line});
        });
        if (hasParam) s.binds.push_back(b);
    }

    // ---- references resolved after the walk -----------------------------------------------------

    void resolveReferences() {
        for (const PendingImport& p : m_imports) {
            const SInclude* found = nullptr;
            for (u32 k = 0; k < m_record.includes.size() && !found; ++k)
                if (p.ref == m_record.includes[k].sid.c_str()) found = &m_record.includes[k];
            if (!found) {
                m_error = "COLLADA missing include reference for source ref '" + p.ref + "' in <import>";
                m_errorLine = p.line;
                return;
            }
            m_record.techniques[p.technique].passes[p.pass].shaders[p.shader].sourceFile = found->url;
        }
        for (const PendingParam& p : m_params) {
            bool found = false;
            for (u32 k = 0; k < m_record.parameters.size() && !found; ++k)
                found = p.ref == m_record.parameters[k].name.c_str();
            if (!found) {
                m_error = "<" + p.element + "> names the parameter '" + p.ref + "', which no <newparam> declares";
                m_errorLine = p.line;
                return;
            }
        }
    }

    const std::vector<XmlNode>& m_nodes;
    SEffectRecord& m_record;
    const char* m_path;
    std::vector<PendingImport> m_imports;
    std::vector<PendingParam> m_params;
    std::string m_error;
    int m_errorLine = 0;
};

}  // namespace

// ---- the loader ---------------------------------------------------------------------------------

bool CKeEffectDefLoaderCollada::isLoadableFile(const c8* fileName) const {
    return keHasExtension(fileName, "dae") || keHasExtension(fileName, "xml");
}

IKeEffectDef* CKeEffectDefLoaderCollada::createEffectDef(KeEffectFileReader reader, const c8* absolutePath,
                                                         const CKeMacro*, bool targetIsOpenGL, core::stringc& error) {
    const char* path = absolutePath ? absolutePath : "";
    if (!reader) reader = &keReadWholeFile;
    std::string data;
    if (!reader(path, data)) {
        setError(error, path, 0, "File Not Found");
        return nullptr;
    }
    return createFromText(data.data(), data.size(), path, targetIsOpenGL, error);
}

CKeEffectDefCollada* CKeEffectDefLoaderCollada::createFromText(const char* data, size_t size, const c8* absolutePath,
                                                               bool targetIsOpenGL, core::stringc& error) {
    error = "";
    const char* path = absolutePath ? absolutePath : "";
    XmlDocument doc;
    if (!parseDocument(data ? data : "", data ? size : 0, path, doc, error)) return nullptr;
    auto* def = new CKeEffectDefCollada(path, targetIsOpenGL);
    if (!Reading(doc, def->record(), path).run(error)) {
        def->drop();
        return nullptr;
    }
    return def;
}

}  // namespace kolm
