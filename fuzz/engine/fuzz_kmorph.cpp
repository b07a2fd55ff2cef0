// Feeds arbitrary bytes to the `.kmorph` reader and matches what it reads against a mesh of
// one ordered and one unordered buffer: no read outside the bytes, and every entry names a
// vertex of its buffer.
#include <cstddef>
#include <cstdint>

#include <irrlicht/SMesh.h>

#include "core/KeError.h"
#include "engine/CKeLWKMorphReader.h"
#include "engine/CKeSkinMeshBuffer.h"
#include "engine/KeMorphSet.h"

namespace {

irr::scene::SMesh* fixtureMesh() {
    static irr::scene::SMesh* mesh = [] {
        auto* m = new irr::scene::SMesh;
        const irr::u32 ordered[] = {0, 1, 2, 5, 9, 40};
        const irr::u32 unordered[] = {9, 3, 3, 2, 70000, 0};
        for (const irr::u32* list : {ordered, unordered}) {
            auto* b = new kolm::CKeSkinMeshBuffer;
            b->Vertices_Standard.set_used(6);
            for (int i = 0; i < 6; ++i) b->originalVerticesIndices().push_back(list[i]);
            m->addMeshBuffer(b);
            b->drop();
        }
        return m;
    }();
    return mesh;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kolm::setLogThreshold(kolm::KE_NONE);
    kolm::CKeLWKMorphReader reader;
    if (reader.open(data, size)) {
        while (reader.readNext()) {
            if (reader.getNumPoints() > reader.getMaxPoints()) __builtin_trap();
            for (irr::u32 i = 1; i < reader.getNumPoints(); ++i)
                if (reader.getIndices()[i] <= reader.getIndices()[i - 1]) __builtin_trap();
        }
    }
    irr::scene::SMesh* mesh = fixtureMesh();
    kolm::KeMorphSetPtr set = kolm::CKeMorphMapLoader::createMorphMap(mesh, data, size);
    if (set)
        for (const kolm::KeMorph& morph : set->morphs)
            for (irr::u32 b = 0; b < morph.buffers.size(); ++b)
                for (const kolm::KeMorphEntry& e : morph.buffers[b])
                    if (e.vertex >= mesh->getMeshBuffer(b)->getVertexCount()) __builtin_trap();
    return 0;
}
