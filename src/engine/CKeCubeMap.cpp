#include "engine/CKeCubeMap.h"

#include <irrlicht/ISceneNode.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>

#include "core/KeError.h"
#include "engine/IKeTextureManager.h"
#include "gl/KeGlTexture.h"

namespace kolm {

using irr::u32;

IKeCubeMap* keCreateCubeMap(irr::IrrlichtDevice* device, IKeTextureManager* textures, IKeCubeFaceRenderer* faces) {
    if (!device || !textures) return nullptr;
    return new CKeCubeMap(device, textures, faces);
}

CKeCubeMap::CKeCubeMap(irr::IrrlichtDevice* device, IKeTextureManager* textures, IKeCubeFaceRenderer* faces)
    : m_driver(device->getVideoDriver()), m_textures(textures), m_faces(faces) {}

CKeCubeMap::~CKeCubeMap() {
    if (!m_texture) return;
    // Materials or node extensions that still hold the texture keep it alive until they
    // release it; the count reported includes the cube map's own reference.
    if (m_texture->getReferenceCount() > 1)
        printMessage(KE_WARN, "Cannot remove texture of cubemap still references %d on it!\n",
                     m_texture->getReferenceCount());
    m_texture->drop();
}

bool CKeCubeMap::create(u32 size, irr::s32 format) {
    if (m_texture) {
        printMessage(KE_ERROR, "cubemap texture already created");
        return false;
    }
    const irr::video::ECOLOR_FORMAT libFormat = keToLibraryColorFormat(format);
    m_texture = libFormat == irr::video::ECF_UNKNOWN ? nullptr
                                                      : keGlCreateCubeRenderTarget(m_driver, "rt", size, libFormat);
    if (!m_texture) {
        printMessage(KE_ERROR, "failed to create cubemap texture");
        return false;
    }
    m_format = format;
    m_textures->getRenderTarget(irr::core::dimension2du(size, size), format);
    return true;
}

bool CKeCubeMap::render(IKeRenderer* renderer, const irr::core::vector3df& position) {
    m_position = position;
    if (!m_texture || !m_faces || !renderer) return false;
    irr::video::ITexture* target = m_textures->getRenderTarget(m_texture->getSize(), m_format);
    if (!target || !m_faces->renderCubeMap(m_texture, target, position, renderer)) return false;
    m_rendered = true;
    return true;
}

bool CKeCubeMap::clear() {
    m_rendered = false;
    if (!m_texture) return false;
    bool ok = true;
    for (u32 face = 0; face < 6; ++face) ok = keGlClearCubeFace(m_driver, m_texture, face, irr::video::SColor(0)) && ok;
    m_driver->setRenderTarget(static_cast<irr::video::ITexture*>(nullptr), false, false);
    return ok;
}

irr::video::ITexture* CKeCubeMap::getTexture() const { return m_texture; }

u32 keClearTextureUsers(irr::scene::ISceneNode* root, const irr::video::ITexture* texture) {
    if (!root || !texture) return 0;
    u32 cleared = 0;
    for (u32 m = 0; m < root->getMaterialCount(); ++m) {
        irr::video::SMaterial& material = root->getMaterial(m);
        for (u32 layer = 0; layer < irr::video::MATERIAL_MAX_TEXTURES; ++layer) {
            if (material.getTexture(layer) == texture) {
                material.setTexture(layer, nullptr);
                ++cleared;
            }
        }
    }
    for (irr::scene::ISceneNode* child : root->getChildren()) cleared += keClearTextureUsers(child, texture);
    return cleared;
}

}  // namespace kolm
