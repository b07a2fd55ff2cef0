// Scene animation against a recording call table: the render camera's field of view and its
// guards, render settings sent through their caches, depth of field and stereo, volumetric
// lights, cube-map use choice, surfaces in update form, and cube-map rendering at preparation
// and every frame.
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

const char* kTime = "{ SceneInfo\n frameStart I4 0\n frameEnd I4 100\n frameStep I4 1\n framesPerSecond FP 25\n}\n";

using Lines = std::vector<std::string>;

class SceneAnimate : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.create("/tmp/kolm-anim-")); }
    void TearDown() override {
        for (int s = 0; s < KE_SCENE_SLOTS; ++s) keSceneUnload(s);
    }
    std::string scene(const std::string& body, const std::string& file = "scene.kscn") {
        const std::string path = dir.path + "/" + file;
        std::ofstream(path) << "{ Scene\n" << body << "}\n";
        return path;
    }
    // Objects from 100, lights from 200, cube maps from 400, camera effects from 500.
    int load(const std::string& body, int slot = 0, bool extra = false) {
        return keSceneLoad(scene(body, "s" + std::to_string(slot) + ".kscn").c_str(), slot, 100, 200, 300, 400, 500,
                           false, "demo", extra);
    }
    // The recorded lines that start with any of the prefixes, in call order.
    Lines only(std::initializer_list<const char*> prefixes) const {
        Lines out;
        for (const std::string& c : rec.calls)
            for (const char* p : prefixes)
                if (c.rfind(p, 0) == 0) {
                    out.push_back(c);
                    break;
                }
        return out;
    }
    ScratchDir dir;
    SceneRecorder rec;
    kolmtest::LogCapture log;
};

TEST_F(SceneAnimate, FieldOfViewAndItsGuards) {
    struct Case {
        const char* camera;
        const char* fov;  // expected setCameraFOV line, or "" for none
    } cases[] = {
        {"zoomFactor FP 3.2\n  resolution I4 640 480", "setCameraFOV 45.2397"},
        {"zoomFactor FP 3.2", "setCameraFOV 45.2397"},  // 640 x 480 when missing
        {"zoomFactor FP 0\n  resolution I4 640 480", ""},
        {"zoomFactor FP -2\n  resolution I4 640 480", ""},
        {"zoomFactor FP 3.2\n  resolution I4 640 0", ""},
        {"zoomFactor FP 3.2\n  resolution I4 0 480", "setCameraFOV 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.camera);
        ASSERT_EQ(load(std::string(kTime) + "{ Cameras\n { C\n  " + c.camera + "\n }\n}\n"), 0);
        rec.calls.clear();
        keSceneAnimate(0, 0);
        EXPECT_EQ(only({"setCameraFOV"}), *c.fov ? Lines{c.fov} : Lines{});
    }
}

TEST_F(SceneAnimate, RenderCameraIndexIsClampedAndNaNSafe) {
    struct Case {
        const char* renderCamera;
        const char* position;
    } cases[] = {
        {"FP 5.7", "positionCamera 2 0 0"},  // three cameras: 5.7 selects camera 2
        {"FP 1.9", "positionCamera 1 0 0"},
        {"FP -1", "positionCamera 0 0 0"},
        {"FP nan", "positionCamera 0 0 0"},
        {"I4 1", "positionCamera 0 0 0"},  // not a channel: reads 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.renderCamera);
        ASSERT_EQ(load(std::string("{ SceneInfo\n frameEnd I4 100\n frameStep I4 1\n framesPerSecond FP 25\n"
                                   " renderCamera ") +
                       c.renderCamera +
                       "\n}\n{ Cameras\n { C\n  position FP 0 0 0\n }\n { C\n  position FP 1 0 0\n }\n"
                       " { C\n  position FP 2 0 0\n }\n}\n"),
                  0);
        rec.calls.clear();
        keSceneAnimate(0, 0);
        EXPECT_EQ(only({"positionCamera"}), Lines{c.position});
    }
}

// Every switch is sent once after loading; glow and depth of field again while on, the other
// switches only when they change, their values while on. Hiding sets the caches to 0 (a switch
// that is off stays unsent), preparing sets them to -1 (all are sent once more).
TEST_F(SceneAnimate, RenderSettingsGoThroughTheirCaches) {
    const std::string doc = std::string(kTime) +
                            "{ ImageProcessing\n glowEffect I4 1\n glowIntensity FP 0.5\n glowRadius FP_C DAT 2 2 4\n}\n"
                            "{ KolmRenderSettings\n CH_STREAK_ENABLE I4 1\n CH_STREAK_GLOWMIN FP 0.1\n"
                            " CH_STREAK_COLORKEY FP 1 2 3\n CH_STREAK_COLORKEYMATCH FP 0.2\n CH_STREAK_COLORIZE FP 4 5 6\n"
                            " CH_STREAK_ATTENUATION FP 0.3\n CH_STREAK_ANGLE FP 0.4\n CH_STREAK_COMPOSE FP 0.5\n"
                            " CH_BLOOM_ENABLE I4 0\n CH_BLOOM_SPECULARMIN FP 9\n"
                            " CH_SSAO_ENABLE I4 1\n CH_SSAO_DISTANCEREACH FP 1\n CH_SSAO_MAXDEPTHDECLINE FP 2\n"
                            " CH_SSAO_DEPTHALIASINGEPSILON FP 3\n CH_SSAO_OUTPUTMULTIPLIER FP 4\n"
                            " CH_SHADOW_ENABLE I4 0\n CH_SHADOW_EPSILON FP 7\n"
                            " CH_DOF_ADVANCED_ENABLE I4 0\n}\n"
                            "{ Cameras\n { C\n  flags I4 0\n }\n}\n";
    ASSERT_EQ(load(doc), 0);
    const std::initializer_list<const char*> settings = {"setGlow",     "setStreak",    "setBloom",
                                                         "setSSAO",     "setShadow",    "setCameraDOF",
                                                         "setCameraAdvancedDOF"};
    rec.calls.clear();
    keSceneAnimate(0, 40);  // sample 1
    const Lines first = {"setGlow 1 0.5 4",
                         "setStreakEnable 1",
                         "setStreakValues 0.1 1 2 3 0.2 4 5 6 0.3 0.4 0.5",
                         "setBloomEnable 0",
                         "setSSAOEnable 1",
                         "setSSAOValues 1 2 3 4",
                         "setShadowEnable 0",
                         "setCameraDOF 0 0 0",
                         "setCameraAdvancedDOF 0 0 0 0 0"};
    EXPECT_EQ(only(settings), first);

    rec.calls.clear();
    keSceneAnimate(0, 0);
    const Lines again = {"setGlow 1 0.5 2", "setStreakValues 0.1 1 2 3 0.2 4 5 6 0.3 0.4 0.5",
                         "setSSAOValues 1 2 3 4"};
    EXPECT_EQ(only(settings), again);

    keSceneHide(0);
    rec.calls.clear();
    keSceneAnimate(0, 0);
    const Lines afterHide = {"setGlow 1 0.5 2", "setStreakEnable 1", "setStreakValues 0.1 1 2 3 0.2 4 5 6 0.3 0.4 0.5",
                             "setSSAOEnable 1", "setSSAOValues 1 2 3 4"};
    EXPECT_EQ(only(settings), afterHide);

    keScenePrepare(0);
    rec.calls.clear();
    keSceneAnimate(0, 40);
    EXPECT_EQ(only(settings), first);

    // An extra scene sends no render settings and drives no camera.
    ASSERT_EQ(load(doc, 1, true), 0);
    rec.calls.clear();
    keSceneAnimate(1, 40);
    EXPECT_EQ(only(settings), Lines{});
    EXPECT_EQ(only({"setCameraStereo", "positionCamera"}), Lines{});
}

TEST_F(SceneAnimate, DepthOfFieldAndStereo) {
    ASSERT_EQ(load(std::string(kTime) +
                   "{ KolmRenderSettings\n CH_DOF_ADVANCED_ENABLE I4 1\n CH_DOF_MINFOCUSDIST FP 1\n"
                   " CH_DOF_MAXFOCUSDIST FP 2\n CH_DOF_FOCUSEDDIST FP 3\n CH_DOF_RADIUSSCALE FP 4\n}\n"
                   "{ Cameras\n { C\n  flags I4 9\n  focalDistance FP_C DAT 2 5 6\n  fStop FP 2.8\n"
                   "  separation FP 0.06\n  usingConvergencePoint I4 1\n  convergencePoint FP 3\n }\n}\n"),
              0);
    for (int t : {0, 40}) {
        rec.calls.clear();
        keSceneAnimate(0, t);
        const Lines want = {t == 0 ? "setCameraDOF 1 5 2.8" : "setCameraDOF 1 6 2.8",
                            "setCameraAdvancedDOF 1 1 2 3 4", "setCameraStereo 1 0.06 1 3"};
        EXPECT_EQ(only({"setCameraDOF", "setCameraAdvancedDOF", "setCameraStereo"}), want);
    }
    ASSERT_EQ(load(std::string(kTime) + "{ Cameras\n { C\n  flags I4 8\n }\n}\n"), 0);
    rec.calls.clear();
    keSceneAnimate(0, 0);
    EXPECT_EQ(only({"setCameraStereo"}), Lines{"setCameraStereo 0 0 0 0"});
}

TEST_F(SceneAnimate, LightsConesAndVolumetricValues) {
    ASSERT_EQ(load(std::string(kTime) +
                   "{ Lights\n { L\n  type I4 2\n  coneAngles FP 0.5 0.1\n  flags I4 32\n"
                   "  { Volumetric\n   density FP_C DAT 2 1 3\n   base FP 0.25\n  }\n }\n"
                   " { L\n  type I4 1\n  { Volumetric\n   density FP 1\n  }\n }\n}\n"),
              0);
    rec.calls.clear();
    keSceneAnimate(0, 40);
    EXPECT_EQ(only({"setSpotLight", "setLightVolumetric"}),
              (Lines{"setSpotLight 200 22.9183 28.6479", "setLightVolumetricValues 200 3 0.25"}));
}

// Each frame the use with the greatest influence among those whose cube map exists is applied,
// with its box at s; at load the initial choice is applied at sample 0.
TEST_F(SceneAnimate, CubeMapUsesFollowTheirInfluence) {
    const std::string doc = std::string(kTime) +
                            "{ CubeMaps\n { C\n  name STR \"a\"\n  textureSize I4 64\n }\n"
                            " { C\n  name STR \"b\"\n  textureSize I4 64\n }\n}\n"
                            "{ Objects\n { O\n  kfilename STR \"o.x\"\n  { UseCubeMaps\n"
                            "   { U\n    renderCubeMap STR \"a\"\n    influence FP_C DAT 3 1 1 0\n   }\n"
                            "   { U\n    renderCubeMap STR \"gone\"\n    influence FP 99\n   }\n"
                            "   { U\n    renderCubeMap STR \"b\"\n    influence FP_C DAT 3 0 1 5\n"
                            "    aabbPosition FP 1 2 3\n    aabbScale FP_C [\n     DAT 3 1 2 3\n     DAT 3 1 1 1\n"
                            "     DAT 3 1 1 1\n    ]\n   }\n  }\n }\n}\n";
    ASSERT_EQ(load(doc), 0);
    EXPECT_EQ(rec.with("setObjectCubeMap"), Lines{"setObjectCubeMap 100 401 boxed 1 2 3 1 1 1"});
    std::vector<std::string> seen;
    for (int t : {0, 40, 80}) {
        rec.calls.clear();
        keSceneAnimate(0, t);
        const Lines set = rec.with("setObjectCubeMap");
        ASSERT_EQ(set.size(), 1u);
        seen.push_back(set[0]);
    }
    const Lines want = {"setObjectCubeMap 100 400",  // 1 against 0
                        "setObjectCubeMap 100 400",  // a tie keeps the first
                        "setObjectCubeMap 100 401 boxed 1 2 3 3 1 1"};
    EXPECT_EQ(seen, want);
}

// Update form: the numeric parameters at s, without textures and without preparing the object;
// strings leave the parameter alone, and rows the object lacked at load (reported then) are not
// set again on every frame.
TEST_F(SceneAnimate, SurfacesInUpdateForm) {
    const std::string doc = std::string(kTime) +
                            "{ Objects\n { O\n  kfilename STR \"o.x\"\n  filename STR \"obj.lwo\"\n }\n}\n"
                            "{ SceneObjects\n { S\n  filename STR \"obj.lwo\"\n  { Surfaces\n"
                            "   { Surf\n    { Parameters\n"
                            "     { BaseColor\n      value FP 1 0.5 0\n      img_filename STR \"t.png\"\n     }\n"
                            "     { Diffuse\n      value FP_C DAT 2 0 1\n     }\n"
                            "     { Sidedness\n      value I4 2\n     }\n"
                            "     { Glow\n      value STR \"x\"\n     }\n    }\n   }\n"
                            "   { Surf\n    { Parameters\n     { Luminosity\n      value FP 1\n     }\n    }\n   }\n"
                            "   { Surf\n    { Parameters\n     { Luminosity\n      value FP 2\n     }\n    }\n   }\n"
                            "  }\n }\n}\n";
    rec.surfaces = {{100, 2}};
    ASSERT_EQ(load(doc), 0);
    rec.calls.clear();
    keSceneAnimate(0, 40);
    const Lines want = {"setObjectSurfaceParamFloat3 100 0 0 1 0.5 0", "setObjectSurfaceParamFloat 100 0 2 1",
                        "setObjectSurfaceParamInt 100 0 31 2", "setObjectSurfaceParamFloat 100 1 1 1"};
    EXPECT_EQ(only({"setObjectSurface", "updateObjectFromSurfaces"}), want);
}

// Preparation: shown, animated at 0, one dummy frame, every cube map cleared and rendered in
// both passes at its render time from position + cameraOffset, the slot animated back, hidden.
TEST_F(SceneAnimate, PreparationRendersEveryCubeMapTwice) {
    const std::string doc =
        "{ SceneInfo\n frameStart I4 2\n frameEnd I4 100\n frameStep I4 1\n framesPerSecond FP 2\n}\n"
        "{ Objects\n { O\n  kfilename STR \"o.x\"\n  position FP_C [\n   DAT 3 0 1 2\n   RUN 3 0\n   RUN 3 0\n  ]\n }\n}\n"
        "{ CubeMaps\n { C\n  name STR \"a\"\n  textureSize I4 64\n  renderTime FP 1.5\n"
        "  position FP_C [\n   DAT 2 0 10\n   DAT 2 0 0\n   DAT 2 0 0\n  ]\n  cameraOffset FP 0 1 0\n }\n"
        " { C\n  name STR \"b\"\n  textureSize I4 64\n  renderType I4 1\n  renderTime FP 1\n"
        "  position FP 5 5 5\n }\n}\n";
    ASSERT_EQ(load(doc), 0);
    rec.calls.clear();
    keScenePrepare(0);
    const Lines want = {"showObject 100",
                        "positionObject 100 0 0 0",  // animated at 0
                        "renderDummy",
                        "clearCubeMap 400",
                        "clearCubeMap 401",
                        "positionObject 100 1 0 0",  // 1.5 s - frame 2 at 2/s = 500 ms: sample 1
                        "renderCubeMap 400 10 1 0",
                        "positionObject 100 0 0 0",  // 0 ms for the second
                        "renderCubeMap 401 5 5 5",
                        "positionObject 100 1 0 0",
                        "renderCubeMap 400 10 1 0",
                        "positionObject 100 0 0 0",
                        "renderCubeMap 401 5 5 5",
                        "positionObject 100 0 0 0",  // back at the time before
                        "hideObject 100"};
    EXPECT_EQ(only({"showObject", "hideObject", "positionObject", "renderDummy", "clearCubeMap", "renderCubeMap"}),
              want);

    // Every frame only the real-time cube map renders again, nothing is animated or cleared.
    rec.calls.clear();
    keSceneUpdate(0, 40);
    EXPECT_EQ(rec.calls, Lines{"renderCubeMap 401 5 5 5"});
}

// While a cube map renders its show set is shown exclusively, its hide set and its namesake
// hidden, and volumetric lights switched off or clamped; everything is restored afterwards.
TEST_F(SceneAnimate, CubeMapsRenderWithTheirShowAndHideSets) {
    const std::string doc =
        std::string(kTime) +
        "{ Objects\n { O\n  kfilename STR \"a.x\"\n  name STR \"mirror\"\n }\n { O\n  kfilename STR \"b.x\"\n"
        "  name STR \"box\"\n }\n { O\n  kfilename STR \"c.x\"\n  name STR \"ball\"\n }\n}\n"
        "{ Lights\n { L\n  type I4 1\n  flags I4 32\n }\n { L\n  type I4 2\n  flags I4 32\n }\n"
        " { L\n  type I4 1\n }\n}\n"
        "{ CubeMaps\n { C\n  name STR \"mirror\"\n  textureSize I4 64\n  renderType I4 1\n  hideObject I4 1\n"
        "  { showSet\n   name STR \"mirror\"\n   name STR \"box\"\n  }\n  { hideSet\n   name STR \"box\"\n  }\n"
        "  showVolumetric I4 1\n  clampVolumetric I4 1\n  clampVolumetricMax FP 2.5\n }\n"
        " { C\n  name STR \"plain\"\n  textureSize I4 64\n  renderType I4 1\n  showVolumetric I4 2\n }\n}\n";
    ASSERT_EQ(load(doc), 0);
    rec.calls.clear();
    keSceneUpdate(0, 0);
    const Lines want = {"hideObject 100", "hideObject 101", "hideObject 102",  // show set: all hidden first
                        "showObject 100", "showObject 101",                    // then the show set shown
                        "hideObject 101", "hideObject 100",                    // hide set, then the namesake
                        "setLightVolumetricClamp 200 1 2.5",                   // a point light keeps its part
                        "setLightVolumetricOn 201 0", "setLightVolumetricClamp 201 1 2.5",
                        "renderCubeMap 400 0 0 0",
                        "showObject 100", "showObject 101", "showObject 102",
                        "setLightVolumetricOn 200 1", "setLightVolumetricClamp 200 0 1e+06",
                        "setLightVolumetricOn 201 1", "setLightVolumetricClamp 201 0 1e+06",
                        "renderCubeMap 401 0 0 0"};
    EXPECT_EQ(rec.calls, want);
}

// Camera effect parameters: first-time form at load (sample 0), update form at every animation
// while the effect is shown, none while it is hidden.
TEST_F(SceneAnimate, CameraEffectParametersFollowTheFrames) {
    ASSERT_EQ(load(std::string(kTime) +
                   "{ Cameras\n { C\n }\n}\n"
                   "{ KolmPostProcs\n { P\n  useframe I4 1\n  startframe I4 2\n  endframe I4 3\n"
                   "  { Effect\n   filename STR \"blur.fx\"\n   { Parameters\n"
                   "    { Amount\n     value FP_C DAT 5 0 1 2 3 4\n    }\n    { Noise\n     value STR \"n.png\"\n    }\n"
                   "   }\n  }\n }\n}\n"),
              0);
    EXPECT_EQ(rec.with("setCameraEffectParameters"),
              Lines{"setCameraEffectParameters 500 blur.fx first Amount:1:0 Noise:3:0"});
    std::vector<std::string> seen;
    for (int frame : {1, 2, 3, 4}) {
        rec.calls.clear();
        keSceneAnimate(0, frame * 40);
        for (const std::string& c : rec.with("setCameraEffectParameters")) seen.push_back(c);
    }
    EXPECT_EQ(seen, (Lines{"setCameraEffectParameters 500 blur.fx update Amount:1:2 Noise:3:0",
                           "setCameraEffectParameters 500 blur.fx update Amount:1:3 Noise:3:0"}));
}

TEST_F(SceneAnimate, FreeAndOutOfRangeSlotsDoNothing) {
    keScenePrepare(3);
    keSceneUpdate(3, 0);
    keScenePrepare(KE_SCENE_SLOTS);
    keSceneUpdate(-1, 0);
    EXPECT_TRUE(rec.calls.empty());
}

}  // namespace
