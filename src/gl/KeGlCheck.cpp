#include "gl/KeGlCheck.h"

#include "core/KeError.h"

#include <epoxy/gl.h>

namespace kolm {

namespace {

// A context without errors answers GL_NO_ERROR at once; a lost context may answer an error for
// ever, so reading stops after this many.
constexpr int kMaxErrors = 16;

}  // namespace

const char* keGlErrorName(unsigned int error) {
    switch (error) {
        case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
        case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
        case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
        case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
        case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
        case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
        case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
        default: return "unknown";
    }
}

bool keGlCheck(const char* where) {
    bool clean = true;
    for (int i = 0; i < kMaxErrors; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        clean = false;
        printMessage(KE_ERROR, "GL error 0x%04x (%s) in %s", error, keGlErrorName(error), where ? where : "?");
    }
    return clean;
}

void keGlCheckBefore(const char* where) {
    for (int i = 0; i < kMaxErrors; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        printMessage(KE_WARN, "GL error 0x%04x (%s) pending before %s", error, keGlErrorName(error),
                     where ? where : "?");
    }
}

}  // namespace kolm
