// Surface effects and light set-up of the scene loader against the recording call table: which
// effect file each surface row is given (its own, the override or default one, or the
// renderer's), the order of a row's work, rows that fail or are missing, shadow casting, and
// the shadow, projection image and volumetric settings of lights at creation.
#include "scene/KeScene.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"
#include "scene_recorder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace kolm;
using kolmtest::SceneRecorder;

namespace {

const char* kHead = "{ SceneInfo\n frameStart I4 0\n frameEnd I4 100\n frameStep I4 1\n framesPerSecond FP 25\n}\n"
                    "{ Cameras\n { Camera\n  position FP 0 1 -5\n }\n}\n";

// A surface group: `shader` is the body of its "Shader" group (none when empty).
std::string surface(const std::string& name, const std::string& shader, const std::string& parameters = "") {
    std::string s = "  { S\n   name STR \"" + name + "\"\n";
    if (!parameters.empty()) s += "   { Parameters\n" + parameters + "   }\n";
    if (!shader.empty()) s += "   { Shader\n" + shader + "   }\n";
    return s + "  }\n";
}
std::string effect(const std::string& file, int applyTo, const std::string& parameters = "") {
    std::string s = "    applyToSurface I4 " + std::to_string(applyTo) + "\n    { Effect\n     filename STR \"" +
                    file + "\"\n";
    if (!parameters.empty()) s += "     { Parameters\n" + parameters + "     }\n";
    return s + "    }\n";
}

class SceneSurfaceFx : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.create("/tmp/kolm-scene-fx-")); }
    void TearDown() override { keSceneUnload(0); }

    // Loads a scene of one object "o.x" (ID 100, shadow options `shadowOpts`) whose scene
    // object has `surfaces`, plus `more` in the Scene group; lights from 200.
    int load(const std::string& surfaces, const std::string& more = "", int shadowOpts = 0) {
        const std::string path = dir.path + "/scene.kscn";
        std::ofstream(path) << "{ Scene\n" << kHead << "{ Objects\n { O\n  kfilename STR \"o.x\"\n"
                            << "  filename STR \"o.lwo\"\n  shadowOpts I4 " << shadowOpts << "\n }\n}\n"
                            << "{ SceneObjects\n { SO\n  filename STR \"o.lwo\"\n  { Surfaces\n"
                            << surfaces << "  }\n }\n}\n"
                            << more << "}\n";
        return keSceneLoad(path.c_str(), 0, 100, 200, 300, 400, 500, false, "fx", false);
    }
    std::vector<std::string> chosen() const { return rec.with("chooseObjectSurfaceEffect"); }

    ScratchDir dir;
    SceneRecorder rec;
    kolmtest::LogCapture log;
};

// Which file each row is given; "-" is none of its own, so the renderer's effect applies.
TEST_F(SceneSurfaceFx, EachRowGetsTheEffectThatAppliesToIt) {
    struct Case {
        const char* what;
        std::string surfaces;
        std::vector<std::string> files;
    } cases[] = {
        {"own effects, none, and applyToSurface 3 (no effect even with one of its own)",
         surface("a", effect("a.fx", 0)) + surface("b", "") + surface("c", effect("c.fx", 3)),
         {"a.fx", "-", "-"}},
        {"a default effect (1) fills the rows without one",
         surface("a", "") + surface("d", effect("d.fx", 1)) + surface("e", effect("e.fx", 0)),
         {"d.fx", "d.fx", "e.fx"}},
        {"the last override (2) replaces every effect but on rows with 3",
         surface("a", effect("a.fx", 0)) + surface("o", effect("o1.fx", 2)) + surface("p", effect("o2.fx", 2)) +
             surface("n", effect("n.fx", 3)) + surface("b", ""),
         {"o2.fx", "o2.fx", "o2.fx", "-", "o2.fx"}},
        {"an effect that names no file leaves the renderer's", surface("a", effect("", 0)), {"-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rec.calls.clear();
        ASSERT_EQ(load(c.surfaces), 0);
        std::vector<std::string> want;
        for (size_t k = 0; k < c.files.size(); ++k)
            want.push_back("chooseObjectSurfaceEffect 100 " + std::to_string(k) + " " + c.files[k]);
        EXPECT_EQ(chosen(), want);
    }
}

// A row's parameters come before its effect, the effect before the effect's parameter list (in
// first-time form, evaluated at sample 0), and the object is prepared once after all rows.
TEST_F(SceneSurfaceFx, RowOrderAndEffectParameters) {
    const std::string params = "    { Diffuse\n     value FP 0.75\n    }\n";
    const std::string list = "      { Strength\n       value FP_C DAT 3 0.5 1 2\n      }\n"
                             "      { Tint\n       value FP 1 0.5 0.25\n      }\n"
                             "      { Noise\n       value STR \"noise.png\"\n      }\n";
    ASSERT_EQ(load(surface("a", effect("glass.fx", 0, list), params) + surface("b", "", params)), 0);
    std::vector<std::string> got;
    for (const std::string& c : rec.calls)
        if (c.find("Surface") != std::string::npos) got.push_back(c);
    const std::vector<std::string> want = {
        "setObjectSurfaceParamFloat 100 0 2 0.75",
        "chooseObjectSurfaceEffect 100 0 glass.fx",
        "setObjectSurfaceEffectParameters 100 0 glass.fx first Strength:1:0.5 Tint:0:1 Noise:3:0",
        "setObjectSurfaceParamFloat 100 1 2 0.75",
        "chooseObjectSurfaceEffect 100 1 -",
        "updateObjectFromSurfaces 100",
    };
    EXPECT_EQ(got, want);
}

// Every animation sets the effect parameter lists again at its sample position (update form),
// only for the rows the object has, after the surfaces' own parameters.
TEST_F(SceneSurfaceFx, EffectParameterListsFollowTheAnimation) {
    const std::string list = "      { Strength\n       value FP_C DAT 3 0.5 1 2\n      }\n";
    rec.surfaces[100] = 2;
    ASSERT_EQ(load(surface("a", effect("glass.fx", 0, list)) + surface("b", effect("b.fx", 0, list)) +
                   surface("c", effect("c.fx", 0, list))),
              0);
    rec.calls.clear();
    keSceneAnimate(0, 40);  // sample position 1 at 25 frames per second
    EXPECT_EQ(rec.with("setObjectSurfaceEffectParameters"),
              (std::vector<std::string>{"setObjectSurfaceEffectParameters 100 0 glass.fx update Strength:1:1",
                                        "setObjectSurfaceEffectParameters 100 1 b.fx update Strength:1:1"}));
    rec.calls.clear();
    keSceneAnimate(0, 80);
    EXPECT_EQ(rec.with("setObjectSurfaceEffectParameters").front(),
              "setObjectSurfaceEffectParameters 100 0 glass.fx update Strength:1:2");
}

// An effect that fails on one row leaves the next rows their effects; a row the object does
// not have stops the rows after it (the object is still prepared).
TEST_F(SceneSurfaceFx, FailedAndMissingRows) {
    ASSERT_EQ(load(surface("a", effect("broken.fx", 0)) + surface("b", effect("b.fx", 0)) + surface("c", "") +
                   surface("d", "")),
              0);
    EXPECT_EQ(chosen(), (std::vector<std::string>{"chooseObjectSurfaceEffect 100 0 broken.fx",
                                                  "chooseObjectSurfaceEffect 100 1 b.fx",
                                                  "chooseObjectSurfaceEffect 100 2 -",
                                                  "chooseObjectSurfaceEffect 100 3 -"}));

    rec.calls.clear();
    rec.surfaces[100] = 2;
    ASSERT_EQ(load(surface("a", "") + surface("b", effect("b.fx", 0, "      { K\n       value I4 3\n      }\n")) +
                   surface("c", effect("c.fx", 0, "      { K\n       value I4 3\n      }\n")) + surface("d", "")),
              0);
    EXPECT_EQ(chosen(), (std::vector<std::string>{"chooseObjectSurfaceEffect 100 0 -",
                                                  "chooseObjectSurfaceEffect 100 1 b.fx",
                                                  "chooseObjectSurfaceEffect 100 2 c.fx"}));
    EXPECT_EQ(rec.with("setObjectSurfaceEffectParameters"),
              std::vector<std::string>{"setObjectSurfaceEffectParameters 100 1 b.fx first K:2:3"});
    EXPECT_EQ(rec.with("updateObjectFromSurfaces").size(), 1u);
}

// Effect files written on Windows are found with "/" (and the case on disk).
TEST_F(SceneSurfaceFx, WindowsEffectPaths) {
    ASSERT_EQ(load(surface("a", effect("Shaders\\Glass.fx", 0))), 0);
    EXPECT_EQ(chosen(), std::vector<std::string>{"chooseObjectSurfaceEffect 100 0 Shaders/Glass.fx"});
}

TEST_F(SceneSurfaceFx, ShadowCastingFromShadowOptions) {
    const struct {
        int shadowOpts;
        int casts;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 0}, {6, 1}};
    for (const auto& c : cases) {
        rec.calls.clear();
        ASSERT_EQ(load(surface("a", ""), "", c.shadowOpts), 0);
        EXPECT_EQ(rec.with("setObjectCastShadows"),
                  std::vector<std::string>{"setObjectCastShadows 100 " + std::to_string(c.casts)})
            << "shadowOpts " << c.shadowOpts;
    }
}

// Shadow maps, projection images and volumetric settings at creation, per light in order.
TEST_F(SceneSurfaceFx, LightShadowProjectionAndVolumetricSetUp) {
    const std::string lights =
        "{ Lights\n"
        // a shadowed spot with a projection image written on Windows
        " { L\n  type I4 2\n  coneAngles FP 0.5 0.1\n  shadowType I4 2\n  shadowColor FP 0.2 0.2 0.2\n"
        "  shadMapSize I4 2048\n  shadMapFuzz FP 1.5\n  projImage STR \"Images\\gobo.png\"\n }\n"
        // volumetric with its colour (flags word 4) and mode 3 (word 1)
        " { L\n  type I4 2\n  flags I4 32\n  { Volumetric\n   flags I4 0 3 0 0 1\n   color FP 0.5 0.25 1\n"
        "   density FP 2\n  }\n }\n"
        // volumetric without colour: white; other flag bits do not count
        " { L\n  type I4 1\n  flags I4 39\n  { Volumetric\n   flags I4 0 1 0 0 0\n   color FP 0.5 0.25 1\n  }\n }\n"
        // bit 0x20 not set: not volumetric, whatever its Volumetric group says
        " { L\n  type I4 1\n  flags I4 16\n  { Volumetric\n   flags I4 0 2 0 0 1\n  }\n }\n"
        "}\n";
    ASSERT_EQ(load(surface("a", ""), lights), 0);
    std::vector<std::string> got;
    for (const std::string& c : rec.calls)
        if (c.find("Shadow") != std::string::npos || c.find("ProjImage") != std::string::npos ||
            c.find("Volumetric") != std::string::npos)
            got.push_back(c);
    const std::vector<std::string> want = {
        "setObjectCastShadows 100 0",
        "setLightShadow 200 1", "colorLightShadow 200 0x333333", "setShadowMapSize 200 2048",
        "setShadowMapFuzz 200 1.5", "setLightProjImage 200 Images/gobo.png", "setLightVolumetricOn 200 0",
        "setLightShadow 201 0", "setLightProjImage 201 -", "setLightVolumetricOn 201 1",
        "setLightVolumetricSettings 201 3 1 0.5 0.25 1",
        "setLightShadow 202 0", "setLightProjImage 202 -", "setLightVolumetricOn 202 1",
        "setLightVolumetricSettings 202 1 0 1 1 1",
        "setLightShadow 203 0", "setLightProjImage 203 -", "setLightVolumetricOn 203 0",
    };
    EXPECT_EQ(got, want);

    // A reloaded light that is no longer volumetric is switched off (its set-up runs again).
    rec.calls.clear();
    const std::string path = dir.path + "/scene.kscn";
    std::ofstream(path) << "{ Scene\n" << kHead << "{ Lights\n { L\n  type I4 2\n }\n { L\n  type I4 2\n  flags I4 0\n }\n"
                        << " { L\n  type I4 1\n  flags I4 39\n }\n { L\n  type I4 1\n  flags I4 16\n }\n}\n}\n";
    ASSERT_EQ(keSceneReload(path.c_str(), 0), 0);
    EXPECT_EQ(rec.with("setLightVolumetricOn 201"), std::vector<std::string>{"setLightVolumetricOn 201 0"});
    ASSERT_EQ(load(surface("a", ""), lights), 0);

    // The first animation sets the density and base of the volumetric lights only.
    rec.calls.clear();
    keSceneAnimate(0, 0);
    EXPECT_EQ(rec.with("setLightVolumetricValues"),
              (std::vector<std::string>{"setLightVolumetricValues 201 2 0", "setLightVolumetricValues 202 0 0"}));
}

}  // namespace
