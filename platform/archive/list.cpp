#include "platform/archive/archive.h"
#include "platform/archive/archive_names.h"
#include "platform/archive/archive_reader.h"

namespace {

EArchiveEntryKind KindOf(archive_entry* entry) {
    if (archive_entry_hardlink(entry) != nullptr)
        return EArchiveEntryKind::kHardLink;
    switch (archive_entry_filetype(entry)) {
        case AE_IFREG:
            return EArchiveEntryKind::kFile;
        case AE_IFDIR:
            return EArchiveEntryKind::kFolder;
        case AE_IFLNK:
            return EArchiveEntryKind::kSymlink;
        default:
            return EArchiveEntryKind::kOther;
    }
}

}  // namespace

bool ListArchive(const std::string& archiveUnixPath, std::vector<CArchiveEntryInfo>* entries,
                 std::string* errorUtf8) {
    std::string ignored;
    std::string& error = errorUtf8 ? *errorUtf8 : ignored;
    CArchiveReader reader;
    if (!reader.Open(archiveUnixPath, &error))
        return false;
    for (;;) {
        std::string problem;
        const CArchiveReader::ENext next = reader.Next(&problem);
        if (next == CArchiveReader::ENext::kEnd)
            return true;
        if (next == CArchiveReader::ENext::kDamaged) {
            error = "the archive is damaged or cut short (" + problem + ")";
            return false;
        }
        CArchiveEntryInfo info;
        archive_entry* entry = reader.Entry();
        const std::string name = reader.Name();
        if (next == CArchiveReader::ENext::kBadEntry) {
            info.m_strPath = name;
            info.m_strRefusal = problem;
            entries->push_back(std::move(info));
            continue;
        }
        std::vector<std::string> path;
        if (archive_names::SplitEntryPath(name, &path, &info.m_strRefusal))
            info.m_strPath = archive_names::JoinPath(path);
        else
            info.m_strPath = name;
        info.m_kind = KindOf(entry);
        info.m_nSize = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
        info.m_strLinkTarget = reader.LinkTarget();
        info.m_nModified = archive_entry_mtime(entry);

        int r;
        std::string dataError;
        do {
            const void* buf = nullptr;
            std::size_t size = 0;
            la_int64_t offset = 0;
            r = reader.ReadBlock(&buf, &size, &offset, &dataError);
        } while (r == ARCHIVE_OK || r == ARCHIVE_WARN);
        info.m_bDataIntact = r == ARCHIVE_EOF;
        entries->push_back(std::move(info));
        if (r == ARCHIVE_FATAL) {
            error = "the archive is damaged or cut short (" +
                    ArchiveError(reader.Handle(), "read error") + ")";
            return false;
        }
    }
}
