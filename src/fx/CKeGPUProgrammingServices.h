// Shader compilation services (see IKeGPUProgrammingServices.h).
//
// Sections: entries and their keys; the include callback; the services.
#pragma once

#include "fx/CKeShaderDriver.h"
#include "fx/IIncludeCallback.h"
#include "fx/IKeGPUProgrammingServices.h"
#include "fx/SShaderMacro.h"

#include <irrlicht/IFileSystem.h>
#include <irrlicht/IrrlichtDevice.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kolm {

// One compiled shader. Key: stage (pixel before vertex), file, entry point, number of macros,
// then the macros pair by pair. The target is not part of the key.
struct SShaderCompiledEntry {
    irr::s32 id = 0;
    bool vertex = false;
    std::string file;
    std::string entry;
    std::vector<SShaderMacro> macros;
    irr::s32 target = 0;
    std::vector<std::string> includedFiles;  // sorted, '/' separators, the file itself included
    std::vector<uint8_t> byteCode;           // SPIR-V words
};
bool operator<(const SShaderCompiledEntry& a, const SShaderCompiledEntry& b);

// One shader material. Key: the four texts, callback, base material, user data, macros.
struct SShaderMaterialTypeEntry {
    std::string vertexFile, vertexEntry, pixelFile, pixelEntry;
    irr::video::IShaderConstantSetCallBack* callback = nullptr;
    irr::s32 baseMaterial = 0;
    irr::s32 userData = 0;
    std::vector<SShaderMacro> macros;
    irr::s32 vertexId = 0;
    irr::s32 pixelId = 0;
    irr::s32 materialType = -1;
};
bool operator<(const SShaderMaterialTypeEntry& a, const SShaderMaterialTypeEntry& b);

// Finds #include files for the compiler: each directory of its sorted list in turn, starting
// with the shader file's own; the directory of every file found joins the list.
class ShaderIncludeCallback : public IIncludeCallback {
public:
    ShaderIncludeCallback(irr::io::IFileSystem* fs, const std::string& shaderDir);
    ~ShaderIncludeCallback() override;
    bool open(const char* fileName, const char** data, size_t* size) override;
    void close(const char* data) override;
    const std::vector<std::string>& openedFiles() const { return mOpened; }

private:
    irr::io::IFileSystem* mFs;
    std::vector<std::string> mDirs;
    std::vector<std::string> mOpened;
    std::vector<char*> mLive;
};

class CKeGPUProgrammingServices : public IKeGPUProgrammingServices {
public:
    explicit CKeGPUProgrammingServices(irr::IrrlichtDevice* device);
    ~CKeGPUProgrammingServices() override;

    void setShaderCache(const irr::c8* directory, irr::u32 mode) override;
    irr::s32 getShaderMaterial(const irr::c8* vertexFile, const irr::c8* vertexEntry,
                               irr::video::E_VERTEX_SHADER_TYPE vertexTarget, const irr::c8* pixelFile,
                               const irr::c8* pixelEntry, irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                               irr::video::IShaderConstantSetCallBack* callback, irr::video::E_MATERIAL_TYPE baseMaterial,
                               irr::s32 userData, const CKeMacro* macros, irr::core::stringc* error = 0) override;
    bool recompileShaders(const irr::core::array<irr::core::stringc>& changedFiles,
                          irr::core::array<irr::s32>& updatedMaterials,
                          irr::core::array<irr::core::stringc>* errors = 0) override;
    bool getPixelConstantRegisters(irr::s32 materialType, const irr::c8* name, irr::s32& registerIndex,
                                   irr::s32& registerCount) override;
    bool getVertexConstantRegisters(irr::s32 materialType, const irr::c8* name, irr::s32& registerIndex,
                                    irr::s32& registerCount) override;
    bool getPixelSamplerIndex(irr::s32 materialType, const irr::c8* name, irr::s32& index) override;
    bool getVertexSamplerIndex(irr::s32 materialType, const irr::c8* name, irr::s32& index) override;
    void printConstants(irr::s32 materialType) override;
    irr::s32 createShaderMaterial(const irr::c8* vertexFile, const irr::c8* vertexEntry,
                                  irr::video::E_VERTEX_SHADER_TYPE vertexTarget, const irr::c8* pixelFile,
                                  const irr::c8* pixelEntry, irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                  irr::video::IShaderConstantSetCallBack* callback,
                                  irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData, const CKeMacro* macros,
                                  irr::core::stringc* error, irr::s32* vertexId, irr::s32* pixelId) override;

    // For tools and tests.
    const std::string& cacheDirectory() const { return mCacheDir; }
    irr::u32 cacheMode() const { return mCacheMode; }
    const SShaderCompiledEntry* compiledEntry(irr::s32 id) const;
    CKeShaderDriver& shaderDriver() { return mDriver; }

private:
    const std::vector<uint8_t>* compiledShader(const std::string& file, const std::string& entry, bool vertex,
                                               irr::s32 target, const std::vector<SShaderMacro>& macros,
                                               std::string* error, irr::s32* id);
    bool compileShader(SShaderCompiledEntry& e, std::string* error);
    bool readFromCache(const SShaderCompiledEntry& e, std::vector<uint8_t>& byteCode,
                       std::vector<std::string>& included);
    void writeToCache(const SShaderCompiledEntry& e);
    bool isCachedShaderMatch(const std::string& path, const SShaderCompiledEntry& e, std::string& checksum);
    bool readFile(const std::string& path, std::string& data);
    bool makeTablesCurrent(irr::s32 materialType);
    std::string failureDetails(const std::string& vertexFile, const std::string& vertexEntry,
                               const std::string& pixelFile, const std::string& pixelEntry,
                               const std::vector<SShaderMacro>& macros);
    std::string cachePath(const SShaderCompiledEntry& e) const;
    std::string infoText(const SShaderCompiledEntry& e) const;

    // Per-run memory of the include scan and of source modification times, so that the many
    // variants of one effect file do not scan and stat it again each. Cleared when sources are
    // reported changed (recompileShaders).
    const std::vector<std::string>& scanIncludes(const std::string& file);
    bool sourceTime(const std::string& path, int64_t& ns);
    std::map<std::string, std::vector<std::string>> mIncludeScans;
    std::map<std::string, int64_t> mSourceTimes;

    std::vector<std::unique_ptr<SShaderCompiledEntry>> mCompiled;
    irr::s32 mNextId = 1;
    std::vector<std::unique_ptr<SShaderMaterialTypeEntry>> mMaterials;
    irr::IrrlichtDevice* mDevice;
    std::string mCacheDir;
    irr::u32 mCacheMode = 0;
    irr::s32 mCurrentType = -1;
    const KeGlslShader* mVertexTable = nullptr;
    const KeGlslShader* mPixelTable = nullptr;
    CKeShaderDriver mDriver;
};

}  // namespace kolm
