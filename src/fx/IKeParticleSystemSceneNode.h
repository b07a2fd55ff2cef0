// A particle system scene node: places an fx emitter in the scene graph, feeds it the node's
// absolute transformation, the active camera's position (the sort origin) and the animation
// time, and draws its live particles as camera-facing quads shaped by the effect of its
// material (registered for the transparent pass).
//
// What the effect receives (one rule for both drawing paths): per corner the corner (u, v) in
// TEXCOORD0; per particle its world position in POSITION0, (birth, death, 0) in seconds in
// NORMAL0 and its velocity in TANGENT0.
#pragma once

#include <irrlicht/ISceneNode.h>

namespace kolm {

class CKeFxEmitter;

class IKeParticleSystemSceneNode : public irr::scene::ISceneNode {
public:
    IKeParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* smgr, irr::s32 id)
        : irr::scene::ISceneNode(parent, smgr, id) {}
    // Drawing on or off; the emitter keeps running either way.
    virtual void setRenderEnabled(bool enabled) = 0;
    virtual CKeFxEmitter* getEmitter() = 0;
    // Draws with hardware instancing; false when this node or driver cannot (nothing drawn).
    virtual bool renderInstancing() = 0;
    // Draws quads built on the CPU (at most 16384 per node).
    virtual void renderQuads() = 0;
};

}  // namespace kolm
