// The engine's `.x` loader on the null device: the shipped files against the library's own
// loader (vertex, index and joint counts, bounding boxes, an animated frame), the three
// encodings of one cube, original vertex indices and "MeshMaterialsUVs", vertices split
// between materials, animated frames that keep their own transform, and hostile files.
#include <gtest/gtest.h>

#include <irrlicht/irrlicht.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/KePtr.h"
#include "engine/CKeXMeshLoader.h"
#include "engine/IKeMeshBufferExt.h"
#include "engine/IKeSceneManager.h"

using namespace irr;
using kolm::KePtr;

namespace {

const std::string kAssets = KOLM_SOURCE_DIR "/../shared/assets/x/";

// The library's log lines (the loader reports through the library's logger).
struct LibraryLog : IEventReceiver {
    std::vector<std::string> lines;
    bool OnEvent(const SEvent& event) override {
        if (event.EventType != EET_LOG_TEXT_EVENT) return false;
        lines.push_back(event.LogEvent.Text);
        return true;
    }
    bool mentions(const std::string& text) const {
        for (const auto& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    std::string all() const {
        std::string out;
        for (const auto& l : lines) out += l + "\n";
        return out;
    }
};

// Binary `.x` tokens, for fixtures in that encoding.
struct BinaryX {
    std::string bytes = "xof 0303bin 0032";
    BinaryX& word(uint16_t w) { return raw(&w, 2); }
    BinaryX& dword(uint32_t d) { return raw(&d, 4); }
    BinaryX& raw(const void* p, size_t n) {
        bytes.append(static_cast<const char*>(p), n);
        return *this;
    }
    BinaryX& name(const std::string& s) { return word(1).dword(uint32_t(s.size())).raw(s.data(), s.size()); }
    BinaryX& string(const std::string& s) { return word(2).dword(uint32_t(s.size())).raw(s.data(), s.size()).word(0x14); }
    BinaryX& ints(const std::vector<uint32_t>& v) {
        word(6).dword(uint32_t(v.size()));
        for (uint32_t x : v) dword(x);
        return *this;
    }
    BinaryX& floats(const std::vector<float>& v) {
        word(7).dword(uint32_t(v.size()));
        for (float f : v) raw(&f, 4);
        return *this;
    }
    BinaryX& open() { return word(0x0a); }
    BinaryX& close() { return word(0x0b); }
};

// One quad of two triangles in two materials sharing the edge (1, 2); vertex 4 is unused.
// `extra` goes inside the Mesh.
std::string twoMaterialQuad(const std::string& extra) {
    return "xof 0303txt 0032\n"
           "Frame Root {\n"
           " Mesh quad {\n"
           "  5; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;, 9;9;9;;\n"
           "  2; 3;0,1,2;, 3;2,1,3;;\n"
           "  MeshMaterialList { 2; 2; 0, 1;;\n"
           "   Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
           "   Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; }\n"
           "  }\n" +
           extra +
           " }\n"
           "}\n";
}

class XLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = createDevice(video::EDT_NULL, core::dimension2du(64, 64), 16, false, false, false, &log);
        ASSERT_NE(device, nullptr);
        smgr = device->getSceneManager();
        fs = device->getFileSystem();
        ours = KePtr<kolm::CKeXMeshLoader>::adopt(new kolm::CKeXMeshLoader(smgr, fs, device->getLogger()));
        for (u32 i = 0; i < smgr->getMeshLoaderCount(); ++i)
            if (smgr->getMeshLoader(i)->isALoadableFileExtension("a.x")) stock = smgr->getMeshLoader(i);
        ASSERT_NE(stock, nullptr);
    }
    void TearDown() override { device->drop(); }

    static bool haveAssets() { return std::filesystem::exists(kAssets + "dxsdk-tiny/tiny.x"); }

    KePtr<scene::IAnimatedMesh> loadFile(scene::IMeshLoader* loader, const std::string& path) {
        KePtr<io::IReadFile> file = KePtr<io::IReadFile>::adopt(fs->createAndOpenFile(path.c_str()));
        if (!file) return {};
        return KePtr<scene::IAnimatedMesh>::adopt(loader->createMesh(file.get()));
    }
    KePtr<scene::IAnimatedMesh> loadText(const std::string& text, const char* name = "fixture.x") {
        KePtr<io::IReadFile> file =
            KePtr<io::IReadFile>::adopt(fs->createMemoryReadFile(const_cast<char*>(text.data()), s32(text.size()), name, false));
        return KePtr<scene::IAnimatedMesh>::adopt(ours->createMesh(file.get()));
    }

    static scene::ISkinnedMesh* skinned(const KePtr<scene::IAnimatedMesh>& mesh) {
        return dynamic_cast<scene::ISkinnedMesh*>(mesh.get());
    }
    static std::vector<u32> originals(scene::IMeshBuffer* buffer) {
        const core::array<u32>* indices = kolm::keGetOriginalVerticesIndices(buffer);
        if (!indices) return {};
        return std::vector<u32>(indices->const_pointer(), indices->const_pointer() + indices->size());
    }

    LibraryLog log;
    IrrlichtDevice* device = nullptr;
    scene::ISceneManager* smgr = nullptr;
    io::IFileSystem* fs = nullptr;
    KePtr<kolm::CKeXMeshLoader> ours;
    scene::IMeshLoader* stock = nullptr;
};

// Within `tolerance` relative to the size of the value (the two loaders round decimals apart).
void expectNear(const core::vector3df& a, const core::vector3df& b, f32 tolerance, const std::string& what) {
    EXPECT_NEAR(a.X, b.X, tolerance * (1 + std::fabs(b.X))) << what;
    EXPECT_NEAR(a.Y, b.Y, tolerance * (1 + std::fabs(b.Y))) << what;
    EXPECT_NEAR(a.Z, b.Z, tolerance * (1 + std::fabs(b.Z))) << what;
}

// Buffers, vertices (positions, normals, texture coordinates), indices and the box of two meshes.
void expectSameMesh(scene::IMesh* a, scene::IMesh* b, f32 tolerance, const std::string& what, bool normals = true) {
    ASSERT_EQ(a->getMeshBufferCount(), b->getMeshBufferCount()) << what;
    for (u32 i = 0; i < a->getMeshBufferCount(); ++i) {
        scene::IMeshBuffer* x = a->getMeshBuffer(i);
        scene::IMeshBuffer* y = b->getMeshBuffer(i);
        const std::string where = what + " buffer " + std::to_string(i);
        ASSERT_EQ(x->getVertexCount(), y->getVertexCount()) << where;
        ASSERT_EQ(x->getIndexCount(), y->getIndexCount()) << where;
        EXPECT_EQ(0, std::memcmp(x->getIndices(), y->getIndices(), x->getIndexCount() * 2)) << where;
        for (u32 v = 0; v < x->getVertexCount(); ++v) {
            expectNear(x->getPosition(v), y->getPosition(v), tolerance, where + " position " + std::to_string(v));
            if (normals) expectNear(x->getNormal(v), y->getNormal(v), tolerance, where + " normal " + std::to_string(v));
            EXPECT_NEAR(x->getTCoords(v).X, y->getTCoords(v).X, tolerance) << where;
            EXPECT_NEAR(x->getTCoords(v).Y, y->getTCoords(v).Y, tolerance) << where;
            if (::testing::Test::HasFailure()) return;
        }
    }
    expectNear(a->getBoundingBox().MinEdge, b->getBoundingBox().MinEdge, tolerance, what + " box min");
    expectNear(a->getBoundingBox().MaxEdge, b->getBoundingBox().MaxEdge, tolerance, what + " box max");
}

// ---------------------------------------------------------------------------------------------
// Shipped files against the library's own loader

TEST_F(XLoaderTest, ShippedFilesMatchTheLibrarysLoader) {
    if (!haveAssets()) GTEST_SKIP() << "no shared assets at " << kAssets;
    struct Case {
        const char* file;
        u32 joints;
        bool normals = true;
    };
    const Case cases[] = {
        {"assimp-cube/test_cube_text.x", 2},
        {"assimp-cube/test_cube_binary.x", 2},
        {"assimp-kwxport/kwxport_test_cubewithvcolors.x", 1},
        {"assimp-maya-cube/test.x", 1},
        {"assimp-bcn-epileptic/BCN_Epileptic.X", 57},  // separate rotation, scale and position keys
        {"dxsdk-cell/cell.x", 0},
        {"dxsdk-tiger/tiger.x", 0, false},  // no normals: the library leaves them uninitialised
        {"dxsdk-tiny/tiny.x", 48},  // 35 bones, matrix keys
        {"dxsdk-sphere0-bin/sphere0.x", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = kAssets + c.file;
        KePtr<scene::IAnimatedMesh> mine = loadFile(ours.get(), path);
        KePtr<scene::IAnimatedMesh> theirs = loadFile(stock, path);
        ASSERT_TRUE(mine) << log.all();
        ASSERT_TRUE(theirs);
        ASSERT_EQ(mine->getMeshType(), scene::EAMT_SKINNED);
        EXPECT_EQ(skinned(mine)->getJointCount(), skinned(theirs)->getJointCount());
        EXPECT_EQ(skinned(mine)->getJointCount(), c.joints);
        EXPECT_EQ(mine->getFrameCount(), theirs->getFrameCount());
        for (u32 i = 0; i < mine->getMeshBufferCount(); ++i) {
            const std::vector<u32> indices = originals(mine->getMeshBuffer(i));
            ASSERT_EQ(indices.size(), mine->getMeshBuffer(i)->getVertexCount());
            // No file here shares a vertex between materials: every buffer's list ascends.
            for (size_t k = 1; k < indices.size(); ++k) ASSERT_LT(indices[k - 1], indices[k]);
        }
        expectSameMesh(mine->getMesh(0), theirs->getMesh(0), 1e-4f, "frame 0", c.normals);
        if (theirs->getFrameCount() > 1) {
            const s32 frame = s32(theirs->getFrameCount() / 3);
            expectSameMesh(mine->getMesh(frame), theirs->getMesh(frame), 1e-3f, "frame " + std::to_string(frame),
                           c.normals);
        }
    }
}

TEST_F(XLoaderTest, TheCubeInTextBinaryAndCompressedFormIsOneMesh) {
    if (!haveAssets()) GTEST_SKIP() << "no shared assets at " << kAssets;
    KePtr<scene::IAnimatedMesh> text = loadFile(ours.get(), kAssets + "assimp-cube/test_cube_text.x");
    KePtr<scene::IAnimatedMesh> binary = loadFile(ours.get(), kAssets + "assimp-cube/test_cube_binary.x");
    KePtr<scene::IAnimatedMesh> compressed = loadFile(ours.get(), kAssets + "assimp-cube/test_cube_compressed.x");
    ASSERT_TRUE(text && binary && compressed) << log.all();
    expectSameMesh(text.get(), binary.get(), 1e-5f, "binary");
    expectSameMesh(text.get(), compressed.get(), 1e-5f, "compressed");
    for (scene::IAnimatedMesh* other : {binary.get(), compressed.get()}) {
        ASSERT_EQ(skinned(text)->getJointCount(), dynamic_cast<scene::ISkinnedMesh*>(other)->getJointCount());
        for (u32 j = 0; j < skinned(text)->getJointCount(); ++j) {
            const auto* a = skinned(text)->getAllJoints()[j];
            const auto* b = dynamic_cast<scene::ISkinnedMesh*>(other)->getAllJoints()[j];
            EXPECT_EQ(a->Name, b->Name);
            EXPECT_EQ(a->Weights.size(), b->Weights.size());
            EXPECT_TRUE(a->LocalMatrix.equals(b->LocalMatrix, 1e-5f));
        }
        EXPECT_EQ(originals(text->getMeshBuffer(0)), originals(other->getMeshBuffer(0)));
    }
}

TEST_F(XLoaderTest, FourBlockCompressedFileInflatesWhole) {
    if (!haveAssets()) GTEST_SKIP() << "no shared assets at " << kAssets;
    KePtr<scene::IAnimatedMesh> mesh = loadFile(ours.get(), kAssets + "dxsdk-cube_on_plane-bzip/cube_on_plane.x");
    ASSERT_TRUE(mesh) << log.all();
    ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
    u32 indices = 0;
    for (u32 i = 0; i < 2; ++i) {
        indices += mesh->getMeshBuffer(i)->getIndexCount();
        for (u32 v : originals(mesh->getMeshBuffer(i))) ASSERT_LT(v, 598u);
    }
    EXPECT_EQ(indices, 1073u * 3);
}

TEST_F(XLoaderTest, TextureNamesWrittenOnWindowsFindTheFileBesideTheMesh) {
    if (!haveAssets()) GTEST_SKIP() << "no shared assets at " << kAssets;
    struct Case {
        const char* file;
        u32 buffer;
        const char* texture;
    };
    const Case cases[] = {
        {"assimp-kwxport/kwxport_test_cubewithvcolors.x", 0, "bottom.tga"},  // "C:\\code\\...\\bottom.tga"
        {"assimp-maya-cube/test.x", 0, "test.png"},                          // ".\\test.png"
        {"dxsdk-cell/cell.x", 0, "cellfloor.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        KePtr<scene::IAnimatedMesh> mesh = loadFile(ours.get(), kAssets + c.file);
        ASSERT_TRUE(mesh);
        video::ITexture* texture = mesh->getMeshBuffer(c.buffer)->getMaterial().getTexture(0);
        ASSERT_NE(texture, nullptr);
        const std::string name = texture->getName().getPath().c_str();
        const std::string folder = std::string(c.file).substr(0, std::string(c.file).find('/'));
        EXPECT_NE(name.find(folder + "/" + c.texture), std::string::npos) << name;
    }
}

// ---------------------------------------------------------------------------------------------
// Registration

TEST_F(XLoaderTest, TheSceneManagerExtensionMakesTheEngineLoaderWin) {
    KePtr<kolm::IKeSceneManager> extension = KePtr<kolm::IKeSceneManager>::adopt(kolm::keCreateSceneManager(device, nullptr));
    const std::string text = twoMaterialQuad("");
    KePtr<io::IReadFile> file =
        KePtr<io::IReadFile>::adopt(fs->createMemoryReadFile(const_cast<char*>(text.data()), s32(text.size()), "registered.x", false));
    scene::IAnimatedMesh* mesh = smgr->getMesh(file.get());
    ASSERT_NE(mesh, nullptr);
    EXPECT_NE(kolm::keGetOriginalVerticesIndices(mesh->getMeshBuffer(0)), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Original vertex indices and "MeshMaterialsUVs"

TEST_F(XLoaderTest, BuffersKeepFileVertexIndicesAndMaterialPairs) {
    // Three materials, two pairs: the third buffer reads (0, 0). Vertices 0, 2 and 5 are unused.
    const std::string text =
        "xof 0303txt 0032\n"
        "Mesh {\n"
        " 10; 0;0;0;,1;0;0;,2;0;0;,3;0;0;,4;0;0;,5;0;0;,6;0;0;,7;0;0;,8;0;0;,9;0;0;;\n"
        " 3; 3;4,5,9;, 3;1,3,6;, 3;7,8,1;;\n"
        " MeshMaterialList { 3; 3; 0, 1, 2;;\n"
        "  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n"
        "  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n"
        "  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n"
        " }\n"
        " MeshMaterialsUVs { 2; 7, 1; 3, 5;; }\n"
        "}\n";
    KePtr<scene::IAnimatedMesh> mesh = loadText(text);
    ASSERT_TRUE(mesh) << log.all();
    ASSERT_EQ(mesh->getMeshBufferCount(), 3u);
    EXPECT_EQ(originals(mesh->getMeshBuffer(0)), (std::vector<u32>{4, 5, 9}));
    EXPECT_EQ(originals(mesh->getMeshBuffer(1)), (std::vector<u32>{1, 3, 6}));
    EXPECT_EQ(originals(mesh->getMeshBuffer(2)), (std::vector<u32>{7, 8, 1}));  // 1 again, split off
    const s32 expected[3][2] = {{7, 1}, {3, 5}, {0, 0}};
    for (u32 i = 0; i < 3; ++i) {
        s32 first = -1, second = -1;
        kolm::keGetBufferProperties(mesh->getMeshBuffer(i), first, second);
        EXPECT_EQ(first, expected[i][0]) << i;
        EXPECT_EQ(second, expected[i][1]) << i;
    }
}

TEST_F(XLoaderTest, MeshMaterialsUVsMessages) {
    struct Case {
        const char* object;
        bool loads;
        const char* message;
    };
    const Case cases[] = {
        {"MeshMaterialsUVs { 2; 1, 2; 3, 4;; }\n", true, nullptr},
        {"MeshMaterialsUVs 2; 1, 2; 3, 4;; }\n", false, "No starting brace in MeshMaterialsUVs found."},
        {"MeshMaterialsUVs { 2; 1, 2; 3, 4; 5;; }\n", false, "No closing brace in MeshMaterialsUVs found in x file"},
        {"MeshMaterialsUVs { 2; 1, 2; 3, 4;; MeshNormals { 0;; 0;; } }\n", false,
         "No closing brace in MeshMaterialsUVs found in x file"},
        {"MeshMaterialsUVs { 2; 1, 2; 3, 4 }\n", true, "No finishing semicolon in MeshMaterialsUVs found."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object);
        log.lines.clear();
        KePtr<scene::IAnimatedMesh> mesh = loadText(twoMaterialQuad(c.object));
        EXPECT_EQ(bool(mesh), c.loads) << log.all();
        if (c.message) {
            EXPECT_TRUE(log.mentions(c.message)) << log.all();
            EXPECT_TRUE(log.mentions("Line: ")) << log.all();
        } else {
            EXPECT_TRUE(log.lines.empty()) << log.all();
        }
        if (mesh) {
            s32 first = 0, second = 0;
            kolm::keGetBufferProperties(mesh->getMeshBuffer(1), first, second);
            EXPECT_EQ(first, 3);
            EXPECT_EQ(second, 4);
        }
    }
}

TEST_F(XLoaderTest, MeshMaterialsUVsInTheBinaryEncoding) {
    BinaryX x;
    x.name("Mesh").open().ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
    x.name("MeshMaterialsUVs").open().ints({1, -5u, 0x41}).close();
    x.close();
    KePtr<io::IReadFile> file = KePtr<io::IReadFile>::adopt(
        fs->createMemoryReadFile(const_cast<char*>(x.bytes.data()), s32(x.bytes.size()), "binary.x", false));
    KePtr<scene::IAnimatedMesh> mesh = KePtr<scene::IAnimatedMesh>::adopt(ours->createMesh(file.get()));
    ASSERT_TRUE(mesh) << log.all();
    s32 first = 0, second = 0;
    kolm::keGetBufferProperties(mesh->getMeshBuffer(0), first, second);
    EXPECT_EQ(first, -5);
    EXPECT_EQ(second, 0x41);
}

// ---------------------------------------------------------------------------------------------
// A vertex shared by faces of two materials

TEST_F(XLoaderTest, ASplitVertexKeepsItsFileIndexAndItsSkinWeights) {
    // Vertices 1 and 2 are used by both materials; the joint moves every vertex by +10 in X at
    // frame 1.
    const std::string text = twoMaterialQuad(
        "  SkinWeights { \"Bone\"; 4; 0, 1, 2, 3; 1.0, 1.0, 1.0, 1.0;\n"
        "   1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n");
    const std::string animated = text +
                                 "Frame Bone { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } }\n"
                                 "AnimationSet { Animation { { Bone }\n"
                                 "  AnimationKey { 2; 2; 0; 3; 0, 0, 0;;, 1; 3; 10, 0, 0;;; } } }\n";
    KePtr<scene::IAnimatedMesh> mesh = loadText(animated);
    ASSERT_TRUE(mesh) << log.all();
    ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
    // Buffer 1 holds file vertex 3 and the copies of 1 and 2, which keep their file indices.
    EXPECT_EQ(originals(mesh->getMeshBuffer(0)), (std::vector<u32>{0, 1, 2}));
    EXPECT_EQ(originals(mesh->getMeshBuffer(1)), (std::vector<u32>{3, 2, 1}));
    // Every vertex, copies included, follows the bone.
    scene::IMesh* frame = mesh->getMesh(1);
    for (u32 b = 0; b < 2; ++b) {
        scene::IMeshBuffer* buffer = frame->getMeshBuffer(b);
        const std::vector<u32> files = originals(buffer);
        for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
            const f32 restX = (files[v] == 1 || files[v] == 3) ? 1.f : 0.f;
            EXPECT_NEAR(buffer->getPosition(v).X, restX + 10.f, 1e-4f) << "buffer " << b << " vertex " << v;
        }
    }
    // The library's own loader leaves its copies without weights: they stay behind.
    KePtr<io::IReadFile> file =
        KePtr<io::IReadFile>::adopt(fs->createMemoryReadFile(const_cast<char*>(animated.data()), s32(animated.size()), "stock.x", false));
    KePtr<scene::IAnimatedMesh> theirs = KePtr<scene::IAnimatedMesh>::adopt(stock->createMesh(file.get()));
    ASSERT_TRUE(theirs);
    scene::IMeshBuffer* copies = theirs->getMesh(1)->getMeshBuffer(1);
    bool behind = false;
    for (u32 v = 0; v < copies->getVertexCount(); ++v) behind |= copies->getPosition(v).X < 5.f;
    EXPECT_TRUE(behind) << "the library's loader no longer loses the weights of split vertices";
}

TEST_F(XLoaderTest, AnimatedFramesKeepTheirOwnTransformWhereTheyHaveNoKeys) {
    // Frames, each animated by one kind of key only: the kinds they lack come from their
    // FrameTransformMatrix (rows of rotation x scale, then the translation).
    const std::string text =
        "xof 0303txt 0032\n"
        "Frame Turned { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1;; } }\n"
        "Frame Moved { FrameTransformMatrix { 0,2,0,0, -2,0,0,0, 0,0,2,0, 1,1,1,1;; } }\n"
        "Frame Scaled { FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 0,3,0,1;; } }\n"
        "Frame Mirrored { FrameTransformMatrix { 0,0,3,0, 0,1,0,0, 1,0,0,0, 0,0,0,1;; } }\n"
        "AnimationSet {\n"
        " Animation { {Turned} AnimationKey { 0; 2; 0; 4; 1,0,0,0;;, 10; 4; 0,0,0,1;;; } }\n"
        " Animation { {Moved} AnimationKey { 2; 2; 0; 3; 0,0,0;;, 10; 3; 0,0,4;;; } }\n"
        " Animation { {Scaled} AnimationKey { 1; 2; 0; 3; 1,1,1;;, 10; 3; 3,3,3;;; } }\n"
        " Animation { {Mirrored} AnimationKey { 2; 2; 0; 3; 0,0,0;;, 10; 3; 0,2,0;;; } }\n"
        "}\n";
    struct Case {
        const char* joint;
        f32 local[16];  // at frame 10
    };
    const Case cases[] = {
        // Turned half round about z by its keys, still 5 along x.
        {"Turned", {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1}},
        // Moved to (0, 0, 4) by its keys, still turned a quarter about z and twice as large.
        {"Moved", {0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 2, 0, 0, 0, 4, 1}},
        // Three times as large by its keys, still turned and 3 along y.
        {"Scaled", {0, 3, 0, 0, -3, 0, 0, 0, 0, 0, 3, 0, 0, 3, 0, 1}},
        // A mirroring frame (turned, three times as long along x, mirrored) moved by its keys.
        {"Mirrored", {0, 0, 3, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 2, 0, 1}},
    };
    KePtr<scene::IAnimatedMesh> mesh = loadText(text);
    ASSERT_TRUE(mesh) << log.all();
    scene::ISkinnedMesh* ours = skinned(mesh);
    ours->animateMesh(10.f, 1.f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.joint);
        const s32 index = ours->getJointNumber(c.joint);
        ASSERT_GE(index, 0);
        const core::matrix4& local = ours->getAllJoints()[u32(index)]->LocalAnimatedMatrix;
        for (u32 i = 0; i < 16; ++i) EXPECT_NEAR(local[i], c.local[i], 1e-5f) << "element " << i;
    }
    // The library's own loader puts the turned frame at its parent's origin.
    KePtr<io::IReadFile> file =
        KePtr<io::IReadFile>::adopt(fs->createMemoryReadFile(const_cast<char*>(text.data()), s32(text.size()), "stock.x", false));
    KePtr<scene::IAnimatedMesh> theirs = KePtr<scene::IAnimatedMesh>::adopt(stock->createMesh(file.get()));
    ASSERT_TRUE(theirs);
    skinned(theirs)->animateMesh(10.f, 1.f);
    const s32 turned = skinned(theirs)->getJointNumber("Turned");
    ASSERT_GE(turned, 0);
    EXPECT_EQ(skinned(theirs)->getAllJoints()[u32(turned)]->LocalAnimatedMatrix.getTranslation(), core::vector3df(0.f))
        << "the library's loader now keeps the frame's translation";
}

// ---------------------------------------------------------------------------------------------
// Hostile files

TEST_F(XLoaderTest, HostileTextFilesAreLoadErrorsNamingTheFile) {
    const std::string head = "xof 0303txt 0032\n";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"not an x file", "xyz 0303txt 0032\nMesh {}"},
        {"short header", "xof 03"},
        {"unknown format", "xof 0303abc 0032\n"},
        {"huge vertex count", head + "Mesh { 4000000000; 0;0;0;; 0;; }"},
        {"huge face count", head + "Mesh { 1; 0;0;0;; 4000000000; 3;0,0,0;; }"},
        {"face index out of range", head + "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,3;; }"},
        {"face of two corners", head + "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 2;0,1;; }"},
        {"normal index out of range",
         head + "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 1; 3;0,0,7;; } }"},
        {"more face normals than faces",
         head + "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; } }"},
        {"more texture coordinates than vertices",
         head + "Mesh { 1; 0;0;0;; 1; 3;0,0,0;; MeshTextureCoords { 2; 0;0;, 1;1;; } }"},
        {"vertex colour index out of range",
         head + "Mesh { 1; 0;0;0;; 1; 3;0,0,0;; MeshVertexColors { 1; 5; 1;1;1;1;;; } }"},
        {"material index out of range",
         head + "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 4;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"},
        {"skin weight index out of range",
         head + "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; SkinWeights { \"B\"; 1; 3; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }"},
        {"huge skin weight count",
         head + "Mesh { 1; 0;0;0;; 1; 3;0,0,0;; SkinWeights { \"B\"; 4000000000; 0; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }"},
        {"huge DeclData", head + "Mesh { 1; 0;0;0;; 1; 3;0,0,0;; DeclData { 1; 2;0;3;0;; 4000000000; 1; } }"},
        {"short DeclData", head + "Mesh { 2; 0;0;0;,1;1;1;; 1; 3;0,1,1;; DeclData { 1; 2;0;3;0;; 3; 1,2,3; } }"},
        {"unknown key type", head + "AnimationSet { Animation { {B} AnimationKey { 7; 1; 0; 3; 0,0,0;;; } } }"},
        {"huge key count", head + "AnimationSet { Animation { {B} AnimationKey { 2; 4000000000; 0; 3; 0,0,0;;; } } }"},
        {"truncated key", head + "AnimationSet { Animation { {B} AnimationKey { 4; 1; 0; 16; 1,0,0,0;;; } } }"},
        {"truncated mesh", head + "Frame A { Mesh { 3; 0;0;0;,1;0;"},
        {"truncated template", head + "template T { <3D82AB43-62DA-11cf-AB39-0020AF71E433> DWORD a;"},
        {"unterminated string", head + "Mesh { 1; 0;0;0;; 1; 3;0,0,0;; SkinWeights { \"B; } }"},
        {"nesting without end", head + std::string(5000, '{')},
        {"frames nested too deeply", head + [] {
             std::string s;
             for (int i = 0; i < 1000; ++i) s += "Frame {";
             return s + std::string(1000, '}');
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.lines.clear();
        EXPECT_FALSE(loadText(c.text, "hostile.x"));
        EXPECT_TRUE(log.mentions("Could not load x file: hostile.x")) << log.all();
    }
}

TEST_F(XLoaderTest, FramesThatReuseANameNeverFormACycle) {
    // A frame holding a frame of its own name, and a name that two frames share.
    const std::string text =
        "xof 0303txt 0032\n"
        "Frame A { Frame A { Frame B { } } }\n"
        "Frame B { Frame A { } }\n"
        "template Loop { <11111111-2222-3333-4444-555555555555> Loop self; [Loop] }\n"
        "Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 1; 3;0,1,2;; SkinWeights { \"A\"; 1; 0; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }\n"
        "AnimationSet { Animation { {A} AnimationKey { 2; 2; 0; 3; 0,0,0;;, 5; 3; 1,0,0;;; } } }\n";
    KePtr<scene::IAnimatedMesh> mesh = loadText(text);
    ASSERT_TRUE(mesh) << log.all();
    // A, the inner A (a joint of its own), B below it, the second B (with the first A below).
    EXPECT_EQ(skinned(mesh)->getJointCount(), 4u);
    ASSERT_NE(mesh->getMesh(3), nullptr);  // animating walks the hierarchy: it must end
}

// A compressed file of stored (uncompressed) deflate blocks of 16 bytes.
std::string msZip(const std::string& plain, uint32_t declared) {
    std::string out = "xof 0303bzip0032";
    out.append(reinterpret_cast<const char*>(&declared), 4);
    for (size_t at = 0; at < plain.size(); at += 16) {
        const std::string part = plain.substr(at, 16);
        const uint16_t size = uint16_t(part.size()), packed = uint16_t(2 + 5 + part.size()), complement = uint16_t(~size);
        out.append(reinterpret_cast<const char*>(&size), 2).append(reinterpret_cast<const char*>(&packed), 2);
        out += "CK";
        out += '\x01';  // final block, stored
        out.append(reinterpret_cast<const char*>(&size), 2).append(reinterpret_cast<const char*>(&complement), 2);
        out += part;
    }
    return out;
}

TEST_F(XLoaderTest, HostileBinaryAndCompressedFilesAreLoadErrors) {
    auto load = [this](const std::string& bytes) {
        KePtr<io::IReadFile> file =
            KePtr<io::IReadFile>::adopt(fs->createMemoryReadFile(const_cast<char*>(bytes.data()), s32(bytes.size()), "hostile.x", false));
        return KePtr<scene::IAnimatedMesh>::adopt(ours->createMesh(file.get()));
    };
    auto mesh = [] {
        BinaryX x;
        x.name("Mesh").open().ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2});
        return x;
    };
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"int list past the end", BinaryX().name("Mesh").open().word(6).dword(0x40000000).dword(1).bytes});
    cases.push_back({"float list past the end", BinaryX().name("Mesh").open().word(7).dword(0x40000000).bytes});
    cases.push_back({"name past the end", BinaryX().word(1).dword(0xFFFFFFF0u).raw("ab", 2).bytes});
    cases.push_back({"string past the end", mesh().name("SkinWeights").open().word(2).dword(100).raw("ab", 2).bytes});
    cases.push_back({"odd byte at the end", mesh().close().raw("\x0a", 1).bytes});
    cases.push_back({"unknown token", BinaryX().word(0x99).bytes});
    cases.push_back({"GUID past the end", BinaryX().name("Mesh").open().word(5).raw("12345678", 8).bytes});
    BinaryX outOfRange = mesh();
    outOfRange.bytes.resize(outOfRange.bytes.size() - 4);
    outOfRange.dword(7).close();
    cases.push_back({"index out of range", outOfRange.bytes});
    std::string truncated = mesh().close().bytes;
    for (size_t cut = 17; cut < truncated.size(); cut += 3)
        cases.push_back({"truncated", truncated.substr(0, cut)});
    // Compressed: the good mesh in stored deflate blocks of 16 bytes, then broken variants.
    const std::string body = mesh().close().bytes.substr(16);
    const std::string good = msZip(body, uint32_t(body.size() + 16));
    ASSERT_TRUE(load(good)) << log.all();
    cases.push_back({"compressed, short of its size", msZip(body, uint32_t(body.size() + 17))});
    cases.push_back({"compressed, beyond its size", msZip(body, uint32_t(body.size() + 15))});
    cases.push_back({"compressed, huge size", msZip(body, 0xFFFFFFFFu)});
    std::string badSignature = good;
    badSignature[24] = 'X';
    cases.push_back({"compressed, bad signature", badSignature});
    std::string badDeflate = good;
    badDeflate[28] ^= 0x40;  // the stored block's length no longer matches its complement
    cases.push_back({"compressed, bad deflate", badDeflate});
    cases.push_back({"compressed, cut in a block", good.substr(0, good.size() - 5)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.lines.clear();
        EXPECT_FALSE(load(c.bytes)) << log.all();
        EXPECT_TRUE(log.mentions("Could not load x file: hostile.x")) << log.all();
    }
}

TEST_F(XLoaderTest, TruncatedShippedFilesNeverCrash) {
    if (!haveAssets()) GTEST_SKIP() << "no shared assets at " << kAssets;
    for (const char* name : {"assimp-cube/test_cube_text.x", "assimp-cube/test_cube_binary.x",
                             "assimp-cube/test_cube_compressed.x", "dxsdk-sphere0-bin/sphere0.x"}) {
        std::string bytes;
        {
            KePtr<io::IReadFile> file = KePtr<io::IReadFile>::adopt(fs->createAndOpenFile((kAssets + name).c_str()));
            ASSERT_TRUE(file);
            bytes.resize(size_t(file->getSize()));
            file->read(&bytes[0], u32(bytes.size()));
        }
        for (size_t cut = 0; cut < bytes.size(); cut += 7) {
            std::string part = bytes.substr(0, cut);
            KePtr<io::IReadFile> file =
                KePtr<io::IReadFile>::adopt(fs->createMemoryReadFile(const_cast<char*>(part.data()), s32(part.size()), "cut.x", false));
            KePtr<scene::IAnimatedMesh> mesh = KePtr<scene::IAnimatedMesh>::adopt(ours->createMesh(file.get()));
            if (!mesh) {
                ASSERT_TRUE(log.mentions("Could not load x file: cut.x")) << name << " cut at " << cut;
            }
        }
    }
}

}  // namespace
