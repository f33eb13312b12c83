#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>

#include "platform/archive/archive.h"
#include "platform/archive/archive_names.h"
#include "platform/archive/archive_reader.h"

using archive_names::JoinPath;
using archive_names::Printable;

namespace {

constexpr int kDiskOptions =
    ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;

// True when the folder holds nothing but plain files (the archive itself,
// say): no link and no folder that could hold one. False when it cannot be
// listed.
bool HoldsOnlyFiles(const std::string& path) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->is_symlink(ec))
            return false;
    }
    return !ec;
}

// Makes a folder the process's current folder while it lives, so that the
// disk writer works with names relative to it.
class CCurrentFolder {
public:
    ~CCurrentFolder() {
        if (m_saved >= 0) {
            if (m_bEntered && fchdir(m_saved) != 0) {
                // Nothing sensible is left to do: the old folder is gone.
            }
            close(m_saved);
        }
    }

    bool Enter(const std::string& dir, std::string* error) {
        m_saved = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_saved < 0)
            m_saved = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (m_saved < 0 || chdir(dir.c_str()) != 0) {
            *error = std::string("cannot enter the destination: ") + std::strerror(errno);
            return false;
        }
        m_bEntered = true;
        return true;
    }

private:
    int m_saved = -1;
    bool m_bEntered = false;
};

struct CArchiveEntryDeleter {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};
using CEntryCopy = std::unique_ptr<archive_entry, CArchiveEntryDeleter>;

// A symbolic link, made once every other entry is in place.
struct CDeferredLink {
    std::string m_strName;  // as read, for messages
    std::vector<std::string> m_path;
    std::string m_strTarget;
    CEntryCopy m_entry;
};

class CExtractor {
public:
    CExtractor(const std::string& archivePath, std::vector<std::string>* problems, bool lengthKnown)
        : m_strArchive(archivePath), m_problems(problems), m_bLengthKnown(lengthKnown) {}

    ~CExtractor() {
        if (m_disk != nullptr)
            archive_write_free(m_disk);
    }

    void Run(const std::string& dest) {
        std::string error;
        if (!m_reader.Open(m_strArchive, &error, m_bLengthKnown)) {
            Problem(m_strArchive, error);
            return;
        }
        std::error_code ec;
        std::filesystem::create_directories(dest, ec);
        if (ec) {
            Problem(dest, "cannot create the destination: " + ec.message());
            return;
        }
        // Links of the destination must not be written through. In one that
        // held no folder and no link there are only the archive's own, which
        // are made after every other entry and which no entry's path may
        // cross; only a destination that held folders or links needs
        // libarchive's check of every folder on every entry's path (a few
        // system calls a folder and entry).
        int options = kDiskOptions;
        if (!HoldsOnlyFiles(dest))
            options |= ARCHIVE_EXTRACT_SECURE_SYMLINKS;
        CCurrentFolder inDest;
        if (!inDest.Enter(dest, &error)) {
            Problem(dest, error);
            return;
        }
        m_disk = archive_write_disk_new();
        if (m_disk == nullptr || archive_write_disk_set_options(m_disk, options) != ARCHIVE_OK) {
            Problem(m_strArchive, "out of memory");
            return;
        }

        bool reading = true;
        while (reading) {
            switch (m_reader.Next(&error)) {
                case CArchiveReader::ENext::kEnd:
                    reading = false;
                    break;
                case CArchiveReader::ENext::kDamaged:
                    Problem(m_strArchive, "the archive is damaged or cut short (" + error + ")");
                    reading = false;
                    break;
                case CArchiveReader::ENext::kBadEntry:
                    Problem(m_reader.Name().empty() ? EntryNumber() : m_reader.Name(), error);
                    break;
                case CArchiveReader::ENext::kEntry:
                    reading = ExtractEntry();
                    break;
            }
        }
        for (CDeferredLink& link : m_links)
            MakeLink(&link);
        // Folder times are set when the writer closes, by names relative to
        // the destination: still the current folder here.
        if (archive_write_close(m_disk) < ARCHIVE_WARN)
            Problem(m_strArchive, DiskError("cannot finish the extraction"));
        if (m_reader.EntriesRead() == 0 && m_problems->empty())
            Problem(m_strArchive, "the archive holds no entries");
    }

private:
    // One entry; false when the archive cannot be read on.
    bool ExtractEntry() {
        archive_entry* entry = m_reader.Entry();
        const std::string name = m_reader.Name();
        std::vector<std::string> path;
        std::string reason;
        if (!archive_names::SplitEntryPath(name, &path, &reason))
            return Refuse(name, reason);
        for (std::size_t n = 1; n < path.size(); ++n) {
            const std::vector<std::string> folder(path.begin(), path.begin() + n);
            if (m_linkPaths.count(JoinPath(folder)) != 0)
                return Refuse(name, "the path goes through the link \"" + JoinPath(folder) +
                                        "\" (nothing is written through a link)");
        }
        if (archive_entry_hardlink(entry) != nullptr)
            return Refuse(name, "hard links are refused");
        switch (archive_entry_filetype(entry)) {
            case AE_IFDIR:
                return ExtractFolder(name, path);
            case AE_IFREG:
                return ExtractFile(name, path);
            case AE_IFLNK: {
                CDeferredLink link;
                link.m_strName = name;
                link.m_path = path;
                link.m_strTarget = m_reader.LinkTarget();
                link.m_entry.reset(archive_entry_clone(entry));
                if (!link.m_entry)
                    return Refuse(name, "out of memory");
                m_linkPaths.insert(JoinPath(path));
                m_links.push_back(std::move(link));
                return true;
            }
            case AE_IFCHR:
            case AE_IFBLK:
                return Refuse(name, "device files are refused");
            case AE_IFIFO:
                return Refuse(name, "FIFOs are refused");
            case AE_IFSOCK:
                return Refuse(name, "sockets are refused");
            default:
                return Refuse(name, "entries of this kind are refused");
        }
    }

    bool ExtractFolder(const std::string& name, const std::vector<std::string>& path) {
        archive_entry* entry = m_reader.Entry();
        NoteWritten(path, true);
        archive_entry_set_pathname(entry, JoinPath(path).c_str());
        archive_entry_set_perm(entry, 0755);
        const int r = archive_write_header(m_disk, entry);
        if (r < ARCHIVE_WARN) {
            Problem(name, DiskError("cannot be created"));
            return r != ARCHIVE_FATAL;
        }
        if (archive_write_finish_entry(m_disk) < ARCHIVE_WARN)
            Problem(name, DiskError("cannot be finished"));
        return true;
    }

    bool ExtractFile(const std::string& name, const std::vector<std::string>& path) {
        archive_entry* entry = m_reader.Entry();
        const std::string joined = JoinPath(path);
        NoteWritten(path, false);
        const std::int64_t declared =
            archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
        const bool sparse = archive_entry_sparse_count(entry) > 0;
        archive_entry_set_pathname(entry, joined.c_str());
        // Never executable, whatever the archive says: what an archive brings
        // into a course must not become a program the system would run.
        archive_entry_set_perm(entry, 0644);
        // The writer would stretch a file to its declared size; only the
        // data actually read may land on disk (a sparse file's holes are
        // part of its data).
        if (!sparse)
            archive_entry_unset_size(entry);
        int r = archive_write_header(m_disk, entry);
        if (r < ARCHIVE_WARN) {
            Problem(name, DiskError("cannot be written"));
            return r != ARCHIVE_FATAL && archive_read_data_skip(m_reader.Handle()) >= ARCHIVE_WARN;
        }

        std::int64_t end = 0;
        std::string failure;
        bool readable = true;
        for (;;) {
            const void* buf = nullptr;
            std::size_t size = 0;
            la_int64_t offset = 0;
            std::string error;
            r = m_reader.ReadBlock(&buf, &size, &offset, &error);
            if (r == ARCHIVE_EOF)
                break;
            if (r < ARCHIVE_WARN) {
                if (error.empty())
                    error = ArchiveError(m_reader.Handle(), "read error");
                failure = "the data is damaged (" + error + ")";
                readable = r != ARCHIVE_FATAL;
                break;
            }
            // A failed write (a full disk) is only a warning to libarchive;
            // here it loses the file's data.
            if (size > 0 && archive_write_data_block(m_disk, buf, size, offset) < ARCHIVE_OK) {
                failure = DiskError("cannot be written");
                readable = archive_read_data_skip(m_reader.Handle()) >= ARCHIVE_WARN;
                break;
            }
            end = std::max<std::int64_t>(end, offset + static_cast<std::int64_t>(size));
        }
        if (failure.empty() && declared >= 0 && end < declared && !sparse)
            failure = "the data is shorter than the size the archive gives";
        if (archive_write_finish_entry(m_disk) < ARCHIVE_WARN && failure.empty())
            failure = DiskError("cannot be written");
        if (!failure.empty()) {
            // Half a file must not pass for the file.
            unlink(joined.c_str());
            Problem(name, failure);
        }
        return readable;
    }

    void MakeLink(CDeferredLink* link) {
        const std::string joined = JoinPath(link->m_path);
        if (m_folders.count(joined) != 0) {
            Problem(link->m_strName, "the link would take the place of a folder of the archive");
            return;
        }
        std::vector<std::string> traversed;
        std::string reason;
        if (!archive_names::LinkStaysInside(link->m_path, link->m_strTarget, &traversed, &reason)) {
            Problem(link->m_strName, reason + " (\"" + link->m_strTarget + "\")");
            return;
        }
        for (const std::string& folder : traversed) {
            struct stat st {};
            if (m_linkPaths.count(folder) != 0 ||
                (lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode))) {
                Problem(link->m_strName, "the link's target \"" + link->m_strTarget +
                                             "\" goes through the link \"" + folder + "\"");
                return;
            }
        }
        archive_entry* entry = link->m_entry.get();
        archive_entry_set_pathname(entry, joined.c_str());
        archive_entry_set_symlink(entry, link->m_strTarget.c_str());
        archive_entry_unset_size(entry);
        if (archive_write_header(m_disk, entry) < ARCHIVE_WARN) {
            Problem(link->m_strName, DiskError("cannot be created"));
            return;
        }
        if (archive_write_finish_entry(m_disk) < ARCHIVE_WARN)
            Problem(link->m_strName, DiskError("cannot be finished"));
    }

    // Records an entry and the folders above it; a link may not take the
    // place of any of them.
    void NoteWritten(const std::vector<std::string>& path, bool isFolder) {
        std::string prefix;
        for (std::size_t i = 0; i < path.size(); ++i) {
            prefix += (i ? "/" : "") + path[i];
            if (i + 1 < path.size() || isFolder)
                m_folders.insert(prefix);
        }
    }

    bool Refuse(const std::string& name, const std::string& reason) {
        Problem(name, reason);
        return true;  // the reader skips the entry's data by itself
    }

    void Problem(const std::string& what, const std::string& reason) {
        m_problems->push_back(Printable(what) + ": " + reason);
    }

    std::string DiskError(const std::string& what) const {
        return archive_error_string(m_disk) != nullptr
                   ? what + " (" + ArchiveError(m_disk, "") + ")"
                   : what;
    }

    std::string EntryNumber() const { return "entry " + std::to_string(m_reader.EntriesRead()); }

    std::string m_strArchive;
    std::vector<std::string>* m_problems;
    bool m_bLengthKnown = false;
    CArchiveReader m_reader;
    archive* m_disk = nullptr;
    std::set<std::string> m_linkPaths;  // symbolic link entries, joined
    std::set<std::string> m_folders;    // folders of extracted entries, joined
    std::vector<CDeferredLink> m_links;
};

}  // namespace

bool ExtractArchive(const std::string& archiveUnixPath, const std::string& destUnixPath,
                    std::vector<std::string>* problemsUtf8, bool lengthKnown) {
    std::vector<std::string> ignored;
    std::vector<std::string>* problems = problemsUtf8 ? problemsUtf8 : &ignored;
    const std::size_t before = problems->size();
    std::vector<std::string> found;
    CExtractor(archiveUnixPath, &found, lengthKnown).Run(destUnixPath);
    problems->insert(problems->end(), found.begin(), found.end());
    return problems->size() == before;
}
