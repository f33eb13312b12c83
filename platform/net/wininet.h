// An HTTP client with the desktop OS's WinInet interface, on libcurl: an
// agent (InternetOpen), a connection to one server with its user name and
// password (InternetConnect), requests on it (HttpOpenRequest,
// HttpSendRequest) whose body is pulled with InternetReadFile. Strings are
// narrow GBK bytes and are sent as given. Calls return a truth value (or a
// null handle) and set the thread's last error on failure; no exception
// leaves them.
//
// What goes on the wire: the request line is the verb, the object name byte
// for byte (a leading '/' is added when missing; blanks and control bytes,
// which would end the request line, are sent as %XX; nothing else is
// escaped: the caller escapes query values, see query_value.h) and the
// version. Headers: Host (from the connection; libcurl's), Authorization
// Basic when the connection has a user name (sent with the first request, not
// after a challenge), User-Agent (the agent name, when not empty), Accept
// (the accept types joined with ", "; none when there are none), the extra
// headers of HttpSendRequest, and Content-Length when there is a body.
// Through an HTTP proxy the request line carries the absolute URL and
// libcurl adds Proxy-Connection. Nothing else: no Accept-Encoding, no
// Expect, no Connection, no cookies, no cache; redirects are not followed
// (the redirect's own answer is what is read), and the status is never
// treated as an error: an error page's body is read like any other.
//
// Proxies: INTERNET_OPEN_TYPE_PRECONFIG uses libcurl's environment settings
// (http_proxy, all_proxy, no_proxy); DIRECT uses none; PROXY uses the given
// proxy and bypass list.
//
// Time: a transfer that delivers nothing for TELVORA_HTTP_STALL seconds
// (environment, a whole number from 1 to 86400; default 60) ends: a send
// fails, a read fails, with ERROR_INTERNET_TIMEOUT. The clock runs only
// while a call waits for the server.
//
// Handles: opaque numbers, never reused within a process, so a handle used
// after it was closed fails with ERROR_INVALID_HANDLE. Closing a handle also
// closes the handles made from it (the agent's connections, a connection's
// requests), as on the desktop OS; closing those again then fails with
// ERROR_INVALID_HANDLE and does no harm. A handle is used by one thread at a
// time; different handles may be used by different threads at once. A
// handle may be closed from any thread, also while another thread waits in a
// call on it: that call then fails with ERROR_INTERNET_OPERATION_CANCELLED.
#pragma once

#include <cstdint>

#include "platform/error/error.h"

struct InternetHandle;
using HINTERNET = InternetHandle*;
using INTERNET_PORT = std::uint16_t;

enum : DWORD {
    INTERNET_OPEN_TYPE_PRECONFIG = 0,
    INTERNET_OPEN_TYPE_DIRECT = 1,
    INTERNET_OPEN_TYPE_PROXY = 3,
    INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY = 4,
};

enum : INTERNET_PORT {
    INTERNET_INVALID_PORT_NUMBER = 0,  // the service's default port
    INTERNET_DEFAULT_HTTP_PORT = 80,
};

enum : DWORD { INTERNET_SERVICE_HTTP = 3 };

// Flags. The cache flags are accepted and mean nothing (there is no cache);
// SECURE (TLS) and ASYNC are not supported and fail with ERROR_NOT_SUPPORTED
// rather than quietly doing something else.
enum : DWORD {
    INTERNET_FLAG_RELOAD = 0x80000000u,
    INTERNET_FLAG_ASYNC = 0x10000000u,
    INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000u,
    INTERNET_FLAG_SECURE = 0x00800000u,
    INTERNET_FLAG_KEEP_CONNECTION = 0x00400000u,
    INTERNET_FLAG_PRAGMA_NOCACHE = 0x00000100u,
};

// HttpSendRequest's headersLength for a zero-terminated header text.
constexpr DWORD kHeadersZeroTerminated = 0xFFFFFFFFu;

// The client's failures are the desktop OS's ERROR_INTERNET_* and
// ERROR_HTTP_* codes (error.h), so the system's error box has a text for each.

// Sets up the client's process-wide state now instead of at the first
// request: libcurl's, and the TLS library's, which registers its cleanup to
// run at process exit. A program whose own exit handler must run before that
// cleanup calls this before registering it. Nothing goes out on the network.
// FALSE when the client can't be set up.
BOOL InternetPrepareProcess();

// The agent. agent is the User-Agent text (may be null or empty: no
// User-Agent); proxy and proxyBypass matter only for
// INTERNET_OPEN_TYPE_PROXY.
HINTERNET InternetOpen(const char* agent, DWORD accessType, const char* proxy,
                       const char* proxyBypass, DWORD flags);

// A connection to serverName (a host name, an IPv4 address, or an IPv6
// address with or without brackets) on port (0: 80). Nothing goes on the
// wire yet. userName null or empty: no credentials; password null: empty.
// service must be INTERNET_SERVICE_HTTP.
HINTERNET InternetConnect(HINTERNET session, const char* serverName, INTERNET_PORT port,
                          const char* userName, const char* password, DWORD service, DWORD flags,
                          DWORD_PTR context);

// A request on a connection. verb null: "GET". version "HTTP/1.0" or
// "HTTP/1.1" (null or empty: HTTP/1.1). acceptTypes: a null-terminated list,
// or null. Nothing goes on the wire yet.
HINTERNET HttpOpenRequest(HINTERNET connect, const char* verb, const char* objectName,
                          const char* version, const char* referrer, const char* const* acceptTypes,
                          DWORD flags, DWORD_PTR context);

// Sends the request and returns once the status line and headers are in; the
// body is then read with InternetReadFile. headers: extra header lines
// separated by CR LF (headersLength bytes, or kHeadersZeroTerminated);
// optional: a body of optionalLength bytes. Sending again starts the request
// over. Fails with ERROR_INTERNET_CANNOT_CONNECT, _NAME_NOT_RESOLVED,
// _TIMEOUT, ERROR_HTTP_INVALID_SERVER_RESPONSE, ...
BOOL HttpSendRequest(HINTERNET request, const char* headers, DWORD headersLength,
                     const void* optional, DWORD optionalLength);

// Reads up to bytesToRead bytes of the body. TRUE with *bytesRead 0 at the
// end of the body (and on every later call). FALSE when the transfer failed:
// ERROR_INTERNET_TIMEOUT after a stall, ERROR_INTERNET_CONNECTION_ABORTED
// when the server closed or reset the connection before the length it
// announced (a body without an announced length ends cleanly at the close);
// the bytes that did arrive are read first.
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead);

BOOL InternetCloseHandle(HINTERNET handle);

// The HTTP status code of a sent request (for tools and tests; the system's
// own callers never look at it). FALSE with
// ERROR_INTERNET_INCORRECT_HANDLE_STATE until a send has brought the headers.
BOOL HttpQueryStatusCode(HINTERNET request, DWORD* statusCode);

// The body's length as the answer's Content-Length announced it (what
// HttpQueryInfo's content length gives on the desktop OS). FALSE with
// ERROR_HTTP_HEADER_NOT_FOUND when the answer announced none (its body then
// ends when the server closes), ERROR_INTERNET_INCORRECT_HANDLE_STATE
// before a send has brought the headers. A body whose reads all succeeded
// up to the end holds exactly that many bytes.
BOOL HttpQueryContentLength(HINTERNET request, std::uint64_t* length);
