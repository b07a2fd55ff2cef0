#include "files/KeReadFile.h"

#include "kf/kfile.h"

#include <irrlicht/IFileSystem.h>
#include <irrlicht/IReadFile.h>

#include <cstdlib>

namespace kolm {

bool keReadWholeFile(const char* path, std::string& out) {
    out.clear();
    if (!path) return false;
    size_t size = 0;
    char* data = kfile_read_all(path, &size);
    if (!data) {
        // kfile_read_all answers null for an empty file too: tell it from a missing one.
        if (!kfile_exists(path)) return false;
        KFILE* f = kfile_fopen(path, "rb");
        if (!f) return false;
        char c;
        const size_t got = f->read(&c, 1, 1, f);
        kfile_fclose(f);
        return got == 0;
    }
    out.assign(data, size);
    std::free(data);
    return true;
}

bool keReadWholeFile(irr::io::IReadFile* file, std::string& out) {
    out.clear();
    if (!file) return false;
    const long size = file->getSize();
    if (size < 0) return false;
    out.resize(static_cast<size_t>(size));
    file->seek(0);
    const irr::s32 got = size ? file->read(&out[0], static_cast<irr::u32>(size)) : 0;
    if (got != size) {
        out.clear();
        return false;
    }
    return true;
}

bool keReadWholeFile(irr::io::IFileSystem* fs, const char* path, std::string& out) {
    out.clear();
    if (!fs || !path) return false;
    irr::io::IReadFile* f = fs->createAndOpenFile(path);
    if (!f) return false;
    const bool ok = keReadWholeFile(f, out);
    f->drop();
    return ok;
}

}  // namespace kolm
