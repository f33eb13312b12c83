#include "platform/process/announce.h"

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Lines longer than this are cut: announcements are short notes.
constexpr std::size_t kMaxLine = 512;

bool AddressFor(const std::string& path, sockaddr_un* address) {
    if (path.empty() || path.size() >= sizeof(address->sun_path))
        return false;
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, path.data(), path.size());
    return true;
}

bool SendTo(const std::string& path, const std::string& line) {
    sockaddr_un address;
    if (!AddressFor(path, &address))
        return false;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    std::string datagram = line.substr(0, kMaxLine);
    ssize_t sent = sendto(fd, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    close(fd);
    return sent == static_cast<ssize_t>(datagram.size());
}

}  // namespace

void Announce(const std::string& line) {
    if (line.empty())
        return;  // an empty datagram is the inbox's own wake-up
    const char* inbox = std::getenv(kAnnounceVariable);
    if (inbox && *inbox)
        SendTo(inbox, line);
}

struct CAnnouncementInbox::Impl {
    int fd = -1;
    std::string folder;
    std::string path;
};

CAnnouncementInbox::CAnnouncementInbox() : m_impl(std::make_unique<Impl>()) {}

CAnnouncementInbox::~CAnnouncementInbox() {
    if (m_impl->fd >= 0)
        close(m_impl->fd);
    if (!m_impl->path.empty())
        unlink(m_impl->path.c_str());
    if (!m_impl->folder.empty())
        rmdir(m_impl->folder.c_str());
}

bool CAnnouncementInbox::Open() {
    if (m_impl->fd >= 0)
        return true;
    // A private folder of its own keeps other users' programs out and the
    // socket's name short.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp && std::strlen(tmp) < 60 ? tmp : "/tmp";
    std::string pattern = base + "/telvora-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    m_impl->folder = pattern;
    std::string path = pattern + "/inbox";
    sockaddr_un address;
    if (!AddressFor(path, &address)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        SetLastErrorFromErrno(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    m_impl->fd = fd;
    m_impl->path = path;
    return true;
}

EnvChange CAnnouncementInbox::Environment() const {
    return EnvChange{kAnnounceVariable, m_impl->path};
}

bool CAnnouncementInbox::Receive(std::string* line, DWORD timeoutMs) {
    if (m_impl->fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    pollfd p{m_impl->fd, POLLIN, 0};
    const int wait = timeoutMs > 0x7FFFFFFFu ? -1 : static_cast<int>(timeoutMs);
    int ready;
    while ((ready = poll(&p, 1, wait)) < 0 && errno == EINTR) {
    }
    if (ready <= 0) {
        SetLastError(ready == 0 ? WAIT_TIMEOUT : ErrorFromErrno(errno));
        return false;
    }
    char buffer[kMaxLine];
    ssize_t n = recv(m_impl->fd, buffer, sizeof(buffer), 0);
    if (n < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    line->assign(buffer, static_cast<std::size_t>(n));
    return true;
}

void CAnnouncementInbox::Wake() {
    SendTo(m_impl->path, "");
}
