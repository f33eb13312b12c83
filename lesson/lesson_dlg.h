// Dialog 102, the launcher's main window. It is hidden from its start on;
// the whole run happens inside its start: read setup.ini and the
// installed-course record, open the course in the course's browser (or start
// the course's own program), hand the version and course folder to the
// update control it hosts and let the control run its silent update, then
// request quit 1003. On a machine whose only address is the loopback address
// a quit request (1006) made before the update cuts the update short.
#pragma once

#include <string>
#include <vector>

#include "lesson/update_control.h"
#include "platform/ui/ui.h"

// Quit requests of the launcher; its exit status is their low 8 bits.
enum : int {
    kQuitLessonDone = 1003,  // always, at the end of the dialog's start
    kQuitNoNetwork = 1006,   // the machine's first address is 127.0.0.1
};

// Messages the dialog handles beyond the framework's.
enum : UINT {
    WM_QUERYDRAGICON = 0x0037,
    WM_SYSCOMMAND = 0x0112,
};

// Icons are named by their resource id; the renderers draw them.
using HICON = int;

// One entry of the dialog's system menu. The platform draws no system menu;
// the entries are kept as the dialog's state.
struct CMenuEntry {
    bool separator = false;
    UINT commandId = 0;
    std::string text;  // GBK
};

class CLessonDlg : public CDialog {
public:
    explicit CLessonDlg(HWND parent = nullptr);

    CCorvane m_ctlUpdate;  // control 1028
    HICON m_hIcon;
    std::string m_strCourseDir;  // the course folder, with a trailing backslash

    // Sets m_strCourseDir from the program's own path and returns the path of
    // its setup.ini.
    std::string GetSetupIniPath();
    // Starts a command line as a new process, maximised, and lets it live
    // on; on failure shows the system's text for the error.
    BOOL StartCourse(const std::string& commandLine);
    // The default value of HKCU\keyName: empty, silently, when the key can't
    // be opened; empty after "read register error" when the value can't be
    // read.
    std::string ReadRegValue(const std::string& keyName);

    // What the start left behind: the system menu's entries and the icons.
    const std::vector<CMenuEntry>& SystemMenu() const { return m_systemMenu; }
    HICON GetIcon(bool bigIcon) const { return bigIcon ? m_hBigIcon : m_hSmallIcon; }

protected:
    BOOL OnInitDialog() override;
    // The system-menu entry runs the about box (dialog 100); the drag-icon
    // query gets m_hIcon. There is no painting of its own: the platform
    // draws dialogs from their templates and has no minimised dialog.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The local-address test: false when the first address of the machine's
    // own name is the loopback address "127.0.0.1". A name that can't be
    // resolved counts as having an address.
    virtual BOOL HasNetworkAddress();

private:
    // Binds m_ctlUpdate to control 1028 and gives it its stored properties.
    void DoDataExchange();
    void AppendAboutEntry();
    void SetIcon(HICON icon, bool bigIcon);
    // The installed version: the record's, else the one from setup.ini.
    std::string ReadInstalledVersion(const std::string& courseId, const std::string& iniVersion);
    // A message box of the start: OK button, the program's name as caption,
    // the dialog as owner.
    void Say(const std::string& text);

    std::vector<CMenuEntry> m_systemMenu;
    HICON m_hBigIcon = 0;
    HICON m_hSmallIcon = 0;
};
