#include "tools/update-server/request_route.h"

#include "platform/text/text.h"
#include "tools/update-server/package_names.h"
#include "tools/update-server/url_escapes.h"

namespace {

constexpr std::size_t kCodeLength = 8;

// The names bytes may stand for; asGbk false when the bytes cannot be GBK
// as sent (their backslash separator would be a trail byte).
std::vector<std::string> Candidates(const std::string& bytes, bool asGbk) {
    std::vector<std::string> names;
    if (asGbk && IsValidCourseName(bytes))
        names.push_back(bytes);
    const std::string gbk = text::Utf8ToGbk(bytes);
    if (gbk != bytes && text::GbkToUtf8(gbk) == bytes && IsValidCourseName(gbk))
        names.push_back(gbk);
    return names;
}

// "<course><sep><code><ext>", sep '/' (or a real backslash when
// backslashToo): fills route, true when the form and some course name fit.
bool SplitCourseFile(const std::string& rest, std::string_view ext, bool backslashToo,
                     CRoute* route) {
    const std::size_t tail = kCodeLength + ext.size();
    if (rest.size() < tail + 2)
        return false;
    const std::size_t sep = rest.size() - tail - 1;
    const std::string code = rest.substr(sep + 1, kCodeLength);
    if (!IsPackageCode(code) || rest.compare(sep + 1 + kCodeLength, ext.size(), ext) != 0)
        return false;
    const std::string course = rest.substr(0, sep);
    bool charStart = true;
    if (rest[sep] == '\\' && backslashToo) {
        // A trail byte 0x5C of the name's last GBK character is no separator.
        charStart = text::IsCharStart(rest, sep);
    } else if (rest[sep] != '/') {
        return false;
    }
    route->courses = Candidates(course, charStart);
    route->code = code;
    return !route->courses.empty();
}

}  // namespace

std::vector<std::string> CourseNameCandidates(const std::string& bytes) {
    return Candidates(bytes, true);
}

CRoute RouteRequest(std::string_view rawUri) {
    CRoute route;
    const std::size_t question = rawUri.find('?');
    const std::string path = PercentDecode(rawUri.substr(0, question));
    if (path.compare(0, kServedPrefix.size(), kServedPrefix) != 0)
        return route;
    const std::string rest = path.substr(kServedPrefix.size());
    if (rest == "sql.asp") {
        route.kind = ERouteKind::kQuery;
        if (question != std::string_view::npos)
            route.query = std::string(rawUri.substr(question + 1));
        return route;
    }
    constexpr std::string_view kExplainFolder = "explain/";
    // A course may be called "explain" too: its archives are "explain/<code>.rar".
    if (rest.compare(0, kExplainFolder.size(), kExplainFolder) == 0 &&
        SplitCourseFile(rest.substr(kExplainFolder.size()), ".htm", true, &route)) {
        route.kind = ERouteKind::kExplain;
    } else if (SplitCourseFile(rest, ".rar", false, &route)) {
        route.kind = ERouteKind::kArchive;
    } else {
        route = CRoute();
    }
    return route;
}
