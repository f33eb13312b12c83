// The update server's HTTP server, on libmicrohttpd (library tv_update_httpd).
//
// One polling thread serves every connection (epoll, non-blocking sockets),
// so a new connection wakes one thread and a slow client costs a slot, never
// a thread. Requests go to one handler that sees the raw request target and
// the Basic credentials, and answers at once or later (CPendingResponse):
// a connection waiting for its answer is set aside while all others go on.
// Bodies come from memory or from an open file, which the kernel copies to
// the socket.
//
// Limits: the request head (line and headers) must arrive whole within a
// deadline, however slowly it trickles; connections idle for longer than the
// idle time are closed; when connectionLimit connections are served, or an
// address holds more than its share, a new connection gets a quick 503 with
// Retry-After instead of a reset; one address never takes the last slots
// (the reserve), which stay for addresses that hold few.
//
// The implementation is the one place that talks to libmicrohttpd.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/serverio/server_files.h"

// Basic credentials as the client sent them (bytes, GBK from the system's
// clients).
struct CCredentials {
    std::string user;
    std::string password;
};

struct CHttpRequest {
    std::string method;
    std::string rawUri;                       // the request target as received
    std::string clientAddress;                // "127.0.0.1", "::1"; a trusted proxy's X-Real-IP
    std::optional<CCredentials> credentials;  // Basic, when sent and well formed
    // The headers a file answer looks at; empty when not sent.
    std::string ifNoneMatch;
    std::string ifModifiedSince;
    std::string range;
    std::string ifRange;
};

struct CHttpResponse;

// An answer that comes later, from any thread: the connection waits for it
// without holding up the others. The first Complete counts.
class CPendingResponse {
public:
    void Complete(CHttpResponse response);
    // For the server: the response once complete.
    bool TakeIfComplete(CHttpResponse* response);
    // For the server: called once the answer is there (at once when it
    // already is).
    void WhenComplete(std::function<void()> resume);

private:
    std::mutex m_mutex;
    bool m_bComplete = false;
    bool m_bTaken = false;
    std::shared_ptr<CHttpResponse> m_response;
    std::function<void()> m_resume;
};

struct CHttpResponse {
    int status = 200;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    // The body: fileLength bytes of file from fileOffset when file is set,
    // else body.
    std::string body;
    std::shared_ptr<CServedFile> file;
    std::uint64_t fileOffset = 0;
    std::uint64_t fileLength = 0;
    // The answer comes later through this (the rest is then unused).
    std::shared_ptr<CPendingResponse> later;
    // End the connection after this answer.
    bool close = false;
};

// What the access log gets for each request the server saw.
struct CAccessRecord {
    std::time_t when = 0;
    std::string clientAddress;
    std::string user;  // the Basic user name as sent, or empty
    std::string method;
    std::string rawUri;
    std::string version;      // "HTTP/1.1"
    int status = 0;           // 0: no answer was given (the client left, or the
                              // request was refused before the handler)
    std::uint64_t bytes = 0;  // body bytes of the answer that went out
    bool complete = false;    // the whole answer went out
    std::string referer;
    std::string userAgent;
};

struct CHttpServerOptions {
    std::string address = "127.0.0.1";  // numeric IPv4 or IPv6
    unsigned port = 8080;               // 0: any free port
    // Connections served at once. A few more are taken in only to be told
    // 503 (see the top of this file).
    unsigned connectionLimit = 1024;
    unsigned idleTimeoutSeconds = 30;
    // Time a request head may take from the connection's start (or the end
    // of the answer before it on a persistent connection) to its end.
    unsigned headTimeoutSeconds = 10;
    // Memory of one connection, which bounds the request line and headers.
    std::size_t connectionMemory = 32 * 1024;
    unsigned retryAfterSeconds = 5;
    // Requests from this address (a proxy in front) name their client in
    // X-Real-IP; empty: none is trusted.
    std::string trustedProxy;
};

using HttpHandler = std::function<CHttpResponse(const CHttpRequest&)>;
using AccessLogger = std::function<void(const CAccessRecord&)>;
using ErrorLogger = std::function<void(const std::string& utf8)>;

// "ADDR:PORT" or "[V6ADDR]:PORT" (also "localhost:PORT"): false with *error
// set when it is not one. Only numeric addresses are taken, so a typo
// never binds somewhere unexpected.
bool ParseListenAddress(const std::string& text, std::string* address, unsigned* port,
                        std::string* error);

// How many connections an address may hold (see the top of this file):
// decides for each new connection whether it is served, told 503, or (when
// even that has no room) closed at once. Not thread-safe.
class CConnectionShares {
public:
    enum class EAdmit { kServe, kBusy, kRefuse };
    explicit CConnectionShares(unsigned limit);

    EAdmit Admit(const std::string& address);
    void Release(const std::string& address, EAdmit admitted);

    unsigned Served() const { return m_served; }
    unsigned Busy() const { return m_busy; }
    // Connections answered 503 at most at once (beyond the limit).
    unsigned BusyLimit() const { return m_busyLimit; }
    unsigned Reserve() const { return m_reserve; }

private:
    unsigned m_limit;
    unsigned m_reserve;     // the last slots, for addresses holding few
    unsigned m_smallShare;  // "few"
    unsigned m_busyLimit;
    unsigned m_served = 0;
    unsigned m_busy = 0;
    std::unordered_map<std::string, unsigned> m_held;  // served, per address
};

class CHttpServer {
public:
    CHttpServer();
    ~CHttpServer();  // stops
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Starts listening and serving; false with *error (UTF-8) set when the
    // address is bad or cannot be bound.
    bool Start(const CHttpServerOptions& options, HttpHandler handler, AccessLogger accessLog,
               ErrorLogger errorLog, std::string* error);
    // "127.0.0.1:8080", "[::1]:8080": the address and the port actually bound.
    std::string ListeningAddress() const;
    // Stops serving: answers still pending get 503, open connections are
    // closed. Idempotent.
    void Stop();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
