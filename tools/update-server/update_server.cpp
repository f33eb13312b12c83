#include "tools/update-server/update_server.h"

#include <filesystem>

#include "tools/update-server/package_names.h"
#include "tools/update-server/update_pages.h"
#include "tools/update-server/url_escapes.h"

namespace fs = std::filesystem;

namespace {

constexpr const char kHtml[] = "text/html; charset=GBK";
constexpr const char kRealm[] = "Basic realm=\"Telvora update\"";

CHttpResponse Page(int status, std::string body) {
    CHttpResponse r;
    r.status = status;
    r.contentType = kHtml;
    r.body = std::move(body);
    return r;
}

CHttpResponse Refusal(bool credentialsGiven) {
    CHttpResponse r = Page(401, AccessDeniedPage(credentialsGiven));
    r.headers.emplace_back("WWW-Authenticate", kRealm);
    return r;
}

}  // namespace

CUpdateServer::CUpdateServer(std::string dirUtf8, CUserAccounts::Warn warn)
    : m_store(std::move(dirUtf8)), m_accounts(m_store.UsersFile(), std::move(warn)) {
    std::error_code ec;
    const fs::path real = fs::canonical(m_store.Root(), ec);
    m_strRealRoot = ec ? m_store.Root() : real.string();
}

CHttpResponse CUpdateServer::Handle(const CHttpRequest& request) {
    if (request.method != "GET" && request.method != "HEAD") {
        CHttpResponse r = Page(405, MethodNotAllowedPage());
        r.headers.emplace_back("Allow", "GET, HEAD");
        return r;
    }
    const CRoute route = RouteRequest(request.rawUri);
    if (route.kind == ERouteKind::kNotFound)
        return Page(404, NotFoundPage());
    if (route.kind != ERouteKind::kExplain) {
        switch (m_accounts.Check(request.credentials)) {
            case EAccess::kGranted:
                break;
            case EAccess::kNeedCredentials:
                return Refusal(false);
            case EAccess::kRefused:
                return Refusal(true);
        }
    }
    if (route.kind == ERouteKind::kQuery)
        return Query(route);
    return PackageFile(route, route.kind == ERouteKind::kExplain);
}

CHttpResponse CUpdateServer::Query(const CRoute& route) {
    const std::string installed = QueryValue(route.query, "versnumber").value_or("");
    const std::optional<std::string> fileid = QueryValue(route.query, "fileid");
    std::string course;
    std::vector<CPackage> packages;
    if (fileid) {
        for (const std::string& name : CourseNameCandidates(*fileid)) {
            packages = m_store.Packages(name);
            course = name;
            if (!packages.empty())
                break;
        }
    }
    CHttpResponse r = Page(
        200, UpdateListPage(course, PackagesNewerThan(packages, installed, kMaxListedPackages)));
    r.headers.emplace_back("Cache-Control", "no-store");
    return r;
}

CHttpResponse CUpdateServer::PackageFile(const CRoute& route, bool notes) {
    for (const std::string& course : route.courses) {
        bool published = false;
        for (const CPackage& p : m_store.Packages(course))
            published = published || p.code == route.code;
        if (!published)
            continue;
        CHttpResponse r;
        r.file = OpenServedFile(
            notes ? m_store.NotesFile(course, route.code) : m_store.ArchiveFile(course, route.code),
            &r.fileSize);
        if (!r.file)
            break;
        r.contentType = notes ? kHtml : "application/x-rar-compressed";
        return r;
    }
    return Page(404, NotFoundPage());
}

std::shared_ptr<std::FILE> CUpdateServer::OpenServedFile(const std::string& path,
                                                         std::uint64_t* size) const {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec || !fs::is_regular_file(real, ec))
        return nullptr;
    const std::string text = real.string();
    const std::string inside = m_strRealRoot.back() == '/' ? m_strRealRoot : m_strRealRoot + "/";
    if (text.compare(0, inside.size(), inside) != 0)
        return nullptr;
    std::shared_ptr<std::FILE> file(std::fopen(text.c_str(), "rb"), [](std::FILE* f) {
        if (f != nullptr)
            std::fclose(f);
    });
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return nullptr;
    const long end = std::ftell(file.get());
    if (end < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return nullptr;
    *size = static_cast<std::uint64_t>(end);
    return file;
}
