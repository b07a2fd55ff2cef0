// The engine's additions to a mesh buffer: per vertex, the index of the file vertex it came
// from ("original vertex indices", which morph files address), and two integer properties per
// buffer (the second is a bit set of the surface texture channels that take the second
// texture-coordinate set). Buffers made by the engine's `.x` loader carry all three; buffers
// of the library's own types answer none for the indices and (0, 0) for the properties.
#pragma once

#include <irrlicht/irrArray.h>
#include <irrlicht/irrTypes.h>

namespace irr {
namespace scene {
class IMeshBuffer;
}  // namespace scene
}  // namespace irr

namespace kolm {

class IKeMeshBufferExt {
public:
    // One file vertex index per vertex of the buffer, or null when the buffer keeps none.
    virtual const irr::core::array<irr::u32>* getOriginalVerticesIndices() const = 0;
    virtual irr::s32 getFirstProperty() const = 0;
    virtual irr::s32 getSecondProperty() const = 0;
    virtual void setFirstProperty(irr::s32 value) = 0;
    virtual void setSecondProperty(irr::s32 value) = 0;

protected:
    ~IKeMeshBufferExt() = default;  // owned through the mesh buffer it belongs to
};

// The engine additions of `buffer`, or null for a buffer of another type (or null).
IKeMeshBufferExt* keGetMeshBufferExt(irr::scene::IMeshBuffer* buffer);
const IKeMeshBufferExt* keGetMeshBufferExt(const irr::scene::IMeshBuffer* buffer);

// The buffer's original vertex indices, or null when it keeps none.
const irr::core::array<irr::u32>* keGetOriginalVerticesIndices(const irr::scene::IMeshBuffer* buffer);

// The buffer's two properties; (0, 0) for a buffer without engine additions.
void keGetBufferProperties(const irr::scene::IMeshBuffer* buffer, irr::s32& first, irr::s32& second);

}  // namespace kolm
