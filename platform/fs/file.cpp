// CFile: an open file with the system's open modes and text lines.
//
// modeReadExclusive must fail while any other handle has the file open, in
// this process or another. Linux has no share modes; a write lease tells
// exactly that: the kernel grants it only when no other descriptor has the
// file open. The lease is given back at once (it would make other openers
// wait for us), so the check holds at the moment of opening; the system only
// uses this mode to ask "is the file free?" and closes again. Where leases
// are refused (a file owned by another user without CAP_LEASE, file systems
// without lease support, leases switched off), the open goes ahead as a
// plain shared open. A lease holder is signalled when someone opens the file
// during the moment it holds the lease; the signal is SIGURG, which is ignored
// unless a program asks for it (the default SIGIO would end the process).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"

using namespace fs_detail;

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

}  // namespace

struct CFile::Impl {
    int fd = -1;
    std::string buffer;  // read ahead for ReadLine
    std::size_t pos = 0;
    // Writes kept back until this many bytes have gathered (0: none kept).
    std::size_t writeBuffer = 0;
    std::string pending;

    // Writes out what was kept back; false (last error set) when it can't.
    bool WritePending() {
        const char* p = pending.data();
        std::size_t n = pending.size();
        bool ok = true;
        while (n > 0) {
            ssize_t w = write(fd, p, n);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                SetLastErrorFromErrno(errno);
                ok = false;
                break;
            }
            p += w;
            n -= static_cast<std::size_t>(w);
        }
        pending.clear();
        return ok;
    }

    std::size_t Buffered() const { return buffer.size() - pos; }
    // Gives back what was read ahead, so that writes land where the reader is.
    void Unread() {
        if (Buffered() > 0)
            lseek(fd, -static_cast<off_t>(Buffered()), SEEK_CUR);
        buffer.clear();
        pos = 0;
    }
    // Reads more into the buffer; false at the end or on error.
    bool Fill() {
        if (pos > 0) {
            buffer.erase(0, pos);
            pos = 0;
        }
        std::size_t old = buffer.size();
        buffer.resize(old + kReadChunk);
        for (;;) {
            ssize_t n = read(fd, buffer.data() + old, kReadChunk);
            if (n < 0 && errno == EINTR)
                continue;
            buffer.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
            if (n < 0)
                SetLastErrorFromErrno(errno);
            return n > 0;
        }
    }
};

CFile::CFile() : m_impl(std::make_unique<Impl>()) {}

CFile::~CFile() {
    Close();
}

bool CFile::Open(const std::string& path, Mode mode) {
    Close();
    std::optional<std::string> u = ToUnixPath(path);
    if (!u)
        return false;
    int flags = O_CLOEXEC;
    switch (mode) {
        case modeRead:
        case modeReadExclusive:
            flags |= O_RDONLY;
            break;
        case modeWrite:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case modeReadWrite:
            flags |= O_RDWR | O_CREAT;
            break;
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
    struct stat st;
    bool existed = stat(u->c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    // Writing to a read-only file is refused, root or not (see fileops.cpp).
    if (existed && (flags & (O_WRONLY | O_RDWR)) && !(st.st_mode & S_IWUSR))
        return Fail(ERROR_ACCESS_DENIED);
    CFolderChange change(*u);
    int fd = open(u->c_str(), flags, 0666);
    if (fd < 0)
        return FailErrno(errno);
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (mode == modeReadExclusive) {
        fcntl(fd, F_SETSIG, SIGURG);
        if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
            fcntl(fd, F_SETLEASE, F_UNLCK);
        } else if (errno == EAGAIN || errno == EBUSY) {
            close(fd);
            return Fail(ERROR_SHARING_VIOLATION);
        }
        // Any other refusal: leases are not available here; open shared.
    }
    if (!existed)
        change.Added();
    m_impl->fd = fd;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CFile::IsOpen() const {
    return m_impl->fd >= 0;
}

void CFile::Close() {
    if (m_impl->fd >= 0) {
        m_impl->WritePending();
        close(m_impl->fd);
    }
    m_impl->writeBuffer = 0;
    m_impl->fd = -1;
    m_impl->buffer.clear();
    m_impl->pos = 0;
}

bool CFile::ReadLine(std::string* line) {
    Impl& f = *m_impl;
    if (f.fd < 0)
        return Fail(ERROR_INVALID_HANDLE);
    if (!f.pending.empty() && !f.WritePending())
        return false;
    std::size_t searched = 0;  // bytes after pos already known to hold no LF
    for (;;) {
        const char* start = f.buffer.data() + f.pos;
        const void* lf = std::memchr(start + searched, '\n', f.Buffered() - searched);
        if (lf) {
            std::size_t len = static_cast<const char*>(lf) - start;
            std::size_t next = f.pos + len + 1;
            if (len > 0 && start[len - 1] == '\r')
                --len;
            line->assign(start, len);
            f.pos = next;
            return true;
        }
        searched = f.Buffered();
        if (!f.Fill()) {
            // The last line may have no line end.
            if (f.Buffered() == 0)
                return false;
            line->assign(f.buffer.data() + f.pos, f.Buffered());
            f.buffer.clear();
            f.pos = 0;
            return true;
        }
    }
}

std::size_t CFile::Read(void* buf, std::size_t n) {
    Impl& f = *m_impl;
    if (f.fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!f.pending.empty() && !f.WritePending())
        return 0;
    std::size_t done = std::min(n, f.Buffered());
    std::memcpy(buf, f.buffer.data() + f.pos, done);
    f.pos += done;
    while (done < n) {
        ssize_t r = read(f.fd, static_cast<char*>(buf) + done, n - done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            SetLastErrorFromErrno(errno);
        if (r <= 0)
            break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}

void CFile::SetWriteBuffer(std::size_t bytes) {
    m_impl->WritePending();
    m_impl->writeBuffer = bytes;
}

bool CFile::CommitWrites() {
    if (m_impl->fd < 0)
        return Fail(ERROR_INVALID_HANDLE);
    return m_impl->WritePending();
}

bool CFile::Write(const void* data, std::size_t n) {
    Impl& f = *m_impl;
    if (f.fd < 0)
        return Fail(ERROR_INVALID_HANDLE);
    f.Unread();
    if (f.writeBuffer > 0) {
        if (f.pending.size() + n > f.writeBuffer && !f.WritePending())
            return false;
        if (n < f.writeBuffer) {
            f.pending.append(static_cast<const char*>(data), n);
            return true;
        }
    }
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = write(f.fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return FailErrno(errno);
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool CFile::WriteString(const std::string& s) {
    return Write(s.data(), s.size());
}

bool CFile::Flush() {
    if (m_impl->fd < 0)
        return Fail(ERROR_INVALID_HANDLE);
    if (!m_impl->WritePending())
        return false;
    if (fdatasync(m_impl->fd) != 0 && errno != EINVAL && errno != EROFS)
        return FailErrno(errno);
    return true;
}

std::int64_t CFile::Size() const {
    m_impl->WritePending();
    struct stat st;
    if (m_impl->fd < 0 || fstat(m_impl->fd, &st) != 0)
        return -1;
    return st.st_size;
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}
