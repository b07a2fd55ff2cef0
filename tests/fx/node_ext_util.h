// Helpers of the node extension and surface tests: a null device, meshes of n one-triangle
// buffers (optionally engine buffers with a second property), and effects built on stub
// shader services from techniques named as asked.
#pragma once

#include "effect_runtime_stub.h"
#include "support/log_capture.h"

#include "core/KePtr.h"
#include "engine/CKeSkinMeshBuffer.h"
#include "fx/CKeEffect.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace kolm_test {

using namespace irr;

// One triangle per buffer; `second` gives buffer i the second engine property second[i]
// (two texture coordinate sets then), otherwise plain library buffers.
inline scene::SMesh* makeMesh(u32 buffers, const std::vector<s32>& second = {}) {
    auto* mesh = new scene::SMesh();
    for (u32 b = 0; b < buffers; ++b) {
        const video::SColor white(255, 255, 255, 255);
        if (second.empty()) {
            auto* buf = new scene::SMeshBuffer();
            buf->Vertices.push_back(video::S3DVertex(0, 0, 0, 0, 0, -1, white, 0, 1));
            buf->Vertices.push_back(video::S3DVertex(0, 1, 0, 0, 0, -1, white, 0, 0));
            buf->Vertices.push_back(video::S3DVertex(1, 0, 0, 0, 0, -1, white, 1, 1));
            for (u16 i : {0, 1, 2}) buf->Indices.push_back(i);
            buf->recalculateBoundingBox();
            mesh->addMeshBuffer(buf);
            buf->drop();
        } else {
            auto* buf = new kolm::CKeSkinMeshBuffer(video::EVT_2TCOORDS);
            buf->Vertices_2TCoords.push_back(video::S3DVertex2TCoords(0, 0, 0, 0, 0, -1, white, 0, 1, 0.25f, 0.5f));
            buf->Vertices_2TCoords.push_back(video::S3DVertex2TCoords(0, 1, 0, 0, 0, -1, white, 0, 0, 0.5f, 0.75f));
            buf->Vertices_2TCoords.push_back(video::S3DVertex2TCoords(1, 0, 0, 0, 0, -1, white, 1, 1, 0.75f, 1.0f));
            for (u16 i : {0, 1, 2}) buf->Indices.push_back(i);
            buf->setSecondProperty(b < second.size() ? second[b] : 0);
            buf->recalculateBoundingBox();
            mesh->addMeshBuffer(buf);
            buf->drop();
        }
    }
    mesh->recalculateBoundingBox();
    return mesh;
}

class NullScene : public ::testing::Test {
protected:
    void SetUp() override {
        device = createDevice(video::EDT_NULL);
        driver = device->getVideoDriver();
        smgr = device->getSceneManager();
    }
    void TearDown() override {
        smgr->clear();
        device->drop();
    }
    scene::IMeshSceneNode* meshNode(u32 buffers, const std::vector<s32>& second = {}) {
        scene::SMesh* mesh = makeMesh(buffers, second);
        scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh);
        mesh->drop();
        return node;
    }
    video::ITexture* texture(const char* name) {
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, {2, 2});
        video::ITexture* t = driver->addTexture(name, image);
        image->drop();
        return t;
    }
    // An effect whose techniques have the given names, one pass each; a texture parameter
    // "ColorMap" with semantic "LW_Tex_BaseColor" sampled in layer 0 of every pass, "BumpMap"
    // ("LW_Tex_Bump") in layer 6.
    kolm::KePtr<kolm::CKeEffect> effect(std::initializer_list<const char*> techniques) {
        DefBuilder b;
        b.param("ColorMap", kolm::KE_FXP_SAMPLER2D, "LW_Tex_BaseColor");
        b.param("BumpMap", kolm::KE_FXP_SAMPLER2D, "LW_Tex_Bump");
        u32 t = 0;
        for (const char* name : techniques) {
            kolm::SPass& p = b.pass(t++, name);
            DefBuilder::state(p, "texture2D", "", "ColorMap", 0);
            DefBuilder::state(p, "texture2D", "", "BumpMap", 6);
        }
        kolmtest::LogCapture quiet;
        kolm::KePtr<kolm::CKeEffect> e = kolm::KePtr<kolm::CKeEffect>::adopt(kit.build(b.def));
        EXPECT_TRUE(e->isValid()) << e->getError();
        return e;
    }

    IrrlichtDevice* device = nullptr;
    video::IVideoDriver* driver = nullptr;
    scene::ISceneManager* smgr = nullptr;
    BuildKit kit;
};

}  // namespace kolm_test
