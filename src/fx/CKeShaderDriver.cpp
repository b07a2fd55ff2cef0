#include "fx/CKeShaderDriver.h"

#include "fx/CKeShaderMaterialRenderer.h"
#include "fx/KeHlslCompiler.h"

namespace kolm {

using namespace irr;

bool CKeShaderDriver::compile(bool vertex, const std::string& source, const std::string& entry,
                              const std::vector<SShaderMacro>& macros, IIncludeCallback* includes,
                              std::vector<uint8_t>& byteCode, std::string& errors) {
    return keCompileHlsl(source, entry, vertex, macros, includes, byteCode, errors);
}

bool CKeShaderDriver::toGlsl(bool vertex, const std::vector<uint8_t>& byteCode, KeGlslShader& out, std::string& error) {
    std::map<std::vector<uint8_t>, KeGlslShader>& done = mConverted[vertex ? 0 : 1];
    auto it = done.find(byteCode);
    if (it != done.end()) {
        out = it->second;
        return true;
    }
    // Long expression chains convert recursively too: on the compiler's large stack.
    struct Job {
        const std::vector<uint8_t>* code;
        bool vertex;
        KeGlslShader* out;
        std::string error;
        bool ok = false;
    } job{&byteCode, vertex, &out, {}, false};
    const bool ran = keRunWithLargeStack([](void* p) {
        auto* j = static_cast<Job*>(p);
        j->ok = keSpirvToGlsl(j->code->data(), j->code->size(), j->vertex, *j->out, j->error);
    }, &job);
    const std::string& e = ran ? job.error : std::string("cannot start the converter thread");
    if (!job.ok) {
        error = (vertex ? "vertex shader: " : "pixel shader: ") + e;
        return false;
    }
    done.emplace(byteCode, out);
    return true;
}

s32 CKeShaderDriver::addShaderMaterial(const std::vector<uint8_t>& vertex, const std::vector<uint8_t>& pixel,
                                       video::IShaderConstantSetCallBack* callback,
                                       video::E_MATERIAL_TYPE baseMaterial, s32 userData, std::string& error) {
    KeGlslShader vs, ps;
    mFailedInGl = false;
    if (!mDriver || !toGlsl(true, vertex, vs, error) || !toGlsl(false, pixel, ps, error)) return -1;
    IKeGlProgram* program = mDriver->getDriverType() == video::EDT_OPENGL ? keCreateGlProgram() : keCreateNullGlProgram();
    auto* r = new CKeShaderMaterialRenderer(mDriver, program, callback, baseMaterial, userData);
    if (!r->setShaders(vs, ps, error)) {
        keepFailure(vs, ps);
        r->drop();
        return -1;
    }
    const s32 type = mDriver->addMaterialRenderer(r);
    r->drop();
    if (type < 0) {
        error = "the driver refused the material renderer";
        return -1;
    }
    mMaterials[type] = r;
    return type;
}

bool CKeShaderDriver::replaceShaderMaterial(s32 materialType, const std::vector<uint8_t>& vertex,
                                            const std::vector<uint8_t>& pixel, std::string& error) {
    CKeShaderMaterialRenderer* r = renderer(materialType);
    if (!r) {
        error = "not a shader material";
        return false;
    }
    KeGlslShader vs, ps;
    mFailedInGl = false;
    if (!toGlsl(true, vertex, vs, error) || !toGlsl(false, pixel, ps, error)) return false;
    if (r->setShaders(vs, ps, error)) return true;
    keepFailure(vs, ps);
    return false;
}

void CKeShaderDriver::keepFailure(const KeGlslShader& vs, const KeGlslShader& ps) {
    mFailedInGl = true;
    mFailedGlsl[0] = vs.glsl;
    mFailedGlsl[1] = ps.glsl;
}

CKeShaderMaterialRenderer* CKeShaderDriver::renderer(s32 materialType) const {
    auto it = mMaterials.find(materialType);
    return it == mMaterials.end() ? nullptr : it->second;
}

const KeGlslShader* CKeShaderDriver::vertexTable(s32 materialType) const {
    CKeShaderMaterialRenderer* r = renderer(materialType);
    return r ? &r->vertexShader() : nullptr;
}

const KeGlslShader* CKeShaderDriver::pixelTable(s32 materialType) const {
    CKeShaderMaterialRenderer* r = renderer(materialType);
    return r ? &r->pixelShader() : nullptr;
}

}  // namespace kolm
