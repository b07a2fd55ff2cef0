// The texture manager: the engine's one place for obtaining textures.
//
// File textures (with a chosen mip-map mode), cube textures assembled from six face files,
// volume textures (from a strip image or a DDS file), single-channel float copies, the two
// generated noise textures and shared render targets cached by (size, format).
//
// Colour formats: every `format` argument here uses the engine's colour format numbers
// (KeColorFormat below), not the library's ECOLOR_FORMAT values: 0-3 are the library's
// 16/32-bit formats, 12 is half-float RGBA and 13 is 32-bit float red. Use
// keToLibraryColorFormat to convert.
//
// 2D textures are the library's own and cached by its video driver under their names. Cube
// and volume textures are the engine's own texture objects (see platform/gl/KeGlTexture.h):
// the library's fixed-function path does not bind them; shader materials bind them with
// keGlBindTexture.
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/ITexture.h>
#include <irrlicht/dimension2d.h>
#include <irrlicht/irrTypes.h>
#include <irrlicht/path.h>

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

// The engine's colour format numbers. The library has no compressed formats, so 4-9 have no
// equivalent and are refused where a texture must be created.
enum KeColorFormat : irr::s32 {
    KE_CF_A1R5G5B5 = 0,
    KE_CF_R5G6B5 = 1,
    KE_CF_R8G8B8 = 2,
    KE_CF_A8R8G8B8 = 3,
    KE_CF_R16F = 10,
    KE_CF_G16R16F = 11,
    KE_CF_A16B16G16R16F = 12,
    KE_CF_R32F = 13,
    KE_CF_G32R32F = 14,
    KE_CF_A32B32G32R32F = 15,
};

// Engine format number -> library format; ECF_UNKNOWN for numbers without an equivalent.
irr::video::ECOLOR_FORMAT keToLibraryColorFormat(irr::s32 format);
// Library format -> engine format number; -1 for ECF_UNKNOWN.
irr::s32 keFromLibraryColorFormat(irr::video::ECOLOR_FORMAT format);

// Texture types of getTextureOfType.
enum KeTextureType : irr::s32 {
    KE_TEXTURE_VOLUME = 10,
    KE_TEXTURE_CUBE = 12,
};

// One shared render target of the cache.
struct SRenderTexture {
    irr::u32 width = 0;
    irr::u32 height = 0;
    irr::s32 format = 0;  // engine format number
    irr::video::ITexture* texture = nullptr;
};

class IKeTextureManager : public virtual irr::IReferenceCounted {
public:
    // Frees the render-target cache (the textures stay with the driver).
    virtual ~IKeTextureManager() {}

    // Loads or finds a file texture. The driver's mip-map creation flag is set to `mipmaps`
    // while loading and restored afterwards. A texture already loaded in the other mode is
    // returned as it is, with a warning. Null when the file cannot be loaded.
    virtual irr::video::ITexture* getTexture(const irr::io::path& file, bool mipmaps) = 0;
    // Type KE_TEXTURE_VOLUME: get3DTexture; KE_TEXTURE_CUBE: getCubeTexture with mip-maps;
    // anything else: getTexture with mip-maps.
    virtual irr::video::ITexture* getTextureOfType(const irr::io::path& file, irr::s32 type) = 0;
    // Cube texture from the six face files base00.ext ... base05.ext (+X, -X, +Y, -Y, +Z,
    // -Z), cached under file + "_cube". Null (and nothing kept) when a face is missing, unless
    // `file` is itself a DDS cube map, which then gives the six faces.
    virtual irr::video::ITexture* getCubeTexture(const irr::io::path& file, bool mipmaps) = 0;
    // getCubeTexture when all six face files of `file` exist, else getTexture.
    virtual irr::video::ITexture* getTextureAuto(const irr::io::path& file, bool mipmaps) = 0;
    // Single-channel 32-bit float copy of an image file, cached as file + "_r32f".
    virtual irr::video::ITexture* getFloatTexture(const irr::io::path& file) = 0;
    // Volume texture: a ".dds" volume file, or an R8G8B8 strip of n slices n x n side by side
    // (width n * n, height n). Volumes are kept apart from 2D textures of the same name.
    virtual irr::video::ITexture* get3DTexture(const irr::io::path& file) = 0;
    // The generated noise textures "RandRot" (64 x 64) and "RandVec" (512 x 512).
    virtual irr::video::ITexture* getRandRot() = 0;
    virtual irr::video::ITexture* getRandVec() = 0;
    // A loaded texture of that name (2D, then cube and volume textures of this manager);
    // "RandRot" and "RandVec" are generated on demand; else null.
    virtual irr::video::ITexture* findTexture(const irr::io::path& name) = 0;
    // The render target of that size and engine format, shared by every caller asking for
    // the same pair. Null (with an error) when the driver cannot make it.
    virtual irr::video::ITexture* getRenderTarget(const irr::core::dimension2du& size, irr::s32 format) = 0;
};

// A new texture manager for the device (one reference, held by the caller). The device must
// outlive it.
IKeTextureManager* keCreateTextureManager(irr::IrrlichtDevice* device);

}  // namespace kolm
