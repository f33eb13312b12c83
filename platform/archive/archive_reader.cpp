#include "platform/archive/archive_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/archive/crc32.h"
#include "platform/archive/rar_blocks.h"

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;

}  // namespace

std::string ArchiveError(archive* a, const char* fallback) {
    const char* message = archive_error_string(a);
    std::string_view text = message != nullptr ? message : fallback;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    return archive_names::Printable(
        archive_names::NameToUtf8(text, archive_names::ENameForm::kGuess));
}

CUtf8Locale::CUtf8Locale() {
    // Made once for the process: making and freeing a locale maps and unmaps
    // the locale files, which cost more than reading a small archive.
    static const locale_t utf8 = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            const locale_t made = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
            if (made != static_cast<locale_t>(0))
                return made;
        }
        return static_cast<locale_t>(0);
    }();
    m_utf8 = utf8;
    if (m_utf8 != static_cast<locale_t>(0))
        m_previous = uselocale(m_utf8);
}

CUtf8Locale::~CUtf8Locale() {
    if (m_utf8 != static_cast<locale_t>(0))
        uselocale(m_previous);
}

CArchiveReader::CArchiveReader() = default;

CArchiveReader::~CArchiveReader() {
    if (m_archive != nullptr)
        archive_read_free(m_archive);
    if (m_fd >= 0)
        close(m_fd);
}

bool CArchiveReader::Open(const std::string& path, std::string* error, bool lengthKnown) {
    // Not blocking: opening a FIFO would otherwise wait for a writer forever.
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0) {
        *error = std::string("cannot open the archive: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        *error = "the archive is a folder, not a file";
        return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
        *error = "the archive is not a file (a pipe, socket or character device)";
        return false;
    }
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        *error = std::string("cannot read the archive: ") + std::strerror(errno);
        return false;
    }
    if (S_ISREG(st.st_mode) && st.st_size == 0) {
        *error = "the archive is an empty file";
        return false;
    }
    m_nFileSize = st.st_size;
    // libarchive takes a RAR archive that ends between two blocks, or in the
    // first bytes of one, for a whole one: its blocks are walked first.
    std::int64_t at = 0;
    switch (CheckRarEnd(m_fd, &at)) {
        case ERarEnd::kCut:
            *error =
                "the archive is cut short: it ends inside the block at byte " + std::to_string(at);
            return false;
        case ERarEnd::kBad:
            *error = "the archive is damaged: the block at byte " + std::to_string(at) +
                     " has sizes that make no sense";
            return false;
        case ERarEnd::kNoEndBlock:
            if (!lengthKnown) {
                *error = "the archive ends without its end-of-archive block: it may be cut short";
                return false;
            }
            break;
        case ERarEnd::kEndBlock:
        case ERarEnd::kNotRar:
            break;
    }
    m_archive = archive_read_new();
    if (m_archive == nullptr) {
        *error = "out of memory";
        return false;
    }
    // The formats an update package can come in. Left out on purpose: mtree
    // (its entries name files on this machine to copy from) and the "empty"
    // and raw readers (an empty file or any data would pass as an archive).
    archive_read_support_format_rar(m_archive);
    archive_read_support_format_rar5(m_archive);
    archive_read_support_format_zip(m_archive);
    archive_read_support_format_7zip(m_archive);
    archive_read_support_format_tar(m_archive);
    archive_read_support_format_cpio(m_archive);
    archive_read_support_format_iso9660(m_archive);
    archive_read_support_format_cab(m_archive);
    archive_read_support_format_lha(m_archive);
    archive_read_support_format_ar(m_archive);
    archive_read_support_format_xar(m_archive);
    // Compression libarchive does itself (never by starting another program).
    archive_read_support_filter_gzip(m_archive);
    archive_read_support_filter_bzip2(m_archive);
    archive_read_support_filter_xz(m_archive);
    archive_read_support_filter_lzma(m_archive);
    archive_read_support_filter_zstd(m_archive);
    if (archive_read_open_fd(m_archive, m_fd, kReadBlock) != ARCHIVE_OK) {
        *error = "not an archive that can be read: " + ArchiveError(m_archive, "unknown format");
        return false;
    }
    return true;
}

CArchiveReader::ENext CArchiveReader::Next(std::string* error) {
    m_nameForm = archive_names::ENameForm::kGuess;
    m_rarHeader.reset();
    const int r = archive_read_next_header(m_archive, &m_entry);
    if (r == ARCHIVE_EOF)
        return ENext::kEnd;
    if (r == ARCHIVE_OK || r == ARCHIVE_WARN) {
        ++m_nEntries;
        ProbeEntry();
        if (archive_entry_pathname(m_entry) == nullptr) {
            // The name could not be converted; without one the entry cannot
            // be placed.
            *error = ArchiveError(m_archive, "the entry's name cannot be read");
            return ENext::kBadEntry;
        }
        return ENext::kEntry;
    }
    *error = ArchiveError(m_archive, "the archive is damaged");
    if (r == ARCHIVE_FAILED) {
        // One unusable entry; the reader can go on unless it is stuck.
        const std::int64_t at = archive_read_header_position(m_archive);
        if (at != m_nLastBadPosition) {
            m_nLastBadPosition = at;
            ++m_nEntries;
            return ENext::kBadEntry;
        }
    }
    return ENext::kDamaged;
}

void CArchiveReader::ProbeEntry() {
    using archive_names::ENameForm;
    m_rarHeader.reset();
    m_dwCrc = 0;
    m_nNextOffset = 0;
    const int format = archive_format(m_archive);
    if (format == ARCHIVE_FORMAT_RAR_V5) {
        m_nameForm = ENameForm::kUtf8;  // always Unicode
        return;
    }
    m_nameForm = ENameForm::kGuess;
    if (format != ARCHIVE_FORMAT_RAR)
        return;
    std::optional<CRarHeaderProbe> probe =
        ProbeRarHeader(m_fd, archive_read_header_position(m_archive), m_nFileSize);
    // The header found must be the one the reader used: the same size, and
    // for a code-page name the reader's bytes are the stored ones with 0x5C
    // turned into '/'.
    if (!probe ||
        (archive_entry_size_is_set(m_entry) &&
         probe->m_nUnpackedSize != static_cast<std::uint64_t>(archive_entry_size(m_entry))))
        return;
    if (!probe->m_bUnicode) {
        std::string expected = probe->m_strNarrow;
        for (char& c : expected) {
            if (c == '\\')
                c = '/';
        }
        const char* name = archive_entry_pathname(m_entry);
        if (name == nullptr || expected != name)
            return;
    }
    m_nameForm = probe->m_bUnicode ? ENameForm::kUtf8 : ENameForm::kRarNarrow;
    m_rarHeader = std::move(probe);
}

int CArchiveReader::ReadBlock(const void** buf, std::size_t* size, la_int64_t* offset,
                              std::string* error) {
    const int r = archive_read_data_block(m_archive, buf, size, offset);
    if (r == ARCHIVE_WARN) {
        // At the end of an entry a warning is how the reader reports data
        // that does not match its header (a zip entry's sizes or checksum).
        *error = ArchiveError(m_archive, "the data does not match its header");
        return ARCHIVE_FAILED;
    }
    if (!m_rarHeader)
        return r;
    if (r == ARCHIVE_OK) {
        if (*offset != m_nNextOffset) {
            m_rarHeader.reset();  // not one run of bytes: nothing to check against
            return r;
        }
        m_dwCrc = Crc32Update(m_dwCrc, *buf, *size);
        m_nNextOffset += static_cast<std::int64_t>(*size);
    } else if (r == ARCHIVE_EOF && m_dwCrc != m_rarHeader->m_dwDataCrc) {
        *error = "the data does not match its checksum";
        return ARCHIVE_FAILED;
    }
    return r;
}

std::string CArchiveReader::Name() const {
    const char* name = archive_entry_pathname(m_entry);
    return name != nullptr ? archive_names::NameToUtf8(name, m_nameForm) : std::string();
}

std::string CArchiveReader::LinkTarget() const {
    const char* target = archive_entry_symlink(m_entry);
    if (target == nullptr)
        target = archive_entry_hardlink(m_entry);
    if (target == nullptr)
        return std::string();
    // Link targets come in the name's form for RAR; elsewhere, guess.
    const archive_names::ENameForm form = m_nameForm == archive_names::ENameForm::kUtf8
                                              ? archive_names::ENameForm::kUtf8
                                              : archive_names::ENameForm::kGuess;
    return archive_names::NameToUtf8(target, form);
}
