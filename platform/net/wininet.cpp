#include "platform/net/wininet.h"

#include <cstring>
#include <new>
#include <string_view>

#include "platform/net/handles_internal.h"
#include "platform/net/host_text.h"
#include "platform/net/request_compose_internal.h"
#include "platform/text/text.h"

using namespace net;

namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

HINTERNET FailHandle(DWORD error) {
    SetLastError(error);
    return nullptr;
}

// Runs an API body with every exception turned into a failure.
template <typename Result, typename Body>
Result Guarded(Result failure, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    }
    return failure;
}

// The object behind handle when it is of kind; null with the desktop OS's
// error otherwise.
template <typename T>
std::shared_ptr<T> Lookup(HINTERNET handle, HandleKind kind) {
    std::shared_ptr<CInternetObject> object = FindHandle(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (object->Kind() != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

std::string Text(const char* s) {
    return s ? std::string(s) : std::string();
}

bool HasHeaderNamed(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& line : lines) {
        if (line.size() > name.size() && line[name.size()] == ':' &&
            text::EqualsNoCase(std::string_view(line).substr(0, name.size()), name))
            return true;
    }
    return false;
}

}  // namespace

BOOL InternetPrepareProcess() {
    return EnsureCurlReady() ? TRUE : FALSE;
}

HINTERNET InternetOpen(const char* agent, DWORD accessType, const char* proxy,
                       const char* proxyBypass, DWORD flags) {
    return Guarded<HINTERNET>(nullptr, [&]() -> HINTERNET {
        if (flags & INTERNET_FLAG_ASYNC)
            return FailHandle(ERROR_NOT_SUPPORTED);
        if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
            accessType != INTERNET_OPEN_TYPE_PROXY &&
            accessType != INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY)
            return FailHandle(ERROR_INVALID_PARAMETER);
        auto session = std::make_shared<CInternetSession>();
        session->m_strAgent = Text(agent);
        if (HasLineBreak(session->m_strAgent))
            return FailHandle(ERROR_INVALID_PARAMETER);
        session->m_proxy.accessType = accessType;
        if (accessType == INTERNET_OPEN_TYPE_PROXY) {
            session->m_proxy.proxy = Text(proxy);
            session->m_proxy.bypass = Text(proxyBypass);
            if (session->m_proxy.proxy.empty())
                return FailHandle(ERROR_INVALID_PARAMETER);
        }
        return AddHandle(std::move(session), nullptr);
    });
}

HINTERNET InternetConnect(HINTERNET sessionHandle, const char* serverName, INTERNET_PORT port,
                          const char* userName, const char* password, DWORD service, DWORD flags,
                          DWORD_PTR context) {
    return Guarded<HINTERNET>(nullptr, [&]() -> HINTERNET {
        auto session = Lookup<CInternetSession>(sessionHandle, HandleKind::kSession);
        if (!session)
            return nullptr;
        if (service != INTERNET_SERVICE_HTTP)
            return FailHandle(ERROR_NOT_SUPPORTED);
        const std::string_view host = StripBrackets(serverName ? serverName : "");
        if (!IsValidHostText(host))
            return FailHandle(ERROR_INVALID_PARAMETER);
        auto connection = std::make_shared<CInternetConnection>();
        ConnectionSettings& s = connection->m_settings;
        s.agent = session->m_strAgent;
        s.proxy = session->m_proxy;
        s.host = std::string(host);
        s.port =
            port == INTERNET_INVALID_PORT_NUMBER ? INTERNET_PORT{INTERNET_DEFAULT_HTTP_PORT} : port;
        s.user = Text(userName);
        s.password = Text(password);
        s.hasUser = !s.user.empty();
        return AddHandle(std::move(connection), sessionHandle);
    });
}

HINTERNET HttpOpenRequest(HINTERNET connectHandle, const char* verb, const char* objectName,
                          const char* version, const char* referrer, const char* const* acceptTypes,
                          DWORD flags, DWORD_PTR context) {
    return Guarded<HINTERNET>(nullptr, [&]() -> HINTERNET {
        auto connection = Lookup<CInternetConnection>(connectHandle, HandleKind::kConnection);
        if (!connection)
            return nullptr;
        if (flags & INTERNET_FLAG_SECURE)
            return FailHandle(ERROR_NOT_SUPPORTED);
        auto request = std::make_shared<CHttpRequest>();
        request->m_connection = connection->m_settings;
        request->m_strVerb = verb && *verb ? verb : "GET";
        if (!IsMethodToken(request->m_strVerb))
            return FailHandle(ERROR_INVALID_PARAMETER);
        const std::string_view versionText = version ? version : "";
        if (text::EqualsNoCase(versionText, "HTTP/1.0"))
            request->m_bHttp10 = true;
        else if (!versionText.empty() && !text::EqualsNoCase(versionText, "HTTP/1.1"))
            return FailHandle(ERROR_INVALID_PARAMETER);
        request->m_strTarget = ComposeRequestTarget(objectName ? objectName : "");
        request->m_strReferrer = Text(referrer);
        if (HasLineBreak(request->m_strReferrer))
            return FailHandle(ERROR_INVALID_PARAMETER);
        for (const char* const* type = acceptTypes; type && *type; ++type) {
            if (!**type)
                continue;
            if (HasLineBreak(*type))
                return FailHandle(ERROR_INVALID_PARAMETER);
            request->m_acceptTypes.emplace_back(*type);
        }
        return AddHandle(std::move(request), connectHandle);
    });
}

BOOL HttpSendRequest(HINTERNET requestHandle, const char* headers, DWORD headersLength,
                     const void* optional, DWORD optionalLength) {
    return Guarded<BOOL>(0, [&]() -> BOOL {
        auto request = Lookup<CHttpRequest>(requestHandle, HandleKind::kRequest);
        if (!request)
            return 0;
        if (!optional && optionalLength > 0)
            return Fail(ERROR_INVALID_PARAMETER);
        std::string_view extra;
        if (headers)
            extra = headersLength == kHeadersZeroTerminated
                        ? std::string_view(headers)
                        : std::string_view(headers, headersLength);
        else if (headersLength != 0 && headersLength != kHeadersZeroTerminated)
            return Fail(ERROR_INVALID_PARAMETER);

        const ConnectionSettings& c = request->m_connection;
        HttpTransferSetup setup;
        std::vector<std::string> extraLines;
        if (!SplitHeaderLines(extra, &extraLines))
            return Fail(ERROR_INVALID_PARAMETER);
        if (request->m_acceptTypes.empty()) {
            setup.headers.emplace_back("Accept:");  // drops libcurl's own "*/*"
        } else {
            std::string accept = "Accept: ";
            for (std::size_t i = 0; i < request->m_acceptTypes.size(); ++i)
                accept += (i ? ", " : "") + request->m_acceptTypes[i];
            setup.headers.push_back(std::move(accept));
        }
        setup.hasBody = optional && optionalLength > 0;
        if (setup.hasBody)
            setup.body.assign(static_cast<const char*>(optional), optionalLength);
        if (setup.hasBody || request->m_strVerb == "POST") {
            // libcurl would label a body as a form; only the caller says what it is.
            if (!HasHeaderNamed(extraLines, "Content-Type"))
                setup.headers.emplace_back("Content-Type:");
            // Nor does a large body wait for a "100 Continue".
            if (!HasHeaderNamed(extraLines, "Expect"))
                setup.headers.emplace_back("Expect:");
        }
        setup.headers.insert(setup.headers.end(), extraLines.begin(), extraLines.end());

        setup.url = OriginUrl(c.host, c.port);
        setup.proxy = ChooseProxy(c.proxy, c.host);
        setup.target = setup.proxy.empty() || !ProxyTakesAbsoluteUrl(setup.proxy)
                           ? request->m_strTarget
                           : AbsoluteUrl(c.host, c.port, request->m_strTarget);
        setup.verb = request->m_strVerb;
        setup.http10 = request->m_bHttp10;
        setup.userAgent = c.agent;
        setup.sendCredentials = c.hasUser;
        setup.user = c.user;
        setup.password = c.password;
        setup.referrer = request->m_strReferrer;
        setup.stallSeconds = StallSecondsFromEnvironment();
        return request->m_transfer.Start(setup) ? 1 : 0;
    });
}

BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
    return Guarded<BOOL>(0, [&]() -> BOOL {
        if (bytesRead)
            *bytesRead = 0;
        auto request = Lookup<CHttpRequest>(file, HandleKind::kRequest);
        if (!request)
            return 0;
        if (!bytesRead || (!buffer && bytesToRead > 0))
            return Fail(ERROR_INVALID_PARAMETER);
        std::size_t got = 0;
        if (!request->m_transfer.Read(static_cast<char*>(buffer), bytesToRead, &got))
            return 0;
        *bytesRead = static_cast<DWORD>(got);
        return 1;
    });
}

BOOL InternetCloseHandle(HINTERNET handle) {
    return Guarded<BOOL>(0, [&]() -> BOOL {
        if (!CloseHandleTree(handle))
            return Fail(ERROR_INVALID_HANDLE);
        return 1;
    });
}

BOOL HttpQueryStatusCode(HINTERNET requestHandle, DWORD* statusCode) {
    return Guarded<BOOL>(0, [&]() -> BOOL {
        auto request = Lookup<CHttpRequest>(requestHandle, HandleKind::kRequest);
        if (!request)
            return 0;
        if (!statusCode)
            return Fail(ERROR_INVALID_PARAMETER);
        if (!request->m_transfer.HasHeaders())
            return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        *statusCode = static_cast<DWORD>(request->m_transfer.StatusCode());
        return 1;
    });
}

BOOL HttpQueryContentLength(HINTERNET requestHandle, std::uint64_t* length) {
    return Guarded<BOOL>(0, [&]() -> BOOL {
        auto request = Lookup<CHttpRequest>(requestHandle, HandleKind::kRequest);
        if (!request)
            return 0;
        if (!length)
            return Fail(ERROR_INVALID_PARAMETER);
        if (!request->m_transfer.HasHeaders())
            return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        const std::int64_t announced = request->m_transfer.ContentLength();
        if (announced < 0)
            return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
        *length = static_cast<std::uint64_t>(announced);
        return 1;
    });
}
