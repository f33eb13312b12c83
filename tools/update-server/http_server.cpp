// CHttpServer on libmicrohttpd: one internal polling thread (epoll) serves
// every connection; a watchdog thread ends request heads that miss their
// deadline; answers that come later resume their suspended connection.
#include "tools/update-server/http_server.h"

#include <microhttpd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <thread>

#include "platform/serverio/server_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the server keeps of a connection, from its start to its end.
struct CConnState {
    int fd = -1;
    std::string peer;
    CConnectionShares::EAdmit admitted = CConnectionShares::EAdmit::kServe;
    bool inHead = true;            // waiting for a request head
    std::uint64_t generation = 0;  // of the current head deadline
};

// What one request carries from its first line to its end.
struct CRequestState {
    std::string rawUri;
    std::string clientAddress;
    std::string method;
    std::string version;
    std::string user;
    std::string referer;
    std::string userAgent;
    int status = 0;
    std::uint64_t bytes = 0;
    bool started = false;  // the head is complete and the handler was asked
    bool answered = false;
    std::shared_ptr<CPendingResponse> pending;
};

struct CDeadline {
    Clock::time_point when;
    MHD_Connection* connection;
    std::uint64_t generation;
};

std::string Header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? value : "";
}

std::optional<CCredentials> BasicCredentials(MHD_Connection* connection) {
    char* password = nullptr;
    char* user = MHD_basic_auth_get_username_password(connection, &password);
    std::optional<CCredentials> credentials;
    if (user != nullptr)
        credentials = CCredentials{user, password ? password : ""};
    if (user != nullptr)
        MHD_free(user);
    if (password != nullptr)
        MHD_free(password);
    return credentials;
}

CConnState* ConnectionState(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<CConnState*>(info->socket_context) : nullptr;
}

bool LooksLikeAddress(const std::string& text) {
    CSocketAddress ignored;
    return MakeSocketAddress(text, 0, &ignored);
}

}  // namespace

void CPendingResponse::Complete(CHttpResponse response) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bComplete)
        return;
    m_bComplete = true;
    response.later.reset();
    m_response = std::make_shared<CHttpResponse>(std::move(response));
    // Under the lock, so that a server stopping meanwhile waits for it.
    if (m_resume)
        m_resume();
}

bool CPendingResponse::TakeIfComplete(CHttpResponse* response) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bComplete || m_bTaken)
        return false;
    m_bTaken = true;
    *response = std::move(*m_response);
    return true;
}

void CPendingResponse::WhenComplete(std::function<void()> resume) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bComplete)
        resume();
    else
        m_resume = std::move(resume);
}

CConnectionShares::CConnectionShares(unsigned limit) : m_limit(std::max(1u, limit)) {
    m_reserve = std::max(1u, m_limit / 8);
    m_smallShare = std::max(1u, std::min(8u, m_reserve / 2));
    m_busyLimit = std::max(16u, m_limit / 8);
}

CConnectionShares::EAdmit CConnectionShares::Admit(const std::string& address) {
    auto it = m_held.find(address);
    const unsigned held = it == m_held.end() ? 0 : it->second;
    const bool room = m_served < m_limit && (m_served < m_limit - m_reserve || held < m_smallShare);
    if (room) {
        ++m_served;
        ++m_held[address];
        return EAdmit::kServe;
    }
    if (m_busy < m_busyLimit) {
        ++m_busy;
        return EAdmit::kBusy;
    }
    return EAdmit::kRefuse;
}

void CConnectionShares::Release(const std::string& address, EAdmit admitted) {
    if (admitted == EAdmit::kBusy && m_busy > 0) {
        --m_busy;
    } else if (admitted == EAdmit::kServe) {
        auto it = m_held.find(address);
        if (it == m_held.end())
            return;
        if (--it->second == 0)
            m_held.erase(it);
        --m_served;
    }
}

struct CHttpServer::Impl {
    MHD_Daemon* daemon = nullptr;
    HttpHandler handler;
    AccessLogger accessLog;
    ErrorLogger errorLog;
    CHttpServerOptions options;
    std::string listening;
    // Touched only on the polling thread.
    std::unique_ptr<CConnectionShares> shares;

    std::mutex mutex;  // guards what follows
    std::condition_variable wake;
    std::condition_variable resumed;  // a set-aside connection got its answer
    bool stopping = false;
    bool closing = false;  // Stop has begun: nothing more is set aside
    std::unordered_map<MHD_Connection*, CConnState*> live;
    std::deque<CDeadline> deadlines;  // in time order: one head time for all
    std::uint64_t nextGeneration = 1;
    std::unordered_map<MHD_Connection*, std::shared_ptr<CPendingResponse>> suspended;
    std::thread watchdog;

    void Note(const std::string& text) {
        if (errorLog)
            errorLog(text);
    }

    // A new head deadline for the connection; mutex held.
    void ArmHeadDeadline(MHD_Connection* connection, CConnState* conn) {
        conn->inHead = true;
        conn->generation = nextGeneration++;
        deadlines.push_back({Clock::now() + std::chrono::seconds(options.headTimeoutSeconds),
                             connection, conn->generation});
        if (deadlines.size() == 1)
            wake.notify_one();
    }

    void WatchHeads() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            if (deadlines.empty()) {
                wake.wait(lock);
                continue;
            }
            const CDeadline next = deadlines.front();
            if (Clock::now() < next.when) {
                wake.wait_until(lock, next.when);
                continue;
            }
            deadlines.pop_front();
            auto it = live.find(next.connection);
            if (it == live.end() || it->second->generation != next.generation ||
                !it->second->inHead)
                continue;
            // The polling thread sees the end and closes the connection; the
            // descriptor stays open until the connection is forgotten below
            // (OnConnection, under this mutex).
            it->second->inHead = false;
            ShutdownSocket(it->second->fd);
            const std::string peer = it->second->peer;
            lock.unlock();
            Note("closed a connection from " + peer + ": its request head did not arrive within " +
                 std::to_string(options.headTimeoutSeconds) + " s");
            lock.lock();
        }
    }

    static void OnConnection(void* cls, MHD_Connection* connection, void** socketContext,
                             MHD_ConnectionNotificationCode code) {
        auto* self = static_cast<Impl*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* conn = new CConnState;
            const MHD_ConnectionInfo* fd =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            conn->fd = fd ? fd->connect_fd : -1;
            const MHD_ConnectionInfo* address =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            conn->peer = SocketAddressText(address ? address->client_addr : nullptr);
            conn->admitted = self->shares->Admit(conn->peer);
            *socketContext = conn;
            std::lock_guard<std::mutex> lock(self->mutex);
            self->live[connection] = conn;
            if (conn->admitted == CConnectionShares::EAdmit::kRefuse) {
                conn->inHead = false;
                ShutdownSocket(conn->fd);
            } else {
                self->ArmHeadDeadline(connection, conn);
            }
            return;
        }
        auto* conn = static_cast<CConnState*>(*socketContext);
        if (conn == nullptr)
            return;
        *socketContext = nullptr;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->live.erase(connection);
            self->suspended.erase(connection);
        }
        self->resumed.notify_all();
        self->shares->Release(conn->peer, conn->admitted);
        delete conn;
    }

    static void* OnRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
        auto* state = new CRequestState;
        state->rawUri = uri ? uri : "";
        if (const CConnState* conn = ConnectionState(connection))
            state->clientAddress = conn->peer;
        return state;
    }

    MHD_Result Queue(MHD_Connection* connection, CRequestState* state, CHttpResponse answer) {
        MHD_Response* response = nullptr;
        std::uint64_t length = answer.body.size();
        if (answer.file && answer.file->IsOpen()) {
            length = answer.fileLength;
            response = MHD_create_response_from_fd_at_offset64(
                answer.fileLength, answer.file->Descriptor(), answer.fileOffset);
            // The descriptor is libmicrohttpd's now, which closes it.
            if (response != nullptr)
                answer.file->Release();
        } else {
            response = MHD_create_response_from_buffer(answer.body.size(), answer.body.data(),
                                                       MHD_RESPMEM_MUST_COPY);
        }
        if (response == nullptr)
            return MHD_NO;
        if (!answer.contentType.empty())
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                                    answer.contentType.c_str());
        for (const auto& [name, value] : answer.headers)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        if (answer.close)
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
        MHD_destroy_response(response);
        state->answered = true;
        state->status = queued == MHD_YES ? answer.status : 0;
        state->bytes = state->method == MHD_HTTP_METHOD_HEAD ? 0 : length;
        return queued;
    }

    CHttpResponse Busy() const {
        CHttpResponse r;
        r.status = 503;
        r.contentType = "text/plain; charset=utf-8";
        r.body = "503 the server is busy; try again in a few seconds\n";
        r.headers.emplace_back("Retry-After", std::to_string(options.retryAfterSeconds));
        r.close = true;
        return r;
    }

    static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url,
                                const char* method, const char* version, const char* uploadData,
                                std::size_t* uploadSize, void** context) {
        auto* self = static_cast<Impl*>(cls);
        auto* state = static_cast<CRequestState*>(*context);
        if (state == nullptr) {
            state = static_cast<CRequestState*>(OnRequestLine(cls, url, connection));
            *context = state;
        }
        CConnState* conn = ConnectionState(connection);
        if (!state->started) {
            state->started = true;
            state->method = method ? method : "";
            state->version = version ? version : "";
            state->referer = Header(connection, MHD_HTTP_HEADER_REFERER);
            state->userAgent = Header(connection, MHD_HTTP_HEADER_USER_AGENT);
            if (conn != nullptr) {
                std::lock_guard<std::mutex> lock(self->mutex);
                conn->inHead = false;
            }
            // The answer waits for the request's end, so the connection can
            // stay open for the next one; a request with a body (none is
            // wanted here) is answered at once and its connection closed.
            const std::string length = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
            const bool body = (!length.empty() && length != "0") ||
                              !Header(connection, MHD_HTTP_HEADER_TRANSFER_ENCODING).empty();
            if (!body)
                return MHD_YES;
        }
        if (state->answered || *uploadSize != 0) {
            // A request body nobody asked for: let it pass.
            *uploadSize = 0;
            return MHD_YES;
        }
        if (state->pending) {
            CHttpResponse later;
            if (!state->pending->TakeIfComplete(&later))
                return MHD_YES;
            {
                std::lock_guard<std::mutex> lock(self->mutex);
                self->suspended.erase(connection);
            }
            self->resumed.notify_all();
            return self->Queue(connection, state, std::move(later));
        }
        if (conn != nullptr && conn->admitted != CConnectionShares::EAdmit::kServe)
            return self->Queue(connection, state, self->Busy());

        CHttpRequest request;
        request.method = state->method;
        request.rawUri = state->rawUri;
        request.clientAddress = state->clientAddress;
        if (!self->options.trustedProxy.empty() &&
            state->clientAddress == self->options.trustedProxy) {
            const std::string real = Header(connection, "X-Real-IP");
            if (LooksLikeAddress(real))
                request.clientAddress = state->clientAddress = real;
        }
        request.credentials = BasicCredentials(connection);
        if (request.credentials)
            state->user = request.credentials->user;
        request.ifNoneMatch = Header(connection, MHD_HTTP_HEADER_IF_NONE_MATCH);
        request.ifModifiedSince = Header(connection, MHD_HTTP_HEADER_IF_MODIFIED_SINCE);
        request.range = Header(connection, MHD_HTTP_HEADER_RANGE);
        request.ifRange = Header(connection, MHD_HTTP_HEADER_IF_RANGE);
        CHttpResponse answer;
        try {
            answer = self->handler(request);
        } catch (const std::exception& e) {
            self->Note(std::string("request failed: ") + e.what());
            answer = CHttpResponse();
            answer.status = 500;
            answer.contentType = "text/plain";
            answer.body = "500 internal server error\n";
        }
        if (!answer.later)
            return self->Queue(connection, state, std::move(answer));
        // Set aside until the answer is there; every other connection goes on.
        bool setAside = false;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            setAside = !self->closing;
            if (setAside)
                self->suspended[connection] = answer.later;
        }
        if (!setAside)
            return self->Queue(connection, state, self->Busy());
        state->pending = answer.later;
        MHD_suspend_connection(connection);
        state->pending->WhenComplete([connection] { MHD_resume_connection(connection); });
        return MHD_YES;
    }

    static void OnCompleted(void* cls, MHD_Connection* connection, void** context,
                            MHD_RequestTerminationCode reason) {
        auto* self = static_cast<Impl*>(cls);
        auto* state = static_cast<CRequestState*>(*context);
        if (state == nullptr)
            return;
        *context = nullptr;
        if (self->accessLog) {
            CAccessRecord record;
            record.when = std::time(nullptr);
            record.clientAddress = state->clientAddress;
            record.user = state->user;
            record.method = state->method;
            record.rawUri = state->rawUri;
            record.version = state->version;
            record.status = state->status;
            record.complete = reason == MHD_REQUEST_TERMINATED_COMPLETED_OK;
            record.bytes = record.complete ? state->bytes : 0;
            record.referer = state->referer;
            record.userAgent = state->userAgent;
            self->accessLog(record);
        }
        // A persistent connection waits for its next request head.
        if (CConnState* conn = ConnectionState(connection)) {
            std::lock_guard<std::mutex> lock(self->mutex);
            if (self->live.count(connection) != 0 && conn->inHead == false &&
                reason == MHD_REQUEST_TERMINATED_COMPLETED_OK)
                self->ArmHeadDeadline(connection, conn);
        }
        delete state;
    }

    static void OnLibraryMessage(void* cls, const char* format, va_list args) {
        auto* self = static_cast<Impl*>(cls);
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        std::string message = text;
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
            message.pop_back();
        self->Note("http: " + message);
    }
};

CHttpServer::CHttpServer() : m_impl(std::make_unique<Impl>()) {}

CHttpServer::~CHttpServer() {
    Stop();
}

bool CHttpServer::Start(const CHttpServerOptions& options, HttpHandler handler,
                        AccessLogger accessLog, ErrorLogger errorLog, std::string* error) {
    Stop();
    Impl& d = *m_impl;
    d.options = options;
    d.options.connectionLimit = std::max(1u, options.connectionLimit);
    d.options.headTimeoutSeconds = std::max(1u, options.headTimeoutSeconds);
    d.handler = std::move(handler);
    d.accessLog = std::move(accessLog);
    d.errorLog = std::move(errorLog);

    CSocketAddress bind;
    if (!MakeSocketAddress(options.address, options.port, &bind)) {
        *error = "\"" + options.address + "\" is not a numeric IPv4 or IPv6 address";
        return false;
    }
    // Each connection holds its socket and, while a file goes out, the file.
    const std::size_t files = RaiseOpenFileLimit();
    const unsigned fit = files > 64 ? static_cast<unsigned>((files - 32) / 2) : 16;
    if (d.options.connectionLimit + d.options.connectionLimit / 8 + 16 > fit) {
        d.options.connectionLimit = std::max(1u, fit * 8 / 9 > 16 ? fit * 8 / 9 - 16 : 1);
        d.Note("the open file limit (" + std::to_string(files) + ") allows only " +
               std::to_string(d.options.connectionLimit) + " connections at once");
    }
    d.shares = std::make_unique<CConnectionShares>(d.options.connectionLimit);
    IgnoreBrokenPipes();
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
                     MHD_USE_ERROR_LOG;
    if (bind.ipv6)
        flags |= MHD_USE_IPv6;
    const unsigned hardLimit = d.options.connectionLimit + d.shares->BusyLimit() + 16;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.stopping = false;
        d.closing = false;
    }
    d.watchdog = std::thread([&d] { d.WatchHeads(); });
    d.daemon = MHD_start_daemon(
        flags, static_cast<std::uint16_t>(options.port), nullptr, nullptr, &Impl::OnRequest, &d,
        MHD_OPTION_EXTERNAL_LOGGER, &Impl::OnLibraryMessage, &d, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<const sockaddr*>(bind.bytes), MHD_OPTION_CONNECTION_LIMIT, hardLimit,
        MHD_OPTION_CONNECTION_TIMEOUT, d.options.idleTimeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, d.options.connectionMemory,
        MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u, MHD_OPTION_URI_LOG_CALLBACK, &Impl::OnRequestLine,
        &d, MHD_OPTION_NOTIFY_COMPLETED, &Impl::OnCompleted, &d, MHD_OPTION_NOTIFY_CONNECTION,
        &Impl::OnConnection, &d, MHD_OPTION_END);
    if (d.daemon == nullptr) {
        Stop();
        *error = "cannot listen on " + options.address + ":" + std::to_string(options.port) +
                 " (address in use, not an address of this machine, or not allowed)";
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(d.daemon, MHD_DAEMON_INFO_BIND_PORT);
    const unsigned port = info ? info->port : options.port;
    d.listening = bind.ipv6 ? "[" + options.address + "]:" + std::to_string(port)
                            : options.address + ":" + std::to_string(port);
    return true;
}

std::string CHttpServer::ListeningAddress() const {
    return m_impl->listening;
}

void CHttpServer::Stop() {
    Impl& d = *m_impl;
    if (d.daemon != nullptr) {
        // Answers still awaited are given now, so that no connection stays
        // set aside while the server ends.
        std::vector<std::shared_ptr<CPendingResponse>> waiting;
        {
            std::lock_guard<std::mutex> lock(d.mutex);
            d.closing = true;
            for (const auto& entry : d.suspended)
                waiting.push_back(entry.second);
        }
        for (const auto& pending : waiting)
            pending->Complete(d.Busy());
        // libmicrohttpd must have taken every one back before it stops.
        {
            std::unique_lock<std::mutex> lock(d.mutex);
            d.resumed.wait_for(lock, std::chrono::seconds(10),
                               [&d] { return d.suspended.empty(); });
        }
        MHD_stop_daemon(d.daemon);
        d.daemon = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.stopping = true;
        d.deadlines.clear();
        d.live.clear();
        d.suspended.clear();
    }
    d.wake.notify_all();
    if (d.watchdog.joinable())
        d.watchdog.join();
}
