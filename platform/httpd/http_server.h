// A small HTTP/1.0 and 1.1 server on libmicrohttpd, for the update server
// (a library of its own, outside libtelvora-platform.so).
// Requests go to one handler function on the server's worker threads; the
// handler sees the raw request target (no decoding) and the Basic
// credentials, and answers with a status, headers and a body held in memory
// or read from an open file. Connections, request size and idle time are
// bounded, so a slow or broken client never holds the others up.
//
// The implementation is the one place that talks to the HTTP library and
// the socket address types.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Basic credentials as the client sent them (bytes, GBK from the system's
// clients).
struct CCredentials {
    std::string user;
    std::string password;
};

struct CHttpRequest {
    std::string method;
    std::string rawUri;                       // the request target as received
    std::string clientAddress;                // "127.0.0.1", "::1"
    std::optional<CCredentials> credentials;  // Basic, when sent and well formed
};

struct CHttpResponse {
    int status = 200;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    // The body: the open file when set (read from its current position to its
    // end, fileSize bytes; closed when the response is done), else body.
    std::string body;
    std::shared_ptr<std::FILE> file;
    std::uint64_t fileSize = 0;
};

// What the access log gets for each request the server saw.
struct CAccessRecord {
    std::time_t when = 0;
    std::string clientAddress;
    std::string method;
    std::string rawUri;
    int status = 0;           // 0: no answer was given (the client left, or
                              // the request was refused before the handler)
    std::uint64_t bytes = 0;  // body bytes handed to the connection
    bool complete = false;    // the whole answer went out
};

struct CHttpServerOptions {
    std::string address = "127.0.0.1";  // numeric IPv4 or IPv6
    unsigned port = 8080;               // 0: any free port
    unsigned connectionLimit = 64;
    // One address may not take more than this, so one client cannot starve
    // the others.
    unsigned perAddressLimit = 32;
    unsigned idleTimeoutSeconds = 30;
    // Memory of one connection, which bounds the request line and headers.
    std::size_t connectionMemory = 32 * 1024;
    unsigned threads = 4;
};

using HttpHandler = std::function<CHttpResponse(const CHttpRequest&)>;
using AccessLogger = std::function<void(const CAccessRecord&)>;
using ErrorLogger = std::function<void(const std::string& utf8)>;

// "ADDR:PORT" or "[V6ADDR]:PORT" (also "localhost:PORT"): false with *error
// set when it is not one. Only numeric addresses are taken, so a typo
// never binds somewhere unexpected.
bool ParseListenAddress(const std::string& text, std::string* address, unsigned* port,
                        std::string* error);

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
    // Stops serving; open connections are closed. Idempotent.
    void Stop();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};
