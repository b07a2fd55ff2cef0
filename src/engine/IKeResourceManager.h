// The resource manager: owns the process-wide curl-noise volume of the fx emitters: edge n and
// n x n x n entries of three signed bytes (x, y, z), x fastest, then y, then z. Without a
// loaded volume it is one built-in entry (n = 1).
#pragma once

#include <irrlicht/IReferenceCounted.h>
#include <irrlicht/irrTypes.h>
#include <irrlicht/path.h>

#include <cstdint>

namespace irr {
class IrrlichtDevice;
}

namespace kolm {

class IKeResourceManager : public virtual irr::IReferenceCounted {
public:
    virtual ~IKeResourceManager() {}
    // From a volume of n x n x n single 8-bit values. False when the image cannot be loaded
    // or does not qualify (the built-in entry stays).
    virtual bool buildNoiseVolume(const irr::io::path& imagePath) = 0;
    // A 64 x 64 x 64 volume computed procedurally.
    virtual bool generateNoiseVolume() = 0;
    // Reads a cache file of raw entries: 3 x n^3 bytes, n >= 1.
    virtual bool loadNoiseVolume(const irr::io::path& path) = 0;
    // Writes the 3 x n^3 bytes to a new file; true when all were written.
    virtual bool saveNoiseVolume(const irr::io::path& path) = 0;
    virtual void releaseNoiseVolume() = 0;

    virtual irr::u32 getNoiseVolumeEdge() const = 0;
    virtual const int8_t* getNoiseVolume() const = 0;  // 3 x edge^3 values
};

IKeResourceManager* keCreateResourceManager(irr::IrrlichtDevice* device);

// The curl-noise volume from n x n x n 8-bit values (out: 3 x n^3 bytes).
void keBuildCurlNoise(const uint8_t* values, irr::u32 n, int8_t* out);

}  // namespace kolm
