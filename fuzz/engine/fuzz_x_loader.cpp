// Feeds arbitrary bytes to the engine's `.x` loader. The first byte chooses a header to put in
// front (text, binary, compressed binary, or none: the bytes carry their own), so that the
// fuzzer reaches each encoding's grammar without having to find the header first.
#include <cstddef>
#include <cstdint>
#include <string>

#include <irrlicht/irrlicht.h>

#include "engine/CKeXMeshLoader.h"
#include "engine/IKeMeshBufferExt.h"

namespace {

struct Context {
    irr::IrrlichtDevice* device = nullptr;
    kolm::CKeXMeshLoader* loader = nullptr;
    Context() {
        device = irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2du(16, 16));
        device->getLogger()->setLogLevel(irr::ELL_NONE);
        loader = new kolm::CKeXMeshLoader(device->getSceneManager(), device->getFileSystem(), device->getLogger());
        loader->setLoadTextures(false);  // names in the input must not open files
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Context context;
    if (size == 0) return 0;
    static const char* const kHeaders[] = {"xof 0303txt 0032", "xof 0302bin 0032", "xof 0303bzip0032", ""};
    std::string bytes = kHeaders[data[0] & 3];
    bytes.append(reinterpret_cast<const char*>(data + 1), size - 1);
    irr::io::IReadFile* file = context.device->getFileSystem()->createMemoryReadFile(
        const_cast<char*>(bytes.data()), irr::s32(bytes.size()), "fuzz.x", false);
    irr::scene::IAnimatedMesh* mesh = context.loader->createMesh(file);
    file->drop();
    if (mesh) {
        // Every buffer keeps one file vertex index per vertex, and skinning stays in bounds.
        for (irr::u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
            irr::scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
            const irr::core::array<irr::u32>* originals = kolm::keGetOriginalVerticesIndices(buffer);
            if (!originals || originals->size() != buffer->getVertexCount()) __builtin_trap();
        }
        mesh->getMesh(1);
        mesh->drop();
    }
    return 0;
}
