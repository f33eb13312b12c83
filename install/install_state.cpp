#include "install/install_state.h"

std::string g_strBaseDir;
std::string g_strCourseName;
std::string g_strTotalCd;
std::string g_strNowCd;
std::atomic<bool> g_bLastCd{false};
std::atomic<bool> g_bCopyMedia{false};
std::atomic<bool> g_bInstallFailed{false};
std::string g_strCdRoot;
std::string g_strInstallDir;
std::atomic<int> g_nOverallPercent{0};
std::atomic<int> g_nFilePercent{0};
CSharedString g_strCurrentFile;
std::string g_strPrompt;
HWND g_hMainWnd = nullptr;

namespace {
// The courseid read last; like the other values it survives a later reading
// that doesn't find its key.
std::string s_strCourseId;
}  // namespace

CourseDescription SharedCourseDescription() {
    CourseDescription values;
    values.courseId = s_strCourseId;
    values.courseName = g_strCourseName;
    values.totalCd = g_strTotalCd;
    values.nowCd = g_strNowCd;
    values.lastCd = g_bLastCd;
    return values;
}

void StoreSharedCourseDescription(const CourseDescription& values) {
    s_strCourseId = values.courseId;
    g_strCourseName = values.courseName;
    g_strTotalCd = values.totalCd;
    g_strNowCd = values.nowCd;
    g_bLastCd = values.lastCd;
}
