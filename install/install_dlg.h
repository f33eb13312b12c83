// Dialog 102, the installer's main window. It never takes input: its start
// reads setup.ini and the installed-course record, decides from the media
// decision file whether streaming media are copied ("是" / "否"), and runs
// the progress dialog to its end before the window would be shown.
#pragma once

#include <string>

#include "install/copy_progress_dlg.h"
#include "platform/fs/instance_lock.h"
#include "platform/ui/ui.h"

class CInstallDlg : public CDialog {
public:
    explicit CInstallDlg(HWND parent = nullptr);

    std::string m_strFlagFile;  // systeminfo\installasf.txt of the installed course
    CCopyProgressDlg m_dlgProgress;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;      // "是": copy media too
    void OnCancel() override;  // "否": skip media

private:
    void RunProgress(bool copyMedia);
    // The code the program ends with once the progress dialog has ended.
    static int EndCode(bool copyMedia);
    // Ends the program at once, with a message, when the prefix that holds
    // the drives and the registry can't be used.
    void CheckPrefix();
    bool m_bProgressRun = false;
    // One installation per course at a time: held on the course's
    // systeminfo folder from the copy to the end of the program.
    CInstanceLock m_courseLock;
};
