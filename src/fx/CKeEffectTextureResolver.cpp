#include "fx/CKeEffectTextureResolver.h"

#include "engine/IKeTextureManager.h"
#include "files/KeFilePaths.h"
#include "fx/KeEffectRecords.h"

#include <cstring>
#include <string>

namespace kolm {

using namespace irr;

video::ITexture* CKeEffectTextureResolver::resolve(s32 type, const c8* semantic, const c8* imageUrl,
                                                   const c8* effectDirectory,
                                                   const core::array<core::stringc>& textureDirectories, bool& failed) {
    failed = false;
    IKeTextureManager* textures = m_ctx ? m_ctx->textures : nullptr;
    if (semantic && *semantic) return textures ? textures->findTexture(semantic) : nullptr;
    if (!imageUrl || !*imageUrl) return nullptr;
    std::string url = imageUrl;
    const size_t at = url.find("file://");
    if (at != std::string::npos) url = url.substr(at + 7);
    if (url.empty()) return nullptr;
    auto exists = [](const std::string& p) { return keFileExist(p.c_str()) == 1; };
    std::string path;
    if (exists(url)) {
        path = url;
    } else if (effectDirectory && exists(std::string(effectDirectory) + "/" + url)) {
        path = std::string(effectDirectory) + "/" + url;
    } else {
        for (u32 i = 0; i < textureDirectories.size() && path.empty(); ++i) {
            const std::string p = std::string(textureDirectories[i].c_str()) + "/" + url;
            if (exists(p)) path = p;
        }
    }
    if (path.empty()) {
        failed = true;
        return nullptr;
    }
    if (type != KE_FXP_SAMPLER1D && type != KE_FXP_SAMPLER2D && type != KE_FXP_SAMPLER3D &&
        type != KE_FXP_SAMPLERCUBE)
        return nullptr;
    video::ITexture* t = textures ? textures->getTextureOfType(path.c_str(), type) : nullptr;
    if (!t) failed = true;
    return t;
}

}  // namespace kolm
