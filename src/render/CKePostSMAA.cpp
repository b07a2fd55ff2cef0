#include "render/CKePostSMAA.h"

#include "core/KeError.h"
#include "engine/IKeTextureManager.h"
#include "fx/IKeEffect.h"
#include "gl/KeGlTarget.h"
#include "render/CKeRenderStages.h"

#include <irrlicht/IVideoDriver.h>

namespace kolm {

using namespace irr;

CKePostSMAA::~CKePostSMAA() { release(); }

void CKePostSMAA::release() {
    for (IKeEffect** e : {&m_edge, &m_weights, &m_blend})
        if (*e) (*e)->drop(), *e = nullptr;
    for (video::ITexture** t : {&m_area, &m_search})
        if (*t) (*t)->drop(), *t = nullptr;
    m_initialised = false;
}

bool CKePostSMAA::init(video::IVideoDriver* driver, IKeEffectManager* effects, IKeTextureManager* textures,
                       const char* edgeFile, const char* weightsFile, const char* blendFile, const char* areaImage,
                       const char* searchImage) {
    if (m_initialised || !driver) return false;
    m_driver = driver;
    const bool mipmaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    const bool force32 = driver->getTextureCreationFlag(video::ETCF_ALWAYS_32_BIT);
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, true);
    const struct {
        video::ITexture** texture;
        const char* file;
    } images[2] = {{&m_area, areaImage}, {&m_search, searchImage}};
    for (const auto& image : images) {
        *image.texture = textures && image.file ? textures->getTexture(image.file, false) : nullptr;
        if (*image.texture)
            (*image.texture)->grab();
        else
            printMessage(KE_ERROR, "CKePostSMAA failed to load %s", image.file ? image.file : "");
    }
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipmaps);
    driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, force32);

    const struct {
        IKeEffect** effect;
        const char* file;
    } passes[3] = {{&m_edge, edgeFile}, {&m_weights, weightsFile}, {&m_blend, blendFile}};
    for (const auto& pass : passes) {
        *pass.effect = keLppLoadEffect(effects, pass.file, nullptr);
        if (!*pass.effect) printMessage(KE_ERROR, "CKePostSMAA failed to load %s", pass.file ? pass.file : "");
    }
    if (!m_area || !m_search || !m_edge || !m_weights || !m_blend) {
        release();
        return false;
    }
    m_weights->setTexture("Tex__1", m_area, false);
    m_weights->setTexture("Tex__2", m_search, false);
    keLppApplyEffect(m_edge, m_edgeQuad.getMaterial(), m_edgeRecord);
    keLppApplyEffect(m_weights, m_weightQuad.getMaterial(), m_weightRecord);
    m_weightQuad.getMaterial().TextureLayer[1].BilinearFilter = true;
    m_weightQuad.getMaterial().TextureLayer[2].BilinearFilter = false;
    keLppApplyEffect(m_blend, m_blendQuad.getMaterial(), m_blendRecord);
    m_blendQuad.getMaterial().TextureLayer[1].BilinearFilter = true;
    m_initialised = true;
    return true;
}

void CKePostSMAA::draw(CKeScreenQuadAligned& quad, KeMaterialBinding& record, IKeEffect* effect,
                       video::ITexture* layer0, video::ITexture* layer1) {
    effect->setTexture("Tex__0", layer0, false);
    if (layer1) effect->setTexture("Tex__1", layer1, false);
    video::SMaterial& material = quad.getMaterial();
    keLppApplyEffect(effect, material, record);
    material.ZWriteEnable = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    material.BackfaceCulling = false;
    KeGlTargetOrientation orientation(m_driver);
    quad.render(m_driver);
}

void CKePostSMAA::render(video::ITexture* scene, video::ITexture* edges, video::ITexture* weights, bool toScreen) {
    if (!m_initialised || !scene || !edges || !weights) return;
    const video::SColor none(0);
    m_driver->setRenderTarget(edges, true, false, none);
    draw(m_edgeQuad, m_edgeRecord, m_edge, scene, nullptr);
    m_driver->setRenderTarget(weights, true, false, none);
    draw(m_weightQuad, m_weightRecord, m_weights, edges, nullptr);
    m_driver->setRenderTarget(toScreen ? nullptr : edges, false, false);
    draw(m_blendQuad, m_blendRecord, m_blend, scene, weights);
}

}  // namespace kolm
