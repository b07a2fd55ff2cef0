#include "render/KeFrameCollector.h"

#include "engine/KeRenderPass.h"
#include "gl/KeGlTarget.h"

#include <algorithm>

#include <irrlicht/IAnimatedMesh.h>
#include <irrlicht/IAnimatedMeshSceneNode.h>
#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/ILightSceneNode.h>
#include <irrlicht/IMaterialRenderer.h>
#include <irrlicht/IMeshBuffer.h>
#include <irrlicht/IMeshSceneNode.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/IVideoDriver.h>

namespace kolm {

using irr::u32;
using irr::scene::ESNT_ANIMATED_MESH;
using irr::scene::ESNT_CAMERA;
using irr::scene::ESNT_LIGHT;
using irr::scene::ESNT_MESH;
using irr::scene::ESNT_PARTICLE_SYSTEM;
using irr::scene::ESNT_SKY_BOX;
using irr::scene::ESNT_SKY_DOME;
using irr::scene::ISceneNode;

namespace {

bool isTransparent(irr::video::IVideoDriver* driver, const irr::video::SMaterial& material) {
    irr::video::IMaterialRenderer* renderer = driver->getMaterialRenderer(material.MaterialType);
    return renderer && renderer->isTransparent();
}

// The mesh a node draws this frame, or null for nodes that are not mesh nodes.
irr::scene::IMesh* meshOf(ISceneNode* node, bool* readOnlyMaterials) {
    if (node->getType() == ESNT_MESH) {
        auto* meshNode = static_cast<irr::scene::IMeshSceneNode*>(node);
        *readOnlyMaterials = meshNode->isReadOnlyMaterials();
        return meshNode->getMesh();
    }
    if (node->getType() == ESNT_ANIMATED_MESH) {
        auto* animated = static_cast<irr::scene::IAnimatedMeshSceneNode*>(node);
        *readOnlyMaterials = animated->isReadOnlyMaterials();
        irr::scene::IAnimatedMesh* mesh = animated->getMesh();
        return mesh ? mesh->getMesh(irr::s32(animated->getFrameNr())) : nullptr;
    }
    return nullptr;
}

const irr::video::SMaterial& bufferMaterial(ISceneNode* node, irr::scene::IMeshBuffer* buffer, u32 i,
                                           bool readOnly) {
    if (readOnly || i >= node->getMaterialCount()) return buffer->getMaterial();
    return node->getMaterial(i);
}

}  // namespace

bool KeFrameCollector::collect(irr::scene::ISceneManager* smgr, u32 timeMs, bool animate) {
    m_lights.clear();
    m_sky.clear();
    m_solid.clear();
    m_transparent.clear();
    m_transparentEffect.clear();
    m_order = 0;
    m_smgr = smgr;
    m_driver = smgr ? smgr->getVideoDriver() : nullptr;
    m_camera = smgr ? smgr->getActiveCamera() : nullptr;
    if (!smgr || !m_driver) return false;
    ISceneNode* root = smgr->getRootSceneNode();
    if (animate) root->OnAnimate(timeMs);
    if (!m_camera) return false;
    // Updates the camera's view and frustum (and the driver's matrices) before culling.
    m_camera->render();
    for (ISceneNode* child : root->getChildren()) walk(child);

    auto backToFront = [](const Entry& a, const Entry& b) {
        if (a.distanceSq != b.distanceSq) return a.distanceSq > b.distanceSq;
        return a.order < b.order;
    };
    std::sort(m_transparent.begin(), m_transparent.end(), backToFront);
    std::sort(m_transparentEffect.begin(), m_transparentEffect.end(), backToFront);
    // Nearest first; the graph order breaks ties (stable_sort would allocate).
    std::sort(m_lights.begin(), m_lights.end(), [](const LightEntry& a, const LightEntry& b) {
        if (a.distanceSq != b.distanceSq) return a.distanceSq < b.distanceSq;
        return a.order < b.order;
    });
    m_lightNodes.clear();
    for (const LightEntry& l : m_lights) m_lightNodes.push_back(l.light);
    return true;
}

void KeFrameCollector::walk(ISceneNode* node) {
    if (!node->isVisible()) return;
    classify(node);
    for (ISceneNode* child : node->getChildren()) walk(child);
}

void KeFrameCollector::classify(ISceneNode* node) {
    const irr::scene::ESCENE_NODE_TYPE type = node->getType();
    if (type == ESNT_CAMERA) return;
    if (type == ESNT_LIGHT) {
        m_lights.push_back({static_cast<irr::scene::ILightSceneNode*>(node),
                            node->getAbsolutePosition().getDistanceFromSQ(m_camera->getAbsolutePosition()), m_order++});
        return;
    }
    const Entry entry{node, node->getAbsolutePosition().getDistanceFromSQ(m_camera->getAbsolutePosition()), m_order++};
    if (type == ESNT_SKY_BOX || type == ESNT_SKY_DOME) {
        m_sky.push_back(entry);
        return;
    }
    if (node->getMaterialCount() == 0 || m_smgr->isCulled(node)) return;
    if (type == ESNT_PARTICLE_SYSTEM) {
        m_transparentEffect.push_back(entry);
        return;
    }
    bool solid = false, transparent = false;
    bool readOnly = false;
    if (irr::scene::IMesh* mesh = meshOf(node, &readOnly)) {
        for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
            if (isTransparent(m_driver, bufferMaterial(node, mesh->getMeshBuffer(i), i, readOnly)))
                transparent = true;
            else
                solid = true;
        }
    } else {
        for (u32 i = 0; i < node->getMaterialCount(); ++i) {
            if (isTransparent(m_driver, node->getMaterial(i))) transparent = true;
        }
        solid = !transparent;
    }
    if (solid) m_solid.push_back(entry);
    if (transparent) m_transparent.push_back(entry);
}

void KeFrameCollector::applyLights(irr::video::IVideoDriver* driver) const {
    driver->deleteAllDynamicLights();
    if (m_smgr) driver->setAmbientLight(m_smgr->getAmbientLight());
    const u32 room = driver->getMaximalDynamicLightAmount();
    for (u32 i = 0; i < m_lightNodes.size() && i < room; ++i) {
        irr::scene::ILightSceneNode* light = m_lightNodes[i];
        irr::video::SLight data = light->getLightData();
        data.Position = light->getAbsolutePosition();
        if (data.Type == irr::video::ELT_SPOT || data.Type == irr::video::ELT_DIRECTIONAL) {
            irr::core::vector3df direction(0.f, 0.f, 1.f);
            light->getAbsoluteTransformation().rotateVect(direction);
            data.Direction = direction.normalize();
        }
        driver->addDynamicLight(data);
    }
}

void KeFrameCollector::applyCamera() const {
    if (m_camera) m_camera->render();
}

void KeFrameCollector::drawNode(irr::video::IVideoDriver* driver, ISceneNode* node, Pass pass) {
    bool readOnly = false;
    irr::scene::IMesh* mesh = meshOf(node, &readOnly);
    if (!mesh) {
        node->render();
        return;
    }
    driver->setTransform(irr::video::ETS_WORLD, node->getAbsoluteTransformation());
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        irr::scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        const irr::video::SMaterial& material = bufferMaterial(node, buffer, i, readOnly);
        if (isTransparent(driver, material) != (pass != PASS_SOLID)) continue;
        driver->setMaterial(material);
        driver->drawMeshBuffer(buffer);
    }
}

irr::s32 KeFrameCollector::libraryPass(Pass pass) {
    return pass == PASS_SOLID ? irr::scene::ESNRP_SOLID
           : pass == PASS_TRANSPARENT ? irr::scene::ESNRP_TRANSPARENT
                                      : irr::scene::ESNRP_TRANSPARENT_EFFECT;
}

void KeFrameCollector::drawList(irr::video::IVideoDriver* driver, const std::vector<Entry>& list, Pass pass) const {
    KeGlTargetOrientation orientation(driver);  // a target's row 0 is the top of its picture
    KeRenderPassScope scope(irr::scene::E_SCENE_NODE_RENDER_PASS(libraryPass(pass)));
    for (const Entry& entry : list) drawNode(driver, entry.node, pass);
}

void KeFrameCollector::drawAll(irr::video::IVideoDriver* driver) const {
    if (!m_camera) return;
    applyCamera();
    applyLights(driver);
    drawList(driver, m_sky, PASS_SOLID);
    drawList(driver, m_solid, PASS_SOLID);
    drawList(driver, m_transparent, PASS_TRANSPARENT);
    drawList(driver, m_transparentEffect, PASS_TRANSPARENT_EFFECT);
}

}  // namespace kolm
