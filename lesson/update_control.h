// CCorvane, the launcher's window class for the update control its main
// dialog hosts (class {742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}). It calls two
// methods of the control's dispatch interface by dispatch id, as methods. A
// call that the control refuses or that fails inside it throws a
// CFrameworkError, as the framework's dispatch helper does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/dispatch_driver.h"
#include "platform/ui/ui.h"

class CCorvane {
public:
    // Binds to the control that lives in a dialog's control window (the
    // dialog's data exchange). False when the window holds no control.
    bool Attach(HWND controlWnd);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Loads stored properties (the control's persistence format) into the
    // control. False when the control refused them; it then keeps its defaults.
    bool LoadState(const std::string& state);

    // PutInfo (dispatch id 1): the course version and the installed course
    // folder (GBK, passed as automation strings) and the interactive flag.
    BOOL PutInfo(const std::string& strVersNumber, const std::string& strFilePath,
                 std::int32_t bShowWindow);
    // Download (dispatch id 2).
    BOOL Download();

private:
    BOOL CallForTruth(DISPID id, const std::vector<CComVariant>& args, const char* name);

    HWND m_hWnd = nullptr;
    com::COleDispatchDriver m_driver;
};

enum : DISPID {
    kDispidPutInfo = 1,
    kDispidDownload = 2,
};
