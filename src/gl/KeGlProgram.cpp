#include "gl/KeGlProgram.h"

#include "gl/KeGlCheck.h"
#include "gl/KeGlTarget.h"

#include <epoxy/gl.h>
#include <irrlicht/SMaterial.h>

#include <algorithm>
#include <memory>

namespace kolm {

using namespace irr;
using namespace irr::video;

namespace {

uint32_t glFactor(E_BLEND_FACTOR f) {
    switch (f) {
        case EBF_ZERO: return GL_ZERO;
        case EBF_ONE: return GL_ONE;
        case EBF_DST_COLOR: return GL_DST_COLOR;
        case EBF_ONE_MINUS_DST_COLOR: return GL_ONE_MINUS_DST_COLOR;
        case EBF_SRC_COLOR: return GL_SRC_COLOR;
        case EBF_ONE_MINUS_SRC_COLOR: return GL_ONE_MINUS_SRC_COLOR;
        case EBF_SRC_ALPHA: return GL_SRC_ALPHA;
        case EBF_ONE_MINUS_SRC_ALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case EBF_DST_ALPHA: return GL_DST_ALPHA;
        case EBF_ONE_MINUS_DST_ALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case EBF_SRC_ALPHA_SATURATE: return GL_SRC_ALPHA_SATURATE;
    }
    return GL_ONE;
}

}  // namespace

KeGlBlend keGlBaseMaterialBlend(E_MATERIAL_TYPE base, f32 materialTypeParam) {
    KeGlBlend b;
    switch (base) {
        case EMT_TRANSPARENT_ADD_COLOR:
        case EMT_NORMAL_MAP_TRANSPARENT_ADD_COLOR:
        case EMT_PARALLAX_MAP_TRANSPARENT_ADD_COLOR:
            b.enabled = true;
            b.srcFactor = GL_ONE;
            b.dstFactor = GL_ONE_MINUS_SRC_COLOR;
            break;
        case EMT_TRANSPARENT_ALPHA_CHANNEL:
        case EMT_TRANSPARENT_VERTEX_ALPHA:
        case EMT_TRANSPARENT_REFLECTION_2_LAYER:
        case EMT_NORMAL_MAP_TRANSPARENT_VERTEX_ALPHA:
        case EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA:
            b.enabled = true;
            b.srcFactor = GL_SRC_ALPHA;
            b.dstFactor = GL_ONE_MINUS_SRC_ALPHA;
            break;
        case EMT_TRANSPARENT_ALPHA_CHANNEL_REF:
            b.alphaTest = true;
            break;
        case EMT_ONETEXTURE_BLEND: {
            E_BLEND_FACTOR src, dst;
            E_MODULATE_FUNC modulate;
            u32 alphaSource;
            unpack_textureBlendFunc(src, dst, modulate, alphaSource, materialTypeParam);
            b.enabled = true;
            b.srcFactor = glFactor(src);
            b.dstFactor = glFactor(dst);
            break;
        }
        default:
            break;
    }
    return b;
}

uint32_t keGlBlendFactor(int factor) {
    static const uint32_t table[] = {GL_ZERO, GL_ONE, GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR, GL_SRC_COLOR,
                                     GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA,
                                     GL_ONE_MINUS_DST_ALPHA, GL_SRC_ALPHA_SATURATE};
    if (factor == 200) return GL_CONSTANT_COLOR;
    return factor >= 0 && factor <= 10 ? table[factor] : GL_ZERO;
}

uint32_t keGlBlendOperation(int operation) {
    switch (operation) {
        case 1: return GL_FUNC_ADD;
        case 2: return GL_FUNC_SUBTRACT;
        case 3: return GL_FUNC_REVERSE_SUBTRACT;
        case 4: case 6: case 8: return GL_MIN;
        case 5: case 7: case 9: return GL_MAX;
        default: return GL_FUNC_ADD;
    }
}

uint32_t keGlComparison(int comparison) {
    switch (comparison) {
        case 0: case 7: return GL_ALWAYS;
        case 1: return GL_LEQUAL;
        case 2: return GL_EQUAL;
        case 3: return GL_LESS;
        case 4: return GL_NOTEQUAL;
        case 5: return GL_GEQUAL;
        case 6: return GL_GREATER;
        case 8: return GL_NEVER;
        default: return GL_ALWAYS;
    }
}

uint32_t keGlStencilOperation(int operation) {
    static const uint32_t table[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return operation >= 1 && operation <= 8 ? table[operation - 1] : GL_KEEP;
}

KeGlExtraStates& keGlExtraStates() {
    static KeGlExtraStates states;
    return states;
}

namespace {

GLuint compileStage(GLenum kind, const std::string& text, std::string& error) {
    GLuint shader = glCreateShader(kind);
    const char* src = text.c_str();
    glShaderSource(shader, 1, &src, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint len = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &len);
        std::string log(static_cast<size_t>(len > 0 ? len : 1), '\0');
        glGetShaderInfoLog(shader, len, nullptr, &log[0]);
        error += (kind == GL_VERTEX_SHADER ? "GLSL vertex shader: " : "GLSL pixel shader: ") + log.substr(0, log.find('\0')) + "\n";
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

irr::u32 keGlDepthBits() {
    GLint fbo = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
    GLint bits = 0;
    if (fbo != 0) {
        GLint type = GL_NONE;
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
        if (type != GL_NONE)
            glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                                  GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &bits);
    } else {
        glGetIntegerv(GL_DEPTH_BITS, &bits);
    }
    return bits > 0 ? irr::u32(bits) : 0;
}

namespace {

// One step of the bound depth buffer is the unit of glPolygonOffset; 2^24 steps when GL does
// not tell the depth (a float buffer counts like a 24-bit one).
float depthSteps() {
    const irr::u32 bits = keGlDepthBits();
    return float(bits > 0 && bits <= 24 ? (1u << bits) : (1u << 24));
}

class CKeGlProgram : public IKeGlProgram {
public:
    ~CKeGlProgram() override {
        if (mProgram) glDeleteProgram(mProgram);
    }

    bool build(const KeGlProgramDesc& desc, std::string& error) override {
        error.clear();
        keGlCheckBefore("building a shader program");
        GLuint vs = compileStage(GL_VERTEX_SHADER, desc.vertexGlsl, error);
        GLuint ps = compileStage(GL_FRAGMENT_SHADER, desc.pixelGlsl, error);
        if (!vs || !ps) {
            if (vs) glDeleteShader(vs);
            if (ps) glDeleteShader(ps);
            return false;
        }
        GLuint program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, ps);
        glLinkProgram(program);
        glDeleteShader(vs);
        glDeleteShader(ps);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            GLint len = 0;
            glGetProgramiv(program, GL_INFO_LOG_LENGTH, &len);
            std::string log(static_cast<size_t>(len > 0 ? len : 1), '\0');
            glGetProgramInfoLog(program, len, nullptr, &log[0]);
            error = "GLSL link: " + log.substr(0, log.find('\0'));
            glDeleteProgram(program);
            return false;
        }
        // Sampler units are fixed for the program's life.
        GLint previous = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
        glUseProgram(program);
        for (const auto& s : desc.samplers) {
            GLint loc = glGetUniformLocation(program, s.first.c_str());
            if (loc >= 0) glUniform1i(loc, s.second);
        }
        mArrays.clear();
        mMembers.clear();
        size_t scratch = 0;
        for (size_t i = 0; i < desc.arrays.size(); ++i) {
            const std::string& a = desc.arrays[i];
            mArrays.push_back(glGetUniformLocation(program, a.c_str()));
            std::vector<Member> members;
            if (i < desc.members.size())
                for (const KeGlUniformMember& m : desc.members[i]) {
                    const std::string n = a + "." + m.name + (m.arraySize > 1 ? "[0]" : "");
                    members.push_back({m, glGetUniformLocation(program, n.c_str())});
                    scratch = std::max<size_t>(scratch, size_t(m.arraySize) * m.rows * m.columns);
                }
            mMembers.push_back(std::move(members));
        }
        mScratch.assign(scratch, 0);
        mTarget = glGetUniformLocation(program, "kein_target");
        mSrgb = glGetUniformLocation(program, "kein_srgb");
        mSrgbValue = 0;
        // Rebuilt while in use (hot reload between draws of the same material): the library
        // will not set the material again, so the new program takes the old one's place now.
        const bool wasCurrent = mProgram && static_cast<GLuint>(previous) == mProgram;
        if (wasCurrent) {
            if (mTarget >= 0) glUniform4fv(mTarget, 1, mTargetValue);
        } else {
            glUseProgram(static_cast<GLuint>(previous));
        }
        if (mProgram) glDeleteProgram(mProgram);
        mProgram = program;
        keGlCheck("building a shader program");
        return true;
    }

    void bind(const KeGlBlend& blend, int targetHeight) override {
        keGlCheckBefore("binding a shader material");
        glUseProgram(mProgram);
        mTargetKnown = false;
        orient(targetHeight);
        mBlend = blend;
        if (blend.enabled) {
            glEnable(GL_BLEND);
            glBlendFunc(blend.srcFactor, blend.dstFactor);
        } else {
            glDisable(GL_BLEND);
        }
        if (blend.alphaTest) {
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GREATER, 0.5f);
        }
    }

    void upload(int array, const float* data, int registers) override {
        if (array < 0 || array >= static_cast<int>(mArrays.size()) || registers <= 0) return;
        if (mMembers[array].empty()) {
            if (mArrays[array] >= 0) glUniform4fv(mArrays[array], registers, data);
            return;
        }
        const uint32_t* words = reinterpret_cast<const uint32_t*>(data);
        const uint32_t limit = static_cast<uint32_t>(registers) * 4;
        for (const Member& mm : mMembers[array]) {
            const KeGlUniformMember& m = mm.desc;
            if (mm.location < 0) continue;
            // Gather into the order GL reads: per element, GLSL column by column.
            size_t n = 0;
            for (uint32_t e = 0; e < m.arraySize; ++e)
                for (uint32_t j = 0; j < m.rows; ++j)
                    for (uint32_t r = 0; r < m.columns; ++r) {
                        uint32_t at = m.offset + e * m.arrayStride;
                        if (m.rows > 1) at += m.rowsContiguous ? j * m.matrixStride + 4 * r : r * m.matrixStride + 4 * j;
                        else at += 4 * r;
                        at /= 4;
                        mScratch[n++] = at < limit ? words[at] : 0;
                    }
            const GLsizei count = static_cast<GLsizei>(m.arraySize);
            const GLint loc = mm.location;
            const float* f = reinterpret_cast<const float*>(mScratch.data());
            const GLint* i = reinterpret_cast<const GLint*>(mScratch.data());
            const GLuint* u = mScratch.data();
            if (m.rows > 1) {
                switch (m.rows * 10 + m.columns) {
                    case 22: glUniformMatrix2fv(loc, count, GL_FALSE, f); break;
                    case 23: glUniformMatrix2x3fv(loc, count, GL_FALSE, f); break;
                    case 24: glUniformMatrix2x4fv(loc, count, GL_FALSE, f); break;
                    case 32: glUniformMatrix3x2fv(loc, count, GL_FALSE, f); break;
                    case 33: glUniformMatrix3fv(loc, count, GL_FALSE, f); break;
                    case 34: glUniformMatrix3x4fv(loc, count, GL_FALSE, f); break;
                    case 42: glUniformMatrix4x2fv(loc, count, GL_FALSE, f); break;
                    case 43: glUniformMatrix4x3fv(loc, count, GL_FALSE, f); break;
                    case 44: glUniformMatrix4fv(loc, count, GL_FALSE, f); break;
                    default: break;
                }
                continue;
            }
            switch (m.kind * 10 + m.columns) {
                case 1: glUniform1fv(loc, count, f); break;
                case 2: glUniform2fv(loc, count, f); break;
                case 3: glUniform3fv(loc, count, f); break;
                case 4: glUniform4fv(loc, count, f); break;
                case 11: case 31: glUniform1iv(loc, count, i); break;
                case 12: case 32: glUniform2iv(loc, count, i); break;
                case 13: case 33: glUniform3iv(loc, count, i); break;
                case 14: case 34: glUniform4iv(loc, count, i); break;
                case 21: glUniform1uiv(loc, count, u); break;
                case 22: glUniform2uiv(loc, count, u); break;
                case 23: glUniform3uiv(loc, count, u); break;
                case 24: glUniform4uiv(loc, count, u); break;
                default: break;
            }
        }
    }

    void applyExtraStates(int targetHeight) override {
        orient(targetHeight);
        const KeGlExtraStates& s = keGlExtraStates();
        // The states hold for this draw only: one turned off since the material's last draw
        // (the library keeps a material set across draws) is turned off here too.
        // Separate alpha factors refine blending; a material that does not blend writes its
        // colour and alpha as they are.
        if (s.separateAlpha && mBlend.enabled) {
            glBlendFuncSeparate(mBlend.srcFactor, mBlend.dstFactor, s.alphaSrc, s.alphaDst);
            glBlendEquationSeparate(GL_FUNC_ADD, s.alphaOp);
            mExtraBlend = true;
        } else if (mExtraBlend) {
            glBlendFunc(mBlend.srcFactor, mBlend.dstFactor);
            glBlendEquation(GL_FUNC_ADD);
            mExtraBlend = false;
        }
        if (s.useBlendColor) {
            glBlendColor(s.blendColor[0], s.blendColor[1], s.blendColor[2], s.blendColor[3]);
        }
        if (s.depthBias != 0.0f || s.slopeBias != 0.0f) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            // The bias is in depth-range units; GL counts steps of the depth buffer bound now.
            glPolygonOffset(s.slopeBias, s.depthBias * depthSteps());
            mExtraOffset = true;
        } else if (mExtraOffset) {
            glDisable(GL_POLYGON_OFFSET_FILL);
            mExtraOffset = false;
        }
        if (s.stencil) {
            glEnable(GL_STENCIL_TEST);
            glStencilFunc(s.stencilFunc, 1, 0xFFFFFFFFu);
            glStencilOp(GL_KEEP, GL_KEEP, s.stencilPass);
            mExtraStencil = true;
        } else if (mExtraStencil) {
            glDisable(GL_STENCIL_TEST);
            mExtraStencil = false;
        }
        keGlCheck("setting a shader material's constants and states");
    }

    void unbind(const KeGlBlend& blend) override {
        glUseProgram(0);
        mOrientation.end();
        mTargetKnown = false;
        if (blend.enabled || mExtraBlend) {
            glBlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
            glDisable(GL_BLEND);
        }
        if (blend.alphaTest) glDisable(GL_ALPHA_TEST);
        if (mExtraOffset) glDisable(GL_POLYGON_OFFSET_FILL);
        if (mExtraStencil) glDisable(GL_STENCIL_TEST);
        mExtraBlend = mExtraOffset = mExtraStencil = false;
        keGlCheck("unbinding a shader material");
    }

    void setSrgbLayers(uint32_t mask) override {
        if (mSrgb < 0 || mask == mSrgbValue) return;
        glUniform1i(mSrgb, GLint(mask));
        mSrgbValue = mask;
    }

private:
    // The orientation rule and "kein_target" for the framebuffer bound now. The library may
    // draw with the material still set after changing its render target, so this runs before
    // every draw; it costs one query when nothing changed.
    void orient(int targetHeight) {
        GLint fbo = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fbo);
        if (mTargetKnown && fbo == mFbo) return;
        GLint viewport[4] = {0, 0, 0, 0};
        if (targetHeight <= 0) glGetIntegerv(GL_VIEWPORT, viewport);
        const int height = targetHeight > 0 ? targetHeight : viewport[1] + viewport[3];
        mOrientation.end();
        mOrientation.begin(height);
        mFbo = fbo;
        mTargetKnown = true;
        mTargetValue[0] = fbo != 0 ? -1.0f : 1.0f;
        mTargetValue[1] = float(height);
        if (mTarget >= 0) glUniform4fv(mTarget, 1, mTargetValue);
    }

    struct Member {
        KeGlUniformMember desc;
        GLint location;
    };
    GLuint mProgram = 0;
    std::vector<GLint> mArrays;
    std::vector<std::vector<Member>> mMembers;
    std::vector<uint32_t> mScratch;
    GLint mTarget = -1;
    GLint mSrgb = -1;
    uint32_t mSrgbValue = 0;  // as the program holds it (uniforms start at 0)
    float mTargetValue[4] = {1, 0, 0, 0};
    KeGlTargetOrientation mOrientation;
    bool mTargetKnown = false;
    GLint mFbo = 0;
    bool mExtraBlend = false, mExtraOffset = false, mExtraStencil = false;
    KeGlBlend mBlend;  // the base material's, as bound
};

class CKeNullGlProgram : public IKeGlProgram {
public:
    bool build(const KeGlProgramDesc&, std::string& error) override {
        error.clear();
        return true;
    }
    void bind(const KeGlBlend&, int) override {}
    void upload(int, const float*, int) override {}
    void applyExtraStates(int) override {}
    void unbind(const KeGlBlend&) override {}
    void setSrgbLayers(uint32_t) override {}
};

}  // namespace

IKeGlProgram* keCreateGlProgram() { return new CKeGlProgram(); }
IKeGlProgram* keCreateNullGlProgram() { return new CKeNullGlProgram(); }

}  // namespace kolm
