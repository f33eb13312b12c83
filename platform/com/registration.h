// Self-registration of a module's classes: exactly the entries a class
// needs, and their removal, which leaves the registry as it was before.
#pragma once

#include <string>

#include "platform/com/guid.h"
#include "platform/error/error.h"

namespace com {

enum : DWORD {
    OLEMISC_RECOMPOSEONRESIZE = 0x1,
    OLEMISC_CANTLINKINSIDE = 0x10,
    OLEMISC_INSIDEOUT = 0x80,
    OLEMISC_ACTIVATEWHENVISIBLE = 0x100,
    OLEMISC_SETCLIENTSITEFIRST = 0x20000,
};

struct ControlClassRegistration {
    CLSID clsid;
    std::string progId;
    std::string typeName;    // GBK
    std::string modulePath;  // Windows path (GBK)
    int toolboxBitmapId = 1;
    std::string threadingModel = "Apartment";
    bool insertable = false;
    GUID typeLib;
    WORD majorVersion = 1;
    WORD minorVersion = 0;
    DWORD miscStatus = 0;
};

// Writes under HKEY_CLASSES_ROOT:
//   CLSID\{clsid}                    = type name
//   CLSID\{clsid}\InprocServer32     = module path, ThreadingModel = model
//   CLSID\{clsid}\ProgID             = ProgID
//   CLSID\{clsid}\Control            (an empty key)
//   CLSID\{clsid}\Insertable         (only for an insertable class)
//   CLSID\{clsid}\MiscStatus         = "0"
//   CLSID\{clsid}\MiscStatus\1       = misc status, decimal
//   CLSID\{clsid}\ToolboxBitmap32    = "module path, bitmap id"
//   CLSID\{clsid}\TypeLib            = {typelib}
//   CLSID\{clsid}\Version            = "major.minor"
//   <ProgID>                         = type name
//   <ProgID>\CLSID                   = {clsid}
// False (and nothing left behind) when the registry refuses a write.
bool RegisterControlClass(const ControlClassRegistration& entry);

// A property page class has only CLSID\{clsid} = type name and its
// InprocServer32 entry (threading model Apartment); no ProgID.
bool RegisterPropertyPageClass(const CLSID& clsid, const std::string& typeName,
                               const std::string& modulePath);

// Removes CLSID\{clsid} and, when progId is not empty, <ProgID>, each with
// everything below it, then the container keys that are left empty. False
// when a key could not be deleted.
bool UnregisterClass(const CLSID& clsid, const std::string& progId);

}  // namespace com
