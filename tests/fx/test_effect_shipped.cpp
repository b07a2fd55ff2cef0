// Every effect file that the engine and its examples ship (".hlsl" and ".fx" under data/ and
// examples/) loads through the effect manager, without macros and with the macros that select
// optional parts of annotation blocks.
#include "core/KeError.h"
#include "fx/IKeEffectManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace kolm;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> shippedEffectFiles() {
    std::vector<std::string> files;
    for (const char* root : {"data", "examples"}) {
        const fs::path dir = fs::path(KOLM_SOURCE_DIR) / root;
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir, ec)) {
            if (!entry.is_regular_file()) continue;
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (ext == ".hlsl" || ext == ".fx") files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(ShippedEffects, EveryEffectFileLoads) {
    const std::vector<std::string> files = shippedEffectFiles();
    // The annotated example is among them, so the search itself is checked.
    EXPECT_NE(std::find_if(files.begin(), files.end(),
                           [](const std::string& f) { return f.find("examples/effects/surface_demo.hlsl") != std::string::npos; }),
              files.end());
    const CKeMacro sets[][3] = {
        {{nullptr, nullptr}, {nullptr, nullptr}, {nullptr, nullptr}},
        {{"USE_TEX_COLOR", nullptr}, {nullptr, nullptr}, {nullptr, nullptr}},
        {{"USE_TEX_COLOR", "1"}, {"USE_TRANSPARENT", nullptr}, {nullptr, nullptr}},
    };
    IKeEffectManager* manager = createKeEffectManager(nullptr, true);
    for (const std::string& file : files) {
        for (const auto& macros : sets) {
            const IKeEffectDef* def = manager->getEffectDef(file.c_str(), macros);
            EXPECT_NE(def, nullptr) << file << ": " << manager->getLastError();
            if (def) {
                EXPECT_NE(def->getTechnique(0), nullptr) << file;
            }
        }
    }
    manager->drop();
    keResetErrorReporter();
}

}  // namespace
