// The table behind HINTERNET values, and the objects they stand for. A
// handle is a number, never a pointer, and numbers are not reused, so a
// stale or made-up handle is simply not found. The table holds one reference
// to each object; a call holds another while it runs, so closing a handle
// from another thread never frees an object under a running call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/net/http_transfer_internal.h"
#include "platform/net/proxy_choice_internal.h"
#include "platform/net/wininet.h"

namespace net {

enum class HandleKind { kSession, kConnection, kRequest };

class CInternetObject {
public:
    explicit CInternetObject(HandleKind kind) : m_kind(kind) {}
    virtual ~CInternetObject() = default;
    HandleKind Kind() const { return m_kind; }
    // The handle was closed (possibly by another thread than the one using
    // it): wake and fail whatever waits on it.
    virtual void OnClose() {}

private:
    HandleKind m_kind;
};

// What InternetOpen was given; connections copy it.
class CInternetSession : public CInternetObject {
public:
    CInternetSession() : CInternetObject(HandleKind::kSession) {}
    std::string m_strAgent;
    ProxySettings m_proxy;
};

// What a connection stands for; its requests copy it.
struct ConnectionSettings {
    std::string agent;
    ProxySettings proxy;
    std::string host;  // without brackets
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    bool hasUser = false;
    std::string user;
    std::string password;
};

class CInternetConnection : public CInternetObject {
public:
    CInternetConnection() : CInternetObject(HandleKind::kConnection) {}
    ConnectionSettings m_settings;
};

class CHttpRequest : public CInternetObject {
public:
    CHttpRequest() : CInternetObject(HandleKind::kRequest) {}
    void OnClose() override { m_transfer.Cancel(); }

    ConnectionSettings m_connection;  // a copy: the request stands alone
    std::string m_strVerb;
    std::string m_strTarget;
    bool m_bHttp10 = false;
    std::string m_strReferrer;
    std::vector<std::string> m_acceptTypes;
    CHttpTransfer m_transfer;
};

// Enters object under a new handle, below parent (null for an agent). Null
// with ERROR_INVALID_HANDLE when parent has been closed meanwhile.
HINTERNET AddHandle(std::shared_ptr<CInternetObject> object, HINTERNET parent);
// The object, or null when handle is unknown or closed.
std::shared_ptr<CInternetObject> FindHandle(HINTERNET handle);
// Closes handle and every handle made from it. False when it was not open.
bool CloseHandleTree(HINTERNET handle);
// Handles open in the process (tests check that nothing is left behind).
std::size_t OpenHandleCount();

}  // namespace net
