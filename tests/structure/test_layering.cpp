// The module table of src/README.md is the law of the source tree: every quoted include of a
// module header must go to the same module or to one in a lower layer, and headers of the
// outside world (X11, GL, the 3D library, ...) are included only by the modules allowed to.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSrc = fs::path(KOLM_SOURCE_DIR) / "src";

// module -> layer, read from the table rows "| <layer> | <module> | ...".
std::map<std::string, int> readModuleTable() {
    std::ifstream in(kSrc / "README.md");
    std::map<std::string, int> layers;
    std::string line;
    const std::regex row(R"(^\|\s*(\d+)\s*\|\s*([a-z]+)\s*\|)");
    while (std::getline(in, line)) {
        std::smatch m;
        if (std::regex_search(line, m, row)) layers[m[2]] = std::stoi(m[1]);
    }
    return layers;
}

struct Include {
    std::string file;  // relative to src/
    int line;
    std::string target;  // the text between the quotes or angle brackets
    bool system;
};

std::vector<Include> scanIncludes() {
    std::vector<Include> out;
    const std::regex inc(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    for (const auto& entry : fs::recursive_directory_iterator(kSrc)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".c")) continue;
        std::ifstream in(entry.path());
        std::string text;
        int n = 0;
        while (std::getline(in, text)) {
            ++n;
            std::smatch m;
            if (std::regex_search(text, m, inc))
                out.push_back({fs::relative(entry.path(), kSrc).generic_string(), n, m[2], m[1] == "<"});
        }
    }
    return out;
}

std::string moduleOf(const std::string& relative) { return relative.substr(0, relative.find('/')); }

// Outside-world headers by prefix, and the modules that may include them.
struct OutsideRule {
    const char* prefix;
    std::set<std::string> allowed;
};
const std::vector<OutsideRule>& outsideRules() {
    static const std::vector<OutsideRule> rules = {
        {"X11/", {"platform"}},
        {"SDL", {"platform"}},
        {"sys/inotify.h", {"platform"}},
        {"epoxy/", {"gl"}},
        {"GL/", {"gl"}},
        {"irrlicht", {"files", "gl", "engine", "fx", "render", "runtime", "api", "scene", "script", "demo",
                      "app"}},
        {"glslang/", {"fx"}},
        {"spirv", {"fx"}},
        {"expat", {"fx"}},
        {"mpg123", {"music"}},
        {"zip.h", {"files", "package"}},
        {"iniparser", {"files", "demo", "app"}},
        {"dictionary.h", {"files", "demo", "app"}},
        {"lua", {"script"}},
        {"lauxlib", {"script"}},
        {"lualib", {"script"}},
    };
    return rules;
}

}  // namespace

TEST(Layering, ModuleTableNamesEverySourceFolder) {
    const auto layers = readModuleTable();
    ASSERT_GE(layers.size(), 10u) << "module table not found in src/README.md";
    for (const auto& entry : fs::directory_iterator(kSrc)) {
        if (!entry.is_directory()) continue;
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(layers.count(name)) << "src/" << name << " is not in the module table";
    }
}

TEST(Layering, NoModuleIncludesAHigherOne) {
    const auto layers = readModuleTable();
    ASSERT_FALSE(layers.empty());
    int checked = 0;
    for (const Include& inc : scanIncludes()) {
        if (inc.system) continue;
        const auto slash = inc.target.find('/');
        if (slash == std::string::npos) continue;  // same-folder include
        const std::string to = inc.target.substr(0, slash);
        if (!fs::is_directory(kSrc / to)) continue;  // not a module path
        const std::string from = moduleOf(inc.file);
        ASSERT_TRUE(layers.count(from)) << from;
        ASSERT_TRUE(layers.count(to)) << inc.file << ":" << inc.line << " includes unknown module " << to;
        EXPECT_LE(layers.at(to), layers.at(from))
            << inc.file << ":" << inc.line << ": " << from << " (layer " << layers.at(from) << ") includes \""
            << inc.target << "\" of " << to << " (layer " << layers.at(to) << ")";
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

TEST(Layering, OutsideWorldOnlyWhereAllowed) {
    for (const Include& inc : scanIncludes()) {
        if (!inc.system) continue;
        for (const OutsideRule& rule : outsideRules()) {
            if (inc.target.rfind(rule.prefix, 0) != 0) continue;
            const std::string from = moduleOf(inc.file);
            EXPECT_TRUE(rule.allowed.count(from))
                << inc.file << ":" << inc.line << ": <" << inc.target << "> is not for module " << from;
        }
    }
}

TEST(Layering, OnlyPlatformReadsProc) {
    for (const auto& entry : fs::recursive_directory_iterator(kSrc)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".cpp") continue;
        const std::string rel = fs::relative(entry.path(), kSrc).generic_string();
        if (moduleOf(rel) == "platform") continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str().find("\"/proc/"), std::string::npos) << rel << " reads /proc";
    }
}

// The check itself: a made-up upward edge is caught by the same rule.
TEST(Layering, UpwardEdgeIsRecognised) {
    const auto layers = readModuleTable();
    ASSERT_TRUE(layers.count("engine") && layers.count("api"));
    EXPECT_GT(layers.at("api"), layers.at("engine"));
    EXPECT_LT(layers.at("core"), layers.at("platform"));
    EXPECT_LT(layers.at("platform"), layers.at("gl"));
}
