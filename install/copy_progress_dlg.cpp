#include "install/copy_progress_dlg.h"

#include "common/course_description.h"
#include "common/course_format.h"
#include "common/system_error.h"
#include "install/cd_prompt_dlg.h"
#include "install/inserted_cd_check.h"
#include "install/install_state.h"
#include "install/resources.h"
#include "install/work_thread.h"
#include "platform/error/error.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

// "请更换第" N "张光盘到光驱中!" with N the number of the next CD.
std::string NextCdPrompt() {
    long long next = static_cast<long long>(LeadingInteger(g_strNowCd)) + 1;
    return "请更换第" + std::to_string(next) + "张光盘到光驱中!";
}

}  // namespace

CCopyProgressDlg::CCopyProgressDlg(HWND parent) : CAutoPlayDialog(IDD_COPY_PROGRESS, parent) {
    BindText(IDC_FILE_NAME, &m_strFile);
}

BOOL CCopyProgressDlg::OnInitDialog() {
    CAutoPlayDialog::OnInitDialog();
    SetWindowPos(m_hWnd, HWND_TOPMOST, 200, 160, 0, 0, SWP_NOSIZE);
    RegisterQueryCancelAutoPlay();
    if (!StartWorker()) {
        // Nothing would ever end this window otherwise.
        ShowSystemError();
        PostMessage(m_hWnd, WM_QUIT, 0, 0);
    }
    return TRUE;
}

bool CCopyProgressDlg::StartWorker() {
    auto* worker = new CWorkThread(m_hWnd);
    worker->m_bAutoDelete = true;
    // Suspended until its handle is taken: the worker deletes itself when
    // its thread ends, which may be at once.
    if (!worker->CreateThread(CWinThread::kCreateSuspended)) {
        delete worker;
        return false;
    }
    m_pWorker = worker;
    m_hWorkerThread = worker->Handle();
    worker->ResumeThread();
    return true;
}

INT_PTR CCopyProgressDlg::ShowCdPrompt() {
    CCdPromptDlg prompt(m_hWnd);
    return prompt.DoModal();
}

LRESULT CCopyProgressDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INSTALL_PROGRESS)
        return OnInstallProgress();
    if (msg == WM_INSTALL_CD_DONE)
        return OnInstallCdDone();
    return CAutoPlayDialog::WindowProc(msg, wParam, lParam);
}

void CCopyProgressDlg::ShowProgress() {
    SendDlgItemMessage(m_hWnd, IDC_PROGRESS_ALL, PBM_SETPOS, g_nOverallPercent, 0);
    SendDlgItemMessage(m_hWnd, IDC_PROGRESS_FILE, PBM_SETPOS, g_nFilePercent, 0);
    m_strFile = g_strCurrentFile.Get();
    UpdateData(FALSE);
}

LRESULT CCopyProgressDlg::OnInstallProgress() {
    try {
        ShowProgress();
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
    } catch (const CFrameworkError&) {
        ShowSystemError();
    }
    return 1;
}

LRESULT CCopyProgressDlg::OnInstallCdDone() {
    try {
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
        const std::string prompt = NextCdPrompt();
        ShowProgress();
        // The worker has ended; only its handle is let go here.
        m_hWorkerThread.reset();
        if (g_bLastCd) {
            EndDialog(kEndProgress);
            return 0;
        }
        AskForNextCd(prompt);
    } catch (const CFrameworkError&) {
        ShowSystemError();
    }
    return 0;
}

void CCopyProgressDlg::AskForNextCd(const std::string& prompt) {
    for (;;) {
        g_strPrompt = prompt;
        INT_PTR answer = ShowCdPrompt();
        if (StopAsking(answer))
            return;
        if (answer == IDOK) {
            if (CheckInsertedCd()) {
                if (!AdvanceCdCounter(g_strBaseDir + "setup.ini")) {
                    // The next run would take the new disc for this one: the
                    // installation ends as failed (the user did not give up).
                    ReportCounterNotAdvanced();
                    g_bInstallFailed = true;
                    EndDialog(kEndProgress);
                    return;
                }
                EndDialog(kEndProgress);
                return;
            }
            g_strPrompt = "请检查插入的光盘是否正确。\n\n\n" + prompt;
            answer = ShowCdPrompt();
            if (StopAsking(answer))
                return;
            if (answer == IDCANCEL && ConfirmGiveUp()) {
                Abort();
                return;
            }
        } else if (answer == IDCANCEL && ConfirmGiveUp()) {
            Abort();
            PostMessage(g_hMainWnd, WM_QUIT, 0, 0);
            return;
        }
    }
}

bool CCopyProgressDlg::StopAsking(INT_PTR answer) {
    // Asking again would only meet the same end at once, for ever.
    if (answer != -1 && !IsQuitPending())
        return false;
    EndDialog(kEndProgress);
    return true;
}

void CCopyProgressDlg::ReportCounterNotAdvanced() {
    std::string reason = text::TrimRight(FormatSystemMessage(GetLastError()));
    AfxMessageBox("无法把 setup.ini 中的 nowcd 改为下一张光盘的序号，课件安装没有完成。\n原因：" +
                  reason);
}

bool CCopyProgressDlg::ConfirmGiveUp() {
    return AfxMessageBox("您将退出改课件的安装", MB_OKCANCEL) == IDOK;
}

void CCopyProgressDlg::Abort() {
    // The marker tells whoever runs the installer that the user gave up;
    // when it can't be written there is nobody to tell.
    CFile marker;
    marker.Open(g_strInstallDir + "\\systeminfo\\fail.txt", CFile::modeWrite);
    marker.Close();
    EndDialog(kEndProgress);
}

bool CCopyProgressDlg::CheckInsertedCd() {
    try {
        return ::CheckInsertedCd(g_strCdRoot, g_strCourseName, &m_bNameMatched, &m_strCdCourseName);
    } catch (const CFrameworkError&) {
        ShowSystemError();
        return false;
    }
}
