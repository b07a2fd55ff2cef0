#include "files/CKeArchiveRoot.h"

#include <algorithm>
#include <vector>

namespace kolm {

using irr::s32;
using irr::u32;
using irr::io::path;

path keArchiveMemberName(const path& name) {
    path n = name;
    n.replace('\\', '/');
    u32 start = 0;
    for (;;) {
        if (start < n.size() && n[start] == '/') {
            ++start;
        } else if (start + 1 < n.size() && n[start] == '.' && n[start + 1] == '/') {
            start += 2;
        } else {
            break;
        }
    }
    return start ? n.subString(start, n.size() - start) : n;
}

namespace {
std::vector<const irr::io::IFileArchive*> g_roots;  // live instances; main thread only
}

CKeArchiveRoot::CKeArchiveRoot(irr::io::IFileArchive* inner) : m_inner(inner) {
    m_inner->grab();
    g_roots.push_back(this);
}

CKeArchiveRoot::~CKeArchiveRoot() {
    g_roots.erase(std::remove(g_roots.begin(), g_roots.end(), static_cast<const irr::io::IFileArchive*>(this)),
                  g_roots.end());
    m_inner->drop();
}

bool CKeArchiveRoot::isRoot(const irr::io::IFileArchive* archive) {
    return std::find(g_roots.begin(), g_roots.end(), archive) != g_roots.end();
}

irr::io::IReadFile* CKeArchiveRoot::createAndOpenFile(const path& filename) {
    const path member = keArchiveMemberName(filename);
    return member.empty() ? nullptr : m_inner->createAndOpenFile(member);
}

irr::io::IReadFile* CKeArchiveRoot::createAndOpenFile(u32 index) { return m_inner->createAndOpenFile(index); }

const irr::io::IFileList* CKeArchiveRoot::getFileList() const { return this; }

irr::io::E_FILE_ARCHIVE_TYPE CKeArchiveRoot::getType() const { return m_inner->getType(); }

u32 CKeArchiveRoot::getFileCount() const { return m_inner->getFileList()->getFileCount(); }

const path& CKeArchiveRoot::getFileName(u32 index) const { return m_inner->getFileList()->getFileName(index); }

const path& CKeArchiveRoot::getFullFileName(u32 index) const {
    return m_inner->getFileList()->getFullFileName(index);
}

u32 CKeArchiveRoot::getFileSize(u32 index) const { return m_inner->getFileList()->getFileSize(index); }

u32 CKeArchiveRoot::getFileOffset(u32 index) const { return m_inner->getFileList()->getFileOffset(index); }

u32 CKeArchiveRoot::getID(u32 index) const { return m_inner->getFileList()->getID(index); }

bool CKeArchiveRoot::isDirectory(u32 index) const { return m_inner->getFileList()->isDirectory(index); }

s32 CKeArchiveRoot::findFile(const path& filename, bool isFolder) const {
    const path member = keArchiveMemberName(filename);
    return member.empty() ? -1 : m_inner->getFileList()->findFile(member, isFolder);
}

const path& CKeArchiveRoot::getPath() const { return m_inner->getFileList()->getPath(); }

// The archive's contents are fixed by its bytes: nothing is added or reordered.
u32 CKeArchiveRoot::addItem(const path&, u32, u32, bool, u32) { return getFileCount(); }

void CKeArchiveRoot::sort() {}

}  // namespace kolm
