// Engine textures on OpenGL: what is uploaded reads back unchanged, render targets are the
// library's own and shared.
#include "support/gl_fixture.h"

#include <string>

#include "engine/IKeTextureManager.h"

using namespace gltest;
using irr::u32;
using irr::core::dimension2du;
using irr::video::ITexture;
using irr::video::SColor;

class TexturesGl : public GlDeviceTest {};

TEST_F(TexturesGl, UploadedTexturesReadBackAndRenderTargetsAreShared) {
    kolm::IKeTextureManager* manager = kolm::keCreateTextureManager(device);
    ASSERT_NE(manager, nullptr);
    char pattern[] = "/tmp/kolm_textures_gl_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    auto write = [&](const std::string& name, u32 w, u32 h, irr::video::ECOLOR_FORMAT format, auto colour) {
        irr::video::IImage* image = driver->createImage(format, dimension2du(w, h));
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < w; ++x) image->setPixel(x, y, colour(x, y));
        EXPECT_TRUE(driver->writeImageToFile(image, (dir + "/" + name).c_str()));
        image->drop();
        return dir + "/" + name;
    };
    for (u32 f = 0; f < 6; ++f)
        write("env0" + std::to_string(f) + ".png", 8, 8, irr::video::ECF_A8R8G8B8,
              [f](u32 x, u32 y) { return SColor(255, 40 * f, x * 30, y * 30); });
    const std::string strip = write("noise.png", 16, 4, irr::video::ECF_R8G8B8,
                                    [](u32 x, u32 y) { return SColor(255, x * 15, y * 60, 9); });

    ITexture* cube = manager->getCubeTexture((dir + "/env.png").c_str(), true);
    ASSERT_NE(cube, nullptr);
    kolm::CKeGlTexture* glCube = kolm::keAsEngineTexture(cube);
    ASSERT_TRUE(glCube && glCube->isGl());
    for (u32 f = 0; f < 6; ++f) {
        std::vector<uint32_t> px;
        ASSERT_TRUE(glCube->readPixels(f, px));
        EXPECT_EQ(px[0], SColor(255, 40 * f, 0, 0).color) << f;
        EXPECT_EQ(px[7 * 8 + 2], SColor(255, 40 * f, 60, 210).color) << f;
    }
    ITexture* volume = manager->get3DTexture(strip.c_str());
    ASSERT_NE(volume, nullptr);
    std::vector<uint32_t> voxels;
    ASSERT_TRUE(kolm::keAsEngineTexture(volume)->readPixels(0, voxels));
    ASSERT_EQ(voxels.size(), 64u);
    EXPECT_EQ(voxels[(3 * 4 + 2) * 4 + 1], SColor(255, (3 * 4 + 1) * 15, 120, 9).color);

    ITexture* floats = manager->getFloatTexture(strip.c_str());
    ASSERT_NE(floats, nullptr);
    std::vector<uint32_t> red;
    ASSERT_TRUE(kolm::keAsEngineTexture(floats)->readPixels(0, red));
    EXPECT_EQ((red[5] >> 16) & 255, 75u);

    ITexture* randRot = manager->getRandRot();
    ASSERT_NE(randRot, nullptr);
    EXPECT_EQ(randRot->getOriginalSize(), dimension2du(64, 64));
    EXPECT_FALSE(randRot->hasMipMaps());

    const bool mipFlag = driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS);
    ITexture* rt = manager->getRenderTarget(dimension2du(128, 64), kolm::KE_CF_A16B16G16R16F);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(kolm::keAsEngineTexture(rt), nullptr);  // the library's own render target
    EXPECT_EQ(rt->getColorFormat(), irr::video::ECF_A16B16G16R16F);
    EXPECT_EQ(driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS), mipFlag);
    EXPECT_EQ(manager->getRenderTarget(dimension2du(128, 64), kolm::KE_CF_A16B16G16R16F), rt);
    EXPECT_NE(manager->getRenderTarget(dimension2du(128, 64), kolm::KE_CF_R32F), rt);

    manager->drop();
    std::system(("rm -rf '" + dir + "'").c_str());
}
