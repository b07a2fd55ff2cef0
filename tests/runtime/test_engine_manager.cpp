// The engine manager and its services on the null driver.
#include "core/KeError.h"
#include "fx/CKeLightSceneNodeExt.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/IKeSceneNodeExt.h"
#include "fx/IKeEffectManager.h"
#include "fx/KeEffectBindContext.h"
#include "runtime/CKeManager.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"
#include "engine/IKeRenderServices.h"
#include "render/IKeRendererManager.h"
#include "engine/IKeResourceManager.h"
#include "engine/IKeSceneManager.h"
#include "fx/IKeSurfaceManager.h"
#include "engine/IKeVideoDriverExt.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "gl/KeGlProgram.h"

#include <irrlicht/irrlicht.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace irr;
using namespace kolm;
namespace fs = std::filesystem;

namespace {


class EngineManager : public ::testing::Test {
protected:
    void SetUp() override {
        log.install();
        SIrrlichtCreationParameters p;
        p.DriverType = video::EDT_NULL;
        p.LoggingLevel = ELL_NONE;
        device = createDeviceEx(p);
        ASSERT_NE(device, nullptr);
        manager = createKeManager(device);
        ASSERT_NE(manager, nullptr);
        ASSERT_TRUE(scratch.create("/tmp/kolm-engine-"));
        dir = scratch.path;
    }
    void TearDown() override {
        if (manager) manager->drop();
        if (device) device->drop();
        keResetErrorReporter();
    }
    IrrlichtDevice* device = nullptr;
    IKeManager* manager = nullptr;
    ScratchDir scratch;
    fs::path dir;
    kolmtest::LogCapture log;
};

TEST_F(EngineManager, OwnsItsServices) {
    EXPECT_NE(manager->getGPUProgrammingServices(), nullptr);
    ASSERT_NE(manager->getEffectManager(), nullptr);
    // The effects' built-in binds read the engine through the services made before them.
    const KeEffectBindContext& binds = manager->getEffectManager()->getBindContext();
    EXPECT_EQ(binds.device, device);
    EXPECT_EQ(binds.sceneExt, manager->getSceneManager());
    EXPECT_EQ(binds.textures, manager->getTextureManager());
    EXPECT_EQ(binds.driverExt, manager->getVideoDriverExt());
    EXPECT_NE(manager->getSceneManager(), nullptr);
    EXPECT_NE(manager->getTextureManager(), nullptr);
    EXPECT_NE(manager->getSurfaceManager(), nullptr);
    EXPECT_NE(manager->getRendererManager(), nullptr);
    EXPECT_NE(manager->getRenderServices(), nullptr);
    EXPECT_NE(manager->getVideoDriverExt(), nullptr);
    EXPECT_NE(manager->getResourceManager(), nullptr);
    EXPECT_EQ(keEngineLogger(), device->getLogger());
    // No copy shader on the null driver: copies go through 2D drawing.
    EXPECT_EQ(manager->getRenderServices()->getCopyMaterialType(), -1);
    IKeSceneManager* scene = manager->getSceneManager();
    // Node and light extensions come from the effect layer through the hooks the manager installs.
    irr::scene::ISceneNode* cube = device->getSceneManager()->addCubeSceneNode();
    CKeSceneNodeExt* ext = scene->getNodeExt(cube);
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(scene->getNodeExt(cube), ext);
    EXPECT_EQ(keFindNodeExt(cube), ext);
    irr::scene::ILightSceneNode* light = device->getSceneManager()->addLightSceneNode();
    EXPECT_NE(scene->getLightExt(light), nullptr);
    irr::scene::ISceneNode* copy = scene->cloneNode(cube);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(keFindNodeExt(copy), nullptr);
    EXPECT_NE(keFindNodeExt(copy), ext);
    EXPECT_EQ(scene->getSceneTime(), 0u);
    scene->setSceneTime(1234);
    EXPECT_EQ(scene->getSceneTime(), 1234u);
    EXPECT_EQ(scene->addMeshNode("no/such/mesh.x", nullptr, -1), nullptr);
}

TEST_F(EngineManager, SurfaceNamesAndKinds) {
    EXPECT_EQ(KE_SURFACE_LIGHTWAVE, 0x7273776Cu);  // 'l' in the lowest byte
    const struct { const char* name; u32 kind; } cases[] = {
        {"lightwave", KE_SURFACE_LIGHTWAVE}, {"lightwave_hv", KE_SURFACE_LIGHTWAVE_HV},
        {"Lightwave", 0}, {"", 0}, {nullptr, 0}, {"lightwave ", 0}};
    for (const auto& c : cases) EXPECT_EQ(keSurfaceKindOfName(c.name), c.kind) << (c.name ? c.name : "(null)");
    EXPECT_EQ(manager->getSurfaceManager()->createSurface("Lightwave"), nullptr);
}

TEST_F(EngineManager, CurlNoiseCacheFiles) {
    IKeResourceManager* res = manager->getResourceManager();
    const struct {
        size_t size;
        bool ok;
        u32 edge;
        const char* message;
    } cases[] = {
        {786432, true, 64, nullptr},
        {786431, false, 1, "ERROR : CurlNoise3D file not multiple of 3 bytes"},
        {3 * 64 * 64 * 63, false, 1, "ERROR : CurlNoise3D file not have W = H = D (sz=64)"},
        {0, false, 1, "ERROR : CurlNoise3D file not multiple of 3 bytes"},
        {3, true, 1, nullptr},
        {24, true, 2, nullptr},
    };
    for (const auto& c : cases) {
        const fs::path p = dir / "curl.cache";
        std::string bytes(c.size, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
        std::ofstream(p, std::ios::binary) << bytes;
        log.lines.clear();
        EXPECT_EQ(res->loadNoiseVolume(p.string().c_str()), c.ok) << c.size;
        EXPECT_EQ(res->getNoiseVolumeEdge(), c.edge) << c.size;
        if (c.message) {
            ASSERT_EQ(log.lines.size(), 1u) << c.size;
            EXPECT_EQ(log.lines[0], std::string(c.message) + "\n");
        } else if (c.ok) {
            EXPECT_EQ(res->getNoiseVolume()[2], static_cast<int8_t>(14));
        }
    }
    EXPECT_FALSE(res->loadNoiseVolume((dir / "missing").string().c_str()));
    EXPECT_EQ(log.lines.back(), "ERROR : failed to open CurlNoise3D file\n");

    // Save and load again: the same bytes.
    std::string bytes(24, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(200 + i);
    std::ofstream(dir / "a.cache", std::ios::binary) << bytes;
    ASSERT_TRUE(res->loadNoiseVolume((dir / "a.cache").string().c_str()));
    ASSERT_TRUE(res->saveNoiseVolume((dir / "b.cache").string().c_str()));
    std::ifstream in(dir / "b.cache", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
    // Saved over an existing cache, and written whole under another name first: nothing but the
    // caches is left in the folder (another engine never sees a half-written cache).
    ASSERT_TRUE(res->saveNoiseVolume((dir / "b.cache").string().c_str()));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.cache", "b.cache", "curl.cache"}));
    EXPECT_FALSE(res->saveNoiseVolume((dir / "no-such-folder" / "c.cache").string().c_str()));
    res->releaseNoiseVolume();
    EXPECT_EQ(res->getNoiseVolumeEdge(), 1u);
}

// A DDS volume of n^3 luminance texels (uncompressed, 8 bits).
std::string ddsVolume(uint32_t n, const std::vector<uint8_t>& values) {
    std::string d(128, '\0');
    auto put = [&](size_t at, uint32_t v) { std::memcpy(&d[at], &v, 4); };
    std::memcpy(&d[0], "DDS ", 4);
    put(4, 124);
    put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x800000);  // caps, height, width, pixel format, depth
    put(12, n);
    put(16, n);
    put(20, n);                                     // pitch
    put(24, n);                                     // depth
    put(76, 32);
    put(80, 0x20000);                               // luminance
    put(88, 8);
    put(92, 0xFF);
    put(108, 0x1000 | 0x8);                         // texture, complex
    put(112, 0x200000);                             // volume
    d.append(values.begin(), values.end());
    return d;
}

TEST_F(EngineManager, CurlNoiseFromAVolumeImage) {
    IKeResourceManager* res = manager->getResourceManager();
    const uint32_t n = 8;
    std::vector<uint8_t> values(n * n * n);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>((i * 37) ^ (i >> 3));
    std::ofstream(dir / "noise.dds", std::ios::binary) << ddsVolume(n, values);
    ASSERT_TRUE(res->buildNoiseVolume((dir / "noise.dds").string().c_str()));
    ASSERT_EQ(res->getNoiseVolumeEdge(), n);
    std::vector<int8_t> expected(3 * n * n * n);
    keBuildCurlNoise(values.data(), n, expected.data());
    EXPECT_EQ(std::vector<int8_t>(res->getNoiseVolume(), res->getNoiseVolume() + expected.size()), expected);
    // Not a cube: refused, the built-in entry stays.
    std::ofstream(dir / "flat.dds", std::ios::binary) << ddsVolume(n, values).substr(0, 128 + n * n * 4);
    EXPECT_FALSE(res->buildNoiseVolume((dir / "flat.dds").string().c_str()));
    EXPECT_EQ(res->getNoiseVolumeEdge(), 1u);
    EXPECT_FALSE(res->buildNoiseVolume((dir / "none.dds").string().c_str()));
}

TEST_F(EngineManager, GeneratedCurlNoiseIsA64VolumeWithoutDivergence) {
    IKeResourceManager* res = manager->getResourceManager();
    ASSERT_TRUE(res->generateNoiseVolume());
    const int n = 64;
    ASSERT_EQ(res->getNoiseVolumeEdge(), 64u);
    const int8_t* v = res->getNoiseVolume();
    auto e = [&](int c, int x, int y, int z) {
        return v[3 * (((z + n) % n * n + (y + n) % n) * n + (x + n) % n) + c];
    };
    // A curl has no divergence: the central-difference divergence of the stored field stays
    // at the size of the rounding, far below the field's own size.
    double field = 0, divergence = 0;
    for (int z = 0; z < n; z += 3)
        for (int y = 0; y < n; y += 3)
            for (int x = 0; x < n; x += 3) {
                field += std::abs(e(0, x, y, z)) + std::abs(e(1, x, y, z)) + std::abs(e(2, x, y, z));
                divergence += std::abs(e(0, x + 1, y, z) - e(0, x - 1, y, z) + e(1, x, y + 1, z) - e(1, x, y - 1, z) +
                                       e(2, x, y, z + 1) - e(2, x, y, z - 1));
            }
    EXPECT_GT(field, 0);
    EXPECT_LT(divergence, field * 0.5);
    // Saved and loaded again: the same volume.
    ASSERT_TRUE(res->saveNoiseVolume((dir / "gen.cache").string().c_str()));
    std::vector<int8_t> copy(v, v + 3 * n * n * n);
    ASSERT_TRUE(res->loadNoiseVolume((dir / "gen.cache").string().c_str()));
    EXPECT_EQ(std::vector<int8_t>(res->getNoiseVolume(), res->getNoiseVolume() + copy.size()), copy);
}

TEST(CurlNoise, UniformVolumeHasNoCurlAndGradientsGiveTheExpectedSigns) {
    const u32 n = 8;
    std::vector<uint8_t> flat(n * n * n, 77);
    std::vector<int8_t> out(3 * n * n * n, 1);
    keBuildCurlNoise(flat.data(), n, out.data());
    for (int8_t v : out) ASSERT_EQ(v, 0);
    // V growing with x, constant in y and z: psi_c(x) = V(x + o_c) + V(2x + o_c)/2, so only
    // the y component (-d psi_2 / dx) and z component (d psi_1 / dx) are non-zero inside.
    std::vector<uint8_t> ramp(n * n * n);
    for (u32 i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i % n);
    keBuildCurlNoise(ramp.data(), n, out.data());
    for (u32 i = 0; i < n * n * n; ++i) ASSERT_EQ(out[3 * i], 0) << i;
}

TEST(VideoDriverExt, GlValuesOfTheEngineEnumerations) {
    const struct { int in; uint32_t out; } factors[] = {
        {0, 0 /*GL_ZERO*/}, {1, 1 /*GL_ONE*/}, {6, 0x0302 /*GL_SRC_ALPHA*/}, {7, 0x0303}, {10, 0x0308},
        {200, 0x8001 /*GL_CONSTANT_COLOR*/}, {11, 0}, {-1, 0}};
    for (const auto& c : factors) EXPECT_EQ(keGlBlendFactor(c.in), c.out) << c.in;
    const struct { int in; uint32_t out; } ops[] = {
        {1, 0x8006}, {2, 0x800A}, {3, 0x800B}, {4, 0x8007}, {6, 0x8007}, {8, 0x8007}, {5, 0x8008}, {9, 0x8008}, {0, 0x8006}};
    for (const auto& c : ops) EXPECT_EQ(keGlBlendOperation(c.in), c.out) << c.in;
    const struct { int in; uint32_t out; } cmps[] = {
        {0, 0x0207}, {7, 0x0207}, {1, 0x0203}, {2, 0x0202}, {3, 0x0201}, {4, 0x0205}, {5, 0x0206}, {6, 0x0204}, {8, 0x0200}, {9, 0x0207}};
    for (const auto& c : cmps) EXPECT_EQ(keGlComparison(c.in), c.out) << c.in;
    const struct { int in; uint32_t out; } stencil[] = {
        {1, 0x1E00}, {2, 0}, {3, 0x1E01}, {4, 0x1E02}, {5, 0x1E03}, {6, 0x150A}, {7, 0x8507}, {8, 0x8508}, {0, 0x1E00}, {9, 0x1E00}};
    for (const auto& c : stencil) EXPECT_EQ(keGlStencilOperation(c.in), c.out) << c.in;
}

TEST_F(EngineManager, NullVideoDriverExtensionChangesNothing) {
    const KeGlExtraStates before = keGlExtraStates();
    IKeVideoDriverExt* ext = manager->getVideoDriverExt();
    ext->setSeparateAlphaBlend(true);
    ext->setAlphaBlend(2, 1, 1);
    ext->setStencil(true);
    ext->setBlendFactor(video::SColor(1, 2, 3, 4));
    EXPECT_EQ(keGlExtraStates().separateAlpha, before.separateAlpha);
    EXPECT_EQ(keGlExtraStates().stencil, before.stencil);
    EXPECT_EQ(keGlExtraStates().useBlendColor, before.useBlendColor);
}

}  // namespace
