// The update server's answers, apart from the network: a request in, a
// response out. See request_route.h for what is served and package_store.h
// for the folder it is served from.
//
// Access: the query and the archives need an account once the folder has
// one (user_accounts.h); a request without credentials gets 401 with a
// Basic challenge, wrong ones 401 too, both with a page holding "权限",
// which is how the update control tells a refused login. The userid in the
// query is not checked against them: after a login retry the update control
// sends the new credentials with the first user name still in the query.
// Explanation pages are public: the course's browser opens them without the
// update control's credentials.
#pragma once

#include <memory>
#include <string>

#include "platform/httpd/http_server.h"
#include "tools/update-server/package_store.h"
#include "tools/update-server/request_route.h"
#include "tools/update-server/user_accounts.h"

class CUpdateServer {
public:
    CUpdateServer(std::string dirUtf8, CUserAccounts::Warn warn);

    CHttpResponse Handle(const CHttpRequest& request);
    bool IsPublic() { return m_accounts.IsPublic(); }

private:
    CHttpResponse Query(const CRoute& route);
    CHttpResponse PackageFile(const CRoute& route, bool notes);
    // The file at path when it is a plain file inside the served folder once
    // every link is followed; null otherwise.
    std::shared_ptr<std::FILE> OpenServedFile(const std::string& path, std::uint64_t* size) const;

    CPackageStore m_store;
    CUserAccounts m_accounts;
    std::string m_strRealRoot;  // the served folder, links resolved
};
