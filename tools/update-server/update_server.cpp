#include "tools/update-server/update_server.h"

#include <algorithm>
#include <filesystem>

#include "platform/text/text.h"
#include "tools/update-server/file_answer.h"
#include "tools/update-server/package_names.h"
#include "tools/update-server/update_pages.h"
#include "tools/update-server/url_escapes.h"

namespace fs = std::filesystem;

namespace {

constexpr const char kHtml[] = "text/html; charset=GBK";
constexpr const char kRar[] = "application/x-rar-compressed";
constexpr const char kRealm[] = "Basic realm=\"Telvora update\"";
// An archive's bytes never change under its name.
constexpr const char kArchiveCachePublic[] = "public, max-age=31536000, immutable";
constexpr const char kArchiveCachePrivate[] = "private, max-age=31536000, immutable";
constexpr const char kNotesCache[] = "public, max-age=86400";
constexpr unsigned kBusyRetrySeconds = 5;

CHttpResponse Page(int status, std::string body) {
    CHttpResponse r;
    r.status = status;
    r.contentType = kHtml;
    r.body = std::move(body);
    return r;
}

CHttpResponse Busy() {
    CHttpResponse r = Page(503, BusyPage());
    r.headers.emplace_back("Retry-After", std::to_string(kBusyRetrySeconds));
    return r;
}

}  // namespace

CUpdateServer::CUpdateServer(std::string dirUtf8, CUserAccounts::Warn warn,
                             CUpdateServerOptions options)
    : m_options(std::move(options)),
      m_store(std::move(dirUtf8)),
      m_index(m_store.Root()),
      m_accounts(m_store.UsersFile(), std::move(warn)),
      m_pool(m_options.hashThreads) {
    std::error_code ec;
    const fs::path real = fs::canonical(m_store.Root(), ec);
    m_strRealRoot = ec ? m_store.Root() : real.string();
}

CUpdateServer::~CUpdateServer() {
    m_pool.Stop();
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
    if (route.kind == ERouteKind::kExplain)
        return Answer(request, route, true);
    CAccessCheck check = m_accounts.Begin(request.credentials, request.clientAddress);
    if (!check.ticket)
        return check.access == EAccess::kGranted ? Answer(request, route, check.publicFolder)
                                                 : Denied(check.access, check.retryAfterSeconds);
    // The slow hash decides: on the pool, and the answer follows from there.
    auto pending = std::make_shared<CPendingResponse>();
    m_pool.Submit(
        [this, pending, request, route, ticket = std::move(*check.ticket)](bool cancelled) {
            if (cancelled) {
                pending->Complete(Busy());
                return;
            }
            const EAccess access = m_accounts.Finish(ticket);
            pending->Complete(access == EAccess::kGranted ? Answer(request, route, false)
                                                          : Denied(access, 0));
        });
    CHttpResponse r;
    r.later = std::move(pending);
    return r;
}

CHttpResponse CUpdateServer::Denied(EAccess access, unsigned retryAfterSeconds) {
    CHttpResponse r = Page(401, access == EAccess::kThrottled
                                    ? ThrottledPage(retryAfterSeconds)
                                    : AccessDeniedPage(access != EAccess::kNeedCredentials));
    r.headers.emplace_back("WWW-Authenticate", kRealm);
    if (access == EAccess::kThrottled)
        r.headers.emplace_back("Retry-After", std::to_string(retryAfterSeconds));
    return r;
}

CHttpResponse CUpdateServer::Answer(const CHttpRequest& request, const CRoute& route,
                                    bool publicFolder) {
    if (route.kind == ERouteKind::kQuery)
        return Query(route);
    return PackageFile(request, route, route.kind == ERouteKind::kExplain, publicFolder);
}

CHttpResponse CUpdateServer::Query(const CRoute& route) {
    const std::string installed = QueryValue(route.query, "versnumber").value_or("");
    const std::optional<std::string> fileid = QueryValue(route.query, "fileid");
    std::string course;
    CIndexCache::Packages packages;
    if (fileid) {
        for (const std::string& name : CourseNameCandidates(*fileid)) {
            packages = m_index.Course(name);
            course = name;
            if (!packages->empty())
                break;
        }
    }
    static const std::vector<CPackage> kNone;
    CHttpResponse r =
        Page(200, UpdateListPage(course, PackagesNewerThan(packages ? *packages : kNone, installed,
                                                           kMaxListedPackages)));
    r.headers.emplace_back("Cache-Control", "no-store");
    return r;
}

CHttpResponse CUpdateServer::PackageFile(const CHttpRequest& request, const CRoute& route,
                                         bool notes, bool publicFolder) {
    for (const std::string& course : route.courses) {
        const CIndexCache::Packages packages = m_index.Course(course);
        const bool published = std::binary_search(
            packages->begin(), packages->end(), CPackage{route.code, 0},
            [](const CPackage& a, const CPackage& b) { return a.code < b.code; });
        if (!published)
            continue;
        const std::string path =
            notes ? m_store.NotesFile(course, route.code) : m_store.ArchiveFile(course, route.code);
        const std::string type = notes ? kHtml : kRar;
        const std::string cache =
            notes ? kNotesCache : (publicFolder ? kArchiveCachePublic : kArchiveCachePrivate);
        if (!m_options.accelRedirect.empty()) {
            // nginx sends the file (with its ranges and validators); the
            // checks above are this server's.
            CHttpResponse r;
            r.contentType = type;
            r.headers.emplace_back("Cache-Control", cache);
            r.headers.emplace_back("X-Accel-Redirect",
                                   m_options.accelRedirect + "courses/" +
                                       PercentEncodePathName(text::GbkToUtf8(course)) + "/" +
                                       route.code + (notes ? ".htm" : ".rar"));
            return r;
        }
        auto file = std::make_shared<CServedFile>();
        if (!OpenServedFile(path, m_strRealRoot, file.get()))
            break;
        return FileResponse(request, std::move(file), type, cache);
    }
    return Page(404, NotFoundPage());
}
