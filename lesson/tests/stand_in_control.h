// A stand-in for the update control in the launcher's tests: a control on
// the component framework, made inside the test program through the dialog
// hosting hook, that answers PutInfo (1) and Download (2) as the update
// control's dispatch interface does and records how it was used.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/ui.h"

struct CStandInLog {
    // What the test sets before the dialog runs.
    BOOL putInfoResult = TRUE;
    bool putInfoFails = false;  // the method fails inside the control
    // Runs inside Download, on the dialog's thread, with the control's window.
    std::function<void(HWND control)> onDownload;

    // What the control saw, in order: "create <clsid>", "load", "putinfo",
    // "download".
    std::vector<std::string> Calls() const;
    std::string version, folder;  // PutInfo's arguments (GBK)
    int showWindow = -1;
    std::string loadedState;  // the stored properties the dialog gave it
    int quitAtDownload = 0;   // the quit request pending when Download ran; 0: none

    void Add(const std::string& call);

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// Dialogs of this process host a stand-in (logging into log) for every
// hosted control, or, with log null, fail to make their hosted controls.
void UseStandInControls(std::shared_ptr<CStandInLog> log);
