// A running engine on the null driver for the effect, camera effect and surface commands, with
// the error reporter captured, objects made of cube nodes registered by hand, and every effect
// and camera effect deleted before the engine stops.
#pragma once

#include "api/KeCameraEffectApi.h"
#include "api/KeEffectApi.h"
#include "core/KeError.h"
#include "core/KeIdTableKinds.h"
#include "engine/IKeManager.h"
#include "fx/CKeSceneNodeExt.h"
#include "fx/IKeSurfaceLightwave.h"
#include "fx/IKeSurfaceManager.h"
#include "runtime/KeEngine.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace apitest {

inline std::string dataFile(const char* name) { return std::string(KOLM_TEST_DATA_DIR) + "/api/" + name; }

// The pending error with its argument index as "index:text" ("none" when nothing is pending);
// the error is cleared.
inline std::string lastError() {
    int index = 0;
    const char* text = kolm::takeLastError(&index);
    std::string out = text ? std::to_string(index) + ":" + text : "none";
    kolm::clearLastError();
    return out;
}

class EngineNull : public ::testing::Test {
protected:
    void SetUp() override {
        kolm::keSetEngineDriverType(irr::video::EDT_NULL);
        ASSERT_EQ(kolm::keStartEngine(kolm::EngineSetup()), 0);
        log.install();
    }
    void TearDown() override {
        kolm::keDeleteAllCameraEffects();
        kolm::keDeleteAllEffects();
        for (int id = 0; id < kCells; ++id)
            if (cells[id].node) kolm::keIdTableRemove(kolm::keEngineContext().idLists.object, id);
        kolm::keStopEngine();
        kolm::keSetEngineDriverType(irr::video::EDT_OPENGL);
    }

    // A cube node (one material) under object ID `id`, with a node extension whose row 0 holds a
    // new LightWave surface unless `withExtension` is false.
    irr::scene::ISceneNode* object(int id, bool withExtension = true) {
        cells[id].node = kolm::keEngineContext().sceneManager->addCubeSceneNode(1.0f);
        kolm::keIdTableAdd(kolm::keEngineContext().idLists.object, id, &cells[id]);
        if (withExtension) {
            kolm::IKeSurface* surface = kolm::keEngineManager()->getSurfaceManager()->createSurface("lightwave");
            kolm::keGetNodeExt(cells[id].node)->setSurface(0, surface);
            surface->drop();
        }
        return cells[id].node;
    }
    kolm::IKeSurfaceLightwave* surfaceOf(int id) {
        return dynamic_cast<kolm::IKeSurfaceLightwave*>(kolm::keFindNodeExt(cells[id].node)->getSurface(0));
    }

    static constexpr int kCells = 4;
    kolmtest::LogCapture log;
    kolm::KeNodeCell cells[kCells];
};

}  // namespace apitest
