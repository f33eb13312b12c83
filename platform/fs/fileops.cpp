// Whole-file operations: attributes, copy, move, delete, folders.
//
// Read-only is the owner's write permission. The system's original file
// system refuses to replace or delete a read-only file even for an
// administrator, and the system relies on that ("if deleting fails, make the
// file normal and delete again"), so the permission bit is checked here
// rather than left to the kernel, which lets root write anything.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"
#include "platform/text/text.h"

using namespace fs_detail;

namespace {

constexpr mode_t kAllWrite = S_IWUSR | S_IWGRP | S_IWOTH;

class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0)
            close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = fd;
    }
    // Closes now and reports a failed close (delayed write errors).
    bool Close() {
        int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};

bool IsReadOnly(const struct stat& st) {
    return !(st.st_mode & S_IWUSR);
}

// Copies between Unix paths through CopyIntoFolder: the target is replaced
// whole or not at all.
bool CopyUnixFile(const std::string& src, const std::string& dst, bool failIfExists) {
    CFd in(open(src.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.Get() < 0)
        return FailErrno(errno);
    struct stat sst;
    if (fstat(in.Get(), &sst) != 0)
        return FailErrno(errno);
    if (!S_ISREG(sst.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    const std::string name = UnixBaseName(dst);
    if (name.empty() || name == "." || name == "..")
        return Fail(ERROR_ACCESS_DENIED);
    CFd folder(open(UnixParent(dst).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0)
        return Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                        : ErrorFromErrno(errno));
    // Replacing a file by itself would only destroy it on failure.
    struct stat dstStat;
    if (fstatat(folder.Get(), name.c_str(), &dstStat, 0) == 0 && dstStat.st_dev == sst.st_dev &&
        dstStat.st_ino == sst.st_ino)
        return Fail(ERROR_SHARING_VIOLATION);
    CFolderChange change(dst);
    bool created = false;
    bool readOnlyKept = false;
    CopyIntoRules rules;
    rules.failIfExists = failIfExists;
    if (!CopyIntoFolder(in.Get(), sst, folder.Get(), name, rules, &created, &readOnlyKept))
        return false;
    if (created)
        change.Added();
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool MoveAcrossDevices(const std::string& src, const std::string& dst, const struct stat& sst) {
    if (S_ISDIR(sst.st_mode))
        return Fail(ERROR_NOT_SUPPORTED);
    if (!CopyUnixFile(src, dst, true))
        return false;
    CFolderChange change(src);
    if (unlink(src.c_str()) != 0)
        return FailErrno(errno);
    change.Removed();
    return true;
}

// rename() that never replaces: renameat2 where the file system has it,
// else link + unlink for files, else a check just before rename.
bool RenameNoReplace(const std::string& src, const std::string& dst, const struct stat& sst) {
    if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EXDEV)
        return MoveAcrossDevices(src, dst, sst);
    if (errno != EINVAL && errno != ENOSYS) {
        if (errno == EEXIST)
            return Fail(ERROR_ALREADY_EXISTS);
        if (errno == ENOENT)
            return Fail(ERROR_PATH_NOT_FOUND);  // the source was there
        return FailErrno(errno);
    }
    if (!S_ISDIR(sst.st_mode)) {
        if (link(src.c_str(), dst.c_str()) == 0) {
            unlink(src.c_str());
            return true;
        }
        if (errno == EEXIST)
            return Fail(ERROR_ALREADY_EXISTS);
        if (errno == EXDEV)
            return MoveAcrossDevices(src, dst, sst);
    }
    struct stat st;
    if (lstat(dst.c_str(), &st) == 0)
        return Fail(ERROR_ALREADY_EXISTS);
    if (rename(src.c_str(), dst.c_str()) != 0)
        return FailErrno(errno);
    return true;
}

bool IsDriveRoot(const std::string& unixPath) {
    if (unixPath == "/")
        return true;
    char buf[PATH_MAX];
    std::string real = realpath(unixPath.c_str(), buf) ? buf : unixPath;
    for (const Drive& d : DriveTable()) {
        if (!d.present)
            continue;
        if (d.target == unixPath || d.target == real)
            return true;
        if (realpath(d.target.c_str(), buf) && real == buf)
            return true;
    }
    return false;
}

// Removes the entry name under parentFd with everything in it, making
// folders writable on the way; never follows links and never leaves the file
// system it started on.
void RemoveTreeAt(int parentFd, const char* name, dev_t dev) {
    int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EACCES && fchmodat(parentFd, name, S_IRWXU, 0) == 0)
        fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_dev != dev) {
        close(fd);
        return;
    }
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(dir)) {
        std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(std::move(n));
    }
    for (const std::string& n : names) {
        struct stat est;
        if (fstatat(dirfd(dir), n.c_str(), &est, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(est.st_mode))
            RemoveTreeAt(dirfd(dir), n.c_str(), dev);
        else
            unlinkat(dirfd(dir), n.c_str(), 0);
    }
    closedir(dir);
    unlinkat(parentFd, name, AT_REMOVEDIR);
}

}  // namespace

DWORD GetFileAttributes(const std::string& path) {
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (stat(u->c_str(), &st) != 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (IsReadOnly(st))
        attributes |= FILE_ATTRIBUTE_READONLY;
    SetLastError(ERROR_SUCCESS);
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// Folders keep their write permission when made read-only: on the original
// system that attribute does not stop files being added to a folder.
bool SetFileAttributes(const std::string& path, DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(ERROR_INVALID_PARAMETER);
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    struct stat st;
    if (stat(u->c_str(), &st) != 0)
        return FailErrno(errno);
    mode_t mode = st.st_mode & 07777;
    if (!(attributes & FILE_ATTRIBUTE_READONLY))
        mode |= S_IWUSR;
    else if (!S_ISDIR(st.st_mode))
        mode &= ~kAllWrite;
    if (mode != (st.st_mode & 07777) && chmod(u->c_str(), mode) != 0)
        return FailErrno(errno);
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
    std::optional<std::string> src = ToUnixPath(from);
    if (!src)
        return false;
    std::optional<std::string> dst = ToUnixPath(to);
    if (!dst)
        return false;
    return CopyUnixFile(*src, *dst, failIfExists);
}

bool DeleteFile(const std::string& path) {
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    struct stat st;
    if (lstat(u->c_str(), &st) != 0)
        return FailErrno(errno);
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && IsReadOnly(st)))
        return Fail(ERROR_ACCESS_DENIED);
    CFolderChange change(*u);
    if (unlink(u->c_str()) != 0)
        return FailErrno(errno);
    change.Removed();
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool MoveFile(const std::string& from, const std::string& to) {
    std::optional<std::string> src = ToUnixPath(from);
    if (!src)
        return false;
    WinPath target;
    if (!ParseWindowsPath(to, &target))
        return false;
    std::optional<std::string> dst = ResolveUnixPath(target);
    if (!dst)
        return false;
    struct stat sst;
    if (lstat(src->c_str(), &sst) != 0)
        return FailErrno(errno);
    if (*dst == *src) {
        // The same entry: at most a change of letter case.
        std::string given = target.names.empty() ? "" : NameToUtf8(target.names.back());
        if (given.empty() || given == UnixBaseName(*src)) {
            SetLastError(ERROR_SUCCESS);
            return true;
        }
        dst = JoinUnix(UnixParent(*src), given);
    }
    CFolderChange left(*src);
    CFolderChange arrived(*dst);
    if (!RenameNoReplace(*src, *dst, sst))
        return false;
    left.Removed();
    arrived.Added();
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    std::optional<std::string> src = ToUnixPath(from);
    if (!src)
        return false;
    std::optional<std::string> dst = ToUnixPath(to);
    if (!dst)
        return false;
    struct stat sst;
    if (lstat(src->c_str(), &sst) != 0)
        return FailErrno(errno);
    struct stat dstStat;
    if (lstat(dst->c_str(), &dstStat) == 0 && S_ISDIR(dstStat.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    CFolderChange left(*src);
    CFolderChange arrived(*dst);
    if (rename(src->c_str(), dst->c_str()) != 0)
        return FailErrno(errno);
    left.Removed();
    arrived.Added();
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::string ScratchPathBeside(const std::string& path) {
    // A trail byte that looks like a backslash is not a separator.
    std::size_t sep = text::FindLastBackslash(path);
    std::size_t fwd = path.rfind('/');
    if (fwd != std::string::npos && (sep == std::string::npos || fwd > sep))
        sep = fwd;
    std::string folder = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    return folder + ScratchName();
}

bool CreateDirectory(const std::string& path) {
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    CFolderChange change(*u);
    if (mkdir(u->c_str(), 0777) != 0) {
        if (errno == ENOENT)
            return Fail(ERROR_PATH_NOT_FOUND);
        return FailErrno(errno);
    }
    change.Added();
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool RemoveDirectory(const std::string& path) {
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    CFolderChange change(*u);
    if (rmdir(u->c_str()) != 0) {
        if (errno == ENOTDIR)
            return Fail(ERROR_DIRECTORY);
        return FailErrno(errno);
    }
    change.Removed();
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool FileExists(const std::string& path) {
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    struct stat st;
    if (stat(u->c_str(), &st) != 0)
        return FailErrno(errno);
    SetLastError(ERROR_SUCCESS);
    return true;
}

// A drive's root is never removed: that would empty the drive, or with C:
// the whole machine.
bool DeleteTreeSilently(const std::string& path) {
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    struct stat st;
    if (lstat(u->c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        return FailErrno(errno);
    }
    if (S_ISDIR(st.st_mode) && IsDriveRoot(*u))
        return Fail(ERROR_ACCESS_DENIED);
    CFolderChange change(*u);
    if (S_ISDIR(st.st_mode))
        RemoveTreeAt(AT_FDCWD, u->c_str(), st.st_dev);
    else
        unlink(u->c_str());
    change.Removed();
    if (lstat(u->c_str(), &st) == 0)
        return Fail(ERROR_ACCESS_DENIED);
    SetLastError(ERROR_SUCCESS);
    return true;
}
