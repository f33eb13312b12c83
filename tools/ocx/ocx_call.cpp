#include <ostream>

#include "platform/com/create.h"
#include "platform/com/dispatch_driver.h"
#include "platform/com/ole_interfaces.h"
#include "platform/text/text.h"
#include "tools/ocx/ocx_commands.h"
#include "tools/ocx/ocx_text.h"

namespace {

// One call ready to be made: its id and its converted arguments.
struct CPreparedCall {
    std::string method;
    DISPID id = DISPID_UNKNOWN;
    std::vector<CComVariant> args;
};

std::string ToUtf8(const CComVariant& value) {
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

// Converts a command-line argument to the declared type; false with a reason.
bool Convert(const std::string& utf8, VARTYPE vt, CComVariant* value, std::string* why) {
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

class CHostWindow {
public:
    CHostWindow() : m_hWnd(CreateWindowWithProc(nullptr, nullptr, "telvora-ocx")) {}
    ~CHostWindow() {
        if (m_hWnd) {
            DestroyWindow(m_hWnd);
        }
    }
    CHostWindow(const CHostWindow&) = delete;
    CHostWindow& operator=(const CHostWindow&) = delete;
    HWND get() const { return m_hWnd; }

private:
    HWND m_hWnd;
};

}  // namespace

int RunCalls(const COcxArgs& args, std::ostream& out, std::ostream& err) {
    const std::string object = text::Utf8ToGbk(args.object);
    CLSID clsid;
    HRESULT hr = com::ClassFromText(object, &clsid);
    if (FAILED(hr)) {
        if (!object.empty() && object.front() == '{') {
            err << "telvora-ocx: " << args.object << ": malformed class id\n";
        } else {
            err << "telvora-ocx: " << args.object << ": no such class (ProgID not registered)\n";
        }
        return kOcxCannotCreate;
    }

    // The host window comes first and goes last: the control's window lives
    // inside it, and the control's AutoPlay hook goes onto it.
    CHostWindow host;
    if (!host.get()) {
        err << "telvora-ocx: cannot make the host window\n";
        return kOcxFailed;
    }
    com::CreateFailure failure;
    CComPtr<IDispatch> dispatch;
    hr = com::CreateInstance(clsid, IID_IDispatch, dispatch.Out(), &failure);
    if (FAILED(hr)) {
        err << "telvora-ocx: cannot create " << args.object << ": "
            << (failure.reason.empty() ? com::HResultText(hr) : failure.reason);
        if (!failure.modulePath.empty()) {
            err << " (module " << text::GbkToUtf8(failure.modulePath) << ")";
        }
        err << "\n";
        return kOcxCannotCreate;
    }
    CComPtr<IOleControlWindow> site;
    if (SUCCEEDED(dispatch.QueryInterface(IID_IOleControlWindow, &site))) {
        CComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(dispatch.QueryInterface(IID_IPersistStreamInit, &persist))) {
            persist->InitNew();
        }
        HWND child = nullptr;
        hr = site->InPlaceActivate(host.get(), 1, RECT{0, 0, 60, 25}, &child);
        if (FAILED(hr)) {
            err << "telvora-ocx: the control cannot be shown in its host window: "
                << com::HResultText(hr) << "\n";
            return kOcxCannotCreate;
        }
    }
    com::COleDispatchDriver driver(dispatch.get());

    // Every name and argument is checked before the first call is made.
    std::vector<CPreparedCall> prepared;
    for (const COcxCall& call : args.calls) {
        CPreparedCall p;
        p.method = call.method;
        std::u16string name;
        if (!Utf8ToUtf16(call.method, &name) || FAILED(driver.GetId(name, &p.id))) {
            err << "telvora-ocx: " << args.object << " has no method \"" << call.method << "\"\n";
            return kOcxUnknownMethod;
        }
        CComPtr<ITypeInfo> info;
        const com::MethodInfo* method = driver.DescribeMethod(p.id, &info);
        if (method && method->params.size() != call.args.size()) {
            err << "telvora-ocx: " << call.method << " takes " << method->params.size()
                << " argument(s), " << call.args.size() << " given\n";
            return kOcxUsageError;
        }
        for (std::size_t i = 0; i < call.args.size(); ++i) {
            const VARTYPE vt = method ? method->params[i].vt : VARTYPE{VT_BSTR};
            CComVariant value;
            std::string why;
            if (!Convert(call.args[i], vt, &value, &why)) {
                err << "telvora-ocx: argument " << i + 1 << " of " << call.method;
                if (method) {
                    err << " (" << method->params[i].name << ")";
                }
                err << " " << why << "\n";
                return kOcxUsageError;
            }
            p.args.push_back(std::move(value));
        }
        prepared.push_back(std::move(p));
    }

    for (const CPreparedCall& call : prepared) {
        CComVariant result;
        UINT argError = 0;
        hr = driver.CallMethod(call.id, call.args, &result, &argError);
        if (FAILED(hr)) {
            if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) {
                err << "telvora-ocx: argument " << argError + 1 << " of " << call.method
                    << " was refused: "
                    << (hr == DISP_E_TYPEMISMATCH
                            ? "a string the system cannot hold (a character outside GBK)"
                            : "out of range")
                    << "\n";
                return kOcxUsageError;
            }
            if (hr == DISP_E_BADPARAMCOUNT) {
                err << "telvora-ocx: " << call.method << ": wrong number of arguments\n";
                return kOcxUsageError;
            }
            err << "telvora-ocx: " << call.method << " failed: " << com::HResultText(hr) << "\n";
            return kOcxFailed;
        }
        out << ToUtf8(result) << std::endl;
    }
    return kOcxOk;
}
