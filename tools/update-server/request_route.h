// Which published thing a request asks for. Everything the server answers
// lives below /rdcenter/newweb/:
//
//   sql.asp?fileid=..&versnumber=..&userid=..   the update query
//   <fileid>/<code>.rar                          a package archive
//   explain/<fileid>\<code>.htm                  a package's explanation page
//                                                ('\' raw or as %5C, or '/')
//
// The path is percent-decoded first, so an escaped ".." is a ".." too; any
// course name that package_names.h refuses, any other name and anything
// outside that folder is "not found", so no request can name a file outside
// the published ones.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class ERouteKind { kNotFound, kQuery, kArchive, kExplain };

struct CRoute {
    ERouteKind kind = ERouteKind::kNotFound;
    // The raw query string (kQuery).
    std::string query;
    // kArchive, kExplain: the course names the request may mean, GBK, in the
    // order to try them: the bytes as sent, then, when the bytes were UTF-8
    // (a browser converts a GBK page's link to UTF-8 before it escapes
    // it), the same name in GBK. Each is a valid course name.
    std::vector<std::string> courses;
    std::string code;
};

inline constexpr std::string_view kServedPrefix = "/rdcenter/newweb/";

CRoute RouteRequest(std::string_view rawUri);

// The GBK course names bytes may stand for, in the order to try them (see
// CRoute::courses); empty when none is a valid course name.
std::vector<std::string> CourseNameCandidates(const std::string& bytes);
