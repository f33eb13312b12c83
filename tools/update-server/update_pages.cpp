#include "tools/update-server/update_pages.h"

#include "common/course_format.h"
#include "tools/update-server/url_escapes.h"

namespace {

std::string PageStart(std::string_view title) {
    return "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=GBK\">\n<title>" +
           std::string(title) + "</title>\n</head>\n<body>\n";
}

const char kPageEnd[] = "</body></html>\n";

std::string SimplePage(std::string_view title, std::string_view paragraph) {
    return PageStart(title) + "<p>" + std::string(paragraph) + "</p>\n" + kPageEnd;
}

// Text for HTML: the course name may hold '&' (a valid folder name); the
// refused characters < > " never reach here.
std::string HtmlText(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

}  // namespace

std::string PackageServerPath(std::string_view fileid, std::string_view code) {
    return PercentEncodeName(fileid) + "/" + std::string(code) + ".rar";
}

std::string UpdateListPage(std::string_view fileid, const std::vector<CPackage>& packages) {
    if (packages.empty())
        return SimplePage("课件更新", "此课程没有更新内容。");
    std::string page = PageStart("课件更新");
    page += "<p>此课程有 " + std::to_string(packages.size()) + " 个更新包。</p>\n";
    for (const CPackage& p : packages)
        page +=
            "&" + p.code + PackageServerPath(fileid, p.code) + " " + std::to_string(p.size) + "\n";
    return page + kPageEnd;
}

std::string AccessDeniedPage(bool credentialsGiven) {
    return SimplePage("课件更新", credentialsGiven ? "您没有权限访问：用户名或密码错误。"
                                                   : "您没有权限访问：请输入用户名和密码。");
}

std::string ThrottledPage(unsigned seconds) {
    return SimplePage("课件更新", "您没有权限访问：登录失败次数过多，请 " +
                                      std::to_string(seconds) + " 秒后再试。");
}

std::string BusyPage() {
    return SimplePage("503", "服务器正忙，请稍后再试。");
}

std::string NotFoundPage() {
    return SimplePage("404", "找不到该页面。");
}

std::string MethodNotAllowedPage() {
    return SimplePage("405", "不支持此请求方法。");
}

std::string DefaultNotesPage(std::string_view fileid, std::string_view code) {
    return SimplePage("更新说明", "课程 " + HtmlText(fileid) + " " +
                                      CodeDateText(std::string(code)) + "更新（" +
                                      std::string(code) + "）。");
}
