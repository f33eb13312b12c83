#include "tools/ocx/control_site.h"

#include "platform/com/create.h"
#include "platform/com/ole_interfaces.h"
#include "platform/text/text.h"
#include "tools/ocx/ocx_text.h"

namespace {

const char* TypeName(VARTYPE vt) {
    switch (vt) {
        case VT_I4:
            return "a decimal integer";
        case VT_BOOL:
            return "true, false or a decimal integer";
        default:
            return "a string";
    }
}

}  // namespace

CHostWindow::CHostWindow() : m_hWnd(CreateWindowWithProc(nullptr, nullptr, "telvora-ocx")) {}

CHostWindow::~CHostWindow() {
    if (m_hWnd) {
        DestroyWindow(m_hWnd);
    }
}

EControlFailure CreateHostedControl(const CLSID& clsid, HWND host, CComPtr<IDispatch>* dispatch,
                                    std::string* why) {
    com::CreateFailure failure;
    HRESULT hr = com::CreateInstance(clsid, IID_IDispatch, dispatch->Out(), &failure);
    if (FAILED(hr)) {
        *why = failure.reason.empty() ? com::HResultText(hr) : failure.reason;
        if (!failure.modulePath.empty()) {
            *why += " (module " + text::GbkToUtf8(failure.modulePath) + ")";
        }
        return EControlFailure::kCannotCreate;
    }
    CComPtr<IOleControlWindow> site;
    if (SUCCEEDED(dispatch->QueryInterface(IID_IOleControlWindow, &site))) {
        CComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(dispatch->QueryInterface(IID_IPersistStreamInit, &persist))) {
            persist->InitNew();
        }
        HWND child = nullptr;
        hr = site->InPlaceActivate(host, 1, RECT{0, 0, 60, 25}, &child);
        if (FAILED(hr)) {
            *why = "the control cannot be shown in its host window: " + com::HResultText(hr);
            return EControlFailure::kCannotShow;
        }
    }
    return EControlFailure::kNone;
}

bool ConvertArgument(const std::string& utf8, VARTYPE vt, CComVariant* value, std::string* why) {
    std::u16string text;
    if (!Utf8ToUtf16(utf8, &text)) {
        *why = "is not valid UTF-8";
        return false;
    }
    CComVariant given(text);
    if (given.vt != VT_BSTR) {
        *why = "is too long";
        return false;
    }
    if (vt == VT_BSTR) {
        *value = std::move(given);
        return true;
    }
    HRESULT hr = VariantChangeType(value, &given, 0, vt);
    if (FAILED(hr)) {
        *why = hr == DISP_E_OVERFLOW ? std::string("is out of range")
                                     : std::string("must be ") + TypeName(vt);
        return false;
    }
    return true;
}

std::string ResultJson(const CComVariant& value) {
    switch (value.vt) {
        case VT_BSTR:
            return JsonString(com::BstrView(value.bstrVal));
        case VT_BOOL:
            return value.boolVal ? "true" : "false";
        case VT_I4:
            return std::to_string(value.lVal);
        default:
            return "null";
    }
}
