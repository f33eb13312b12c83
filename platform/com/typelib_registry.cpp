// Type libraries in the registry: registration, removal, and loading a
// library through the module its entry names.
#include <cstdio>

#include "platform/com/com_internal.h"
#include "platform/com/guard.h"
#include "platform/com/module_loader.h"
#include "platform/text/text.h"

using namespace com::detail;

namespace {

// The dispatch proxy every dispatch-only interface names.
constexpr const char* kDispatchProxy = "{00020420-0000-0000-C000-000000000046}";
// The one platform whose module entries the loader reads.
constexpr const char* kPlatformKey = "linux";

std::string LibraryKey(REFGUID libid) {
    return "TypeLib\\" + com::GuidToString(libid);
}

std::string LcidKey(LCID lcid) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(lcid));
    return buf;
}

// The folder part of a Windows path, without the trailing backslash.
std::string FolderOf(const std::string& path) {
    std::size_t slash = text::FindLastBackslash(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Interfaces whose TypeLib entry names this library and version.
std::vector<std::string> InterfacesOf(REFGUID libid, const std::string& version) {
    std::vector<std::string> found;
    const std::string wanted = com::GuidToString(libid);
    for (const std::string& name : ClassesSubKeys("Interface")) {
        const std::string key = "Interface\\" + name + "\\TypeLib";
        std::optional<std::string> lib = ReadClassesValue(key);
        std::optional<std::string> ver = ReadClassesValue(key, "Version");
        if (lib && text::EqualsNoCase(*lib, wanted) && ver && *ver == version) {
            found.push_back(name);
        }
    }
    return found;
}

}  // namespace

HRESULT RegisterTypeLib(const com::TypeLibraryInfo& library, const std::string& modulePath) {
    return com::Guarded("RegisterTypeLib", [&]() -> HRESULT {
        const std::string version = VersionKey(library.majorVersion, library.minorVersion);
        const std::string key = LibraryKey(library.libid) + "\\" + version;
        bool ok = SetClassesValue(key, nullptr, library.helpString) &&
                  SetClassesValue(key + "\\" + LcidKey(library.lcid) + "\\" + kPlatformKey, nullptr,
                                  modulePath) &&
                  SetClassesValue(key + "\\FLAGS", nullptr, "0") &&
                  SetClassesValue(key + "\\HELPDIR", nullptr, FolderOf(modulePath));
        for (const com::InterfaceInfo& info : library.interfaces) {
            if (!ok) {
                break;
            }
            const std::string ikey = "Interface\\" + com::GuidToString(info.iid);
            ok = SetClassesValue(ikey, nullptr, info.name) &&
                 SetClassesValue(ikey + "\\ProxyStubClsid32", nullptr, kDispatchProxy) &&
                 SetClassesValue(ikey + "\\TypeLib", nullptr, com::GuidToString(library.libid)) &&
                 SetClassesValue(ikey + "\\TypeLib", "Version", version);
        }
        if (!ok) {
            // Nothing half-registered stays behind.
            UnRegisterTypeLib(library.libid, library.majorVersion, library.minorVersion,
                              library.lcid);
            return TYPE_E_REGISTRYACCESS;
        }
        return S_OK;
    });
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID) {
    return com::Guarded("UnRegisterTypeLib", [&]() -> HRESULT {
        const std::string version = VersionKey(major, minor);
        const std::string libKey = LibraryKey(libid);
        const bool registered = ClassesKeyExists(libKey + "\\" + version);
        bool ok = true;
        for (const std::string& name : InterfacesOf(libid, version)) {
            ok = DeleteClassesTree("Interface\\" + name) && ok;
        }
        ok = DeleteClassesTree(libKey + "\\" + version) && ok;
        PruneEmptyClassesKeys({libKey, "TypeLib", "Interface"});
        return registered && ok ? S_OK : TYPE_E_REGISTRYACCESS;
    });
}

HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** library) {
    if (!library) {
        return E_POINTER;
    }
    *library = nullptr;
    return com::Guarded("LoadRegTypeLib", [&]() -> HRESULT {
        const std::string key = LibraryKey(libid) + "\\" + VersionKey(major, minor);
        if (!ClassesKeyExists(key)) {
            return TYPE_E_LIBNOTREGISTERED;
        }
        std::optional<std::string> path;
        for (LCID candidate : {lcid, static_cast<LCID>(lcid & 0x3FF), LCID{0}}) {
            path = ReadClassesValue(key + "\\" + LcidKey(candidate) + "\\" + kPlatformKey);
            if (path && !path->empty()) {
                break;
            }
        }
        if (!path || path->empty()) {
            return TYPE_E_LIBNOTREGISTERED;
        }
        if (!LoadLibrary(*path)) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        const com::TypeLibraryInfo* info = FindModuleTypeLib(libid, major, minor);
        if (!info) {
            return TYPE_E_CANTLOADLIBRARY;
        }
        return com::CreateTypeLib(info, library);
    });
}
