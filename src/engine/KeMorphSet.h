// Morph sets: the morph targets of one morph mesh as per-buffer lists of the vertices each
// morph moves, and their making from a `.kmorph` file (CKeMorphMapLoader) or from whole target
// meshes of the same layout.
#pragma once

#include <irrlicht/irrTypes.h>
#include <irrlicht/path.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace irr {
namespace io {
class IFileSystem;
}  // namespace io
namespace scene {
class IMesh;
}  // namespace scene
}  // namespace irr

namespace kolm {

class CKeLWKMorphReader;

// One moved vertex: its index in the mesh buffer and its deltas (w = 0), 16-byte aligned for
// four-wide blending.
struct alignas(16) KeMorphEntry {
    irr::u32 vertex = 0;
    irr::u32 pad[3] = {};
    irr::f32 position[4] = {};
    irr::f32 normal[4] = {};
};

struct KeMorph {
    std::string name;
    std::vector<std::vector<KeMorphEntry>> buffers;  // one entry list per mesh buffer
};

// Morphs in file order; morph ID k (1-based) is morphs[k - 1].
struct KeMorphSet {
    std::vector<KeMorph> morphs;
    irr::u32 getMorphCount() const { return irr::u32(morphs.size()); }
};

using KeMorphSetPtr = std::shared_ptr<const KeMorphSet>;

class CKeMorphMapLoader {
public:
    // The morph set of the `.kmorph` bytes for `mesh`, whose buffers must keep original vertex
    // indices; null after the messages of the format (the reader's own reason included).
    static KeMorphSetPtr createMorphMap(irr::scene::IMesh* mesh, const void* data, std::size_t size);
    // The same for a file read through `fs`: "CKeMorphMapLoader: failed to open morphmap file
    // %s" or "CKeMorphMapLoader: failed to read morphmap file %s" with the path on failure.
    static KeMorphSetPtr loadMorphMap(irr::scene::IMesh* mesh, irr::io::IFileSystem* fs, const irr::io::path& path);
};

// Adds the entries of the reader's current morph for one buffer whose point indices are
// `pointIndices[0 .. n-1]`: a merge walk when `ordered` (strictly ascending), else per vertex a
// look at the point after the last one found, then a binary search.
void keMatchMorph(const CKeLWKMorphReader& reader, const irr::u32* pointIndices, irr::u32 n, bool ordered,
                  std::vector<KeMorphEntry>& out);

// The morph set of target meshes against `base`: per buffer, the vertices whose position moved
// by at least 2^-23 (squared length at least 2^-46) or whose normal changed by 0.1 or more in a
// component. False (nothing added) when a target's buffers or vertex counts differ from the
// base's.
bool keAddMorphFromTarget(KeMorphSet& set, irr::scene::IMesh* base, irr::scene::IMesh* target);

}  // namespace kolm
