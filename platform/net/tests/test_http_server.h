// A scripted HTTP server on 127.0.0.1 for the client's tests: it records the
// raw bytes of every request and answers as each test's script says (any
// status, headers and body; cut short, stalled, sent slowly, reset). Every
// wait is bounded, and the server takes a bounded number of connections.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class CTestConnection {
public:
    CTestConnection(int fd, int stopFd) : m_fd(fd), m_stopFd(stopFd) {}

    // The request as the client sent it: the head through the blank line,
    // then a body of Content-Length bytes. False when no complete request
    // came within timeoutMs.
    bool ReadRequest(int timeoutMs);
    const std::string& Request() const { return m_strRequest; }
    // The request target of the request line ("" when there is none).
    std::string Target() const;

    // Writes all of bytes; false when the client has gone.
    bool Send(std::string_view bytes);
    // Writes bytes piece by piece with a pause between pieces (a slow server).
    bool SendSlowly(std::string_view bytes, std::size_t piece, int pauseMs);
    // Waits until the client closes the connection (true) or timeoutMs passes.
    bool WaitForClientClose(int timeoutMs);
    // Ends the connection with a reset instead of an orderly close.
    void Reset();

    std::uint64_t BytesSent() const { return m_nSent; }

private:
    int m_fd;
    int m_stopFd;
    std::string m_strRequest;
    std::atomic<std::uint64_t> m_nSent{0};
    friend class CTestHttpServer;
};

class CTestHttpServer {
public:
    using Script = std::function<void(CTestConnection&)>;

    // Serves up to maxConnections connections, each on its own thread: the
    // request is read, then script answers; the connection is closed when
    // script returns.
    explicit CTestHttpServer(Script script, int maxConnections = 4);
    ~CTestHttpServer();
    CTestHttpServer(const CTestHttpServer&) = delete;
    CTestHttpServer& operator=(const CTestHttpServer&) = delete;

    int Port() const { return m_nPort; }
    // The raw requests received so far, in order.
    std::vector<std::string> Requests() const;
    // Waits until count requests have come in and their scripts have ended.
    bool WaitForHandled(std::size_t count, int timeoutMs) const;

private:
    void Serve(int maxConnections);
    void Handle(int fd);

    Script m_script;
    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    int m_nPort = 0;
    std::thread m_acceptThread;
    std::vector<std::thread> m_connectionThreads;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_requests;
    std::size_t m_nHandled = 0;
};

// A complete answer: status line (HTTP/1.0), Content-Length (unless
// contentLength is false), the extra header lines (each ending in CR LF),
// the blank line and the body.
std::string HttpAnswer(int status, std::string_view body, std::string_view extraHeaders = "",
                       bool contentLength = true);

// The value of a header in a raw request ("" when absent); the name's case
// is ignored.
std::string HeaderValue(const std::string& request, std::string_view name);

// Decodes base64 (for checking Basic credentials byte for byte).
std::string Base64Decode(std::string_view text);

// A socket bound to a loopback port that does not listen: connecting to the
// port is refused. Closed by the destructor.
class CRefusingPort {
public:
    CRefusingPort();
    ~CRefusingPort();
    int Port() const { return m_nPort; }

private:
    int m_fd = -1;
    int m_nPort = 0;
};
