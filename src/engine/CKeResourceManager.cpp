#include "engine/IKeResourceManager.h"

#include "core/KeError.h"
#include "engine/KeDds.h"

#include <irrlicht/IFileSystem.h>
#include <irrlicht/IReadFile.h>
#include <irrlicht/IWriteFile.h>
#include <irrlicht/IrrlichtDevice.h>

#include <cmath>
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

class CKeResourceManager : public IKeResourceManager {
public:
    explicit CKeResourceManager(IrrlichtDevice* device) : mDevice(device) { releaseNoiseVolume(); }

    // The source is a DDS volume of n x n x n texels (any 8-bit-per-channel format; the red
    // channel, which is the value itself for luminance volumes).
    bool buildNoiseVolume(const io::path& imagePath) override {
        releaseNoiseVolume();
        io::IReadFile* f = mDevice && mDevice->getFileSystem() ? mDevice->getFileSystem()->createAndOpenFile(imagePath) : nullptr;
        if (!f) return false;
        std::vector<uint8_t> bytes(static_cast<size_t>(f->getSize() > 0 ? f->getSize() : 0));
        const s32 got = bytes.empty() ? 0 : f->read(bytes.data(), static_cast<u32>(bytes.size()));
        f->drop();
        KeDdsImage image;
        std::string error;
        if (got != static_cast<s32>(bytes.size()) || !keDdsParse(bytes.data(), bytes.size(), image, error)) return false;
        const u32 n = image.width;
        if (n == 0 || image.height != n || image.depth != n || image.faces != 1) return false;
        std::vector<uint8_t> values(size_t(n) * n * n);
        for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(image.pixels[i] >> 16);
        std::vector<int8_t> volume(values.size() * 3);
        keBuildCurlNoise(values.data(), n, volume.data());
        mVolume = std::move(volume);
        mEdge = n;
        return true;
    }
    bool generateNoiseVolume() override {
        releaseNoiseVolume();
        return false;
    }

    bool loadNoiseVolume(const io::path& path) override {
        releaseNoiseVolume();
        io::IReadFile* f = mDevice && mDevice->getFileSystem() ? mDevice->getFileSystem()->createAndOpenFile(path) : nullptr;
        if (!f) {
            printMessage(KE_ERROR, "failed to open CurlNoise3D file");
            return false;
        }
        const long size = f->getSize();
        // An empty file would give an edge of 0: no volume at all.
        if (size <= 0 || size % 3 != 0) {
            f->drop();
            printMessage(KE_ERROR, "CurlNoise3D file not multiple of 3 bytes");
            return false;
        }
        const long cells = size / 3;
        const u32 n = static_cast<u32>(std::lround(std::cbrt(static_cast<double>(cells))));
        if (static_cast<long>(n) * n * n != cells) {
            f->drop();
            printMessage(KE_ERROR, "CurlNoise3D file not have W = H = D (sz=%d)", static_cast<int>(n));
            return false;
        }
        std::vector<int8_t> data(static_cast<size_t>(size));
        const s32 got = f->read(data.data(), static_cast<u32>(size));
        f->drop();
        if (got != size) {
            printMessage(KE_ERROR, "failed to read CurlNoise3D file");
            return false;
        }
        mVolume = std::move(data);
        mEdge = n;
        return true;
    }

    bool saveNoiseVolume(const io::path& path) override {
        io::IWriteFile* w = mDevice && mDevice->getFileSystem() ? mDevice->getFileSystem()->createAndWriteFile(path) : nullptr;
        if (!w) return false;
        const s32 put = w->write(mVolume.data(), static_cast<u32>(mVolume.size()));
        w->drop();
        return put == static_cast<s32>(mVolume.size());
    }

    void releaseNoiseVolume() override {
        mVolume.assign(3, 0);
        mEdge = 1;
    }

    u32 getNoiseVolumeEdge() const override { return mEdge; }
    const int8_t* getNoiseVolume() const override { return mVolume.data(); }

private:
    IrrlichtDevice* mDevice;
    std::vector<int8_t> mVolume;
    u32 mEdge = 1;
};

}  // namespace

IKeResourceManager* keCreateResourceManager(IrrlichtDevice* device) { return new CKeResourceManager(device); }

}  // namespace kolm
