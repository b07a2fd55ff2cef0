// Cube map commands end to end on OpenGL (Xvfb + llvmpipe): objects drawn through the engine's
// surface effect by their node extensions are rendered into a cube map by keRenderCubeMap,
// and every face comes out upright: seen from the centre, a coloured block fills each face and
// a white marker sits in its upper right quarter, as a camera looking along the face's axis
// with the face's up vector sees it.
#include "api/KeCubeMapApi.h"
#include "core/KeError.h"
#include "core/KePtr.h"
#include "engine/IKeCubeMap.h"
#include "engine/IKeManager.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/IKeEffect.h"
#include "fx/IKeEffectManager.h"
#include "fx/IKeSurfaceLightwave.h"
#include "fx/IKeSurfaceManager.h"
#include "gl/KeGlTexture.h"
#include "runtime/KeEngine.h"
#include "support/gl_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

// Look and up vectors of the faces +X, -X, +Y, -Y, +Z, -Z (the cube-map convention: +Y looks
// up with -Z at the top of the picture, -Y down with +Z at the top).
struct Face {
    core::vector3df look, up;
    uint32_t colour;  // 0xAARRGGBB of the face's block
};
const Face kFaces[6] = {
    {{1, 0, 0}, {0, 1, 0}, 0xFFFF0000u},  {{-1, 0, 0}, {0, 1, 0}, 0xFF00FF00u},
    {{0, 1, 0}, {0, 0, -1}, 0xFF0000FFu}, {{0, -1, 0}, {0, 0, 1}, 0xFFFFFF00u},
    {{0, 0, 1}, {0, 1, 0}, 0xFF00FFFFu},  {{0, 0, -1}, {0, 1, 0}, 0xFFFF00FFu},
};

class CubeMapGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        keResetErrorReporter();
        keSetLogSink([](const char* l, void*) { std::fprintf(stderr, "%s", l); }, nullptr);
        keSetMessageBoxHandler([](const char*, void*) {}, nullptr);
        EngineSetup s;
        s.windowed = 1;
        s.vsync = 0;
        s.width = 160;
        s.height = 120;
        ASSERT_EQ(keStartEngine(s), 0);
        started = true;
    }
    void TearDown() override {
        effects.clear();
        surfaces.clear();
        if (started) keStopEngine();
        keResetErrorReporter();
    }

    // A cube of edge `size` at `position`, drawn unlit in `colour` (0xAARRGGBB) through the
    // engine's surface effect: luminosity 1, no diffuse, no specular.
    void block(const core::vector3df& position, f32 size, uint32_t colour) {
        IKeManager* manager = keEngineManager();
        scene::ISceneManager* smgr = keEngineContext().sceneManager;
        scene::IMesh* mesh = smgr->getGeometryCreator()->createCubeMesh({size, size, size});
        scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh, nullptr, -1, position);
        mesh->drop();
        KePtr<IKeSurface> surface = KePtr<IKeSurface>::adopt(manager->getSurfaceManager()->createSurface("lightwave"));
        auto* lw = dynamic_cast<IKeSurfaceLightwave*>(surface.get());
        ASSERT_NE(lw, nullptr);
        const video::SColor c(colour);
        lw->setVector(KE_LW_BASE_COLOR, {c.getRed() / 255.0f, c.getGreen() / 255.0f, c.getBlue() / 255.0f});
        lw->setFloat(KE_LW_LUMINOSITY, 1.0f);
        lw->setFloat(KE_LW_DIFFUSE, 0.0f);
        lw->setFloat(KE_LW_SPECULARITY, 0.0f);
        CKeSceneNodeExt* ext = keGetNodeExt(node);
        ASSERT_NE(ext, nullptr);
        ext->setSurface(0, surface.get());
        CKeMacro macros[8] = {};
        u32 count = 8;
        video::E_MATERIAL_TYPE base = video::EMT_SOLID;
        ASSERT_TRUE(surface->getEffectCompileParameters(base, macros, count, node));
        const std::string file = std::string(KOLM_SOURCE_DIR) + "/data/shadersSURF/LightwaveSurface.hlsl";
        IKeEffectManager* fx = manager->getEffectManager();
        KePtr<IKeEffect> effect = KePtr<IKeEffect>::adopt(fx->createEffect(file.c_str(), s32(base), macros));
        ASSERT_NE(effect, nullptr) << fx->getLastError();
        ext->setEffect(0, effect.get(), 0, 0);
        ASSERT_TRUE(ext->prepare());
        surfaces.push_back(surface);
        effects.push_back(effect);
    }

    bool started = false;
    std::vector<KePtr<IKeSurface>> surfaces;
    std::vector<KePtr<IKeEffect>> effects;
};

TEST_F(CubeMapGl, EveryFaceOfARenderedCubeMapIsUpright) {
    const core::vector3df centre(10, -4, 7);  // away from the origin, so positions count
    for (const Face& f : kFaces) {
        const core::vector3df right = f.up.crossProduct(f.look);  // left-handed: up x look
        block(centre + f.look * 5.0f, 4.0f, f.colour);
        block(centre + f.look * 2.5f + f.up * 1.0f + right * 1.0f, 0.5f, 0xFFFFFFFFu);
    }
    const int id = 7;
    const u32 size = 64;
    ASSERT_EQ(keMakeCubeMap(id, int(size)), 0);
    ASSERT_EQ(keRenderCubeMap(id, centre.X, centre.Y, centre.Z), 0) << takeLastError(nullptr);
    EXPECT_TRUE(keCubeMapRendered(id));
    CKeGlTexture* cube = keAsEngineTexture(keCubeMapGet(id)->getTexture());
    ASSERT_NE(cube, nullptr);

    // The marker's centre projects to 0.4 of the half face right of and above the centre; the
    // mirrored points show the block.
    const u32 hi = 19, lo = 45, mid = size / 2;
    for (u32 face = 0; face < 6; ++face) {
        SCOPED_TRACE("face " + std::to_string(face));
        std::vector<uint32_t> px;
        ASSERT_TRUE(cube->readPixels(face, px));
        ASSERT_EQ(px.size(), size * size);
        const auto at = [&](u32 x, u32 y) { return px[y * size + x]; };
        const uint32_t want = kFaces[face].colour;
        EXPECT_TRUE(gltest::near(at(mid, mid), want, 1)) << std::hex << at(mid, mid);
        EXPECT_TRUE(gltest::near(at(lo, hi), 0xFFFFFFFFu, 1)) << "marker upper right: " << std::hex << at(lo, hi);
        EXPECT_TRUE(gltest::near(at(hi, hi), want, 1)) << "upper left: " << std::hex << at(hi, hi);
        EXPECT_TRUE(gltest::near(at(lo, lo), want, 1)) << "lower right: " << std::hex << at(lo, lo);
        EXPECT_TRUE(gltest::near(at(hi, lo), want, 1)) << "lower left: " << std::hex << at(hi, lo);
        EXPECT_TRUE(gltest::near(at(2, 2), 0, 0)) << "corner shows the backdrop: " << std::hex << at(2, 2);
    }
    EXPECT_EQ(keDeleteCubeMap(id), 0);
}

}  // namespace
