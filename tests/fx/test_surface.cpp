// LightWave and HyperVoxel surfaces on the null device: defaults, the macro bits with their
// node-dependent parts (tangents, the second UV set in its own bit order, the node's cube map),
// the macro capacity, texture injection and the round trip through the library's material.
#include "node_ext_util.h"

#include "fx/CKeSceneNodeExt.h"
#include "fx/CKeSurfaceLightwave.h"
#include "fx/CKeSurfaceLightwaveHV.h"
#include "fx/IKeSurfaceManager.h"

#include <gtest/gtest.h>

#include <functional>

using namespace irr;
using namespace kolm;
using namespace kolm_test;

namespace {

std::string macroText(const CKeMacro* m, u32 count) {
    std::string s;
    for (u32 i = 0; i < count; ++i) s += std::string(s.empty() ? "" : " ") + m[i].Name + (m[i].Definition ? "=?" : "");
    EXPECT_EQ(m[count].Name, nullptr);
    return s;
}

class Surface : public NullScene {
protected:
    // Macros of `s` for `node` (may be null) with room for 32 entries.
    std::string macros(const IKeSurface& s, scene::ISceneNode* node, video::E_MATERIAL_TYPE* base = nullptr) {
        CKeMacro list[32];
        u32 count = 32;
        video::E_MATERIAL_TYPE b = video::EMT_SOLID;
        EXPECT_TRUE(s.getEffectCompileParameters(b, list, count, node));
        if (base) *base = b;
        return macroText(list, count);
    }
};

TEST_F(Surface, DefaultsAndChannelSetters) {
    CKeSurfaceLightwave s;
    const KeLightwaveChannels& b = s.getParameters();
    for (u32 c = 0; c < KE_LW_CHANNEL_COUNT; ++c) {
        f32 want = 0.0f;
        if (c == KE_LW_BASE_COLOR) want = 0.78f;
        if (c == KE_LW_DIFFUSE || c == KE_LW_BUMP || c == KE_LW_LINE_SIZE || c == KE_LW_VERTEX_COLORING) want = 1.0f;
        if (c == KE_LW_GLOSSINESS) want = 0.4f;
        EXPECT_FLOAT_EQ(b.channel[c].value[0], want) << keLightwaveChannelName(c);
        EXPECT_FLOAT_EQ(b.channel[c].value[1], c == KE_LW_BASE_COLOR ? 0.78f : 0.0f) << keLightwaveChannelName(c);
        EXPECT_EQ(b.channel[c].texture, nullptr);
        EXPECT_FALSE(b.channel[c].colorSpace);
    }
    EXPECT_STREQ(keLightwaveChannelName(38), "VertexNormal");
    EXPECT_EQ(keLightwaveChannelOfName("GlowValue"), 25u);
    EXPECT_EQ(s.getKind(), keFourCC("lwsr"));

    const KeLightwaveChannels before = s.getParameters();
    s.setFloat(39, 5.0f);  // past the channels: ignored
    s.setTexture(39, texture("t"));
    EXPECT_EQ(std::memcmp(&before, &s.getParameters(), sizeof(before)), 0);
    s.setInt(KE_LW_SIDEDNESS, 3);
    EXPECT_EQ(s.getInt(KE_LW_SIDEDNESS), 3);
    // Integer channels reach the binds as their value, float channels as theirs.
    f32 v[3] = {};
    EXPECT_TRUE(s.getBindValue("Sidedness", v, 1));
    EXPECT_EQ(v[0], 3.0f);
    EXPECT_TRUE(s.getBindValue("BaseColor", v, 3));
    EXPECT_FLOAT_EQ(v[2], 0.78f);
    EXPECT_FALSE(s.getBindValue("Nothing", v, 1));
}

TEST_F(Surface, ManagerMakesSurfacesByName) {
    KePtr<IKeSurfaceManager> manager = KePtr<IKeSurfaceManager>::adopt(keCreateSurfaceManager(device));
    KePtr<IKeSurface> lw = KePtr<IKeSurface>::adopt(manager->createSurface("lightwave"));
    KePtr<IKeSurface> hv = KePtr<IKeSurface>::adopt(manager->createSurface("lightwave_hv"));
    ASSERT_TRUE(lw && hv);
    EXPECT_EQ(lw->getKind(), KE_SURFACE_LIGHTWAVE);
    EXPECT_EQ(hv->getKind(), KE_SURFACE_LIGHTWAVE_HV);
    EXPECT_EQ(manager->createSurface("Lightwave"), nullptr);
    EXPECT_EQ(manager->createSurfaceOfKind(keFourCC("lwxx")), nullptr);
}

TEST_F(Surface, MacroBitsAndBaseMaterial) {
    video::ITexture* t = texture("t");
    video::ITexture* cube = texture("cube");
    // Node 0: plain buffers. Node 1: buffer 0 takes the second UV set for the colour and
    // glossiness maps (property bits 0x1, 0x100), buffer 1 for the diffuse map (0x2).
    scene::IMeshSceneNode* plain = meshNode(1);
    scene::IMeshSceneNode* marked = meshNode(2, {0x101, 0x2});
    struct Case {
        const char* what;
        std::function<void(CKeSurfaceLightwave&)> set;
        int node;  // -1 none, 0 plain, 1 marked
        std::function<void(CKeSceneNodeExt&)> ext;
        const char* want;
        video::E_MATERIAL_TYPE base;
    };
    const Case cases[] = {
        {"colour map and transparency", [&](auto& s) { s.setTexture(KE_LW_BASE_COLOR, t); s.setFloat(KE_LW_TRANSPARENCY, 0.5f); },
         -1, nullptr, "USE_TEX_COLOR USE_TRANSPARENT", video::EMT_TRANSPARENT_ALPHA_CHANNEL},
        {"every plain map", [&](auto& s) { for (u32 c : {1u, 2u, 3u, 9u, 5u, 6u}) s.setTexture(c, t); }, -1, nullptr,
         "USE_TEX_LUMINOSITY USE_TEX_DIFFUSE USE_TEX_SPECULAR USE_TEX_GLOSSINESS USE_TEX_TRANSPARENCY "
         "USE_TEX_TRANSLUCENCY USE_TRANSPARENT USE_TRANSLUCENCY", video::EMT_TRANSPARENT_ALPHA_CHANNEL},
        {"translucency value only", [&](auto& s) { s.setFloat(KE_LW_TRANSLUCENCY, 0.1f); }, -1, nullptr, "USE_TRANSLUCENCY",
         video::EMT_SOLID},
        {"bump without node", [&](auto& s) { s.setTexture(KE_LW_BUMP, t); }, -1, nullptr, "USE_TEX_NORMAL", video::EMT_SOLID},
        {"bump on a node that gets tangents", [&](auto& s) { s.setTexture(KE_LW_BUMP, t); }, 0, nullptr, "USE_TEX_NORMAL",
         video::EMT_SOLID},
        {"bump on a node without tangents", [&](auto& s) { s.setTexture(KE_LW_BUMP, t); }, 0,
         [](auto& e) { e.setTangentMode(KE_TANGENTS_NEVER); }, "USE_TEX_NORMAL USE_COMPTANGENT", video::EMT_SOLID},
        {"second UV set, row 0", [&](auto&) {}, 1, nullptr, "USE_UV2 USE_UV2_TEX_COLOR USE_UV2_TEX_GLOSSINESS",
         video::EMT_SOLID},
        {"second UV set with tangents", [&](auto&) {}, 1, [](auto& e) { e.setTangentMode(KE_TANGENTS_ALWAYS); },
         "USE_UV2 USE_UV2INTEX2 USE_UV2_TEX_COLOR USE_UV2_TEX_GLOSSINESS", video::EMT_SOLID},
        {"reflection image needs options above 1", [&](auto& s) { s.setTexture(KE_LW_REFLECTION_IMAGE, t); s.setInt(KE_LW_REFLECTION_OPTIONS, 1); s.setTexture(KE_LW_REFLECTIVITY, t); },
         -1, nullptr, "", video::EMT_SOLID},
        {"reflection image and map", [&](auto& s) { s.setTexture(KE_LW_REFLECTION_IMAGE, t); s.setInt(KE_LW_REFLECTION_OPTIONS, 2); s.setTexture(KE_LW_REFLECTIVITY, t); },
         -1, nullptr, "USE_TEX_REFLECIMG USE_TEX_REFLECTIVITY", video::EMT_SOLID},
    };
    for (const Case& c : cases) {
        CKeSurfaceLightwave* s = new CKeSurfaceLightwave();
        c.set(*s);
        scene::ISceneNode* node = c.node < 0 ? nullptr : c.node == 0 ? static_cast<scene::ISceneNode*>(plain) : marked;
        if (node) {
            CKeSceneNodeExt* ext = keGetNodeExt(node);
            ext->setTangentMode(KE_TANGENTS_AUTO);
            ext->setSurface(0, s);
            if (c.ext) c.ext(*ext);
        }
        video::E_MATERIAL_TYPE base;
        EXPECT_EQ(macros(*s, node, &base), c.want) << c.what;
        EXPECT_EQ(base, c.base) << c.what;
        if (node) keGetNodeExt(node)->removeSurface(0);
        s->drop();
    }

    // The node's cube map: through its indirect texture, boxed or not.
    CKeSceneNodeExt* ext = keGetNodeExt(plain);
    ext->setTangentMode(KE_TANGENTS_AUTO);
    KePtr<CKeSurfaceLightwave> s = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    s->setTexture(KE_LW_REFLECTION_IMAGE, ext->getCubeMapIndirect());
    s->setInt(KE_LW_REFLECTION_OPTIONS, 2);
    ext->setSurface(0, s.get());
    ext->setCubeMapTexture(cube);
    EXPECT_EQ(macros(*s, plain), "USE_TEX_REFLECIMG USE_TEX_REFLECCUBE USE_NODECUBEMAP");
    ext->setCubeMapBoxed(true);
    EXPECT_EQ(macros(*s, plain), "USE_TEX_REFLECIMG USE_TEX_REFLECCUBE USE_CUBEMAPAABB USE_NODECUBEMAP");
    // Without the node, the indirect texture is just a texture.
    EXPECT_EQ(macros(*s, nullptr), "USE_TEX_REFLECIMG");
}

TEST_F(Surface, SharedSurfaceTakesTheSecondUvSetOfItsFirstRow) {
    scene::IMeshSceneNode* node = meshNode(3, {0x0, 0x4, 0x8});
    CKeSceneNodeExt* ext = keGetNodeExt(node);
    KePtr<CKeSurfaceLightwave> s = KePtr<CKeSurfaceLightwave>::adopt(new CKeSurfaceLightwave());
    ext->setSurface(2, s.get());
    EXPECT_EQ(macros(*s, node), "USE_UV2 USE_UV2_TEX_SPECULAR");
    ext->setSurface(1, s.get());  // bound later, but the lower row owns it
    EXPECT_EQ(ext->getSurfaceRow(s.get()), 1);
    EXPECT_EQ(macros(*s, node), "USE_UV2 USE_UV2_TEX_LUMINOSITY");
    ext->removeSurface(1);
    EXPECT_EQ(macros(*s, node), "USE_UV2 USE_UV2_TEX_SPECULAR");
}

TEST_F(Surface, MacroCapacityCountsTheTerminatingPair) {
    CKeSurfaceLightwave s;
    s.setTexture(KE_LW_BASE_COLOR, texture("t"));
    s.setFloat(KE_LW_TRANSPARENCY, 0.5f);  // two macros
    CKeMacro list[4];
    for (u32 room : {1u, 2u}) {
        kolmtest::LogCapture log;
        u32 count = room;
        video::E_MATERIAL_TYPE base;
        EXPECT_FALSE(s.getEffectCompileParameters(base, list, count, nullptr)) << room;
        EXPECT_EQ(log.text, "ERROR : CKeSurfaceLightwave::getEffectCompileParameters Not enough space for macros\n");
    }
    u32 count = 3;
    video::E_MATERIAL_TYPE base;
    EXPECT_TRUE(s.getEffectCompileParameters(base, list, count, nullptr));
    EXPECT_EQ(macroText(list, count), "USE_TEX_COLOR USE_TRANSPARENT");
    count = 0;  // no room asked for: only the base material
    EXPECT_TRUE(s.getEffectCompileParameters(base, nullptr, count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(base, video::EMT_TRANSPARENT_ALPHA_CHANNEL);
}

TEST_F(Surface, HyperVoxelMacrosBlendAndCapacity) {
    struct Case {
        s32 blend;
        u32 colourKeys, sizeKeys;
        f32 rotation;
        bool tex;
        const char* want;
        video::E_MATERIAL_TYPE base;
    };
    const Case cases[] = {
        {2, 3, 0, 0.0f, false, "USE_COLOR_GRADIENT USE_BLEND_SUB", video::EMT_ONETEXTURE_BLEND},
        {0, 0, 2, 0.5f, true, "USE_TEX_COLOR USE_SIZE_GRADIENT USE_ROTATION USE_BLEND_ALPHA", video::EMT_TRANSPARENT_ALPHA_CHANNEL},
        {1, 0, 0, 0.0f, false, "USE_BLEND_ADD", video::EMT_TRANSPARENT_ADD_COLOR},
        {7, 0, 0, 0.0f, false, "", video::EMT_SOLID},
    };
    for (const Case& c : cases) {
        CKeSurfaceLightwaveHV s;
        KeHyperVoxelParams p;
        p.blendMode = c.blend;
        p.colorKeyCount = c.colourKeys;
        p.sizeKeyCount = c.sizeKeys;
        p.rotation = c.rotation;
        p.hasTexture = c.tex;
        s.setParameters(p);
        video::E_MATERIAL_TYPE base;
        EXPECT_EQ(macros(s, nullptr, &base), c.want) << c.blend;
        EXPECT_EQ(base, c.base) << c.blend;
    }
    // The blend macro needs its room too.
    CKeSurfaceLightwaveHV s;
    KeHyperVoxelParams p;
    p.colorKeyCount = 1;
    p.colorKeyValues[0][2] = 0.5f;
    p.colorKeyCount = 40;  // more keys than the block holds
    s.setParameters(p);
    EXPECT_EQ(s.getParameters().colorKeyCount, KE_HV_MAX_KEYS);
    CKeMacro list[3];
    u32 count = 2;
    video::E_MATERIAL_TYPE base;
    kolmtest::LogCapture log;
    EXPECT_FALSE(s.getEffectCompileParameters(base, list, count, nullptr));
    EXPECT_EQ(log.text, "ERROR : CKeSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros\n");
    f32 values[36] = {};
    EXPECT_TRUE(s.getBindValue("ColorKeyValues", values, 36));
    EXPECT_EQ(values[2], 0.5f);
}

TEST_F(Surface, TexturesReachTheEffectByTheirSemantics) {
    KePtr<CKeEffect> fx = effect({""});
    video::ITexture* colour = texture("colour");
    CKeSurfaceLightwave s;
    s.setTexture(KE_LW_BASE_COLOR, colour);
    s.setColorSpace(KE_LW_BASE_COLOR, true);
    ASSERT_TRUE(s.setEffectTextures(fx.get()));
    EXPECT_EQ(fx->getCell(0)->layer.texture, colour);
    EXPECT_TRUE(fx->getCell(0)->layer.srgb);
    EXPECT_EQ(fx->getCell(1)->layer.texture, nullptr);

    // On one pass's material: layer 0 of the pass, and the colour map in layer 0 also when the
    // effect does not sample it.
    video::SMaterial m;
    KeMaterialBinding side;
    ASSERT_TRUE(s.setEffectTextureOnMaterial(m, side, fx.get(), 0, 0));
    EXPECT_EQ(m.TextureLayer[0].Texture, colour);
    EXPECT_EQ(side.layerFlags[0], KE_LAYER_SRGB);
    DefBuilder b;
    b.pass(0);
    kolmtest::LogCapture quiet;
    KePtr<CKeEffect> bare = KePtr<CKeEffect>::adopt(kit.build(b.def));
    video::SMaterial m2;
    KeMaterialBinding side2;
    ASSERT_TRUE(s.setEffectTextureOnMaterial(m2, side2, bare.get(), 0, 0));
    EXPECT_EQ(m2.TextureLayer[0].Texture, colour);
}

TEST_F(Surface, FixedFunctionMaterialTypesAndRoundTrip) {
    video::ITexture* t = texture("t");
    struct Case {
        bool transparencyTex, bumpTex, reflect;
        f32 transparency;
        video::E_MATERIAL_TYPE want;
    };
    const Case cases[] = {
        {true, true, true, 0, video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA},
        {true, false, true, 0, video::EMT_TRANSPARENT_REFLECTION_2_LAYER},
        {true, false, false, 0, video::EMT_TRANSPARENT_ALPHA_CHANNEL},
        {false, true, false, 0, video::EMT_PARALLAX_MAP_SOLID},
        {false, false, true, 0, video::EMT_REFLECTION_2_LAYER},
        {false, false, false, 0, video::EMT_SOLID},
        {false, false, false, 0.5f, video::EMT_TRANSPARENT_VERTEX_ALPHA},
        {false, false, true, 0.5f, video::EMT_TRANSPARENT_REFLECTION_2_LAYER},
    };
    for (const Case& c : cases) {
        CKeSurfaceLightwave s;
        if (c.transparencyTex) s.setTexture(KE_LW_TRANSPARENCY, t);
        if (c.bumpTex) s.setTexture(KE_LW_BUMP, t);
        if (c.reflect) {
            s.setTexture(KE_LW_REFLECTION_IMAGE, t);
            s.setInt(KE_LW_REFLECTION_OPTIONS, 2);
            s.setFloat(KE_LW_REFLECTIVITY, 0.5f);
        }
        s.setFloat(KE_LW_TRANSPARENCY, c.transparency);
        video::SMaterial m;
        s.applyToMaterial(m);
        EXPECT_EQ(m.MaterialType, c.want) << int(c.want);
    }

    // Round trip: what the library's material can carry comes back.
    CKeSurfaceLightwave s;
    video::ITexture* bump = texture("bump");
    s.setVector(KE_LW_BASE_COLOR, {1.0f, 0.5f, 0.0f});
    s.setTexture(KE_LW_BASE_COLOR, t);
    s.setFloat(KE_LW_SPECULARITY, 0.6f);
    s.setFloat(KE_LW_LUMINOSITY, 0.2f);
    s.setFloat(KE_LW_GLOSSINESS, 0.5f);
    s.setTexture(KE_LW_BUMP, bump);
    s.setFloat(KE_LW_BUMP, 2.0f);
    s.setInt(KE_LW_SIDEDNESS, 3);
    s.setInt(KE_LW_RENDER_OUTLINES, 1);
    s.setFloat(KE_LW_LINE_SIZE, 0.5f);
    video::SMaterial m;
    s.applyToMaterial(m);
    EXPECT_EQ(m.MaterialType, video::EMT_PARALLAX_MAP_SOLID);
    EXPECT_FLOAT_EQ(m.MaterialTypeParam, 2.0f * 0.035f);
    EXPECT_EQ(m.DiffuseColor, video::SColor(255, 255, 128, 0));
    EXPECT_EQ(m.SpecularColor, video::SColor(255, 153, 153, 153));
    EXPECT_EQ(m.ColorMaterial, video::ECM_DIFFUSE);  // vertex colouring is on by default
    EXPECT_FALSE(m.BackfaceCulling);
    EXPECT_TRUE(m.Wireframe);
    EXPECT_TRUE(m.NormalizeNormals);
    EXPECT_EQ(m.TextureLayer[0].Texture, t);
    EXPECT_EQ(m.TextureLayer[1].Texture, bump);
    for (u32 i = 0; i < 4; ++i) EXPECT_EQ(m.TextureLayer[i].LODBias, -8) << i;

    CKeSurfaceLightwave back;
    back.initFromMaterial(m);
    const core::vector3df c = back.getVector(KE_LW_BASE_COLOR);
    EXPECT_NEAR(c.X, 1.0f, 1e-6f);
    EXPECT_NEAR(c.Y, 128.0f / 255.0f, 1e-6f);
    EXPECT_EQ(back.getTexture(KE_LW_BASE_COLOR), t);
    EXPECT_NEAR(back.getFloat(KE_LW_SPECULARITY), 0.6f, 1.0f / 255.0f);
    EXPECT_NEAR(back.getFloat(KE_LW_LUMINOSITY), 0.3f * 0.2f + 0.59f * 0.1f, 1.0f / 255.0f);
    EXPECT_FLOAT_EQ(back.getFloat(KE_LW_GLOSSINESS), 0.5f);
    EXPECT_EQ(back.getTexture(KE_LW_BUMP), bump);
    EXPECT_NEAR(back.getFloat(KE_LW_BUMP), 2.0f, 1e-5f);
    EXPECT_EQ(back.getInt(KE_LW_SIDEDNESS), 3);
    EXPECT_EQ(back.getInt(KE_LW_RENDER_OUTLINES), 1);
    EXPECT_FLOAT_EQ(back.getFloat(KE_LW_LINE_SIZE), 0.5f);
    EXPECT_FLOAT_EQ(back.getFloat(KE_LW_VERTEX_COLORING), 1.0f);
    EXPECT_FLOAT_EQ(back.getFloat(KE_LW_DIFFUSE), 1.0f);

    // A HyperVoxel surface: clip texture and blend mode both ways.
    CKeSurfaceLightwaveHV hv;
    KeHyperVoxelParams p;
    p.clipTexture = t;
    p.blendMode = KE_HV_BLEND_SUBTRACT;
    hv.setParameters(p);
    video::SMaterial hm;
    hv.applyToMaterial(hm);
    EXPECT_EQ(hm.MaterialType, video::EMT_ONETEXTURE_BLEND);
    EXPECT_FALSE(hm.ZWriteEnable);
    EXPECT_EQ(hm.TextureLayer[0].Texture, t);
    CKeSurfaceLightwaveHV hvBack;
    hvBack.initFromMaterial(hm);
    EXPECT_EQ(hvBack.getParameters().blendMode, KE_HV_BLEND_SUBTRACT);
    EXPECT_EQ(hvBack.getParameters().clipTexture, t);
    EXPECT_TRUE(hvBack.getParameters().hasTexture);
}

}  // namespace
