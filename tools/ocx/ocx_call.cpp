#include <ostream>

#include "platform/com/create.h"
#include "platform/com/dispatch_driver.h"
#include "platform/com/ole_interfaces.h"
#include "platform/text/text.h"
#include "tools/ocx/control_site.h"
#include "tools/ocx/ocx_commands.h"
#include "tools/ocx/ocx_text.h"

namespace {

// One call ready to be made: its id and its converted arguments.
struct CPreparedCall {
    std::string method;
    DISPID id = DISPID_UNKNOWN;
    std::vector<CComVariant> args;
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
    CComPtr<IDispatch> dispatch;
    std::string why;
    switch (CreateHostedControl(clsid, host.get(), &dispatch, &why)) {
        case EControlFailure::kNone:
            break;
        case EControlFailure::kCannotCreate:
            err << "telvora-ocx: cannot create " << args.object << ": " << why << "\n";
            return kOcxCannotCreate;
        case EControlFailure::kCannotShow:
            err << "telvora-ocx: " << why << "\n";
            return kOcxCannotCreate;
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
            if (!ConvertArgument(call.args[i], vt, &value, &why)) {
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
        out << ResultJson(result) << std::endl;
    }
    return kOcxOk;
}
