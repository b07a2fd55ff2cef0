// The effect manager: the definition cache keyed by path and macro set (and by whether the
// loader depends on macros), loader order, failures that leave nothing cached, the messages,
// the bind and resolver lists, and a cache hit that allocates nothing.
#include "support/log_capture.h"
#include "core/KeError.h"
#include "fx/CKeEffectDef.h"
#include "fx/CKeEffectManager.h"
#include "fx/IKeEffectBind.h"
#include "fx/IKeEffectTextureResolver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "support/alloc_counter.h"

using namespace irr;
using namespace kolm;

namespace {

// Effect files by base name, and how often each was read.
std::map<std::string, std::string> gFiles;
std::map<std::string, int> gReads;

std::string baseName(const char* path) {
    const std::string p = path;
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool readFromMemory(const char* path, std::string& out) {
    const std::string name = baseName(path);
    ++gReads[name];
    auto it = gFiles.find(name);
    if (it == gFiles.end()) return false;
    out = it->second;
    return true;
}

// A loader whose files do not depend on macros, as the COLLADA loader.
class FakeDaeLoader : public IKeEffectDefLoader {
public:
    int loads = 0;
    bool isLoadableFile(const c8* name) const override { return keHasExtension(name, "dae"); }
    bool dependsOnMacros() const override { return false; }
    IKeEffectDef* createEffectDef(KeEffectFileReader, const c8* path, const CKeMacro*, bool, core::stringc&) override {
        ++loads;
        return new CKeEffectDef(path, false);
    }
};

// A loader that takes ".hlsl" names but declines them without a message, or fails with a
// definition and a message.
class DecliningLoader : public IKeEffectDefLoader {
public:
    int asked = 0;
    bool failWithDefinition = false;
    bool isLoadableFile(const c8* name) const override { return keHasExtension(name, "hlsl"); }
    bool dependsOnMacros() const override { return true; }
    IKeEffectDef* createEffectDef(KeEffectFileReader, const c8* path, const CKeMacro*, bool, core::stringc& error) override {
        ++asked;
        if (!failWithDefinition) return nullptr;
        error = "half-built";
        return new CKeEffectDef(path, false);
    }
};

struct Bind : IKeEffectBind {
    KeBindFunction getBindFunction(const SKeFxConstBind&, u8 (&)[8]) override { return nullptr; }
    const c8* getBindName() const override { return "test"; }
};
struct Resolver : IKeEffectTextureResolver {
    video::ITexture* resolve(s32, const c8*, const c8*, const c8*, const core::array<core::stringc>&,
                             bool& failed) override {
        failed = false;
        return nullptr;
    }
};

class EffectManager : public ::testing::Test {
protected:
    void SetUp() override {
        capture.install();
        gReads.clear();
        gFiles = {
            {"plain.hlsl", "// [KOLM_BEGIN]\n//KOLM_PP:D:A:// float a : 1\n// [KOLM_END]\n"},
            {"UPPER.HLSL", "float4 ps_main() : COLOR0 { return 1; }\n"},
            {"unterminated.hlsl", "// [KOLM_BEGIN]\n// float a : 1\n"},
            {"material.dae", "<COLLADA/>"},
        };
        m = new CKeEffectManager(nullptr, false, &readFromMemory);
    }
    void TearDown() override {
        m->drop();
        keResetErrorReporter();
    }
    IKeEffectDef* get(const char* name, std::vector<CKeMacro> macros = {}) {
        macros.push_back({nullptr, nullptr});
        return m->getEffectDef(name, macros.data());
    }

    CKeEffectManager* m = nullptr;
    kolmtest::LogCapture capture;
    std::vector<std::string>& log = capture.lines;
};

TEST_F(EffectManager, OneDefinitionPerPathAndMacroSet) {
    IKeEffectDef* ab = get("plain.hlsl", {{"USE_A", "1"}, {"B", nullptr}});
    ASSERT_NE(ab, nullptr) << m->getLastError();
    EXPECT_EQ(get("plain.hlsl", {{"B", ""}, {"USE_A", "1"}}), ab);  // order and absent values do not matter
    EXPECT_EQ(get("./x/../plain.hlsl", {{"B", nullptr}, {"USE_A", "1"}}), ab);  // same absolute path
    IKeEffectDef* other = get("plain.hlsl", {{"USE_A", "2"}, {"B", nullptr}});
    IKeEffectDef* none = get("plain.hlsl");
    ASSERT_NE(other, nullptr);
    ASSERT_NE(none, nullptr);
    EXPECT_NE(other, ab);
    EXPECT_NE(none, ab);
    EXPECT_EQ(get("plain.hlsl", {}), none);
    EXPECT_EQ(m->getEffectDef("plain.hlsl", nullptr), none);
    EXPECT_EQ(gReads["plain.hlsl"], 3);
    EXPECT_EQ(m->getCachedEffectDefCount(), 3u);
    // The macros reach the reading: only the definitions with USE_A have the parameter.
    EXPECT_NE(ab->getParameterByName(nullptr, "a"), nullptr);
    EXPECT_EQ(none->getParameterByName(nullptr, "a"), nullptr);
    EXPECT_STREQ(ab->getName(), m->absolutePath("plain.hlsl"));
    EXPECT_EQ(ab->getName()[0], '/');
}

// A file whose loader ignores macros is loaded once, whatever macros later lookups carry.
TEST_F(EffectManager, LoaderWithoutMacrosHasOneDefinition) {
    auto* dae = new FakeDaeLoader();
    m->addEffectDefLoader(dae);
    IKeEffectDef* first = get("material.dae", {{"USE_X", nullptr}});
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(get("material.dae", {{"USE_Y", "1"}}), first);
    EXPECT_EQ(get("material.dae"), first);
    IKeEffectDef* upper = get("MATERIAL.DAE", {{"USE_X", nullptr}});
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(get("MATERIAL.DAE"), upper);
    EXPECT_EQ(dae->loads, 2);  // material.dae once, MATERIAL.DAE (another path) once
    EXPECT_EQ(m->getCachedEffectDefCount(), 2u);
    dae->drop();
}

TEST_F(EffectManager, ExtensionsAndLoaderOrder) {
    EXPECT_NE(get("UPPER.HLSL"), nullptr) << m->getLastError();

    // No loader takes the name: none, no log line, the last error untouched.
    EXPECT_EQ(get("unterminated.hlsl"), nullptr);
    const std::string lastError = m->getLastError();
    log.clear();
    EXPECT_EQ(get("notes.txt"), nullptr);
    EXPECT_EQ(get("hlsl"), nullptr);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(m->getLastError(), lastError);
    EXPECT_EQ(gReads.count("notes.txt"), 0u);

    // The loader added last is asked first; one that declines silently is passed over.
    auto* declining = new DecliningLoader();
    m->addEffectDefLoader(declining);
    EXPECT_NE(get("plain.hlsl"), nullptr);
    EXPECT_EQ(declining->asked, 1);
    // A definition that comes back with a message is a failure.
    declining->failWithDefinition = true;
    log.clear();
    EXPECT_EQ(get("plain.hlsl", {{"USE_A", nullptr}}), nullptr);
    EXPECT_STREQ(m->getLastError(), "half-built");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "ERROR : CKeEffectManager: ERROR IKeEffectDef : half-built\n");
    declining->drop();
}

// A failed load is logged once, remembered, and leaves nothing in the cache.
TEST_F(EffectManager, FailedLoadsLeaveNothingBehind) {
    const std::string path = m->absolutePath("unterminated.hlsl");
    const std::string missing = m->absolutePath("missing.hlsl");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        log.clear();
        EXPECT_EQ(get("unterminated.hlsl"), nullptr);
        const std::string error = path + "(1): [KOLM_BEGIN] without [KOLM_END]";
        EXPECT_EQ(m->getLastError(), error);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0], "ERROR : CKeEffectManager: ERROR IKeEffectDef : " + error + "\n");
        EXPECT_EQ(gReads["unterminated.hlsl"], attempt);
    }
    EXPECT_EQ(get("missing.hlsl"), nullptr);
    EXPECT_EQ(m->getLastError(), missing + ": Cannot open file");
    EXPECT_EQ(m->getCachedEffectDefCount(), 0u);
}

TEST_F(EffectManager, BindsAndResolversGoInFront) {
    // The manager starts with its built-in binds, the generic one last.
    const u32 builtin = m->getEffectBinds().size();
    ASSERT_GT(builtin, 0u);
    IKeEffectBind* generic = m->getEffectBinds()[builtin - 1];
    EXPECT_STREQ(generic->getBindName(), "CKeEffectBind");
    auto* first = new Bind();
    auto* later = new Bind();
    m->addEffectBind(first);
    m->addEffectBind(later);
    m->addEffectBind(nullptr);
    ASSERT_EQ(m->getEffectBinds().size(), builtin + 2);
    EXPECT_EQ(m->getEffectBinds()[0], later);
    EXPECT_EQ(m->getEffectBinds()[1], first);
    EXPECT_EQ(m->getEffectBinds()[builtin + 1], generic);  // the generic bind stays last
    EXPECT_EQ(first->getReferenceCount(), 2);
    auto* r1 = new Resolver();
    auto* r2 = new Resolver();
    m->addTextureResolver(r1);
    m->addTextureResolver(r2);
    EXPECT_EQ(m->getTextureResolvers()[0], r2);
    m->addShaderDirectory("shaders");
    m->addShaderDirectory("shadersSURF");
    m->addTextureDirectory("textures");
    ASSERT_EQ(m->getShaderDirectories().size(), 2u);
    EXPECT_STREQ(m->getShaderDirectories()[1].c_str(), "shadersSURF");
    EXPECT_STREQ(m->getTextureDirectories()[0].c_str(), "textures");

    m->drop();  // releases what it holds
    m = new CKeEffectManager(nullptr, false, &readFromMemory);
    EXPECT_EQ(first->getReferenceCount(), 1);
    EXPECT_EQ(r2->getReferenceCount(), 1);
    for (IReferenceCounted* o : std::vector<IReferenceCounted*>{first, later, r1, r2}) o->drop();
}

TEST_F(EffectManager, CacheHitAllocatesNothing) {
    const CKeMacro macros[] = {{"USE_SHADOW", "1"}, {"USE_A", nullptr}, {"LIGHTS", "4"}, {nullptr, nullptr}};
    const long cold = gAllocations.load();
    IKeEffectDef* def = m->getEffectDef("plain.hlsl", macros);
    ASSERT_NE(def, nullptr);
    EXPECT_GT(gAllocations.load() - cold, 0);  // the counter sees the loader's allocations
    const long before = gAllocations.load();
    IKeEffectDef* hit = nullptr;
    for (int i = 0; i < 100; ++i) hit = m->getEffectDef("plain.hlsl", macros);
    const long allocated = gAllocations.load() - before;
    EXPECT_EQ(hit, def);
    EXPECT_EQ(allocated, 0);
}

}  // namespace
