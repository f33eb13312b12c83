// Reading archives (on libarchive): the course's RAR packages, and any other
// format libarchive reads. Programs that never unpack do not link this
// (library tv_archive). Paths and names here are UTF-8 Unix paths; entry
// names stored in the GBK code page are converted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class EArchiveEntryKind { kFile, kFolder, kSymlink, kHardLink, kOther };

struct CArchiveEntryInfo {
    // The name as extraction would use it: relative, '/' between components,
    // "." and empty components dropped. A name extraction refuses is kept as
    // read (converted to UTF-8) and m_strRefusal says why.
    std::string m_strPath;
    std::string m_strRefusal;
    EArchiveEntryKind m_kind = EArchiveEntryKind::kOther;
    std::int64_t m_nSize = -1;     // -1 when the archive does not say
    std::string m_strLinkTarget;   // symbolic and hard links
    std::int64_t m_nModified = 0;  // seconds since 1970
    // The data was read to its end without an error (checksums accepted).
    bool m_bDataIntact = false;
};

// Lists every entry, in archive order, reading (and checking) the data of
// each. False with *errorUtf8 set when the file is not an archive or is
// damaged (a RAR archive without its end block counts as cut short); the
// entries read before the damage are listed.
bool ListArchive(const std::string& archiveUnixPath, std::vector<CArchiveEntryInfo>* entries,
                 std::string* errorUtf8);

// Extracts every entry with its folders into destUnixPath (created when
// missing), replacing existing files (read-only ones too) as an archiver told
// to answer yes to everything does. Nothing is ever written outside the
// destination: absolute names, ".." components, links whose target leaves the
// destination, entries whose path goes through a link, hard links, devices,
// FIFOs and sockets are refused. Symbolic links that stay inside are made
// after every other entry. A file whose data turns out damaged is removed;
// entries extracted before a damage stay.
//
// A RAR archive that is not whole (it ends inside a block, or without its
// end-of-archive block unless lengthKnown: only an archive known to be as
// long as when it was written may lack that block, as RAR 2 archives do) is
// refused before anything is extracted.
//
// Returns true when every entry was extracted. Otherwise each problem adds
// one line to *problemsUtf8: the entry's name (or the archive's path) and the
// reason. An archive without entries (an empty file) is a problem too.
//
// The process's current folder is the destination while this runs (so that
// libarchive's checks cover the destination and nothing above it), and is
// restored after: call it while no other thread depends on the current folder.
bool ExtractArchive(const std::string& archiveUnixPath, const std::string& destUnixPath,
                    std::vector<std::string>* problemsUtf8, bool lengthKnown = false);
