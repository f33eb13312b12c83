#include "install/install_dlg.h"

#include "common/course_description.h"
#include "common/course_lock.h"
#include "common/system_error.h"
#include "install/install_dir.h"
#include "install/install_state.h"
#include "install/resources.h"
#include "platform/error/error.h"
#include "platform/fs/fs.h"
#include "platform/prefix/prefix.h"
#include "platform/text/text.h"
#include "platform/thread/thread.h"

namespace {

// The media decision: the word within the first bytes of the file.
constexpr std::size_t kFlagBytes = 20;

}  // namespace

CInstallDlg::CInstallDlg(HWND parent) : CDialog(IDD_INSTALL_DIALOG, parent) {}

BOOL CInstallDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The icon (IDR_MAINFRAME) comes with the template's window.
    CheckPrefix();
    g_strBaseDir = BaseDirOf(GetModuleFileName());
    g_hMainWnd = m_hWnd;
    try {
        CourseDescription values = SharedCourseDescription();
        std::string courseId = ReadCourseDescription(g_strBaseDir + "setup.ini",
                                                     DescriptionVariant::Start, &values, m_hWnd);
        StoreSharedCourseDescription(values);

        std::string installDir;
        ReadInstallDir(courseId, &installDir);
        m_strFlagFile = installDir + "\\systeminfo\\installasf.txt";
        std::string head(kFlagBytes, '\0');
        {
            CFile flag;
            if (!flag.Open(m_strFlagFile, CFile::modeRead)) {
                PostQuitMessage(kQuitNoFlagFile);
                return FALSE;
            }
            head.resize(flag.Read(head.data(), kFlagBytes));
        }
        // A setup.ini or registry error has asked the program to end: the
        // copy would start only to be cut off by that request.
        if (IsQuitPending())
            return TRUE;
        // Two copies into one course, or a copy beside an update, would mix
        // their files and pages. Any other failure to lock (a file system
        // without locks) leaves the installation unguarded rather than
        // impossible.
        if (LockCourse(installDir, &m_courseLock) == ECourseLock::kBusy) {
            AfxMessageBox(kCourseBusyText);
            PostQuitMessage(kQuitInstallRunning);
            return FALSE;
        }
        if (head.find("installasf") != std::string::npos)
            OnOK();
        else
            OnCancel();
    } catch (const CFrameworkError&) {
        ShowSystemError();
        PostQuitMessage(kQuitNoFlagFile);
        return FALSE;
    }
    return TRUE;
}

void CInstallDlg::OnOK() {
    RunProgress(true);
}

void CInstallDlg::OnCancel() {
    RunProgress(false);
}

int CInstallDlg::EndCode(bool copyMedia) {
    if (g_bInstallFailed)
        return kQuitInstallFailed;
    return copyMedia ? kQuitMediaCopied : kQuitMediaSkipped;
}

void CInstallDlg::CheckPrefix() {
    if (DriveTableUsable())
        return;
    std::string reason = text::TrimRight(FormatSystemMessage(GetLastError()));
    AfxMessageBox("无法使用保存本机驱动器和注册表的文件夹（TELVORA_PREFIX）：" +
                  text::Utf8ToGbk(PrefixDir()) + "\n原因：" + reason);
    ExitThread(kEndProgress);
}

void CInstallDlg::RunProgress(bool copyMedia) {
    // One copy per run: a later press or close only ends the program.
    if (m_bProgressRun) {
        PostQuitMessage(EndCode(copyMedia));
        return;
    }
    m_bProgressRun = true;
    g_bCopyMedia = copyMedia;
    try {
        m_dlgProgress.DoModal();
    } catch (const CFrameworkError&) {
        ShowSystemError();
    }
    PostQuitMessage(EndCode(copyMedia));
}
