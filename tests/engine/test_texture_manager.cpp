// The texture manager and cube maps on the null driver: face sets, strips, DDS files, the
// generated textures, float copies, mip-map modes, shared render targets.
#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/KeError.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"
#include "engine/CKeTextureManager.h"
#include "engine/IKeCubeMap.h"
#include "engine/KeGeneratedTextures.h"
#include "gl/KeGlTexture.h"
#include "render/IKeRenderer.h"
#include "dds_builder.h"

using irr::u32;
using irr::core::dimension2du;
using irr::video::ITexture;
using irr::video::SColor;

namespace {

// The library's own log lines (it names files it cannot open).
struct LibraryLog : irr::IEventReceiver {
    std::vector<std::string> lines;
    bool OnEvent(const irr::SEvent& event) override {
        if (event.EventType != irr::EET_LOG_TEXT_EVENT) return false;
        lines.push_back(event.LogEvent.Text);
        return true;
    }
    bool mentions(const std::string& text) const {
        for (const auto& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
};


class TextureManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.install();
        device = irr::createDevice(irr::video::EDT_NULL, dimension2du(64, 64));
        ASSERT_NE(device, nullptr);
        driver = device->getVideoDriver();
        ASSERT_TRUE(scratch.create("/tmp/kolm-textures-"));
        dir = scratch.path;
        manager = kolm::keCreateTextureManager(device);
    }
    void TearDown() override {
        manager->drop();
        device->drop();
    }

    // Writes a PNG whose pixel (x, y) is colour(x, y).
    template <class F>
    std::string writePng(const std::string& name, u32 w, u32 h, irr::video::ECOLOR_FORMAT format, F colour) {
        irr::video::IImage* image = driver->createImage(format, dimension2du(w, h));
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < w; ++x) image->setPixel(x, y, colour(x, y));
        const std::string path = dir + "/" + name;
        EXPECT_TRUE(driver->writeImageToFile(image, path.c_str()));
        image->drop();
        return path;
    }
    std::string writeFaces(const std::string& base, int skip = -1) {
        for (int f = 0; f < 6; ++f) {
            if (f == skip) continue;
            writePng(base + "0" + std::to_string(f) + ".png", 4, 4, irr::video::ECF_A8R8G8B8,
                     [f](u32 x, u32 y) { return SColor(255, 40 * f, x * 16, y * 16); });
        }
        return dir + "/" + base + ".png";
    }

    kolmtest::LogCapture log;
    ScratchDir scratch;
    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    kolm::IKeTextureManager* manager = nullptr;
    std::string dir;
};

std::vector<uint32_t> pixelsOf(ITexture* texture, u32 face = 0) {
    std::vector<uint32_t> out;
    kolm::CKeGlTexture* t = kolm::keAsEngineTexture(texture);
    EXPECT_NE(t, nullptr);
    if (t) {
        EXPECT_TRUE(t->readPixels(face, out));
    }
    return out;
}

}  // namespace

TEST_F(TextureManagerTest, CubeFromSixFaceFilesInFaceOrder) {
    const std::string sky = writeFaces("sky");
    ITexture* cube = manager->getCubeTexture(sky.c_str(), true);
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(kolm::keAsEngineTexture(cube)->getKind(), kolm::KeGlTextureKind::Cube);
    EXPECT_EQ(cube->getName().getPath(), irr::io::path((sky + "_cube").c_str()));
    for (u32 f = 0; f < 6; ++f) {
        const auto px = pixelsOf(cube, f);
        ASSERT_EQ(px.size(), 16u);
        EXPECT_EQ(px[0], SColor(255, 40 * f, 0, 0).color) << "face " << f;
        EXPECT_EQ(px[2 * 4 + 3], SColor(255, 40 * f, 48, 32).color) << "face " << f << " (3, 2)";
    }
    EXPECT_EQ(manager->getCubeTexture(sky.c_str(), true), cube);
    EXPECT_EQ(manager->findTexture((sky + "_cube").c_str()), cube);
    EXPECT_EQ(manager->getTextureAuto(sky.c_str(), true), cube);
    EXPECT_EQ(manager->getTextureOfType(sky.c_str(), kolm::KE_TEXTURE_CUBE), cube);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(manager->getCubeTexture(sky.c_str(), false), cube);
    EXPECT_TRUE(log.contains("Cannot get MipMap mode DISABLED for texture " + sky + "."));
}

TEST_F(TextureManagerTest, MissingFaceFailsAndKeepsNothing) {
    const std::string sky = writeFaces("sky", 3);
    writePng("sky.png", 4, 4, irr::video::ECF_A8R8G8B8, [](u32, u32) { return SColor(255, 1, 2, 3); });
    const u32 textures = driver->getTextureCount();
    LibraryLog libraryLog;
    device->setEventReceiver(&libraryLog);
    EXPECT_EQ(manager->getCubeTexture(sky.c_str(), true), nullptr);
    device->setEventReceiver(nullptr);
    // The missing face is named by the loader; the manager itself adds nothing (callers report).
    EXPECT_TRUE(libraryLog.mentions(dir + "/sky03.png"));
    EXPECT_FALSE(libraryLog.mentions("sky02.png"));
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(driver->getTextureCount(), textures);
    EXPECT_EQ(manager->findTexture((sky + "_cube").c_str()), nullptr);
    // Without a complete face set the automatic choice loads the plain 2D file.
    ITexture* plain = manager->getTextureAuto(sky.c_str(), true);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(kolm::keAsEngineTexture(plain), nullptr);
}

TEST_F(TextureManagerTest, DdsCubeMapGivesItsOwnSixFaces) {
    ddstest::Header h;
    h.width = h.height = 2;
    h.caps2 = ddstest::CAPS2_CUBE_ALL;
    std::vector<uint8_t> payload;
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t i = 0; i < 4; ++i) {
            const auto w = ddstest::words({0xFF000000 | f << 16 | i});
            payload.insert(payload.end(), w.begin(), w.end());
        }
    const auto bytes = ddstest::build(h, payload);
    const std::string file = dir + "/room.dds";
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    ITexture* cube = manager->getTextureOfType(file.c_str(), kolm::KE_TEXTURE_CUBE);
    ASSERT_NE(cube, nullptr);
    for (u32 f = 0; f < 6; ++f) EXPECT_EQ(pixelsOf(cube, f)[3], 0xFF000000 | f << 16 | 3) << f;
    EXPECT_EQ(manager->getCubeTexture(file.c_str(), true), cube);
}

TEST_F(TextureManagerTest, FaceSetsOfDifferentSizesAreRejected) {
    const std::string sky = writeFaces("odd");
    writePng("odd05.png", 8, 8, irr::video::ECF_A8R8G8B8, [](u32, u32) { return SColor(255, 0, 0, 0); });
    EXPECT_EQ(manager->getCubeTexture(sky.c_str(), false), nullptr);
    EXPECT_TRUE(log.contains("odd05.png is 8 x 8, expected 4 x 4"));
}

TEST_F(TextureManagerTest, VolumeFromStrips) {
    auto rgb = [](u32 x, u32 y) { return SColor(255, x * 3, y * 20, (x / 8) * 30); };
    struct Case {
        const char* name;
        u32 width;
        irr::video::ECOLOR_FORMAT format;
        const char* message;  // null: accepted
    };
    const Case cases[] = {
        {"strip64.png", 64, irr::video::ECF_R8G8B8, nullptr},
        {"strip60.png", 60, irr::video::ECF_R8G8B8, "2D image Width != Height x Height"},
        {"rgba64.png", 64, irr::video::ECF_A8R8G8B8, "convertion 2D->3D requires R8G8B8 format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.lines.clear();
        const std::string file = writePng(c.name, c.width, 8, c.format, rgb);
        ITexture* volume = manager->get3DTexture(file.c_str());
        if (c.message) {
            EXPECT_EQ(volume, nullptr);
            EXPECT_TRUE(log.contains(std::string("ERROR : Fail to create 3D tex for '") + file + "': " + c.message));
            continue;
        }
        ASSERT_NE(volume, nullptr);
        kolm::CKeGlTexture* t = kolm::keAsEngineTexture(volume);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->getKind(), kolm::KeGlTextureKind::Volume);
        EXPECT_EQ(t->getSize(), dimension2du(8, 8));
        EXPECT_EQ(t->getDepth(), 8u);
        // Voxel (x, y, z) comes from column z * 8 + x, row y.
        const auto voxels = pixelsOf(volume);
        ASSERT_EQ(voxels.size(), 512u);
        for (u32 z : {0u, 3u, 7u})
            for (u32 y : {0u, 5u})
                for (u32 x : {0u, 6u})
                    EXPECT_EQ(voxels[(z * 8 + y) * 8 + x], rgb(z * 8 + x, y).color) << x << "," << y << "," << z;
        EXPECT_EQ(manager->get3DTexture(file.c_str()), volume);
        EXPECT_EQ(manager->getTextureOfType(file.c_str(), kolm::KE_TEXTURE_VOLUME), volume);
    }
}

TEST_F(TextureManagerTest, VolumeAndPlainTextureOfOneFileStayApart) {
    const std::string file = writePng("both.png", 16, 4, irr::video::ECF_R8G8B8, [](u32 x, u32) {
        return SColor(255, x * 10, 0, 0);
    });
    ITexture* plain = manager->getTexture(file.c_str(), true);
    ASSERT_NE(plain, nullptr);
    ITexture* volume = manager->get3DTexture(file.c_str());
    ASSERT_NE(volume, nullptr);
    EXPECT_NE(volume, plain);
    EXPECT_NE(kolm::keAsEngineTexture(volume), nullptr);
    EXPECT_EQ(manager->getTexture(file.c_str(), true), plain);
    EXPECT_EQ(manager->get3DTexture(file.c_str()), volume);
}

TEST_F(TextureManagerTest, DdsFilesLoadAsVolumesAndAs2DImages) {
    const std::string data = KOLM_TEST_DATA_DIR "/textures/";
    ITexture* volume = manager->get3DTexture((data + "volume2.dds").c_str());
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(kolm::keAsEngineTexture(volume)->getDepth(), 2u);
    const auto voxels = pixelsOf(volume);
    ASSERT_EQ(voxels.size(), 8u);
    for (u32 i = 0; i < 8; ++i) EXPECT_EQ(voxels[i], 0xFF000000u | (i >> 2) << 16 | ((i >> 1) & 1) << 8 | (i & 1));

    // The driver reads a DXT1 file through the engine's image loader.
    irr::video::IImage* image = driver->createImageFromFile((data + "dxt1.dds").c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getDimension(), dimension2du(8, 4));
    EXPECT_EQ(image->getPixel(0, 0).color, 0xFFFF0000u);
    EXPECT_EQ(image->getPixel(2, 0).color, 0xFFAA0055u);
    EXPECT_EQ(image->getPixel(5, 0).color, 0x00000000u);
    EXPECT_EQ(image->getPixel(7, 3).color, 0xFF0000FFu);
    image->drop();
    ITexture* plain = manager->getTexture((data + "dxt1.dds").c_str(), true);
    ASSERT_NE(plain, nullptr);
    // A 2D DDS asked for as a volume goes to the driver as it is.
    EXPECT_EQ(manager->get3DTexture((data + "dxt1.dds").c_str()), plain);
}

TEST_F(TextureManagerTest, MipMapModeIsKeptAndTheOtherModeWarns) {
    const std::string file = writePng("mip.png", 8, 8, irr::video::ECF_A8R8G8B8, [](u32, u32) { return SColor(~0u); });
    const bool flagBefore = driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS);
    ITexture* first = manager->getTexture(file.c_str(), false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS), flagBefore);
    EXPECT_EQ(manager->getTexture(file.c_str(), false), first);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(manager->getTexture(file.c_str(), true), first);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "WARN : WARN: Cannot get MipMap mode ENABLED for texture " + file +
                                ". Same texture is already created in the other mode\n");
    EXPECT_EQ(manager->getTexture((dir + "/absent.png").c_str(), true), nullptr);
}

TEST_F(TextureManagerTest, FloatCopyIsCachedUnderItsOwnName) {
    const std::string file = writePng("height.png", 4, 2, irr::video::ECF_A8R8G8B8, [](u32 x, u32) {
        return SColor(255, x * 85, 7, 7);
    });
    ITexture* copy = manager->getFloatTexture(file.c_str());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getName().getPath(), irr::io::path((file + "_r32f").c_str()));
    EXPECT_EQ(copy->getColorFormat(), irr::video::ECF_R32F);
    // The second request finds the cached copy without decoding the file again: it is found
    // even once the file is gone.
    EXPECT_EQ(manager->getFloatTexture(file.c_str()), copy);
    ASSERT_EQ(std::remove(file.c_str()), 0);
    EXPECT_EQ(manager->getFloatTexture(file.c_str()), copy);
    EXPECT_EQ(manager->findTexture((file + "_r32f").c_str()), copy);
    const auto px = pixelsOf(copy);
    ASSERT_EQ(px.size(), 8u);
    EXPECT_EQ(px[1] & 0xFF0000, 85u << 16);
    EXPECT_EQ(px[7] & 0xFF0000, 255u << 16);
    EXPECT_EQ(manager->getFloatTexture((dir + "/absent.png").c_str()), nullptr);
}

TEST_F(TextureManagerTest, GeneratedTexturesHaveTheirFixedEncodings) {
    std::vector<uint32_t> rot(64 * 64), vec(512 * 512);
    kolm::keGenerateRandRot(rot.data());
    kolm::keGenerateRandVec(vec.data());
    // First draw: r = 2531011 >> 16 = 38, angle 0.00729; red = cos * 0.5 + 1 = 1.49997,
    // * 255 + 0.5 = 382.99 -> 382, stored as 382 & 255 = 0x7E; green 256.43 -> 0x00.
    EXPECT_EQ(rot[0], 0xFF7E0000u);
    EXPECT_EQ(rot[1 * 64 + 0], 0xFF0B7E00u);  // second draw r = 7719: x-major, so (0, 1)
    EXPECT_EQ(rot[0 * 64 + 1], 0xFFBB9300u);  // 65th draw r = 21652
    EXPECT_EQ(rot[63 * 64 + 63], 0xFF5BA700u);
    EXPECT_EQ(vec[0], 0xFF003CA5u);
    EXPECT_EQ(vec[1 * 512 + 0], 0xFF13455Cu);
    EXPECT_EQ(vec[0 * 512 + 1], 0xFF68C082u);
    // The rejection test runs in single precision; in double precision the sequence drifts
    // apart later on (this texel would read 0xFF60553E).
    EXPECT_EQ(vec[511 * 512 + 511], 0xFF441FE8u);
    EXPECT_EQ(vec[17 * 512 + 300], 0xFF230C8Cu);
    for (uint32_t c : vec) {
        const float r = ((c >> 16) & 255) / 255.f, g = ((c >> 8) & 255) / 255.f, b = (c & 255) / 255.f;
        ASSERT_LE(r * r + g * g + b * b, 1.02f);
        ASSERT_EQ(c >> 24, 255u);
    }

    ITexture* randRot = manager->getRandRot();
    ASSERT_NE(randRot, nullptr);
    EXPECT_EQ(randRot->getName().getPath(), irr::io::path("RandRot"));
    EXPECT_EQ(manager->findTexture("RandRot"), randRot);
    ITexture* randVec = manager->findTexture("RandVec");
    ASSERT_NE(randVec, nullptr);
    EXPECT_EQ(manager->getRandVec(), randVec);
    EXPECT_EQ(manager->findTexture("nothing"), nullptr);
}

TEST_F(TextureManagerTest, RenderTargetsAreSharedBySizeAndFormat) {
    ITexture* a = manager->getRenderTarget(dimension2du(512, 512), kolm::KE_CF_A16B16G16R16F);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->isRenderTarget());
    EXPECT_EQ(a->getColorFormat(), irr::video::ECF_A16B16G16R16F);
    EXPECT_EQ(manager->getRenderTarget(dimension2du(512, 512), kolm::KE_CF_A16B16G16R16F), a);
    ITexture* wide = manager->getRenderTarget(dimension2du(512, 256), kolm::KE_CF_A16B16G16R16F);
    ITexture* r32 = manager->getRenderTarget(dimension2du(512, 512), kolm::KE_CF_R32F);
    ITexture* small = manager->getRenderTarget(dimension2du(64, 64), kolm::KE_CF_A8R8G8B8);
    for (ITexture* t : {wide, r32, small}) {
        ASSERT_NE(t, nullptr);
        EXPECT_NE(t, a);
    }
    EXPECT_EQ(r32->getColorFormat(), irr::video::ECF_R32F);
    EXPECT_EQ(manager->getRenderTarget(dimension2du(512, 256), kolm::KE_CF_A16B16G16R16F), wide);
    EXPECT_EQ(manager->getRenderTarget(dimension2du(64, 64), kolm::KE_CF_A8R8G8B8), small);
    EXPECT_EQ(manager->getRenderTarget(dimension2du(64, 64), 5), nullptr);  // a compressed format number
    EXPECT_TRUE(log.contains("render target 64 x 64 of format 5 cannot be created"));
}

TEST(ColorFormats, EngineNumbersMapToTheLibrary) {
    EXPECT_EQ(kolm::keToLibraryColorFormat(12), irr::video::ECF_A16B16G16R16F);
    EXPECT_EQ(kolm::keToLibraryColorFormat(13), irr::video::ECF_R32F);
    EXPECT_EQ(kolm::keToLibraryColorFormat(3), irr::video::ECF_A8R8G8B8);
    EXPECT_EQ(kolm::keToLibraryColorFormat(10), irr::video::ECF_R16F);
    EXPECT_EQ(kolm::keToLibraryColorFormat(15), irr::video::ECF_A32B32G32R32F);
    for (int n : {-1, 4, 9, 16}) EXPECT_EQ(kolm::keToLibraryColorFormat(n), irr::video::ECF_UNKNOWN) << n;
    for (int n : {0, 1, 2, 3, 10, 11, 12, 13, 14, 15})
        EXPECT_EQ(kolm::keFromLibraryColorFormat(kolm::keToLibraryColorFormat(n)), n);
}

// ---------------------------------------------------------------------------------------------
// cube maps

namespace {

struct RecordingFaces : kolm::IKeCubeFaceRenderer {
    ITexture* cube = nullptr;
    ITexture* target = nullptr;
    irr::core::vector3df position;
    bool result = true;
    bool renderCubeMap(ITexture* c, ITexture* t, const irr::core::vector3df& p, kolm::IKeRenderer*) override {
        cube = c;
        target = t;
        position = p;
        return result;
    }
};

struct StubRenderer : kolm::IKeRenderer {
    void setClearColor(SColor) override {}
    void setDebug(irr::s32) override {}
    bool render(const kolm::KeFrameContext&) override { return true; }
};

}  // namespace

TEST_F(TextureManagerTest, CubeMapCreatesRendersClearsAndReleases) {
    RecordingFaces faces;
    kolm::IKeCubeMap* cubeMap = kolm::keCreateCubeMap(device, manager, &faces);
    ASSERT_NE(cubeMap, nullptr);
    ASSERT_TRUE(cubeMap->create(64, kolm::KE_CF_A16B16G16R16F));
    ITexture* cube = cubeMap->getTexture();
    ASSERT_NE(cube, nullptr);
    EXPECT_TRUE(cube->isRenderTarget());
    EXPECT_EQ(cube->getColorFormat(), irr::video::ECF_A16B16G16R16F);
    EXPECT_FALSE(cubeMap->create(64, kolm::KE_CF_A16B16G16R16F));
    EXPECT_TRUE(log.contains("ERROR : cubemap texture already created"));

    // Rendering goes through the shared 2D target of the same size and format.
    StubRenderer stub;
    kolm::IKeRenderer* renderer = &stub;
    EXPECT_TRUE(cubeMap->render(renderer, irr::core::vector3df(1, 2, 3)));
    EXPECT_TRUE(cubeMap->isRendered());
    EXPECT_EQ(faces.cube, cube);
    EXPECT_EQ(faces.target, manager->getRenderTarget(dimension2du(64, 64), kolm::KE_CF_A16B16G16R16F));
    EXPECT_EQ(cubeMap->getPosition(), irr::core::vector3df(1, 2, 3));
    EXPECT_TRUE(cubeMap->clear());
    EXPECT_FALSE(cubeMap->isRendered());
    faces.result = false;
    EXPECT_FALSE(cubeMap->render(renderer, irr::core::vector3df(4, 5, 6)));
    EXPECT_FALSE(cubeMap->isRendered());

    // Two objects use the cube map; deleting it first takes the texture out of both.
    irr::scene::ISceneManager* smgr = device->getSceneManager();
    irr::scene::ISceneNode* a = smgr->addCubeSceneNode();
    irr::scene::ISceneNode* b = smgr->addCubeSceneNode(10.f, a);
    a->setMaterialTexture(1, cube);
    b->setMaterialTexture(3, cube);
    EXPECT_EQ(kolm::keClearTextureUsers(smgr->getRootSceneNode(), cube), 2u);
    EXPECT_EQ(a->getMaterial(0).getTexture(1), nullptr);
    EXPECT_EQ(b->getMaterial(0).getTexture(3), nullptr);

    log.lines.clear();
    cube->grab();  // someone still holds it
    cubeMap->drop();
    EXPECT_TRUE(log.contains("WARN : Cannot remove texture of cubemap still references 2 on it!"));
    cube->drop();
}

TEST_F(TextureManagerTest, CubeMapWithUnusableFormatFails) {
    kolm::IKeCubeMap* cubeMap = kolm::keCreateCubeMap(device, manager, nullptr);
    EXPECT_FALSE(cubeMap->create(64, 7));
    EXPECT_TRUE(log.contains("ERROR : failed to create cubemap texture"));
    EXPECT_EQ(cubeMap->getTexture(), nullptr);
    EXPECT_FALSE(cubeMap->render(nullptr, irr::core::vector3df()));
    cubeMap->drop();
}
