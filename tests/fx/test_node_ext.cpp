// Node and light extensions on the null device: type codes, effect rows and their technique
// indices, the row update order, rows past the node's materials, tangent preparation, clones
// and their material records, the cube-map box and the light parameter block.
#include "node_ext_util.h"

#include "fx/CKeLightSceneNodeExt.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/CKeSurfaceLightwave.h"
#include "fx/KeTextureIndirect.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace irr;
using namespace kolm;
using namespace kolm_test;

namespace {

class NodeExt : public NullScene {};

TEST_F(NodeExt, TypesFindEachExtensionOnOneNode) {
    scene::ILightSceneNode* light = smgr->addLightSceneNode();
    CKeSceneNodeExt* ext = keGetNodeExt(light);
    CKeLightSceneNodeExt* lightExt = keGetLightExt(light);
    ASSERT_TRUE(ext && lightExt);
    EXPECT_EQ(s32(ext->getType()), 4321);
    EXPECT_EQ(s32(lightExt->getType()), 4322);
    EXPECT_EQ(keFindNodeExt(light), ext);
    EXPECT_EQ(keFindLightExt(light), lightExt);
    EXPECT_EQ(keGetNodeExt(light), ext);  // made once
    EXPECT_EQ(keGetLightExt(light), lightExt);
    EXPECT_EQ(keFindBindNodeData(light), static_cast<IKeBindNodeData*>(ext));
    EXPECT_EQ(light->getAnimators().size(), 2u);
}

TEST_F(NodeExt, EffectRowsTechniqueIndicesReplaceAndRemove) {
    scene::IMeshSceneNode* node = meshNode(2);
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    ASSERT_EQ(ext->getRowCount(), 2u);
    KePtr<CKeEffect> first = effect({"", "shadow", "depth"});
    KePtr<CKeEffect> second = effect({"", "reflection"});

    ext->setEffect(1, first.get(), 0, 0);
    EXPECT_EQ(ext->getShadowTechnique(1), 1);
    EXPECT_EQ(ext->getDepthTechnique(1), 2);
    EXPECT_EQ(ext->getReflectionTechnique(1), -1);
    EXPECT_EQ(node->getMaterial(1).MaterialType, first->getFxTechnique(0)->passes[0].material.MaterialType);
    EXPECT_EQ(keMaterialBindingOf(node->getMaterial(1)), ext->getRow(1));
    EXPECT_EQ(ext->getRow(1)->effect, first.get());
    const s32 held = first->getReferenceCount();

    ext->setTechniquePass(1, 2, 0);
    EXPECT_EQ(ext->getTechnique(1), 2);
    EXPECT_EQ(node->getMaterial(1).MaterialType, first->getFxTechnique(2)->passes[0].material.MaterialType);

    // Replacing releases the old effect.
    ext->setEffect(1, second.get(), 0, 0);
    EXPECT_EQ(first->getReferenceCount(), held - 1);
    EXPECT_EQ(ext->getShadowTechnique(1), -1);
    EXPECT_EQ(ext->getReflectionTechnique(1), 1);

    // No effect: the material draws with the library again, its record is the row.
    ext->setEffect(1, nullptr, 3, 4);
    EXPECT_EQ(ext->getEffect(1), nullptr);
    EXPECT_EQ(ext->getReflectionTechnique(1), -1);
    EXPECT_EQ(node->getMaterial(1).MaterialType, video::EMT_SOLID);
    EXPECT_EQ(keMaterialBindingOf(node->getMaterial(1)), ext->getRow(1));
    ext->setTechnique(1, 1);  // without an effect: nothing
    EXPECT_EQ(ext->getTechnique(1), 3);

    // Rows outside do nothing; getters answer null or -1.
    ext->setEffect(2, first.get(), 0, 0);
    ext->setEffect(-1, first.get(), 0, 0);
    EXPECT_EQ(ext->getEffect(2), nullptr);
    EXPECT_EQ(ext->getShadowTechnique(5), -1);

    // getEffects hands out references; setEffects only changes what differs.
    ext->setEffect(0, first.get(), 1, 0);
    core::array<KeEffectBindingEntry> list;
    ext->getEffects(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].effect, first.get());
    EXPECT_EQ(list[0].technique, 1);
    list[0].technique = 2;
    ext->setEffects(list);
    EXPECT_EQ(ext->getTechnique(0), 2);
    ext->getEffects(list);  // empties (and releases) first
    EXPECT_EQ(list.size(), 2u);
    for (u32 i = 0; i < list.size(); ++i)
        if (list[i].effect) list[i].effect->drop();
}

TEST_F(NodeExt, SurfaceThenEffectThenOverridesPerPass) {
    scene::IMeshSceneNode* node = meshNode(1);
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    KePtr<CKeEffect> fx = effect({"", "depth"});
    video::ITexture* colour = texture("colour");
    video::ITexture* bump = texture("bump");
    KePtr<CKeSurfaceLightwave> surface = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    surface->setTexture(KE_LW_BASE_COLOR, colour);
    surface->setColorSpace(KE_LW_BASE_COLOR, true);
    surface->setTexture(KE_LW_BUMP, bump);
    surface->setFloat(KE_LW_GLOSSINESS, 0.25f);

    ext->setSurface(0, surface.get());
    // Alone, the surface writes the fixed-function material.
    EXPECT_EQ(node->getMaterial(0).MaterialType, video::EMT_PARALLAX_MAP_SOLID);
    EXPECT_FLOAT_EQ(node->getMaterial(0).Shininess, 32.0f);
    EXPECT_EQ(node->getMaterial(0).TextureLayer[0].Texture, colour);

    ext->setEffect(0, fx.get(), 0, 0);
    const video::SMaterial& m = node->getMaterial(0);
    const KeNodeExtRow* row = ext->getRow(0);
    EXPECT_EQ(m.MaterialType, fx->getFxTechnique(0)->passes[0].material.MaterialType);  // the effect's pass
    EXPECT_FLOAT_EQ(m.Shininess, 32.0f);                                             // kept from the surface
    EXPECT_EQ(m.TextureLayer[0].Texture, colour);  // overrides from the pass material
    EXPECT_EQ(row->layers[6].Texture, bump);
    EXPECT_EQ(row->layerFlags[0], KE_LAYER_SRGB);
    EXPECT_EQ(row->layerFlags[6], 0);
    ASSERT_EQ(row->passMaterials.size(), 2u);
    EXPECT_EQ(row->passMaterials[1][0].material.TextureLayer[0].Texture, colour);
    // The effect's own cells are left alone by the row.
    EXPECT_EQ(fx->getCell(0)->layer.texture, nullptr);

    // Another technique keeps the overrides; without the surface they go.
    ext->setTechnique(0, 1);
    EXPECT_EQ(m.TextureLayer[0].Texture, colour);
    ext->removeSurface(0);
    EXPECT_EQ(m.TextureLayer[0].Texture, nullptr);
    EXPECT_TRUE(ext->getRow(0)->passMaterials.empty());
}

TEST_F(NodeExt, RowsPastTheMaterialsLeaveTheIdentityMaterialAlone) {
    scene::IMeshSceneNode* node = meshNode(2);
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    scene::SMesh* smaller = makeMesh(1);
    node->setMesh(smaller);
    smaller->drop();
    ASSERT_EQ(node->getMaterialCount(), 1u);
    const video::SMaterial before = video::IdentityMaterial;
    KePtr<CKeEffect> fx = effect({""});
    KePtr<CKeSurfaceLightwave> surface = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    surface->setFloat(KE_LW_TRANSPARENCY, 0.5f);
    ext->setSurface(1, surface.get());
    ext->setEffect(1, fx.get(), 0, 0);
    ext->setCubeMapTexture(texture("cube"));
    ext->removeEffect(1);
    EXPECT_TRUE(video::IdentityMaterial == before);
    EXPECT_EQ(video::IdentityMaterial.MaterialTypeParam2, 0.0f);
    EXPECT_EQ(ext->getSurface(1), surface.get());  // the row keeps its binding
    EXPECT_TRUE(ext->prepare());
    EXPECT_TRUE(video::IdentityMaterial == before);
}

// A mesh node that reports fewer materials than its mesh has buffers.
class ShortMaterialNode : public scene::IMeshSceneNode {
public:
    ShortMaterialNode(scene::ISceneManager* smgr, scene::IMesh* mesh, u32 materials)
        : scene::IMeshSceneNode(smgr->getRootSceneNode(), smgr, -1), m_mesh(mesh), m_materials(materials) {}
    void setMesh(scene::IMesh* mesh) override { m_mesh = mesh; }
    scene::IMesh* getMesh() override { return m_mesh; }
    void setReadOnlyMaterials(bool) override {}
    bool isReadOnlyMaterials() const override { return false; }
    scene::IShadowVolumeSceneNode* addShadowVolumeSceneNode(const scene::IMesh*, s32, bool, f32) override { return nullptr; }
    void render() override {}
    const core::aabbox3df& getBoundingBox() const override { return m_box; }
    scene::ESCENE_NODE_TYPE getType() const override { return scene::ESNT_MESH; }
    u32 getMaterialCount() const override { return m_materials; }
    video::SMaterial& getMaterial(u32 i) override { return i < 4 ? m_material[i] : ISceneNode::getMaterial(i); }

private:
    scene::IMesh* m_mesh;
    u32 m_materials;
    video::SMaterial m_material[4];
    core::aabbox3df m_box;
};

TEST_F(NodeExt, NeedTangentsWarnsForBuffersWithoutMaterial) {
    scene::SMesh* mesh = makeMesh(4);
    auto* node = new ShortMaterialNode(smgr, mesh, 3);
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    ASSERT_EQ(ext->getRowCount(), 3u);
    kolmtest::LogCapture log;
    EXPECT_FALSE(ext->needTangents());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0],
              "WARN : CKeSceneNodeExt::needTangents : Warning, the mesh buffer 3 is not pointing to any material of the node\n");
    // The check goes on over every buffer: a surface with a bump map on row 2 still counts.
    KePtr<CKeSurfaceLightwave> surface = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    surface->setTexture(KE_LW_BUMP, texture("bump"));
    ext->setSurface(2, surface.get());
    EXPECT_TRUE(ext->needTangents());
    // Two materials for four buffers: buffer 2 names the missing one, buffer 3 is out of bounds.
    auto* shorter = new ShortMaterialNode(smgr, mesh, 2);
    CKeSceneNodeExt* ext2 = keGetNodeExt(shorter);
    log.clear();
    ext2->needTangents();
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_NE(log.lines[0].find("mesh buffer 2 is not pointing"), std::string::npos);
    EXPECT_EQ(log.lines[1], "WARN : CKeSceneNodeExt::needTangents : Warning, the mesh buffer 3 use a material index out of bound\n");
    node->drop();
    shorter->drop();
    mesh->drop();
}

TEST_F(NodeExt, PrepareGivesTangentsAndKeepsTheSecondUvSetWhenMarked) {
    scene::IMeshSceneNode* node = meshNode(2, {0, 0x40});
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    EXPECT_TRUE(ext->anyBufferMarked());
    s32 first = -1, second = -1;
    EXPECT_TRUE(ext->getBufferProperties(1, first, second));
    EXPECT_EQ(second, 0x40);
    EXPECT_FALSE(ext->getBufferProperties(2, first, second));

    // Tangent mode "never": nothing to convert even with a bump map.
    KePtr<CKeSurfaceLightwave> surface = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    surface->setTexture(KE_LW_BUMP, texture("bump"));
    ext->setSurface(1, surface.get());
    ext->setTangentMode(KE_TANGENTS_NEVER);
    EXPECT_TRUE(ext->prepare());
    EXPECT_EQ(node->getMesh()->getMeshBuffer(0)->getVertexType(), video::EVT_2TCOORDS);

    ext->setTangentMode(KE_TANGENTS_AUTO);
    ASSERT_TRUE(ext->prepare());
    scene::IMesh* mesh = node->getMesh();
    ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
    scene::IMeshBuffer* b = mesh->getMeshBuffer(1);
    ASSERT_EQ(b->getVertexType(), video::EVT_TANGENTS);
    ASSERT_EQ(b->getVertexCount(), 3u);
    const auto* v = static_cast<const video::S3DVertexTangents*>(b->getVertices());
    EXPECT_EQ(v[2].Binormal, core::vector3df(0.75f, 1.0f, 0.0f));  // the second UV set
    EXPECT_EQ(v[2].TCoords, core::vector2df(1, 1));
    EXPECT_EQ(v[0].Tangent, core::vector3df(1, 0, 0));  // along increasing u
    EXPECT_EQ(mesh->getMeshBuffer(1)->getHardwareMappingHint_Vertex(), scene::EHM_STATIC);
    // The engine properties travel with the buffers, so USE_UV2 survives the conversion.
    EXPECT_TRUE(ext->anyBufferMarked());
    // The rows were applied to the node's new materials.
    EXPECT_EQ(keMaterialBindingOf(node->getMaterial(1)), ext->getRow(1));
    EXPECT_EQ(node->getMaterial(1).MaterialType, video::EMT_PARALLAX_MAP_SOLID);
    // Already tangent vertices: left as they are.
    EXPECT_TRUE(ext->prepare());
    EXPECT_EQ(node->getMesh(), mesh);
}

TEST_F(NodeExt, PrepareWithoutBuffersLeavesTheNodeAndFails) {
    scene::SMesh* empty = new scene::SMesh();
    scene::IMeshSceneNode* node = smgr->addMeshSceneNode(empty);
    empty->drop();
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    EXPECT_TRUE(ext->prepare());  // nothing asks for tangents
    ext->setTangentMode(KE_TANGENTS_ALWAYS);
    kolmtest::LogCapture log;
    EXPECT_FALSE(ext->prepare());
    EXPECT_EQ(node->getMesh(), empty);
    EXPECT_TRUE(log.contains("CKeSceneNodeExt::prepare"));
}

TEST_F(NodeExt, AFailedConversionLeavesTheNodeAndGivesNoClone) {
    // 32-bit indices: no tangent buffer can hold them.
    auto* buffer = new scene::CDynamicMeshBuffer(video::EVT_STANDARD, video::EIT_32BIT);
    for (int i = 0; i < 3; ++i) {
        buffer->getVertexBuffer().push_back(video::S3DVertex(f32(i & 1), f32(i >> 1), 0, 0, 0, -1, 0xFFFFFFFF, 0, 0));
        buffer->getIndexBuffer().push_back(u32(i));
    }
    auto* mesh = new scene::SMesh();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
    scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh);
    mesh->drop();
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    KePtr<CKeSurfaceLightwave> surface = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    surface->setTexture(KE_LW_BUMP, texture("bump"));
    ext->setSurface(0, surface.get());
    kolmtest::LogCapture log;
    EXPECT_FALSE(ext->prepare());
    EXPECT_EQ(node->getMesh(), mesh);
    EXPECT_TRUE(log.contains("CKeSceneNodeExt::prepare"));
    const size_t children = smgr->getRootSceneNode()->getChildren().size();
    EXPECT_EQ(keCloneNode(node), nullptr);
    EXPECT_EQ(smgr->getRootSceneNode()->getChildren().size(), children);
}

TEST_F(NodeExt, ClonesCarryTheirOwnRowsInTheirMaterials) {
    scene::IMeshSceneNode* node = meshNode(2);
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    KePtr<CKeEffect> fx = effect({"", "shadow"});
    KePtr<CKeSurfaceLightwave> surface = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    surface->setFloat(KE_LW_GLOSSINESS, 0.5f);
    ext->setSurface(0, surface.get());
    ext->setEffect(1, fx.get(), 1, 0);
    ext->setCastShadows(true);
    ASSERT_TRUE(ext->prepare());

    // The library itself: its clone's materials are copies of the original's, which point at
    // the original's rows.
    scene::ISceneNode* plain = node->clone();
    IKeSceneNodeExt* plainExt = keFindNodeExt(plain);
    ASSERT_NE(plainExt, nullptr);
    EXPECT_EQ(keMaterialBindingOf(plain->getMaterial(0)), ext->getRow(0));
    plain->remove();

    scene::ISceneNode* clone = keCloneNode(node);
    ASSERT_NE(clone, nullptr);
    auto* cloneExt = dynamic_cast<CKeSceneNodeExt*>(keFindNodeExt(clone));
    ASSERT_NE(cloneExt, nullptr);
    ASSERT_NE(cloneExt, ext);
    for (u32 i = 0; i < 2; ++i) {
        EXPECT_EQ(keMaterialBindingOf(clone->getMaterial(i)), cloneExt->getRow(s32(i))) << i;
        EXPECT_EQ(keMaterialBindingOf(node->getMaterial(i)), ext->getRow(s32(i))) << i;
        EXPECT_EQ(cloneExt->getRow(s32(i))->node, clone);
    }
    // Its own surface copy, the same effect with technique and pass; no shadows or cube map.
    ASSERT_NE(cloneExt->getSurface(0), nullptr);
    EXPECT_NE(cloneExt->getSurface(0), surface.get());
    EXPECT_FLOAT_EQ(static_cast<IKeSurfaceLightwave*>(cloneExt->getSurface(0))->getFloat(KE_LW_GLOSSINESS), 0.5f);
    EXPECT_EQ(cloneExt->getEffect(1), fx.get());
    EXPECT_EQ(cloneExt->getTechnique(1), 1);
    EXPECT_EQ(cloneExt->getShadowTechnique(1), 1);
    EXPECT_FALSE(cloneExt->getCastShadows());
    // The bind data of each node answers its own surface.
    EXPECT_EQ(keFindBindNodeData(clone)->getBindSurface(0), cloneExt->getSurface(0));
    clone->remove();
}

TEST_F(NodeExt, CubeMapTextureIndirectAndBox) {
    scene::IMeshSceneNode* node = meshNode(1);
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    EXPECT_FALSE(ext->getCubeMapBoxed());
    EXPECT_EQ(ext->getCubeMapBoxPosition(), core::vector3df(0, 0, 0));
    EXPECT_EQ(ext->getCubeMapBoxScale(), core::vector3df(1000000, 1000000, 1000000));

    ext->setCubeMapBoxed(false);  // already off: nothing changes
    EXPECT_EQ(ext->getCubeMapBoxPosition(), core::vector3df(0, 0, 0));
    ext->setCubeMapBox({1, 2, 3}, {4, 5, 6});
    ext->setCubeMapBoxed(true);
    f32 p[3], bp[3], bs[3];
    ext->getBindCubeMap(p, bp, bs);
    EXPECT_EQ(core::vector3df(bp[0], bp[1], bp[2]), core::vector3df(1, 2, 3));
    EXPECT_EQ(core::vector3df(bs[0], bs[1], bs[2]), core::vector3df(4, 5, 6));
    ext->setCubeMapBoxed(false);
    EXPECT_EQ(ext->getCubeMapBoxPosition(), core::vector3df(1000000, 1000000, 1000000));
    EXPECT_EQ(ext->getCubeMapBoxScale(), core::vector3df(4, 5, 6));

    // The indirect texture follows the cube map; the extension holds one reference.
    video::ITexture* cube = texture("cube");
    const s32 refs = cube->getReferenceCount();
    ASSERT_NE(ext->getCubeMapIndirect(), nullptr);
    EXPECT_EQ(keResolveTexture(ext->getCubeMapIndirect()), nullptr);
    ext->setCubeMapTexture(cube);
    EXPECT_EQ(keResolveTexture(ext->getCubeMapIndirect()), cube);
    EXPECT_EQ(ext->getCubeMapIndirect()->getSize(), cube->getSize());
    EXPECT_GT(cube->getReferenceCount(), refs);
    ext->setCubeMapTexture(nullptr);
    EXPECT_EQ(cube->getReferenceCount(), refs);
    EXPECT_EQ(keResolveTexture(ext->getCubeMapIndirect()), nullptr);

    // A surface whose reflection image is the indirect texture reflects the current cube map.
    KePtr<CKeSurfaceLightwave> surface = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    surface->setTexture(KE_LW_REFLECTION_IMAGE, ext->getCubeMapIndirect());
    surface->setInt(KE_LW_REFLECTION_OPTIONS, 2);
    surface->setFloat(KE_LW_REFLECTIVITY, 1.0f);
    ext->setSurface(0, surface.get());
    EXPECT_EQ(node->getMaterial(0).TextureLayer[1].Texture, nullptr);
    ext->setCubeMapTexture(cube);
    EXPECT_EQ(node->getMaterial(0).MaterialType, video::EMT_REFLECTION_2_LAYER);
    EXPECT_EQ(node->getMaterial(0).TextureLayer[1].Texture, cube);
}

TEST_F(NodeExt, LightBlockDefaultsColourAndClone) {
    scene::ILightSceneNode* light = smgr->addLightSceneNode();
    CKeLightSceneNodeExt* ext = keGetLightExt(light);
    const KeLightParams& d = ext->getParams();
    EXPECT_EQ(d.intensity, 1.0f);
    EXPECT_EQ(d.shadowMapSize, 512);
    EXPECT_EQ(d.shadowEpsilon, 5.0f);
    EXPECT_EQ(d.volumetricDensity, 1.0f);
    EXPECT_EQ(d.volumetricClampMax, 1.0f);
    EXPECT_EQ(d.shadowColour[3], 1.0f);
    EXPECT_FALSE(d.volumetric);

    ext->setColour(0.5f, 0.25f, 1.0f);
    ext->setIntensity(2.0f);
    const video::SColorf c = light->getLightData().DiffuseColor;
    EXPECT_FLOAT_EQ(c.r, 1.0f);
    EXPECT_FLOAT_EQ(c.g, 0.5f);
    EXPECT_FLOAT_EQ(c.b, 2.0f);
    EXPECT_FLOAT_EQ(c.a, 1.0f);

    KeLightParams& p = ext->getParams();
    p.shadowMapSize = 2048;
    p.volumetric = true;
    p.volumetricMode = 3;
    p.volumetricColour[1] = 0.5f;
    p.shadowMapFuzz = 0.75f;
    scene::ISceneNode* clone = light->clone();
    IKeLightSceneNodeExt* cloneExt = keFindLightExt(clone);
    ASSERT_NE(cloneExt, nullptr);
    ASSERT_NE(cloneExt, ext);
    EXPECT_EQ(cloneExt->getNode(), clone);
    EXPECT_EQ(std::memcmp(&cloneExt->getParams(), &ext->getParams(), sizeof(KeLightParams)), 0);
    clone->remove();
}

}  // namespace
