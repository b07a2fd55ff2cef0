// The read interface of effect definitions: lookups, elements of the wrong kind, the value
// readers with their padding and "false" answers.
#include "effect_test_util.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kolm;
using namespace kolm_test;
using namespace irr;

namespace {

class EffectDef : public ::testing::Test {
protected:
    void SetUp() override {
        loadEffectText(e, block("// config techniques : depth\n"
                                "// config render : lpp\n"
                                "// config baseMaterial : solid\n"
                                "// float4 Two : 1, 2\n"
                                "// float4x4 M : 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,6,7,1\n"
                                "// float4x4 Short : 1,2,3\n"
                                "// float Neg : -2.75 : pixel\n"
                                "// int Big : 1e12\n"
                                "// bool Off : 0\n"
                                "// bool On : 3\n"
                                "// float Word : red\n"
                                "// float Gloss : Surface_Glossiness\n"
                                "// texture : Color : srgb\n"
                                "// float Ref : 1 : both\n"));
        ASSERT_NE(e.def, nullptr) << e.error;
        d = e.def;
    }
    const SParameter* param(const char* name) { return d->getParameterByName(nullptr, name); }

    LoadedEffect e;
    const IKeEffectDef* d = nullptr;
};

TEST_F(EffectDef, Lookups) {
    EXPECT_STREQ(d->getName(), "/fx/test.hlsl");
    EXPECT_EQ(d->getTechniqueIndexByName("depth"), 1);
    EXPECT_EQ(d->getTechniqueIndexByName("Depth"), -1);
    EXPECT_EQ(d->getTechnique(2), nullptr);
    EXPECT_EQ(d->getPass(d->getTechnique(0), 1), nullptr);
    EXPECT_EQ(d->getPass(nullptr, 0), nullptr);

    const SParameter* two = d->getParameter(nullptr, 0);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(d->getParameter(two, 0), nullptr);  // only effect parameters
    EXPECT_EQ(d->getParameterIndex(two), 0);
    SParameter outside;
    EXPECT_EQ(d->getParameterIndex(&outside), -1);
    EXPECT_EQ(d->getParameterIndex(nullptr), -1);
    EXPECT_EQ(d->getParameterByName(nullptr, "two"), nullptr);
    EXPECT_EQ(d->getParameterBySemantic(two, "LW_Glossiness"), param("Gloss"));
    EXPECT_EQ(d->getParameterBySemantic(nullptr, "lw_glossiness"), nullptr);
    // Only texture parameters count for the texture lookup.
    EXPECT_EQ(d->getTextureParameterBySemantic(nullptr, "LW_Glossiness"), -1);
    const s32 tex = d->getTextureParameterBySemantic(nullptr, "LW_Tex_BaseColor");
    ASSERT_GE(tex, 0);
    EXPECT_STREQ(d->getParameter(nullptr, u32(tex))->name.c_str(), "Tex__0");
    SSamplerDesc s{};
    ASSERT_TRUE(d->getSamplerDesc(d->getParameter(nullptr, u32(tex)), s));
    EXPECT_STREQ(s.imageUrl, "");
    ASSERT_NE(d->getAnnotationByName(d->getParameter(nullptr, u32(tex)), "SRGB"), nullptr);

    const SPass* pass = d->getPass(d->getTechnique(0), 0);
    const SShader* ps = d->getShader(pass, 1);
    const SParameter* bind = d->getBind(ps, 0);
    const char* symbol = nullptr;
    const char* text = nullptr;
    ASSERT_TRUE(d->getElementName(bind, symbol));
    ASSERT_TRUE(d->getElementText(bind, text));
    EXPECT_STREQ(symbol, "Neg");
    EXPECT_STREQ(text, "Neg");
    EXPECT_EQ(d->getBindParameter(bind), param("Neg"));
    EXPECT_EQ(d->getBind(ps, 9), nullptr);

    const SState* state = d->getStateByName(pass, "texture2D");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(d->getStateParameter(state), d->getParameter(nullptr, u32(tex)));
    EXPECT_EQ(d->getState(pass, 1), nullptr);
    EXPECT_EQ(d->getEvaluate(pass, 0), nullptr);

    const char* inl = "x";
    EXPECT_FALSE(d->getShaderInline(ps, 0, inl));
    EXPECT_STREQ(inl, "");
    const SShader* depthPs = d->getShader(d->getPass(d->getTechnique(1), 0), 1);
    ASSERT_TRUE(d->getShaderInline(depthPs, 1, inl));
    EXPECT_STREQ(inl, "#define USE_TECH_DEPTH");
}

TEST_F(EffectDef, AnnotationsByElementKind) {
    const STechnique* t = d->getTechnique(0);
    const SPass* pass = d->getPass(t, 0);
    EXPECT_STREQ(d->getAnnotationByName(t, "render")->text.c_str(), "lpp");
    EXPECT_STREQ(d->getAnnotation(pass, 0)->text.c_str(), "solid");
    EXPECT_EQ(d->getAnnotation(pass, 1), nullptr);
    EXPECT_EQ(d->getAnnotation(nullptr, 0), nullptr);  // the effect has none
    // Shaders, states and evaluates carry no annotations.
    EXPECT_EQ(d->getAnnotation(d->getShader(pass, 0), 0), nullptr);
    EXPECT_EQ(d->getAnnotationByName(d->getState(pass, 0), "render"), nullptr);
}

TEST_F(EffectDef, ValueReaders) {
    f32 v[4] = {9, 9, 9, 9};
    EXPECT_FALSE(d->getFloatArray(param("Two"), v, 4));
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[1], 2.0f);
    EXPECT_EQ(v[2], 0.0f);
    EXPECT_EQ(v[3], 0.0f);
    EXPECT_TRUE(d->getFloatArray(param("Two"), v, 2));

    f32 m[16];
    for (f32& x : m) x = 7;
    EXPECT_FALSE(d->getMatrix(param("Short"), m));
    EXPECT_EQ(m[0], 7.0f);  // untouched
    ASSERT_TRUE(d->getMatrix(param("M"), m));
    EXPECT_EQ(m[12], 5.0f);
    EXPECT_EQ(m[15], 1.0f);

    f32 f = 0;
    EXPECT_TRUE(d->getFloat(param("Neg"), f));
    EXPECT_EQ(f, -2.75f);
    EXPECT_FALSE(d->getFloat(param("Word"), f));
    EXPECT_EQ(f, 0.0f);
    EXPECT_FALSE(d->getFloat(nullptr, f));

    s32 i = 5;
    EXPECT_TRUE(d->getInt(param("Neg"), i));
    EXPECT_EQ(i, -2);
    EXPECT_TRUE(d->getInt(param("Big"), i));  // "1e12" read as an integer: 1
    EXPECT_EQ(i, 1);
    s32 ints[3];
    EXPECT_FALSE(d->getIntArray(param("Big"), ints, 3));
    EXPECT_EQ(ints[0], 2147483647);  // held within s32
    EXPECT_EQ(ints[1], 0);
    EXPECT_TRUE(d->getIntArray(param("Neg"), ints, 1));
    EXPECT_EQ(ints[0], -2);

    bool b = true;
    EXPECT_TRUE(d->getBool(param("Off"), b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(d->getBool(param("On"), b));
    EXPECT_TRUE(b);
}

TEST(EffectDefNumbers, TextForms) {
    f32 v[5];
    EXPECT_EQ(keReadFloats(" 1.5f\t-2\n\r+3 1e2 x", v, 5), 4u);
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(v[1], -2.0f);
    EXPECT_EQ(v[2], 3.0f);
    EXPECT_EQ(v[3], 100.0f);
    EXPECT_EQ(v[4], 0.0f);
    EXPECT_EQ(keReadFloats("inf nan 1", v, 3), 0u);
    EXPECT_EQ(keReadFloats("1e999 2", v, 2), 2u);  // out of range reads as 0
    EXPECT_EQ(v[0], 0.0f);
    EXPECT_EQ(v[1], 2.0f);
    s32 i = 0;
    EXPECT_TRUE(keReadInt("-99999999999999", i));
    EXPECT_EQ(i, -2147483647 - 1);
    EXPECT_FALSE(keReadInt("", i));
    EXPECT_FALSE(keReadInt(nullptr, i));
}

}  // namespace
