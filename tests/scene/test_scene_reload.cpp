// Live reload against a recording call table: which items a changed document deletes and makes
// again, finishes again or leaves alone; a document that does not load leaves the running scene
// as it was; the new description replaces the old one whole.
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

using Lines = std::vector<std::string>;

// Two objects (the second with a surface), two lights, two cube maps, one camera effect.
const std::string kBase =
    "{ Scene\n"
    " { SceneInfo\n  frameStart I4 0\n  frameEnd I4 2\n  frameStep I4 1\n  framesPerSecond FP 25\n }\n"
    " { ColorSpace\n  ColorSpace8BitFiles I4 0\n }\n"
    " { Cameras\n  { C\n   position FP 0 0 0\n  }\n }\n"
    " { CubeMaps\n  { C\n   name STR \"a\"\n   textureSize I4 64\n  }\n  { C\n   name STR \"b\"\n   textureSize I4 32\n  }\n }\n"
    " { Objects\n"
    "  { O\n   kfilename STR \"one.x\"\n   position FP 1 0 0\n   shadowOpts I4 0\n  }\n"
    "  { O\n   kfilename STR \"two.x\"\n   filename STR \"two.lwo\"\n   position FP 2 0 0\n  }\n"
    " }\n"
    " { SceneObjects\n  { S\n   filename STR \"two.lwo\"\n   { Surfaces\n    { Surf\n     { Parameters\n"
    "      { BaseColor\n       value FP 1 1 1\n       img_filename STR \"wood.png\"\n      }\n"
    "      { Transparency\n       value FP 0\n      }\n     }\n    }\n   }\n  }\n }\n"
    " { Lights\n  { L\n   type I4 0\n   position FP 0 5 0\n  }\n  { L\n   type I4 1\n  }\n }\n"
    " { KolmPostProcs\n  { P\n   { Effect\n    filename STR \"post.fx\"\n   }\n  }\n }\n"
    "}\n";

class SceneReload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.create("/tmp/kolm-reload-"));
        path = dir.path + "/scene.kscn";
    }
    void TearDown() override { keSceneUnload(1); }
    void write(const std::string& text) { std::ofstream(path) << text; }
    void loadBase() {
        write(kBase);
        ASSERT_EQ(keSceneLoad(path.c_str(), 1, 10, 20, 30, 40, 50, false, "scene", false), 0) << log.text;
        keSceneShow(1);
        rec.calls.clear();
    }
    // kBase with `from` replaced by `to` (which must be there).
    static std::string edit(const std::string& from, const std::string& to, std::string text = kBase) {
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    }
    // The calls that make, delete, set up or finish items.
    Lines structural() const {
        Lines out;
        for (const std::string& c : rec.calls)
            for (const char* p : {"loadObject", "cloneObject", "deleteObject", "makeLight", "deleteLight",
                                  "setDirectionalLight", "setPointLight", "setSpotLight", "makeCubeMap",
                                  "deleteCubeMap", "makeCameraEffectFromFile", "deleteCameraEffect",
                                  "updateObjectFromSurfaces", "renderCubeMap", "setCameraEffectParameters"})
                if (c.rfind(p, 0) == 0 && c.compare(0, std::string(p).size() + 1, std::string(p) + " ") == 0) {
                    out.push_back(c);
                    break;
                }
        return out;
    }
    ScratchDir dir;
    std::string path;
    SceneRecorder rec;
    kolmtest::LogCapture log;
};

TEST_F(SceneReload, WhatEachChangeMakesAgain) {
    struct Case {
        const char* what;
        std::string document;
        Lines expected;
    } cases[] = {
        {"nothing", kBase, {}},
        {"a mesh file: all objects, never cloned",
         edit("\"one.x\"", "\"uno.x\""),
         {"deleteObject 10", "deleteObject 11", "loadObject uno.x 10", "loadObject two.x 11",
          "updateObjectFromSurfaces 11"}},
        {"the 8-bit colour space: all objects",
         edit("ColorSpace8BitFiles I4 0", "ColorSpace8BitFiles I4 1"),
         {"deleteObject 10", "deleteObject 11", "loadObject one.x 10", "loadObject two.x 11",
          "updateObjectFromSurfaces 11"}},
        {"a surface image: that object",
         edit("wood.png", "stone.png"),
         {"deleteObject 11", "loadObject two.x 11", "updateObjectFromSurfaces 11"}},
        {"transparency becoming non-zero: that object",
         edit("{ Transparency\n       value FP 0", "{ Transparency\n       value FP 0.5"),
         {"deleteObject 11", "loadObject two.x 11", "updateObjectFromSurfaces 11"}},
        {"a surface colour: nothing (it follows at the next animation)", edit("value FP 1 1 1", "value FP 1 0 0"), {}},
        {"shadow options: finished again only",
         edit("\"two.lwo\"\n   position", "\"two.lwo\"\n   shadowOpts I4 2\n   position"),
         {"updateObjectFromSurfaces 11"}},
        {"a light's type: set up again", edit("type I4 1\n", "type I4 2\n"), {"setSpotLight 21 0 0"}},
        {"the light count: all lights",
         edit("  { L\n   type I4 1\n  }\n", "  { L\n   type I4 1\n  }\n  { L\n   type I4 0\n  }\n"),
         {"deleteLight 20", "deleteLight 21", "makeLight 20", "setDirectionalLight 20 0 0 1", "makeLight 21",
          "setPointLight 21 0 0 1", "makeLight 22", "setDirectionalLight 22 0 0 1"}},
        {"a cube map's size: that cube map, then the cube maps render",
         edit("textureSize I4 32", "textureSize I4 16"),
         {"deleteCubeMap 41", "makeCubeMap 41 16", "renderCubeMap 40 0 0 0", "renderCubeMap 41 0 0 0"}},
        {"a cube map's name: all cube maps",
         edit("name STR \"b\"", "name STR \"c\""),
         {"deleteCubeMap 40", "deleteCubeMap 41", "makeCubeMap 40 64", "makeCubeMap 41 32", "renderCubeMap 40 0 0 0",
          "renderCubeMap 41 0 0 0"}},
        {"a camera effect's file: all camera effects",
         edit("post.fx", "blur.fx"),
         {"deleteCameraEffect 50", "makeCameraEffectFromFile 50 blur.fx"}},
        {"a camera effect's parameter names: set again, first-time form",
         edit("filename STR \"post.fx\"\n", "filename STR \"post.fx\"\n    { Parameters\n     { Gain\n      value FP 2\n"
                                             "     }\n    }\n"),
         {"setCameraEffectParameters 50 post.fx first Gain:1:2"}},
        {"a longer scene: the cube maps render twice each",
         edit("frameEnd I4 2", "frameEnd I4 3"),
         {"renderCubeMap 40 0 0 0", "renderCubeMap 41 0 0 0", "renderCubeMap 40 0 0 0", "renderCubeMap 41 0 0 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        loadBase();
        write(c.document);
        ASSERT_EQ(keSceneReload(path.c_str(), 1), 0) << log.text;
        EXPECT_EQ(structural(), c.expected);
    }
}

// Remade items take the slot's visibility, and the light extension of a remade light is set up
// as at load.
TEST_F(SceneReload, RemadeItemsAreShownLikeTheSlot) {
    loadBase();
    write(edit("wood.png", "stone.png"));
    ASSERT_EQ(keSceneReload(path.c_str(), 1), 0);
    EXPECT_EQ(rec.with("showObject"), Lines{"showObject 11"});
    keSceneHide(1);
    rec.calls.clear();
    write(kBase);
    ASSERT_EQ(keSceneReload(path.c_str(), 1), 0);
    EXPECT_EQ(rec.with("hideObject"), Lines{"hideObject 11"});
}

// A document that cannot be loaded (half written, not KF, refused by the time rules, gone)
// changes nothing: the slot animates its old scene.
TEST_F(SceneReload, AFailedReloadKeepsTheRunningScene) {
    const std::string half = kBase.substr(0, kBase.size() / 2);
    for (const std::string& bad : {half, std::string("not a document"),
                                   edit("framesPerSecond FP 25", "framesPerSecond FP 0"), std::string()}) {
        loadBase();
        if (bad.empty())
            std::remove(path.c_str());
        else
            write(bad);
        EXPECT_EQ(keSceneReload(path.c_str(), 1), -1);
        EXPECT_EQ(structural(), Lines{});
        EXPECT_EQ(keSceneObjectCount(1), 2);
        rec.calls.clear();
        keSceneAnimate(1, 0);
        EXPECT_EQ(rec.with("positionObject"), (Lines{"positionObject 10 1 0 0", "positionObject 11 2 0 0"}));
    }
    EXPECT_EQ(keSceneReload(path.c_str(), 7), -1);  // a free slot
    EXPECT_EQ(keSceneReload(nullptr, 1), -1);
}

// After a reload the slot animates from the new document only (the old one is freed: under the
// address sanitizer any pointer left into it would show).
TEST_F(SceneReload, TheNewDescriptionReplacesTheOld) {
    loadBase();
    write(edit("position FP 2 0 0", "position FP 7 0 0"));
    ASSERT_EQ(keSceneReload(path.c_str(), 1), 0);
    write(kBase);  // the file changes again; the slot keeps what it read
    rec.calls.clear();
    keSceneAnimate(1, 0);
    EXPECT_EQ(rec.with("positionObject"), (Lines{"positionObject 10 1 0 0", "positionObject 11 7 0 0"}));
    EXPECT_EQ(rec.with("setObjectSurfaceParamFloat3"), Lines{"setObjectSurfaceParamFloat3 11 0 0 1 1 1"});
}

}  // namespace
