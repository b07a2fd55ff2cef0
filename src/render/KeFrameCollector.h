// The frame collector: walks the library's scene graph once per frame and sorts what is to be
// drawn into passes, so that renderers can draw the passes in their own order (the light
// pre-pass renderer draws solids several times, with different materials).
//
// collect: animate the graph (optional), update the active camera, skip invisible subtrees,
// cull nodes against the camera, and sort each visible node into lights, sky, solid,
// transparent and transparent-effect (particle systems) lists. A mesh node whose buffers are
// partly transparent is in both the solid and the transparent list and each pass draws only
// its own buffers. Transparent and transparent-effect nodes are sorted back to front by the
// distance of their position from the camera, lights front to back; ties keep the graph order.
//
// Once the lists have grown to the scene's size, collecting and drawing allocate nothing.
#pragma once

#include <vector>

#include <irrlicht/irrTypes.h>

namespace irr {
namespace scene {
class ICameraSceneNode;
class ILightSceneNode;
class IMesh;
class ISceneManager;
class ISceneNode;
}  // namespace scene
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace kolm {

class KeFrameCollector {
public:
    enum Pass { PASS_SOLID, PASS_TRANSPARENT, PASS_TRANSPARENT_EFFECT };

    struct Entry {
        irr::scene::ISceneNode* node;
        irr::f32 distanceSq;  // from the camera, world units squared
        irr::u32 order;       // graph order, for stable sorting
    };

    // Collects the scene of `smgr` as seen by its active camera. `timeMs` is the animation
    // time handed to the nodes' animators when `animate` is set. False when there is no
    // active camera (the lists are then empty).
    bool collect(irr::scene::ISceneManager* smgr, irr::u32 timeMs, bool animate = true);

    irr::scene::ICameraSceneNode* getCamera() const { return m_camera; }
    // Nearest to the camera first.
    const std::vector<irr::scene::ILightSceneNode*>& getLights() const { return m_lightNodes; }
    const std::vector<Entry>& getSky() const { return m_sky; }
    const std::vector<Entry>& getSolid() const { return m_solid; }
    const std::vector<Entry>& getTransparent() const { return m_transparent; }
    const std::vector<Entry>& getTransparentEffect() const { return m_transparentEffect; }

    // Puts the collected lights (at their current world positions; the nearest ones when there
    // are more than the driver can use) and the scene's ambient light into the driver,
    // replacing the driver's dynamic lights.
    void applyLights(irr::video::IVideoDriver* driver) const;
    // Sets the camera's view and projection into the driver.
    void applyCamera() const;
    // Draws one list: the buffers of mesh nodes that belong to `pass`, other nodes whole. The
    // engine's current pass (engine/KeRenderPass.h) is the list's while it draws.
    void drawList(irr::video::IVideoDriver* driver, const std::vector<Entry>& list, Pass pass) const;
    // Draws one node as drawList does: of a mesh node the buffers that belong to `pass` (the
    // current render target's orientation rule must be in force), any other node whole.
    static void drawNode(irr::video::IVideoDriver* driver, irr::scene::ISceneNode* node, Pass pass);
    // The library's pass of each of ours.
    static irr::s32 libraryPass(Pass pass);
    // Camera, lights, then sky, solid, transparent and transparent-effect nodes, the order the
    // scene manager uses.
    void drawAll(irr::video::IVideoDriver* driver) const;

private:
    void walk(irr::scene::ISceneNode* node);
    void classify(irr::scene::ISceneNode* node);

    irr::scene::ISceneManager* m_smgr = nullptr;
    irr::video::IVideoDriver* m_driver = nullptr;
    irr::scene::ICameraSceneNode* m_camera = nullptr;
    irr::u32 m_order = 0;
    struct LightEntry {
        irr::scene::ILightSceneNode* light;
        irr::f32 distanceSq;
        irr::u32 order;
    };
    std::vector<LightEntry> m_lights;
    std::vector<irr::scene::ILightSceneNode*> m_lightNodes;
    std::vector<Entry> m_sky;
    std::vector<Entry> m_solid;
    std::vector<Entry> m_transparent;
    std::vector<Entry> m_transparentEffect;
};

}  // namespace kolm
