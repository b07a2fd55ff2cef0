#include "package/KeZipReader.h"

#include <sys/stat.h>
#include <zip.h>

namespace kolm {

KeZipReader::~KeZipReader() {
    if (m_zip) zip_discard(m_zip);
}

bool KeZipReader::open(const void* data, size_t size, std::string* error) {
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(data, size, 0, &ze);
    if (src) {
        m_zip = zip_open_from_source(src, ZIP_CHECKCONS | ZIP_RDONLY, &ze);
        if (!m_zip) zip_source_free(src);
    }
    if (!m_zip) {
        if (error) *error = zip_error_strerror(&ze);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);

    const zip_int64_t n = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            if (error) *error = "Failed to stat file";
            return false;
        }
        KeZipEntry e;
        e.index = static_cast<uint64_t>(i);
        e.name = st.name;
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        e.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        e.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
        e.isFolder = !e.name.empty() && e.name.back() == '/';
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(m_zip, e.index, 0, &opsys, &attributes) == 0 &&
            opsys == ZIP_OPSYS_UNIX) {
            e.isLink = S_ISLNK(attributes >> 16);
        }
        m_entries.push_back(std::move(e));
    }
    return true;
}

bool KeZipReader::read(size_t i, std::string* out, uint64_t limit, std::string* error) const {
    const KeZipEntry& e = m_entries.at(i);
    if (e.size > limit) {
        if (error) *error = "entry claims " + std::to_string(e.size) + " bytes";
        return false;
    }
    zip_file_t* f = zip_fopen_index(m_zip, e.index, 0);
    if (!f) {
        if (error) *error = zip_strerror(m_zip);
        return false;
    }
    if (out) out->clear();
    char buffer[1 << 14];
    uint64_t total = 0;
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(f, buffer, sizeof buffer);
        if (n < 0) {
            if (error) *error = zip_error_strerror(zip_file_get_error(f));
            ok = false;
            break;
        }
        if (n == 0) break;
        total += static_cast<uint64_t>(n);
        // More data than the entry claims: the stream is not what the directory says.
        if (total > e.size) {
            if (error) *error = "entry holds more bytes than it claims";
            ok = false;
            break;
        }
        if (out) out->append(buffer, static_cast<size_t>(n));
    }
    if (ok && total != e.size) {
        if (error) *error = "entry holds fewer bytes than it claims";
        ok = false;
    }
    zip_fclose(f);
    return ok;
}

}  // namespace kolm
