// Reading the frame back from the GL back buffer (before the buffer swap). Reading the front
// buffer gives black under X servers without a compositor.
#pragma once

#include <cstdint>

namespace kolm {

// Reads width x height pixels of the current context's back buffer into rgb (3 bytes a pixel,
// rows top to bottom). GL state it touches is restored. Returns false without a GL context.
bool keReadBackBufferRGB(int width, int height, uint8_t* rgb);

}  // namespace kolm
