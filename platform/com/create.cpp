#include "platform/com/create.h"

#include "platform/com/com_internal.h"
#include "platform/com/guard.h"
#include "platform/com/module_loader.h"

using namespace com::detail;

namespace {

void Tell(com::CreateFailure* failure, std::string reason) {
    if (failure) {
        failure->reason = std::move(reason);
    }
}

HRESULT GetClassObjectFromRegistry(REFCLSID clsid, REFIID iid, void** object,
                                   com::CreateFailure* failure) {
    const std::string key = "CLSID\\" + com::GuidToString(clsid);
    if (!ClassesKeyExists(key)) {
        Tell(failure, "class " + com::GuidToString(clsid) + " is not registered");
        return REGDB_E_CLASSNOTREG;
    }
    std::optional<std::string> path = ReadClassesValue(key + "\\InprocServer32");
    if (!path || path->empty()) {
        Tell(failure, "class " + com::GuidToString(clsid) + " has no in-process server registered");
        return REGDB_E_CLASSNOTREG;
    }
    if (failure) {
        failure->modulePath = *path;
    }
    HMODULE module = LoadLibrary(*path);
    if (!module) {
        const DWORD error = GetLastError();
        const std::string detail = com::GetModuleLoadError();
        if (error == ERROR_MOD_NOT_FOUND || error == ERROR_INVALID_NAME) {
            Tell(failure, "module not found: " + detail);
            return CO_E_DLLNOTFOUND;
        }
        Tell(failure, "the module cannot be loaded: " + detail);
        return CO_E_ERRORINDLL;
    }
    auto entry =
        reinterpret_cast<PFNDLLGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
    if (!entry) {
        Tell(failure, "the module has no DllGetClassObject entry point");
        return CO_E_ERRORINDLL;
    }
    HRESULT hr = entry(clsid, iid, object);
    if (FAILED(hr)) {
        Tell(failure, hr == CLASS_E_CLASSNOTAVAILABLE
                          ? "the module has no class " + com::GuidToString(clsid)
                          : "the module's class factory failed: " + com::HResultText(hr));
    }
    return hr;
}

}  // namespace

HRESULT CLSIDFromString(const char* text, CLSID* clsid) {
    if (!text || !clsid) {
        return E_INVALIDARG;
    }
    return com::GuidFromString(text, clsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CLSIDFromProgID(const char* progId, CLSID* clsid) {
    if (!progId || !clsid || !*progId) {
        return E_INVALIDARG;
    }
    return com::Guarded("CLSIDFromProgID", [&]() -> HRESULT {
        std::optional<std::string> text = ReadClassesValue(std::string(progId) + "\\CLSID");
        CLSID found;
        if (!text || !com::GuidFromString(*text, &found)) {
            return CO_E_CLASSSTRING;
        }
        *clsid = found;
        return S_OK;
    });
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if ((context & CLSCTX_INPROC_SERVER) == 0) {
        return E_INVALIDARG;
    }
    return com::Guarded("CoGetClassObject",
                        [&] { return GetClassObjectFromRegistry(clsid, iid, object, nullptr); });
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer) {
        return CLASS_E_NOAGGREGATION;
    }
    if ((context & CLSCTX_INPROC_SERVER) == 0) {
        return E_INVALIDARG;
    }
    return com::CreateInstance(clsid, iid, object, nullptr);
}

namespace com {

HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object, CreateFailure* failure) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    return Guarded("CoCreateInstance", [&]() -> HRESULT {
        CComPtr<IClassFactory> factory;
        HRESULT hr = GetClassObjectFromRegistry(clsid, IID_IClassFactory, factory.Out(), failure);
        if (FAILED(hr)) {
            return hr;
        }
        if (!factory) {
            Tell(failure, "the module returned no class factory");
            return E_UNEXPECTED;
        }
        hr = factory->CreateInstance(nullptr, iid, object);
        if (FAILED(hr)) {
            Tell(failure, "the object could not be created: " + HResultText(hr));
        }
        return hr;
    });
}

HRESULT ClassFromText(const std::string& text, CLSID* clsid) {
    if (!text.empty() && text.front() == '{') {
        return CLSIDFromString(text.c_str(), clsid);
    }
    return CLSIDFromProgID(text.c_str(), clsid);
}

}  // namespace com
