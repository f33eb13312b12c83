// The names the update protocol is built on: a course's folder name (the
// fileid) and a package's version code YYMMDDNN.
#pragma once

#include <string>
#include <string_view>

#include "common/course_format.h"  // IsPackageCode

// Longest course name accepted, in GBK bytes (the installed course path the
// update control keeps is shorter than this).
constexpr std::size_t kMaxCourseNameBytes = 100;

// True when code is newer than the installed version. An installed version
// that is not a package code ("0", empty, anything malformed) means nothing
// is installed yet, so every code is newer. Codes have one length and
// digits only, so comparing the texts compares the numbers.
bool IsNewerCode(std::string_view code, std::string_view installed);

// Why gbk cannot be a course folder name, as an English phrase ("is empty",
// "contains '/'"), or an empty string when it can. A name is refused when it
// is empty, "." or "..", longer than kMaxCourseNameBytes, not valid GBK (or
// not the same bytes after a round trip through UTF-8, the names on disk),
// or contains a control character or one of / \ : * ? " < > |. Only
// character starts are looked at: the second byte of a GBK character may be
// 0x5C or 0x7C without being a backslash or a bar.
std::string CourseNameProblem(std::string_view gbk);
inline bool IsValidCourseName(std::string_view gbk) {
    return CourseNameProblem(gbk).empty();
}
