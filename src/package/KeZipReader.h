// Reading a zip archive held in memory (a loaded package, a side file read whole): its entry
// list and each entry's bytes, with the CRC checked. Hostile archives are expected: sizes the
// archive claims are never trusted for allocations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct zip;

namespace kolm {

struct KeZipEntry {
    uint64_t index = 0;
    std::string name;            // as stored, "/" separated
    uint64_t size = 0;           // uncompressed, as the archive claims
    uint64_t compressedSize = 0;
    uint32_t crc = 0;
    bool isFolder = false;       // name ends with "/"
    bool isLink = false;         // made on a Unix system as a symbolic link
};

class KeZipReader {
public:
    KeZipReader() = default;
    ~KeZipReader();
    KeZipReader(const KeZipReader&) = delete;
    KeZipReader& operator=(const KeZipReader&) = delete;

    // Opens `size` bytes at `data` (borrowed: they must outlive the reader) with libzip's
    // consistency checks. False with `error` set when they are no zip archive.
    bool open(const void* data, size_t size, std::string* error);

    const std::vector<KeZipEntry>& entries() const { return m_entries; }

    // Reads entry `i` whole into `out` (when not null) or only through (null), at most
    // `limit` bytes; the CRC and the size are checked at its end. False with `error` set.
    bool read(size_t i, std::string* out, uint64_t limit, std::string* error) const;

private:
    zip* m_zip = nullptr;
    std::vector<KeZipEntry> m_entries;
};

}  // namespace kolm
