#include "engine/KeMorphSet.h"

#include "core/KeError.h"
#include "engine/CKeLWKMorphReader.h"
#include "engine/IKeMeshBufferExt.h"
#include "files/KeReadFile.h"

#include <irrlicht/IFileSystem.h>
#include <irrlicht/IMesh.h>
#include <irrlicht/IMeshBuffer.h>

#include <cmath>

namespace kolm {

using namespace irr;

namespace {

void addEntry(const CKeLWKMorphReader& reader, u32 vertex, u32 point, std::vector<KeMorphEntry>& out) {
    KeMorphEntry e;
    e.vertex = vertex;
    for (int c = 0; c < 3; ++c) {
        e.position[c] = reader.getPositionDeltas()[point * 3 + c];
        e.normal[c] = reader.getNormalDeltas()[point * 3 + c];
    }
    out.push_back(e);
}

}  // namespace

void keMatchMorph(const CKeLWKMorphReader& reader, const u32* r, u32 n, bool ordered, std::vector<KeMorphEntry>& out) {
    const u32 m = reader.getNumPoints();
    const u32* p = reader.getIndices();
    out.clear();
    if (!m || !n) return;
    if (ordered) {
        // Each point matches at most one vertex: an ordered buffer holds each point once.
        size_t count = 0;
        for (u32 i = 0, k = 0; k < m && i < n; ++k) {
            while (i < n && r[i] < p[k]) ++i;
            if (i < n && r[i] == p[k]) ++count;
        }
        out.reserve(count);
        for (u32 i = 0, k = 0; k < m && i < n; ++k) {
            while (i < n && r[i] < p[k]) ++i;
            if (i < n && r[i] == p[k]) addEntry(reader, i, k, out);
        }
        return;
    }
    // Vertices split from one point all get its delta. Points are ascending, so a search that
    // follows the vertex order usually finds its point right after the last one found.
    auto find = [&](u32 value, u32 hint) -> u32 {
        if (hint < m && p[hint] == value) return hint;
        u32 lo = 0, hi = m;
        while (lo < hi) {
            const u32 mid = lo + (hi - lo) / 2;
            if (p[mid] < value) lo = mid + 1;
            else hi = mid;
        }
        return lo < m && p[lo] == value ? lo : m;
    };
    size_t count = 0;
    for (u32 i = 0, last = 0; i < n; ++i) {
        const u32 k = find(r[i], last);
        if (k < m) {
            ++count;
            last = k + 1;
        }
    }
    out.reserve(count);
    for (u32 i = 0, last = 0; i < n; ++i) {
        const u32 k = find(r[i], last);
        if (k < m) {
            addEntry(reader, i, k, out);
            last = k + 1;
        }
    }
}

KeMorphSetPtr CKeMorphMapLoader::createMorphMap(scene::IMesh* mesh, const void* data, std::size_t size) {
    if (!mesh) return nullptr;
    const u32 bufferCount = mesh->getMeshBufferCount();
    std::vector<const core::array<u32>*> indices(bufferCount, nullptr);
    std::vector<bool> ordered(bufferCount, true);
    for (u32 b = 0; b < bufferCount; ++b) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
        indices[b] = keGetOriginalVerticesIndices(buffer);
        if (!buffer->getVertexCount()) continue;
        if (!indices[b] || indices[b]->size() != buffer->getVertexCount()) {
            printMessage(KE_ERROR, "CKeMorphMapLoader::createMorphMap: OriginalVerticesIndices not found in mesh");
            return nullptr;
        }
        for (u32 i = 1; i < indices[b]->size(); ++i)
            if ((*indices[b])[i] <= (*indices[b])[i - 1]) {
                ordered[b] = false;
                printMessage(KE_WARN,
                             "CKeMorphMapLoader::createMorphMap: Warning, OriginalVerticesIndices are not ordered in "
                             "meshbuffer %d, slower load",
                             s32(b));
                break;
            }
    }
    CKeLWKMorphReader reader;
    if (!reader.open(data, size)) {
        printMessage(KE_ERROR, "CKeLWKMorphReader: %s", reader.error().c_str());
        printMessage(KE_ERROR, "CKeMorphMapLoader: failed to open morphmap file");
        return nullptr;
    }
    auto set = std::make_shared<KeMorphSet>();
    set->morphs.reserve(reader.getMorphCount() < 4096 ? reader.getMorphCount() : 4096);
    for (u32 k = 0; k < reader.getMorphCount(); ++k) {
        if (!reader.readNext()) {
            if (!reader.error().empty()) printMessage(KE_ERROR, "CKeLWKMorphReader: %s", reader.error().c_str());
            printMessage(KE_ERROR, "CKeMorphMapLoader: failed to read next morph");
            return nullptr;
        }
        KeMorph morph;
        morph.name = reader.getName();
        morph.buffers.resize(bufferCount);
        for (u32 b = 0; b < bufferCount; ++b)
            if (indices[b])
                keMatchMorph(reader, indices[b]->const_pointer(), indices[b]->size(), ordered[b], morph.buffers[b]);
        set->morphs.push_back(std::move(morph));
    }
    reader.close();
    return set;
}

KeMorphSetPtr CKeMorphMapLoader::loadMorphMap(scene::IMesh* mesh, io::IFileSystem* fs, const io::path& path) {
    std::string bytes;
    if (!keReadWholeFile(fs, path.c_str(), bytes)) {
        printMessage(KE_ERROR, "CKeMorphMapLoader: failed to open morphmap file %s", path.c_str());
        return nullptr;
    }
    KeMorphSetPtr set = createMorphMap(mesh, bytes.data(), bytes.size());
    if (!set) printMessage(KE_ERROR, "CKeMorphMapLoader: failed to read morphmap file %s", path.c_str());
    return set;
}

bool keAddMorphFromTarget(KeMorphSet& set, scene::IMesh* base, scene::IMesh* target) {
    if (!base || !target || base->getMeshBufferCount() != target->getMeshBufferCount()) return false;
    const u32 bufferCount = base->getMeshBufferCount();
    for (u32 b = 0; b < bufferCount; ++b)
        if (base->getMeshBuffer(b)->getVertexCount() != target->getMeshBuffer(b)->getVertexCount()) return false;
    KeMorph morph;
    morph.buffers.resize(bufferCount);
    for (u32 b = 0; b < bufferCount; ++b) {
        scene::IMeshBuffer* a = base->getMeshBuffer(b);
        scene::IMeshBuffer* t = target->getMeshBuffer(b);
        std::vector<KeMorphEntry>& out = morph.buffers[b];
        for (int pass = 0; pass < 2; ++pass) {
            size_t count = 0;
            for (u32 v = 0; v < a->getVertexCount(); ++v) {
                const core::vector3df dp = t->getPosition(v) - a->getPosition(v);
                const core::vector3df dn = t->getNormal(v) - a->getNormal(v);
                const bool moved = dp.getLengthSQ() >= 1.4210855e-14f || std::fabs(dn.X) >= 0.1f ||
                                   std::fabs(dn.Y) >= 0.1f || std::fabs(dn.Z) >= 0.1f;
                if (!moved) continue;
                ++count;
                if (pass == 0) continue;
                KeMorphEntry e;
                e.vertex = v;
                e.position[0] = dp.X, e.position[1] = dp.Y, e.position[2] = dp.Z;
                e.normal[0] = dn.X, e.normal[1] = dn.Y, e.normal[2] = dn.Z;
                out.push_back(e);
            }
            if (pass == 0) out.reserve(count);
        }
    }
    set.morphs.push_back(std::move(morph));
    return true;
}

}  // namespace kolm
