#include "fx/CKeSceneNodeExt.h"

#include "core/KeError.h"
#include "engine/CKeSkinMeshBuffer.h"
#include "engine/IKeMeshBufferExt.h"
#include "fx/IKeEffect.h"
#include "fx/IKeSurface.h"
#include "fx/KeSurfaceMaterial.h"
#include "fx/KeTextureIndirect.h"

#include <irrlicht/IAnimatedMeshSceneNode.h>
#include <irrlicht/IMeshSceneNode.h>
#include <irrlicht/SMesh.h>

#include <vector>

namespace kolm {

using namespace irr;

namespace {

constexpr s32 kNodeExtType = KE_NODE_EXT_ANIMATOR;
const scene::ESCENE_NODE_TYPE kMorphNodeType = scene::ESCENE_NODE_TYPE(MAKE_IRR_ID('m', 'o', 'r', 'p'));
constexpr f32 kFarAway = 1000000.0f;  // box centre and size of "no box"

// The mesh of a mesh, animated mesh or morph node (whose buffers carry the engine properties).
scene::IMesh* meshOf(scene::ISceneNode* node) {
    if (!node) return nullptr;
    switch (node->getType()) {
    case scene::ESNT_MESH: return static_cast<scene::IMeshSceneNode*>(node)->getMesh();
    case scene::ESNT_ANIMATED_MESH: return static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
    default:
        if (node->getType() == kMorphNodeType)
            if (auto* meshNode = dynamic_cast<scene::IMeshSceneNode*>(node)) return meshNode->getMesh();
        return nullptr;
    }
}

// Tangents along increasing u, binormals along increasing v, both made perpendicular to the
// normal; a vertex without usable texture coordinates gets any perpendicular pair.
void computeTangents(core::array<video::S3DVertexTangents>& v, const core::array<u16>& indices) {
    std::vector<core::vector3df> tan(v.size(), core::vector3df(0, 0, 0)), bin(v.size(), core::vector3df(0, 0, 0));
    for (u32 i = 0; i + 2 < indices.size(); i += 3) {
        const u16 a = indices[i], b = indices[i + 1], c = indices[i + 2];
        if (a >= v.size() || b >= v.size() || c >= v.size()) continue;
        const core::vector3df e1 = v[b].Pos - v[a].Pos, e2 = v[c].Pos - v[a].Pos;
        const f32 du1 = v[b].TCoords.X - v[a].TCoords.X, dv1 = v[b].TCoords.Y - v[a].TCoords.Y;
        const f32 du2 = v[c].TCoords.X - v[a].TCoords.X, dv2 = v[c].TCoords.Y - v[a].TCoords.Y;
        const f32 det = du1 * dv2 - du2 * dv1;
        if (det > -1e-12f && det < 1e-12f) continue;
        const core::vector3df t = (e1 * dv2 - e2 * dv1) / det, bt = (e2 * du1 - e1 * du2) / det;
        for (u16 k : {a, b, c}) {
            tan[k] += t;
            bin[k] += bt;
        }
    }
    for (u32 k = 0; k < v.size(); ++k) {
        core::vector3df n = v[k].Normal;
        n.normalize();
        core::vector3df t = tan[k] - n * n.dotProduct(tan[k]);
        if (t.getLengthSQ() < 1e-20f) t = core::vector3df(n.Y, n.Z, -n.X).crossProduct(n);
        if (t.getLengthSQ() < 1e-20f) t = core::vector3df(1, 0, 0);
        t.normalize();
        core::vector3df b = n.crossProduct(t);
        if (b.dotProduct(bin[k]) < 0.0f) b = -b;
        v[k].Tangent = t;
        v[k].Binormal = b;
    }
}

}  // namespace

IKeSceneNodeExt* keFindNodeExt(scene::ISceneNode* node) {
    if (!node) return nullptr;
    const core::list<scene::ISceneNodeAnimator*>& animators = node->getAnimators();
    for (auto it = animators.begin(); it != animators.end(); ++it)
        if (s32((*it)->getType()) == kNodeExtType)
            if (auto* ext = dynamic_cast<IKeSceneNodeExt*>(*it)) return ext;
    return nullptr;
}

CKeSceneNodeExt* keGetNodeExt(scene::ISceneNode* node) {
    if (!node) return nullptr;
    if (auto* ext = dynamic_cast<CKeSceneNodeExt*>(keFindNodeExt(node))) return ext;
    auto* ext = new CKeSceneNodeExt(node);
    node->addAnimator(ext);
    ext->drop();
    return ext;
}

namespace {
void reapplyRows(scene::ISceneNode* node) {
    if (IKeSceneNodeExt* ext = keFindNodeExt(node)) ext->updateAllRows();
    for (scene::ISceneNode* child : node->getChildren()) reapplyRows(child);
}
}  // namespace

scene::ISceneNode* keCloneNode(scene::ISceneNode* node) {
    if (!node) return nullptr;
    const bool extended = keFindNodeExt(node) != nullptr;
    scene::ISceneNode* clone = node->clone(nullptr, nullptr);
    if (!clone) return nullptr;
    if (extended && !keFindNodeExt(clone)) {
        if (clone->getParent()) clone->remove();
        else clone->drop();
        return nullptr;
    }
    // The library copies the materials after the extensions were cloned: the clone's materials
    // point at the original's rows until the clone's rows are written again.
    reapplyRows(clone);
    return clone;
}

scene::IMesh* keCreateMeshWithTangents(scene::IMesh* mesh, bool keepUV2) {
    if (!mesh) return nullptr;
    auto* out = new scene::SMesh();
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
        scene::IMeshBuffer* src = mesh->getMeshBuffer(b);
        if (src->getIndexType() != video::EIT_16BIT) {
            out->drop();
            return nullptr;
        }
        auto* dst = new CKeSkinMeshBuffer(video::EVT_TANGENTS);
        dst->Material = src->getMaterial();
        const u32 n = src->getVertexCount();
        dst->Vertices_Tangents.reallocate(n);
        for (u32 i = 0; i < n; ++i) {
            video::S3DVertexTangents t;
            switch (src->getVertexType()) {
            case video::EVT_STANDARD: {
                const video::S3DVertex& s = static_cast<const video::S3DVertex*>(src->getVertices())[i];
                t = video::S3DVertexTangents(s.Pos, s.Normal, s.Color, s.TCoords);
                break;
            }
            case video::EVT_2TCOORDS: {
                const video::S3DVertex2TCoords& s = static_cast<const video::S3DVertex2TCoords*>(src->getVertices())[i];
                t = video::S3DVertexTangents(s.Pos, s.Normal, s.Color, s.TCoords);
                break;
            }
            case video::EVT_TANGENTS: t = static_cast<const video::S3DVertexTangents*>(src->getVertices())[i]; break;
            }
            dst->Vertices_Tangents.push_back(t);
        }
        const u16* idx = src->getIndices();
        dst->Indices.reallocate(src->getIndexCount());
        for (u32 i = 0; i < src->getIndexCount(); ++i) dst->Indices.push_back(idx[i]);
        computeTangents(dst->Vertices_Tangents, dst->Indices);
        if (keepUV2 && src->getVertexType() == video::EVT_2TCOORDS)
            for (u32 i = 0; i < n; ++i) {
                const core::vector2df& uv2 = static_cast<const video::S3DVertex2TCoords*>(src->getVertices())[i].TCoords2;
                dst->Vertices_Tangents[i].Binormal = core::vector3df(uv2.X, uv2.Y, 0.0f);
            }
        if (const IKeMeshBufferExt* ext = keGetMeshBufferExt(src)) {
            dst->setFirstProperty(ext->getFirstProperty());
            dst->setSecondProperty(ext->getSecondProperty());
            if (const core::array<u32>* original = ext->getOriginalVerticesIndices())
                dst->originalVerticesIndices() = *original;
        }
        dst->recalculateBoundingBox();
        out->addMeshBuffer(dst);
        dst->drop();
    }
    out->recalculateBoundingBox();
    return out;
}

// --- the extension -----------------------------------------------------------------------------

CKeSceneNodeExt::CKeSceneNodeExt(scene::ISceneNode* node) : m_node(node) {
    const u32 count = node ? node->getMaterialCount() : 0;
    m_rows.reserve(count);
    for (u32 i = 0; i < count; ++i) {
        auto r = std::make_unique<KeNodeExtRow>();
        r->node = node;
        r->materialIndex = s32(i);
        m_rows.push_back(std::move(r));
    }
    m_cubeMapIndirect = new CKeTextureIndirect("KeCubeMapIndirect");
}

CKeSceneNodeExt::~CKeSceneNodeExt() {
    for (auto& r : m_rows) {
        if (r->effect) r->effect->drop();
        if (r->surface) r->surface->drop();
    }
    if (m_cubeMapTexture) m_cubeMapTexture->drop();
    m_cubeMapIndirect->drop();
}

scene::ESCENE_NODE_ANIMATOR_TYPE CKeSceneNodeExt::getType() const { return scene::ESCENE_NODE_ANIMATOR_TYPE(kNodeExtType); }

scene::ISceneNodeAnimator* CKeSceneNodeExt::createClone(scene::ISceneNode* node, scene::ISceneManager*) {
    auto* ext = new CKeSceneNodeExt(node);
    for (u32 i = 0; i < m_rows.size(); ++i) {
        const KeNodeExtRow& r = *m_rows[i];
        if (r.surface) {
            IKeSurface* copy = r.surface->clone();
            ext->setSurface(s32(i), copy);
            copy->drop();
        }
        if (r.effect) {
            ext->setEffect(s32(i), r.effect, 0, 0);
            ext->setTechniquePass(s32(i), r.technique, r.pass);
        }
    }
    if (!ext->prepare()) {
        ext->drop();
        return nullptr;
    }
    return ext;
}

KeNodeExtRow* CKeSceneNodeExt::row(s32 index) const {
    return index >= 0 && u32(index) < m_rows.size() ? m_rows[u32(index)].get() : nullptr;
}
const KeNodeExtRow* CKeSceneNodeExt::getRow(s32 index) const { return row(index); }

video::SMaterial* CKeSceneNodeExt::materialOf(u32 index) const {
    // Past the node's materials the library answers its process-wide identity material: never
    // write there.
    if (!m_node || index >= m_node->getMaterialCount()) return nullptr;
    return &m_node->getMaterial(index);
}

IKeEffect* CKeSceneNodeExt::getEffect(s32 index) const {
    const KeNodeExtRow* r = row(index);
    return r ? r->effect : nullptr;
}
s32 CKeSceneNodeExt::getTechnique(s32 index) const {
    const KeNodeExtRow* r = row(index);
    return r ? r->technique : 0;
}
s32 CKeSceneNodeExt::getPass(s32 index) const {
    const KeNodeExtRow* r = row(index);
    return r ? r->pass : 0;
}
s32 CKeSceneNodeExt::getShadowTechnique(s32 index) const {
    const KeNodeExtRow* r = row(index);
    return r ? r->shadowTechnique : -1;
}
s32 CKeSceneNodeExt::getDepthTechnique(s32 index) const {
    const KeNodeExtRow* r = row(index);
    return r ? r->depthTechnique : -1;
}
s32 CKeSceneNodeExt::getReflectionTechnique(s32 index) const {
    const KeNodeExtRow* r = row(index);
    return r ? r->reflectionTechnique : -1;
}
IKeSurface* CKeSceneNodeExt::getSurface(s32 index) const {
    const KeNodeExtRow* r = row(index);
    return r ? r->surface : nullptr;
}
IKeBindSurface* CKeSceneNodeExt::getBindSurface(s32 index) const { return getSurface(index); }

s32 CKeSceneNodeExt::getSurfaceRow(const IKeSurface* surface) const {
    if (!surface) return -1;
    for (u32 i = 0; i < m_rows.size(); ++i)
        if (m_rows[i]->surface == surface) return s32(i);
    return -1;
}

void CKeSceneNodeExt::setEffect(s32 index, IKeEffect* effect, s32 technique, s32 pass) {
    KeNodeExtRow* r = row(index);
    if (!r) return;
    if (effect) effect->grab();
    if (r->effect) removeEffect(index);
    r->effect = effect;
    r->depthTechnique = effect ? effect->getTechniqueIndexByName("depth") : -1;
    r->shadowTechnique = effect ? effect->getTechniqueIndexByName("shadow") : -1;
    r->reflectionTechnique = effect ? effect->getTechniqueIndexByName("reflection") : -1;
    r->technique = technique;
    r->pass = pass;
    updateRow(u32(index), true);
}

void CKeSceneNodeExt::setTechniquePass(s32 index, s32 technique, s32 pass) {
    KeNodeExtRow* r = row(index);
    if (!r || !r->effect) return;
    r->technique = technique;
    r->pass = pass;
    applyTechniquePass(u32(index));
}
void CKeSceneNodeExt::setTechnique(s32 index, s32 technique) {
    KeNodeExtRow* r = row(index);
    if (r && r->effect) setTechniquePass(index, technique, r->pass);
}
void CKeSceneNodeExt::setPass(s32 index, s32 pass) {
    KeNodeExtRow* r = row(index);
    if (r && r->effect) setTechniquePass(index, r->technique, pass);
}

void CKeSceneNodeExt::removeEffect(s32 index) {
    KeNodeExtRow* r = row(index);
    if (!r) return;
    if (r->effect) r->effect->drop();
    r->effect = nullptr;
    r->technique = 0;
    r->pass = 0;
    r->depthTechnique = r->shadowTechnique = r->reflectionTechnique = -1;
    // The effect's side layers go with it.
    for (u32 i = 0; i < KE_MATERIAL_LAYERS; ++i) {
        r->layers[i].Texture = nullptr;
        r->layerFlags[i] = 0;
    }
    if (video::SMaterial* m = materialOf(u32(index))) {
        m->MaterialType = video::EMT_SOLID;
        m->MaterialTypeParam = 0.0f;
        m->MaterialTypeParam2 = 0.0f;
    }
    updateRow(u32(index), true);
}

void CKeSceneNodeExt::removeAllEffects() {
    for (u32 i = 0; i < m_rows.size(); ++i) removeEffect(s32(i));
}

void CKeSceneNodeExt::setSurface(s32 index, IKeSurface* surface) {
    KeNodeExtRow* r = row(index);
    if (!r || !surface) return;
    surface->grab();
    if (r->surface) r->surface->drop();
    r->surface = surface;
    updateRow(u32(index), true);
}

void CKeSceneNodeExt::removeSurface(s32 index) {
    KeNodeExtRow* r = row(index);
    if (!r) return;
    if (r->surface) r->surface->drop();
    r->surface = nullptr;
    updateRow(u32(index), true);
}

void CKeSceneNodeExt::removeAllSurfaces() {
    for (u32 i = 0; i < m_rows.size(); ++i)
        if (m_rows[i]->surface) removeSurface(s32(i));
}

void CKeSceneNodeExt::updateAllRows() {
    for (u32 i = 0; i < m_rows.size(); ++i) updateRow(i, true);
}

void CKeSceneNodeExt::updateRow(u32 index, bool rebuild) {
    KeNodeExtRow& r = *m_rows[index];
    video::SMaterial* m = materialOf(index);
    if (!m) return;
    // The material points at its row first, so that the surface writes the row's side data
    // (and never that of a record the material pointed at before, such as the original's after
    // the library copied materials into a clone).
    r.attach(*m);
    if (r.surface) r.surface->applyToMaterial(*m);
    if (r.effect) r.effect->getPassMaterial(r.technique, r.pass, *m, &r);
    r.attach(*m);
    if (!r.effect || !r.surface) {
        r.passMaterials.clear();
        return;
    }
    if (rebuild) {
        r.passMaterials.clear();
        r.passMaterials.resize(r.effect->getTechniqueCount());
        for (u32 t = 0; t < r.passMaterials.size(); ++t) {
            const SKeFxTechnique* technique = r.effect->getFxTechnique(t);
            const u32 passes = technique ? technique->passes.size() : 0;
            r.passMaterials[t].resize(passes);
            for (u32 p = 0; p < passes; ++p) {
                KePassMaterial& pm = r.passMaterials[t][p];
                for (u32 l = 0; l < KE_LIBRARY_LAYERS; ++l) pm.material.TextureLayer[l].Texture = nullptr;
                r.surface->setEffectTextureOnMaterial(pm.material, pm.side, r.effect, s32(t), s32(p));
            }
        }
    }
    applyOverrides(r, *m);
}

void CKeSceneNodeExt::applyTechniquePass(u32 index) {
    KeNodeExtRow& r = *m_rows[index];
    video::SMaterial* m = materialOf(index);
    if (!m || !r.effect) return;
    r.effect->getPassMaterial(r.technique, r.pass, *m, &r);
    r.attach(*m);
    if (r.surface) applyOverrides(r, *m);
}

void CKeSceneNodeExt::applyOverrides(KeNodeExtRow& r, video::SMaterial& m) const {
    if (r.technique < 0 || u32(r.technique) >= r.passMaterials.size()) return;
    const std::vector<KePassMaterial>& passes = r.passMaterials[u32(r.technique)];
    if (r.pass < 0 || u32(r.pass) >= passes.size()) return;
    const KePassMaterial& pm = passes[u32(r.pass)];
    for (u32 l = 0; l < KE_MATERIAL_LAYERS; ++l) {
        video::ITexture* t = keMaterialLayerTexture(pm.material, &pm.side, l);
        if (!t) continue;
        keSetMaterialLayer(m, &r, l, t, pm.side.layerFlags[l] & KE_LAYER_SRGB);
    }
}

bool CKeSceneNodeExt::anyBufferMarked() const {
    scene::IMesh* mesh = meshOf(m_node);
    if (!mesh) return false;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        s32 first = 0, second = 0;
        keGetBufferProperties(mesh->getMeshBuffer(i), first, second);
        if (second != 0) return true;
    }
    return false;
}

bool CKeSceneNodeExt::getBufferProperties(u32 i, s32& first, s32& second) const {
    scene::IMesh* mesh = meshOf(m_node);
    if (!mesh || i >= mesh->getMeshBufferCount()) return false;
    keGetBufferProperties(mesh->getMeshBuffer(i), first, second);
    return true;
}

bool CKeSceneNodeExt::needTangents() const {
    if (!m_node || m_node->getType() != scene::ESNT_MESH) return false;
    if (m_tangentMode == KE_TANGENTS_NEVER) return false;
    if (m_tangentMode == KE_TANGENTS_ALWAYS) return true;
    scene::IMesh* mesh = static_cast<scene::IMeshSceneNode*>(m_node)->getMesh();
    if (!mesh) return false;
    bool need = false;
    const u32 materials = m_node->getMaterialCount();
    for (u32 j = 0; j < mesh->getMeshBufferCount(); ++j) {
        if (j == materials) {
            printMessage(KE_WARN,
                         "CKeSceneNodeExt::needTangents : Warning, the mesh buffer %d is not pointing to any material "
                         "of the node",
                         s32(j));
        } else if (j < m_rows.size()) {
            const KeNodeExtRow& r = *m_rows[j];
            if ((r.surface && r.surface->needsTangents()) || (r.effect && r.effect->needsTangents())) need = true;
        } else {
            printMessage(KE_WARN, "CKeSceneNodeExt::needTangents : Warning, the mesh buffer %d use a material index out of bound",
                         s32(j));
        }
    }
    return need;
}

bool CKeSceneNodeExt::prepare() {
    if (m_node && m_node->getType() == scene::ESNT_MESH) {
        auto* meshNode = static_cast<scene::IMeshSceneNode*>(m_node);
        scene::IMesh* mesh = meshNode->getMesh();
        const bool hasTangents =
            mesh && mesh->getMeshBufferCount() > 0 && mesh->getMeshBuffer(0)->getVertexType() == video::EVT_TANGENTS;
        if (!hasTangents && needTangents()) {
            if (!mesh || mesh->getMeshBufferCount() == 0) {
                printMessage(KE_WARN, "CKeSceneNodeExt::prepare : the mesh has no buffer to give tangents");
                return false;
            }
            scene::IMesh* converted = keCreateMeshWithTangents(mesh, anyBufferMarked());
            if (!converted) {
                printMessage(KE_WARN, "CKeSceneNodeExt::prepare : the mesh cannot be converted to tangent vertices");
                return false;
            }
            converted->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
            meshNode->setMesh(converted);
            converted->drop();
        }
    }
    updateAllRows();
    return true;
}

void CKeSceneNodeExt::getEffects(core::array<KeEffectBindingEntry>& list) const {
    for (u32 i = 0; i < list.size(); ++i)
        if (list[i].effect) list[i].effect->drop();
    list.clear();
    for (const auto& r : m_rows) {
        if (r->effect) r->effect->grab();
        list.push_back({r->effect, r->technique, r->pass});
    }
}

void CKeSceneNodeExt::setEffects(const core::array<KeEffectBindingEntry>& list) {
    for (u32 i = 0; i < list.size() && i < m_rows.size(); ++i) {
        const KeEffectBindingEntry& e = list[i];
        const KeNodeExtRow& r = *m_rows[i];
        if (e.effect != r.effect) setEffect(s32(i), e.effect, e.technique, e.pass);
        else if (e.effect && (e.technique != r.technique || e.pass != r.pass))
            setTechniquePass(s32(i), e.technique, e.pass);
    }
}

video::ITexture* CKeSceneNodeExt::getCubeMapIndirect() const { return m_cubeMapIndirect; }

void CKeSceneNodeExt::setCubeMapTexture(video::ITexture* texture) {
    if (texture) texture->grab();
    if (m_cubeMapTexture) m_cubeMapTexture->drop();
    m_cubeMapTexture = texture;
    m_cubeMapIndirect->setTarget(texture);
    // Materials hold the texture the indirect one stood for when they were written: write the
    // rows whose surfaces put textures into them again.
    for (u32 i = 0; i < m_rows.size(); ++i)
        if (m_rows[i]->surface) updateRow(i, true);
}

void CKeSceneNodeExt::setCubeMapBoxed(bool on) {
    if (m_cubeMapBoxed && !on) m_cubeMapBoxPosition.set(kFarAway, kFarAway, kFarAway);
    m_cubeMapBoxed = on;
}

void CKeSceneNodeExt::setCubeMapBox(const core::vector3df& position, const core::vector3df& scale) {
    m_cubeMapBoxPosition = position;
    m_cubeMapBoxScale = scale;
}

void CKeSceneNodeExt::getBindCubeMap(f32* position3, f32* boxPosition3, f32* boxScale3) const {
    const core::vector3df& p = m_cubeMapBoxPosition;
    const core::vector3df& s = m_cubeMapBoxScale;
    if (position3) position3[0] = p.X, position3[1] = p.Y, position3[2] = p.Z;
    if (boxPosition3) boxPosition3[0] = p.X, boxPosition3[1] = p.Y, boxPosition3[2] = p.Z;
    if (boxScale3) boxScale3[0] = s.X, boxScale3[1] = s.Y, boxScale3[2] = s.Z;
}

}  // namespace kolm
