// The update server's answers, apart from the network: a request in, a
// response out (or later, see below). See request_route.h for what is served
// and package_store.h for the folder it is served from.
//
// Access: the query and the archives need an account once the folder has
// one (user_accounts.h); a request without credentials gets 401 with a
// Basic challenge, wrong ones 401 too, both with a page holding "权限",
// which is how the update control tells a refused login. The userid in the
// query is not checked against them: after a login retry the update control
// sends the new credentials with the first user name still in the query.
// Explanation pages are public: the course's browser opens them without the
// update control's credentials.
//
// A login whose password has not been checked yet is answered later: the
// slow hash runs on a pool of its own (hash_pool.h), and the connection
// waits for it while every other request goes on. Repeated failures are
// refused at once for a while (login_throttle.h), with Retry-After.
//
// Files are opened, then checked (a plain file inside the served folder),
// then sent by the kernel, with ETag, Last-Modified, ranges and 304. An
// archive never changes under its code (a withdrawn code is never published
// again), so caches may keep it; behind nginx (see docs/update-server.md)
// the server names the file in X-Accel-Redirect and nginx sends it.
#pragma once

#include <memory>
#include <string>

#include "tools/update-server/hash_pool.h"
#include "tools/update-server/http_server.h"
#include "tools/update-server/package_store.h"
#include "tools/update-server/request_route.h"
#include "tools/update-server/user_accounts.h"

struct CUpdateServerOptions {
    // Path prefix of nginx's internal location for the served folder
    // ("/.telvora-files/"): files are then named in X-Accel-Redirect rather
    // than sent. Empty: the server sends them.
    std::string accelRedirect;
    // Threads of the password pool; 0: one per processor core.
    unsigned hashThreads = 0;
};

class CUpdateServer {
public:
    CUpdateServer(std::string dirUtf8, CUserAccounts::Warn warn, CUpdateServerOptions options = {});
    ~CUpdateServer();

    CHttpResponse Handle(const CHttpRequest& request);
    bool IsPublic() { return m_accounts.IsPublic(); }

private:
    // The answer once access is granted.
    // publicFolder: no account is needed (archives may go to shared caches).
    CHttpResponse Answer(const CHttpRequest& request, const CRoute& route, bool publicFolder);
    CHttpResponse Query(const CRoute& route);
    CHttpResponse PackageFile(const CHttpRequest& request, const CRoute& route, bool notes,
                              bool publicFolder);
    CHttpResponse Denied(EAccess access, unsigned retryAfterSeconds);

    CUpdateServerOptions m_options;
    CPackageStore m_store;
    CIndexCache m_index;
    CUserAccounts m_accounts;
    std::string m_strRealRoot;  // the served folder, links resolved
    CHashPool m_pool;           // last: its jobs use the members above
};
