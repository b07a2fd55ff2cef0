// HLSL to GLSL: how semantics, registers and constants come out, without a GL context.
#include "fx/KeHlslCompiler.h"
#include "fx/KeSpirvGlsl.h"

#include <gtest/gtest.h>

using namespace kolm;

namespace {

KeGlslShader convert(const std::string& source, bool vertex, const char* entry) {
    std::vector<uint8_t> code;
    std::string messages;
    EXPECT_TRUE(keCompileHlsl(source, entry, vertex, {}, nullptr, code, messages)) << messages;
    KeGlslShader out;
    std::string error;
    EXPECT_TRUE(keSpirvToGlsl(code.data(), code.size(), vertex, out, error)) << error;
    return out;
}

TEST(HlslToGlsl, SemanticsMapToWhatTheLibraryFeedsAndReads) {
    const std::string src =
        "struct V { float4 p : POSITION; float2 uv : TEXCOORD; float4 c : COLOR1; };\n"
        "V vs_main(float3 p : POSITION, float3 n : NORMAL, float2 uv : TEXCOORD0, float4 t : TANGENT,\n"
        "          float4 col : COLOR) {\n"
        "  V o; o.p = float4(p + n, 1); o.uv = uv + t.xy; o.c = col; return o; }\n"
        "struct P { float4 a : COLOR0; float4 b : COLOR3; float d : DEPTH; };\n"
        "P ps_main(float2 uv : TEXCOORD0, float4 c : COLOR1, float2 vp : VPOS, float f : VFACE) {\n"
        "  P o; o.a = float4(uv, vp) * f; o.b = c; o.d = 0.25; return o; }\n";
    const KeGlslShader vs = convert(src, true, "vs_main");
    const KeGlslShader ps = convert(src, false, "ps_main");
    const struct { const KeGlslShader* s; const char* text; } expected[] = {
        {&vs, "#version 330 compatibility\n"},
        // the inputs of the instancing contract read generic attributes while instanced
        {&vs, "#define kein_in_POSITION0 (kein_instanced != 0 ? (kein_inst_POSITION0.xyz) : (gl_Vertex.xyz))"},
        {&vs, "#define kein_in_NORMAL0 (kein_instanced != 0 ? (kein_inst_NORMAL0.xyz) : (gl_Normal))"},
        {&vs, "#define kein_in_TEXCOORD0 (kein_instanced != 0 ? (kein_inst_TEXCOORD0.xy) : (gl_MultiTexCoord0.xy))"},
        {&vs, "#define kein_in_TANGENT0 (kein_instanced != 0 ? (kein_inst_TANGENT0) : (gl_MultiTexCoord1))"},
        {&vs, "uniform int kein_instanced;\nlayout(location = 7) in vec4 kein_inst_POSITION0;"},
        {&vs, "#define kein_in_COLOR0 (gl_Color)"},
        {&vs, "out vec4 kev_TEXCOORD0;"},     // "TEXCOORD" is TEXCOORD0; four wide
        {&vs, "kev_TEXCOORD0 = vec4(kein_o_TEXCOORD0, 0.0, 1.0);"},
        {&vs, "out vec4 kev_COLOR1;"},
        {&vs, "gl_Position"},
        {&ps, "in vec4 kev_TEXCOORD0;"},
        // read at the pixel's top-left corner, where Direct3D 9 reads attributes
        {&ps, "#define kein_i_TEXCOORD0 (interpolateAtOffset(kev_TEXCOORD0, kein_corner).xy)"},
        {&ps, "in vec4 kev_COLOR1;"},
        {&ps, "#define kev_VPOS0 (kein_vpos.xy)"},
        {&ps, "#define kev_VFACE0 (gl_FrontFacing ? 1.0 : -1.0)"},
        {&ps, "layout(location = 0) out vec4"},
        {&ps, "layout(location = 3) out vec4"},
        {&ps, "gl_FragDepth = 0.25"},
    };
    for (const auto& e : expected)
        EXPECT_NE(e.s->glsl.find(e.text), std::string::npos) << e.text << "\n" << e.s->glsl;
}

TEST(HlslToGlsl, ConstantTableFromTheByteCode) {
    const std::string src =
        "float4x4 m; float4x3 m43; float2 arr[3]; float4 v; float s;\n"
        "sampler2D a : register(s2); samplerCUBE b : register(s5);\n"
        "float4 vs_main(float3 p : POSITION) : POSITION { return mul(float4(p, 1), m) + float4(mul(float4(p, 1), m43), 0); }\n"
        "float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {\n"
        "  return tex2D(a, uv) + texCUBE(b, uv.xyy) + v * s + arr[2].xyxy; }\n";
    const KeGlslShader ps = convert(src, false, "ps_main");
    const struct { const char* name; int reg, count, sampler; uint32_t rows, columns, arraySize; } cases[] = {
        {"m", 0, 4, -1, 4, 4, 1},     {"m43", 4, 3, -1, 4, 3, 1}, {"arr", 7, 3, -1, 1, 2, 3},
        {"v", 10, 1, -1, 1, 4, 1},    {"s", 11, 1, -1, 1, 1, 1},  {"a", 2, 1, 2, 1, 1, 1},
        {"b", 5, 1, 5, 1, 1, 1},
    };
    for (const auto& c : cases) {
        const KeShaderConstant* k = keFindConstant(ps, c.name);
        ASSERT_NE(k, nullptr) << c.name;
        EXPECT_EQ(k->registerIndex, c.reg) << c.name;
        EXPECT_EQ(k->registerCount, c.count) << c.name;
        EXPECT_EQ(k->samplerIndex, c.sampler) << c.name;
        EXPECT_EQ(k->rows, c.rows) << c.name;
        EXPECT_EQ(k->columns, c.columns) << c.name;
        EXPECT_EQ(k->arraySize, c.arraySize) << c.name;
    }
    EXPECT_EQ(keFindConstant(ps, "nothing"), nullptr);
}

TEST(HlslToGlsl, EffectSyntaxIsBlankedKeepingLines) {
    const std::string src =
        "texture t < string n = \"a;b\"; >;\n"
        "sampler2D s : register(s0) = sampler_state {\n  Texture = <t>;\n};\n"
        "float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(s, uv) + undefinedName; }\n"
        "technique T { pass P { PixelShader = compile ps_3_0 ps_main(); } }\n"
        "texture2D t2 : DIFFUSEMAP; textureCUBE env;\n"
        "PixelShader compiled = compile ps_3_0 ps_main();\n";
    const std::string stripped = keStripEffectSyntax(src);
    EXPECT_EQ(stripped.size(), src.size());
    EXPECT_EQ(std::count(stripped.begin(), stripped.end(), '\n'), std::count(src.begin(), src.end(), '\n'));
    EXPECT_EQ(stripped.find("texture"), std::string::npos);
    EXPECT_EQ(stripped.find("sampler_state"), std::string::npos);
    EXPECT_EQ(stripped.find("technique"), std::string::npos);
    EXPECT_EQ(stripped.find("textureCUBE"), std::string::npos);
    EXPECT_EQ(stripped.find("compiled"), std::string::npos);
    EXPECT_NE(stripped.find("sampler2D s : register(s0)"), std::string::npos);
    // The error is reported on the line where it is written.
    std::vector<uint8_t> code;
    std::string messages;
    EXPECT_FALSE(keCompileHlsl(src, "ps_main", false, {}, nullptr, code, messages));
    EXPECT_EQ(messages.rfind("memory(5): error: 'undefinedName'", 0), 0u) << messages;

    // Other effect-file constructs the compiler takes as they are.
    const std::string fx =
        "string Description = \"an effect\";\n"
        "shared float4x4 ViewProj : VIEWPROJECTION;\n"
        "uniform float4 Colour : DIFFUSE < string UIName = \"Colour\"; float UIMin = 0; > = {1, 1, 1, 1};\n"
        "static const float PI = 3.14159;\n"
        "Texture2D dx10 : register(t1); SamplerState dx10s : register(s1);\n"
        "sampler Samp = sampler_state { Texture = (t2); AddressU = Wrap; };\n"
        "float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {\n"
        "  return tex2D(Samp, uv) * Colour * PI + dx10.Sample(dx10s, uv); }\n";
    const KeGlslShader ps = convert(fx, false, "ps_main");
    ASSERT_NE(keFindConstant(ps, "dx10"), nullptr);
    EXPECT_EQ(keFindConstant(ps, "dx10")->samplerIndex, 1);
    ASSERT_NE(keFindConstant(ps, "Samp"), nullptr);
    EXPECT_EQ(keFindConstant(ps, "Samp")->samplerIndex, 0);
    EXPECT_NE(keFindConstant(ps, "Colour"), nullptr);
}

}  // namespace

// What the text asks for that cannot be built is an error with its message, never an empty
// stage or a crash: a missing entry point, and expressions deeper than the compiler can walk.
TEST(HlslToGlsl, MissingEntryPointAndHostileDepthAreCompileErrors) {
    const std::string ok = "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n";
    std::vector<uint8_t> code;
    std::string messages;
    EXPECT_FALSE(keCompileHlsl(ok, "vs_x", true, {}, nullptr, code, messages));
    EXPECT_EQ(messages, "memory(1): error: 'vs_x': entrypoint not found\n");

    auto chain = [](size_t terms) {
        std::string s = "float4 vs_main(float3 p : POSITION) : POSITION {\n  float x = p.x;\n  return float4(x";
        for (size_t i = 1; i < terms; ++i) s += "+x";
        return s + ", 0, 0, 1);\n}\n";
    };
    // Deep but legal: more than the default stack takes.
    const std::string deep = chain(20000);
    ASSERT_TRUE(keCompileHlsl(deep, "vs_main", true, {}, nullptr, code, messages)) << messages;
    KeGlslShader out;
    std::string error;
    EXPECT_TRUE(keSpirvToGlsl(code.data(), code.size(), true, out, error)) << error;
    // Beyond any shader's need: refused with the line of the statement.
    EXPECT_FALSE(keCompileHlsl(chain(150000), "vs_main", true, {}, nullptr, code, messages));
    EXPECT_EQ(messages.compare(0, 41, "memory(3): error: expression too complex "), 0) << messages;
    std::string nested = "float4 vs_main(float3 p : POSITION) : POSITION {\n  return float4(";
    for (int i = 0; i < 5000; ++i) nested += "(";
    nested += "p.x";
    for (int i = 0; i < 5000; ++i) nested += ")";
    nested += ", 0, 0, 1);\n}\n";
    EXPECT_FALSE(keCompileHlsl(nested, "vs_main", true, {}, nullptr, code, messages));
    EXPECT_NE(messages.find("memory(2): error: expression too complex"), std::string::npos) << messages;
}
