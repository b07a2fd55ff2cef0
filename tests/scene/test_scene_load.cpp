// The scene loader against a recording call table: time rules and refused documents, slots,
// objects with their clones, lights, cube maps, camera effects and the progress callback.
#include "scene/KeScene.h"
#include "support/log_capture.h"
#include "support/scratch_dir.h"
#include "scene_recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace kolm;
using kolmtest::SceneRecorder;

namespace {

const char* kTime = "{ SceneInfo\n frameStart I4 0\n frameEnd I4 100\n frameStep I4 1\n framesPerSecond FP 25\n}\n";
const char* kCamera = "{ Cameras\n { Camera\n  position FP 0 1 -5\n }\n}\n";

class SceneLoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.create("/tmp/kolm-scene-")); }
    void TearDown() override {
        for (int s = 0; s < KE_SCENE_SLOTS; ++s) keSceneUnload(s);
        keSceneSetProgress(nullptr, nullptr);
        keSceneSetReporting(false);
    }
    // Writes a document whose "Scene" group holds `body`; returns its path.
    std::string scene(const std::string& body, const std::string& file = "scene.kscn") {
        const std::string path = dir.path + "/" + file;
        std::ofstream(path) << "{ Scene\n" << body << "}\n";
        return path;
    }
    int load(const std::string& path, int slot, const char* name = "demo", bool instance = false,
             bool extra = false) {
        const int o = slot * 10;  // each slot its own ID ranges
        return keSceneLoad(path.c_str(), slot, 100 + o, 200 + o, 300 + o, 400 + o, 500 + o, instance, name, extra);
    }
    ScratchDir dir;
    SceneRecorder rec;
    kolmtest::LogCapture log;
};

TEST_F(SceneLoad, TimeRules) {
    const std::string path = scene(
        std::string("{ SceneInfo\n frameStart I4 10\n frameEnd I4 110\n frameStep I4 1\n"
                    " framesPerSecond FP 25.9\n loadAudio STR \"song\"\n audioStartTime FP 0.2\n}\n") +
        kCamera);
    ASSERT_EQ(load(path, 3), 0);
    EXPECT_TRUE(keSceneActive(3));
    EXPECT_EQ(keSceneFrameRate(3), 25);
    EXPECT_EQ(keSceneLength(3), 4000);  // 100 frames at the truncated 25 frames per second
    EXPECT_EQ(keSceneFirstFrame(3), 10);
    EXPECT_FLOAT_EQ(keSceneSamplePosition(3, 2000), 2.0f * 25.9f);
    EXPECT_FLOAT_EQ(keSceneAbsoluteFrame(3, 2000), 2.0f * 25.9f + 10.0f);
    EXPECT_STREQ(keSceneMusic(3), "song");
    EXPECT_EQ(keSceneMusicOffset(3), int((10.0 / double(25.9f) - double(0.2f)) * 1000.0));

    const std::string step2 = scene(
        std::string("{ SceneInfo\n frameStart I4 10\n frameEnd I4 110\n frameStep I4 2\n framesPerSecond FP 25\n"
                    " loadAudio STR \"\"\n}\n") + kCamera, "step2.kscn");
    ASSERT_EQ(load(step2, 3), 0);
    EXPECT_FLOAT_EQ(keSceneSamplePosition(3, 2000), 25.0f);
    EXPECT_FLOAT_EQ(keSceneAbsoluteFrame(3, 2000), 60.0f);
    EXPECT_EQ(keSceneMusic(3), nullptr);  // empty counts as none
}

TEST_F(SceneLoad, RefusedDocumentsAndSlots) {
    struct Case {
        const char* info;
        const char* message;
    } cases[] = {
        {"frameStep I4 1\n framesPerSecond FP 0", "framesPerSecond 0 is below 1"},
        {"frameStep I4 1\n framesPerSecond FP 0.5", "framesPerSecond 0.5 is below 1"},
        {"frameStep I4 1\n framesPerSecond FP -25", "framesPerSecond -25 is below 1"},
        {"frameStep I4 0\n framesPerSecond FP 25", "frameStep 0 is below 1"},
        {"framesPerSecond FP 25", "frameStep 0 is below 1"},  // missing reads 0
    };
    for (const Case& c : cases) {
        log.clear();
        const std::string path = scene(std::string("{ SceneInfo\n frameEnd I4 10\n ") + c.info + "\n}\n" + kCamera);
        EXPECT_EQ(load(path, 2), -1) << c.info;
        EXPECT_FALSE(keSceneActive(2));
        ASSERT_EQ(log.boxes.size(), 1u) << c.info;
        EXPECT_EQ(log.boxes[0], "The scene '" + path + "' cannot be loaded: " + c.message);
        EXPECT_EQ(keSceneCheck(path.c_str()), -1);
    }
    EXPECT_TRUE(rec.calls.empty());

    // No file, no "Scene", and slots outside 0..59: nothing is made.
    const std::string good = scene(std::string(kTime) + kCamera + "{ Objects\n { O\n  kfilename STR \"a.x\"\n }\n}\n");
    EXPECT_EQ(keSceneLoad((dir.path + "/none.kscn").c_str(), 0, 0, 0, 0, 0, 0, false, "x", false), -1);
    std::ofstream(dir.path + "/noscene.kscn") << "{ Other\n}\n";
    EXPECT_EQ(keSceneLoad((dir.path + "/noscene.kscn").c_str(), 0, 0, 0, 0, 0, 0, false, "x", false), -1);
    EXPECT_EQ(keSceneCheck(good.c_str()), 0);  // checks without making anything
    EXPECT_EQ(load(good, -1), -1);
    EXPECT_EQ(load(good, KE_SCENE_SLOTS), -1);
    EXPECT_FALSE(keSceneActive(0));
    EXPECT_TRUE(rec.calls.empty());
    keSceneUnload(-1);
    keSceneShow(-5);
    EXPECT_EQ(keSceneObjectCount(-1), 0);
}

// Documents already in memory: the slot takes them over, and a refused one is released (the
// sanitizer builds catch a leak); a missing document is refused like a missing file.
TEST_F(SceneLoad, LoadsDocumentsFromMemory) {
    const std::string text = std::string("{ Scene\n") + kTime + kCamera +
                             "{ Objects\n { O\n  kfilename STR \"a.x\"\n }\n}\n}\n";
    auto doc = [&] { return KF_LoadMemory(text.data(), text.size()); };
    ASSERT_EQ(keSceneLoadDocument(doc(), "memory.kscn", 4, 100, 200, 300, 400, 500, false, "demo", false), 0);
    EXPECT_EQ(keSceneObjectCount(4), 1);
    EXPECT_EQ(rec.with("loadObject"), std::vector<std::string>{"loadObject a.x 100"});
    EXPECT_EQ(keSceneFrameRate(4), 25);

    EXPECT_EQ(keSceneLoadDocument(doc(), "memory.kscn", KE_SCENE_SLOTS, 0, 0, 0, 0, 0, false, "x", false), -1);
    EXPECT_EQ(keSceneLoadDocument(nullptr, "memory.kscn", 5, 0, 0, 0, 0, 0, false, "x", false), -1);
    const std::string other = "{ Other\n}\n";
    EXPECT_EQ(keSceneLoadDocument(KF_LoadMemory(other.data(), other.size()), nullptr, 5, 0, 0, 0, 0, 0, false,
                                  "x", false), -1);
    EXPECT_FALSE(keSceneActive(5));

    // Stopped by the progress callback before anything is made: the document is released.
    keSceneSetProgress([](int, void*) { return 1; }, nullptr);
    EXPECT_EQ(keSceneLoadDocument(doc(), "memory.kscn", 5, 0, 0, 0, 0, 0, false, "x", false), 1);
    EXPECT_FALSE(keSceneActive(5));
    EXPECT_EQ(rec.with("loadObject").size(), 1u);
}

TEST_F(SceneLoad, ObjectsAreClonedBySlotNameAndFile) {
    const std::string objects = std::string(kTime) + kCamera +
                                "{ Objects\n"
                                " { O\n  kfilename STR \"ground.x\"\n }\n"
                                " { O\n  kfilename STR \"cube.x\"\n }\n"
                                " { O\n  kfilename STR \"cube.x\"\n }\n"
                                " { O\n  kfilename STR \"bad.x\"\n }\n"
                                " { O\n  kfilename STR \"bad.x\"\n }\n"
                                "}\n";
    rec.failingFiles.insert("bad.x");
    keSceneSetReporting(true);
    ASSERT_EQ(load(scene(objects), 0), 0);
    EXPECT_EQ(keSceneObjectCount(0), 5);
    const std::vector<std::string> made = {"loadObject ground.x 100", "loadObject cube.x 101",
                                           "cloneObject 102 101", "loadObject bad.x 103",
                                           "loadObject bad.x 104"};  // never cloned from a failed one
    std::vector<std::string> got;
    for (const std::string& c : rec.calls)
        if (c.rfind("loadObject", 0) == 0 || c.rfind("cloneObject", 0) == 0) got.push_back(c);
    EXPECT_EQ(got, made);
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_EQ(log.boxes[0], "The object id=103 'bad.x' cannot be loaded");
    EXPECT_EQ(log.boxes[1], "The object id=104 'bad.x' cannot be loaded");

    // Another slot under the same name clones from slot 0, in instance mode by instancing; a
    // slot under another name loads its own meshes.
    rec.calls.clear();
    ASSERT_EQ(keSceneLoad(scene(objects, "b.kscn").c_str(), 1, 110, 210, 310, 410, 510, true, "demo", false), 0);
    EXPECT_EQ(rec.with("instanceObject"),
              (std::vector<std::string>{"instanceObject 110 100", "instanceObject 111 101", "instanceObject 112 101"}));
    rec.calls.clear();
    ASSERT_EQ(keSceneLoad(scene(objects, "c.kscn").c_str(), 2, 120, 220, 320, 420, 520, false, "other", false), 0);
    EXPECT_EQ(rec.with("loadObject").size(), 4u);
    EXPECT_EQ(rec.with("cloneObject"), std::vector<std::string>{"cloneObject 122 121"});

    // Everything made is hidden; unloading slot 0 deletes its own IDs only.
    EXPECT_EQ(rec.with("hideObject 12").size(), 3u);
    rec.calls.clear();
    keSceneUnload(0);
    EXPECT_FALSE(keSceneActive(0));
    EXPECT_EQ(rec.with("deleteObject"),
              (std::vector<std::string>{"deleteObject 100", "deleteObject 101", "deleteObject 102",
                                        "deleteObject 103", "deleteObject 104"}));
    EXPECT_TRUE(rec.objects.count(110));
}

TEST_F(SceneLoad, WindowsPathsInDocuments) {
    std::filesystem::create_directories(dir.path + "/Objects");
    std::ofstream(dir.path + "/Objects/Cube.x") << "xof 0303txt 0032\n";
    std::ofstream(dir.path + "/Objects/Glow.fx") << "\n";
    const std::string doc = std::string(kTime) + kCamera + "{ Objects\n { O\n  kfilename STR \"" + dir.path +
                            "\\OBJECTS\\cube.X\"\n }\n { O\n  kfilename STR \"Missing\\Thing.x\"\n }\n}\n"
                            "{ KolmPostProcs\n { P\n  { Effect\n   filename STR \"" + dir.path +
                            "\\objects\\GLOW.FX\"\n  }\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    EXPECT_EQ(rec.with("loadObject"), (std::vector<std::string>{"loadObject " + dir.path + "/Objects/Cube.x 100",
                                                                "loadObject Missing/Thing.x 101"}));
    EXPECT_EQ(rec.with("makeCameraEffectFromFile"),
              std::vector<std::string>{"makeCameraEffectFromFile 500 " + dir.path + "/Objects/Glow.fx"});
}

TEST_F(SceneLoad, ExtraScenesLockObjectsToTheCameraAndMakeNoLights) {
    const std::string doc = std::string(kTime) + kCamera +
                            "{ Objects\n { O\n  kfilename STR \"a.x\"\n }\n}\n"
                            "{ Lights\n { L\n  type I4 1\n }\n}\n"
                            "{ KolmPostProcs\n { P\n  { Effect\n   filename STR \"glow.fx\"\n  }\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 4, "extra", false, true), 0);
    EXPECT_EQ(rec.with("lockObjectOn"), std::vector<std::string>{"lockObjectOn 140"});
    EXPECT_TRUE(rec.with("makeLight").empty());
    EXPECT_TRUE(rec.with("makeCameraEffect").empty());
    EXPECT_EQ(keSceneLightCount(4), 0);
}

TEST_F(SceneLoad, Lights) {
    const std::string doc = std::string(kTime) + kCamera +
                            "{ Lights\n"
                            // distant, over-bright: each component clamps to 255 on its own
                            " { L\n  type I4 0\n  rawColor FP 1 0.5 0.004\n  intensity FP 2\n }\n"
                            // spot with range, shadows on and a shadow colour above 1
                            " { L\n  type I4 2\n  coneAngles FP 0.5 0.25\n  falloff I4 1\n  range FP 30\n"
                            "  rawColor FP 0.2 0.4 0.6\n  intensity FP 1\n  shadowType I4 2\n"
                            "  shadowColor FP 1.5 -1 0.5\n  shadMapSize I4 1024\n  shadMapFuzz FP 0.5\n }\n"
                            // spot without falloff; point
                            " { L\n  type I4 2\n  coneAngles FP 1 0\n }\n"
                            " { L\n  type I4 7\n  shadowType I4 1\n }\n"
                            "}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    EXPECT_EQ(keSceneLightCount(0), 4);
    std::vector<std::string> got;
    for (const std::string& c : rec.calls)
        if (c.find("Light") != std::string::npos || c.find("Shadow") != std::string::npos) got.push_back(c);
    const std::vector<std::string> want = {
        "makeLight 200", "setDirectionalLight 200 0 0 1", "setLightRange 200 1e+07", "colorLight 200 0xffff02",
        "setLightRawColor 200 1 0.5 0.004", "setLightIntensity 200 2", "setLightShadow 200 0",
        "setLightProjImage 200 -", "setLightVolumetricOn 200 0",
        "makeLight 201", "setSpotLight 201 14.3239 28.6479", "setLightRange 201 30", "colorLight 201 0x336699",
        "setLightRawColor 201 0.2 0.4 0.6", "setLightIntensity 201 1", "setLightShadow 201 1",
        "colorLightShadow 201 0xff007f", "setShadowMapSize 201 1024", "setShadowMapFuzz 201 0.5",
        "setLightProjImage 201 -", "setLightVolumetricOn 201 0",
        "makeLight 202", "setSpotLight 202 57.2958 57.2958", "setLightRange 202 1e+07", "colorLight 202 0x000000",
        "setLightRawColor 202 0 0 0", "setLightIntensity 202 0", "setLightShadow 202 0",
        "setLightProjImage 202 -", "setLightVolumetricOn 202 0",
        "makeLight 203", "setPointLight 203 0 0 1", "setLightRange 203 1e+07", "colorLight 203 0x000000",
        "setLightRawColor 203 0 0 0", "setLightIntensity 203 0", "setLightShadow 203 0",
        "colorLightShadow 203 0x000000", "setShadowMapSize 203 0", "setShadowMapFuzz 203 0",
        "setLightProjImage 203 -", "setLightVolumetricOn 203 0",
        "hideLight 200", "hideLight 201", "hideLight 202", "hideLight 203"};
    EXPECT_EQ(got, want);

    rec.calls.clear();
    keSceneUnload(0);
    EXPECT_EQ(rec.with("deleteLight").size(), 4u);
    EXPECT_TRUE(rec.lights.empty());
}

TEST_F(SceneLoad, AnimationUsesTheCreationConversions) {
    const std::string doc = std::string(kTime) +
                            "{ Cameras\n { C\n  position FP 4 0 0\n }\n}\n"
                            "{ Objects\n { O\n  kfilename STR \"a.x\"\n  position FP_C [\n   DAT 3 0 10 20\n   RUN 3 0\n"
                            "   RUN 3 0\n  ]\n  rotation FP 1.5707964 0 0\n  scale FP 1 0.5 2\n }\n}\n"
                            "{ Lights\n { L\n  type I4 2\n  coneAngles FP 0.5 0.1\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    ASSERT_EQ(rec.with("setSpotLight"), std::vector<std::string>{"setSpotLight 200 22.9183 28.6479"});
    rec.calls.clear();
    keSceneAnimate(0, 40);  // sample 1 at 25 frames per second
    EXPECT_EQ(rec.with("setSpotLight"), std::vector<std::string>{"setSpotLight 200 22.9183 28.6479"});
    EXPECT_EQ(rec.with("positionObject"), std::vector<std::string>{"positionObject 100 10 0 0"});
    EXPECT_EQ(rec.with("rotateObject"), std::vector<std::string>{"rotateObject 100 0 90 0"});
    EXPECT_EQ(rec.with("scaleObject"), std::vector<std::string>{"scaleObject 100 100 50 200"});

    // An extra scene's objects sit relative to its camera.
    ASSERT_EQ(load(scene(doc, "extra.kscn"), 1, "extra", false, true), 0);
    rec.calls.clear();
    keSceneAnimate(1, 40);
    EXPECT_EQ(rec.with("positionObject"), std::vector<std::string>{"positionObject 110 6 0 0"});
    EXPECT_TRUE(rec.with("setSpotLight").empty());
}

TEST_F(SceneLoad, AnimationSetsFramesAndMorphs) {
    std::string morphs = "  { Morphs\n   { M\n    value FP 0\n   }\n   { M\n    value FP_C DAT 2 0 1\n   }\n";
    for (int i = 0; i < 68; ++i) morphs += "   { M\n    value FP 1\n   }\n";
    morphs += "  }\n";
    const std::string doc = std::string(kTime) + kCamera + "{ Objects\n { O\n  kfilename STR \"a.x\"\n" + morphs +
                            " }\n { O\n  kfilename STR \"b.x\"\n" + morphs + " }\n}\n";
    rec.frames = {{100, 10}, {101, 100}};
    rec.morphs = {{100, 70}};
    ASSERT_EQ(load(scene(doc), 0), 0);
    rec.calls.clear();
    keSceneAnimate(0, 1000);  // absolute frame 25, sample 25
    EXPECT_EQ(rec.with("setObjectFrame"), (std::vector<std::string>{"setObjectFrame 100 10", "setObjectFrame 101 25"}));
    const std::vector<std::string> set = rec.with("setObjectMorph");
    ASSERT_EQ(set.size(), 1u);  // b.x is no morph mesh
    std::string want = "setObjectMorph 100 60 2:1";  // the zero weight of morph 1 is left out
    for (int i = 3; i <= 61; ++i) want += " " + std::to_string(i) + ":1";
    EXPECT_EQ(set[0], want);
}

TEST_F(SceneLoad, CameraEffectsFollowTheirFrameWindows) {
    const std::string doc = std::string(kTime) + kCamera +
                            "{ KolmPostProcs\n { P\n  { Effect\n   filename STR \"a.fx\"\n  }\n }\n"
                            " { P\n  useframe I4 1\n  startframe I4 10\n  endframe I4 20\n"
                            "  { Effect\n   filename STR \"b.fx\"\n  }\n }\n"
                            " { P\n  useframe I4 1\n  { Effect\n   filename STR \"missing.fx\"\n  }\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    std::vector<std::string> seen;
    for (int frame : {5, 6, 10, 20, 21, 15}) {  // 40 ms per frame
        rec.calls.clear();
        keSceneAnimate(0, frame * 40);
        for (const std::string& c : rec.calls)
            if (c.find("CameraEffect") != std::string::npos) seen.push_back(std::to_string(frame) + " " + c);
    }
    const std::vector<std::string> want = {"5 showCameraEffect 500", "10 showCameraEffect 501",
                                           "21 hideCameraEffect 501", "15 showCameraEffect 501"};
    EXPECT_EQ(seen, want);

    // Hiding the scene hides them and forgets that they were shown.
    keSceneHide(0);
    rec.calls.clear();
    keSceneAnimate(0, 15 * 40);
    EXPECT_EQ(rec.with("showCameraEffect"), (std::vector<std::string>{"showCameraEffect 500", "showCameraEffect 501"}));
}

TEST_F(SceneLoad, AnimationDrivesTheRenderCamera) {
    const std::string doc =
        "{ SceneInfo\n frameEnd I4 100\n frameStep I4 1\n framesPerSecond FP 25\n renderCamera FP_C DAT 2 0 7\n}\n"
        "{ LightInfo\n ambient FP 0.5 2 0\n}\n"
        "{ Cameras\n { C\n  zoomFactor FP 0\n  position FP 1 2 3\n }\n"
        " { C\n  zoomFactor FP 1\n  position FP 4 5 6\n  rotation FP 0 0 1.5707964\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    // The camera's transform and field of view, and the ambient light, in call order.
    auto cameraCalls = [&] {
        std::vector<std::string> out;
        for (const std::string& c : rec.calls)
            for (const char* prefix : {"positionCamera", "rotateCamera", "setCameraFOV", "colorAmbientLight"})
                if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    };
    rec.calls.clear();
    keSceneAnimate(0, 0);  // camera 0: a zoom factor of 0 sets no field of view
    const std::vector<std::string> first = {"positionCamera 1 2 3", "rotateCamera 0 0 0", "colorAmbientLight 0x7fff00"};
    EXPECT_EQ(cameraCalls(), first);
    rec.calls.clear();
    keSceneAnimate(0, 40);  // "renderCamera" 7 clamps to the last camera; 640 x 480 by default
    const std::vector<std::string> second = {"setCameraFOV 106.26", "positionCamera 4 5 6", "rotateCamera 0 0 90",
                                             "colorAmbientLight 0x7fff00"};
    EXPECT_EQ(cameraCalls(), second);
}

TEST_F(SceneLoad, CamerasCubeMapsAndCameraEffects) {
    std::string effects = "{ KolmPostProcs\n";
    for (int i = 0; i < 22; ++i)
        effects += std::string(" { P\n  { Effect\n   filename STR \"") + (i == 1 ? "missing.fx" : "post.fx") +
                   "\"\n  }\n }\n";
    effects += " { P\n }\n}\n";
    const std::string doc = std::string(kTime) +
                            "{ Cameras\n { C\n  resolution I4 800 600\n }\n { C\n }\n}\n"
                            "{ CubeMaps\n { M\n  name STR \"a\"\n  textureSize I4 64\n }\n"
                            " { M\n  name STR \"b\"\n  textureSize I4 0\n }\n}\n" + effects;
    keSceneSetReporting(true);
    ASSERT_EQ(load(scene(doc), 0), 0);
    EXPECT_EQ(keSceneCameraCount(0), 2);
    EXPECT_EQ(rec.with("makeCubeMap"), (std::vector<std::string>{"makeCubeMap 400 64", "makeCubeMap 401 0"}));
    EXPECT_EQ(keSceneCubeMapCount(0), 2);
    EXPECT_EQ(rec.with("makeCameraEffectFromFile").size(), 20u);
    EXPECT_EQ(keSceneCameraEffectCount(0), 20);
    EXPECT_EQ(rec.with("hideCameraEffect").size(), 19u);  // the missing one is not there
    const std::vector<std::string> boxes = {"The cubemap id=401 cannot be created",
                                            "Camera shader i=20 > max 20 camera shaders",
                                            "Camera shader i=21 > max 20 camera shaders",
                                            "Camera shader i=22 > max 20 camera shaders"};
    EXPECT_EQ(log.boxes, boxes);
    EXPECT_TRUE(log.contains("INFO : The camera shader id=501 file='missing.fx' cannot be loaded"));

    rec.calls.clear();
    keSceneUnload(0);
    EXPECT_EQ(rec.with("deleteCubeMap").size(), 4u);  // before the objects and again after them
    EXPECT_EQ(rec.with("deleteCameraEffect").size(), 20u);
    EXPECT_TRUE(rec.cameraEffects.empty());

    // No camera: a warning with a box, and the scene loads.
    log.clear();
    ASSERT_EQ(load(scene(kTime, "nocam.kscn"), 0), 0);
    EXPECT_EQ(log.boxes, std::vector<std::string>{"There is no camera in the scene"});
    EXPECT_TRUE(log.contains("WARN : There is no camera in the scene"));
}

TEST_F(SceneLoad, ObjectsWithMoreSurfacesThanTheEngineHoldsAreReported) {
    std::string surfaces;
    for (int i = 0; i < 300; ++i) surfaces += "   { S\n    name STR \"s" + std::to_string(i) + "\"\n   }\n";
    const std::string doc = std::string(kTime) + kCamera +
                            "{ Objects\n { O\n  kfilename STR \"many.x\"\n  filename STR \"many.lwo\"\n }\n"
                            " { O\n  kfilename STR \"few.x\"\n  filename STR \"few.lwo\"\n }\n}\n"
                            "{ SceneObjects\n { SO\n  filename STR \"many.lwo\"\n  { Surfaces\n" + surfaces +
                            "  }\n }\n { SO\n  filename STR \"few.lwo\"\n  { Surfaces\n   { S\n   }\n  }\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    EXPECT_EQ(log.boxes, std::vector<std::string>{
                             "The object id=100 'many.x' numSurfaces=300 > NOF_SURFACE_MAX=256. Will result in corruption"});
}

// Surfaces applied at load (sample 0): each parameter by its kind through the setter of that
// kind, textures by file; names that are not surface parameters, strings and unset values are
// left alone; a row the object lacks stops its surfaces; the object is updated from its surfaces.
TEST_F(SceneLoad, SurfacesAppliedAtLoad) {
    struct Case {
        const char* parameter;  // the parameter group inside "Parameters"
        std::vector<std::string> calls;
    } cases[] = {
        {"BaseColor\n value FP 0.5 0.25 1", {"setObjectSurfaceParamFloat3 100 0 0 0.5 0.25 1"}},
        {"Diffuse\n value FP 0.75", {"setObjectSurfaceParamFloat 100 0 2 0.75"}},
        {"Glossiness\n value FP_C DAT 3 0.2 0.4 0.6", {"setObjectSurfaceParamFloat 100 0 9 0.2"}},
        {"Sidedness\n value I4 2", {"setObjectSurfaceParamInt 100 0 31 2"}},
        {"VertexNormal\n value U4 7", {"setObjectSurfaceParamInt 100 0 38 7"}},
        {"ColorFilter\n value FP_C [\n DAT 2 1 2\n RUN 2 3\n RUN 2 4\n ]", {"setObjectSurfaceParamFloat3 100 0 21 1 3 4"}},
        {"ReflectionImage\n value FP 1\n img_filename STR \"env.png\"",
         {"setObjectSurfaceParamFloat 100 0 35 1", "setObjectSurfaceImage 100 0 35 env.png mip 1 srgb 0"}},
        {"Bump\n img_filename STR \"bump.png\"", {"setObjectSurfaceImage 100 0 8 bump.png mip 1 srgb 0"}},
        // the image's mip-map switch and colour space; bump maps are never sRGB
        {"BaseColor\n img_filename STR \"wood.png\"\n img_colorspace I4 1\n img_mipmap I4 0",
         {"setObjectSurfaceImage 100 0 0 wood.png mip 0 srgb 1"}},
        {"Bump\n img_filename STR \"bump.png\"\n img_colorspace I4 1", {"setObjectSurfaceImage 100 0 8 bump.png mip 1 srgb 0"}},
        {"Diffuse\n img_filename STR \"d.png\"\n img_colorspace I4 2", {"setObjectSurfaceImage 100 0 2 d.png mip 1 srgb 0"}},
        {"Luminosity\n value STR \"text\"", {}},
        {"Transparency", {}},
        {"NotAParameter\n value FP 1", {}},
        {"basecolor\n value FP 1", {}},  // names are exact
    };
    for (const Case& c : cases) {
        for (int s = 0; s < KE_SCENE_SLOTS; ++s) keSceneUnload(s);
        rec.calls.clear();
        const std::string doc = std::string(kTime) + kCamera +
                                "{ Objects\n { O\n  kfilename STR \"a.x\"\n  filename STR \"a.lwo\"\n }\n}\n"
                                "{ SceneObjects\n { SO\n  filename STR \"a.lwo\"\n  { Surfaces\n   { S\n"
                                "    { Parameters\n     { " + std::string(c.parameter) + "\n     }\n    }\n   }\n  }\n }\n}\n";
        ASSERT_EQ(load(scene(doc), 0), 0) << c.parameter;
        std::vector<std::string> expected = c.calls;
        expected.push_back("updateObjectFromSurfaces 100");
        EXPECT_EQ(rec.with("setObjectSurface").size() + 1, expected.size()) << c.parameter;
        std::vector<std::string> got = rec.with("setObjectSurface");
        for (const std::string& u : rec.with("updateObjectFromSurfaces")) got.push_back(u);
        EXPECT_EQ(got, expected) << c.parameter;
    }

    // Four surfaces, the object has two rows: setting the third fails and the fourth is not
    // tried. An object without a scene object (or without surfaces) gets no surface calls at all.
    for (int s = 0; s < KE_SCENE_SLOTS; ++s) keSceneUnload(s);
    rec.calls.clear();
    rec.surfaces[100] = 2;
    std::string surfaces;
    for (int k = 0; k < 4; ++k) surfaces += "   { S\n    { Parameters\n     { Diffuse\n      value FP " + std::to_string(k) + "\n     }\n    }\n   }\n";
    const std::string doc = std::string(kTime) + kCamera +
                            "{ Objects\n { O\n  kfilename STR \"a.x\"\n  filename STR \"a.lwo\"\n }\n"
                            " { O\n  kfilename STR \"b.x\"\n }\n { O\n  kfilename STR \"c.x\"\n  filename STR \"c.lwo\"\n }\n}\n"
                            "{ SceneObjects\n { SO\n  filename STR \"a.lwo\"\n  { Surfaces\n" + surfaces +
                            "  }\n }\n { SO\n  filename STR \"c.lwo\"\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    EXPECT_EQ(rec.with("setObjectSurface"),
              (std::vector<std::string>{"setObjectSurfaceParamFloat 100 0 2 0", "setObjectSurfaceParamFloat 100 1 2 1",
                                        "setObjectSurfaceParamFloat 100 2 2 2"}));
    EXPECT_EQ(rec.with("updateObjectFromSurfaces"), std::vector<std::string>{"updateObjectFromSurfaces 100"});
}

// Which surface's effect applies to each surface: override (2) before the surface's own effect
// before the default (1); 3 takes none; the last override and the last default count.
TEST(SceneSurfaceEffects, OverrideAndDefaultRules) {
    struct Surface {
        int apply;   // "applyToSurface", -1 for none
        bool effect; // has a Shader/Effect group (its file names the surface)
    };
    struct Case {
        std::vector<Surface> surfaces;
        std::string expected;  // per surface the index whose effect applies, '-' for none
    } cases[] = {
        {{{-1, false}, {-1, true}, {0, true}}, "-12"},
        {{{1, true}, {-1, false}, {0, true}, {3, true}}, "002-"},
        {{{-1, true}, {2, true}, {-1, false}, {3, false}, {1, true}}, "111-1"},
        {{{2, true}, {2, true}, {2, false}, {-1, false}}, "1111"},   // the last override with an effect
        {{{1, true}, {1, true}, {1, false}, {-1, false}}, "0111"},   // own effect before the default
        {{{3, true}, {2, false}, {1, false}}, "---"},               // 3 and effect-less 2, 1 give nothing
        {{}, ""},
    };
    for (const Case& c : cases) {
        std::string text = "{ Surfaces\n";
        for (size_t k = 0; k < c.surfaces.size(); ++k) {
            text += " { S\n  { Shader\n";
            if (c.surfaces[k].apply >= 0) text += "   applyToSurface I4 " + std::to_string(c.surfaces[k].apply) + "\n";
            if (c.surfaces[k].effect) text += "   { Effect\n    filename STR \"" + std::to_string(k) + "\"\n   }\n";
            text += "  }\n }\n";
        }
        text += "}\n";
        KF_Document* doc = KF_LoadMemory(text.data(), text.size());
        ASSERT_NE(doc, nullptr);
        const KF_Node* out[8] = {};
        const int n = keSceneSurfaceEffects(KF_Find(KF_Root(doc), "Surfaces"), out, 8);
        std::string got;
        for (int k = 0; k < n; ++k) {
            const KF_Node* f = out[k] ? KF_Find(const_cast<KF_Node*>(out[k]), "filename") : nullptr;
            got += f ? static_cast<const char*>(f->data)[0] : '-';
        }
        EXPECT_EQ(got, c.expected) << text;
        KF_Free(doc);
    }
    EXPECT_EQ(keSceneSurfaceEffects(nullptr, nullptr, 8), 0);

    // A smaller capacity limits the answer, not the search: the override of the third surface
    // still applies to the first.
    const std::string text = "{ Surfaces\n { S\n }\n { S\n }\n { S\n  { Shader\n   applyToSurface I4 2\n"
                             "   { Effect\n    filename STR \"x\"\n   }\n  }\n }\n}\n";
    KF_Document* doc = KF_LoadMemory(text.data(), text.size());
    ASSERT_NE(doc, nullptr);
    const KF_Node* out[2] = {};
    ASSERT_EQ(keSceneSurfaceEffects(KF_Find(KF_Root(doc), "Surfaces"), out, 1), 1);
    ASSERT_NE(out[0], nullptr);
    EXPECT_EQ(out[1], nullptr);
    KF_Free(doc);
}

TEST_F(SceneLoad, ShowSetsBackdropAndCameraRange) {
    const std::string doc = std::string(kTime) + kCamera + "{ Objects\n { O\n  kfilename STR \"a.x\"\n }\n}\n"
                            "{ Lights\n { L\n }\n}\n{ BackdropInfo\n zenith FP 0.5 1.5 0\n}\n"
                            "{ KolmRenderSettings\n CH_CAMERARANGE_ENABLE I4 1\n CH_CAMERARANGE_MIN FP 0.5\n"
                            " CH_CAMERARANGE_MAX FP 250\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    rec.calls.clear();
    keSceneShow(0);
    const std::vector<std::string> shown = {"showObject 100", "showLight 200", "colorBackdrop 0x7fff00",
                                            "setCameraRange 0.5 250"};
    EXPECT_EQ(rec.calls, shown);

    // Without the switch, no range; without "zenith", black; an extra scene shows objects only.
    ASSERT_EQ(load(scene(std::string(kTime) + kCamera + "{ Lights\n { L\n }\n}\n", "plain.kscn"), 1), 0);
    ASSERT_EQ(load(scene(doc, "extra.kscn"), 2, "extra", false, true), 0);
    rec.calls.clear();
    keSceneShow(1);
    keSceneShow(2);
    const std::vector<std::string> plain = {"showLight 210", "colorBackdrop 0x000000", "showObject 120"};
    EXPECT_EQ(rec.calls, plain);
}

TEST_F(SceneLoad, ParameterKinds) {
    std::string params = "{ Parameters\n"
                         " { vec3\n  value FP 1 2 3\n }\n"
                         " { arr\n  value FP_C [\n   DAT 2 0 10\n   RUN 2 5\n   RUN 2 7\n  ]\n }\n"
                         " { chan\n  value FP_C DAT 2 0 4\n }\n"
                         " { two\n  value FP 6 9\n }\n"
                         " { int\n  value I4 -3 8\n }\n"
                         " { uint\n  value U4 5\n }\n"
                         " { tex\n  value STR \"noise.png\"\n }\n"
                         " { unset\n }\n"
                         " loose FP 1\n";
    for (int i = 0; i < 30; ++i) params += " { p" + std::to_string(i) + "\n  value FP 1\n }\n";
    params += "}\n";
    const std::string path = scene(std::string(kTime) + kCamera + params);
    ASSERT_EQ(load(path, 0), 0);
    KeSceneParameter out[40];
    const int n = keSceneEvaluateParameters(KF_Find(keSceneRoot(0), "Parameters"), 0.5f, out, 40);
    ASSERT_EQ(n, 30);  // at most 30 of a list; a loose value is no parameter
    struct Want {
        const char* name;
        int kind;
        float v0, v1, v2;
        int integer;
        const char* text;
    } want[] = {
        {"vec3", 0, 1, 2, 3, 0, nullptr}, {"arr", 0, 5, 5, 7, 0, nullptr}, {"chan", 1, 2, 0, 0, 0, nullptr},
        {"two", 1, 6, 0, 0, 0, nullptr},  {"int", 2, 0, 0, 0, -3, nullptr}, {"uint", 2, 0, 0, 0, 5, nullptr},
        {"tex", 3, 0, 0, 0, 0, "noise.png"}, {"unset", -1, 0, 0, 0, 0, nullptr},
    };
    for (size_t i = 0; i < sizeof want / sizeof want[0]; ++i) {
        SCOPED_TRACE(want[i].name);
        EXPECT_STREQ(out[i].name, want[i].name);
        EXPECT_EQ(out[i].kind, want[i].kind);
        EXPECT_FLOAT_EQ(out[i].value[0], want[i].v0);
        EXPECT_FLOAT_EQ(out[i].value[1], want[i].v1);
        EXPECT_FLOAT_EQ(out[i].value[2], want[i].v2);
        EXPECT_EQ(out[i].integer, want[i].integer);
        EXPECT_STREQ(out[i].text, want[i].text);
    }
    EXPECT_STREQ(out[29].name, "p21");
    EXPECT_EQ(keSceneEvaluateParameters(KF_Find(keSceneRoot(0), "Parameters"), 0, out, 3), 3);  // the caller's room
}

TEST_F(SceneLoad, InitialCubeMapChoice) {
    const char* box = "   aabbPosition FP 0 0 0\n   aabbScale FP 1 1 1\n";
    auto use = [&](const char* name, bool boxed) {
        return std::string("  { U\n   renderCubeMap STR \"") + name + "\"\n" + (boxed ? box : "") + "  }\n";
    };
    const std::string doc =
        std::string(kTime) + kCamera + "{ CubeMaps\n { M\n  name STR \"sky\"\n  textureSize I4 8\n }\n"
        " { M\n  name STR \"room\"\n  textureSize I4 8\n }\n}\n{ Objects\n"
        " { O\n  kfilename STR \"a.x\"\n  { UseCubeMaps\n" + use("sky", false) + use("room", true) + "  }\n }\n"
        " { O\n  kfilename STR \"b.x\"\n  { UseCubeMaps\n" + use("none", true) + use("room", false) + use("sky", false) + "  }\n }\n"
        " { O\n  kfilename STR \"c.x\"\n  { UseCubeMaps\n" + use("none", true) + "  }\n }\n"
        " { O\n  kfilename STR \"d.x\"\n }\n}\n";
    ASSERT_EQ(load(scene(doc), 0), 0);
    EXPECT_EQ(keSceneObjectCubeMap(0, 0), 401);  // the boxed use wins over the first one
    EXPECT_EQ(keSceneObjectCubeMap(0, 1), 401);  // else the first whose cube map was found
    EXPECT_EQ(keSceneObjectCubeMap(0, 2), -1);
    EXPECT_EQ(keSceneObjectCubeMap(0, 3), -1);
    EXPECT_EQ(keSceneObjectCubeMap(0, 4), -1);
}

TEST_F(SceneLoad, ProgressCallback) {
    std::string doc = std::string(kTime) + kCamera + "{ Objects\n";
    for (int i = 0; i < 4; ++i) doc += " { O\n  kfilename STR \"o" + std::to_string(i) + ".x\"\n }\n";
    doc += "}\n";
    const std::string path = scene(doc);

    struct Progress {
        std::vector<int> seen;
        int stopAt = -1;
    } p;
    auto cb = [](int percent, void* user) {
        auto* pr = static_cast<Progress*>(user);
        pr->seen.push_back(percent);
        return percent == pr->stopAt ? 1 : 0;
    };
    keSceneSetProgress(cb, &p);
    ASSERT_EQ(load(path, 0), 0);
    EXPECT_EQ(p.seen, (std::vector<int>{0, 0, 25, 50, 75}));

    // Stopped halfway: what was made stays in the slot, and unloading removes it.
    p.seen.clear();
    p.stopAt = 50;
    rec.calls.clear();
    EXPECT_EQ(load(path, 1, "other"), 1);
    EXPECT_TRUE(keSceneActive(1));
    EXPECT_EQ(rec.with("loadObject").size(), 2u);
    keSceneUnload(1);
    EXPECT_EQ(rec.objects.size(), 4u);  // slot 0's

    // Stopped at 0 %: nothing is touched, not even a used slot.
    p.stopAt = 0;
    EXPECT_EQ(load(path, 0), 1);
    EXPECT_TRUE(keSceneActive(0));
    EXPECT_EQ(rec.objects.size(), 4u);
}

}  // namespace
