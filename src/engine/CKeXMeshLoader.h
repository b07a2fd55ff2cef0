// The engine's DirectX `.x` mesh loader (text, binary and MSZIP-compressed files). It builds
// the library's skinned meshes through their public interface (frames as joints with their
// transform hierarchy, skin weights, animation keys) out of buffers that keep the engine's
// additions (IKeMeshBufferExt): the file vertex index of every vertex and the two properties
// of the engine's "MeshMaterialsUVs" data object.
#pragma once

#include <irrlicht/IMeshLoader.h>

namespace irr {
class ILogger;
class IrrlichtDevice;
namespace io {
class IFileSystem;
}  // namespace io
namespace scene {
class ISceneManager;
}  // namespace scene
}  // namespace irr

namespace kolm {

class CKeXMeshLoader : public irr::scene::IMeshLoader {
public:
    // `logger` receives warnings and load errors (the library's logger; may be null).
    CKeXMeshLoader(irr::scene::ISceneManager* smgr, irr::io::IFileSystem* fs, irr::ILogger* logger);
    ~CKeXMeshLoader() override;

    // ".x" in any case.
    bool isALoadableFileExtension(const irr::io::path& filename) const override;
    // A new skinned mesh (the caller drops it), or null with the reason and the file logged.
    irr::scene::IAnimatedMesh* createMesh(irr::io::IReadFile* file) override;

    // Whether materials get the textures their files name (on by default).
    void setLoadTextures(bool on) { m_loadTextures = on; }

private:
    irr::scene::ISceneManager* m_smgr;
    irr::io::IFileSystem* m_fs;
    irr::ILogger* m_logger;
    bool m_loadTextures = true;
};

// Adds the engine's `.x` loader to the device's scene manager, ahead of the library's own
// (the scene manager asks the loaders added last first). Does nothing without a device.
void keAddXMeshLoader(irr::IrrlichtDevice* device);

}  // namespace kolm
