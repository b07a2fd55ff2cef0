// Shader compilation services on the null driver: cache naming, the three caches, the disk
// cache's invalidation rules and the messages.
#include "core/KeError.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "fx/KeShaderCacheName.h"

#include <irrlicht/irrlicht.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace irr;
using namespace kolm;
namespace fs = std::filesystem;

namespace {

// Vectors computed with a separate implementation of the hash (160 bits, five lanes, base 32).
TEST(ShaderCacheName, MacroTextAndHashVectors) {
    const struct {
        std::vector<SShaderMacro> macros;
        const char* text;
        const char* hash;
    } cases[] = {
        {{}, "", "3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P"},
        {{{"A", "1"}, {"B", ""}}, "A 1~B ~", "DZZ2WHRY9CB97BE5UN37R95WAS7HJCFM"},
        {{{"LIGHTS", "4"}, {"SHADOW", "1"}, {"SKIN", ""}}, "LIGHTS 4~SHADOW 1~SKIN ~",
         "FRH6B3BJMCNA778YR623TAVEG59YNKBB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keShaderMacroText(c.macros), c.text);
        EXPECT_EQ(keShaderMacroHash(c.text), c.hash) << c.text;
    }
    // Every tail length of the hash (0 to 3 bytes after the whole words).
    const struct { const char* text; const char* hash; } tails[] = {
        {"A", "UC5H54WW93AAME36PYXS1KBRHNAT27WE"},
        {"AB", "W6HQFJMWXM57JSD47K1C6TNRRV542T1D"},
        {"ABC", "ZR8BJGFNSKTRAJ42YA1CNHX9ZQN91PNA"},
        {"ABCD", "ASRB87M4FXJQCUH9KG8UJEQWXYMFN768"},
    };
    for (const auto& t : tails) EXPECT_EQ(keShaderMacroHash(t.text), t.hash) << t.text;
}

TEST(ShaderCacheName, FileNames) {
    const std::vector<SShaderMacro> ab = {{"A", "1"}, {"B", ""}};
    const struct { const char* file; const char* entry; bool vertex; const char* name; } cases[] = {
        {"shaders/fx/water.hlsl", "vs_main", true, "fx!water!vs_main!DZZ2WHRY9CB97BE5UN37R95WAS7HJCFM.vso"},
        {"water.fx", "ps_main", false, ".!water!ps_main!DZZ2WHRY9CB97BE5UN37R95WAS7HJCFM.pso"},
        {"c:\\demo\\fx\\a.b.hlsl", "main", false, "fx!a.b!main!DZZ2WHRY9CB97BE5UN37R95WAS7HJCFM.pso"},
    };
    for (const auto& c : cases) EXPECT_EQ(keShaderCacheFileName(c.file, c.entry, c.vertex, ab), c.name);
    // Macros given in either order, a missing value as "".
    const CKeMacro one[] = {{"A", "1"}, {"B", nullptr}, {nullptr, nullptr}};
    const CKeMacro two[] = {{"B", ""}, {"A", "1"}, {nullptr, nullptr}};
    EXPECT_EQ(keSortedMacros(one), keSortedMacros(two));
    EXPECT_EQ(keShaderMacroText(keSortedMacros(two)), "A 1~B ~");
}

TEST(ShaderCacheName, SelfIncludeIsScannedABoundedNumberOfTimesAndListedOnce) {
    int reads = 0;
    KeFileReader reader = [&](const std::string& path, std::string& data) {
        ++reads;
        if (path == "fx/self.hlsl") data = "#include \"self.hlsl\"\n// #include \"gone.h\"\n#include <sys.h>\n";
        else if (path == "fx/a.hlsl") data = "#include \"self.hlsl\"\r\n  #include \"sub\\b.h\"\n";
        else if (path == "fx/sub/b.h") data = "float b;";
        else return false;
        return true;
    };
    std::vector<std::string> out;
    EXPECT_TRUE(keGetShaderIncludes("fx/self.hlsl", 4, reader, out));
    EXPECT_EQ(out, std::vector<std::string>{"fx/self.hlsl"});
    EXPECT_EQ(reads, 5);
    out.clear();
    EXPECT_TRUE(keGetShaderIncludes("fx/a.hlsl", 4, reader, out));
    EXPECT_EQ(out, (std::vector<std::string>{"fx/self.hlsl", "fx/sub/b.h"}));
}

// ---------------------------------------------------------------------------------------------

struct LogCapture {
    std::vector<std::string> lines;
    static void sink(const char* line, void* user) { static_cast<LogCapture*>(user)->lines.push_back(line); }
    int count(const std::string& part) const {
        int n = 0;
        for (const std::string& l : lines) n += l.find(part) != std::string::npos;
        return n;
    }
    std::string all() const {
        std::string s;
        for (const std::string& l : lines) s += l;
        return s;
    }
};

const char* kShader =
    "#include \"common.h\"\n"
    "float4 tint;\n"
    "sampler2D tex : register(s3);\n"
    "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1) * SCALE; }\n"
    "float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {\n"
    "#ifdef RED\n"
    "    return float4(1, 0, 0, 1);\n"
    "#else\n"
    "    return tex2D(tex, uv) * tint EXTRA;\n"
    "#endif\n"
    "}\n";

class ShaderCache : public ::testing::Test {
protected:
    void SetUp() override {
        keResetErrorReporter();
        setLogThreshold(KE_DEBUG);
        keSetLogSink(&LogCapture::sink, &log);
        root = fs::temp_directory_path() / ("kolm_shader_cache_" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "fx");
        fs::create_directories(root / "cache");
        write("fx/water.hlsl", kShader);
        write("fx/common.h", "#define SCALE 1.0\n#define EXTRA\n");
        SIrrlichtCreationParameters p;
        p.DriverType = video::EDT_NULL;
        p.LoggingLevel = ELL_NONE;
        device = createDeviceEx(p);
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override {
        if (device) device->drop();
        fs::remove_all(root);
        keResetErrorReporter();
    }
    void write(const std::string& rel, const std::string& text) {
        std::ofstream(root / rel, std::ios::binary) << text;
    }
    std::string read(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    std::string path(const std::string& rel) const { return (root / rel).string(); }
    std::unique_ptr<CKeGPUProgrammingServices, void (*)(CKeGPUProgrammingServices*)> services(u32 mode) {
        auto* s = new CKeGPUProgrammingServices(device);
        s->setShaderCache(path("cache").c_str(), mode);
        return {s, [](CKeGPUProgrammingServices* p) { p->drop(); }};
    }
    s32 get(IKeGPUProgrammingServices& s, const CKeMacro* macros = nullptr, s32 userData = 0,
            const std::string& file = "", core::stringc* error = nullptr) {
        const std::string f = file.empty() ? path("fx/water.hlsl") : file;
        return s.getShaderMaterial(f.c_str(), "vs_main", video::EVST_VS_3_0, f.c_str(), "ps_main",
                                   video::EPST_PS_3_0, nullptr, video::EMT_SOLID, userData, macros, error);
    }
    std::vector<std::string> cacheFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root / "cache")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Makes a file's modification time later than every cache file's.
    void touchAfterCache(const std::string& rel) {
        auto latest = fs::file_time_type::min();
        for (const auto& e : fs::directory_iterator(root / "cache")) latest = std::max(latest, fs::last_write_time(e));
        fs::last_write_time(root / rel, latest + std::chrono::milliseconds(1));
    }

    fs::path root;
    IrrlichtDevice* device = nullptr;
    LogCapture log;
};

TEST_F(ShaderCache, SameKeySharesAMaterialAndOtherMacrosOrUserDataDoNot) {
    auto s = services(7);
    const CKeMacro ab[] = {{"A", "1"}, {"B", nullptr}, {nullptr, nullptr}};
    const CKeMacro ba[] = {{"B", nullptr}, {"A", "1"}, {nullptr, nullptr}};
    const CKeMacro red[] = {{"RED", nullptr}, {nullptr, nullptr}};
    const s32 t1 = get(*s, ab);
    ASSERT_GE(t1, 0) << log.all();
    EXPECT_EQ(get(*s, ba), t1);
    EXPECT_EQ(log.count("KeGPU: Found already created shader"), 1);
    const s32 t2 = get(*s, red);
    EXPECT_GE(t2, 0);
    EXPECT_NE(t2, t1);
    const s32 t3 = get(*s, ab, 7);  // user data is part of the material key, not the shader key
    EXPECT_NE(t3, t1);
    EXPECT_EQ(log.count("KeGPU: Found already compiled shader"), 2);
    // Two macro sets: two vertex and two pixel cache files, each with its info file.
    EXPECT_EQ(cacheFiles().size(), 8u);
}

TEST_F(ShaderCache, ModeOneReadsButNeverWritesModeSevenWritesWithInfoFiles) {
    const CKeMacro ab[] = {{"A", "1"}, {"B", nullptr}, {nullptr, nullptr}};
    {
        auto s = services(1);
        EXPECT_GE(get(*s, ab), 0);
        EXPECT_TRUE(cacheFiles().empty());
    }
    {
        auto s = services(7);
        EXPECT_GE(get(*s, ab), 0);
    }
    const std::string h = "DZZ2WHRY9CB97BE5UN37R95WAS7HJCFM";
    EXPECT_EQ(cacheFiles(), (std::vector<std::string>{"fx!water!ps_main!" + h + ".pso", "fx!water!ps_main!" + h + ".pso.inf",
                                                      "fx!water!vs_main!" + h + ".vso", "fx!water!vs_main!" + h + ".vso.inf"}));
    const std::string info = read(root / "cache" / ("fx!water!vs_main!" + h + ".vso.inf"));
    EXPECT_EQ(info.substr(0, info.find('\n')), "A 1~B ~");
    // A fresh start in mode 1 is served from the cache without compiling.
    log.lines.clear();
    auto s = services(1);
    EXPECT_GE(get(*s, ab), 0);
    EXPECT_EQ(log.count("KeGPU: compile shader"), 0) << log.all();
}

TEST_F(ShaderCache, TouchingAnIncludeMakesTheNextStartRecompile) {
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    log.lines.clear();
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    EXPECT_EQ(log.count("KeGPU: compile shader"), 0) << log.all();
    EXPECT_EQ(log.count("is up to date"), 2);
    touchAfterCache("fx/common.h");
    log.lines.clear();
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    EXPECT_EQ(log.count("KeGPU: compile shader"), 2);
    EXPECT_EQ(log.count("common.h' more recent"), 2);
    // Mode 1 does not look at times: served from the cache even when a source is newer.
    touchAfterCache("fx/water.hlsl");
    log.lines.clear();
    { auto s = services(1); ASSERT_GE(get(*s), 0); }
    EXPECT_EQ(log.count("KeGPU: compile shader"), 0);
}

TEST_F(ShaderCache, NestedIncludesAreFoundBesideTheirIncluderAndTracked) {
    fs::create_directories(root / "fx" / "sub");
    write("fx/common.h", "#define SCALE 1.0\n#include \"sub/deep.h\"\n");
    write("fx/sub/deep.h", "#include \"deeper.h\"\n");
    write("fx/sub/deeper.h", "#define EXTRA\n");
    { auto s = services(7); ASSERT_GE(get(*s), 0) << log.all(); }
    const SShaderCompiledEntry* e = nullptr;
    {
        auto s = services(0);
        s32 vs = 0, ps = 0;
        const std::string f = path("fx/water.hlsl");
        ASSERT_GE(s->createShaderMaterial(f.c_str(), "vs_main", video::EVST_VS_3_0, f.c_str(), "ps_main",
                                          video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, nullptr, nullptr, &vs, &ps), 0);
        e = s->compiledEntry(ps);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->includedFiles, (std::vector<std::string>{path("fx/common.h"), path("fx/sub/deep.h"),
                                                               path("fx/sub/deeper.h"), path("fx/water.hlsl")}));
    }
    touchAfterCache("fx/sub/deeper.h");
    log.lines.clear();
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    EXPECT_EQ(log.count("KeGPU: compile shader"), 2) << log.all();
}

TEST_F(ShaderCache, InfoFileWithOtherMacrosIsAConflictAndNotUsed) {
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    for (const auto& e : fs::directory_iterator(root / "cache"))
        if (e.path().extension() == ".inf") std::ofstream(e.path()) << "OTHER 1~";
    log.lines.clear();
    auto s = services(7);
    ASSERT_GE(get(*s), 0);
    EXPECT_EQ(log.count("WARN : KeGPU: WARNING ! Conflict in Shader Cache on '"), 2) << log.all();
    EXPECT_EQ(log.count("Cached Macros : 'OTHER 1~' ; New Macros ''"), 2);
    EXPECT_EQ(log.count("KeGPU: compile shader"), 2);
}

TEST_F(ShaderCache, SameFileNameInAnotherFolderIsNotServedTheOtherFilesCode) {
    // Both files are ".../fx/water.hlsl": same cache names. The second must get its own code.
    fs::create_directories(root / "other" / "fx");
    write("other/fx/water.hlsl", "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n"
                                 "float4 other; float4 ps_main() : COLOR0 { return other; }\n");
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    log.lines.clear();
    auto s = services(7);
    const s32 type = get(*s, nullptr, 0, path("other/fx/water.hlsl"));
    ASSERT_GE(type, 0) << log.all();
    EXPECT_EQ(log.count("Cached File : '"), 2) << log.all();
    const KeGlslShader* ps = s->shaderDriver().pixelTable(type);
    ASSERT_NE(ps, nullptr);
    EXPECT_NE(keFindConstant(*ps, "other"), nullptr);
    EXPECT_EQ(keFindConstant(*ps, "tint"), nullptr);
}

TEST_F(ShaderCache, CacheFileThatIsNotByteCodeIsAMiss) {
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    std::string truncated = read(root / "cache" / cacheFiles()[0]);  // a .pso: SPIR-V cut short
    std::string flipped = truncated;  // one byte changed in the middle: valid header, damaged body
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);
    truncated.resize(truncated.size() / 2 & ~size_t(3));
    // Found by fuzzing: crashed the GLSL converter when handed over unchecked.
    std::string crash = read(fs::path(KOLM_TEST_DATA_DIR) / "fx" / "cache" / "converter-crash.bin");
    crash.resize(crash.size() & ~size_t(3));
    std::string crashMagic = crash;
    crashMagic.replace(0, 4, std::string("\x03\x02\x23\x07", 4));
    const std::vector<std::string> garbage = {crash, crashMagic, "", "hello", std::string("\x03\x02\x23\x07\0\0", 6), std::string(64, 'x'),
                                              truncated, flipped};
    for (const std::string& g : garbage) {
        for (const auto& e : fs::directory_iterator(root / "cache"))
            if (e.path().extension() == ".pso") std::ofstream(e.path(), std::ios::binary) << g;
        log.lines.clear();
        auto s = services(1);  // no time check: the bad file would be used if it were accepted
        EXPECT_GE(get(*s), 0) << log.all();
        EXPECT_EQ(log.count("KeGPU: compile shader"), 1) << g.size();
    }
}

TEST_F(ShaderCache, ErrorsGoToTheCallersTextOrToTheLogNeverBoth) {
    // The whole file is compiled for each stage, so the vertex stage reports the fault first.
    write("fx/bad.hlsl", "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n"
                         "float4 ps_main() : COLOR0 {\n  return undefinedThing;\n}\n");
    auto s = services(0);
    core::stringc error;
    const CKeMacro macros[] = {{"LIGHTS", "3"}, {"FOG", nullptr}, {nullptr, nullptr}};
    EXPECT_EQ(get(*s, macros, 0, path("fx/bad.hlsl"), &error), -1);
    std::string e = error.c_str();
    EXPECT_EQ(e.rfind("Failed to Compile Vertex shader " + path("fx/bad.hlsl") + "\nmemory(3): error: ", 0), 0u) << e;
    EXPECT_NE(e.find("undefinedThing"), std::string::npos);
    // The macros the shader was compiled with end the report.
    EXPECT_EQ(e.substr(e.size() - 24), "\nmacros: FOG ~LIGHTS 3~\n") << e;
    EXPECT_EQ(get(*s, nullptr, 0, path("fx/bad.hlsl"), &error), -1);
    e = error.c_str();
    EXPECT_EQ(log.count("ERROR :"), 0) << log.all();

    EXPECT_EQ(get(*s, nullptr, 0, path("fx/bad.hlsl")), -1);
    EXPECT_EQ(log.count("ERROR : KeGPU: Failed to Compile Vertex shader " + path("fx/bad.hlsl") + "\nmemory(3)"), 1) << log.all();
    EXPECT_EQ(log.count("ERROR : KeGPU: Failed to get shader"), 1);

    EXPECT_EQ(get(*s, nullptr, 0, path("fx/none.hlsl"), &error), -1);
    EXPECT_EQ(std::string(error.c_str()), "Shader files not found : " + path("fx/none.hlsl") + " " + path("fx/none.hlsl"));
    log.lines.clear();
    EXPECT_EQ(get(*s, nullptr, 0, path("fx/none.hlsl")), -1);
    EXPECT_EQ(log.count("ERROR : KeGPU: Shader files not found " + path("fx/none.hlsl")), 1) << log.all();
}

TEST_F(ShaderCache, SelfIncludingShaderFailsCleanly) {
    write("fx/loop.hlsl", "#include \"loop.hlsl\"\nfloat4 vs_main() : POSITION { return 0; }\n");
    auto s = services(7);
    core::stringc error;
    EXPECT_EQ(get(*s, nullptr, 0, path("fx/loop.hlsl"), &error), -1);
    EXPECT_NE(std::string(error.c_str()).find("Failed to Compile Vertex shader"), std::string::npos) << error.c_str();
}

TEST_F(ShaderCache, ConstantsAreSetByNameSamplersAnswerTheirUnit) {
    auto s = services(0);
    const s32 type = get(*s);
    ASSERT_GE(type, 0);
    s32 reg = 5, count = 5, unit = 5;
    EXPECT_TRUE(s->getVertexConstantRegisters(type, "tint", reg, count));
    EXPECT_EQ(reg, -1);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(s->getPixelConstantRegisters(type, "tint", reg, count));
    EXPECT_EQ(reg, -1);
    EXPECT_TRUE(s->getPixelSamplerIndex(type, "tex", unit));
    EXPECT_EQ(unit, 3);
    EXPECT_TRUE(s->getPixelSamplerIndex(type, "tint", unit));
    EXPECT_EQ(unit, -1);
    EXPECT_FALSE(s->getPixelSamplerIndex(type, "nothing", unit));
    log.lines.clear();
    s->printConstants(type);
    EXPECT_EQ(log.count("Pixel Shader Constants\n"), 1);
    EXPECT_EQ(log.count("Name='tex' RegisterIndex=3 RegisterCount=1\n"), 1) << log.all();
    EXPECT_EQ(log.count("Name='tint' RegisterIndex=0 RegisterCount=1\n"), 1);  // the pixel stage's
    log.lines.clear();
    s->printConstants(9999);
    EXPECT_EQ(log.count("ERROR : printConstants not supported for this DriverType"), 1) << log.all();
}

TEST_F(ShaderCache, RecompileFollowsIncludesAndWarnsWhenConstantsChange) {
    auto s = services(7);
    const s32 type = get(*s);
    ASSERT_GE(type, 0);
    core::array<core::stringc> changed;
    changed.push_back(path("fx/common.h").c_str());
    core::array<s32> updated;
    // Same constants: rebuilt without a warning.
    EXPECT_TRUE(s->recompileShaders(changed, updated));
    ASSERT_EQ(updated.size(), 1u);
    EXPECT_EQ(updated[0], type);
    EXPECT_EQ(log.count("KeGPU: recompile "), 2);
    EXPECT_EQ(log.count("contant buffer"), 0);
    // A new constant in the include: the pixel table grows.
    write("fx/common.h", "#define SCALE 1.0\nfloat4 extra;\n#define EXTRA + extra\n");
    updated.clear();
    EXPECT_TRUE(s->recompileShaders(changed, updated));
    EXPECT_EQ(log.count("KeGPU: you may restart the engine: " + path("fx/water.hlsl") + ": pixel contant buffer sizes are different prev=16 new=32"), 1) << log.all();
    // A file nobody read changes nothing.
    changed[0] = path("fx/unrelated.h").c_str();
    updated.clear();
    EXPECT_TRUE(s->recompileShaders(changed, updated));
    EXPECT_EQ(updated.size(), 0u);
}

TEST_F(ShaderCache, CacheBuiltInOneFolderMatchesWhenTheFolderMoves) {
    { auto s = services(7); ASSERT_GE(get(*s), 0); }
    const std::string h = "3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P";
    const std::string info = read(root / "cache" / ("fx!water!vs_main!" + h + ".vso.inf"));
    // The shader's path relative to the folder holding the cache folder.
    EXPECT_EQ(info.substr(0, info.rfind('\n')), "\nfx/water.hlsl");

    // The whole folder moves (a packaged run, another machine): the cache still matches.
    const fs::path moved = root.string() + "_moved";
    fs::remove_all(moved);
    fs::copy(root, moved, fs::copy_options::recursive);
    for (const auto& e : fs::directory_iterator(moved / "cache"))
        fs::last_write_time(e.path(), fs::last_write_time(moved / "fx" / "water.hlsl") + std::chrono::seconds(1));
    log.lines.clear();
    auto* s = new CKeGPUProgrammingServices(device);
    s->setShaderCache((moved / "cache").string().c_str(), 7);
    const std::string f = (moved / "fx" / "water.hlsl").string();
    EXPECT_GE(s->getShaderMaterial(f.c_str(), "vs_main", video::EVST_VS_3_0, f.c_str(), "ps_main", video::EPST_PS_3_0,
                                   nullptr, video::EMT_SOLID, 0, nullptr, nullptr), 0);
    s->drop();
    fs::remove_all(moved);
    EXPECT_EQ(log.count("KeGPU: compile shader"), 0) << log.all();
    EXPECT_EQ(log.count("Conflict in Shader Cache"), 0) << log.all();
}

TEST_F(ShaderCache, RecompileMatchesPathsWhateverTheirSpelling) {
    // Registered by a relative path; the watcher reports absolute ones.
    io::IFileSystem* files = device->getFileSystem();
    const io::path before = files->getWorkingDirectory();
    ASSERT_TRUE(files->changeWorkingDirectoryTo(root.string().c_str()));
    auto s = services(0);
    const s32 type = get(*s, nullptr, 0, "fx/water.hlsl");
    ASSERT_GE(type, 0) << log.all();
    const struct { std::string changed; bool rebuilt; } cases[] = {
        {path("fx/water.hlsl"), true},
        {path("fx/common.h"), true},
        {path("cache/../fx/./common.h"), true},
        {"fx/common.h", true},
        {path("fx/water.hls"), false},
        {path("common.h"), false},
    };
    for (const auto& c : cases) {
        core::array<core::stringc> changed;
        changed.push_back(c.changed.c_str());
        core::array<s32> updated;
        EXPECT_TRUE(s->recompileShaders(changed, updated));
        EXPECT_EQ(updated.size(), c.rebuilt ? 1u : 0u) << c.changed;
    }
    files->changeWorkingDirectoryTo(before);
}

}  // namespace
