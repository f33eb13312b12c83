// The start of an update: the course data (PutInfo, HtmlInfo), and
// Download's connectivity probe, login and update worker.
#include "common/course_description.h"
#include "common/course_lock.h"
#include "common/course_record.h"
#include "corvane/corvane_ctrl.h"
#include "corvane/corvane_state.h"
#include "corvane/course_browser.h"
#include "corvane/deployment.h"
#include "corvane/download_thread.h"
#include "corvane/update_dialogs.h"
#include "platform/fs/fs.h"
#include "platform/net/resolve.h"
#include "platform/net/winsock.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace {

// The default value of HKCU\keyName, read into 100 bytes; "读注册表失败"
// and an empty result when it can't be read.
std::string ReadCourseRegValue(const std::string& keyName) {
    std::string value;
    if (ReadRecordValue(keyName, &value) != RecordRead::Read)
        MessageBox(nullptr, "读注册表失败", ModuleCaption(), MB_OK | MB_ICONEXCLAMATION);
    return value;
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

int ProbeConnection(const Deployment& deployment) {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);  // always succeeds here; the result is not needed
    std::vector<std::string> addresses;
    int result = -1;
    if (ResolveHostName(deployment.server.host, &addresses))
        result = 1;
    else if (ResolveHostName(deployment.probeHost, &addresses))
        result = 0;
    WSACleanup();
    return result;
}

BOOL CCorvaneCtrl::Download() {
    // One Download call at a time: a page script can call again while one of
    // this call's message boxes is open.
    if (g_bUpdateIdle.exchange(0) == 0)
        return FALSE;
    struct IdleAgain {
        ~IdleAgain() { g_bUpdateIdle = 1; }
    } idle;

    // One update of a course at a time, from whatever process (a launcher,
    // a page, a tool), and none while an installer copies into it: known
    // before the probe and the login, and held by the worker until it ends.
    auto courseLock = std::make_unique<CInstanceLock>();
    const ECourseLock locked = LockCourse(m_strFilePath + m_strFileName, courseLock.get());
    if (locked == ECourseLock::kBusy) {
        if (m_bShowWindow)
            MessageBox(BoxOwner(), kCourseBusyText, "提示！", MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    if (locked != ECourseLock::kTaken)
        courseLock.reset();

    const Deployment deployment = ReadDeployment();
    if (m_bShowWindow) {
        for (;;) {
            const int probe = ProbeConnection(deployment);
            if (probe == 1)
                break;
            if (probe == 0) {
                MessageBox(BoxOwner(), "网络服务器繁忙，请稍候再试。", "提示！",
                           MB_OK | MB_ICONINFORMATION);
                return FALSE;
            }
            if (MessageBox(BoxOwner(),
                           "只有上网才能更新课件。\n现在更新课件，请先连接到Internet，然后再点击"
                           "\"确定\"，否则请点击\"取消\"。",
                           "请注意！", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
                return FALSE;
        }
    }

    CLoginDlg login;
    if (login.DoModal() != IDOK)
        return FALSE;

    GuardProcessEnd();
    // A worker of this process still updating the same course folder would
    // meet a second one in its temp folder and pages.
    std::unique_ptr<CDownloadThread> worker = std::make_unique<CDownloadThread>(
        m_strFileName, m_strFilePath, m_strVersNumber, m_bShowWindow, deployment.server);
    if (!worker->Claim(std::move(courseLock)))
        return FALSE;
    if (!worker->CreateThread())
        return FALSE;
    ReleaseWorker();
    m_pDownloadThread = worker.release();
    if (!m_bShowWindow)
        WaitForThread(m_pDownloadThread->Handle(), INFINITE);
    return TRUE;
}

void CCorvaneCtrl::ReleaseWorker() {
    if (m_pDownloadThread) {
        ReleaseWhenEnded(m_pDownloadThread);
        m_pDownloadThread = nullptr;
    }
}
