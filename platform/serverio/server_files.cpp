#include "platform/serverio/server_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

CServedFile::~CServedFile() {
    if (m_fd >= 0)
        close(m_fd);
}

CServedFile::CServedFile(CServedFile&& other) noexcept {
    *this = std::move(other);
}

CServedFile& CServedFile::operator=(CServedFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
        size = other.size;
        modifiedSeconds = other.modifiedSeconds;
        modifiedNanoseconds = other.modifiedNanoseconds;
        device = other.device;
        inode = other.inode;
    }
    return *this;
}

int CServedFile::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

namespace {

// The path the open descriptor names now, every link followed.
bool RealPathOf(int fd, const std::string& openedAs, const struct stat& st, std::string* real) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char buf[PATH_MAX + 1];
    const ssize_t n = readlink(link, buf, PATH_MAX);
    if (n > 0) {
        real->assign(buf, static_cast<std::size_t>(n));
        return true;
    }
    // Without /proc: the name resolved again, accepted only when it still
    // names the open file.
    char* resolved = realpath(openedAs.c_str(), nullptr);
    if (resolved == nullptr)
        return false;
    real->assign(resolved);
    std::free(resolved);
    struct stat again;
    return stat(real->c_str(), &again) == 0 && again.st_dev == st.st_dev &&
           again.st_ino == st.st_ino;
}

}  // namespace

bool OpenServedFile(const std::string& path, const std::string& realRoot, CServedFile* out) {
    *out = CServedFile();
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    // Non-blocking: a FIFO put in a file's place is not waited for.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    CServedFile file;
    file.m_fd = fd;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::string real;
    const std::string inside =
        realRoot.empty() || realRoot.back() != '/' ? realRoot + "/" : realRoot;
    if (!RealPathOf(fd, path, st, &real) || real.compare(0, inside.size(), inside) != 0)
        return false;
    file.size = static_cast<std::uint64_t>(st.st_size);
    file.modifiedSeconds = st.st_mtim.tv_sec;
    file.modifiedNanoseconds = st.st_mtim.tv_nsec;
    file.device = st.st_dev;
    file.inode = st.st_ino;
    *out = std::move(file);
    return true;
}

CFileLock::~CFileLock() {
    Release();
}

bool CFileLock::TryAcquire(const std::string& path, bool* busy, std::string* error) {
    Release();
    *busy = false;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = "cannot open the lock file " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *error = path + " is not a plain file";
        return false;
    }
    // Each holder opens the file anew: the lock belongs to that open file,
    // so two threads of one process exclude each other too.
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int err = errno;
        close(fd);
        *busy = err == EWOULDBLOCK;
        *error =
            *busy ? "held by another process" : "cannot lock " + path + ": " + std::strerror(err);
        return false;
    }
    m_fd = fd;
    return true;
}

void CFileLock::Release() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool StampFile(const std::string& path, CFileStamp* stamp) {
    *stamp = CFileStamp();
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    stamp->regular = S_ISREG(st.st_mode);
    stamp->size = static_cast<std::uint64_t>(st.st_size);
    stamp->modifiedNanoseconds =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool SyncToDisk(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}
