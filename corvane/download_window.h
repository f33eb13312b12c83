// The progress window of a package download: a thread of its own
// (CDownloadWindow) shows CDownloadProgressDlg (219), so that the window
// stays responsive while the worker waits on the network. The worker tells
// it the percentage through g_nDownloadPercent and a WM_DOWNLOAD_PROGRESS
// notice; the window tells the worker of a cancel through g_bCancelDownload.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "corvane/corvane_state.h"
#include "platform/thread/thread.h"
#include "platform/ui/ui.h"

// Set by the window when the user cancels; cleared before each download.
extern std::atomic<int> g_bCancelDownload;
// The percentage of the current package received.
extern std::atomic<int> g_nDownloadPercent;
// Where the notices go: the progress dialog once it is up.
extern std::atomic<HWND> g_hDownloadDlg;
// The server path of the package being downloaded, for the dialog.
extern CSharedString g_strCurrentPackage;

class CDownloadProgressDlg : public CDialog {
public:
    explicit CDownloadProgressDlg(HWND parent = nullptr);

    std::string m_strFile;  // static 216

protected:
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Shows g_nDownloadPercent; ends the dialog with 1300 at exactly 100.
    LRESULT OnDownloadProgress();
};

class CDownloadWindow : public CWinThread {
public:
    CDownloadWindow() { m_bAutoDelete = false; }

    // Shows the dialog; after it ends (complete or cancelled) the thread
    // waits in its message loop until the worker ends it.
    DWORD Run() override;

    // Ends the window thread with exit code 1060 and waits for it: a quit
    // posted to the thread ends the dialog and the thread's loop at once,
    // whatever the thread is doing (nothing is killed in the middle of a
    // system call). False when the thread did not end in time; the object
    // must then outlive it.
    bool End();

private:
    // The thread's queue exists (a quit posted before it would be lost).
    std::mutex m_mutex;
    std::condition_variable m_ready;
    bool m_bQueueReady = false;
};
