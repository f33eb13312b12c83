// CHttpServer on libmicrohttpd: a pool of polling threads (epoll) serves all
// connections with non-blocking sockets, so a slow client costs a slot, not
// a thread.
#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <signal.h>

#include <cstdarg>
#include <cstring>

#include "platform/httpd/http_server.h"

namespace {

constexpr std::size_t kFileBlock = 64 * 1024;

// What one request carries from its first line to its end.
struct CRequestState {
    std::string rawUri;
    std::string clientAddress;
    std::string method;
    int status = 0;
    bool answered = false;
    // Shared with the body reader, which may outlive the request's callbacks.
    std::shared_ptr<std::uint64_t> bytes = std::make_shared<std::uint64_t>(0);
};

// A file body handed to the connection block by block.
struct CFileBody {
    std::shared_ptr<std::FILE> file;
    long start = 0;
    std::uint64_t next = 0;  // offset of the next byte the connection asks for
    std::shared_ptr<std::uint64_t> bytes;
};

std::string AddressText(const struct sockaddr* sa) {
    char text[INET6_ADDRSTRLEN] = "";
    if (sa == nullptr)
        return "-";
    if (sa->sa_family == AF_INET) {
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(sa);
        inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text);
    } else if (sa->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(sa);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    } else {
        return "-";
    }
    return text;
}

std::string ClientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return info ? AddressText(info->client_addr) : "-";
}

ssize_t ReadFileBlock(void* cls, std::uint64_t pos, char* buf, std::size_t max) {
    auto* body = static_cast<CFileBody*>(cls);
    if (pos != body->next) {
        if (std::fseek(body->file.get(), body->start + static_cast<long>(pos), SEEK_SET) != 0)
            return MHD_CONTENT_READER_END_WITH_ERROR;
        body->next = pos;
    }
    const std::size_t n = std::fread(buf, 1, max, body->file.get());
    if (n == 0) {
        // The file is shorter than announced (changed underneath): cut the
        // answer rather than pad it.
        return MHD_CONTENT_READER_END_WITH_ERROR;
    }
    body->next += n;
    *body->bytes += n;
    return static_cast<ssize_t>(n);
}

void FreeFileBody(void* cls) {
    delete static_cast<CFileBody*>(cls);
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

}  // namespace

struct CHttpServer::Impl {
    MHD_Daemon* daemon = nullptr;
    HttpHandler handler;
    AccessLogger accessLog;
    ErrorLogger errorLog;
    std::string listening;

    static void* OnRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
        auto* state = new CRequestState;
        state->rawUri = uri ? uri : "";
        state->clientAddress = ClientAddress(connection);
        return state;
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
        if (state->answered) {
            // A request body nobody asked for: let it pass.
            *uploadSize = 0;
            return MHD_YES;
        }
        state->method = method ? method : "";
        CHttpRequest request{state->method, state->rawUri, state->clientAddress,
                             BasicCredentials(connection)};
        CHttpResponse answer;
        try {
            answer = self->handler(request);
        } catch (const std::exception& e) {
            if (self->errorLog)
                self->errorLog(std::string("request failed: ") + e.what());
            answer = CHttpResponse();
            answer.status = 500;
            answer.contentType = "text/plain";
            answer.body = "500 internal server error\n";
        }
        MHD_Response* response = nullptr;
        if (answer.file) {
            auto* body = new CFileBody{answer.file, std::ftell(answer.file.get()), 0, state->bytes};
            response = MHD_create_response_from_callback(answer.fileSize, kFileBlock,
                                                         &ReadFileBlock, body, &FreeFileBody);
            if (response == nullptr)
                delete body;
        } else {
            response = MHD_create_response_from_buffer(answer.body.size(), answer.body.data(),
                                                       MHD_RESPMEM_MUST_COPY);
            if (std::strcmp(state->method.c_str(), MHD_HTTP_METHOD_HEAD) != 0)
                *state->bytes = answer.body.size();
        }
        if (response == nullptr)
            return MHD_NO;
        if (!answer.contentType.empty())
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                                    answer.contentType.c_str());
        for (const auto& [name, value] : answer.headers)
            MHD_add_response_header(response, name.c_str(), value.c_str());
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
        MHD_destroy_response(response);
        state->answered = true;
        state->status = queued == MHD_YES ? answer.status : 0;
        *uploadSize = 0;
        return queued;
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
            record.method = state->method;
            record.rawUri = state->rawUri;
            record.status = state->status;
            record.bytes = *state->bytes;
            record.complete = reason == MHD_REQUEST_TERMINATED_COMPLETED_OK;
            self->accessLog(record);
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
        if (self->errorLog)
            self->errorLog("http: " + message);
    }
};

CHttpServer::CHttpServer() : m_impl(std::make_unique<Impl>()) {}

CHttpServer::~CHttpServer() {
    Stop();
}

bool CHttpServer::Start(const CHttpServerOptions& options, HttpHandler handler,
                        AccessLogger accessLog, ErrorLogger errorLog, std::string* error) {
    Stop();
    m_impl->handler = std::move(handler);
    m_impl->accessLog = std::move(accessLog);
    m_impl->errorLog = std::move(errorLog);

    sockaddr_in v4{};
    sockaddr_in6 v6{};
    const sockaddr* bindAddress = nullptr;
    // A client that goes away in the middle of a file sent with sendfile
    // must not end the process.
    signal(SIGPIPE, SIG_IGN);
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ERROR_LOG;
    if (inet_pton(AF_INET, options.address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<std::uint16_t>(options.port));
        bindAddress = reinterpret_cast<const sockaddr*>(&v4);
    } else if (inet_pton(AF_INET6, options.address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<std::uint16_t>(options.port));
        bindAddress = reinterpret_cast<const sockaddr*>(&v6);
        flags |= MHD_USE_IPv6;
    } else {
        *error = "\"" + options.address + "\" is not a numeric IPv4 or IPv6 address";
        return false;
    }

    m_impl->daemon = MHD_start_daemon(
        flags, static_cast<std::uint16_t>(options.port), nullptr, nullptr, &Impl::OnRequest,
        m_impl.get(), MHD_OPTION_EXTERNAL_LOGGER, &Impl::OnLibraryMessage, m_impl.get(),
        MHD_OPTION_SOCK_ADDR, bindAddress, MHD_OPTION_THREAD_POOL_SIZE, options.threads,
        MHD_OPTION_CONNECTION_LIMIT, options.connectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        options.perAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT, options.idleTimeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, options.connectionMemory, MHD_OPTION_URI_LOG_CALLBACK,
        &Impl::OnRequestLine, m_impl.get(), MHD_OPTION_NOTIFY_COMPLETED, &Impl::OnCompleted,
        m_impl.get(), MHD_OPTION_END);
    if (m_impl->daemon == nullptr) {
        *error = "cannot listen on " + options.address + ":" + std::to_string(options.port) +
                 " (address in use, not an address of this machine, or not allowed)";
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_impl->daemon, MHD_DAEMON_INFO_BIND_PORT);
    const unsigned port = info ? info->port : options.port;
    m_impl->listening = (flags & MHD_USE_IPv6) ? "[" + options.address + "]:" + std::to_string(port)
                                               : options.address + ":" + std::to_string(port);
    return true;
}

std::string CHttpServer::ListeningAddress() const {
    return m_impl->listening;
}

void CHttpServer::Stop() {
    if (m_impl->daemon != nullptr) {
        MHD_stop_daemon(m_impl->daemon);
        m_impl->daemon = nullptr;
    }
}
