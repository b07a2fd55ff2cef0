// Shader hot update: saving a shader file in a watched shader folder rebuilds the material in
// place, and the next frame shows the new colour.
#include "runtime/KeEngine.h"
#include "runtime/KeShaderHotUpdate.h"
#include "core/KeError.h"
#include "engine/IKeManager.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "gl/KeScreenGrab.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace kolm;
namespace fs = std::filesystem;

namespace {

void writeShader(const fs::path& path, const char* color) {
    std::ofstream out(path, std::ios::trunc);
    out << "struct VsOut { float4 pos : POSITION; };\n"
           "VsOut vs_main(float3 pos : POSITION) { VsOut o; o.pos = float4(pos, 1.0); return o; }\n"
           "float4 ps_main() : COLOR0 { return float4("
        << color << ", 1.0); }\n";
}

// Draws a quad over the whole screen with the material and returns the centre pixel 0xRRGGBB.
int drawAndRead(irr::s32 material) {
    irr::video::IVideoDriver* d = keEngineContext().driver;
    d->beginScene(true, true, irr::video::SColor(255, 0, 0, 0));
    const irr::video::SColor white(255, 255, 255, 255);
    irr::video::S3DVertex v[4] = {
        irr::video::S3DVertex(-1, 1, 0, 0, 0, -1, white, 0, 0), irr::video::S3DVertex(1, 1, 0, 0, 0, -1, white, 1, 0),
        irr::video::S3DVertex(1, -1, 0, 0, 0, -1, white, 1, 1), irr::video::S3DVertex(-1, -1, 0, 0, 0, -1, white, 0, 1)};
    const irr::u16 indices[6] = {0, 1, 2, 0, 2, 3};
    irr::video::SMaterial m;
    m.MaterialType = static_cast<irr::video::E_MATERIAL_TYPE>(material);
    m.Lighting = false;
    m.BackfaceCulling = false;
    m.ZBuffer = irr::video::ECFN_ALWAYS;
    const irr::core::matrix4 identity;
    d->setTransform(irr::video::ETS_PROJECTION, identity);
    d->setTransform(irr::video::ETS_VIEW, identity);
    d->setTransform(irr::video::ETS_WORLD, identity);
    d->setMaterial(m);
    d->drawIndexedTriangleList(v, 4, indices, 2);
    std::vector<unsigned char> rgb(64 * 48 * 3);
    EXPECT_TRUE(keReadBackBufferRGB(64, 48, rgb.data()));
    d->endScene();
    const unsigned char* p = &rgb[(24 * 64 + 32) * 3];
    return (p[0] << 16) | (p[1] << 8) | p[2];
}

std::vector<std::string> g_log;

TEST(ShaderHotUpdateGl, SavedShaderShowsItsNewColour) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    const fs::path base = fs::path(testing::TempDir()) / "kolm_hot_update";
    fs::remove_all(base);
    fs::create_directories(base / "shaders");
    const fs::path file = base / "shaders" / "solid.hlsl";
    writeShader(file, "1.0, 0.0, 0.0");

    keResetErrorReporter();
    g_log.clear();
    keSetLogSink([](const char* l, void*) { g_log.push_back(l); }, nullptr);
    EngineSetup s;
    s.baseDir = base.string() + "/";
    s.windowed = 1;
    s.vsync = 0;
    s.width = 64;
    s.height = 48;
    ASSERT_EQ(keStartEngine(s), 0);
    keShaderHotUpdateStart(s.baseDir.c_str());

    IKeGPUProgrammingServices* gpu = keEngineManager()->getGPUProgrammingServices();
    const std::string path = file.string();
    const irr::s32 material = gpu->getShaderMaterial(path.c_str(), "vs_main", irr::video::EVST_VS_3_0, path.c_str(),
                                                     "ps_main", irr::video::EPST_PS_3_0, nullptr,
                                                     irr::video::EMT_SOLID, 0, nullptr);
    ASSERT_GE(material, 0);
    EXPECT_EQ(drawAndRead(material), 0xFF0000);

    // Nothing changed: nothing to do.
    EXPECT_EQ(keShaderHotUpdatePoll(gpu), 0);

    writeShader(file, "0.0, 1.0, 0.0");
    int handled = 0;
    for (int i = 0; i < 300 && handled == 0; ++i) {
        handled = keShaderHotUpdatePoll(gpu);
        if (!handled) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(handled, 1);
    EXPECT_EQ(drawAndRead(material), 0x00FF00);
    bool detected = false, updating = false, done = false;
    for (const std::string& line : g_log) {
        detected = detected || line == "INFO : detected file change " + path + "\n";
        updating = updating || line == "INFO : updating shaders...\n";
        done = done || line == "INFO : updating shaders done\n";
    }
    EXPECT_TRUE(detected);
    EXPECT_TRUE(updating);
    EXPECT_TRUE(done);

    keShaderHotUpdateStop();
    keStopEngine();
    keResetErrorReporter();
    fs::remove_all(base);
}

}  // namespace
