#include "lesson/update_control.h"

#include <cstdio>

#include "platform/com/control_container.h"
#include "platform/com/ole_interfaces.h"
#include "platform/text/text.h"

namespace {

// The thread's last error for a failed call: a Win32 code wrapped in the
// result keeps its meaning, anything else is an unexpected failure.
DWORD ErrorOfResult(HRESULT hr) {
    const auto bits = static_cast<std::uint32_t>(hr);
    if ((bits & 0xFFFF0000u) == 0x80070000u) {
        return bits & 0xFFFFu;
    }
    return ERROR_INVALID_FUNCTION;
}

}  // namespace

bool CCorvane::Attach(HWND controlWnd) {
    CComPtr<IDispatch> dispatch;
    if (FAILED(com::GetControlOfWindow(controlWnd, IID_IDispatch, dispatch.Out())) || !dispatch) {
        return false;
    }
    m_hWnd = controlWnd;
    m_driver = com::COleDispatchDriver(dispatch.get());
    return true;
}

bool CCorvane::LoadState(const std::string& state) {
    CComPtr<IPersistStreamInit> persist;
    if (FAILED(com::GetControlOfWindow(m_hWnd, IID_IPersistStreamInit, persist.Out())) ||
        !persist) {
        return false;
    }
    return SUCCEEDED(persist->Load(state));
}

BOOL CCorvane::PutInfo(const std::string& strVersNumber, const std::string& strFilePath,
                       std::int32_t bShowWindow) {
    return CallForTruth(kDispidPutInfo,
                        {CComVariant(text::GbkToUtf16(strVersNumber)),
                         CComVariant(text::GbkToUtf16(strFilePath)), CComVariant(bShowWindow)},
                        "PutInfo");
}

BOOL CCorvane::Download() {
    return CallForTruth(kDispidDownload, {}, "Download");
}

BOOL CCorvane::CallForTruth(DISPID id, const std::vector<CComVariant>& args, const char* name) {
    if (!m_driver.get()) {
        throw CFrameworkError(std::string("the update control is not bound for ") + name,
                              ERROR_INVALID_HANDLE);
    }
    CComVariant result;
    HRESULT hr = m_driver.CallMethod(id, args, &result);
    if (SUCCEEDED(hr) && result.vt != VT_BOOL) {
        hr = VariantChangeType(&result, &result, 0, VT_BOOL);
    }
    if (FAILED(hr)) {
        const std::string what =
            std::string("the update control's ") + name + " failed: " + com::HResultText(hr);
        std::fprintf(stderr, "lesson: %s\n", what.c_str());
        throw CFrameworkError(what, ErrorOfResult(hr));
    }
    return result.boolVal != VARIANT_FALSE ? TRUE : FALSE;
}
