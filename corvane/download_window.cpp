#include "corvane/download_window.h"

#include "corvane/corvane_ids.h"

std::atomic<int> g_bCancelDownload{0};
std::atomic<int> g_nDownloadPercent{0};
std::atomic<HWND> g_hDownloadDlg{nullptr};
CSharedString g_strCurrentPackage;

namespace {

// How long the worker waits for the window thread to end after its quit; it
// ends at once unless something is badly wrong, which must not stop the
// update.
constexpr DWORD kWindowEndWaitMs = 10000;

}  // namespace

DECLARE_THREAD_CLASS(CDownloadWindow);

CDownloadProgressDlg::CDownloadProgressDlg(HWND parent) : CDialog(IDD_DOWNLOAD_PROGRESS, parent) {
    BindText(IDC_DOWNLOAD_FILE, &m_strFile);
}

BOOL CDownloadProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    g_hDownloadDlg = m_hWnd;
    return TRUE;
}

LRESULT CDownloadProgressDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DOWNLOAD_PROGRESS)
        return OnDownloadProgress();
    return CDialog::WindowProc(msg, wParam, lParam);
}

LRESULT CDownloadProgressDlg::OnDownloadProgress() {
    const int percent = g_nDownloadPercent;
    SendDlgItemMessage(m_hWnd, IDC_DOWNLOAD_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    UpdateData(FALSE);
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    if (percent == 100)
        EndDialog(kDownloadDialogComplete);
    return 1;
}

DWORD CDownloadWindow::Run() {
    MSG peek;
    PeekMessage(&peek, nullptr, 0, 0, PM_NOREMOVE);  // makes this thread's queue
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQueueReady = true;
    }
    m_ready.notify_all();
    {
        CDownloadProgressDlg dialog;
        dialog.m_strFile = g_strCurrentPackage.Get();
        INT_PTR result = dialog.DoModal();
        // A dialog ended by the worker's quit is no cancel.
        if (result == IDCANCEL && !IsQuitPending())
            g_bCancelDownload = 1;
    }
    g_hDownloadDlg = nullptr;
    return static_cast<DWORD>(RunMessageLoop());
}

bool CDownloadWindow::End() {
    if (!m_hThread)
        return true;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait_for(lock, std::chrono::milliseconds(kWindowEndWaitMs),
                         [this] { return m_bQueueReady; });
    }
    PostThreadMessage(GetThreadId(m_hThread), WM_QUIT, kDownloadWindowExit, 0);
    return WaitForThread(m_hThread, kWindowEndWaitMs) == WAIT_OBJECT_0;
}
