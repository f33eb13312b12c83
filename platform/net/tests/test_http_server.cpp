#include "platform/net/tests/test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Waits until fd is readable (or hung up). False on time-out or stop.
bool WaitReadable(int fd, int stopFd, int timeoutMs) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const int rc = poll(fds, 2, timeoutMs);
    return rc > 0 && !(fds[1].revents & POLLIN) && fds[0].revents != 0;
}

std::size_t ContentLength(const std::string& head) {
    const std::string value = HeaderValue(head, "Content-Length");
    return value.empty() ? 0 : static_cast<std::size_t>(std::stoul(value));
}

}  // namespace

bool CTestConnection::ReadRequest(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string data;
    std::size_t headEnd = std::string::npos;
    for (;;) {
        if (headEnd == std::string::npos)
            headEnd = data.find("\r\n\r\n");
        if (headEnd != std::string::npos &&
            data.size() >= headEnd + 4 + ContentLength(data.substr(0, headEnd + 4))) {
            m_strRequest = data;
            return true;
        }
        if (!WaitReadable(m_fd, m_stopFd, MillisecondsLeft(deadline)))
            break;
        char chunk[4096];
        const ssize_t n = recv(m_fd, chunk, sizeof(chunk), 0);
        if (n <= 0)
            break;
        data.append(chunk, static_cast<std::size_t>(n));
    }
    m_strRequest = data;
    return false;
}

std::string CTestConnection::Target() const {
    const std::size_t first = m_strRequest.find(' ');
    if (first == std::string::npos)
        return {};
    const std::size_t second = m_strRequest.find(' ', first + 1);
    if (second == std::string::npos)
        return {};
    return m_strRequest.substr(first + 1, second - first - 1);
}

bool CTestConnection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        m_nSent += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool CTestConnection::SendSlowly(std::string_view bytes, std::size_t piece, int pauseMs) {
    while (!bytes.empty()) {
        const std::size_t n = std::min(piece, bytes.size());
        if (!Send(bytes.substr(0, n)))
            return false;
        bytes.remove_prefix(n);
        if (!bytes.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    return true;
}

bool CTestConnection::WaitForClientClose(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!WaitReadable(m_fd, m_stopFd, MillisecondsLeft(deadline)))
            return false;
        char chunk[4096];
        const ssize_t n = recv(m_fd, chunk, sizeof(chunk), 0);
        if (n <= 0)
            return true;
    }
}

void CTestConnection::Reset() {
    linger hard = {1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    close(m_fd);
    m_fd = -1;
}

CTestHttpServer::CTestHttpServer(Script script, int maxConnections) : m_script(std::move(script)) {
    if (pipe(m_stopPipe) != 0)
        return;
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listenFd, 16) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    m_nPort = ntohs(address.sin_port);
    m_acceptThread = std::thread([this, maxConnections] { Serve(maxConnections); });
}

CTestHttpServer::~CTestHttpServer() {
    if (m_stopPipe[1] >= 0) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = write(m_stopPipe[1], &stop, 1);
    }
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    for (std::thread& t : m_connectionThreads)
        t.join();
    if (m_listenFd >= 0)
        close(m_listenFd);
    for (int fd : m_stopPipe) {
        if (fd >= 0)
            close(fd);
    }
}

void CTestHttpServer::Serve(int maxConnections) {
    for (int served = 0; served < maxConnections; ++served) {
        if (!WaitReadable(m_listenFd, m_stopPipe[0], -1))
            return;
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        m_connectionThreads.emplace_back([this, fd] { Handle(fd); });
    }
}

void CTestHttpServer::Handle(int fd) {
    CTestConnection connection(fd, m_stopPipe[0]);
    connection.ReadRequest(10000);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(connection.Request());
    }
    m_script(connection);
    if (connection.m_fd >= 0)
        close(connection.m_fd);
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nHandled;
    m_changed.notify_all();
}

std::vector<std::string> CTestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

bool CTestHttpServer::WaitForHandled(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_nHandled >= count; });
}

std::string HttpAnswer(int status, std::string_view body, std::string_view extraHeaders,
                       bool contentLength) {
    std::string answer = "HTTP/1.0 " + std::to_string(status) + " Answer\r\n";
    if (contentLength)
        answer += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    answer += extraHeaders;
    answer += "\r\n";
    answer += body;
    return answer;
}

std::string HeaderValue(const std::string& request, std::string_view name) {
    const std::size_t headEnd = request.find("\r\n\r\n");
    std::size_t pos = request.find("\r\n");
    while (pos != std::string::npos && pos < headEnd) {
        const std::size_t start = pos + 2;
        const std::size_t end = request.find("\r\n", start);
        const std::string line = request.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.data(), name.size()) == 0) {
            std::size_t value = colon + 1;
            while (value < line.size() && line[value] == ' ')
                ++value;
            return line.substr(value);
        }
        pos = end;
    }
    return {};
}

std::string Base64Decode(std::string_view text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const std::size_t value = kAlphabet.find(c);
        if (value == std::string::npos)
            continue;  // '=' padding
        bits = (bits << 6) | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

CRefusingPort::CRefusingPort() {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        m_nPort = ntohs(address.sin_port);
}

CRefusingPort::~CRefusingPort() {
    if (m_fd >= 0)
        close(m_fd);
}
