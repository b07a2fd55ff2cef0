#include "engine/IKeResourceManager.h"

#include "core/KeError.h"
#include "core/KePtr.h"
#include "engine/KeDds.h"
#include "files/KeReadFile.h"

#include <irrlicht/IFileSystem.h>
#include <irrlicht/IReadFile.h>
#include <irrlicht/IWriteFile.h>
#include <irrlicht/IrrlichtDevice.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace kolm {

using namespace irr;

void keBuildCurlNoise(const uint8_t* v, u32 n, int8_t* out) {
    const int N = static_cast<int>(n);
    auto wrap = [N](int c) { return ((c % N) + N) % N; };
    auto V = [&](int x, int y, int z) { return v[wrap(x) + wrap(y) * N + wrap(z) * N * N]; };
    static const int off[3][3] = {{0, 0, 0}, {31, -48, 13}, {-233, -113, -185}};
    // psi_c(p) = V(p + o_c) + (V(2p + o_c) >> 1), kept in 8 bits.
    auto psi = [&](int c, int x, int y, int z) {
        const int a = V(x + off[c][0], y + off[c][1], z + off[c][2]);
        const int b = V(2 * x + off[c][0], 2 * y + off[c][1], 2 * z + off[c][2]) >> 1;
        return static_cast<uint8_t>(a + b);
    };
    for (int z = 0; z < N; ++z)
        for (int y = 0; y < N; ++y)
            for (int x = 0; x < N; ++x) {
                const int cx = psi(2, x, y + 1, z) - psi(2, x, y - 1, z) - psi(1, x, y, z + 1) + psi(1, x, y, z - 1);
                const int cy = psi(0, x, y, z + 1) - psi(0, x, y, z - 1) - psi(2, x + 1, y, z) + psi(2, x - 1, y, z);
                const int cz = psi(1, x + 1, y, z) - psi(1, x - 1, y, z) - psi(0, x, y + 1, z) + psi(0, x, y - 1, z);
                int8_t* e = out + 3 * (x + y * N + z * N * N);
                e[0] = static_cast<int8_t>(static_cast<uint8_t>(cx));
                e[1] = static_cast<int8_t>(static_cast<uint8_t>(cy));
                e[2] = static_cast<int8_t>(static_cast<uint8_t>(cz));
            }
}

namespace {

// Perlin's improved noise (2002) with his reference permutation, its lattice wrapped every
// `period` units on each axis.
const uint8_t kPermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,  69,  142,
    8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203,
    117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165,
    71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,
    55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,
    18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250,
    124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189,
    28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114,
    67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

double fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
double lerp(double t, double a, double b) { return a + t * (b - a); }
double grad(int hash, double x, double y, double z) {
    const int h = hash & 15;
    const double u = h < 8 ? x : y;
    const double v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

double wrappedNoise(double x, double y, double z, int period) {
    auto P = [](int i) { return static_cast<int>(kPermutation[i & 255]); };
    const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    auto wrap = [period](double c) { return ((static_cast<int>(c) % period) + period) % period; };
    const int X0 = wrap(fx), Y0 = wrap(fy), Z0 = wrap(fz);
    const int X1 = (X0 + 1) % period, Y1 = (Y0 + 1) % period, Z1 = (Z0 + 1) % period;
    x -= fx;
    y -= fy;
    z -= fz;
    const double u = fade(x), v = fade(y), w = fade(z);
    auto h = [&](int X, int Y, int Z) { return P(P(P(X) + Y) + Z); };
    return lerp(w,
                lerp(v, lerp(u, grad(h(X0, Y0, Z0), x, y, z), grad(h(X1, Y0, Z0), x - 1, y, z)),
                     lerp(u, grad(h(X0, Y1, Z0), x, y - 1, z), grad(h(X1, Y1, Z0), x - 1, y - 1, z))),
                lerp(v, lerp(u, grad(h(X0, Y0, Z1), x, y, z - 1), grad(h(X1, Y0, Z1), x - 1, y, z - 1)),
                     lerp(u, grad(h(X0, Y1, Z1), x, y - 1, z - 1), grad(h(X1, Y1, Z1), x - 1, y - 1, z - 1))));
}

class CKeResourceManager : public IKeResourceManager {
public:
    explicit CKeResourceManager(IrrlichtDevice* device) : m_device(device) { releaseNoiseVolume(); }

    // The source is a DDS volume of n x n x n texels (any 8-bit-per-channel format; the red
    // channel, which is the value itself for luminance volumes).
    bool buildNoiseVolume(const io::path& imagePath) override {
        releaseNoiseVolume();
        std::string bytes;
        if (!m_device || !keReadWholeFile(m_device->getFileSystem(), imagePath.c_str(), bytes)) return false;
        KeDdsImage image;
        std::string error;
        if (!keDdsParse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image, error)) return false;
        const u32 n = image.width;
        if (n == 0 || image.height != n || image.depth != n || image.faces != 1) return false;
        std::vector<uint8_t> values(size_t(n) * n * n);
        for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(image.pixels[i] >> 16);
        std::vector<int8_t> volume(values.size() * 3);
        keBuildCurlNoise(values.data(), n, volume.data());
        m_volume = std::move(volume);
        m_edge = n;
        return true;
    }
    bool generateNoiseVolume() override {
        releaseNoiseVolume();
        const int n = 64, period = n / 16;
        static const int off[3][3] = {{0, 0, 0}, {31, -48, 13}, {-233, -113, -185}};
        auto N = [=](double x, double y, double z) {
            return (0.936 * wrappedNoise(x / 16, y / 16, z / 16, period) * 128 + 128) * 0.5;
        };
        // The three potentials once per cell; the curl by central differences, wrapped.
        std::vector<double> psi(size_t(3) * n * n * n);
        for (int c = 0; c < 3; ++c)
            for (int z = 0; z < n; ++z)
                for (int y = 0; y < n; ++y)
                    for (int x = 0; x < n; ++x)
                        psi[((size_t(c) * n + z) * n + y) * n + x] =
                            N(x + off[c][0], y + off[c][1], z + off[c][2]) +
                            0.5 * N(2 * x + off[c][0], 2 * y + off[c][1], 2 * z + off[c][2]);
        auto at = [&](int c, int x, int y, int z) {
            x = (x + n) % n;
            y = (y + n) % n;
            z = (z + n) % n;
            return psi[((size_t(c) * n + z) * n + y) * n + x];
        };
        std::vector<int8_t> volume(size_t(3) * n * n * n);
        for (int z = 0; z < n; ++z)
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const double cx = at(2, x, y + 1, z) - at(2, x, y - 1, z) - at(1, x, y, z + 1) + at(1, x, y, z - 1);
                    const double cy = at(0, x, y, z + 1) - at(0, x, y, z - 1) - at(2, x + 1, y, z) + at(2, x - 1, y, z);
                    const double cz = at(1, x + 1, y, z) - at(1, x - 1, y, z) - at(0, x, y + 1, z) + at(0, x, y - 1, z);
                    int8_t* e = &volume[3 * ((size_t(z) * n + y) * n + x)];
                    e[0] = static_cast<int8_t>(static_cast<uint8_t>(static_cast<int>(cx)));
                    e[1] = static_cast<int8_t>(static_cast<uint8_t>(static_cast<int>(cy)));
                    e[2] = static_cast<int8_t>(static_cast<uint8_t>(static_cast<int>(cz)));
                }
        m_volume = std::move(volume);
        m_edge = static_cast<u32>(n);
        return true;
    }

    bool loadNoiseVolume(const io::path& path) override {
        releaseNoiseVolume();
        KePtr<io::IReadFile> f = KePtr<io::IReadFile>::adopt(
            m_device && m_device->getFileSystem() ? m_device->getFileSystem()->createAndOpenFile(path) : nullptr);
        if (!f) {
            printMessage(KE_ERROR, "failed to open CurlNoise3D file");
            return false;
        }
        const long size = f->getSize();
        // An empty file would give an edge of 0: no volume at all.
        if (size <= 0 || size % 3 != 0) {
            printMessage(KE_ERROR, "CurlNoise3D file not multiple of 3 bytes");
            return false;
        }
        const long cells = size / 3;
        const u32 n = static_cast<u32>(std::lround(std::cbrt(static_cast<double>(cells))));
        if (static_cast<long>(n) * n * n != cells) {
            printMessage(KE_ERROR, "CurlNoise3D file not have W = H = D (sz=%d)", static_cast<int>(n));
            return false;
        }
        std::string data;
        if (!keReadWholeFile(f.get(), data)) {
            printMessage(KE_ERROR, "failed to read CurlNoise3D file");
            return false;
        }
        m_volume.assign(data.begin(), data.end());
        m_edge = n;
        return true;
    }

    // Written beside the cache under a name of its own and renamed into place when whole, so
    // that another engine starting at the same moment never reads a half-written cache.
    bool saveNoiseVolume(const io::path& path) override {
        if (!m_device || !m_device->getFileSystem()) return false;
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(std::random_device{}()));
        const std::string part = std::string(path.c_str()) + suffix;
        bool written = false;
        {
            KePtr<io::IWriteFile> w =
                KePtr<io::IWriteFile>::adopt(m_device->getFileSystem()->createAndWriteFile(part.c_str()));
            if (!w) return false;
            written = w->write(m_volume.data(), static_cast<u32>(m_volume.size())) == static_cast<s32>(m_volume.size());
        }
        if (written && std::rename(part.c_str(), path.c_str()) == 0) return true;
        std::remove(part.c_str());
        return false;
    }

    void releaseNoiseVolume() override {
        m_volume.assign(3, 0);
        m_edge = 1;
    }

    u32 getNoiseVolumeEdge() const override { return m_edge; }
    const int8_t* getNoiseVolume() const override { return m_volume.data(); }

private:
    IrrlichtDevice* m_device;
    std::vector<int8_t> m_volume;
    u32 m_edge = 1;
};

}  // namespace

IKeResourceManager* keCreateResourceManager(IrrlichtDevice* device) { return new CKeResourceManager(device); }

}  // namespace kolm
