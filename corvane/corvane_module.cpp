// The module libcorvane.so: its start, and the four entry points a host
// uses to register it, unregister it and create its classes.
#include "corvane/corvane_ctrl.h"
#include "corvane/corvane_ids.h"
#include "corvane/corvane_prop_page.h"
#include "corvane/corvane_resources.h"
#include "corvane/corvane_typelib.h"
#include "corvane/download_thread.h"
#include "platform/com/com_module.h"
#include "platform/com/guard.h"
#include "platform/com/registration.h"
#include "platform/fs/fs.h"

#define CORVANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

com::CComModule g_module(
    {
        {CLSID_Corvane, &CreateCorvaneCtrl},
        {CLSID_CorvanePropPage, &CreateCorvanePropPage},
    },
    CorvaneStrings());

// The type library is part of the module from the moment it is loaded, as
// a resource is: a host that loads the module for it finds it at once.
const bool g_bTypeLibAdded = (com::AddModuleTypeLib(&CorvaneTypeLib()), true);

// The sockets the update start needs. The desktop system asked its sockets
// library for version 1.1 here and refused to load without it; on Linux the
// sockets are part of the C library and always there, so this start-up
// always succeeds.
bool StartSockets() {
    return true;
}

bool StartModule() {
    RegisterCorvaneResources();
    return StartSockets();
}

bool Started() {
    return g_module.EnsureStarted(&StartModule);
}

std::string ModulePath() {
    return GetModuleFileNameOf(&g_module);
}

bool RegisterClasses(const std::string& path) {
    com::ControlClassRegistration control;
    control.clsid = CLSID_Corvane;
    control.progId = kCorvaneProgId;
    control.typeName = g_module.LoadString(IDS_CORVANE);
    control.modulePath = path;
    control.toolboxBitmapId = IDB_CORVANE;
    control.threadingModel = "Apartment";
    control.insertable = false;
    control.typeLib = LIBID_CORVANELib;
    control.majorVersion = kCorvaneLibMajor;
    control.minorVersion = kCorvaneLibMinor;
    control.miscStatus = kCorvaneMiscStatus;
    return com::RegisterControlClass(control) &&
           com::RegisterPropertyPageClass(CLSID_CorvanePropPage,
                                          g_module.LoadString(IDS_CORVANE_PPG), path);
}

bool UnregisterClasses() {
    bool control = com::UnregisterClass(CLSID_Corvane, kCorvaneProgId);
    bool page = com::UnregisterClass(CLSID_CorvanePropPage, "");
    return control && page;
}

}  // namespace

CORVANE_EXPORT HRESULT DllRegisterServer() {
    return com::Guarded("DllRegisterServer", []() -> HRESULT {
        if (!Started()) {
            return E_UNEXPECTED;
        }
        const std::string path = ModulePath();
        if (path.empty() || FAILED(RegisterTypeLib(CorvaneTypeLib(), path))) {
            return SELFREG_E_TYPELIB;
        }
        if (!RegisterClasses(path)) {
            // A registration that fails half-way leaves nothing behind.
            UnregisterClasses();
            UnRegisterTypeLib(LIBID_CORVANELib, kCorvaneLibMajor, kCorvaneLibMinor, LOCALE_NEUTRAL);
            return SELFREG_E_CLASS;
        }
        return S_OK;
    });
}

CORVANE_EXPORT HRESULT DllUnregisterServer() {
    return com::Guarded("DllUnregisterServer", []() -> HRESULT {
        if (!Started()) {
            return E_UNEXPECTED;
        }
        if (FAILED(UnRegisterTypeLib(LIBID_CORVANELib, kCorvaneLibMajor, kCorvaneLibMinor,
                                     LOCALE_NEUTRAL))) {
            return SELFREG_E_TYPELIB;
        }
        return UnregisterClasses() ? S_OK : SELFREG_E_CLASS;
    });
}

CORVANE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return com::Guarded("DllGetClassObject", [&]() -> HRESULT {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (!Started()) {
            return CO_E_ERRORINDLL;
        }
        return g_module.GetClassObject(clsid, iid, object);
    });
}

CORVANE_EXPORT HRESULT DllCanUnloadNow() {
    // An update whose control is gone still runs in this module: a host
    // waits for it before it ends.
    return UpdateRunning() ? S_FALSE : g_module.CanUnloadNow();
}
