// Resources of an executable: numbered byte blocks appended to the file after its ELF image.
//
// Layout, repeated once per resource, each one after the previous (little-endian):
//   payload (size bytes) | size (u64) | id (u32) | reserved (u32, 0) | magic "KOLMRSC1" (8 bytes)
// The trailer is read from the end of the file backwards: a 24-byte footer with the magic
// describes the payload before it; the first footer without the magic ends the list (the ELF
// image begins there). The loader never maps the trailer, so the program runs unchanged.
// `strip` and other tools that rewrite the ELF image drop the trailer: a stripped package has
// no resources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kolm {

constexpr uint32_t KE_RESOURCE_PACKAGE = 500;  // the packaged archive, scrambled
constexpr uint32_t KE_RESOURCE_SHADERS = 501;  // the engine's shader folders and textures
constexpr size_t KE_RESOURCE_FOOTER_SIZE = 24;

struct KeExeResource {
    uint32_t id = 0;
    uint64_t offset = 0;  // of the payload, bytes from the file's start
    uint64_t size = 0;    // of the payload, bytes
};

// Result of reading resources.
enum class KeResourceStatus {
    Ok,
    Missing,     // the file has no resource (of that id)
    Unreadable,  // the file does not open or a read fails
    Damaged,     // a footer with the magic describes bytes the file does not have
};

// Reads `size` bytes at `offset` into `out`; false on a short read.
using KeReadAt = bool (*)(void* user, uint64_t offset, void* out, size_t size);

// The resource list of a file of `fileSize` bytes read through `readAt`, in file order (the
// first appended first). On Damaged, `error` says what is wrong. Never allocates by a size
// it has not checked against the file.
KeResourceStatus keParseExeResources(KeReadAt readAt, void* user, uint64_t fileSize,
                                     std::vector<KeExeResource>* list, std::string* error);

// The same over bytes in memory.
KeResourceStatus keParseExeResources(const void* data, size_t size, std::vector<KeExeResource>* list,
                                     std::string* error);

// The resource list of the file at `path` (symbolic links followed).
KeResourceStatus keListExeResources(const char* path, std::vector<KeExeResource>* list, std::string* error);

// The payload of the last resource `id` in the file at `path` (a later one replaces an
// earlier one). Missing when there is none.
KeResourceStatus keReadExeResource(const char* path, uint32_t id, std::string* payload, std::string* error);

// The payload of resource `id` of the running executable (/proc/self/exe).
KeResourceStatus keReadOwnResource(uint32_t id, std::string* payload, std::string* error);

// Appends one resource to the file at `path`. 0 on success, -1 when the file does not open for
// appending or a write fails (`error` says which).
int keAppendExeResource(const char* path, uint32_t id, const void* data, size_t size, std::string* error);

// Copies the ELF image of the executable `from` (without any resource it carries) to `to`,
// created or emptied (never through a symbolic link), with the source's permission bits.
// 0 on success; -1 with `to` removed again on failure.
int keCopyExecutableImage(const char* from, const char* to, std::string* error);

}  // namespace kolm
