// A mounted package archive seen as the root of the file tree: "/scenes/gem.x" names the member
// "scenes/gem.x". Packaged runs hand such rooted names to the library directly (mesh and
// texture loading, the shader services' existFile and createAndOpenFile), while the library's
// own zip reader knows member names only without the leading "/".
#pragma once

#include <irrlicht.h>

namespace kolm {

class CKeArchiveRoot : public irr::io::IFileArchive, public irr::io::IFileList {
public:
    // Takes its own reference to `inner`.
    explicit CKeArchiveRoot(irr::io::IFileArchive* inner);
    ~CKeArchiveRoot() override;

    // Whether `archive` is one of these (the library is built without run-time type
    // information for its own classes, so no dynamic_cast on what it returns).
    static bool isRoot(const irr::io::IFileArchive* archive);

    // IFileArchive
    irr::io::IReadFile* createAndOpenFile(const irr::io::path& filename) override;
    irr::io::IReadFile* createAndOpenFile(irr::u32 index) override;
    const irr::io::IFileList* getFileList() const override;
    irr::io::E_FILE_ARCHIVE_TYPE getType() const override;

    // IFileList: the inner archive's list, looked up with rooted names too. Read only.
    irr::u32 getFileCount() const override;
    const irr::io::path& getFileName(irr::u32 index) const override;
    const irr::io::path& getFullFileName(irr::u32 index) const override;
    irr::u32 getFileSize(irr::u32 index) const override;
    irr::u32 getFileOffset(irr::u32 index) const override;
    irr::u32 getID(irr::u32 index) const override;
    bool isDirectory(irr::u32 index) const override;
    irr::s32 findFile(const irr::io::path& filename, bool isFolder = false) const override;
    const irr::io::path& getPath() const override;
    irr::u32 addItem(const irr::io::path& fullPath, irr::u32 offset, irr::u32 size, bool isDirectory,
                     irr::u32 id = 0) override;
    void sort() override;

private:
    irr::io::IFileArchive* m_inner;
};

// The member name of `name` in an archive mounted as the root: "\" as "/", leading "/" and
// "./" taken off ("/" itself is the empty name).
irr::io::path keArchiveMemberName(const irr::io::path& name);

}  // namespace kolm
