// Dialog 102, the installer's main window. It never takes input: its start
// reads setup.ini and the installed-course record, decides from the media
// decision file whether streaming media are copied ("是" / "否"), and runs
// the progress dialog to its end before the window would be shown.
#pragma once

#include <string>

#include "install/copy_progress_dlg.h"
#include "platform/ui/ui.h"

// The folder above the one that holds the program file, with its trailing
// backslash (C:\A\B\install.exe gives C:\A\); empty for a program at a drive
// root, so that setup.ini is then looked for in the current folder.
std::string BaseDirOf(const std::string& modulePath);

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
