#include "gl/KeScreenGrab.h"

#include "gl/KeGlCheck.h"

#include <epoxy/gl.h>
#include <epoxy/glx.h>

#include <cstring>
#include <vector>

namespace kolm {

bool keReadBackBufferRGB(int width, int height, uint8_t* rgb) {
    if (width <= 0 || height <= 0 || !rgb || !glXGetCurrentContext()) return false;

    keGlCheckBefore("reading the back buffer");
    GLint readFbo = 0, packBuffer = 0, packAlign = 4, readBuffer = GL_BACK;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFbo);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlign);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);

    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);

    // GL rows run bottom to top.
    const size_t stride = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> row(stride);
    for (int y = 0; y < height / 2; ++y) {
        uint8_t* a = rgb + static_cast<size_t>(y) * stride;
        uint8_t* b = rgb + static_cast<size_t>(height - 1 - y) * stride;
        std::memcpy(row.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, row.data(), stride);
    }

    glReadBuffer(static_cast<GLenum>(readBuffer));
    glPixelStorei(GL_PACK_ALIGNMENT, packAlign);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFbo));
    return keGlCheck("reading the back buffer");
}

}  // namespace kolm
