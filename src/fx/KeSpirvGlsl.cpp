#include "fx/KeSpirvGlsl.h"

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

// Removes the line that declares `name` as an input and puts `replacement` in its place.
bool replaceDeclaration(std::string& glsl, const std::string& name, const std::string& replacement) {
    const std::string tail = " " + name + ";";
    for (size_t at = glsl.find(tail); at != std::string::npos; at = glsl.find(tail, at + 1)) {
        size_t start = glsl.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        const std::string line = glsl.substr(start, at - start);
        if (line.find(" in ") == std::string::npos && line.compare(0, 3, "in ") != 0) continue;
        glsl.replace(start, at + tail.size() - start, replacement);
        return true;
    }
    return false;
}

KeConstantKind kindOf(const SPIRType& t) {
    switch (t.basetype) {
        case SPIRType::Int: return KeConstantKind::Int;
        case SPIRType::UInt: return KeConstantKind::UInt;
        case SPIRType::Boolean: return KeConstantKind::Bool;
        default: return KeConstantKind::Float;
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
            for (uint32_t m = 0; m < type.member_types.size(); ++m) {
                const SPIRType& mt = glsl.get_type(type.member_types[m]);
                KeShaderConstant c;
                c.name = glsl.get_member_name(ubo.base_type_id, m);
                c.kind = kindOf(mt);
                c.buffer = static_cast<int>(b);
                c.offset = glsl.type_struct_member_offset(type, m);
                c.size = static_cast<uint32_t>(glsl.get_declared_struct_member_size(type, m));
                if (mt.basetype == SPIRType::Struct) {
                    error = "constant '" + c.name + "' is a structure; only scalars, vectors, "
                            "matrices and their arrays are supported";
                    return false;
                }
                c.arraySize = mt.array.empty() ? 1 : std::max<uint32_t>(1, mt.array[0]);
                c.arrayStride = mt.array.empty() ? 0 : glsl.type_struct_member_array_stride(type, m);
                if (mt.columns > 1) {
                    // HLSL matrices come through with HLSL rows as SPIR-V columns.
                    c.rows = mt.columns;
                    c.columns = mt.vecsize;
                    c.matrixStride = glsl.type_struct_member_matrix_stride(type, m);
                    c.rowsContiguous = !glsl.has_member_decoration(ubo.base_type_id, m, spv::DecorationRowMajor);
                } else {
                    c.rows = 1;
                    c.columns = mt.vecsize;
                }
                c.registerIndex = static_cast<int>(c.offset / 16);
                c.registerCount = static_cast<int>((c.offset + c.size + 15) / 16) - c.registerIndex;
                out.constants.push_back(c);
            }
            // The flattened array takes the block type's name; the stages need their own.
            // One vec4 array when every member is made of floats (one upload per draw);
            // otherwise a plain structure uniform set member by member.
            bool allFloat = true;
            for (const KeShaderConstant& c : out.constants)
                if (c.buffer == static_cast<int>(b) && c.kind != KeConstantKind::Float) allFloat = false;
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
            c.registerIndex = c.samplerIndex;
            c.registerCount = 1;
            glsl.set_name(s.id, c.name);
            out.constants.push_back(c);
        }
        for (const spirv_cross::CombinedImageSampler& cs : glsl.get_combined_image_samplers()) {
            KeShaderConstant c;
            c.name = glsl.get_name(cs.image_id);
            c.kind = KeConstantKind::Sampler;
            c.samplerIndex = static_cast<int>(glsl.get_decoration(cs.sampler_id, spv::DecorationBinding));
            c.registerIndex = c.samplerIndex;
            c.registerCount = 1;
            glsl.set_name(cs.combined_id, c.name);
            out.constants.push_back(c);
        }

        // Vertex inputs by semantic; varyings named by semantic.
        struct InputDefine { std::string name, expr; };
        std::vector<InputDefine> defines;
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
                    if (t.basetype == SPIRType::Int) expr = (t.vecsize == 1 ? "int" : "ivec" + std::to_string(t.vecsize)) + "(" + expr + ")";
                    if (t.basetype == SPIRType::UInt) expr = (t.vecsize == 1 ? "uint" : "uvec" + std::to_string(t.vecsize)) + "(" + expr + ")";
                    defines.push_back({name, expr});
                }
            } else {
                const std::string name = "kev_" + sem;
                glsl.set_name(r.id, name);
                glsl.unset_decoration(r.id, spv::DecorationLocation);
                const SPIRType& t = glsl.get_type(r.type_id);
                // Direct3D 9 system values: the pixel position and the facing sign.
                if (sem == "VPOS0") defines.push_back({name, swizzled("kein_vpos", false, t.vecsize)});
                else if (sem == "VFACE0") defines.push_back({name, "(gl_FrontFacing ? 1.0 : -1.0)"});
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
                glsl.set_name(r.id, "kev_" + sem);
                glsl.unset_decoration(r.id, spv::DecorationLocation);
            }
        }

        std::string text = glsl.compile();

        for (const InputDefine& d : defines)
            replaceDeclaration(text, d.name, "#define " + d.name + " " + d.expr);

        // Our own main around the shader's: the render-target convention lives here.
        replaceAll(text, "void main()", "void kein_main()");
        // The compatibility profile: the library feeds vertices through the fixed-function arrays.
        if (text.compare(0, 13, "#version 330\n") == 0) text.replace(0, 12, "#version 330 compatibility");
        const size_t afterVersion = text.find('\n') + 1;
        if (vertex) {
            text.insert(afterVersion, "uniform vec4 kein_target;\n");
            text += "\nvoid main()\n{\n    kein_main();\n    gl_Position.y *= kein_target.x;\n}\n";
        } else {
            // kein_vpos: VPOS, whole pixels from the top-left corner; kein_fragcoord: the same
            // at pixel centres, as SV_Position reads.
            replaceAll(text, "gl_FragCoord", "kein_fragcoord");
            text.insert(afterVersion, "uniform vec4 kein_target;\nvec4 kein_vpos;\nvec4 kein_fragcoord;\n");
            text += "\nvoid main()\n{\n"
                    "    kein_vpos = vec4(floor(gl_FragCoord.x),\n"
                    "                     kein_target.x < 0.0 ? floor(gl_FragCoord.y)\n"
                    "                                         : kein_target.y - 1.0 - floor(gl_FragCoord.y),\n"
                    "                     gl_FragCoord.zw);\n"
                    "    kein_fragcoord = vec4(kein_vpos.xy + vec2(0.5), gl_FragCoord.zw);\n"
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
