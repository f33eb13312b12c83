#include "platform/com/control_container.h"

#include <cstdio>

#include "platform/com/control_windows.h"
#include "platform/com/create.h"
#include "platform/com/guard.h"
#include "platform/ui/hosting.h"

namespace {

bool Refuse(const ControlTemplate& control, const std::string& why) {
    std::fprintf(stderr, "telvora: the dialog's control %d (%s) cannot be created: %s\n",
                 control.id, control.clsid.c_str(), why.c_str());
    return false;
}

bool CreateHostedControl(HWND dialog, const ControlTemplate& control, HWND* child) {
    CLSID clsid;
    if (FAILED(CLSIDFromString(control.clsid.c_str(), &clsid))) {
        return Refuse(control, "malformed class id");
    }
    CComPtr<IOleControlWindow> site;
    com::CreateFailure failure;
    HRESULT hr = com::CreateInstance(clsid, IID_IOleControlWindow, site.Out(), &failure);
    if (FAILED(hr)) {
        return Refuse(control, failure.reason.empty() ? com::HResultText(hr) : failure.reason);
    }
    CComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(site.QueryInterface(IID_IPersistStreamInit, &persist))) {
        persist->InitNew();
    }
    const RECT bounds{0, 0, control.cx, control.cy};
    hr = site->InPlaceActivate(dialog, control.id, bounds, child);
    if (FAILED(hr) || !*child) {
        return Refuse(control, "the control could not be activated: " + com::HResultText(hr));
    }
    // The control's window now holds the control; the dialog's end destroys
    // the window and with it the control.
    return true;
}

}  // namespace

void AfxEnableControlContainer() {
    ui::SetHostedControlFactory(&CreateHostedControl);
}

namespace com {

HRESULT GetControlOfWindow(HWND window, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    CComPtr<IUnknown> control;
    control.Attach(detail::ControlOfWindow(window));
    if (!control) {
        return E_INVALIDARG;
    }
    return control->QueryInterface(iid, object);
}

}  // namespace com
