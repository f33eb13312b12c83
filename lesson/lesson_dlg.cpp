#include "lesson/lesson_dlg.h"

#include <thread>

#include "common/course_description.h"
#include "common/course_record.h"
#include "common/system_error.h"
#include "lesson/course_start.h"
#include "lesson/resources.h"
#include "platform/fs/fs.h"
#include "platform/net/resolve.h"
#include "platform/net/winsock.h"
#include "platform/process/process.h"

namespace {

// Lets the browser come up before the update control shows its dialogs.
constexpr int kBrowserHeadStartMs = 100;

}  // namespace

CLessonDlg::CLessonDlg(HWND parent) : CDialog(IDD_LESSON_DIALOG, parent), m_hIcon(IDR_MAINFRAME) {}

BOOL CLessonDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    try {
        DoDataExchange();
        AppendAboutEntry();
        SetIcon(m_hIcon, true);
        SetIcon(m_hIcon, false);
        // Out of sight for the whole run: the user sees the browser and the
        // update control's own dialogs.
        SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, 0);
        ShowWindow(m_hWnd, SW_HIDE);

        const std::string setupIni = GetSetupIniPath();
        CourseDescription values;
        bool opened = false;
        const std::string courseId =
            ReadCourseDescription(setupIni, DescriptionVariant::Launcher, &values, m_hWnd, &opened);
        if (!opened) {
            // ".ini file can't find" was shown and WM_QUIT posted to this
            // window: nothing is started.
            return FALSE;
        }
        const std::string version = ReadInstalledVersion(courseId, values.version);
        StartCourse(CourseCommandLine(m_strCourseDir, values.defaultPage));
        std::this_thread::sleep_for(std::chrono::milliseconds(kBrowserHeadStartMs));
        if (!HasNetworkAddress()) {
            // Still pending when the update control's login dialog waits
            // for input, so the update ends there at once.
            PostQuitMessage(kQuitNoNetwork);
        }
        const std::string folder = ReadRegValue(CourseRecordKey(courseId) + "\\1");
        if (!m_ctlUpdate.PutInfo(version, folder, FALSE)) {
            Say("version or path error.");
        } else {
            // Silent mode: returns once the update has ended; its result
            // changes nothing here.
            m_ctlUpdate.Download();
        }
    } catch (const CFrameworkError&) {
        ShowSystemError();
    }
    // The program ends with the modal loop, also after an error above: a
    // hidden dialog left waiting would never end.
    PostQuitMessage(kQuitLessonDone);
    return TRUE;
}

void CLessonDlg::DoDataExchange() {
    if (!m_ctlUpdate.Attach(GetDlgItem(m_hWnd, IDC_CORVANE))) {
        throw CFrameworkError("the dialog holds no update control", ERROR_INVALID_HANDLE);
    }
    // The control starts in the state the dialog keeps for it. Stored data
    // it refuses leaves it with its defaults, which is all that state holds.
    m_ctlUpdate.LoadState(kCorvaneInitialState);
}

void CLessonDlg::AppendAboutEntry() {
    const DialogTemplate* tmpl = FindDialogTemplate(TemplateId());
    if (!tmpl || (tmpl->style & WS_SYSMENU) == 0) {
        return;
    }
    std::string about = LoadLessonString(IDS_ABOUTBOX);
    if (about.empty()) {
        return;
    }
    m_systemMenu.push_back(CMenuEntry{true, 0, ""});
    m_systemMenu.push_back(CMenuEntry{false, IDM_ABOUTBOX, about});
}

void CLessonDlg::SetIcon(HICON icon, bool bigIcon) {
    (bigIcon ? m_hBigIcon : m_hSmallIcon) = icon;
}

std::string CLessonDlg::GetSetupIniPath() {
    // The whole module path: a course folder deep in the file system still
    // finds its setup.ini.
    m_strCourseDir = CourseDirOfLauncher(GetModuleFileName());
    return SetupIniPathOf(m_strCourseDir);
}

std::string CLessonDlg::ReadInstalledVersion(const std::string& courseId,
                                             const std::string& iniVersion) {
    std::string version;
    switch (ReadRecordValue(CourseRecordKey(courseId), &version)) {
        case RecordRead::Read:
            return version;
        case RecordRead::NoKey:
            Say("open register error");
            return iniVersion;
        case RecordRead::Unreadable:
            Say("read register error");
            return iniVersion;
    }
    return iniVersion;
}

std::string CLessonDlg::ReadRegValue(const std::string& keyName) {
    std::string value;
    if (ReadRecordValue(keyName, &value) == RecordRead::Unreadable) {
        Say("read register error");
    }
    return value;
}

BOOL CLessonDlg::StartCourse(const std::string& commandLine) {
    STARTUPINFO startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMAXIMIZED;
    PROCESS_INFORMATION process = {};
    if (!CreateProcess(nullptr, commandLine.c_str(), FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                       &startup, &process)) {
        ShowSystemError();
        return FALSE;
    }
    // The launcher doesn't wait for the course: it lives on by itself.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return TRUE;
}

BOOL CLessonDlg::HasNetworkAddress() {
    WSADATA data;
    const bool started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    const bool hasAddress = LocalHostHasNetworkAddress();
    if (started) {
        WSACleanup();
    }
    return hasAddress ? TRUE : FALSE;
}

void CLessonDlg::Say(const std::string& text) {
    MessageBox(m_hWnd, text, GetAppName(), MB_OK);
}

LRESULT CLessonDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                CDialog about(IDD_ABOUTBOX, m_hWnd);
                about.DoModal();
                return 0;
            }
            break;
        case WM_QUERYDRAGICON:
            return m_hIcon;
        default:
            break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}
