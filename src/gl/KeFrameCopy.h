// A GPU copy of the frame last presented. Just before each buffer swap the back buffer is
// blitted into a framebuffer of the engine's own, so that screenshots and capture read the
// frame the user saw, whatever the driver does with the back buffer at the swap (a flip leaves
// it stale or undefined). Presenting reads nothing back to the CPU; only take() does.
#pragma once

#include <cstdint>

namespace kolm {

class KeFrameCopy {
public:
    KeFrameCopy() = default;
    // Frees nothing: release() must run while the context that made the copy is current.
    ~KeFrameCopy() = default;
    KeFrameCopy(const KeFrameCopy&) = delete;
    KeFrameCopy& operator=(const KeFrameCopy&) = delete;

    // Copies width x height pixels of the current context's back buffer (from its lower-left
    // corner) into the copy. The copy's storage is made at the first call and again only when
    // the size or the context changes. False, with no copy kept, without a GL context or without framebuffer
    // blits; GL state it touches is restored.
    bool capture(int width, int height);

    // True once a frame was captured (and not released since).
    bool valid() const { return m_fbo != 0 && m_width > 0 && m_height > 0; }
    // True when the copy belongs to the current context (read() works).
    bool current() const;
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Reads the copy into rgb (width() x height() pixels, 3 bytes a pixel, rows top to
    // bottom). False when there is no copy. GL state it touches is restored.
    bool read(uint8_t* rgb) const;

    // Deletes the GL objects when the context that made them is current (otherwise they go
    // with that context) and forgets the copy.
    void release();

private:
    const void* m_context = nullptr;  // the GLX context that owns the objects
    unsigned m_fbo = 0;
    unsigned m_colour = 0;  // renderbuffer, RGBA8
    int m_width = 0;
    int m_height = 0;
};

}  // namespace kolm
