// A skinned, morphing character on OpenGL: the DirectX SDK's tiny.x (../shared/assets) loaded
// with keLoadObject, given a morph set read from ".kmorph" bytes written here (one morph that
// widens the character by half), and drawn by the simple renderer. With the morph at weight 1
// the character is wider than without it, and at another animation frame its pose differs.
// Skipped without the assets or a display.
#include "api/KeCameraApi.h"
#include "api/KeLightApi.h"
#include "api/KeObjectApi.h"
#include "core/KeError.h"
#include "engine/IKeMeshBufferExt.h"
#include "engine/IKeMorphMesh.h"
#include "engine/IKeMorphMeshSceneNode.h"
#include "engine/kmorph_writer.h"
#include "runtime/KeEngine.h"

#include <gtest/gtest.h>

#include <irrlicht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

const std::string kAssets = KOLM_SOURCE_DIR "/../shared/assets/x/dxsdk-tiny/";
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr uint32_t kBackdrop = 0x00FF00;

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

bool isBackdrop(uint32_t c) { return (c >> 16 & 255) <= 2 && (c & 255) <= 2 && (c >> 8 & 255) >= 253; }

struct Shot {
    std::vector<uint32_t> px;
    int left = kWidth, right = -1, covered = 0;
};

class MorphObjectGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        if (!std::filesystem::exists(kAssets + "tiny.x")) GTEST_SKIP() << "the shared assets are absent (" << kAssets << ")";
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

    // The object's morph mesh rebuilt with one morph that widens the character by half along x
    // about its middle, for every file point.
    static void giveWideningMorph(int id) {
        auto* node = static_cast<IKeMorphMeshSceneNode*>(keObjectGet(id));
        scene::ISkinnedMesh* mesh = node->getMorphMesh()->getSkinnedMesh();
        ASSERT_NE(mesh, nullptr);
        std::map<u32, core::vector3df> points;
        for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
            scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
            const core::array<u32>* o = keGetOriginalVerticesIndices(buffer);
            ASSERT_NE(o, nullptr);
            for (u32 v = 0; v < buffer->getVertexCount(); ++v) points.emplace((*o)[v], buffer->getPosition(v));
        }
        const f32 middle = mesh->getBoundingBox().getCenter().X;
        kmorphtest::MorphDef wide{"wide", {}};
        for (const auto& [index, p] : points) wide.points.push_back({index, (p.X - middle) * 0.5f, 0.f, 0.f});
        const std::string bytes = kmorphtest::kmorphFile({wide});
        KeMorphSetPtr set = CKeMorphMapLoader::createMorphMap(mesh, bytes.data(), bytes.size());
        ASSERT_TRUE(set);
        IKeMorphMesh* morph = keCreateMorphMeshMorphMapKM();
        ASSERT_TRUE(morph->createSkinned(mesh, set));
        node->setMorphMesh(morph);
        morph->drop();
    }

    Shot take(const char* name) {
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(keRun());
            EXPECT_EQ(keSync(), 0);
        }
        const std::string bmp = testing::TempDir() + name + ".bmp";
        EXPECT_EQ(keScreenShot(bmp.c_str()), 0);
        EXPECT_EQ(keScreenShot((testing::TempDir() + name + ".png").c_str()), 0);  // to look at
        Shot s;
        s.px = readBmp(bmp, kWidth, kHeight);
        for (int y = 0; y < kHeight && !s.px.empty(); ++y)
            for (int x = 0; x < kWidth; ++x)
                if (!isBackdrop(s.px[size_t(y) * kWidth + x])) {
                    s.left = std::min(s.left, x);
                    s.right = std::max(s.right, x);
                    ++s.covered;
                }
        std::printf("%s: columns %d-%d, %d pixels\n", name, s.left, s.right, s.covered);
        return s;
    }

};

TEST_F(MorphObjectGl, SkinnedCharacterMorphsAndAnimates) {
    ASSERT_EQ(keLoadObject((kAssets + "tiny.x").c_str(), 1), 0) << takeLastError(nullptr);
    ASSERT_EQ(unsigned(keObjectGet(1)->getType()), KE_MORPH_NODE_TYPE);
    EXPECT_EQ(keGetObjectMorphCount(1), 0);
    giveWideningMorph(1);
    ASSERT_EQ(keGetObjectMorphCount(1), 1);
    const int frames = keTotalObjectFrames(1);
    ASSERT_GT(frames, 10);

    // The camera looks along +z at the character's middle (bind pose box, widened) from 2 radii.
    ASSERT_EQ(keSync(), 0);
    core::aabbox3df box = keObjectGet(1)->getTransformedBoundingBox();
    const core::vector3df centre = box.getCenter();
    const float radius = box.getExtent().getLength() * 0.5f;
    keSetCameraRange(radius * 0.05f, radius * 10.0f);
    ASSERT_EQ(kePositionCamera(centre.X, centre.Y, centre.Z - radius * 2.0f), 0);
    ASSERT_EQ(keRotateCamera(0, 0, 0), 0);
    ASSERT_EQ(keMakeLight(1), 0);
    ASSERT_EQ(keSetDirectionalLight(1, 30, 20, 0), 0);
    ASSERT_EQ(keColorLight(1, 0xFFFFFF), 0);
    ASSERT_EQ(keColorAmbientLight(0x404040), 0);
    ASSERT_EQ(keColorBackdrop(kBackdrop), 0);

    const Shot plain = take("tiny_plain");
    const int id = 1;
    const float full = 1.f;
    ASSERT_EQ(keSetObjectMorph(1, 1, &id, &full), 0);
    const Shot wide = take("tiny_wide");
    ASSERT_EQ(keSetObjectFrame(1, float(frames / 3)), 0);
    const Shot moved = take("tiny_wide_moved");
    ASSERT_FALSE(plain.px.empty());
    ASSERT_FALSE(wide.px.empty());
    ASSERT_FALSE(moved.px.empty());

    EXPECT_GT(plain.covered, kWidth * kHeight / 50) << "the character covers too little of the picture";
    for (const Shot* s : {&plain, &wide, &moved})
        for (int corner : {0, kWidth - 1, (kHeight - 1) * kWidth, kHeight * kWidth - 1})
            EXPECT_TRUE(isBackdrop(s->px[size_t(corner)])) << std::hex << s->px[size_t(corner)];
    // The morph widens the silhouette by about half.
    const int plainWidth = plain.right - plain.left, wideWidth = wide.right - wide.left;
    EXPECT_GT(wideWidth, plainWidth * 5 / 4) << plainWidth << " -> " << wideWidth;
    EXPECT_GT(wide.covered, plain.covered * 9 / 8);
    // Another frame of the animation moves the skinned body.
    int changed = 0;
    for (size_t i = 0; i < wide.px.size(); ++i) changed += isBackdrop(wide.px[i]) != isBackdrop(moved.px[i]);
    EXPECT_GT(changed, wide.covered / 50) << "the pose did not change between frames";
}

}  // namespace
