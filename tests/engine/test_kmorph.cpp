// The `.kmorph` reader and morph matching: one table of broken files (each rejected with its
// reason, never read outside the bytes), good files read back, and morph points matched to
// ordered and unordered buffers.
#include <gtest/gtest.h>

#include <irrlicht/SMesh.h>
#include <irrlicht/SMeshBuffer.h>

#include <functional>

#include "core/KePtr.h"
#include "engine/CKeLWKMorphReader.h"
#include "engine/CKeSkinMeshBuffer.h"
#include "engine/KeMorphSet.h"
#include "kmorph_writer.h"
#include "support/log_capture.h"

using namespace irr;
using namespace kmorphtest;
using kolm::CKeLWKMorphReader;

namespace {

// Reads every morph; the error of the step that failed, or "" when the whole file read.
std::string readAll(const std::string& bytes, int* morphsRead = nullptr) {
    CKeLWKMorphReader reader;
    if (!reader.open(bytes.data(), bytes.size())) return "open: " + reader.error();
    int n = 0;
    while (reader.readNext()) ++n;
    if (morphsRead) *morphsRead = n;
    if (!reader.error().empty()) return "readNext: " + reader.error();
    if (n != int(reader.getMorphCount())) return "short";
    return "";
}

const MorphDef kSmile{"smile", {{1, 0.5f, 0, 0}, {4, 0, 1, 0, 0, 0, 1}}};

TEST(KMorphReader, BrokenFilesAreRejectedWithTheirReason) {
    kolm::keResetErrorReporter();
    auto withForm = [](const std::function<void(IffWriter&)>& body) {
        IffWriter w;
        w.begin("FORM").id("KMOR");
        body(w);
        return w.end().bytes;
    };
    const std::string good = kmorphFile({kSmile});
    struct Case {
        const char* what;
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"empty file", "", "open: chunk data runs past the end of its chunk"},
        {"not a FORM", IffWriter().begin("LIST").id("KMOR").u32(0).u32(0).end().bytes, "open: ID_FORM not found"},
        {"not KMOR", IffWriter().begin("FORM").id("LWO2").u32(0).u32(0).end().bytes, "open: ID_KMOR not found"},
        {"FORM past the end of the file", [&] { return IffWriter().begin("FORM").id("KMOR").u32(0).u32(0).end(1).bytes; }(),
         "open: chunk runs past the end of its parent"},
        {"truncated file", good.substr(0, good.size() - 5), "open: chunk runs past the end of its parent"},
        {"header cut short", IffWriter().begin("FORM").id("KMOR").u32(1).end().bytes,
         "open: chunk data runs past the end of its chunk"},
        {"max_points x 28 beyond the file", kmorphFile({kSmile}, 100000),
         "open: max_points is larger than the file can hold"},
        {"max_points near 2^32", kmorphFile({kSmile}, 0xFFFFFFFFu), "open: max_points is larger than the file can hold"},
        {"morph_count beyond the morphs", withForm([](IffWriter& w) { writeMorph(w.u32(2).u32(2), kSmile); }),
         "readNext: chunk data runs past the end of its chunk"},
        {"no VMOR", withForm([](IffWriter& w) { w.u32(1).u32(0).begin("NAME").raw("x").end(); }),
         "readNext: ID_VMOR not found"},
        {"no NAME", withForm([](IffWriter& w) { w.u32(1).u32(0).begin("VMOR").begin("MMAP").u32(0).end().end(); }),
         "readNext: ID_NAME not found"},
        {"no MMAP",
         withForm([](IffWriter& w) {
             w.u32(1).u32(0).begin("VMOR").begin("NAME").raw("x").end().begin("MMAX").u32(0).end().end();
         }),
         "readNext: ID_MMAP not found"},
        {"name of 128 characters", kmorphFile({{std::string(128, 'n'), kSmile.points}}),
         "readNext: morph name longer than 127 characters"},
        {"numPoints above max_points", kmorphFile({kSmile}, 1), "readNext: morph point count above max_points"},
        {"unsorted indices", kmorphFile({{"m", {{4, 0, 0, 0}, {1, 0, 0, 0}}}}),
         "readNext: morph point indices not in ascending order"},
        {"duplicate indices", kmorphFile({{"m", {{4, 0, 0, 0}, {4, 0, 0, 0}}}}),
         "readNext: morph point indices not in ascending order"},
        {"MMAP past its VMOR",
         withForm([](IffWriter& w) {
             w.u32(1).u32(0).begin("VMOR").begin("NAME").raw("x").end().begin("MMAP").u32(0).end(8).end();
             w.u32(0).u32(0);
         }),
         "readNext: chunk runs past the end of its parent"},
        {"MMAP shorter than its points",
         withForm([](IffWriter& w) {
             w.u32(1).u32(2).begin("VMOR").begin("NAME").raw("x").end().begin("MMAP").u32(2).u32(0).u32(1);
             w.end().end();
             w.raw(std::string(48, '\0'));
         }),
         "readNext: chunk data runs past the end of its chunk"},
    };
    for (const Case& c : cases) EXPECT_EQ(readAll(c.bytes), c.error) << c.what;
    EXPECT_EQ(readAll(good), "");
}

TEST(KMorphReader, ReadsNamesPointsAndDeltasAndSkipsUnreadChunkData) {
    // A longer NAME payload and an MMAP with trailing bytes: the reader goes on at each chunk's end.
    IffWriter w;
    w.begin("FORM").id("KMOR").u32(3).u32(2);
    w.begin("VMOR").begin("NAME").raw(std::string("first\0padding", 13)).end();
    w.begin("MMAP").u32(1).u32(7).f32(1).f32(2).f32(3).f32(0.25f).f32(0).f32(0).raw("tail").end().raw("more").end();
    writeMorph(w, {"empty", {}});
    writeMorph(w, kSmile);
    const std::string bytes = w.end().bytes;

    CKeLWKMorphReader reader;
    ASSERT_TRUE(reader.open(bytes.data(), bytes.size())) << reader.error();
    EXPECT_FALSE(reader.open(bytes.data(), bytes.size()));
    EXPECT_EQ(reader.error(), "Failed to open Lightwave Load");
    EXPECT_EQ(reader.getMorphCount(), 3u);
    ASSERT_TRUE(reader.readNext()) << reader.error();
    EXPECT_STREQ(reader.getName(), "first");
    ASSERT_EQ(reader.getNumPoints(), 1u);
    EXPECT_EQ(reader.getIndices()[0], 7u);
    EXPECT_EQ(reader.getPositionDeltas()[2], 3.0f);
    EXPECT_EQ(reader.getNormalDeltas()[0], 0.25f);
    ASSERT_TRUE(reader.readNext()) << reader.error();
    EXPECT_STREQ(reader.getName(), "empty");
    EXPECT_EQ(reader.getNumPoints(), 0u);
    ASSERT_TRUE(reader.readNext()) << reader.error();
    EXPECT_STREQ(reader.getName(), "smile");
    EXPECT_EQ(reader.getIndices()[1], 4u);
    EXPECT_EQ(reader.getNormalDeltas()[5], 1.0f);
    EXPECT_FALSE(reader.readNext());
    EXPECT_EQ(reader.error(), "");
}

// A mesh of buffers with the given original vertex indices (null: a buffer without them).
kolm::KePtr<scene::SMesh> meshWith(const std::vector<std::vector<u32>>& buffers, bool withoutIndices = false) {
    auto mesh = kolm::KePtr<scene::SMesh>::adopt(new scene::SMesh);
    for (const auto& originals : buffers) {
        scene::IMeshBuffer* buffer = nullptr;
        if (withoutIndices) {
            auto* plain = new scene::SMeshBuffer;
            plain->Vertices.set_used(u32(originals.size()));
            buffer = plain;
        } else {
            auto* ext = new kolm::CKeSkinMeshBuffer;
            ext->Vertices_Standard.set_used(u32(originals.size()));
            for (u32 v : originals) ext->originalVerticesIndices().push_back(v);
            buffer = ext;
        }
        mesh->addMeshBuffer(buffer);
        buffer->drop();
    }
    return mesh;
}

std::vector<u32> vertices(const std::vector<kolm::KeMorphEntry>& entries) {
    std::vector<u32> out;
    for (const auto& e : entries) out.push_back(e.vertex);
    return out;
}

TEST(KMorphMatching, OrderedBuffersMergeAndSplitVerticesAllTakeTheirPointsDelta) {
    kolmtest::LogCapture log;
    // Buffer 0 is ordered (file vertices 2, 3, 8, 9); buffer 1 holds 9, 3, a copy of 3 and 2,
    // out of order as vertex splits leave it; buffer 2 has no vertex the morph moves.
    auto mesh = meshWith({{2, 3, 8, 9}, {9, 3, 3, 2}, {0, 1}});
    const std::string bytes = kmorphFile({{"a", {{3, 1, 0, 0}, {7, 2, 0, 0}, {9, 3, 0, 0, 0, 0.5f, 0}}}, {"none", {}}});
    kolm::KeMorphSetPtr set = kolm::CKeMorphMapLoader::createMorphMap(mesh.get(), bytes.data(), bytes.size());
    ASSERT_TRUE(set);
    ASSERT_EQ(set->getMorphCount(), 2u);
    const kolm::KeMorph& a = set->morphs[0];
    EXPECT_EQ(a.name, "a");
    EXPECT_EQ(vertices(a.buffers[0]), (std::vector<u32>{1, 3}));
    EXPECT_EQ(a.buffers[0][0].position[0], 1.0f);
    EXPECT_EQ(a.buffers[0][1].position[0], 3.0f);
    EXPECT_EQ(a.buffers[0][1].normal[1], 0.5f);
    EXPECT_EQ(vertices(a.buffers[1]), (std::vector<u32>{0, 1, 2}));
    EXPECT_EQ(a.buffers[1][0].position[0], 3.0f);
    EXPECT_EQ(a.buffers[1][2].position[0], 1.0f);
    EXPECT_TRUE(a.buffers[2].empty());
    for (const auto& list : set->morphs[1].buffers) EXPECT_TRUE(list.empty());
    EXPECT_TRUE(log.contains("OriginalVerticesIndices are not ordered in meshbuffer 1, slower load")) << log.text;
    EXPECT_FALSE(log.contains("meshbuffer 0"));
}

TEST(KMorphMatching, FailuresNameTheirStep) {
    kolmtest::LogCapture log;
    const std::string good = kmorphFile({kSmile});
    auto plain = meshWith({{0, 1}}, true);
    EXPECT_FALSE(kolm::CKeMorphMapLoader::createMorphMap(plain.get(), good.data(), good.size()));
    EXPECT_TRUE(log.contains("CKeMorphMapLoader::createMorphMap: OriginalVerticesIndices not found in mesh")) << log.text;

    log.clear();
    auto mesh = meshWith({{0, 1, 4}});
    const std::string notKmor = IffWriter().begin("FORM").id("LWO2").u32(0).u32(0).end().bytes;
    EXPECT_FALSE(kolm::CKeMorphMapLoader::createMorphMap(mesh.get(), notKmor.data(), notKmor.size()));
    EXPECT_TRUE(log.contains("ID_KMOR not found")) << log.text;
    EXPECT_TRUE(log.contains("CKeMorphMapLoader: failed to open morphmap file")) << log.text;

    log.clear();
    const std::string unsorted = kmorphFile({kSmile, {"m", {{4, 0, 0, 0}, {1, 0, 0, 0}}}});
    EXPECT_FALSE(kolm::CKeMorphMapLoader::createMorphMap(mesh.get(), unsorted.data(), unsorted.size()));
    EXPECT_TRUE(log.contains("CKeMorphMapLoader: failed to read next morph")) << log.text;
}

}  // namespace
