// Dialog 102, the installer's main window. It never takes input: its start
// reads setup.ini and the installed-course record, decides from the media
// decision file whether streaming media are copied ("是" / "否"), and runs
// the progress dialog to its end before the window would be shown.
#pragma once

#include <string>

#include "install/copy_progress_dlg.h"
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
    bool m_bProgressRun = false;
};
