// The annotated HLSL effect format: one annotation line -> what the reading builds (every
// handler, option and message), technique readings with their condition names and inline
// texts, nested conditions, the block markers, and files that must fail cleanly.
#include "effect_test_util.h"

#include <gtest/gtest.h>

using namespace kolm;
using namespace kolm_test;

namespace {

struct Row {
    const char* line;
    const char* model;  // describe() of the default technique, or the error after "/fx/test.hlsl(2): "
    bool fails = false;
};

void checkRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        LoadedEffect e;
        loadEffectText(e, block(row.line));
        if (row.fails) {
            EXPECT_EQ(e.def, nullptr) << row.line;
            EXPECT_EQ(e.error, std::string("/fx/test.hlsl(2): ") + row.model) << row.line;
        } else {
            ASSERT_NE(e.def, nullptr) << row.line << ": " << e.error;
            EXPECT_EQ(describe(*e.def), row.model) << row.line;
        }
    }
}

TEST(EffectAnnotations, FunctionAndConfigLines) {
    checkRows({
        {"// function vertexMain : myVertexMain", "VE myVertexMain"},
        {"// function PIXELMAIN : myPixel ;", "PE myPixel"},
        {"// function geometryMain : g", ""},
        {"// function", "entry point has 1 tokens0 less than 2", true},
        {"// function vertexMain", "entry point has 0 tokens less than 1", true},
        {"// config baseMaterial : trans_add", "PA baseMaterial=trans_add"},
        {"// config render : lpp", "TA render=lpp|"},
        {"// config RenderTarget : LightRTT", "TA rendertarget=LightRTT|"},
        {"// config tangents", "TA tangents=true|"},
        {"// config techniques :  depth   shadow ", "TA techniques=depth shadow |"},
        {"// config render", ""},
        {"// config colour : red", ""},
        {"// config", "config has 1 tokens0 less than 2", true},
    });
}

TEST(EffectAnnotations, TextureLines) {
    checkRows({
        {"// texture : file.png", "P Tex__0 9 url=file.png; S texture2D Tex__0 0"},
        {"// texture", "P Tex__0 9; S texture2D Tex__0 0"},
        {"// texture 5 : x.png", "P Tex__5 9 url=x.png; S texture2D Tex__5 5"},
        {"// texture 007 : x.png", "P Tex__7 9 url=x.png; S texture2D Tex__7 7"},
        {"// texture first : x.png", "P Tex__0 9 url=x.png; S texture2D Tex__0 0"},
        {"// texture : Color", "P Tex__0 9 sem=LW_Tex_BaseColor; S texture2D Tex__0 0"},
        {"// texture : bump", "P Tex__0 9 sem=LW_Tex_Bump; S texture2D Tex__0 0"},
        // The surfaces' refraction index channel is "IOR": both spellings reach it.
        {"// texture : RefractionIndex", "P Tex__0 9 sem=LW_Tex_IOR; S texture2D Tex__0 0"},
        {"// texture : ior", "P Tex__0 9 sem=LW_Tex_IOR; S texture2D Tex__0 0"},
        {"// texture : MyLookup : preset", "P Tex__0 9 sem=MyLookup; S texture2D Tex__0 0"},
        {"// texture : Color : preset", "P Tex__0 9 sem=Color; S texture2D Tex__0 0"},
        {"// texture : sky.dds : cube", "P Tex__0 12 url=sky.dds; S textureCUBE Tex__0 0"},
        {"// texture : v.dds : 3D", "P Tex__0 10 url=v.dds; S texture3D Tex__0 0"},
        {"// texture : v.dds : 3d cube", "P Tex__0 12 url=v.dds; S textureCUBE Tex__0 0"},
        {"// texture : a : repeat", "P Tex__0 9 url=a wrap=REPEAT,REPEAT,REPEAT; S texture2D Tex__0 0"},
        {"// texture : a : clamp", "P Tex__0 9 url=a wrap=CLAMP,CLAMP,CLAMP; S texture2D Tex__0 0"},
        {"// texture : a : clamp_to_edge", "P Tex__0 9 url=a wrap=CLAMP_TO_EDGE,CLAMP_TO_EDGE,CLAMP_TO_EDGE; S texture2D Tex__0 0"},
        {"// texture : a : clamp repeat", "P Tex__0 9 url=a wrap=CLAMP,CLAMP,CLAMP; S texture2D Tex__0 0"},
        {"// texture : a : NOMIPMAP", "P Tex__0 9 url=a mip=NONE; S texture2D Tex__0 0"},
        {"// texture : a : filterPoint", "P Tex__0 9 url=a min=NEAREST mag=NEAREST; S texture2D Tex__0 0"},
        {"// texture : a : trilinear", "P Tex__0 9 url=a min=LINEAR mag=LINEAR mip=LINEAR; S texture2D Tex__0 0"},
        {"// texture : a : noMipMap filterPoint trilinear", "P Tex__0 9 url=a min=LINEAR mag=LINEAR mip=LINEAR; S texture2D Tex__0 0"},
        {"// texture : a : r32f srgb image", "P Tex__0 9 url=a format=r32f SRGB=true UIWidget=Image; S texture2D Tex__0 0"},
        {"// texture : a : shiny", "P Tex__0 9 url=a; S texture2D Tex__0 0"},
        {"// texture 8 : x.png", "Sampler illegal index > MATERIAL_MAX_TEXTURES", true},
        {"// texture 99999999999999999999999 : x.png", "Sampler illegal index > MATERIAL_MAX_TEXTURES", true},
    });
}

TEST(EffectAnnotations, EveryTextureChannel) {
    const struct {
        const char* source;
        const char* semantic;
    } channels[] = {
        {"Color", "LW_Tex_BaseColor"},          {"BaseColor", "LW_Tex_BaseColor"},
        {"Luminosity", "LW_Tex_Luminosity"},    {"Diffuse", "LW_Tex_Diffuse"},
        {"Specularity", "LW_Tex_Specularity"},  {"Reflectivity", "LW_Tex_Reflectivity"},
        {"Transparency", "LW_Tex_Transparency"}, {"Translucency", "LW_Tex_Translucency"},
        {"RefractionIndex", "LW_Tex_IOR"},      {"IOR", "LW_Tex_IOR"},
        {"Bump", "LW_Tex_Bump"},                {"Glossiness", "LW_Tex_Glossiness"},
        {"ReflectionImage", "LW_Tex_ReflectionImage"}, {"RefractionImage", "LW_Tex_RefractionImage"},
    };
    for (const auto& c : channels) {
        LoadedEffect e;
        loadEffectText(e, block(std::string("// texture : ") + c.source));
        ASSERT_NE(e.def, nullptr) << e.error;
        EXPECT_EQ(e.def->getTextureParameterBySemantic(nullptr, c.semantic), 0) << c.source;
    }
}

TEST(EffectAnnotations, ParameterLines) {
    checkRows({
        {"// float4 TintColor : 1, 0.5, 0, 1 : color pixel", "P TintColor 5 text=1  0.5  0  1  | UIWidget=Color; PB TintColor>TintColor"},
        {"// float4x4 Wvp : WorldViewProjection", "P Wvp 6 sem=WorldViewProjectionTranspose; VB Wvp>Wvp"},
        {"// float4x4 Wvp : worldviewprojectiontranspose", "P Wvp 6 sem=WorldViewProjection; VB Wvp>Wvp"},
        {"// float4x4 M : ViewInversePrevViewProjection", "P M 6 sem=ViewInversePrevViewProjectionTranspose; VB M>M"},
        {"// float t : Time0_X", "P t 2 sem=TimeScene; VB t>t"},
        {"// float t : ParticleTimeNow", "P t 2 sem=Time; VB t>t"},
        {"// float4 c : ParticleColor", "P c 5 sem=LWHV_Color; VB c>c"},
        {"// float4 a : LightAmbient1", "P a 5 sem=LightAmbient; VB a>a"},
        {"// float3 p : lightpos3", "P p 4 sem=LightPos3; VB p>p"},
        {"// float3 p : ObjectInvTrans7", "P p 4 sem=ObjectInvTrans7; VB p>p"},
        {"// float r : Surface_Roughness", "P r 2 sem=LW_Roughness; VB r>r"},
        {"// float g : Surface_Glossiness : pixel", "P g 2 sem=LW_Glossiness; PB g>g"},
        {"// float g : Surface_specialbuffer3", "P g 2 sem=LW_SpecialBuffer3; VB g>g"},
        {"// float g : surface_Glossiness", "P g 2 text=surface_Glossiness  |; VB g>g"},
        {"// float g : Surface_Shininess", "P g 2 text=Surface_Shininess  |; VB g>g"},
        {"// int n : 3 : vertex", "P n 7 text=3  |; VB n>n"},
        {"// INTEGER n : 3", "P n 7 text=3  |; VB n>n"},
        {"// bool b : 1 : both", "P b 1 text=1  |; VB b>b; PB b>b"},
        {"// floatN f : 2 : pixel vertex", "P f 2 text=2  |; PB f>f"},
        {"// floatNRef f : 2 : vertex both", "P f 2 text=2  |; VB f>f"},
        {"// float2 v : 1,2", "P v 3 text=1  2  |; VB v>v"},
        {"// float3 v : 1 ,2, 3 ; both", "P v 4 text=1  2  3  |; VB v>v; PB v>v"},
        {"// float p : 0.5 : percent", "P p 2 text=0.5  | UIWidget=Percent; VB p>p"},
        {"// float4 p : 1,1,1,1 : percent color", "P p 5 text=1  1  1  1  | UIWidget=Color; VB p>p"},
        {"float4 Direct : 1, 2 ;", "P Direct 5 text=1  2  |; VB Direct>Direct"},
        {"// float is great", "param line has 0 tokens less than 1", true},
        {"// float", "param line has 1 tokens0 less than 2", true},
        {"// This line is a comment", ""},
        {"// half h : 1", ""},
        {"//", ""},
    });
}

TEST(EffectAnnotations, DescriptiveLines) {
    checkRows({
        {"//title  My effect", "title=My effect"},
        {"//subject Particles", "subject=Particles"},
        {"//comments two  words", "comments=two  words"},
        {"// title My effect", ""},
        {"//titled x", ""},
        {"//title", ""},
    });
    LoadedEffect e;
    loadEffectText(e, block("//comments " + std::string(600, 'c')));
    ASSERT_NE(e.def, nullptr);
    EXPECT_EQ(e.def->record().comments.size(), 511u);
}

TEST(EffectAnnotations, NoBlockGivesTheDefaultTechnique) {
    LoadedEffect e;
    loadEffectText(e, "float4 ps_main() : COLOR0 { return 1; }\n// float x : 1\n");
    ASSERT_NE(e.def, nullptr) << e.error;
    const IKeEffectDef& d = *e.def;
    SEffectDesc desc{};
    d.getDesc(desc);
    EXPECT_EQ(desc.techniques, 1u);
    EXPECT_EQ(desc.parameters, 0u);
    const SPass* pass = d.getPass(d.getTechnique(0), 0);
    ASSERT_NE(pass, nullptr);
    SShaderDesc vs{}, ps{};
    ASSERT_TRUE(d.getShaderDesc(d.getShader(pass, 0), vs));
    ASSERT_TRUE(d.getShaderDesc(d.getShader(pass, 1), ps));
    EXPECT_EQ(d.getShader(pass, 2), nullptr);
    EXPECT_STREQ(d.getTechnique(0)->name.c_str(), "");
    EXPECT_EQ(vs.stage, KE_STAGE_VERTEX);
    EXPECT_STREQ(vs.entry, "vs_main");
    EXPECT_EQ(vs.target, KE_TARGET_VS_3_0);
    EXPECT_STREQ(vs.sourceFile, "/fx/test.hlsl");
    EXPECT_EQ(ps.stage, KE_STAGE_FRAGMENT);
    EXPECT_STREQ(ps.entry, "ps_main");
    EXPECT_EQ(ps.target, KE_TARGET_PS_3_0);
    EXPECT_EQ(vs.inlines + ps.inlines + vs.binds + ps.binds, 0u);
}

// Each technique reading sees its own condition names; a texture's name carries the technique.
TEST(EffectAnnotations, TechniqueReadings) {
    LoadedEffect e;
    loadEffectText(e, block("// config techniques : depth shadow reflection glow default\n"
                            "//KOLM_PP:U:TECH_NDFLT:// texture : default.png\n"
                            "//KOLM_PP:D:TECH_NDFLT:// texture : other.png\n"
                            "//KOLM_PP:D:TECH_DEPTH:// texture : depth.png\n"
                            "//KOLM_PP:D:TECH_SHADOW:// texture : shadow.png\n"
                            "//KOLM_PP:D:TECH_REFLECT:// texture : reflect.png\n"
                            "// float k : 1"));
    ASSERT_NE(e.def, nullptr) << e.error;
    const SEffectRecord& r = e.def->record();
    ASSERT_EQ(r.techniques.size(), 6u);
    const struct {
        const char* name;
        const char* inlines;
        const char* textures;
    } expected[] = {
        {"", "", "Tex__0=default.png"},
        {"depth", "#define USE_TECH_NDFLT|#define USE_TECH_DEPTH|", "Tex_depth_0=other.png Tex_depth_1=depth.png"},
        {"shadow", "#define USE_TECH_NDFLT|#define USE_TECH_SHADOW|", "Tex_shadow_0=other.png Tex_shadow_1=shadow.png"},
        {"reflection", "#define USE_TECH_NDFLT|#define USE_TECH_REFLECT|", "Tex_reflection_0=other.png Tex_reflection_1=reflect.png"},
        {"glow", "#define USE_TECH_NDFLT|", "Tex_glow_0=other.png"},
        {"default", "", "Tex_default_0=default.png"},
    };
    for (unsigned t = 0; t < 6; ++t) {
        const STechnique& tech = r.techniques[t];
        EXPECT_STREQ(tech.name.c_str(), expected[t].name);
        for (unsigned s = 0; s < 2; ++s) {
            std::string inl;
            for (unsigned i = 0; i < tech.passes[0].shaders[s].inlines.size(); ++i)
                inl += std::string(tech.passes[0].shaders[s].inlines[i].c_str()) + "|";
            EXPECT_EQ(inl, expected[t].inlines) << t << " shader " << s;
        }
        std::string textures;
        for (unsigned i = 0; i < tech.passes[0].states.size(); ++i) {
            const SParameter* p = e.def->getStateParameter(&tech.passes[0].states[i]);
            ASSERT_NE(p, nullptr);
            textures += (textures.empty() ? "" : " ") + std::string(p->name.c_str()) + "=" + p->imageUrl.c_str();
        }
        EXPECT_EQ(textures, expected[t].textures) << expected[t].name;
    }
    // The constant is read once per technique; name lookups find the first.
    unsigned constants = 0;
    for (unsigned i = 0; i < r.parameters.size(); ++i) constants += r.parameters[i].name == "k";
    EXPECT_EQ(constants, 6u);
    EXPECT_EQ(e.def->getParameterIndex(e.def->getParameterByName(nullptr, "k")), 1);  // after Tex__0
}

TEST(EffectAnnotations, NestedConditions) {
    const std::string text = block("//KOLM_PP:D:A://KOLM_PP:U:B:// texture : Color\n"
                                   "//KOLM_PP:D:TEX_COLOR:// float HasColor : 1\n"
                                   "//KOLM_PP:X:A:// float Malformed : 1\n"
                                   "//KOLM_PP:D:A\n");
    const struct {
        std::vector<std::string> macros;
        const char* model;
    } cases[] = {
        {{}, ""},
        {{"USE_A"}, "P Tex__0 9 sem=LW_Tex_BaseColor; S texture2D Tex__0 0"},
        {{"A=1"}, "P Tex__0 9 sem=LW_Tex_BaseColor; S texture2D Tex__0 0"},
        {{"USE_A", "USE_B"}, ""},
        {{"USE_a"}, ""},
        {{"USE_TEX_COLOR"}, "P HasColor 2 text=1  |; VB HasColor>HasColor"},
        {{"TEX_COLOR"}, "P HasColor 2 text=1  |; VB HasColor>HasColor"},
    };
    for (const auto& c : cases) {
        LoadedEffect e;
        loadEffectText(e, text, c.macros);
        ASSERT_NE(e.def, nullptr) << e.error;
        EXPECT_EQ(describe(*e.def), c.model) << (c.macros.empty() ? "" : c.macros[0]);
    }
}

TEST(EffectAnnotations, BlockMarkers) {
    LoadedEffect e;
    loadEffectText(e, "// float before : 1\n"
                      "// float on : 1 [KOLM_BEGIN] here\r\n"
                      "\r\n\n"
                      "// float inside : 2\n"
                      "//   [KOLM_END] // float onEnd : 3\n"
                      "// float after : 4\n"
                      "// [KOLM_BEGIN]\n// float second : 5\n");
    ASSERT_NE(e.def, nullptr) << e.error;
    EXPECT_EQ(describe(*e.def), "P inside 2 text=2  |; VB inside>inside");
}

// Files that must fail with the file and line, and leave nothing behind.
TEST(EffectAnnotations, BrokenFiles) {
    const std::string longValue = "// float4 x : " + std::string(250, '1');
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "/fx/test.hlsl: Error"},
        {"// [KOLM_BEGIN]\n// float x : 1\n", "/fx/test.hlsl(1): [KOLM_BEGIN] without [KOLM_END]"},
        {"float4 a;\r\n\r\n// [KOLM_BEGIN]\r\n// float x : 1\r\n", "/fx/test.hlsl(3): [KOLM_BEGIN] without [KOLM_END]"},
        {std::string("// [KOLM_BEGIN]\n// float x : 1\n\x01\x02\0\x03", 36), "/fx/test.hlsl(3): not a text file (zero byte)"},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "/fx/test.hlsl(3): not a text file (zero byte)"},
        {"\n\n// [KOLM_BEGIN]\r\n\r\n// float is great\r\n// [KOLM_END]\n", "/fx/test.hlsl(5): param line has 0 tokens less than 1"},
        {"\r\r// [KOLM_BEGIN]\r// config\r// [KOLM_END]\r", "/fx/test.hlsl(4): config has 1 tokens0 less than 2"},
        {block(longValue), "/fx/test.hlsl(2): annotation line longer than 255 characters"},
        // The failing reading is the second one: the definition is still not handed out.
        {block("// config techniques : depth\n//KOLM_PP:D:TECH_DEPTH:// texture 9 : x.png"),
         "/fx/test.hlsl(3): Sampler illegal index > MATERIAL_MAX_TEXTURES"},
        {block("// texture : a\n// texture : b\n// texture : c\n// texture : d\n// texture : e\n// texture : f\n"
               "// texture : g\n// texture : h\n// texture : i"),
         "/fx/test.hlsl(10): Sampler illegal index > MATERIAL_MAX_TEXTURES"},
    };
    for (const auto& c : cases) {
        LoadedEffect e;
        loadEffectText(e, c.text);
        EXPECT_EQ(e.def, nullptr) << c.error;
        EXPECT_EQ(e.error, c.error);
    }
}

// Ordinary comments of any length stand in the block; field and item counts are capped.
TEST(EffectAnnotations, LongLinesAndManyFields) {
    std::string manyItems = "// float4 v : ";
    for (int i = 0; i < 40; ++i) manyItems += std::to_string(i) + ",";
    LoadedEffect e;
    loadEffectText(e, block("// " + std::string(400, 'x') + "\n// float f : 1" + std::string(40, ':') + "\n" + manyItems));
    ASSERT_NE(e.def, nullptr) << e.error;
    const SParameter* v = e.def->getParameterByName(nullptr, "v");
    ASSERT_NE(v, nullptr);
    std::string expected;
    for (int i = 0; i < 32; ++i) expected += std::to_string(i) + "  ";
    EXPECT_EQ(v->text.c_str(), expected);
}

}  // namespace
