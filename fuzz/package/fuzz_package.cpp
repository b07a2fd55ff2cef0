// A file as a package reader meets it: the resource trailer at its end, each resource as a
// scrambled archive, and the whole file as a side-file archive; every entry is read through.
#include "package/KePackage.h"
#include "package/KeZipReader.h"
#include "platform/KeExeResources.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Entries above this are refused like oversized ones (keeps runs fast; the real limit is larger).
constexpr uint64_t kLimit = 1 << 20;

void readArchive(const std::string& bytes) {
    kolm::KeZipReader zip;
    std::string error;
    if (!zip.open(bytes.data(), bytes.size(), &error)) return;
    for (size_t i = 0; i < zip.entries().size(); ++i) {
        std::string out;
        zip.read(i, &out, kLimit, &error);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<kolm::KeExeResource> list;
    std::string error;
    if (kolm::keParseExeResources(data, size, &list, &error) == kolm::KeResourceStatus::Ok) {
        for (const kolm::KeExeResource& r : list) {
            if (r.offset > size || r.size > size - r.offset) __builtin_trap();  // must hold after parsing
            std::string payload(reinterpret_cast<const char*>(data) + r.offset, static_cast<size_t>(r.size));
            kolm::keScrambleWords(payload.data(), payload.size());
            readArchive(payload);
        }
    }
    readArchive(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
