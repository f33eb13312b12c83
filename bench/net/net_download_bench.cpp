// A package download through the HTTP client, read 1023 bytes at a time as
// the update control reads, against `curl -s -o /dev/null` fetching the same
// body from the same local server. Runs alternate; the minimum, median and
// maximum of each and the ratio of the medians are printed. Figures are
// reported, never asserted.
//
// usage: bench_net_download [MEGABYTES (200)] [RUNS (5)]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/wininet.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Serves every connection the same body of size bytes, from a 1 MB pattern.
class CBodyServer {
public:
    explicit CBodyServer(std::size_t size) : m_nSize(size), m_pattern(1 << 20, '\0') {
        for (std::size_t i = 0; i < m_pattern.size(); ++i)
            m_pattern[i] = static_cast<char>(i * 31 + 7);
        m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_listenFd, 8) != 0 ||
            getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::perror("bench: server");
            std::exit(2);
        }
        m_nPort = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CBodyServer() {
        m_bStop = true;
        shutdown(m_listenFd, SHUT_RDWR);
        close(m_listenFd);
        m_thread.join();
    }
    int Port() const { return m_nPort; }

private:
    void Serve() {
        while (!m_bStop) {
            pollfd pfd = {m_listenFd, POLLIN, 0};
            if (poll(&pfd, 1, 200) <= 0)
                continue;
            const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::string head;
            char chunk[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(fd, chunk, sizeof(chunk), 0);
                if (n <= 0)
                    break;
                head.append(chunk, static_cast<std::size_t>(n));
            }
            const std::string answer =
                "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(m_nSize) + "\r\n\r\n";
            bool ok = send(fd, answer.data(), answer.size(), MSG_NOSIGNAL) > 0;
            for (std::size_t sent = 0; ok && sent < m_nSize;) {
                const std::size_t n = std::min(m_pattern.size(), m_nSize - sent);
                const ssize_t w = send(fd, m_pattern.data(), n, MSG_NOSIGNAL);
                ok = w > 0;
                if (ok)
                    sent += static_cast<std::size_t>(w);
            }
            close(fd);
        }
    }

    std::size_t m_nSize;
    std::string m_pattern;
    int m_listenFd = -1;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double RunCurl(int port) {
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/pkg.rar";
    const char* argv[] = {"curl", "-s",        "-0",        "--noproxy", "*",
                          "-o",   "/dev/null", url.c_str(), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::fprintf(stderr, "bench: curl can't be started\n");
        std::exit(2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = Seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench: curl failed\n");
        std::exit(2);
    }
    return seconds;
}

double RunClient(int port, std::size_t expected) {
    const Clock::time_point start = Clock::now();
    HINTERNET session = InternetOpen("corvane", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connect = InternetConnect(session, "127.0.0.1", static_cast<INTERNET_PORT>(port), "",
                                        "", INTERNET_SERVICE_HTTP, 0, 0);
    const char* accept[] = {"*/*", nullptr};
    HINTERNET request = HttpOpenRequest(connect, "GET", "/pkg.rar", "HTTP/1.0", nullptr, accept,
                                        INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!HttpSendRequest(request, nullptr, 0, nullptr, 0)) {
        std::fprintf(stderr, "bench: send failed (%u)\n", GetLastError());
        std::exit(2);
    }
    char buffer[1024];
    std::size_t total = 0;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, buffer, 1023, &got) || got == 0)
            break;
        total += got;
    }
    const double seconds = Seconds(start);
    InternetCloseHandle(request);
    InternetCloseHandle(connect);
    InternetCloseHandle(session);
    if (total != expected) {
        std::fprintf(stderr, "bench: read %zu of %zu bytes\n", total, expected);
        std::exit(2);
    }
    return seconds;
}

long PeakRssKb() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Summary {
    double min, median, max;
};

Summary Summarise(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

}  // namespace

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 200;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (megabytes <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: bench_net_download [MEGABYTES] [RUNS]\n");
        return 2;
    }
    const std::size_t size = static_cast<std::size_t>(megabytes) << 20;
    // Peak memory after a small download, to compare with the peak after the
    // large ones: it should not grow with the body.
    {
        CBodyServer small(1 << 20);
        RunClient(small.Port(), 1 << 20);
    }
    const long smallPeakKb = PeakRssKb();
    CBodyServer server(size);
    std::vector<double> curlTimes;
    std::vector<double> clientTimes;
    RunClient(server.Port(), size);  // warm-up, not counted
    for (int i = 0; i < runs; ++i) {
        curlTimes.push_back(RunCurl(server.Port()));
        clientTimes.push_back(RunClient(server.Port(), size));
    }
    const Summary c = Summarise(curlTimes);
    const Summary o = Summarise(clientTimes);
    const double mb = static_cast<double>(megabytes);
    std::printf("body %ld MB, %d runs each, alternating\n", megabytes, runs);
    std::printf("curl -o /dev/null       min %7.3f s  median %7.3f s  max %7.3f s  (%.0f MB/s)\n",
                c.min, c.median, c.max, mb / c.median);
    std::printf("client, 1023-byte reads min %7.3f s  median %7.3f s  max %7.3f s  (%.0f MB/s)\n",
                o.min, o.median, o.max, mb / o.median);
    std::printf("ratio of medians (client / curl): %.2f\n", o.median / c.median);
    std::printf(
        "peak RSS of this process (client and server): %ld KB after a 1 MB download, "
        "%ld KB after the %ld MB ones\n",
        smallPeakKb, PeakRssKb(), megabytes);
    return 0;
}
