#include "platform/com/registration.h"

#include "platform/com/com_internal.h"
#include "platform/com/guard.h"

using namespace com::detail;

namespace com {

bool RegisterControlClass(const ControlClassRegistration& entry) {
    const std::string clsid = GuidToString(entry.clsid);
    const std::string key = "CLSID\\" + clsid;
    bool ok = false;
    HRESULT hr = Guarded("RegisterControlClass", [&] {
        ok = SetClassesValue(key, nullptr, entry.typeName) &&
             SetClassesValue(key + "\\InprocServer32", nullptr, entry.modulePath) &&
             SetClassesValue(key + "\\InprocServer32", "ThreadingModel", entry.threadingModel) &&
             SetClassesValue(key + "\\ProgID", nullptr, entry.progId) &&
             CreateClassesKey(key + "\\Control") &&
             (!entry.insertable || CreateClassesKey(key + "\\Insertable")) &&
             SetClassesValue(key + "\\MiscStatus", nullptr, "0") &&
             SetClassesValue(key + "\\MiscStatus\\1", nullptr, std::to_string(entry.miscStatus)) &&
             SetClassesValue(key + "\\ToolboxBitmap32", nullptr,
                             entry.modulePath + ", " + std::to_string(entry.toolboxBitmapId)) &&
             SetClassesValue(key + "\\TypeLib", nullptr, GuidToString(entry.typeLib)) &&
             SetClassesValue(
                 key + "\\Version", nullptr,
                 std::to_string(entry.majorVersion) + "." + std::to_string(entry.minorVersion)) &&
             SetClassesValue(entry.progId, nullptr, entry.typeName) &&
             SetClassesValue(entry.progId + "\\CLSID", nullptr, clsid);
        return S_OK;
    });
    if (FAILED(hr) || !ok) {
        UnregisterClass(entry.clsid, entry.progId);
        return false;
    }
    return true;
}

bool RegisterPropertyPageClass(const CLSID& clsid, const std::string& typeName,
                               const std::string& modulePath) {
    const std::string key = "CLSID\\" + GuidToString(clsid);
    bool ok = false;
    HRESULT hr = Guarded("RegisterPropertyPageClass", [&] {
        ok = SetClassesValue(key, nullptr, typeName) &&
             SetClassesValue(key + "\\InprocServer32", nullptr, modulePath) &&
             SetClassesValue(key + "\\InprocServer32", "ThreadingModel", "Apartment");
        return S_OK;
    });
    if (FAILED(hr) || !ok) {
        UnregisterClass(clsid, "");
        return false;
    }
    return true;
}

bool UnregisterClass(const CLSID& clsid, const std::string& progId) {
    bool ok = false;
    HRESULT hr = Guarded("UnregisterClass", [&] {
        ok = DeleteClassesTree("CLSID\\" + GuidToString(clsid));
        // An empty ProgID would name HKEY_CLASSES_ROOT itself.
        if (!progId.empty()) {
            ok = DeleteClassesTree(progId) && ok;
        }
        PruneEmptyClassesKeys({"CLSID"});
        return S_OK;
    });
    return SUCCEEDED(hr) && ok;
}

}  // namespace com
