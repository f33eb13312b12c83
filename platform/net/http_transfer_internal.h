// One HTTP exchange on libcurl, pulled by the reader: Start sends the request
// and drives the transfer until the status line and headers are in; Read
// hands out the body from a buffer and drives the transfer only when the
// buffer is empty. The buffer is bounded: once it holds kBufferLimit bytes
// the transfer is paused until the reader has emptied it, so memory does not
// grow with the size of the body however slowly it is read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/error/error.h"

namespace net {

struct HttpTransferSetup {
    std::string url;     // "http://host:port/": where to connect, and the Host header
    std::string target;  // the request line's target, sent as is
    std::string proxy;   // libcurl proxy text; "" for a direct connection
    std::string verb;
    bool http10 = true;
    std::string userAgent;  // "" for none
    bool sendCredentials = false;
    std::string user;
    std::string password;
    std::string referrer;              // "" for none
    std::vector<std::string> headers;  // complete header lines, Accept included
    bool hasBody = false;
    std::string body;
    long stallSeconds = 60;
};

// TELVORA_HTTP_STALL in seconds: a whole number from 1 to 86400, else 60.
long StallSecondsFromEnvironment();

// libcurl's process-wide setup, once (its cleanup at exit is registered
// then); false when it failed. Every transfer passes here first.
bool EnsureCurlReady();

class CHttpTransfer {
public:
    static constexpr std::size_t kBufferLimit = 256 * 1024;
    // The most libcurl hands over in one call, and so the most the buffer
    // can pass kBufferLimit by.
    static constexpr std::size_t kMaxDelivery = 16 * 1024;
    // Headers beyond this are a broken or hostile server (below the limit
    // libcurl sets itself, so that the failure is named as such).
    static constexpr std::size_t kMaxHeaderBytes = 256 * 1024;

    CHttpTransfer();
    ~CHttpTransfer();
    CHttpTransfer(const CHttpTransfer&) = delete;
    CHttpTransfer& operator=(const CHttpTransfer&) = delete;

    // Sends the request (dropping any earlier exchange). True once the
    // headers are in; false with last error when the exchange failed first.
    bool Start(const HttpTransferSetup& setup);
    // Up to size bytes of the body into buffer. True with *read 0 at the end;
    // false with last error when the transfer failed (bytes that arrived
    // before the failure are handed out first).
    bool Read(char* buffer, std::size_t size, std::size_t* read);

    bool Started() const { return m_bStarted; }
    // The status line and headers are in (StatusCode is then known).
    bool HasHeaders() const { return m_bHeadersDone; }
    long StatusCode() const { return m_lStatus; }
    // The body's length as the answer announced it, or -1 when it did not.
    std::int64_t ContentLength() const { return m_nContentLength; }
    // The most body bytes the buffer held at once (for tests and benchmarks).
    std::size_t PeakBuffered() const { return m_nPeakBuffered; }

    // From any thread: a waiting or later Start or Read fails with
    // ERROR_INTERNET_OPERATION_CANCELLED.
    void Cancel();

private:
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);

    void Reset();
    bool Configure(const HttpTransferSetup& setup);
    // Drives the transfer until something arrives or it ends. False when it
    // was given up (stall or cancel); the failure is then recorded.
    bool WaitForProgress();
    void CollectResult();
    void Abort(DWORD error);

    void* m_pMulti = nullptr;       // CURLM*, made once, so Cancel can always wake it
    void* m_pEasy = nullptr;        // CURL*, one per exchange
    void* m_pHeaderList = nullptr;  // curl_slist*
    std::atomic<bool> m_bCancelled{false};

    std::vector<char> m_buffer;
    std::size_t m_nReadPos = 0;
    std::size_t m_nPeakBuffered = 0;
    std::uint64_t m_nReceived = 0;  // header and body bytes, the sign of progress
    std::size_t m_nHeaderBytes = 0;
    long m_lStallSeconds = 60;
    long m_lStatus = 0;
    std::int64_t m_nContentLength = -1;
    bool m_bStarted = false;
    bool m_bPaused = false;
    bool m_bHeadersDone = false;
    bool m_bDone = false;
    bool m_bHeadersTooLarge = false;
    DWORD m_dwError = ERROR_SUCCESS;  // how the transfer ended, once m_bDone
};

}  // namespace net
