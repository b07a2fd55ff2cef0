// COLLADA FX documents read into effect definitions: the mapping of the CG profile onto the
// model, unknown elements skipped with their lines (empty ones included), references that name
// nothing and documents that are not well-formed refused with the file, line and element, the
// effect manager's use of the loader, and the public COLLADA files.
#include "fx/CKeEffectDefLoaderCollada.h"
#include "fx/IKeEffectManager.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

using namespace kolm;
using irr::core::stringc;

namespace {

const std::string kData = KOLM_SOURCE_DIR "/tests/fx/data/collada/";
const std::string kShared = KOLM_SOURCE_DIR "/../shared/assets/collada/";

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

struct DefHolder {
    CKeEffectDefCollada* def = nullptr;
    ~DefHolder() {
        if (def) def->drop();
    }
};

CKeEffectDefCollada* loadText(const std::string& text, stringc& error) {
    return CKeEffectDefLoaderCollada::createFromText(text.data(), text.size(), "/fx/test.dae", false, error);
}

TEST(ColladaLoader, ReadsTheCgProfileOfADocumentWithBothProfiles) {
    kolmtest::LogCapture log;
    CKeEffectDefLoaderCollada loader;
    stringc error;
    const std::string path = kData + "both_profiles.dae";
    IKeEffectDef* def = loader.createEffectDef(nullptr, path.c_str(), nullptr, true, error);
    ASSERT_NE(def, nullptr) << error.c_str();
    EXPECT_TRUE(error.empty());
    DefHolder hold{static_cast<CKeEffectDefCollada*>(def)};
    const SEffectRecord& r = hold.def->record();

    EXPECT_STREQ(r.id.c_str(), "glowFx");
    EXPECT_STREQ(r.name.c_str(), "Glow");
    EXPECT_STREQ(r.title.c_str(), "Glow");
    EXPECT_STREQ(r.subject.c_str(), "tests");  // texts are trimmed of tabs and spaces
    EXPECT_STREQ(r.comments.c_str(), "Made for the loader's tests");
    ASSERT_EQ(r.annotations.size(), 1u);
    EXPECT_STREQ(r.annotations[0].text.c_str(), "kolm");

    // Parameters: types, texts, semantics, sampler texts, annotations.
    ASSERT_EQ(r.parameters.size(), 4u);
    EXPECT_EQ(r.parameters[0].type, KE_FXP_FLOAT4X4);
    EXPECT_STREQ(r.parameters[0].semantic.c_str(), "WORLDVIEWPROJECTION");
    irr::f32 m[16] = {};
    EXPECT_TRUE(def->getMatrix(&r.parameters[0], m));
    EXPECT_EQ(m[15], 1.0f);
    EXPECT_EQ(r.parameters[1].type, KE_FXP_FLOAT);
    EXPECT_STREQ(r.parameters[1].text.c_str(), "0.75");
    EXPECT_STREQ(def->getAnnotationByName(&r.parameters[1], "UIName")->text.c_str(), "Strength");
    const SParameter& sampler = r.parameters[2];
    EXPECT_EQ(sampler.type, KE_FXP_SAMPLER2D);
    EXPECT_STREQ(sampler.imageUrl.c_str(), "#glowImage");
    EXPECT_STREQ(sampler.wrapS.c_str(), "WRAP");
    EXPECT_STREQ(sampler.wrapT.c_str(), "CLAMP");
    EXPECT_STREQ(sampler.mipFilter.c_str(), "NONE");
    EXPECT_EQ(r.parameters[3].type, KE_FXP_SAMPLERCUBE);  // the schema's spelling "samplerCUBE"
    EXPECT_STREQ(r.parameters[3].wrapP.c_str(), "CLAMP");

    // Only the CG technique; the include by sid.
    ASSERT_EQ(r.techniques.size(), 1u);
    EXPECT_EQ(def->getTechniqueIndexByName("glslOnly"), -1);
    const STechnique& t = r.techniques[0];
    EXPECT_STREQ(t.name.c_str(), "main");
    EXPECT_STREQ(t.annotations[0].name.c_str(), "order");
    ASSERT_EQ(r.includes.size(), 1u);
    EXPECT_STREQ(r.includes[0].url.c_str(), "shaders/lib.hlsl");

    // The pass after the unknown elements (an empty one among them) is still read.
    ASSERT_EQ(t.passes.size(), 2u);
    const SPass& p = t.passes[0];
    EXPECT_STREQ(t.passes[1].name.c_str(), "p1");
    ASSERT_EQ(t.passes[1].shaders.size(), 1u);
    EXPECT_STREQ(t.passes[1].shaders[0].entry.c_str(), "plain");

    struct StateRow {
        const char* name;
        const char* value;
        const char* param;
        int index;
    };
    const StateRow states[] = {
        {"blend_enable", "true", "", 0},
        {"blend_func src", "SRC_ALPHA", "", 0},
        {"blend_func dest", "ONE_MINUS_SRC_ALPHA", "", 0},
        {"texture2D", "", "glowSampler", 1},
        {"depth_mask", "false", "", 0},
    };
    ASSERT_EQ(p.states.size(), std::size(states));
    for (size_t i = 0; i < std::size(states); ++i) {
        SCOPED_TRACE(states[i].name);
        EXPECT_STREQ(p.states[i].name.c_str(), states[i].name);
        EXPECT_STREQ(p.states[i].value.c_str(), states[i].value);
        EXPECT_STREQ(p.states[i].paramRef.c_str(), states[i].param);
        EXPECT_EQ(p.states[i].index, states[i].index);
    }
    EXPECT_EQ(def->getStateParameter(&p.states[3]), &r.parameters[2]);

    ASSERT_EQ(p.evaluates.size(), 3u);
    EXPECT_STREQ(p.evaluates[0].name.c_str(), "color_target");
    EXPECT_STREQ(p.evaluates[0].paramRef.c_str(), "glowSampler");
    EXPECT_STREQ(p.evaluates[1].value.c_str(), "0 0 0 1");
    EXPECT_STREQ(p.evaluates[2].value.c_str(), "SCENE_GEOMETRY");

    // Shaders: stage and target values, entry, source file by include sid, inline texts, binds.
    ASSERT_EQ(p.shaders.size(), 3u);
    const SShader& vs = p.shaders[0];
    EXPECT_EQ(vs.stage, KE_STAGE_VERTEX);
    EXPECT_EQ(vs.target, KE_TARGET_VS_3_0);
    EXPECT_STREQ(vs.entry.c_str(), "vsMain");
    EXPECT_STREQ(vs.sourceFile.c_str(), "shaders/lib.hlsl");
    ASSERT_EQ(vs.binds.size(), 1u);
    EXPECT_STREQ(vs.binds[0].name.c_str(), "gWvp");
    EXPECT_EQ(def->getBindParameter(&vs.binds[0]), &r.parameters[0]);
    const SShader& ps = p.shaders[1];
    EXPECT_EQ(ps.stage, KE_STAGE_FRAGMENT);
    EXPECT_EQ(ps.target, KE_TARGET_PS_3_0);
    ASSERT_EQ(ps.inlines.size(), 2u);
    EXPECT_STREQ(ps.inlines[0].c_str(), "#define GLOW 1");
    EXPECT_STREQ(ps.inlines[1].c_str(), "#define LIMIT (1 < 2)");
    EXPECT_STREQ(ps.sourceFile.c_str(), "shaders/lib.hlsl");
    // Without a compiler element the target stays unknown, whatever the driver.
    EXPECT_EQ(p.shaders[2].stage, KE_STAGE_GEOMETRY);
    EXPECT_EQ(p.shaders[2].target, KE_TARGET_UNKNOWN);
    EXPECT_EQ(t.passes[1].shaders[0].target, KE_TARGET_UNKNOWN);

    // The log: a line per skipped element, the wrong tags under the root, nothing for the GLSL
    // profile or for what lies inside a skipped element.
    for (const char* line : {"COLLADA skipping section vendor_hint\n", "COLLADA skipping section vendor_block\n",
                             "COLLADA skipping section author\n", "COLLADA skipping section unit\n",
                             "COLLADA skipping section extra\n", "COLLADA loader warning: Wrong tag usage found library_images\n",
                             "COLLADA loader warning: Wrong tag usage found scene\n"}) {
        EXPECT_NE(log.text.find(line), std::string::npos) << line;
    }
    EXPECT_FALSE(log.contains("profile_GLSL"));
    EXPECT_FALSE(log.contains("nested"));
    EXPECT_FALSE(log.contains("ERROR"));
}

// Documents that must be refused: the message names the file, the line and what is wrong.
TEST(ColladaLoader, RefusesMissingReferencesAndMalformedDocuments) {
    const std::string head =
        "<COLLADA version=\"1.5.0\"><library_effects><effect id=\"e\">"
        "<newparam sid=\"p\"><float>1</float></newparam>\n";
    const std::string tail = "</effect></library_effects></COLLADA>";
    auto effect = [&](const std::string& profile) { return head + "<profile_CG>" + profile + "</profile_CG>" + tail; };
    auto pass = [&](const std::string& body) {
        return effect("<include sid=\"lib\" url=\"lib.hlsl\"/><technique sid=\"t\">\n<pass sid=\"p0\">" + body +
                      "</pass></technique>");
    };
    const std::string shader = "<program><shader stage=\"VERTEX\"><sources entry=\"main\">";
    struct Row {
        const char* what;
        std::string text;
        const char* message;
    };
    const Row rows[] = {
        {"import by an unknown sid", pass(shader + "\n<import ref=\"nope\"/></sources></shader></program>"),
         "/fx/test.dae(4): COLLADA missing include reference for source ref 'nope' in <import>"},
        {"import without ref", pass(shader + "\n<import/></sources></shader></program>"),
         "/fx/test.dae(4): <import> without the reference \"ref\""},
        {"include without url", effect("\n<include sid=\"lib\"/><technique sid=\"t\"/>"),
         "/fx/test.dae(3): <include> without the reference \"url\""},
        {"bind to no parameter",
         pass(shader + "</sources>\n<bind_uniform symbol=\"g\"><param ref=\"ghost\"/></bind_uniform></shader></program>"),
         "/fx/test.dae(4): <bind_uniform> names the parameter 'ghost', which no <newparam> declares"},
        {"sampler state to no parameter", pass("<states>\n<texture2D index=\"0\" param=\"ghost\"/></states>"),
         "/fx/test.dae(4): <texture2D> names the parameter 'ghost'"},
        {"render target to no parameter", pass("<evaluate>\n<color_target><param ref=\"ghost\"/></color_target></evaluate>"),
         "/fx/test.dae(4): <color_target> names the parameter 'ghost'"},
        {"only a GLSL profile", head + "<profile_GLSL><technique sid=\"t\"/></profile_GLSL>" + tail,
         "/fx/test.dae(1): no profile_CG technique in library_effects"},
        {"another root", "<html><body/></html>", "/fx/test.dae(1): not a COLLADA document (root element <html>)"},
        {"unclosed pass", pass("").substr(0, pass("").find("</pass>")),
         "/fx/test.dae(3): malformed document: no element found (inside <pass>)"},
        {"crossed end tags", effect("<technique sid=\"t\">\n<pass></technique></pass>"),
         "/fx/test.dae(3): malformed document: mismatched tag (inside <pass>)"},
        {"empty file", "", "/fx/test.dae(1): malformed document: no element found"},
        {"zero byte", std::string("<COLLADA>\0</COLLADA>", 21), "/fx/test.dae(1): malformed document"},
        {"bad declaration", "<!>", "malformed document"},
        {"attribute cut off", "<a b", "malformed document"},
        {"comment cut off", "x<!-->", "malformed document"},
        {"entity loop", "<!DOCTYPE a [<!ENTITY e \"&e;\">]><a>&e;</a>", "malformed document"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        kolmtest::LogCapture log;
        stringc error;
        CKeEffectDefCollada* def = loadText(row.text, error);
        EXPECT_EQ(def, nullptr);
        if (def) def->drop();
        EXPECT_NE(std::string(error.c_str()).find(row.message), std::string::npos) << error.c_str();
    }
}

TEST(ColladaLoader, EffectManagerLoadsDocumentsOncePerFileAndLogsRefusals) {
    ScratchDir dir;
    ASSERT_TRUE(dir.create("/tmp/kolm-collada-"));
    const std::string good = dir.path + "/glow.DAE";
    const std::string bad = dir.path + "/broken.dae";
    {
        std::ifstream in(kData + "both_profiles.dae");
        std::ofstream(good) << in.rdbuf();
        std::ofstream(bad) << "<COLLADA><library_effects>";
    }
    kolmtest::LogCapture log;
    IKeEffectManager* manager = createKeEffectManager(nullptr, true);
    const CKeMacro none[] = {{nullptr, nullptr}};
    const CKeMacro fog[] = {{"FOG", "1"}, {nullptr, nullptr}};
    const IKeEffectDef* a = manager->getEffectDef(good.c_str(), none);
    ASSERT_NE(a, nullptr);  // an upper-case extension is taken
    EXPECT_EQ(manager->getEffectDef(good.c_str(), fog), a);  // one definition serves every macro set

    for (int attempt = 0; attempt < 2; ++attempt) {  // a refused document is not cached
        log.clear();
        EXPECT_EQ(manager->getEffectDef(bad.c_str(), none), nullptr);
        EXPECT_TRUE(log.contains("CKeEffectManager: ERROR IKeEffectDef : " + bad + "(1): malformed document"))
            << log.text;
    }
    const std::string missing = dir.path + "/missing.dae";
    EXPECT_EQ(manager->getEffectDef(missing.c_str(), none), nullptr);
    EXPECT_EQ(std::string(manager->getLastError()), missing + ": File Not Found");
    manager->drop();
}

// The public COLLADA files: loaded, or refused with a message that says why; never a crash.
TEST(ColladaLoader, PublicDocumentsLoadOrAreRefusedClearly) {
    if (!fileExists(kShared + "initFrom.dae")) GTEST_SKIP() << "the shared COLLADA files are not in " << kShared;
    struct Row {
        const char* file;
        const char* message;  // null: loads
    };
    const Row rows[] = {
        {"initFrom.dae", "no profile_CG technique in library_effects"},  // profile_COMMON + profile_GLSL
        {"multiple_profile.dae", "no profile_CG technique in library_effects"},  // profile_GLES + COMMON
        {"technique_hint/technique_hint.dae", nullptr},  // profile_CG of COLLADA 1.4.1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        kolmtest::LogCapture log;
        CKeEffectDefLoaderCollada loader;
        stringc error;
        const std::string path = kShared + row.file;
        IKeEffectDef* def = loader.createEffectDef(nullptr, path.c_str(), nullptr, true, error);
        if (row.message) {
            EXPECT_EQ(def, nullptr);
            EXPECT_NE(std::string(error.c_str()).find(row.message), std::string::npos) << error.c_str();
        } else {
            ASSERT_NE(def, nullptr) << error.c_str();
            EXPECT_EQ(def->getTechniqueIndexByName("Hint"), 1);
            EXPECT_STREQ(static_cast<CKeEffectDefCollada*>(def)->record().includes[0].url.c_str(), "technique_hint.cg");
            // COLLADA 1.4.1 writes shaders straight into the pass: skipped, each with its line.
            EXPECT_TRUE(log.contains("COLLADA skipping section shader"));
        }
        if (def) def->drop();
    }
}

}  // namespace
