// The texture manager (see IKeTextureManager.h).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/IKeTextureManager.h"

namespace irr {
namespace io {
class IFileSystem;
}
namespace video {
class IImage;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

class CKeGlTexture;
struct KeDdsImage;

class CKeTextureManager : public IKeTextureManager {
public:
    explicit CKeTextureManager(irr::IrrlichtDevice* device);
    ~CKeTextureManager() override;

    irr::video::ITexture* getTexture(const irr::io::path& file, bool mipmaps) override;
    irr::video::ITexture* getTextureOfType(const irr::io::path& file, irr::s32 type) override;
    irr::video::ITexture* getCubeTexture(const irr::io::path& file, bool mipmaps) override;
    irr::video::ITexture* getTextureAuto(const irr::io::path& file, bool mipmaps) override;
    irr::video::ITexture* getFloatTexture(const irr::io::path& file) override;
    irr::video::ITexture* get3DTexture(const irr::io::path& file) override;
    irr::video::ITexture* getRandRot() override;
    irr::video::ITexture* getRandVec() override;
    irr::video::ITexture* findTexture(const irr::io::path& name) override;
    irr::video::ITexture* getRenderTarget(const irr::core::dimension2du& size, irr::s32 format) override;

    // The six face file names of `file` (base00.ext ... base05.ext).
    static void faceFileNames(const irr::io::path& file, irr::io::path names[6]);

private:
    // Engine-owned cube and volume textures, one reference each, kept apart by kind so that a
    // volume and a 2D or cube texture of the same file never stand in for each other.
    struct OwnedTexture {
        irr::io::path key;
        CKeGlTexture* texture;
    };
    // The mip-map mode a texture was created in through this manager.
    struct TextureMode {
        irr::video::ITexture* texture;
        bool mipmaps;
    };

    irr::video::ITexture* findOwned(const std::vector<OwnedTexture>& list, const irr::io::path& key) const;
    void warnModeIfDifferent(irr::video::ITexture* texture, bool mipmaps, const irr::io::path& file);
    void rememberMode(irr::video::ITexture* texture, bool mipmaps);
    irr::video::ITexture* addGenerated(const char* name, irr::u32 edge, void (*generate)(uint32_t*));
    bool readDds(const irr::io::path& file, KeDdsImage& image);
    irr::video::ITexture* volumeFromDds(const irr::io::path& file);
    irr::video::ITexture* volumeFromStrip(const irr::io::path& file);

    irr::video::IVideoDriver* m_driver;
    irr::io::IFileSystem* m_fileSystem;
    std::vector<SRenderTexture> m_renderTargets;  // sorted by (width, height, format)
    std::vector<CKeGlTexture*> m_ownedTargets;    // null-driver render target twins
    std::vector<OwnedTexture> m_cubes;
    std::vector<OwnedTexture> m_volumes;
    std::vector<OwnedTexture> m_floats;
    std::vector<TextureMode> m_modes;
};

}  // namespace kolm
