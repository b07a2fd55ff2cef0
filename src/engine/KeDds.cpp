#include "engine/KeDds.h"

#include <cstring>

#include <irrlicht/IImage.h>
#include <irrlicht/IImageLoader.h>
#include <irrlicht/IReadFile.h>

#include <strings.h>
#include <irrlicht/IVideoDriver.h>

#include "core/KeError.h"

// Index
//   header layout        offsets of the fields we read
//   pixel decoding       bit-mask formats, DXT1, DXT3, DXT5
//   keDdsParse
//   image loader

namespace kolm {
namespace {

// Header layout: "DDS " then a 124-byte header; offsets below count from the file start.
constexpr size_t kHeaderEnd = 128;
constexpr size_t kOffSize = 4, kOffFlags = 8, kOffHeight = 12, kOffWidth = 16, kOffDepth = 24, kOffMipCount = 28;
constexpr size_t kOffPfFlags = 80, kOffFourCC = 84, kOffBitCount = 88, kOffRMask = 92, kOffGMask = 96,
                 kOffBMask = 100, kOffAMask = 104, kOffCaps2 = 112;

constexpr uint32_t kFlagMipCount = 0x20000, kFlagDepth = 0x800000;
constexpr uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40, kPfLuminance = 0x20000;
constexpr uint32_t kCaps2Cube = 0x200, kCaps2AllFaces = 0xFC00, kCaps2Volume = 0x200000;

constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

uint32_t rd32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// ---------------------------------------------------------------------------------------------
// pixel decoding

// One channel described by a bit mask, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    uint32_t shift = 0;
    uint32_t max = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1u)) ++shift;
        max = m >> shift;
    }
    uint32_t get(uint32_t pixel, uint32_t absent) const {
        if (!mask) return absent;
        const uint64_t v = (pixel & mask) >> shift;
        return uint32_t((v * 255 + max / 2) / max);
    }
};

enum class Encoding { Masks, Dxt1, Dxt3, Dxt5 };

struct Format {
    Encoding encoding = Encoding::Masks;
    uint32_t bytesPerPixel = 0;  // mask formats
    uint32_t pfFlags = 0;
    uint32_t r = 0, g = 0, b = 0, a = 0;
};

// Size in bytes of one face or slice of the top level, and of a whole mip level w x h.
size_t levelBytes(const Format& f, uint32_t w, uint32_t h) {
    if (f.encoding == Encoding::Masks) return size_t(w) * h * f.bytesPerPixel;
    const size_t blocks = size_t((w + 3) / 4) * ((h + 3) / 4);
    return blocks * (f.encoding == Encoding::Dxt1 ? 8 : 16);
}

uint32_t expand565(uint16_t c) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return argb(255, (r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

uint32_t mix(uint32_t c0, uint32_t c1, uint32_t w0, uint32_t w1, uint32_t d) {
    uint32_t out = 0xFF000000u;
    for (int s = 0; s < 24; s += 8) out |= ((((c0 >> s) & 255) * w0 + ((c1 >> s) & 255) * w1) / d) << s;
    return out;
}

// Colour part of a block; `fourColour` forces the four-colour mode (DXT3/5).
void decodeColourBlock(const uint8_t* p, bool fourColour, uint32_t out[16]) {
    const uint16_t c0 = rd16(p), c1 = rd16(p + 2);
    uint32_t palette[4];
    palette[0] = expand565(c0);
    palette[1] = expand565(c1);
    if (fourColour || c0 > c1) {
        palette[2] = mix(palette[0], palette[1], 2, 1, 3);
        palette[3] = mix(palette[0], palette[1], 1, 2, 3);
    } else {
        palette[2] = mix(palette[0], palette[1], 1, 1, 2);
        palette[3] = 0;  // transparent black
    }
    const uint32_t bits = rd32(p + 4);
    for (int i = 0; i < 16; ++i) out[i] = palette[(bits >> (2 * i)) & 3];
}

void setAlpha(uint32_t& pixel, uint32_t alpha) { pixel = (pixel & 0x00FFFFFFu) | alpha << 24; }

void decodeBlock(const Format& f, const uint8_t* p, uint32_t out[16]) {
    switch (f.encoding) {
    case Encoding::Dxt1: decodeColourBlock(p, false, out); break;
    case Encoding::Dxt3:
        decodeColourBlock(p + 8, true, out);
        for (int i = 0; i < 16; ++i) {
            const uint32_t a4 = (p[i / 2] >> ((i & 1) * 4)) & 15;
            setAlpha(out[i], a4 * 17);
        }
        break;
    case Encoding::Dxt5: {
        decodeColourBlock(p + 8, true, out);
        const uint32_t a0 = p[0], a1 = p[1];
        uint32_t alphas[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
        if (a0 > a1) {
            for (uint32_t i = 1; i < 7; ++i) alphas[i + 1] = ((7 - i) * a0 + i * a1) / 7;
        } else {
            for (uint32_t i = 1; i < 5; ++i) alphas[i + 1] = ((5 - i) * a0 + i * a1) / 5;
            alphas[6] = 0;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i) bits |= uint64_t(p[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i) setAlpha(out[i], alphas[(bits >> (3 * i)) & 7]);
        break;
    }
    case Encoding::Masks: break;
    }
}

// Decodes one w x h surface at `src` into `dst` (w * h words).
void decodeSurface(const Format& f, const uint8_t* src, uint32_t w, uint32_t h, uint32_t* dst) {
    if (f.encoding == Encoding::Masks) {
        const Channel r(f.r), g(f.g), b(f.b), a(f.a);
        const bool luminance = f.pfFlags & kPfLuminance;
        const bool alphaOnly = (f.pfFlags & kPfAlpha) && !(f.pfFlags & (kPfRgb | kPfLuminance));
        const bool hasAlpha = f.a && (f.pfFlags & (kPfAlphaPixels | kPfAlpha));
        for (size_t i = 0, n = size_t(w) * h; i < n; ++i) {
            const uint8_t* p = src + i * f.bytesPerPixel;
            uint32_t v = 0;
            for (uint32_t k = 0; k < f.bytesPerPixel; ++k) v |= uint32_t(p[k]) << (8 * k);
            const uint32_t alpha = hasAlpha ? a.get(v, 255) : 255;
            if (alphaOnly) {
                dst[i] = argb(alpha, 0, 0, 0);
            } else if (luminance) {
                const uint32_t l = r.get(v, 0);
                dst[i] = argb(alpha, l, l, l);
            } else {
                dst[i] = argb(alpha, r.get(v, 0), g.get(v, 0), b.get(v, 0));
            }
        }
        return;
    }
    const size_t blockBytes = f.encoding == Encoding::Dxt1 ? 8 : 16;
    const uint32_t bw = (w + 3) / 4, bh = (h + 3) / 4;
    uint32_t block[16];
    for (uint32_t by = 0; by < bh; ++by) {
        for (uint32_t bx = 0; bx < bw; ++bx) {
            decodeBlock(f, src + (size_t(by) * bw + bx) * blockBytes, block);
            for (uint32_t y = 0; y < 4 && by * 4 + y < h; ++y)
                for (uint32_t x = 0; x < 4 && bx * 4 + x < w; ++x)
                    dst[size_t(by * 4 + y) * w + bx * 4 + x] = block[y * 4 + x];
        }
    }
}

bool fail(std::string& error, const char* text) {
    error = text;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// keDdsParse

bool keDdsParse(const uint8_t* data, size_t size, KeDdsImage& out, std::string& error) {
    out = KeDdsImage{};
    if (!data || size < kHeaderEnd || std::memcmp(data, "DDS ", 4) != 0) return fail(error, "not a DDS file");
    if (rd32(data + kOffSize) != 124) return fail(error, "bad DDS header size");
    const uint32_t flags = rd32(data + kOffFlags);
    const uint32_t width = rd32(data + kOffWidth), height = rd32(data + kOffHeight);
    const uint32_t caps2 = rd32(data + kOffCaps2);
    const uint32_t pfFlags = rd32(data + kOffPfFlags);
    uint32_t mips = (flags & kFlagMipCount) ? rd32(data + kOffMipCount) : 1;
    if (mips == 0) mips = 1;
    if (width == 0 || height == 0 || width > KE_DDS_MAX_EDGE || height > KE_DDS_MAX_EDGE)
        return fail(error, "bad DDS image size");

    Format f;
    f.pfFlags = pfFlags;
    if (pfFlags & kPfFourCC) {
        switch (rd32(data + kOffFourCC)) {
        case fourCC('D', 'X', 'T', '1'): f.encoding = Encoding::Dxt1; break;
        case fourCC('D', 'X', 'T', '2'):
        case fourCC('D', 'X', 'T', '3'): f.encoding = Encoding::Dxt3; break;
        case fourCC('D', 'X', 'T', '4'):
        case fourCC('D', 'X', 'T', '5'): f.encoding = Encoding::Dxt5; break;
        default: return fail(error, "unsupported DDS pixel format");
        }
    } else if (pfFlags & (kPfRgb | kPfLuminance | kPfAlpha)) {
        const uint32_t bits = rd32(data + kOffBitCount);
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return fail(error, "unsupported DDS bit count");
        f.bytesPerPixel = bits / 8;
        f.r = rd32(data + kOffRMask);
        f.g = rd32(data + kOffGMask);
        f.b = rd32(data + kOffBMask);
        f.a = rd32(data + kOffAMask);
    } else {
        return fail(error, "unsupported DDS pixel format");
    }

    KeDdsImage img;
    img.width = width;
    img.height = height;
    if (caps2 & kCaps2Cube) {
        if ((caps2 & kCaps2AllFaces) != kCaps2AllFaces) return fail(error, "DDS cube map without all six faces");
        if (width != height) return fail(error, "DDS cube map faces are not square");
        img.kind = KeDdsKind::Cube;
        img.faces = 6;
    } else if ((caps2 & kCaps2Volume) && (flags & kFlagDepth)) {
        img.kind = KeDdsKind::Volume;
        img.depth = rd32(data + kOffDepth);
        if (img.depth == 0 || img.depth > KE_DDS_MAX_EDGE) return fail(error, "bad DDS volume depth");
    }
    const size_t texels = size_t(width) * height * img.depth * img.faces;
    if (texels > KE_DDS_MAX_TEXELS) return fail(error, "DDS image too large");

    // Bytes the top level needs, and the stride from one cube face to the next (all mips).
    const size_t surface = levelBytes(f, width, height);
    size_t faceStride = 0;
    if (img.kind == KeDdsKind::Cube) {
        uint32_t w = width, h = height;
        for (uint32_t m = 0; m < mips && m < 32; ++m) {
            faceStride += levelBytes(f, w, h);
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
    }
    const size_t available = size - kHeaderEnd;
    const size_t needed = img.kind == KeDdsKind::Cube ? faceStride * 5 + surface : surface * img.depth;
    if (needed > available) return fail(error, "DDS file is truncated");

    img.pixels.resize(texels);
    const uint8_t* base = data + kHeaderEnd;
    const size_t faceTexels = size_t(width) * height;
    for (uint32_t face = 0; face < img.faces; ++face)
        for (uint32_t z = 0; z < img.depth; ++z)
            decodeSurface(f, base + face * faceStride + z * surface, width, height,
                          img.pixels.data() + (size_t(face) * img.depth + z) * faceTexels);
    out = std::move(img);
    return true;
}

// ---------------------------------------------------------------------------------------------
// image loader

namespace {

constexpr long kMaxDdsFileBytes = 512L << 20;

class CKeDdsImageLoader : public irr::video::IImageLoader {
public:
    explicit CKeDdsImageLoader(irr::video::IVideoDriver* driver) : m_driver(driver) {}

    bool isALoadableFileExtension(const irr::io::path& filename) const override {
        // Compared in place: the library's subString trips GCC's overflow checker at -O3.
        const irr::s32 dot = filename.findLast('.');
        if (dot < 0) return false;
        return strcasecmp(filename.c_str() + dot + 1, "dds") == 0;
    }

    bool isALoadableFileFormat(irr::io::IReadFile* file) const override {
        if (!file) return false;
        char magic[4] = {};
        const long start = file->getPos();
        const irr::s32 got = file->read(magic, 4);
        file->seek(start);
        return got == 4 && std::memcmp(magic, "DDS ", 4) == 0;
    }

    irr::video::IImage* loadImage(irr::io::IReadFile* file) const override {
        if (!file) return nullptr;
        const long size = file->getSize();
        if (size <= 0 || size > kMaxDdsFileBytes) return nullptr;
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        file->seek(0);
        if (file->read(bytes.data(), irr::u32(size)) != irr::s32(size)) return nullptr;
        KeDdsImage image;
        std::string error;
        if (!keDdsParse(bytes.data(), bytes.size(), image, error)) {
            printMessage(KE_ERROR, "DDS '%s': %s", file->getFileName().c_str(), error.c_str());
            return nullptr;
        }
        // The first face or slice; createImageFromData copies the words.
        const irr::core::dimension2du dim(image.width, image.height);
        return m_driver->createImageFromData(irr::video::ECF_A8R8G8B8, dim, image.pixels.data(), false, true);
    }

private:
    irr::video::IVideoDriver* m_driver;
};

}  // namespace

irr::video::IImageLoader* keCreateDdsImageLoader(irr::video::IVideoDriver* driver) {
    return driver ? new CKeDdsImageLoader(driver) : nullptr;
}

}  // namespace kolm
