// Tree walks and folder-to-folder copies by open folder handles (*at calls),
// and the one way this service writes a file's whole content: into a file
// with no name (O_TMPFILE) that is linked in when complete, or, where the
// file system has no such files, into a scratch name renamed over the target.
#include "platform/fs/tree_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"
#include "platform/text/number.h"

const char kScratchPrefix[] = ".tv-scratch-";

namespace fs_detail {
namespace {

constexpr mode_t kAllWrite = S_IWUSR | S_IWGRP | S_IWOTH;

std::atomic<unsigned> g_scratchSerial{0};

bool ReadWriteLoop(int in, int out) {
    static thread_local char buf[1 << 16];
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += w;
        }
    }
}

// The kernel copies (copy_file_range, then sendfile, then plain reads and
// writes for the kinds of file that refuse both). A copy that has moved the
// whole size the source had stops without asking for more.
bool CopyData(int in, int out, std::int64_t size) {
    std::int64_t copied = 0;
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
        if (n > 0) {
            copied += n;
            if (copied == size)
                return true;
            continue;
        }
        if (n == 0)
            return copied > 0 || size > 0 || ReadWriteLoop(in, out);
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL &&
            errno != EBADF)
            return false;
        break;
    }
    for (;;) {
        ssize_t n = sendfile(out, in, nullptr, std::size_t{1} << 30);
        if (n > 0)
            continue;
        if (n == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return false;
        break;
    }
    return ReadWriteLoop(in, out);
}

// Files without a name are linked in through /proc; without /proc they
// are not used.
bool ProcFdUsable() {
    static const bool usable = access("/proc/self/fd", X_OK) == 0;
    return usable;
}

std::string FdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

class CFdGuard {
public:
    explicit CFdGuard(int fd = -1) : m_fd(fd) {}
    ~CFdGuard() {
        if (m_fd >= 0)
            close(m_fd);
    }
    CFdGuard(const CFdGuard&) = delete;
    CFdGuard& operator=(const CFdGuard&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// A scratch name in dirFd, made up only when needed (most copies never need
// one) and removed again unless it took the target's name.
class CScratchName {
public:
    explicit CScratchName(int dirFd) : m_dirFd(dirFd) {}
    ~CScratchName() {
        if (m_bLive)
            unlinkat(m_dirFd, m_name.c_str(), 0);
    }
    CScratchName(const CScratchName&) = delete;
    CScratchName& operator=(const CScratchName&) = delete;
    const std::string& Name() {
        if (m_name.empty())
            m_name = ScratchName();
        return m_name;
    }
    void SetLive(bool live) { m_bLive = live; }

private:
    int m_dirFd;
    std::string m_name;
    bool m_bLive = false;
};

}  // namespace

std::string ScratchName() {
    return kScratchPrefix + std::to_string(getpid()) + "-" +
           std::to_string(g_scratchSerial.fetch_add(1));
}

bool IsStaleScratchName(std::string_view name) {
    const std::string_view prefix = kScratchPrefix;
    if (name.substr(0, prefix.size()) != prefix)
        return false;
    std::string_view rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    const std::optional<std::int64_t> pid =
        dash == std::string_view::npos ? std::nullopt
                                       : text::ParseDecimal(rest.substr(0, dash), 1, INT_MAX);
    if (!pid || *pid == getpid())
        return false;
    return kill(static_cast<pid_t>(*pid), 0) != 0 && errno == ESRCH;
}

mode_t ProcessUmask() {
    // Read from /proc: umask() itself can only be read by changing it, which
    // other threads would see.
    static const mode_t mask = [] {
        mode_t found = 022;
        if (FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[128];
            while (std::fgets(line, sizeof line, status)) {
                unsigned value = 0;
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    found = static_cast<mode_t>(value & 0777);
                    break;
                }
            }
            std::fclose(status);
        }
        return found;
    }();
    return mask;
}

mode_t PlainFileMode() {
    return 0644 & ~ProcessUmask();
}

mode_t PlainFolderMode() {
    return 0755 & ~ProcessUmask();
}

bool CopyIntoFolder(int in, const struct stat& sst, int dirFd, const std::string& name,
                    const CopyIntoRules& rules, bool* created, bool* readOnlyKept) {
    *created = false;
    *readOnlyKept = false;
    if (!S_ISREG(sst.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    struct stat dst;
    // A name made meanwhile by someone else is met when the copy is linked in.
    errno = ENOENT;
    bool exists =
        !rules.knownAbsent && fstatat(dirFd, name.c_str(), &dst, AT_SYMLINK_NOFOLLOW) == 0;
    mode_t mode = rules.plain ? 0644 : sst.st_mode & 0777;
    if (exists) {
        if (rules.failIfExists)
            return Fail(ERROR_FILE_EXISTS);
        // A read-only file is kept, as the original system refused to replace
        // one; a link in the course is replaced itself, never written
        // through, or with plain rules refused.
        if (S_ISDIR(dst.st_mode) || (rules.plain && S_ISLNK(dst.st_mode)))
            return Fail(ERROR_ACCESS_DENIED);
        if (S_ISREG(dst.st_mode) && !(dst.st_mode & S_IWUSR) && !rules.plain) {
            *readOnlyKept = true;
            return Fail(ERROR_ACCESS_DENIED);
        }
        // The target keeps its permissions, losing write when the source is
        // read-only, as when it was written in place.
        if (S_ISREG(dst.st_mode) && !rules.plain) {
            mode = dst.st_mode & 07777;
            if (!(sst.st_mode & S_IWUSR))
                mode &= ~kAllWrite;
        }
    } else if (errno != ENOENT) {
        return FailErrno(errno);
    }

    CScratchName scratch(dirFd);
    int fd = ProcFdUsable() ? openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode) : -1;
    const bool unnamed = fd >= 0;
    if (!unnamed) {
        // A file system without unnamed files: a scratch name, whose own
        // failure tells what is wrong (no space, no permission).
        fd = openat(dirFd, scratch.Name().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0)
            return FailErrno(errno);
        scratch.SetLive(true);
    }
    CFdGuard out(fd);
    if (!CopyData(in, out.Get(), sst.st_size))
        return FailErrno(errno);
    struct timespec times[2] = {{0, UTIME_OMIT}, sst.st_mtim};
    futimens(out.Get(), times);
    if (exists && (mode & ~0777u))
        fchmod(out.Get(), mode);

    if (unnamed && !exists) {
        if (linkat(AT_FDCWD, FdPath(out.Get()).c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            *created = true;
        } else if (errno != EEXIST) {
            return FailErrno(errno);
        } else if (rules.failIfExists) {
            return Fail(ERROR_FILE_EXISTS);
        } else if (fstatat(dirFd, name.c_str(), &dst, AT_SYMLINK_NOFOLLOW) == 0) {
            if (rules.plain && (S_ISLNK(dst.st_mode) || S_ISDIR(dst.st_mode)))
                return Fail(ERROR_ACCESS_DENIED);
            if (!rules.plain && S_ISREG(dst.st_mode) && !(dst.st_mode & S_IWUSR)) {
                *readOnlyKept = true;
                return Fail(ERROR_ACCESS_DENIED);
            }
        }
        // Made by someone else meanwhile: replaced below like any other.
    }
    if (!*created) {
        if (unnamed) {
            if (linkat(AT_FDCWD, FdPath(out.Get()).c_str(), dirFd, scratch.Name().c_str(),
                       AT_SYMLINK_FOLLOW) != 0)
                return FailErrno(errno);
            scratch.SetLive(true);
        }
        if (renameat(dirFd, scratch.Name().c_str(), dirFd, name.c_str()) != 0)
            return FailErrno(errno);
        scratch.SetLive(false);
        *created = !exists;
    }
    if (close(out.Release()) != 0)
        return FailErrno(errno);
    return true;
}

}  // namespace fs_detail

using namespace fs_detail;

namespace {

using FileId = std::pair<dev_t, ino_t>;

// What the folders of one walk share.
struct WalkContext {
    std::string rootReal;        // the root with every link resolved
    std::set<FileId> linkedIns;  // folders entered through a link
};

bool Inside(const std::string& path, const std::string& root) {
    if (root == "/")
        return true;
    return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
           path[root.size()] == '/';
}

std::string RealPathOf(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::string AsciiLower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// The folder a Windows path names, opened for reading its entries, with its
// Unix path in *unixPath; -1 (last error set) when it can't be opened, a
// missing folder reported as not a folder.
int OpenWindowsFolder(const std::string& winFolder, std::optional<std::string>* unixPath) {
    *unixPath = ToUnixPath(winFolder);
    if (!*unixPath)
        return -1;
    const int fd = open((*unixPath)->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        FailErrno(errno == ENOENT ? ENOTDIR : errno);
    return fd;
}

}  // namespace

struct CWalkFolder::Impl {
    std::shared_ptr<WalkContext> ctx;
    DIR* dir = nullptr;
    std::string unixPath;
    std::vector<FileId> path;  // this folder and those above it in the walk
    // The entry Next gave last.
    std::string name;    // as on disk
    std::string target;  // a link's resolved target; empty for others
    WalkKind kind = WalkKind::Other;
    FileId id{};

    ~Impl() {
        if (dir)
            closedir(dir);
    }

    bool OnPath(const FileId& f) const {
        for (const FileId& p : path)
            if (p == f)
                return true;
        return false;
    }

    bool Start(int fd, std::string folder) {
        struct stat st;
        if (fstat(fd, &st) != 0) {
            int err = errno;
            close(fd);
            return FailErrno(err);
        }
        dir = fdopendir(fd);
        if (!dir) {
            int err = errno;
            close(fd);
            return FailErrno(err);
        }
        unixPath = std::move(folder);
        path.push_back({st.st_dev, st.st_ino});
        return true;
    }

    // The kind of a link's target: a file or folder inside the root.
    WalkKind LinkKind(const std::string& linkName) {
        std::string real = RealPathOf(JoinUnix(unixPath, linkName));
        struct stat st;
        if (real.empty() || !Inside(real, ctx->rootReal) || stat(real.c_str(), &st) != 0)
            return WalkKind::Other;
        if (S_ISREG(st.st_mode)) {
            target = std::move(real);
            return WalkKind::File;
        }
        if (!S_ISDIR(st.st_mode))
            return WalkKind::Other;
        id = {st.st_dev, st.st_ino};
        if (OnPath(id) || !ctx->linkedIns.insert(id).second)
            return WalkKind::Other;
        target = std::move(real);
        return WalkKind::Folder;
    }
};

CWalkFolder::CWalkFolder() : m_impl(std::make_unique<Impl>()) {}
CWalkFolder::~CWalkFolder() = default;

bool CWalkFolder::OpenRoot(const std::string& winFolder) {
    m_impl = std::make_unique<Impl>();
    std::optional<std::string> u;
    const int fd = OpenWindowsFolder(winFolder, &u);
    if (fd < 0)
        return false;
    m_impl->ctx = std::make_shared<WalkContext>();
    m_impl->ctx->rootReal = RealPathOf(*u);
    if (m_impl->ctx->rootReal.empty())
        m_impl->ctx->rootReal = *u;
    return m_impl->Start(fd, *u);
}

bool CWalkFolder::OpenChild(const CWalkFolder& parent) {
    const Impl& p = *parent.m_impl;
    m_impl = std::make_unique<Impl>();
    if (!p.dir || p.kind != WalkKind::Folder)
        return Fail(ERROR_DIRECTORY);
    int fd = p.target.empty() ? openat(dirfd(p.dir), p.name.c_str(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                              : open(p.target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return FailErrno(errno);
    struct stat st;
    // Swapped since it was listed: not the folder the walk decided on.
    if (fstat(fd, &st) != 0 || FileId{st.st_dev, st.st_ino} != p.id) {
        close(fd);
        return Fail(ERROR_DIRECTORY);
    }
    m_impl->ctx = p.ctx;
    m_impl->path = p.path;
    return m_impl->Start(fd, p.target.empty() ? JoinUnix(p.unixPath, p.name) : p.target);
}

bool CWalkFolder::Next(WalkEntry* entry) {
    Impl& f = *m_impl;
    if (!f.dir)
        return Fail(ERROR_NO_MORE_FILES);
    for (;;) {
        errno = 0;
        struct dirent* d = readdir(f.dir);
        if (!d) {
            if (errno != 0)
                return FailErrno(errno);
            return Fail(ERROR_NO_MORE_FILES);
        }
        std::string_view raw(d->d_name);
        if (raw == "." || raw == "..")
            continue;
        f.name.assign(raw);
        f.target.clear();
        unsigned char type = d->d_type;
        struct stat st;
        if (type == DT_UNKNOWN || type == DT_DIR) {
            // Folders need their identity; some file systems (iso9660) tell
            // no kinds at all.
            if (fstatat(dirfd(f.dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;  // gone since it was listed
            type = S_ISREG(st.st_mode)   ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
            f.id = {st.st_dev, st.st_ino};
        }
        if (type == DT_REG)
            f.kind = WalkKind::File;
        else if (type == DT_DIR)
            f.kind = f.OnPath(f.id) ? WalkKind::Other : WalkKind::Folder;
        else if (type == DT_LNK)
            f.kind = f.LinkKind(f.name);
        else
            f.kind = WalkKind::Other;
        entry->name = NameToGbk(raw);
        entry->kind = f.kind;
        entry->link = type == DT_LNK;
        SetLastError(ERROR_SUCCESS);
        return true;
    }
}

namespace {

// Lists an open folder's names but "." and ".."; a scratch file that an
// ended process left there is removed on the way instead of listed.
template <class Take>
void ForEachName(DIR* dir, Take take) {
    while (struct dirent* d = readdir(dir)) {
        const std::string_view n(d->d_name);
        if (n == "." || n == "..")
            continue;
        if (IsStaleScratchName(n)) {
            unlinkat(dirfd(dir), d->d_name, 0);
            continue;
        }
        take(d->d_name, d->d_type);
    }
}

}  // namespace

struct CCopyTarget::Impl {
    DIR* dir = nullptr;
    ERules rules = ERules::kAsSource;
    // Names in the folder by their lower-case form (first in listing order),
    // with their kind as listed, kept current with what this target adds.
    struct Name {
        std::string name;
        unsigned char type = DT_UNKNOWN;
    };
    std::unordered_map<std::string, Name> names;

    ~Impl() {
        if (dir)
            closedir(dir);
    }

    bool Plain() const { return rules == ERules::kPlain; }

    // Takes over fd (an open folder) and lists it.
    bool Start(int fd) {
        dir = fdopendir(fd);
        if (!dir) {
            int err = errno;
            close(fd);
            return FailErrno(err);
        }
        ForEachName(dir, [&](const char* name, unsigned char type) {
            names.try_emplace(AsciiLower(name), Name{std::string(name), type});
        });
        SetLastError(ERROR_SUCCESS);
        return true;
    }

    // The kind of an existing name; DT_UNKNOWN asks the file system.
    unsigned char TypeOf(const Name& n) const {
        if (n.type != DT_UNKNOWN)
            return n.type;
        struct stat st;
        if (fstatat(dirfd(dir), n.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return DT_UNKNOWN;
        return S_ISREG(st.st_mode)   ? DT_REG
               : S_ISDIR(st.st_mode) ? DT_DIR
               : S_ISLNK(st.st_mode) ? DT_LNK
                                     : DT_UNKNOWN;
    }
};

CCopyTarget::CCopyTarget() : m_impl(std::make_unique<Impl>()) {}
CCopyTarget::~CCopyTarget() = default;

bool CCopyTarget::Open(const std::string& winFolder, ERules rules) {
    m_impl = std::make_unique<Impl>();
    m_impl->rules = rules;
    std::optional<std::string> u;
    const int fd = OpenWindowsFolder(winFolder, &u);
    if (fd < 0)
        return false;
    return m_impl->Start(fd);
}

bool RemoveStaleScratchFiles(const std::string& winFolder) {
    std::optional<std::string> u;
    const int fd = OpenWindowsFolder(winFolder, &u);
    if (fd < 0)
        return false;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int err = errno;
        close(fd);
        return FailErrno(err);
    }
    ForEachName(dir, [](const char*, unsigned char) {});
    closedir(dir);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CCopyTarget::OpenChild(CCopyTarget& parent, const CWalkFolder& source) {
    Impl& p = *parent.m_impl;
    const CWalkFolder::Impl& s = *source.m_impl;
    m_impl = std::make_unique<Impl>();
    m_impl->rules = p.rules;
    if (!p.dir || !s.dir || s.kind != WalkKind::Folder)
        return Fail(ERROR_DIRECTORY);
    const auto known = p.names.find(AsciiLower(s.name));
    std::string name = s.name;
    if (known != p.names.end()) {
        name = known->second.name;
        // A link is never followed into, whatever it leads to.
        const unsigned char type = p.TypeOf(known->second);
        if (type == DT_LNK)
            return Fail(ERROR_ACCESS_DENIED);
        if (type != DT_DIR)
            return Fail(ERROR_FILE_EXISTS);
    } else if (mkdirat(dirfd(p.dir), name.c_str(), p.Plain() ? 0755 : 0777) != 0 &&
               errno != EEXIST) {
        return FailErrno(errno);
    } else {
        p.names.try_emplace(AsciiLower(name), Impl::Name{name, DT_DIR});
    }
    const int fd =
        openat(dirfd(p.dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ELOOP || errno == ENOTDIR ? Fail(ERROR_ACCESS_DENIED) : FailErrno(errno);
    return m_impl->Start(fd);
}

CCopyTarget::Outcome CCopyTarget::CopyFrom(
    const CWalkFolder& source, const std::function<void(std::uint64_t size)>& beforeData) {
    const CWalkFolder::Impl& s = *source.m_impl;
    if (!m_impl->dir) {
        SetLastError(ERROR_INVALID_HANDLE);
        return kFailed;
    }
    if (!s.dir || s.kind != WalkKind::File) {
        SetLastError(ERROR_ACCESS_DENIED);
        return kFailed;
    }
    // Non-blocking: a FIFO put in the file's place opens at once and is refused.
    CFdGuard in(s.target.empty() ? openat(dirfd(s.dir), s.name.c_str(),
                                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                                 : open(s.target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat sst;
    if (in.Get() < 0 || fstat(in.Get(), &sst) != 0) {
        SetLastErrorFromErrno(errno);
        return kFailed;
    }
    if (beforeData && S_ISREG(sst.st_mode))
        beforeData(static_cast<std::uint64_t>(sst.st_size));
    return CopyOpened(in.Get(), sst, s.name);
}

CCopyTarget::Outcome CCopyTarget::CopyOpened(int in, const struct stat& sst,
                                             const std::string& sourceName) {
    std::string key = AsciiLower(sourceName);
    auto known = m_impl->names.find(key);
    const std::string& name = known == m_impl->names.end() ? sourceName : known->second.name;
    bool created = false;
    bool readOnlyKept = false;
    CopyIntoRules rules;
    rules.knownAbsent = known == m_impl->names.end();
    rules.plain = m_impl->Plain();
    if (!CopyIntoFolder(in, sst, dirfd(m_impl->dir), name, rules, &created, &readOnlyKept))
        return readOnlyKept ? kKeptReadOnly : kFailed;
    if (known == m_impl->names.end())
        m_impl->names.emplace(std::move(key), Impl::Name{sourceName, DT_REG});
    SetLastError(ERROR_SUCCESS);
    return kCopied;
}

CCopyTarget::Outcome CCopyTarget::MoveFrom(const CWalkFolder& source) {
    const CWalkFolder::Impl& s = *source.m_impl;
    Impl& t = *m_impl;
    if (!t.dir) {
        SetLastError(ERROR_INVALID_HANDLE);
        return kFailed;
    }
    // Only a file of the walked folder itself moves, never what a link
    // leads to.
    if (!s.dir || s.kind != WalkKind::File || !s.target.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return kFailed;
    }
    struct stat sst;
    if (fstatat(dirfd(s.dir), s.name.c_str(), &sst, AT_SYMLINK_NOFOLLOW) != 0) {
        SetLastErrorFromErrno(errno);
        return kFailed;
    }
    if (!S_ISREG(sst.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return kFailed;
    }
    std::string key = AsciiLower(s.name);
    auto known = t.names.find(key);
    const std::string name = known == t.names.end() ? s.name : known->second.name;
    if (known != t.names.end()) {
        const unsigned char type = t.TypeOf(known->second);
        // Neither a folder nor (with plain rules) a link gives way to a file.
        if (type == DT_DIR || (t.Plain() && type == DT_LNK)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return kFailed;
        }
        if (!t.Plain() && type == DT_REG) {
            struct stat dst;
            if (fstatat(dirfd(t.dir), name.c_str(), &dst, AT_SYMLINK_NOFOLLOW) == 0 &&
                !(dst.st_mode & S_IWUSR)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return kKeptReadOnly;
            }
        }
    }
    // The file takes its final permissions before it takes its place.
    if (t.Plain() && (sst.st_mode & 07777) != PlainFileMode() &&
        fchmodat(dirfd(s.dir), s.name.c_str(), PlainFileMode(), 0) != 0) {
        SetLastErrorFromErrno(errno);
        return kFailed;
    }
    if (renameat(dirfd(s.dir), s.name.c_str(), dirfd(t.dir), name.c_str()) != 0) {
        if (errno != EXDEV) {
            SetLastErrorFromErrno(errno);
            return kFailed;
        }
        // Another file system: a copy, the source left for its folder's
        // removal.
        CFdGuard in(
            openat(dirfd(s.dir), s.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (in.Get() < 0 || fstat(in.Get(), &sst) != 0) {
            SetLastErrorFromErrno(errno);
            return kFailed;
        }
        return CopyOpened(in.Get(), sst, s.name);
    }
    if (known == t.names.end())
        t.names.emplace(std::move(key), Impl::Name{s.name, DT_REG});
    else
        known->second.type = DT_REG;
    SetLastError(ERROR_SUCCESS);
    return kCopied;
}
