// Engine-owned textures: cube textures, volume textures, cube render targets and, for the null
// driver, 2D render targets.
//
// The library's video driver knows only 2D textures. These objects are `ITexture`s so that they
// travel through the same pointers (materials, caches, node extensions), but the library never
// binds them: they report EDT_NULL as their driver, so the GL driver's fixed-function path
// refuses them. Shader materials bind them with keGlBindTexture.
//
// With an OpenGL video driver the texture lives in GL (a context must be current). With any
// other driver (EDT_NULL in tests) the object is a CPU-side twin that keeps its pixels, so the
// texture manager and cube maps behave the same headless.
//
// Pixels handed in and read back are 0xAARRGGBB words, rows top first: row 0 of a cube face is
// the top of the picture seen from the cube's centre looking along the face's direction with
// the face's up vector (faces +X, -X, +Y, -Y, +Z, -Z; up +Y for the four side faces, -Z for +Y,
// +Z for -Y). Volumes are x fastest, then y, then z.
#pragma once

#include <cstdint>
#include <vector>

#include <irrlicht/ITexture.h>
#include <irrlicht/SColor.h>

namespace irr {
namespace video {
class IVideoDriver;
}
}  // namespace irr

namespace kolm {

enum class KeGlTextureKind { Texture2D, Cube, Volume };

class CKeGlTexture : public irr::video::ITexture {
public:
    ~CKeGlTexture() override;

    // ITexture. These textures cannot be locked: lock returns null.
    void* lock(irr::video::E_TEXTURE_LOCK_MODE mode = irr::video::ETLM_READ_WRITE, irr::u32 mipmapLevel = 0) override;
    void unlock() override {}
    const irr::core::dimension2du& getOriginalSize() const override { return m_size; }
    const irr::core::dimension2du& getSize() const override { return m_size; }
    irr::video::E_DRIVER_TYPE getDriverType() const override { return irr::video::EDT_NULL; }
    irr::video::ECOLOR_FORMAT getColorFormat() const override { return m_format; }
    irr::u32 getPitch() const override;
    bool hasMipMaps() const override { return m_mipmaps; }
    void regenerateMipMapLevels(void* mipmapData = nullptr) override;
    bool isRenderTarget() const override { return m_renderTarget; }

    KeGlTextureKind getKind() const { return m_kind; }
    irr::u32 getDepth() const { return m_depth; }  // volume depth; 1 otherwise
    bool isGl() const { return m_glName != 0; }
    irr::u32 getGlName() const { return m_glName; }
    irr::u32 getGlTarget() const;  // GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP or GL_TEXTURE_3D

    // Reads one cube face (0-5), the whole volume or the 2D texture back as 0xAARRGGBB words
    // (float formats clamp to 0..1). False when the face is out of range.
    bool readPixels(irr::u32 face, std::vector<uint32_t>& out) const;

private:
    friend struct KeGlTextureAccess;
    CKeGlTexture(const irr::io::path& name, KeGlTextureKind kind, irr::u32 width, irr::u32 height, irr::u32 depth,
                 irr::video::ECOLOR_FORMAT format, bool mipmaps, bool renderTarget);

    KeGlTextureKind m_kind;
    irr::core::dimension2du m_size;
    irr::u32 m_depth;
    irr::video::ECOLOR_FORMAT m_format;
    bool m_mipmaps;
    bool m_renderTarget;
    irr::u32 m_glName = 0;
    irr::u32 m_fbo = 0;                 // cube render targets: framebuffer for face copies and clears
    std::vector<uint32_t> m_pixels;     // null twin: all faces / slices, 0xAARRGGBB
};

// Creation. Each returns a new texture with one reference held by the caller, or null (with an
// error logged) when the sizes are zero, the data is missing or GL refuses. `driver` chooses
// GL or the null twin.
CKeGlTexture* keGlCreateCubeTexture(irr::video::IVideoDriver* driver, const irr::io::path& name, irr::u32 edge,
                                    const uint32_t* const faces[6], bool mipmaps);
CKeGlTexture* keGlCreateVolumeTexture(irr::video::IVideoDriver* driver, const irr::io::path& name, irr::u32 width,
                                      irr::u32 height, irr::u32 depth, const uint32_t* voxels, bool mipmaps);
// A single-channel 32-bit float 2D texture (ECF_R32F) from width * height floats, rows top
// first, without mip-maps. The library cannot hold float images, so the engine owns these.
CKeGlTexture* keGlCreateFloatTexture(irr::video::IVideoDriver* driver, const irr::io::path& name, irr::u32 width,
                                     irr::u32 height, const float* texels);
// A cube texture that can be drawn into face by face, of the library's colour `format`.
CKeGlTexture* keGlCreateCubeRenderTarget(irr::video::IVideoDriver* driver, const irr::io::path& name, irr::u32 edge,
                                         irr::video::ECOLOR_FORMAT format);
// A 2D render target twin for drivers without render targets (the null driver). Null with an
// OpenGL driver: use the library's render targets there.
CKeGlTexture* keGlCreateNullRenderTarget(irr::video::IVideoDriver* driver, const irr::io::path& name,
                                         const irr::core::dimension2du& size, irr::video::ECOLOR_FORMAT format);

// Copies the 2D render target `source` (a render target of the library's driver) into face
// `face` of the cube render target, scaling when the sizes differ; row for row, as both hold
// the top of their picture in row 0 (gl/KeGlTarget.h). Leaves `source` as the driver's current
// render target.
bool keGlCopyTargetToCubeFace(irr::video::IVideoDriver* driver, irr::video::ITexture* source, CKeGlTexture* cube,
                              irr::u32 face);
// Clears one face of a cube render target to `color`.
bool keGlClearCubeFace(irr::video::IVideoDriver* driver, CKeGlTexture* cube, irr::u32 face, irr::video::SColor color);

// Reads a rectangle of the current render target (the library's current target or the back
// buffer) as 0xAARRGGBB words, rows top first as the picture is seen: a target's rows as they
// are stored (gl/KeGlTarget.h), the back buffer's turned over. `x`, `y` count from the
// top-left corner. False without a GL driver.
bool keGlReadCurrentTarget(irr::video::IVideoDriver* driver, irr::u32 x, irr::u32 y, irr::u32 width,
                           irr::u32 height, std::vector<uint32_t>& out);

// The engine texture behind an ITexture pointer, or null for the library's own textures.
CKeGlTexture* keAsEngineTexture(const irr::video::ITexture* texture);
// Binds an engine texture on GL texture unit `unit` (its own target), restoring the active
// unit to 0. False for textures that are not the engine's GL textures.
bool keGlBindTexture(irr::u32 unit, const irr::video::ITexture* texture);

}  // namespace kolm
