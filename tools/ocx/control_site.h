// What both ways of hosting a control share (one control for calls from the
// shell, several for the course browser): the host window, a control made
// and activated in it, and the conversions between the tool's UTF-8 text and
// the control's automation values.
#pragma once

#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/variant.h"
#include "platform/ui/ui.h"

// The top-level window the controls live in; their AutoPlay hook goes onto
// it. Made first and destroyed last.
class CHostWindow {
public:
    CHostWindow();
    ~CHostWindow();
    CHostWindow(const CHostWindow&) = delete;
    CHostWindow& operator=(const CHostWindow&) = delete;
    HWND get() const { return m_hWnd; }

private:
    HWND m_hWnd;
};

enum class EControlFailure { kNone, kCannotCreate, kCannotShow };

// Creates the control of clsid and activates it in host. On failure, *why
// says what went wrong (with the module's path when one was loaded).
EControlFailure CreateHostedControl(const CLSID& clsid, HWND host, CComPtr<IDispatch>* dispatch,
                                    std::string* why);

// A UTF-8 argument converted to the type vt a method declares (VT_BSTR,
// VT_I4, VT_BOOL); false with the reason ("is not valid UTF-8", "must be a
// decimal integer", ...).
bool ConvertArgument(const std::string& utf8, VARTYPE vt, CComVariant* value, std::string* why);

// A result as one JSON value: a string, true/false, an integer, or null.
std::string ResultJson(const CComVariant& value);
