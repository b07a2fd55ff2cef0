#include "fx/KeSpirvGlsl.h"

#include "gl/KeGlParticles.h"

#include <cctype>

#include <spirv_glsl.hpp>
#include <spirv-tools/libspirv.hpp>

#include <algorithm>
#include <cstring>
#include <map>

namespace kolm {

namespace {

using spirv_cross::SPIRType;

// Canonical semantic: upper case with an index ("TEXCOORD" -> "TEXCOORD0").
std::string canonicalSemantic(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s.back()))) s += '0';
    return s;
}

// Splits "TEXCOORD3" into ("TEXCOORD", 3).
void splitSemantic(const std::string& s, std::string& base, int& index) {
    size_t d = s.size();
    while (d > 0 && std::isdigit(static_cast<unsigned char>(s[d - 1]))) --d;
    base = s.substr(0, d);
    index = d < s.size() ? std::atoi(s.c_str() + d) : 0;
}

// The fixed-function array a vertex input of this semantic reads, or "" when none.
std::string fixedFunctionSource(const std::string& semantic, bool& isVec3) {
    std::string base;
    int index = 0;
    splitSemantic(semantic, base, index);
    isVec3 = false;
    if (base == "POSITION" || base == "SV_POSITION") return index == 0 ? "gl_Vertex" : "";
    if (base == "NORMAL") { isVec3 = true; return index == 0 ? "gl_Normal" : ""; }
    if (base == "COLOR") return index == 0 ? "gl_Color" : index == 1 ? "gl_SecondaryColor" : "";
    if (base == "TEXCOORD" && index < 8) return "gl_MultiTexCoord" + std::to_string(index);
    if (base == "TANGENT") return "gl_MultiTexCoord1";
    if (base == "BINORMAL") return "gl_MultiTexCoord2";
    return "";
}

// The generic attribute location of an input of the instancing contract, or -1.
int instanceLocation(const std::string& semantic) {
    if (semantic == "TEXCOORD0") return KE_INSTANCE_ATTRIB_CORNER;
    if (semantic == "POSITION0") return KE_INSTANCE_ATTRIB_POSITION;
    if (semantic == "NORMAL0") return KE_INSTANCE_ATTRIB_NORMAL;
    if (semantic == "TANGENT0") return KE_INSTANCE_ATTRIB_TANGENT;
    return -1;
}

// Expression of a `vecsize`-component value read from a vec4 (or vec3) source.
std::string swizzled(const std::string& src, bool srcVec3, uint32_t vecsize) {
    if (srcVec3) {
        switch (vecsize) {
            case 1: return "(" + src + ".x)";
            case 2: return "(" + src + ".xy)";
            case 3: return "(" + src + ")";
            default: return "vec4(" + src + ", 1.0)";
        }
    }
    switch (vecsize) {
        case 1: return "(" + src + ".x)";
        case 2: return "(" + src + ".xy)";
        case 3: return "(" + src + ".xyz)";
        default: return "(" + src + ")";
    }
}

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

// Removes the line that declares `name` with the storage `keyword` ("in" or "out") and puts
// `replacement` in its place. `qualifiers` gets what stood before the keyword ("flat ", ...).
bool replaceDeclaration(std::string& glsl, const std::string& name, const std::string& replacement,
                        const char* keyword = "in", std::string* qualifiers = nullptr) {
    const std::string tail = " " + name + ";";
    const std::string word = std::string(keyword) + " ";
    for (size_t at = glsl.find(tail); at != std::string::npos; at = glsl.find(tail, at + 1)) {
        size_t start = glsl.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        const std::string line = glsl.substr(start, at - start);
        size_t k = line.compare(0, word.size(), word) == 0 ? 0 : line.find(" " + word);
        if (k == std::string::npos) continue;
        if (qualifiers) *qualifiers = k == 0 ? "" : line.substr(0, k + 1);
        glsl.replace(start, at + tail.size() - start, replacement);
        return true;
    }
    return false;
}

// A varying crosses between the stages as four components of its base type, whatever width
// each stage declares (HLSL links by semantic and lets the stages differ in width). Returns
// the GLSL type of the varying, or "" when the type is not a plain scalar or vector.
std::string varyingType(const SPIRType& t) {
    if (t.columns > 1 || !t.array.empty()) return "";
    switch (t.basetype) {
        case SPIRType::Float: return "vec4";
        case SPIRType::Int: return "ivec4";
        case SPIRType::UInt: return "uvec4";
        default: return "";
    }
}

std::string glslTypeName(const SPIRType& t) {
    const char* scalar = t.basetype == SPIRType::Int ? "int" : t.basetype == SPIRType::UInt ? "uint" : "float";
    const char* prefix = t.basetype == SPIRType::Int ? "ivec" : t.basetype == SPIRType::UInt ? "uvec" : "vec";
    return t.vecsize == 1 ? scalar : prefix + std::to_string(t.vecsize);
}

// The four-component value written for a narrower output: missing components are 0, and w is 1,
// as texture coordinates default.
std::string widened(const std::string& name, const SPIRType& t) {
    const std::string four = varyingType(t);
    const bool isFloat = t.basetype == SPIRType::Float;
    const std::string zero = isFloat ? "0.0" : t.basetype == SPIRType::UInt ? "0u" : "0";
    const std::string one = isFloat ? "1.0" : t.basetype == SPIRType::UInt ? "1u" : "1";
    switch (t.vecsize) {
        case 1: return four + "(" + name + ", " + zero + ", " + zero + ", " + one + ")";
        case 2: return four + "(" + name + ", " + zero + ", " + one + ")";
        case 3: return four + "(" + name + ", " + one + ")";
        default: return name;
    }
}

KeConstantKind kindOf(const SPIRType& t) {
    switch (t.basetype) {
        case SPIRType::Int: return KeConstantKind::Int;
        case SPIRType::UInt: return KeConstantKind::UInt;
        case SPIRType::Boolean: return KeConstantKind::Bool;
        default: return KeConstantKind::Float;
    }
}

// Reflects the members of a structure at `base` bytes into `out`, named by their HLSL path
// ("Light.Color", "Lights[2].Color"). A structure member also gets an entry of its own that
// covers its registers, so that it can be set whole, register after register.
void addMembers(const spirv_cross::CompilerGLSL& glsl, const SPIRType& type, uint32_t base, const std::string& path,
                int buffer, std::vector<KeShaderConstant>& out) {
    for (uint32_t m = 0; m < type.member_types.size(); ++m) {
        const SPIRType& mt = glsl.get_type(type.member_types[m]);
        KeShaderConstant c;
        c.name = path + glsl.get_member_name(type.self, m);
        c.kind = kindOf(mt);
        c.buffer = buffer;
        c.offset = base + glsl.type_struct_member_offset(type, m);
        c.size = static_cast<uint32_t>(glsl.get_declared_struct_member_size(type, m));
        c.registerIndex = static_cast<int>(c.offset / 16);
        c.registerCount = static_cast<int>((c.offset + c.size + 15) / 16) - c.registerIndex;
        if (mt.basetype == SPIRType::Struct) {
            const SPIRType* element = &mt;
            while (!element->array.empty()) element = &glsl.get_type(element->parent_type);
            const uint32_t count = mt.array.empty() ? 1 : std::max<uint32_t>(1, mt.array[0]);
            const uint32_t stride = mt.array.empty() ? 0 : glsl.type_struct_member_array_stride(type, m);
            for (uint32_t i = 0; i < count; ++i)
                addMembers(glsl, *element, c.offset + i * stride,
                           c.name + (mt.array.empty() ? "" : "[" + std::to_string(i) + "]") + ".", buffer, out);
            c.kind = KeConstantKind::Float;
            c.columns = 4;
            c.arraySize = static_cast<uint32_t>(c.registerCount);
            c.arrayStride = 16;
            c.whole = true;
            out.push_back(c);
            continue;
        }
        c.arraySize = mt.array.empty() ? 1 : std::max<uint32_t>(1, mt.array[0]);
        c.arrayStride = mt.array.empty() ? 0 : glsl.type_struct_member_array_stride(type, m);
        if (mt.columns > 1) {
            // HLSL matrices come through with HLSL rows as SPIR-V columns.
            c.rows = mt.columns;
            c.columns = mt.vecsize;
            c.matrixStride = glsl.type_struct_member_matrix_stride(type, m);
            c.rowsContiguous = !glsl.has_member_decoration(type.self, m, spv::DecorationRowMajor);
        } else {
            c.rows = 1;
            c.columns = mt.vecsize;
        }
        out.push_back(c);
    }
}


bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Wraps every sampling call on the sampler `name` (a four-component texture function whose
// first argument is the sampler) in kein_sample(..., unit), which turns sRGB texels linear
// when the unit's layer holds sRGB colours. Samplers handed to a function are not followed.
void wrapSampling(std::string& text, const std::string& name, int unit) {
    const std::string needle = "(" + name;
    size_t at = 0;
    while ((at = text.find(needle, at)) != std::string::npos) {
        const size_t after = at + needle.size();
        size_t begin = at;
        while (begin > 0 && isIdentifierChar(text[begin - 1])) --begin;
        const std::string function = text.substr(begin, at - begin);
        if (after >= text.size() || isIdentifierChar(text[after]) || function.compare(0, 7, "texture") != 0 ||
            function.find("Size") != std::string::npos || function.find("Levels") != std::string::npos ||
            function.find("Query") != std::string::npos || function.find("Gather") != std::string::npos) {
            at = after;
            continue;
        }
        int depth = 0;
        size_t end = at;
        for (; end < text.size(); ++end) {
            if (text[end] == '(') ++depth;
            else if (text[end] == ')' && --depth == 0) break;
        }
        if (end >= text.size()) return;
        const std::string tail = ", " + std::to_string(unit) + ")";
        text.insert(end + 1, tail);
        text.insert(begin, "kein_sample(");
        at = end + 1 + tail.size() + 12;
    }
}

}  // namespace

bool keValidateSpirv(const uint8_t* byteCode, size_t size, std::string& error) {
    if (!byteCode || size < 20 || size % 4 != 0) {
        error = "byte code is not SPIR-V";
        return false;
    }
    std::vector<uint32_t> words(size / 4);
    std::memcpy(words.data(), byteCode, size);
    spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_0);
    std::string log;
    tools.SetMessageConsumer([&log](spv_message_level_t, const char*, const spv_position_t&, const char* m) {
        if (log.empty()) log = m ? m : "";
    });
    if (!tools.Validate(words)) {
        error = "invalid SPIR-V: " + log;
        return false;
    }
    return true;
}

const KeShaderConstant* keFindConstant(const KeGlslShader& shader, const char* name) {
    auto it = std::lower_bound(shader.constants.begin(), shader.constants.end(), name,
                               [](const KeShaderConstant& c, const char* n) { return c.name < n; });
    if (it == shader.constants.end() || it->name != name) return nullptr;
    return &*it;
}

bool keSpirvToGlsl(const uint8_t* byteCode, size_t size, bool vertex, KeGlslShader& out,
                   std::string& error) {
    out = KeGlslShader();
    if (!byteCode || size < 20 || size % 4 != 0) {
        error = "byte code is not SPIR-V";
        return false;
    }
    std::vector<uint32_t> words(size / 4);
    std::memcpy(words.data(), byteCode, size);
    try {
        spirv_cross::CompilerGLSL glsl(std::move(words));
        spirv_cross::CompilerGLSL::Options opt;
        opt.version = 330;
        opt.es = false;
        opt.enable_420pack_extension = false;
        opt.emit_uniform_buffer_as_plain_uniforms = true;
        glsl.set_common_options(opt);

        glsl.build_combined_image_samplers();
        spirv_cross::ShaderResources res = glsl.get_shader_resources();
        const std::string prefix = vertex ? "kev_" : "kep_";

        // Constant buffers: flattened vec4 arrays, reflected member by member.
        for (size_t b = 0; b < res.uniform_buffers.size(); ++b) {
            const spirv_cross::Resource& ubo = res.uniform_buffers[b];
            const SPIRType& type = glsl.get_type(ubo.base_type_id);
            const size_t bytes = glsl.get_declared_struct_size(type);
            const std::string arrayName = prefix + "c" + std::to_string(b);
            addMembers(glsl, type, 0, "", static_cast<int>(b), out.constants);
            // The flattened array takes the block type's name; the stages need their own.
            // One vec4 array when every member is made of floats (one upload per draw);
            // otherwise a plain structure uniform set member by member.
            bool allFloat = true;
            for (const KeShaderConstant& c : out.constants)
                if (c.buffer == static_cast<int>(b) && !c.whole && c.kind != KeConstantKind::Float) allFloat = false;
            glsl.set_name(ubo.id, arrayName);
            glsl.set_name(ubo.base_type_id, allFloat ? arrayName : prefix + "t" + std::to_string(b));
            if (allFloat) glsl.flatten_buffer_block(ubo.id);
            out.bufferFlattened.push_back(allFloat);
            out.bufferNames.push_back(arrayName);
            out.bufferRegisters.push_back(static_cast<uint32_t>((bytes + 15) / 16));
        }
        if (!res.storage_buffers.empty() || !res.storage_images.empty()) {
            error = "read-write buffers and images are not supported";
            return false;
        }

        // Samplers: the unit is the binding (register(sN)). Texture and sampler objects
        // declared apart are combined, named after the texture, on the sampler's unit.
        std::vector<uint32_t> combinedIds;
        for (const spirv_cross::CombinedImageSampler& cs : glsl.get_combined_image_samplers())
            combinedIds.push_back(cs.combined_id);
        for (const spirv_cross::Resource& s : res.sampled_images) {
            if (std::find(combinedIds.begin(), combinedIds.end(), uint32_t(s.id)) != combinedIds.end()) continue;
            KeShaderConstant c;
            c.name = glsl.get_name(s.id);
            if (c.name.empty()) c.name = s.name;
            c.kind = KeConstantKind::Sampler;
            c.samplerIndex = static_cast<int>(glsl.get_decoration(s.id, spv::DecorationBinding));
            c.unit = c.samplerIndex + (vertex ? KE_VERTEX_SAMPLER_UNIT0 : 0);
            c.registerIndex = c.samplerIndex;
            c.registerCount = 1;
            c.glslName = "kes_s" + std::to_string(c.unit) + "_" + std::to_string(out.constants.size());
            glsl.set_name(s.id, c.glslName);
            out.constants.push_back(c);
        }
        for (const spirv_cross::CombinedImageSampler& cs : glsl.get_combined_image_samplers()) {
            KeShaderConstant c;
            c.name = glsl.get_name(cs.image_id);
            c.kind = KeConstantKind::Sampler;
            c.samplerIndex = static_cast<int>(glsl.get_decoration(cs.sampler_id, spv::DecorationBinding));
            c.unit = c.samplerIndex + (vertex ? KE_VERTEX_SAMPLER_UNIT0 : 0);
            c.registerIndex = c.samplerIndex;
            c.registerCount = 1;
            c.glslName = "kes_s" + std::to_string(c.unit) + "_" + std::to_string(out.constants.size());
            glsl.set_name(cs.combined_id, c.glslName);
            out.constants.push_back(c);
        }

        // Vertex inputs by semantic; varyings named by semantic.
        struct InputDefine { std::string name, expr; };
        std::vector<InputDefine> defines;
        std::string instanceInputs;  // declarations of the generic attributes of instancing
        // Varyings declared four wide: `local` is the stage's own variable, `linked` the
        // four-component one that crosses; `narrow` the local type when narrower than four.
        struct Varying { std::string local, linked, four, narrow; uint32_t width; std::string write; };
        std::vector<Varying> varyings;
        for (const spirv_cross::Resource& r : res.stage_inputs) {
            std::string sem = glsl.get_decoration_string(r.id, spv::DecorationUserSemantic);
            if (sem.empty()) sem = "TEXCOORD" + std::to_string(glsl.get_decoration(r.id, spv::DecorationLocation));
            sem = canonicalSemantic(sem);
            if (vertex) {
                bool vec3 = false;
                const std::string src = fixedFunctionSource(sem, vec3);
                const std::string name = "kein_in_" + sem;
                glsl.set_name(r.id, name);
                if (!src.empty()) {
                    const SPIRType& t = glsl.get_type(r.type_id);
                    std::string expr = swizzled(src, vec3, t.vecsize);
                    // The instancing contract: while "kein_instanced" is 1 these come from
                    // generic attributes (per corner and per instance) instead.
                    if (const int location = instanceLocation(sem); location >= 0) {
                        const std::string attribute = "kein_inst_" + sem;
                        instanceInputs += "layout(location = " + std::to_string(location) + ") in vec4 " + attribute + ";\n";
                        expr = "(kein_instanced != 0 ? " + swizzled(attribute, false, t.vecsize) + " : " + expr + ")";
                    }
                    if (t.basetype == SPIRType::Int) expr = (t.vecsize == 1 ? "int" : "ivec" + std::to_string(t.vecsize)) + "(" + expr + ")";
                    if (t.basetype == SPIRType::UInt) expr = (t.vecsize == 1 ? "uint" : "uvec" + std::to_string(t.vecsize)) + "(" + expr + ")";
                    defines.push_back({name, expr});
                }
            } else {
                const SPIRType& t = glsl.get_type(r.type_id);
                glsl.unset_decoration(r.id, spv::DecorationLocation);
                // Direct3D 9 system values: the pixel position and the facing sign.
                if (sem == "VPOS0" || sem == "VFACE0") {
                    const std::string name = "kev_" + sem;
                    glsl.set_name(r.id, name);
                    defines.push_back({name, sem == "VPOS0" ? swizzled("kein_vpos", false, t.vecsize)
                                                            : "(gl_FrontFacing ? 1.0 : -1.0)"});
                    continue;
                }
                const std::string four = varyingType(t);
                if (four.empty()) {
                    glsl.set_name(r.id, "kev_" + sem);
                    continue;
                }
                const std::string name = "kein_i_" + sem;
                glsl.set_name(r.id, name);
                varyings.push_back({name, "kev_" + sem, four, glslTypeName(t), t.vecsize, ""});
            }
        }
        if (!vertex) {
            // Pixel outputs: COLORn / SV_TARGETn go to draw buffer n, DEPTH to the depth.
            for (const spirv_cross::Resource& r : res.stage_outputs) {
                std::string sem = glsl.get_decoration_string(r.id, spv::DecorationUserSemantic);
                if (sem.empty()) continue;
                std::string base;
                int index = 0;
                splitSemantic(canonicalSemantic(sem), base, index);
                if (base == "DEPTH" || base == "SV_DEPTH")
                    glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInFragDepth);
                else if (base == "COLOR" || base == "SV_TARGET")
                    glsl.set_decoration(r.id, spv::DecorationLocation, static_cast<uint32_t>(index));
            }
        }
        if (vertex) {
            for (const spirv_cross::Resource& r : res.stage_outputs) {
                std::string sem = glsl.get_decoration_string(r.id, spv::DecorationUserSemantic);
                if (sem.empty()) sem = "TEXCOORD" + std::to_string(glsl.get_decoration(r.id, spv::DecorationLocation));
                sem = canonicalSemantic(sem);
                if (sem == "POSITION0" || sem == "SV_POSITION0") {
                    glsl.set_decoration(r.id, spv::DecorationBuiltIn, spv::BuiltInPosition);
                    continue;
                }
                glsl.unset_decoration(r.id, spv::DecorationLocation);
                const SPIRType& t = glsl.get_type(r.type_id);
                const std::string four = varyingType(t);
                if (four.empty()) {
                    glsl.set_name(r.id, "kev_" + sem);
                    continue;
                }
                const std::string name = "kein_o_" + sem;
                glsl.set_name(r.id, name);
                varyings.push_back({name, "kev_" + sem, four, glslTypeName(t), t.vecsize, widened(name, t)});
            }
        }

        std::string text = glsl.compile();

        for (const InputDefine& d : defines)
            replaceDeclaration(text, d.name, "#define " + d.name + " " + d.expr);
        std::string writeVaryings;
        for (const Varying& v : varyings) {
            const std::string marker = "@kein_varying@";
            std::string qualifiers;
            if (!replaceDeclaration(text, v.local, marker, vertex ? "out" : "in", &qualifiers)) continue;
            std::string declaration;
            if (vertex) {
                // The shader writes its own variable; main copies it out four wide.
                declaration = qualifiers + "out " + v.four + " " + v.linked + ";\n" + v.narrow + " " + v.local + ";";
                writeVaryings += "    " + v.linked + " = " + v.write + ";\n";
            } else {
                // Direct3D 9 takes a pixel's attributes at its top-left corner (pixel centres on
                // whole coordinates), GL at its centre: float varyings are read half a pixel up
                // and left of GL's point, so texel-centred effect code samples where it aims.
                const bool atCorner = v.four == "vec4" && qualifiers.find("flat") == std::string::npos;
                const std::string at = atCorner ? "interpolateAtOffset(" + v.linked + ", kein_corner)" : v.linked;
                const std::string read = v.width == 4 ? at : swizzled(at, false, v.width);
                declaration = qualifiers + "in " + v.four + " " + v.linked + ";\n#define " + v.local + " " + read;
            }
            text.replace(text.find(marker), marker.size(), declaration);
        }

        // Layers that hold sRGB colours are read linear, as Direct3D 9's SRGBTexture state
        // reads them: the material renderer sets bit N of "kein_srgb" for unit N.
        bool anySampler = false;
        if (!vertex)
            for (const KeShaderConstant& c : out.constants) {
                if (c.kind != KeConstantKind::Sampler) continue;
                for (const char* type : {"sampler1D ", "sampler2D ", "sampler3D ", "samplerCube "})
                    if (text.find(std::string("uniform ") + type + c.glslName + ";") != std::string::npos) {
                        wrapSampling(text, c.glslName, c.unit);
                        anySampler = true;
                    }
            }

        // Our own main around the shader's: the render-target convention lives here.
        replaceAll(text, "void main()", "void kein_main()");
        // The compatibility profile: the library feeds vertices through the fixed-function arrays.
        if (text.compare(0, 13, "#version 330\n") == 0) text.replace(0, 12, "#version 330 compatibility");
        const size_t afterVersion = text.find('\n') + 1;
        if (vertex) {
            text.insert(afterVersion, "uniform vec4 kein_target;\n" +
                                          (instanceInputs.empty() ? std::string() : "uniform int kein_instanced;\n" + instanceInputs));
            text += "\nvoid main()\n{\n    kein_main();\n" + writeVaryings + "}\n";
        } else {
            // kein_vpos: VPOS, whole pixels from the top-left corner; kein_fragcoord: the same
            // at pixel centres, as SV_Position reads.
            replaceAll(text, "gl_FragCoord", "kein_fragcoord");
            if (anySampler)
                text.insert(afterVersion,
                            "uniform int kein_srgb;\n"
                            "vec4 kein_sample(vec4 c, int unit)\n{\n"
                            "    if ((kein_srgb & (1 << unit)) == 0) return c;\n"
                            "    vec3 lo = c.rgb / 12.92;\n"
                            "    vec3 hi = pow((c.rgb + 0.055) / 1.055, vec3(2.4));\n"
                            "    return vec4(mix(lo, hi, step(vec3(0.04045), c.rgb)), c.a);\n}\n");
            text.insert(afterVersion, "#extension GL_ARB_gpu_shader5 : require\nuniform vec4 kein_target;\n"
                                      "vec4 kein_vpos;\nvec4 kein_fragcoord;\nvec2 kein_corner;\n");
            text += "\nvoid main()\n{\n"
                    "    kein_vpos = vec4(floor(gl_FragCoord.x),\n"
                    "                     kein_target.x < 0.0 ? floor(gl_FragCoord.y)\n"
                    "                                         : kein_target.y - 1.0 - floor(gl_FragCoord.y),\n"
                    "                     gl_FragCoord.zw);\n"
                    "    kein_fragcoord = vec4(kein_vpos.xy + vec2(0.5), gl_FragCoord.zw);\n"
                    // Half a pixel left and up the picture: window y grows upwards on the back
                    // buffer and downwards in a render target.
                    "    kein_corner = vec2(-0.5, 0.5 * kein_target.x);\n"
                    "    kein_main();\n}\n";
        }
        out.glsl = std::move(text);
    } catch (const std::exception& e) {
        error = std::string("SPIR-V to GLSL failed: ") + e.what();
        return false;
    }
    std::sort(out.constants.begin(), out.constants.end(),
              [](const KeShaderConstant& a, const KeShaderConstant& b) { return a.name < b.name; });
    // A name used in two places (sampler in both forms) is listed once.
    out.constants.erase(std::unique(out.constants.begin(), out.constants.end(),
                                    [](const KeShaderConstant& a, const KeShaderConstant& b) { return a.name == b.name; }),
                        out.constants.end());
    return true;
}

}  // namespace kolm
