// Taking in the course data an update starts from: PutInfo and HtmlInfo.
// The update itself (Download's connectivity probe, login and worker) comes
// with the update worker.
#include "common/course_description.h"
#include "corvane/corvane_ctrl.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace {

// The module's name for its application message boxes: its file name without
// the extension (and without the "lib" every Linux library name carries), as
// the system's module was simply "corvane".
std::string ModuleCaption() {
    static const char kAnchor = 0;
    std::string path = GetModuleFileNameOf(&kAnchor);
    std::size_t slash = text::FindLastBackslash(path);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    if (name.size() > 3 && name.compare(0, 3, "lib") == 0) {
        name.erase(0, 3);
    }
    return name.empty() ? std::string("corvane") : name;
}

// The default value of HKCU\keyName, read into 100 bytes; "读注册表失败"
// and an empty result when it can't be read.
std::string ReadCourseRegValue(const std::string& keyName) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyEx(HKEY_CURRENT_USER, keyName.c_str(), &key);
    char buffer[100] = {};
    if (rc == ERROR_SUCCESS) {
        DWORD size = sizeof buffer;
        DWORD type = REG_NONE;
        rc = RegQueryValueEx(key, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        if (rc == ERROR_SUCCESS && type != REG_SZ) {
            rc = ERROR_CANTREAD;
        }
        RegCloseKey(key);  // on every path
    }
    if (rc != ERROR_SUCCESS) {
        MessageBox(nullptr, "读注册表失败", ModuleCaption(), MB_OK | MB_ICONEXCLAMATION);
        return "";
    }
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

}  // namespace

BOOL CCorvaneCtrl::PutInfo(const std::string& strVersNumber, const std::string& strFilePath,
                           std::int32_t bShowWindow) {
    m_strVersNumber = strVersNumber.empty() ? "0" : strVersNumber;
    m_bShowWindow = bShowWindow;
    // GBK-aware: a trail byte 0x5C is no backslash.
    std::size_t slash = text::FindLastBackslash(strFilePath);
    if (slash == std::string::npos) {
        m_strFileName = strFilePath;
        m_strFilePath.clear();
    } else {
        m_strFileName = strFilePath.substr(slash + 1);
        m_strFilePath = strFilePath.substr(0, slash + 1);
    }
    return TRUE;
}

BOOL CCorvaneCtrl::HtmlInfo(const std::string& courseId) {
    const std::string key = CourseRecordKey(courseId);
    const std::string version = ReadCourseRegValue(key);
    const std::string folder = ReadCourseRegValue(key + "\\1");
    PutInfo(version, folder, TRUE);
    return TRUE;
}

BOOL CCorvaneCtrl::Download() {
    // The update start (probe, login, worker) is not built yet: no update runs.
    return FALSE;
}
