// The effect builder on stub shader services: compile parameters (base material, blend bits,
// macros, shader paths), parameter cells and sampler settings, constant and texture binds,
// texture loading and the fixed error texts.
#include "effect_runtime_stub.h"
#include "support/log_capture.h"

#include "core/KePtr.h"
#include "fx/CKeEffectBuilder.h"

#include <gtest/gtest.h>
#include <irrlicht/irrlicht.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace irr;
using namespace kolm;
using namespace kolm_test;

namespace {

u32 bitsOf(f32 f) {
    u32 u;
    std::memcpy(&u, &f, 4);
    return u;
}

struct Built {
    KePtr<CKeEffect> effect;
    std::string error;
    std::string log;
};

// Builds the definition of `b` on a fresh kit that `setup` may change first.
Built buildWith(DefBuilder& b, BuildKit& kit) {
    kolmtest::LogCapture log;
    setLogThreshold(KE_DEBUG);
    Built out;
    out.effect = KePtr<CKeEffect>::adopt(kit.build(b.def));
    out.error = out.effect->isValid() ? "" : out.effect->getError();
    out.log = log.text;
    return out;
}

// The build edge cases: each row sets up a one-pass definition and checks what came out.
TEST(EffectBuilder, EdgeCases) {
    struct Case {
        const char* what;
        std::function<void(DefBuilder&, SPass&, BuildKit&)> setup;
        std::function<void(const Built&, BuildKit&)> check;
    };
    auto passOf = [](const Built& b) -> const SKeFxPass& { return b.effect->getFxTechnique(0)->passes[0]; };
    auto blend = [&](u32 want) {
        return [&, want](const Built& b, BuildKit& kit) {
            ASSERT_EQ(b.error, "");
            EXPECT_EQ(passOf(b).material.MaterialTypeParam == passOf(b).material.MaterialTypeParam, true);
            EXPECT_EQ(bitsOf(passOf(b).material.MaterialTypeParam), want);  // denormal bits survive
            EXPECT_EQ(kit.services.calls.at(0).baseMaterial, s32(want ? video::EMT_ONETEXTURE_BLEND : video::EMT_SOLID));
        };
    };
    const std::vector<Case> cases = {
        {"blend_enable TRUE without factors: ONE/ZERO with the texture as alpha source",
         [](DefBuilder&, SPass& p, BuildKit&) { DefBuilder::state(p, "blend_enable", "TRUE"); }, blend(0x2110)},
        {"lower-case factors",
         [](DefBuilder&, SPass& p, BuildKit&) {
             DefBuilder::state(p, "blend_enable", "true");
             DefBuilder::state(p, "blend_func src", "src_alpha");
             DefBuilder::state(p, "blend_func dest", "one_minus_src_alpha");
         },
         blend(0x2167)},
        {"an unknown factor reads ONE",
         [](DefBuilder&, SPass& p, BuildKit&) {
             DefBuilder::state(p, "blend_enable", "true");
             DefBuilder::state(p, "blend_func dest", "SOMETIMES");
         },
         blend(0x2111)},
        {"baseMaterial in mixed case",
         [](DefBuilder&, SPass& p, BuildKit&) { DefBuilder::annotate(p.annotations, "baseMaterial", "Transparent_One_One"); },
         blend(0x111)},
        {"blend states win over baseMaterial",
         [](DefBuilder&, SPass& p, BuildKit&) {
             DefBuilder::annotate(p.annotations, "baseMaterial", "transparent_sub_color");
             DefBuilder::state(p, "blend_enable", "true");
         },
         blend(0x2110)},
        {"unknown baseMaterial",
         [](DefBuilder&, SPass& p, BuildKit&) { DefBuilder::annotate(p.annotations, "baseMaterial", "glass"); },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "Invalid base material annotation glass"); }},
        {"neither, no base material: solid",
         [](DefBuilder&, SPass&, BuildKit&) {},
         [](const Built& b, BuildKit& kit) {
             ASSERT_EQ(b.error, "");
             EXPECT_EQ(kit.services.calls.at(0).baseMaterial, s32(video::EMT_SOLID));
             EXPECT_TRUE(kit.services.calls.at(0).macroListNull);  // no macro at all: no list
         }},
        {"neither, the effect's base material",
         [](DefBuilder&, SPass&, BuildKit& kit) { kit.inputs.baseMaterial = video::EMT_TRANSPARENT_ALPHA_CHANNEL; },
         [](const Built& b, BuildKit& kit) {
             ASSERT_EQ(b.error, "");
             EXPECT_EQ(kit.services.calls.at(0).baseMaterial, s32(video::EMT_TRANSPARENT_ALPHA_CHANNEL));
         }},
        {"inline macros: no value, a tab, inner blanks kept",
         [](DefBuilder&, SPass& p, BuildKit&) {
             p.shaders[0].inlines.push_back("#define USE_TECH_DEPTH");
             p.shaders[0].inlines.push_back("#define TABBED\t1");
             p.shaders[1].inlines.push_back("#define  SPACED  1 2");
         },
         [](const Built& b, BuildKit& kit) {
             ASSERT_EQ(b.error, "");
             using M = std::vector<std::pair<std::string, std::string>>;
             EXPECT_EQ(kit.services.calls.at(0).macros, (M{{"USE_TECH_DEPTH", "<none>"}, {"TABBED", "1"}, {"SPACED", "1 2"}}));
         }},
        {"#define followed by blanks only",
         [](DefBuilder&, SPass& p, BuildKit&) { p.shaders[0].inlines.push_back("#define   "); },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "Invalid source inline : malformed after #define"); }},
        {"an inline text without #define",
         [](DefBuilder&, SPass& p, BuildKit&) { p.shaders[1].inlines.push_back("USE_X"); },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "Invalid source inline : no #define"); }},
        {"the caller's macro wins, a differing inline one is warned about once, an equal one dropped",
         [](DefBuilder&, SPass& p, BuildKit& kit) {
             static const CKeMacro macros[] = {{"FOO", "1"}, {"", "x"}, {"BAR", nullptr}, {nullptr, nullptr}};
             kit.inputs.macros = macros;
             p.shaders[0].inlines.push_back("#define FOO 2");
             p.shaders[1].inlines.push_back("#define BAR");
         },
         [](const Built& b, BuildKit& kit) {
             ASSERT_EQ(b.error, "");
             using M = std::vector<std::pair<std::string, std::string>>;
             EXPECT_EQ(kit.services.calls.at(0).macros, (M{{"FOO", "1"}, {"BAR", "<none>"}}));  // empty name left out
             EXPECT_EQ(b.log, "WARN : Warning: when merging macros, duplicate FOO with different definitions '1' and '2' \n");
         }},
        {"unsupported targets",
         [](DefBuilder&, SPass& p, BuildKit&) { p.shaders[0].target = KE_TARGET_PS_2_0; },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "Unsupported Vertex Compiler target"); }},
        {"empty shader file",
         [](DefBuilder&, SPass& p, BuildKit&) { p.shaders[1].sourceFile = "file://"; },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "Inconsistent Pixel Shader Filename file://"); }},
        {"the services' error text",
         [](DefBuilder&, SPass&, BuildKit& kit) { kit.services.failCompile = true; },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "stub compile error"); }},
        {"a bind to a missing parameter",
         [](DefBuilder&, SPass& p, BuildKit&) { DefBuilder::bind(p, KE_STAGE_VERTEX, "u", "Nope"); },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "failed to get Param 'Nope' for the Bind 'u'"); }},
        {"a texture state to a missing parameter",
         [](DefBuilder&, SPass& p, BuildKit&) { DefBuilder::state(p, "textureCUBE", "", "Env", 2); },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "failed to get Param 'Env' for the texture state'textureCUBE'"); }},
        {"a uniform the shader optimised away, and a semantic no bind knows",
         [](DefBuilder& d, SPass& p, BuildKit& kit) {
             d.param("Gone", KE_FXP_FLOAT);
             d.param("Angle", KE_FXP_FLOAT, "Fov");
             DefBuilder::bind(p, KE_STAGE_VERTEX, "Gone", "Gone");
             DefBuilder::bind(p, KE_STAGE_FRAGMENT, "Angle", "Angle");
             kit.services.missing.insert("Gone");
         },
         [&](const Built& b, BuildKit&) {
             ASSERT_EQ(b.error, "");
             EXPECT_EQ(passOf(b).shaders[0].constants.size(), 0u);
             ASSERT_EQ(passOf(b).shaders[1].constants.size(), 1u);
             EXPECT_STREQ(passOf(b).shaders[1].constants[0].bind->getBindName(), "CKeEffectBind");
             EXPECT_NE(b.log.find("WARN : Warning: test.hlsl: the Semantic 'Fov' has no corresponding binding\n"),
                       std::string::npos);
         }},
        {"unnumbered samplers take free indices, skipping one a state holds... and one a bind holds",
         [](DefBuilder& d, SPass& p, BuildKit& kit) {
             d.param("A", KE_FXP_SAMPLER2D);
             d.param("B", KE_FXP_SAMPLER2D);
             d.param("C", KE_FXP_SAMPLER2D);
             DefBuilder::bind(p, KE_STAGE_FRAGMENT, "a", "A");
             DefBuilder::bind(p, KE_STAGE_FRAGMENT, "b", "B");
             DefBuilder::bind(p, KE_STAGE_FRAGMENT, "c", "C");
             kit.services.samplers["b"] = 0;
         },
         [&](const Built& b, BuildKit&) {
             ASSERT_EQ(b.error, "");
             const auto& t = passOf(b).shaders[1].textures;
             ASSERT_EQ(t.size(), 3u);
             EXPECT_EQ(t[0].sampler, 1);  // 0 is b's
             EXPECT_EQ(t[1].sampler, 0);
             EXPECT_EQ(t[2].sampler, 2);
         }},
        {"a pixel sampler index above 7",
         [](DefBuilder& d, SPass& p, BuildKit&) {
             d.param("A", KE_FXP_SAMPLER2D);
             DefBuilder::state(p, "texture2D", "", "A", 8);
         },
         [](const Built& b, BuildKit&) { EXPECT_EQ(b.error, "Sampler illegal index > MATERIAL_MAX_TEXTURES"); }},
        {"a texture parameter no sampler uses",
         [](DefBuilder& d, SPass&, BuildKit&) { d.param("Unused", KE_FXP_SAMPLER2D).imageUrl = "nowhere.png"; },
         [](const Built& b, BuildKit&) {
             EXPECT_EQ(b.error, "");
             EXPECT_NE(b.log.find("DEBUG : CKeEffectBuilder::loadTextures : The Texture Parameter 'Unused' is not bound to any shader sampler, do not load texture.\n"),
                       std::string::npos);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DefBuilder b;
        SPass& p = b.pass(0);
        BuildKit kit;
        c.setup(b, p, kit);
        Built built = buildWith(b, kit);
        c.check(built, kit);
    }
}

TEST(EffectBuilder, SamplerSettingsFromTheirTexts) {
    struct Case {
        const char *wrapS, *wrapT, *minF, *magF, *mipF, *srgb;
        u8 wrapU, wrapV;
        bool bilinear, trilinear;
        u8 aniso;
        bool isSrgb;
    };
    const std::vector<Case> cases = {
        {"MIRROR_ONCE", "mirrored_repeat", "ANISOTROPIC", "", "", "TRUE", 7, 5, true, false, 8, true},
        {"clamp", "Border", "anisotropic", "nearest", "linear", "false", 1, 3, false, true, 8, false},
        {"", "bogus", "NEAREST", "LINEAR", "POINT", "", 0, 0, true, false, 0, false},
        {"wrap", "CLAMP_TO_EDGE", "LINEAR", "", "NONE", "yes", 0, 2, true, false, 0, false},
        {"MIRROR", "MIRROR_CLAMP_TO_EDGE", "NEAREST", "", "", "", 4, 6, false, false, 0, false},
    };
    for (const Case& c : cases) {
        DefBuilder b;
        SParameter& p = b.param("T", KE_FXP_SAMPLER2D);
        p.wrapS = c.wrapS;
        p.wrapT = c.wrapT;
        p.minFilter = c.minF;
        p.magFilter = c.magF;
        p.mipFilter = c.mipF;
        if (*c.srgb) DefBuilder::annotate(p.annotations, "SRGB", c.srgb);
        b.pass(0);
        BuildKit kit;
        Built built = buildWith(b, kit);
        ASSERT_EQ(built.error, "");
        const SKeFxTextureLayer& l = built.effect->getCell(0)->layer;
        SCOPED_TRACE(std::string(c.wrapS) + "/" + c.wrapT + "/" + c.minF + "/" + c.magF);
        EXPECT_EQ(l.wrapU, c.wrapU);
        EXPECT_EQ(l.wrapV, c.wrapV);
        EXPECT_EQ(l.bilinear, c.bilinear);
        EXPECT_EQ(l.trilinear, c.trilinear);
        EXPECT_EQ(l.anisotropy, c.aniso);
        EXPECT_EQ(l.srgb, c.isSrgb);
    }
}

// A resolver answering from a table (by semantic or URL), recording its calls.
class TableResolver : public IKeEffectTextureResolver {
public:
    video::ITexture* texture = nullptr;
    bool fail = false;
    std::vector<std::string> calls;
    video::ITexture* resolve(s32, const c8* semantic, const c8* url, const c8* dir, const core::array<core::stringc>&,
                             bool& failed) override {
        calls.push_back(std::string(semantic) + "|" + url + "|" + dir);
        failed = fail;
        return fail ? nullptr : texture;
    }
};

TEST(EffectBuilder, TexturesComeFromTheResolversIntoTheLayers) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    video::IImage* image = device->getVideoDriver()->createImage(video::ECF_A8R8G8B8, {2, 2});
    video::ITexture* tex = device->getVideoDriver()->addTexture("t", image);
    image->drop();
    for (int failing = 0; failing < 2; ++failing) {
        DefBuilder b("/fx/dir/tex.hlsl");
        SParameter& p = b.param("Albedo", KE_FXP_SAMPLER2D);
        p.imageUrl = "albedo.png";
        p.wrapS = "CLAMP";
        SPass& pass = b.pass(0);
        DefBuilder::state(pass, "texture2D", "", "Albedo", 6);
        BuildKit kit;
        auto* none = new TableResolver();
        auto* table = new TableResolver();
        table->texture = tex;
        table->fail = failing;
        kit.resolvers.push_back(none);  // gives nothing: the next one is asked
        kit.resolvers.push_back(table);
        Built built = buildWith(b, kit);
        EXPECT_EQ(none->calls, std::vector<std::string>{"|albedo.png|/fx/dir"});
        if (failing) {
            EXPECT_EQ(built.error, "Failed to get Texture [ Semantic=<null> ImageUrl=albedo.png ] of parameter Albedo");
        } else {
            ASSERT_EQ(built.error, "");
            const SKeFxPass& ps = built.effect->getFxTechnique(0)->passes[0];
            EXPECT_EQ(ps.layers[6].texture, tex);
            EXPECT_EQ(ps.layers[6].wrapU, video::ETC_CLAMP);
            EXPECT_EQ(built.effect->getCell(0)->layer.texture, tex);
        }
    }
    EXPECT_EQ(tex->getReferenceCount(), 1);  // the effects released their references
    device->drop();
}

TEST(EffectBuilder, AnAbsoluteShaderPathIsTriedAsGivenFirst) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("kolm_fxbuild_" + std::to_string(::getpid()));
    const fs::path own = root / "own" / "lit.hlsl";
    const fs::path search = root / "search";
    // A search directory that would also match "search" + "/" + the absolute path.
    const fs::path shadow = fs::path(search.string() + own.string());
    fs::create_directories(own.parent_path());
    fs::create_directories(shadow.parent_path());
    std::ofstream(own) << "//";
    std::ofstream(shadow) << "//";
    DefBuilder b((root / "elsewhere" / "fx.hlsl").c_str());
    SPass& p = b.pass(0);
    p.shaders[0].sourceFile = own.c_str();
    p.shaders[1].sourceFile = "file://relative.hlsl";
    BuildKit kit;
    kit.shaderDirs.push_back(search.c_str());
    Built built = buildWith(b, kit);
    ASSERT_EQ(built.error, "");
    EXPECT_EQ(kit.services.calls.at(0).vertexFile, own.string());
    EXPECT_EQ(kit.services.calls.at(0).pixelFile, "relative.hlsl");  // found nowhere: as written
    fs::remove_all(root);
}

TEST(EffectBuilder, TheFirstFailingStepNamesTheBuild) {
    // A definition whose parameter list cannot be read fails in the first step with its text.
    class Broken : public CKeEffectDefKolm {
    public:
        Broken() : CKeEffectDefKolm("/fx/broken.hlsl", false) {}
        bool getDesc(SEffectDesc&) const override { return false; }
    };
    BuildKit kit;
    Broken* def = new Broken();
    CKeEffect* e = kit.build(def);
    EXPECT_FALSE(e->isValid());
    EXPECT_STREQ(e->getError(), "Failed to get effect description");
    e->drop();
    def->drop();
}

}  // namespace
