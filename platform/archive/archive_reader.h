// libarchive opened the way this system reads archives: the formats it
// accepts, UTF-8 names whatever the locale, and each entry's name decoded
// (GBK code-page names included). Private to platform/archive.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/archive/archive_names.h"
#include "platform/archive/rar_header_probe.h"

// libarchive's last message on a, or fallback, fit for one line of a report:
// its names may hold raw bytes in any code page and it may end in a newline.
std::string ArchiveError(archive* a, const char* fallback);

// Makes libarchive's name conversions produce UTF-8 on this thread while it
// lives (libarchive converts Unicode names to the locale's character set),
// whatever locale the process runs in.
class CUtf8Locale {
public:
    CUtf8Locale();
    ~CUtf8Locale();
    CUtf8Locale(const CUtf8Locale&) = delete;
    CUtf8Locale& operator=(const CUtf8Locale&) = delete;

private:
    locale_t m_utf8 = static_cast<locale_t>(0);
    locale_t m_previous = static_cast<locale_t>(0);
};

class CArchiveReader {
public:
    enum class ENext {
        kEntry,     // Entry() is the next entry
        kBadEntry,  // this entry's header is unusable; the next may be read
        kEnd,       // no more entries
        kDamaged,   // the archive cannot be read on (not one, damaged, cut short)
    };

    CArchiveReader();
    ~CArchiveReader();
    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    // Opens an archive file. False with *error set when it cannot be opened,
    // and for a RAR archive that is not whole: one that ends inside a block,
    // or, unless lengthKnown, without its end-of-archive block (writers put
    // one since RAR 3, but older archives have none: only an archive whose
    // length is known to be the one it was written with may lack it).
    bool Open(const std::string& path, std::string* error, bool lengthKnown = false);

    // Moves to the next entry. *error is set for kBadEntry and kDamaged.
    ENext Next(std::string* error);

    // The next block of the current entry's data, as archive_read_data_block.
    // At the end (ARCHIVE_EOF) the data is checked against the checksum the
    // archive keeps for it, where libarchive does not check it (RAR 4): a
    // mismatch is ARCHIVE_FAILED with *error set. libarchive's own warning
    // about an entry's data (sizes or checksum that do not match its header)
    // is ARCHIVE_FAILED too: the data is not the entry's.
    int ReadBlock(const void** buf, std::size_t* size, la_int64_t* offset, std::string* error);

    archive* Handle() { return m_archive; }
    archive_entry* Entry() { return m_entry; }
    // The current entry's name and link target as UTF-8, as stored (not yet
    // split or checked).
    std::string Name() const;
    std::string LinkTarget() const;
    std::int64_t EntriesRead() const { return m_nEntries; }

private:
    void ProbeEntry();

    CUtf8Locale m_locale;
    int m_fd = -1;
    std::int64_t m_nFileSize = 0;
    archive* m_archive = nullptr;
    archive_entry* m_entry = nullptr;
    std::int64_t m_nEntries = 0;
    std::int64_t m_nLastBadPosition = -1;
    // The current entry: how its name is encoded, and for RAR 4 its header.
    archive_names::ENameForm m_nameForm = archive_names::ENameForm::kGuess;
    std::optional<CRarHeaderProbe> m_rarHeader;
    std::uint32_t m_dwCrc = 0;  // of the data read so far
    std::int64_t m_nNextOffset = 0;
};
