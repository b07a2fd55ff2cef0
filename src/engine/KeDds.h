// DDS files: a small reader for the files the engine uses (the curl-noise source volume, user
// textures). Uncompressed RGB/RGBA/luminance/alpha formats described by bit masks and the
// block-compressed DXT1 to DXT5, as 2D images, cube maps (all six faces) and volumes. Only the
// top mip level is read; everything is decoded to 0xAARRGGBB words, rows top first.
//
// keDdsParse is pure (no library, no files) and safe on any input: sizes are checked against
// the data before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace irr {
namespace video {
class IImageLoader;
class IVideoDriver;
}  // namespace video
}  // namespace irr

namespace kolm {

enum class KeDdsKind { Image2D, Cube, Volume };

struct KeDdsImage {
    KeDdsKind kind = KeDdsKind::Image2D;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 1;   // volume slices
    uint32_t faces = 1;   // 6 for cube maps, in the order +X, -X, +Y, -Y, +Z, -Z
    // width * height * depth * faces words: face after face, slice after slice, x fastest.
    std::vector<uint32_t> pixels;
};

// Largest edge and largest total number of decoded texels accepted.
constexpr uint32_t KE_DDS_MAX_EDGE = 16384;
constexpr size_t KE_DDS_MAX_TEXELS = size_t(1) << 26;

// Decodes a whole DDS file held in memory. On failure returns false and a one-line reason.
bool keDdsParse(const uint8_t* data, size_t size, KeDdsImage& out, std::string& error);

// An image loader for ".dds" files, for the video driver's addExternalImageLoader: gives the
// first face or slice as an A8R8G8B8 image. Images are made through `driver`, which must
// outlive the loader (it does when the driver owns it). One reference held by the caller.
irr::video::IImageLoader* keCreateDdsImageLoader(irr::video::IVideoDriver* driver);

}  // namespace kolm
