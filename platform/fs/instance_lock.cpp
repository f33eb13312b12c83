// Locks held by open file descriptions (flock): each Acquire opens the path
// anew, so two holders in one process exclude each other as well.
#include "platform/fs/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"

using namespace fs_detail;

CInstanceLock::~CInstanceLock() {
    Release();
}

bool CInstanceLock::Acquire(const std::string& path) {
    Release();
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    // Non-blocking: a FIFO in the lock file's place must not stop the caller.
    int fd = open(u->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        fd = open(u->c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        return FailErrno(errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED);
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        int err = errno;
        close(fd);
        return err == EWOULDBLOCK ? Fail(ERROR_LOCK_VIOLATION) : FailErrno(err);
    }
    m_fd = fd;
    SetLastError(ERROR_SUCCESS);
    return true;
}

void CInstanceLock::Release() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}
