#include "engine/CKeTextureManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>

#include <irrlicht/IFileSystem.h>
#include <irrlicht/IImage.h>
#include <irrlicht/IImageLoader.h>
#include <irrlicht/IReadFile.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>

#include "core/KeError.h"
#include "engine/KeDds.h"
#include "engine/KeGeneratedTextures.h"
#include "gl/KeGlTexture.h"

// Index
//   colour formats
//   helpers              mip-map flag scope, image to words, file names
//   file textures        getTexture, getTextureOfType, getTextureAuto, getFloatTexture
//   cube textures
//   volume textures      DDS volumes, strips
//   generated textures   RandRot, RandVec, findTexture
//   render targets

namespace kolm {

using irr::s32;
using irr::u32;
using irr::io::path;
using irr::video::ITexture;

// ---------------------------------------------------------------------------------------------
// colour formats

irr::video::ECOLOR_FORMAT keToLibraryColorFormat(s32 format) {
    if (format >= KE_CF_A1R5G5B5 && format <= KE_CF_A8R8G8B8) return irr::video::ECOLOR_FORMAT(format);
    if (format >= KE_CF_R16F && format <= KE_CF_A32B32G32R32F)
        return irr::video::ECOLOR_FORMAT(format - KE_CF_R16F + irr::video::ECF_R16F);
    return irr::video::ECF_UNKNOWN;
}

s32 keFromLibraryColorFormat(irr::video::ECOLOR_FORMAT format) {
    if (format <= irr::video::ECF_A8R8G8B8) return s32(format);
    if (format >= irr::video::ECF_R16F && format <= irr::video::ECF_A32B32G32R32F)
        return s32(format) - s32(irr::video::ECF_R16F) + KE_CF_R16F;
    return -1;
}

IKeTextureManager* keCreateTextureManager(irr::IrrlichtDevice* device) {
    return device ? new CKeTextureManager(device) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// helpers

namespace {

// Sets the driver's mip-map creation flag for one creation and puts it back.
class MipFlagScope {
public:
    MipFlagScope(irr::video::IVideoDriver* driver, bool mipmaps)
        : m_driver(driver), m_saved(driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS)) {
        driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, mipmaps);
    }
    ~MipFlagScope() { m_driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, m_saved); }
    MipFlagScope(const MipFlagScope&) = delete;
    MipFlagScope& operator=(const MipFlagScope&) = delete;

private:
    irr::video::IVideoDriver* m_driver;
    bool m_saved;
};

void imageToWords(irr::video::IImage* image, uint32_t* out) {
    const irr::core::dimension2du size = image->getDimension();
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x) out[size_t(y) * size.Width + x] = image->getPixel(x, y).color;
}

path extensionOf(const path& file) {
    const s32 dot = file.findLast('.');
    const s32 slash = std::max(file.findLast('/'), file.findLast('\\'));
    if (dot < 0 || dot < slash) return path();
    // Built from the characters: the library's subString trips GCC's overflow checker at -O3.
    return path(file.c_str() + dot + 1);
}

}  // namespace

CKeTextureManager::CKeTextureManager(irr::IrrlichtDevice* device)
    : m_driver(device->getVideoDriver()), m_fileSystem(device->getFileSystem()) {
    // 2D DDS files load through the driver like any other image.
    if (irr::video::IImageLoader* loader = keCreateDdsImageLoader(m_driver)) {
        m_driver->addExternalImageLoader(loader);
        loader->drop();
    }
}

CKeTextureManager::~CKeTextureManager() {
    for (OwnedTexture& t : m_cubes) t.texture->drop();
    for (OwnedTexture& t : m_volumes) t.texture->drop();
    for (OwnedTexture& t : m_floats) t.texture->drop();
    for (CKeGlTexture* t : m_ownedTargets) t->drop();
}

void CKeTextureManager::faceFileNames(const path& file, path names[6]) {
    const path ext = extensionOf(file);
    const path base = ext.size() ? file.subString(0, file.size() - ext.size() - 1) : file;
    for (int i = 0; i < 6; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02d", i);
        names[i] = base + digits;
        if (ext.size()) names[i] += path(".") + ext;
    }
}

ITexture* CKeTextureManager::findOwned(const std::vector<OwnedTexture>& list, const path& key) const {
    for (const OwnedTexture& t : list)
        if (t.key == key) return t.texture;
    return nullptr;
}

void CKeTextureManager::rememberMode(ITexture* texture, bool mipmaps) {
    for (TextureMode& m : m_modes) {
        if (m.texture == texture) {
            m.mipmaps = mipmaps;
            return;
        }
    }
    m_modes.push_back({texture, mipmaps});
}

void CKeTextureManager::warnModeIfDifferent(ITexture* texture, bool mipmaps, const path& file) {
    bool created = texture->hasMipMaps();
    for (const TextureMode& m : m_modes)
        if (m.texture == texture) created = m.mipmaps;
    if (created != mipmaps)
        printMessage(KE_WARN,
                     "WARN: Cannot get MipMap mode %s for texture %s. Same texture is already created in the other mode",
                     mipmaps ? "ENABLED" : "DISABLED", file.c_str());
}

// ---------------------------------------------------------------------------------------------
// file textures

ITexture* CKeTextureManager::getTexture(const path& file, bool mipmaps) {
    if (file.empty()) return nullptr;
    // The driver caches by name: a texture that is already there is returned as it was made.
    const u32 before = m_driver->getTextureCount();
    ITexture* texture = nullptr;
    {
        MipFlagScope scope(m_driver, mipmaps);
        texture = m_driver->getTexture(file);
    }
    if (!texture) return nullptr;
    if (m_driver->getTextureCount() > before)
        rememberMode(texture, mipmaps);
    else
        warnModeIfDifferent(texture, mipmaps, file);
    return texture;
}

ITexture* CKeTextureManager::getTextureOfType(const path& file, s32 type) {
    if (type == KE_TEXTURE_VOLUME) return get3DTexture(file);
    if (type == KE_TEXTURE_CUBE) return getCubeTexture(file, true);
    return getTexture(file, true);
}

ITexture* CKeTextureManager::getTextureAuto(const path& file, bool mipmaps) {
    path faces[6];
    faceFileNames(file, faces);
    bool all = true;
    for (const path& f : faces) all = all && m_fileSystem->existFile(f);
    return all ? getCubeTexture(file, mipmaps) : getTexture(file, mipmaps);
}

ITexture* CKeTextureManager::getFloatTexture(const path& file) {
    // The cache first: a copy made before is found without decoding the file again.
    const path name = file + "_r32f";
    if (ITexture* existing = findOwned(m_floats, name)) return existing;
    irr::video::IImage* image = m_driver->createImageFromFile(file);
    if (!image) return nullptr;
    // The library keeps no float images: the copy is an engine texture. Each texel is the red
    // channel as 0..1, the way a colour copy into a red-only float format reads.
    const irr::core::dimension2du size = image->getDimension();
    std::vector<float> texels(size_t(size.Width) * size.Height);
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x)
            texels[size_t(y) * size.Width + x] = float(image->getPixel(x, y).getRed()) / 255.0f;
    image->drop();
    CKeGlTexture* texture = keGlCreateFloatTexture(m_driver, name, size.Width, size.Height, texels.data());
    if (!texture) return nullptr;
    m_floats.push_back({name, texture});
    return texture;
}

// ---------------------------------------------------------------------------------------------
// cube textures

ITexture* CKeTextureManager::getCubeTexture(const path& file, bool mipmaps) {
    if (file.empty()) return nullptr;
    const path key = file + "_cube";
    if (ITexture* existing = findOwned(m_cubes, key)) {
        warnModeIfDifferent(existing, mipmaps, file);
        return existing;
    }
    path names[6];
    faceFileNames(file, names);
    irr::video::IImage* images[6] = {};
    bool ok = true;
    for (int i = 0; i < 6 && ok; ++i) {
        images[i] = m_driver->createImageFromFile(names[i]);
        ok = images[i] != nullptr;
    }
    if (!ok) {
        for (irr::video::IImage*& image : images) {
            if (image) image->drop();
            image = nullptr;
        }
        // A DDS cube map holds all six faces itself.
        path ext = extensionOf(file);
        ext.make_lower();
        KeDdsImage dds;
        if (ext != "dds" || !m_fileSystem->existFile(file) || !readDds(file, dds) || dds.kind != KeDdsKind::Cube)
            return nullptr;
        const size_t faceTexels = size_t(dds.width) * dds.height;
        const uint32_t* faces[6];
        for (int i = 0; i < 6; ++i) faces[i] = dds.pixels.data() + faceTexels * i;
        CKeGlTexture* cube = keGlCreateCubeTexture(m_driver, key, dds.width, faces, mipmaps);
        if (!cube) return nullptr;
        m_cubes.push_back({key, cube});
        return cube;
    }
    u32 edge = 0;
    if (ok) {
        edge = images[0]->getDimension().Width;
        for (int i = 0; i < 6 && ok; ++i) {
            const irr::core::dimension2du d = images[i]->getDimension();
            if (d.Width != edge || d.Height != edge) {
                printMessage(KE_ERROR, "cube texture '%s': face %s is %u x %u, expected %u x %u", file.c_str(),
                             names[i].c_str(), d.Width, d.Height, edge, edge);
                ok = false;
            }
        }
    }
    CKeGlTexture* cube = nullptr;
    if (ok) {
        const size_t faceTexels = size_t(edge) * edge;
        std::vector<uint32_t> words(faceTexels * 6);
        const uint32_t* faces[6];
        for (int i = 0; i < 6; ++i) {
            imageToWords(images[i], words.data() + faceTexels * i);
            faces[i] = words.data() + faceTexels * i;
        }
        cube = keGlCreateCubeTexture(m_driver, key, edge, faces, mipmaps);
    }
    for (irr::video::IImage* image : images)
        if (image) image->drop();
    if (!cube) return nullptr;
    m_cubes.push_back({key, cube});
    return cube;
}

// ---------------------------------------------------------------------------------------------
// volume textures

ITexture* CKeTextureManager::get3DTexture(const path& file) {
    if (file.empty()) return nullptr;
    if (ITexture* existing = findOwned(m_volumes, file)) return existing;
    path ext = extensionOf(file);
    ext.make_lower();
    if (ext == "dds") return volumeFromDds(file);
    return volumeFromStrip(file);
}

bool CKeTextureManager::readDds(const path& file, KeDdsImage& image) {
    irr::io::IReadFile* in = m_fileSystem->createAndOpenFile(file);
    if (!in) return false;
    std::vector<uint8_t> bytes;
    const long size = in->getSize();
    if (size > 0 && size <= (512L << 20)) {
        bytes.resize(size_t(size));
        if (in->read(bytes.data(), u32(size)) != s32(size)) bytes.clear();
    }
    in->drop();
    std::string error;
    if (!keDdsParse(bytes.data(), bytes.size(), image, error)) {
        printMessage(KE_ERROR, "DDS '%s': %s", file.c_str(), error.c_str());
        return false;
    }
    return true;
}

ITexture* CKeTextureManager::volumeFromDds(const path& file) {
    KeDdsImage image;
    if (!readDds(file, image)) {
        if (m_fileSystem->existFile(file)) printMessage(KE_ERROR, "Fail to create 3D tex for '%s'\n", file.c_str());
        return nullptr;
    }
    // A 2D or cube DDS goes to the driver as a plain texture.
    if (image.kind != KeDdsKind::Volume) return getTexture(file, true);
    CKeGlTexture* volume =
        keGlCreateVolumeTexture(m_driver, file, image.width, image.height, image.depth, image.pixels.data(), true);
    if (!volume) {
        printMessage(KE_ERROR, "Fail to create 3D tex for '%s'\n", file.c_str());
        return nullptr;
    }
    m_volumes.push_back({file, volume});
    return volume;
}

ITexture* CKeTextureManager::volumeFromStrip(const path& file) {
    irr::video::IImage* image = m_driver->createImageFromFile(file);
    if (!image) return nullptr;
    const irr::core::dimension2du size = image->getDimension();
    const u32 n = size.Height;
    if (image->getColorFormat() != irr::video::ECF_R8G8B8) {
        printMessage(KE_ERROR, "Fail to create 3D tex for '%s': convertion 2D->3D requires R8G8B8 format\n",
                     file.c_str());
        image->drop();
        return nullptr;
    }
    if (n == 0 || uint64_t(size.Width) != uint64_t(n) * n) {
        printMessage(KE_ERROR, "Fail to create 3D tex for '%s': 2D image Width != Height x Height\n", file.c_str());
        image->drop();
        return nullptr;
    }
    // Slice z is the n x n block starting at column z * n.
    std::vector<uint32_t> voxels(size_t(n) * n * n);
    for (u32 z = 0; z < n; ++z)
        for (u32 y = 0; y < n; ++y)
            for (u32 x = 0; x < n; ++x)
                voxels[(size_t(z) * n + y) * n + x] = image->getPixel(z * n + x, y).color | 0xFF000000u;
    image->drop();
    CKeGlTexture* volume = keGlCreateVolumeTexture(m_driver, file, n, n, n, voxels.data(), true);
    if (!volume) {
        printMessage(KE_ERROR, "Fail to create 3D tex for '%s'\n", file.c_str());
        return nullptr;
    }
    m_volumes.push_back({file, volume});
    return volume;
}

// ---------------------------------------------------------------------------------------------
// generated textures

ITexture* CKeTextureManager::addGenerated(const char* name, u32 edge, void (*generate)(uint32_t*)) {
    if (ITexture* existing = m_driver->findTexture(name)) return existing;
    std::vector<uint32_t> words(size_t(edge) * edge);
    generate(words.data());
    irr::video::IImage* image =
        m_driver->createImageFromData(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(edge, edge), words.data(),
                                      false, true);
    if (!image) return nullptr;
    ITexture* texture = nullptr;
    {
        MipFlagScope scope(m_driver, false);
        texture = m_driver->addTexture(name, image);
    }
    image->drop();
    if (texture) rememberMode(texture, false);
    return texture;
}

ITexture* CKeTextureManager::getRandRot() { return addGenerated("RandRot", KE_RANDROT_SIZE, keGenerateRandRot); }
ITexture* CKeTextureManager::getRandVec() { return addGenerated("RandVec", KE_RANDVEC_SIZE, keGenerateRandVec); }

ITexture* CKeTextureManager::findTexture(const path& name) {
    if (name.empty()) return nullptr;
    if (ITexture* t = m_driver->findTexture(name)) return t;
    if (ITexture* t = findOwned(m_cubes, name)) return t;
    if (ITexture* t = findOwned(m_volumes, name)) return t;
    if (ITexture* t = findOwned(m_floats, name)) return t;
    if (name == "RandRot") return getRandRot();
    if (name == "RandVec") return getRandVec();
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// render targets

ITexture* CKeTextureManager::getRenderTarget(const irr::core::dimension2du& size, s32 format) {
    auto key = [](u32 w, u32 h, s32 f) { return std::make_tuple(w, h, f); };
    const auto wanted = key(size.Width, size.Height, format);
    auto it = std::lower_bound(m_renderTargets.begin(), m_renderTargets.end(), wanted,
                               [&](const SRenderTexture& r, const std::tuple<u32, u32, s32>& k) {
                                   return key(r.width, r.height, r.format) < k;
                               });
    if (it != m_renderTargets.end() && key(it->width, it->height, it->format) == wanted) return it->texture;

    const irr::video::ECOLOR_FORMAT libFormat = keToLibraryColorFormat(format);
    ITexture* texture = nullptr;
    if (libFormat != irr::video::ECF_UNKNOWN && size.Width && size.Height) {
        if (m_driver->getDriverType() == irr::video::EDT_OPENGL) {
            MipFlagScope scope(m_driver, false);
            texture = m_driver->addRenderTargetTexture(size, "rt", libFormat);
        } else if (CKeGlTexture* twin = keGlCreateNullRenderTarget(m_driver, "rt", size, libFormat)) {
            m_ownedTargets.push_back(twin);
            texture = twin;
        }
    }
    if (!texture) {
        printMessage(KE_ERROR, "render target %u x %u of format %d cannot be created", size.Width, size.Height,
                     format);
        return nullptr;
    }
    SRenderTexture entry;
    entry.width = size.Width;
    entry.height = size.Height;
    entry.format = format;
    entry.texture = texture;
    m_renderTargets.insert(it, entry);
    return texture;
}

}  // namespace kolm
