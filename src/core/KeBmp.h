// 24-bit BMP files, written directly: screenshots and captured frames.
#pragma once

#include <cstdint>
#include <vector>

namespace kolm {

// Writes width x height pixels (3 bytes a pixel in R, G, B order, rows top to bottom) as an
// uncompressed 24-bit BMP. `scratch` is reused between calls so that capture allocates once.
bool keWriteBmp24(const char* path, int width, int height, const uint8_t* rgb, std::vector<uint8_t>* scratch = nullptr);

}  // namespace kolm
