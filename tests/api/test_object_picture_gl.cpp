// Characters from real .x files, loaded with keLoadObject, lit by two coloured directional
// lights from either side and drawn by the simple renderer, as keScreenShot writes them: the
// character covers the centre of the picture against the backdrop, the light from the left
// tints its left side red and the one from the right tints its right side blue. Two files: the
// DirectX SDK's textured tiger (a static mesh) and its tiny.x (a character skinned on 35 bones,
// which goes through the morph mesh node). The files live in ../shared/assets; without them the
// tests skip.
#include "api/KeCameraApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "engine/IKeMorphMesh.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "core/KeError.h"
#include "runtime/KeEngine.h"

#include <gtest/gtest.h>

#include <irrlicht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

const std::string kTiger = KOLM_SOURCE_DIR "/../shared/assets/x/dxsdk-tiger/tiger.x";
const std::string kTiny = KOLM_SOURCE_DIR "/../shared/assets/x/dxsdk-tiny/tiny.x";
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr uint32_t kBackdrop = 0x00FF00;  // the lights' diffuse colours have no green

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

// The pixels of a 24-bit bottom-up BMP as 0xRRGGBB, rows top first; empty when it is not one
// of width x height.
std::vector<uint32_t> readBmp(const std::string& path, int width, int height) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), {}};
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    if (b.size() < 54 + stride * height || b[0] != 'B' || b[28] != 24) return {};
    const uint32_t offset = b[10] | b[11] << 8 | b[12] << 16 | uint32_t(b[13]) << 24;
    if (b.size() < offset + stride * height) return {};
    std::vector<uint32_t> px(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = &b[offset + stride * (height - 1 - y)];
        for (int x = 0; x < width; ++x)
            px[static_cast<size_t>(y) * width + x] = row[x * 3 + 2] << 16 | row[x * 3 + 1] << 8 | row[x * 3];
    }
    return px;
}

int red(uint32_t c) { return int(c >> 16 & 255); }
int green(uint32_t c) { return int(c >> 8 & 255); }
int blue(uint32_t c) { return int(c & 255); }

class ObjectPictureGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        EngineSetup s;
        s.width = kWidth;
        s.height = kHeight;
        s.windowed = 1;
        s.vsync = 0;
        s.antialias = 0;
        s.lightPrePass = 0;  // the simple renderer
        ASSERT_EQ(keStartEngine(s), 0);
    }
    void TearDown() override {
        keDeleteAllObjects();
        keDeleteAllLights();
        keStopEngine();
        keResetErrorReporter();
    }

    // Lights object 1 with red light travelling to +x (from the picture's left) and blue light
    // travelling to -x (from its right), with the camera looking along +z at the middle of its
    // box from `distance` radii away; takes the screenshot `name` and checks it per pixel: the
    // character covers the centre and enough of the picture, the corners show the backdrop, the
    // left edges of its silhouette are lit red and the right edges blue, and, for a body in one
    // piece (`halves`), red-lit pixels lie mostly on its left half and blue-lit ones on its right.
    void checkLitByTwoLights(const char* name, float distance, bool halves) {
        scene::ISceneNode* node = keObjectGet(1);
        ASSERT_NE(node, nullptr);
        const core::aabbox3df box = node->getTransformedBoundingBox();
        const core::vector3df centre = box.getCenter();
        const float radius = box.getExtent().getLength() * 0.5f;
        keSetCameraRange(radius * 0.05f, radius * 10.0f);
        ASSERT_EQ(kePositionCamera(centre.X, centre.Y, centre.Z - radius * distance), 0);
        ASSERT_EQ(keRotateCamera(0, 0, 0), 0);

        ASSERT_EQ(keMakeLight(1), 0);
        ASSERT_EQ(keSetDirectionalLight(1, 0, 70, 0), 0);
        ASSERT_EQ(keColorLight(1, 0xFF0000), 0);
        ASSERT_EQ(keMakeLight(2), 0);
        ASSERT_EQ(keSetDirectionalLight(2, 0, -70, 0), 0);
        ASSERT_EQ(keColorLight(2, 0x0000FF), 0);
        ASSERT_EQ(keColorAmbientLight(0x000000), 0);
        ASSERT_EQ(keColorBackdrop(kBackdrop), 0);

        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(keRun());
            ASSERT_EQ(keSync(), 0);
        }
        const std::string bmp = testing::TempDir() + name + ".bmp";
        ASSERT_EQ(keScreenShot(bmp.c_str()), 0);
        ASSERT_EQ(keScreenShot((testing::TempDir() + name + ".png").c_str()), 0);  // to look at
        const std::vector<uint32_t> px = readBmp(bmp, kWidth, kHeight);
        ASSERT_EQ(px.size(), size_t(kWidth) * kHeight) << bmp;
        auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * kWidth + x]; };
        auto isBackdrop = [](uint32_t c) { return red(c) <= 2 && blue(c) <= 2 && green(c) >= 253; };

        EXPECT_FALSE(isBackdrop(at(kWidth / 2, kHeight / 2))) << std::hex << at(kWidth / 2, kHeight / 2);
        for (const auto& corner : {std::make_pair(0, 0), std::make_pair(kWidth - 1, 0), std::make_pair(0, kHeight - 1),
                                   std::make_pair(kWidth - 1, kHeight - 1)})
            EXPECT_TRUE(isBackdrop(at(corner.first, corner.second))) << std::hex << at(corner.first, corner.second);

        // Per pixel of the character: its bounding columns, red-lit and blue-lit pixels on each half.
        int left = kWidth, right = -1, covered = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (!isBackdrop(at(x, y))) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    ++covered;
                }
        ASSERT_LT(left, right);
        EXPECT_GT(covered, kWidth * kHeight / 20) << "the character covers too little of the picture";

        // Every row's runs of character pixels (limbs apart): the two pixels inside each end face
        // sideways, towards the light on that side.
        long leftRed = 0, leftBlue = 0, rightRed = 0, rightBlue = 0, ends = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth;) {
                if (isBackdrop(at(x, y))) {
                    ++x;
                    continue;
                }
                int end = x;
                while (end + 1 < kWidth && !isBackdrop(at(end + 1, y))) ++end;
                if (end - x >= 6)
                    for (int i = 1; i <= 2; ++i) {
                        leftRed += red(at(x + i, y));
                        leftBlue += blue(at(x + i, y));
                        rightRed += red(at(end - i, y));
                        rightBlue += blue(at(end - i, y));
                        ++ends;
                    }
                x = end + 1;
            }
        ASSERT_GT(ends, 100);
        std::printf("%s: mean of the left ends red %ld blue %ld, of the right ends red %ld blue %ld\n", name,
                    leftRed / ends, leftBlue / ends, rightRed / ends, rightBlue / ends);
        EXPECT_GT(leftRed, 24 * ends);
        EXPECT_GT(rightBlue, 24 * ends);
        EXPECT_GT(2 * leftRed, 3 * rightRed);
        EXPECT_GT(2 * rightBlue, 3 * leftBlue);
        if (!halves) return;
        const int middle = (left + right) / 2;
        int redLeft = 0, blueLeft = 0, redRight = 0, blueRight = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = left; x <= right; ++x) {
                const uint32_t c = at(x, y);
                if (isBackdrop(c)) continue;
                const bool reddish = red(c) >= 48 && red(c) > 3 * blue(c);
                const bool bluish = blue(c) >= 48 && blue(c) > 3 * red(c);
                (x < middle ? redLeft : redRight) += reddish;
                (x < middle ? blueLeft : blueRight) += bluish;
            }
        std::printf("%s: columns %d-%d, %d pixels; red-lit left %d right %d, blue-lit left %d right %d\n", name, left,
                    right, covered, redLeft, redRight, blueLeft, blueRight);
        EXPECT_GT(redLeft, 100);
        EXPECT_GT(blueRight, 100);
        EXPECT_GT(redLeft, 2 * redRight);
        EXPECT_GT(blueRight, 2 * blueLeft);
    }
};

TEST_F(ObjectPictureGl, CharacterLitByTwoLights) {
    if (!fileExists(kTiger)) GTEST_SKIP() << "the shared assets are absent (" << kTiger << ")";
    ASSERT_EQ(keLoadObject(kTiger.c_str(), 1), 0) << takeLastError(nullptr);
    scene::ISceneNode* node = keObjectGet(1);
    ASSERT_NE(node, nullptr);
    // The file carries no normals (the loader leaves them zero, as the library's own loader does):
    // give the mesh smooth ones, as a modelling tool would, so that lights reach it.
    ASSERT_EQ(node->getType(), scene::ESNT_MESH);
    scene::IMesh* mesh = static_cast<scene::IMeshSceneNode*>(node)->getMesh();
    keEngineContext().sceneManager->getMeshManipulator()->recalculateNormals(mesh, true);
    mesh->setDirty();
    ASSERT_EQ(keRotateObject(1, 0, 40, 0), 0);  // three quarters: the head and the left flank
    checkLitByTwoLights("character", 1.4f, true);
}

TEST_F(ObjectPictureGl, SkinnedCharacterLitByTwoLights) {
    if (!fileExists(kTiny)) GTEST_SKIP() << "the shared assets are absent (" << kTiny << ")";
    ASSERT_EQ(keLoadObject(kTiny.c_str(), 1), 0) << takeLastError(nullptr);
    scene::ISceneNode* node = keObjectGet(1);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(unsigned(node->getType()), KE_MORPH_NODE_TYPE);
    scene::ISkinnedMesh* mesh = static_cast<IKeMorphMeshSceneNode*>(node)->getMorphMesh()->getSkinnedMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_GT(mesh->getJointCount(), 30u);
    // A pose of its walk, so that the picture shows the skinned body, not the bind pose.
    ASSERT_GT(keTotalObjectFrames(1), 10);
    ASSERT_EQ(keSetObjectFrame(1, float(keTotalObjectFrames(1) / 4)), 0);
    ASSERT_EQ(keSync(), 0);  // animates the node, so that its box is the pose's
    checkLitByTwoLights("skinned_character", 1.6f, false);
}

}  // namespace

