#include "platform/net/http_transfer_internal.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>  // std::chrono's clocks without <chrono>'s formatting literals

#include "platform/net/wininet.h"
#include "platform/text/number.h"

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kDefaultStallSeconds = 60;
constexpr long kMaxStallSeconds = 86400;
// libcurl's receive buffer: fewer system calls on large bodies.
constexpr long kReceiveBufferSize = 64 * 1024;
// The longest single wait; the stall clock is checked between waits.
constexpr int kPollSliceMs = 1000;

DWORD ErrorFromCurl(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return ERROR_SUCCESS;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT:
            return ERROR_INTERNET_TIMEOUT;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            return ERROR_INTERNET_CONNECTION_ABORTED;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_HTTP_RETURNED_ERROR:
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_URL_MALFORMAT:
            return ERROR_INTERNET_INVALID_URL;
        case CURLE_OUT_OF_MEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

CURL* Easy(void* p) {
    return static_cast<CURL*>(p);
}
CURLM* Multi(void* p) {
    return static_cast<CURLM*>(p);
}

}  // namespace

bool EnsureCurlReady() {
    // curl_global_init is not thread-safe: once, whoever comes first.
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

long StallSecondsFromEnvironment() {
    const char* value = std::getenv("TELVORA_HTTP_STALL");
    return static_cast<long>(
        text::ParseDecimal(value ? value : "", 1, kMaxStallSeconds).value_or(kDefaultStallSeconds));
}

CHttpTransfer::CHttpTransfer() {
    if (EnsureCurlReady())
        m_pMulti = curl_multi_init();
}

CHttpTransfer::~CHttpTransfer() {
    Reset();
    if (m_pMulti)
        curl_multi_cleanup(Multi(m_pMulti));
}

void CHttpTransfer::Cancel() {
    m_bCancelled = true;
    if (m_pMulti)
        curl_multi_wakeup(Multi(m_pMulti));
}

void CHttpTransfer::Reset() {
    if (m_pEasy) {
        curl_multi_remove_handle(Multi(m_pMulti), Easy(m_pEasy));
        curl_easy_cleanup(Easy(m_pEasy));
        m_pEasy = nullptr;
    }
    if (m_pHeaderList) {
        curl_slist_free_all(static_cast<curl_slist*>(m_pHeaderList));
        m_pHeaderList = nullptr;
    }
    m_buffer.clear();
    m_nReadPos = 0;
    m_nReceived = 0;
    m_nHeaderBytes = 0;
    m_lStatus = 0;
    m_nContentLength = -1;
    m_bStarted = false;
    m_bPaused = false;
    m_bHeadersDone = false;
    m_bDone = false;
    m_bHeadersTooLarge = false;
    m_dwError = ERROR_SUCCESS;
}

bool CHttpTransfer::Configure(const HttpTransferSetup& s) {
    CURL* easy = Easy(m_pEasy);
    curl_slist* list = nullptr;
    for (const std::string& line : s.headers) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown) {
            curl_slist_free_all(list);
            return false;
        }
        list = grown;
    }
    m_pHeaderList = list;

    CURLcode rc = CURLE_OK;
    auto set = [&rc, easy](CURLoption option, auto value) {
        if (rc == CURLE_OK)
            rc = curl_easy_setopt(easy, option, value);
    };
    set(CURLOPT_URL, s.url.c_str());
    set(CURLOPT_REQUEST_TARGET, s.target.c_str());
    set(CURLOPT_PROXY, s.proxy.c_str());
    set(CURLOPT_NOPROXY, "");  // the proxy is chosen already (proxy_choice_internal.h)
    set(CURLOPT_PROTOCOLS_STR, "http");
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_HTTP_VERSION, s.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    set(CURLOPT_CONNECTTIMEOUT, s.stallSeconds);
    if (!s.userAgent.empty())
        set(CURLOPT_USERAGENT, s.userAgent.c_str());
    if (!s.referrer.empty())
        set(CURLOPT_REFERER, s.referrer.c_str());
    if (s.sendCredentials) {
        // Basic alone makes libcurl send the credentials with the first request.
        set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        set(CURLOPT_USERNAME, s.user.c_str());
        set(CURLOPT_PASSWORD, s.password.c_str());
    }
    if (s.verb == "HEAD" && !s.hasBody) {
        set(CURLOPT_NOBODY, 1L);
    } else if (s.verb == "GET" && !s.hasBody) {
        set(CURLOPT_HTTPGET, 1L);
    } else {
        if (s.hasBody || s.verb == "POST") {
            set(CURLOPT_POSTFIELDSIZE, static_cast<long>(s.body.size()));
            set(CURLOPT_COPYPOSTFIELDS, s.body.c_str());
        }
        set(CURLOPT_CUSTOMREQUEST, s.verb.c_str());
    }
    set(CURLOPT_HTTPHEADER, list);
    set(CURLOPT_WRITEFUNCTION, &CHttpTransfer::OnBody);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_HEADERFUNCTION, &CHttpTransfer::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    return rc == CURLE_OK;
}

bool CHttpTransfer::Start(const HttpTransferSetup& setup) {
    Reset();
    if (m_bCancelled) {
        SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
        return false;
    }
    if (!m_pMulti) {
        SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
        return false;
    }
    m_lStallSeconds = setup.stallSeconds;
    m_pEasy = curl_easy_init();
    if (!m_pEasy) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (!Configure(setup) || curl_multi_add_handle(Multi(m_pMulti), Easy(m_pEasy)) != CURLM_OK) {
        Reset();
        SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
        return false;
    }
    m_bStarted = true;
    while (!m_bHeadersDone && !m_bDone)
        WaitForProgress();
    if (m_bHeadersDone)
        return true;
    SetLastError(m_dwError != ERROR_SUCCESS ? m_dwError : ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
}

bool CHttpTransfer::Read(char* buffer, std::size_t size, std::size_t* read) {
    *read = 0;
    if (!m_bStarted) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        return false;
    }
    if (size == 0)
        return true;
    for (;;) {
        const std::size_t available = m_buffer.size() - m_nReadPos;
        if (available > 0) {
            const std::size_t n = std::min(available, size);
            std::memcpy(buffer, m_buffer.data() + m_nReadPos, n);
            m_nReadPos += n;
            *read = n;
            return true;
        }
        // Emptied: the next data starts at the front again (capacity kept).
        m_buffer.clear();
        m_nReadPos = 0;
        if (m_bPaused && !m_bDone) {
            m_bPaused = false;
            // libcurl hands over what it held back through OnBody, here or at
            // the next drive.
            const CURLcode rc = curl_easy_pause(Easy(m_pEasy), CURLPAUSE_CONT);
            if (rc != CURLE_OK)
                Abort(ErrorFromCurl(rc));
            continue;
        }
        if (m_bDone) {
            if (m_dwError != ERROR_SUCCESS) {
                SetLastError(m_dwError);
                return false;
            }
            return true;
        }
        WaitForProgress();
    }
}

bool CHttpTransfer::WaitForProgress() {
    const Clock::time_point start = Clock::now();
    const Clock::duration stall = std::chrono::seconds(m_lStallSeconds);
    const std::uint64_t receivedBefore = m_nReceived;
    for (;;) {
        if (m_bCancelled) {
            Abort(ERROR_INTERNET_OPERATION_CANCELLED);
            return false;
        }
        int running = 0;
        if (curl_multi_perform(Multi(m_pMulti), &running) != CURLM_OK) {
            Abort(ERROR_INTERNET_INTERNAL_ERROR);
            return false;
        }
        CollectResult();
        if (m_bDone || m_bPaused || m_nReceived != receivedBefore)
            return true;
        const Clock::duration waited = Clock::now() - start;
        if (waited >= stall) {
            Abort(ERROR_INTERNET_TIMEOUT);
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(stall - waited).count();
        const int waitMs = static_cast<int>(std::clamp<long long>(left, 1, kPollSliceMs));
        if (curl_multi_poll(Multi(m_pMulti), nullptr, 0, waitMs, nullptr) != CURLM_OK) {
            Abort(ERROR_INTERNET_INTERNAL_ERROR);
            return false;
        }
    }
}

void CHttpTransfer::CollectResult() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(Multi(m_pMulti), &left)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != Easy(m_pEasy))
            continue;
        m_bDone = true;
        m_dwError = m_bHeadersTooLarge ? ERROR_HTTP_INVALID_SERVER_RESPONSE
                                       : ErrorFromCurl(message->data.result);
        if (m_dwError == ERROR_SUCCESS && !m_bHeadersDone) {
            // Ended cleanly without a blank line after the headers seen (a
            // body-less answer cut right there): the status says what it was.
            long status = 0;
            curl_easy_getinfo(Easy(m_pEasy), CURLINFO_RESPONSE_CODE, &status);
            if (status > 0) {
                m_lStatus = status;
                m_bHeadersDone = true;
            }
        }
    }
}

void CHttpTransfer::Abort(DWORD error) {
    m_bDone = true;
    m_dwError = error;
    if (m_pEasy)
        curl_multi_remove_handle(Multi(m_pMulti), Easy(m_pEasy));
}

std::size_t CHttpTransfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* t = static_cast<CHttpTransfer*>(self);
    const std::size_t bytes = size * count;
    if (t->m_buffer.size() - t->m_nReadPos >= kBufferLimit) {
        // libcurl keeps these bytes and hands them over again on resume.
        t->m_bPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    try {
        t->m_buffer.insert(t->m_buffer.end(), data, data + bytes);
    } catch (...) {
        return 0;  // ends the transfer with a write error
    }
    t->m_nReceived += bytes;
    t->m_nPeakBuffered = std::max(t->m_nPeakBuffered, t->m_buffer.size() - t->m_nReadPos);
    return bytes;
}

std::size_t CHttpTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* t = static_cast<CHttpTransfer*>(self);
    const std::size_t bytes = size * count;
    t->m_nReceived += bytes;
    t->m_nHeaderBytes += bytes;
    if (t->m_nHeaderBytes > kMaxHeaderBytes) {
        t->m_bHeadersTooLarge = true;
        return 0;
    }
    const bool blank =
        (bytes == 2 && data[0] == '\r' && data[1] == '\n') || (bytes == 1 && data[0] == '\n');
    if (blank) {
        long status = 0;
        curl_easy_getinfo(Easy(t->m_pEasy), CURLINFO_RESPONSE_CODE, &status);
        // 1xx answers are followed by the real one.
        if (status >= 200 || status == 0) {
            t->m_lStatus = status;
            t->m_bHeadersDone = true;
            curl_off_t length = -1;
            if (curl_easy_getinfo(Easy(t->m_pEasy), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
                CURLE_OK)
                t->m_nContentLength = length;
        }
    }
    return bytes;
}

}  // namespace net
