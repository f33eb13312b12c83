// Creating objects by class id or ProgID. The class's module is found through
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 (a ProgID through
// HKEY_CLASSES_ROOT\<ProgID>\CLSID), loaded, and asked for its class
// factory through its DllGetClassObject.
#pragma once

#include <string>

#include "platform/com/unknown.h"
#include "platform/error/error.h"

enum : DWORD { CLSCTX_INPROC_SERVER = 0x1 };

// The exports of a component module (C linkage).
using PFNDLLGETCLASSOBJECT = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
using PFNDLLCANUNLOADNOW = HRESULT (*)();
using PFNDLLREGISTERSERVER = HRESULT (*)();
using PFNDLLUNREGISTERSERVER = HRESULT (*)();

// "{...}" to a class id; CO_E_CLASSSTRING for malformed text.
HRESULT CLSIDFromString(const char* text, CLSID* clsid);
// CO_E_CLASSSTRING when the ProgID is not registered or names no valid id.
HRESULT CLSIDFromProgID(const char* progId, CLSID* clsid);
// Only in-process servers exist here; other contexts get E_INVALIDARG.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** object);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

namespace com {

// Why a creation failed, in words a user can act on.
struct CreateFailure {
    std::string modulePath;  // the registered module (GBK), when one was found
    std::string reason;      // e.g. "class not registered", the loader's message
};

// CoCreateInstance for an in-process class, telling why it fails.
HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** object, CreateFailure* failure);
// A ProgID or "{CLSID}" to a class id (CO_E_CLASSSTRING when neither).
HRESULT ClassFromText(const std::string& progIdOrClsid, CLSID* clsid);

}  // namespace com
