#include "engine/CKeSkinMeshBuffer.h"

#include <irrlicht/IMeshBuffer.h>

namespace kolm {

using namespace irr;

IKeMeshBufferExt* keGetMeshBufferExt(scene::IMeshBuffer* buffer) {
    return dynamic_cast<IKeMeshBufferExt*>(buffer);
}

const IKeMeshBufferExt* keGetMeshBufferExt(const scene::IMeshBuffer* buffer) {
    return dynamic_cast<const IKeMeshBufferExt*>(buffer);
}

const core::array<u32>* keGetOriginalVerticesIndices(const scene::IMeshBuffer* buffer) {
    const IKeMeshBufferExt* ext = keGetMeshBufferExt(buffer);
    return ext ? ext->getOriginalVerticesIndices() : nullptr;
}

void keGetBufferProperties(const scene::IMeshBuffer* buffer, s32& first, s32& second) {
    const IKeMeshBufferExt* ext = keGetMeshBufferExt(buffer);
    first = ext ? ext->getFirstProperty() : 0;
    second = ext ? ext->getSecondProperty() : 0;
}

}  // namespace kolm
