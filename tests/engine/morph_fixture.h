// A morph fixture shared by tests and benchmarks: a grid character of w x h standard vertices
// in one skinned buffer, four joints that bend it over `frames` frames (each vertex weighted
// half on two neighbouring joints), and morphs that each move every `stride`-th vertex.
#pragma once

#include "core/KePtr.h"
#include "engine/KeMorphSet.h"

#include <irrlicht/irrlicht.h>

#include <memory>

namespace morphtest {

inline kolm::KePtr<irr::scene::ISkinnedMesh> gridCharacter(irr::scene::ISceneManager* smgr, irr::u32 w, irr::u32 h,
                                                          irr::u32 frames) {
    using namespace irr;
    auto mesh = kolm::KePtr<scene::ISkinnedMesh>::adopt(smgr->createSkinnedMesh());
    scene::SSkinMeshBuffer* b = mesh->addMeshBuffer();
    for (u32 y = 0; y < h; ++y)
        for (u32 x = 0; x < w; ++x)
            b->Vertices_Standard.push_back(
                video::S3DVertex(f32(x), f32(y), 0, 0, 0, -1, video::SColor(255, 200, 200, 200), f32(x) / w, f32(y) / h));
    for (u32 y = 0; y + 1 < h; ++y)
        for (u32 x = 0; x + 1 < w; ++x) {
            const u16 i = u16(y * w + x);
            for (u16 k : {i, u16(i + w), u16(i + 1), u16(i + 1), u16(i + w), u16(i + w + 1)}) b->Indices.push_back(k);
        }
    b->recalculateBoundingBox();
    scene::ISkinnedMesh::SJoint* parent = nullptr;
    constexpr u32 kJoints = 4;
    scene::ISkinnedMesh::SJoint* joints[kJoints];
    for (u32 j = 0; j < kJoints; ++j) {
        joints[j] = mesh->addJoint(parent);
        joints[j]->LocalMatrix.setTranslation(core::vector3df(0, j ? f32(h) / kJoints : 0.f, 0));
        for (u32 f = 0; f <= frames; ++f) {
            scene::ISkinnedMesh::SRotationKey* r = mesh->addRotationKey(joints[j]);
            r->frame = f32(f);
            r->rotation = core::quaternion(core::vector3df(0, 0, 0.05f * f32(f) * f32(j + 1)));
            scene::ISkinnedMesh::SPositionKey* p = mesh->addPositionKey(joints[j]);
            p->frame = f32(f);
            p->position = joints[j]->LocalMatrix.getTranslation();
        }
        parent = joints[j];
    }
    for (u32 v = 0; v < w * h; ++v) {
        const u32 band = (v / w) * kJoints / h;
        for (u32 j : {band, band + 1 < kJoints ? band + 1 : band}) {
            scene::ISkinnedMesh::SWeight* weight = mesh->addWeight(joints[j]);
            weight->buffer_id = 0;
            weight->vertex_id = v;
            weight->strength = 0.5f;
        }
    }
    mesh->finalize();
    return mesh;
}

// `count` morphs over a buffer of `vertices` vertices; morph k moves vertices k, k + stride, ...
inline kolm::KeMorphSetPtr strideMorphs(irr::u32 vertices, irr::u32 count, irr::u32 stride) {
    auto set = std::make_shared<kolm::KeMorphSet>();
    for (irr::u32 k = 0; k < count; ++k) {
        kolm::KeMorph morph;
        morph.buffers.resize(1);
        for (irr::u32 v = k % stride; v < vertices; v += stride) {
            kolm::KeMorphEntry e;
            e.vertex = v;
            e.position[2] = 0.1f * irr::f32(k + 1);
            e.normal[0] = 0.05f;
            morph.buffers[0].push_back(e);
        }
        set->morphs.push_back(std::move(morph));
    }
    return set;
}

}  // namespace morphtest
