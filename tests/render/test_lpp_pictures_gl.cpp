// The example scene drawn by the light pre-pass renderer (320 x 180, as keSync presents it and
// keScreenShot writes it), against reference pictures: with a shadowed spot light, with its own
// point and directional lights, and with a volumetric spot light. Every pixel must be within a
// few levels of its reference, apart from a handful (llvmpipe versions differ in the last bit of
// edges).
//
// KOLM_LPP_WRITE_REFERENCES=<folder> writes the frames there instead of comparing them
// (tests/render/regenerate_lpp_references.sh); look at each before committing it.
#include "lpp_fixture.h"

#include "api/KeCameraApi.h"
#include "support/gl_fixture.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace irr;
using namespace kolm;
using namespace lpptest;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kTimeMs = 1000;

struct Picture {
    const char* name;
    void (*setUp)();
};

void spotShadow() {
    addSpotLight(40, {3.5f, 6.0f, -2.5f}, {0, -1, 0}, 18.0f, 28.0f, 20.0f, 0xFFF0D0);
    keSetLightShadow(40, true);
    keSetShadowMapSize(40, 512);
    keSetShadowMapFuzz(40, 1.0f);
    // The scene's own lights off: the spot light and its shadow alone.
    keHideLight(20);
    keHideLight(21);
}

void pointLights() {}

void volumetric() {
    addSpotLight(40, {-3.0f, 5.0f, 1.0f}, {0.5f, -1, 0}, 10.0f, 22.0f, 14.0f, 0x80C0FF);
    keSetLightShadow(40, true);
    if (KeLightParams* p = lightParams(40)) {
        p->volumetric = true;
        p->volumetricDensity = 1.0f;
        p->volumetricMode = 1;
    }
}

const Picture kPictures[] = {
    {"lpp_spot_shadow", spotShadow},
    {"lpp_point", pointLights},
    {"lpp_volumetric", volumetric},
};

class LppPicturesGl : public ::testing::TestWithParam<Picture> {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
    }
    void TearDown() override {
        keSceneUnload(1);
        keDeleteAllObjects();
        keDeleteAllLights();
        keDeleteAllEffects();
        keStopEngine();
        keResetErrorReporter();
    }
};

TEST_P(LppPicturesGl, MatchesItsReference) {
    ASSERT_NE(startEngine(kWidth, kHeight), nullptr);
    ASSERT_TRUE(loadExampleScene(kTimeMs));
    GetParam().setUp();
    keSetFrameTime(kTimeMs);
    keSceneAnimate(1, kTimeMs);
    ASSERT_EQ(keSync(), 0);
    ScratchDir scratch;
    ASSERT_TRUE(scratch.create("/tmp/kolm-lpp-"));
    const std::string shot = scratch.path + "/frame.png";
    ASSERT_EQ(keScreenShot(shot.c_str()), 0);
    video::IImage* image = driver()->createImageFromFile(shot.c_str());
    ASSERT_NE(image, nullptr);
    std::vector<uint32_t> px(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) px[size_t(y) * kWidth + x] = image->getPixel(u32(x), u32(y)).color;
    image->drop();

    const std::string name = std::string(GetParam().name) + ".png";
    if (const char* out = std::getenv("KOLM_LPP_WRITE_REFERENCES")) {
        ASSERT_TRUE(gltest::writeFramePng(driver(), px, kWidth, kHeight, std::string(out) + "/" + name));
        GTEST_SKIP() << "reference written to " << out;
    }
    gltest::expectMatchesReference(driver(), px, kWidth, kHeight, KOLM_TEST_DATA_DIR "/render/" + name, 3, 8);
}

INSTANTIATE_TEST_SUITE_P(ExampleScene, LppPicturesGl, ::testing::ValuesIn(kPictures),
                         [](const ::testing::TestParamInfo<Picture>& info) { return std::string(info.param.name); });

}  // namespace
