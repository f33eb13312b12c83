// telvora-ocx host: the controls of the course browser's pages, in a process
// of their own (their dialogs, threads and renderer live here), driven by
// one JSON request a line. Calls are made one at a time in the order they
// come, as the pages' scripts make them: a call that shows a dialog answers
// once the dialog is done.
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <thread>  // std::chrono (<chrono> itself holds text GBK cannot)

#include "platform/com/create.h"
#include "platform/com/dispatch_driver.h"
#include "platform/com/module_loader.h"
#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "platform/ui/ui.h"
#include "tools/ocx/control_site.h"
#include "tools/ocx/json_value.h"
#include "tools/ocx/ocx_commands.h"
#include "tools/ocx/ocx_text.h"

namespace {

// A request line longer than this is refused unread (no page sends one).
constexpr std::size_t kMaxRequestBytes = 1 << 20;
// How often the end looks whether the controls' updates are done.
constexpr auto kUpdatePoll = std::chrono::milliseconds(200);

struct CHostedControl {
    CComPtr<IDispatch> dispatch;
    std::string modulePath;  // GBK, from the class's registration
};

std::string Utf8Json(const std::string& utf8) {
    std::u16string wide;
    if (!Utf8ToUtf16(utf8, &wide))
        wide = text::GbkToUtf16(text::Utf8ToGbk(utf8));
    return JsonString(wide);
}

class CControlHost {
public:
    explicit CControlHost(HWND window) : m_hWnd(window) {}

    // The answer's members after "ok" (without the id), or an error.
    std::string Handle(const CJsonValue& request) {
        const CJsonValue* op = request.Find("op");
        if (!op || op->kind != CJsonValue::Kind::String)
            return Error("the request has no \"op\"");
        if (op->text == "create")
            return Create(request);
        if (op->text == "call")
            return Call(request);
        if (op->text == "release")
            return Release(request);
        if (op->text == "owner")
            return Owner(request);
        if (op->text == "play")
            return Play(request);
        return Error("unknown op \"" + op->text + "\"");
    }

    void ReleaseAll() { m_controls.clear(); }

    // Waits until no module of a control has work left: an update a control
    // started runs on after its control is gone.
    void WaitForModules() const {
        for (const std::string& path : m_modules) {
            HMODULE module = path.empty() ? nullptr : LoadLibrary(path);
            auto canUnload =
                module ? reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllCanUnloadNow"))
                       : nullptr;
            while (canUnload && canUnload() == S_FALSE)
                std::this_thread::sleep_for(kUpdatePoll);
        }
    }

private:
    static std::string Error(const std::string& why) {
        return "\"ok\":false,\"error\":" + Utf8Json(why);
    }

    CHostedControl* Find(const CJsonValue& request, std::string* error) {
        const CJsonValue* object = request.Find("object");
        auto it = object && object->kind == CJsonValue::Kind::Number
                      ? m_controls.find(static_cast<long long>(object->number))
                      : m_controls.end();
        if (it == m_controls.end()) {
            *error = Error("no such object");
            return nullptr;
        }
        return &it->second;
    }

    std::string Create(const CJsonValue& request) {
        const CJsonValue* clsidText = request.Find("clsid");
        if (!clsidText || clsidText->kind != CJsonValue::Kind::String)
            return Error("create needs a \"clsid\"");
        std::string text = text::Utf8ToGbk(clsidText->text);
        if (!text.empty() && text.front() != '{')
            text = "{" + text + "}";
        CLSID clsid;
        if (FAILED(com::ClassFromText(text, &clsid)))
            return Error("malformed class id " + clsidText->text);
        CHostedControl control;
        std::string why;
        if (CreateHostedControl(clsid, m_hWnd, &control.dispatch, &why) != EControlFailure::kNone)
            return Error("cannot create " + clsidText->text + ": " + why);
        control.modulePath =
            RegGetString(HKEY_CLASSES_ROOT, "CLSID\\" + text::AsciiUpper(text) + "\\InprocServer32",
                         "")
                .value_or("");
        m_modules.insert(control.modulePath);
        std::string methods;
        com::COleDispatchDriver driver(control.dispatch.get());
        CComPtr<ITypeInfo> info;
        if (const com::InterfaceInfo* described = driver.DescribeInterface(&info)) {
            for (const com::MethodInfo& method : described->methods)
                methods += (methods.empty() ? "" : ",") + Utf8Json(method.name);
        }
        const long long handle = ++m_nLastHandle;
        m_controls[handle] = std::move(control);
        return "\"ok\":true,\"object\":" + std::to_string(handle) + ",\"methods\":[" + methods +
               "]";
    }

    std::string Call(const CJsonValue& request) {
        std::string error;
        CHostedControl* control = Find(request, &error);
        if (!control)
            return error;
        const CJsonValue* method = request.Find("method");
        const CJsonValue* args = request.Find("args");
        if (!method || method->kind != CJsonValue::Kind::String)
            return Error("call needs a \"method\"");
        if (args && args->kind != CJsonValue::Kind::Array)
            return Error("\"args\" must be an array");
        com::COleDispatchDriver driver(control->dispatch.get());
        std::u16string name;
        DISPID id = DISPID_UNKNOWN;
        if (!Utf8ToUtf16(method->text, &name) || FAILED(driver.GetId(name, &id)))
            return Error("the object has no method \"" + method->text + "\"");
        CComPtr<ITypeInfo> info;
        const com::MethodInfo* described = driver.DescribeMethod(id, &info);
        const std::size_t given = args ? args->items.size() : 0;
        if (described && described->params.size() != given)
            return Error(method->text + " takes " + std::to_string(described->params.size()) +
                         " argument(s), " + std::to_string(given) + " given");
        std::vector<CComVariant> values;
        for (std::size_t i = 0; i < given; ++i) {
            const CJsonValue& arg = args->items[i];
            std::string textArg;
            switch (arg.kind) {
                case CJsonValue::Kind::String:
                case CJsonValue::Kind::Number:
                    textArg = arg.text;
                    break;
                case CJsonValue::Kind::Bool:
                    textArg = arg.boolean ? "true" : "false";
                    break;
                default:
                    return Error("argument " + std::to_string(i + 1) + " of " + method->text +
                                 " is neither a string, a number nor a truth value");
            }
            CComVariant value;
            std::string why;
            if (!ConvertArgument(textArg, described ? described->params[i].vt : VARTYPE{VT_BSTR},
                                 &value, &why))
                return Error("argument " + std::to_string(i + 1) + " of " + method->text + " " +
                             why);
            values.push_back(std::move(value));
        }
        CComVariant result;
        const HRESULT hr = driver.CallMethod(id, values, &result);
        if (FAILED(hr))
            return Error(method->text + " failed: " + com::HResultText(hr));
        return "\"ok\":true,\"result\":" + ResultJson(result);
    }

    std::string Release(const CJsonValue& request) {
        std::string error;
        if (!Find(request, &error))
            return error;
        m_controls.erase(static_cast<long long>(request.Find("object")->number));
        return "\"ok\":true";
    }

    static std::string Owner(const CJsonValue& request) {
        const CJsonValue* window = request.Find("window");
        std::uint64_t id = 0;
        if (window && window->kind == CJsonValue::Kind::String)
            id = std::strtoull(window->text.c_str(), nullptr, 0);
        else if (window && window->kind == CJsonValue::Kind::Number && window->number >= 0)
            id = static_cast<std::uint64_t>(window->number);
        SetForeignOwnerWindow(id);
        return "\"ok\":true";
    }

    // The course's media player: wmplayer.exe, whose substitute plays it.
    static std::string Play(const CJsonValue& request) {
        const CJsonValue* path = request.Find("path");
        if (!path || path->kind != CJsonValue::Kind::String || path->text.empty())
            return Error("play needs a \"path\"");
        std::string file = text::Utf8ToGbk(path->text);
        if (!file.empty() && file.front() == '/') {
            std::optional<std::string> windows = ToWindowsPath(path->text);
            if (!windows)
                return Error("no Windows name for " + path->text);
            file = *windows;
        }
        if (file.find('"') != std::string::npos)
            return Error("a media path holds no quotes");
        if (!StartProgram(("wmplayer.exe \"" + file + "\"").c_str(), SW_SHOWNORMAL))
            return Error(text::GbkToUtf8(text::TrimRight(FormatSystemMessage(GetLastError()))));
        return "\"ok\":true";
    }

    HWND m_hWnd;
    std::map<long long, CHostedControl> m_controls;
    std::set<std::string> m_modules;
    long long m_nLastHandle = 0;
};

}  // namespace

int RunHost(std::istream& in, std::ostream& out, std::ostream& err) {
    auto window = std::make_unique<CHostWindow>();
    if (!window->get()) {
        err << "telvora-ocx: cannot make the host window\n";
        return kOcxFailed;
    }
    CControlHost host(window->get());
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::string answer;
        std::string id = "null";
        if (line.size() > kMaxRequestBytes) {
            answer = "\"ok\":false,\"error\":\"the request is too long\"";
        } else {
            std::string why;
            std::optional<CJsonValue> request = ParseJson(line, &why);
            if (!request || request->kind != CJsonValue::Kind::Object) {
                answer = "\"ok\":false,\"error\":" +
                         Utf8Json("not a JSON object" + (why.empty() ? "" : ": " + why));
            } else {
                const CJsonValue* given = request->Find("id");
                if (given && given->kind == CJsonValue::Kind::Number)
                    id = given->text;
                answer = host.Handle(*request);
            }
        }
        out << "{\"id\":" << id << "," << answer << "}" << std::endl;
    }
    // The controls and their window go first: until then their module
    // counts them as work.
    host.ReleaseAll();
    window.reset();
    host.WaitForModules();
    return kOcxOk;
}
