// Feeds arbitrary bytes to the DDS reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/KeDds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kolm::KeDdsImage image;
    std::string error;
    if (kolm::keDdsParse(data, size, image, error)) {
        // A decoded image has exactly the texels its header announced.
        if (image.pixels.size() != size_t(image.width) * image.height * image.depth * image.faces) __builtin_trap();
    }
    return 0;
}
