// Type libraries described as data: a module holds its library (interfaces,
// their methods with dispatch ids, parameter names and types, and its
// classes) as plain structures, registers it in the registry, and hosts read
// it through ITypeLib / ITypeInfo to convert the arguments they pass.
#pragma once

#include <string>
#include <vector>

#include "platform/com/dispatch.h"

struct ITypeLib;

namespace com {

struct ParamInfo {
    const char* name;
    VARTYPE vt;  // VT_BSTR, VT_I4 or VT_BOOL
};

struct MethodInfo {
    const char* name;
    DISPID id;
    VARTYPE result;  // VT_VOID for a method without a result
    std::vector<ParamInfo> params;
};

enum : unsigned {
    TYPEFLAG_FCANCREATE = 0x2,
    TYPEFLAG_FHIDDEN = 0x10,
    TYPEFLAG_FCONTROL = 0x20,
    TYPEFLAG_FDISPATCHABLE = 0x1000,
};

struct InterfaceInfo {
    IID iid;
    const char* name;
    const char* helpString;
    unsigned flags;
    std::vector<MethodInfo> methods;

    const MethodInfo* FindMethod(DISPID id) const;
};

struct CoClassInfo {
    CLSID clsid;
    const char* name;
    const char* helpString;
    unsigned flags;
    IID defaultInterface;
    IID defaultSource;
};

struct TypeLibraryInfo {
    GUID libid;
    const char* name;
    const char* helpString;
    const char* helpFile;
    WORD majorVersion;
    WORD minorVersion;
    LCID lcid;
    std::vector<InterfaceInfo> interfaces;
    std::vector<CoClassInfo> coclasses;

    const InterfaceInfo* FindInterface(REFIID iid) const;
};

// The library as data must outlive every reference handed out for it: a
// module's library lives as long as the module, which is never unloaded.
void AddModuleTypeLib(const TypeLibraryInfo* library);
// Wraps a library (kept alive by its owner) in an ITypeLib.
HRESULT CreateTypeLib(const TypeLibraryInfo* library, ITypeLib** result);

}  // namespace com

inline constexpr IID IID_ITypeInfo = com::MakeGuid("{77AE8996-8459-4364-B60D-989657DBF4EA}");
inline constexpr IID IID_ITypeLib = com::MakeGuid("{9404CF5B-1E79-404F-B3BB-0B9005E7785E}");

// One interface of a library.
struct ITypeInfo : IUnknown {
    // Valid while this reference is held.
    virtual HRESULT GetInterfaceInfo(const com::InterfaceInfo** info) = 0;
    virtual HRESULT GetContainingTypeLib(ITypeLib** library) = 0;

protected:
    ~ITypeInfo() = default;
};

struct ITypeLib : IUnknown {
    virtual HRESULT GetLibraryInfo(const com::TypeLibraryInfo** info) = 0;
    // TYPE_E_ELEMENTNOTFOUND when the library has no such interface.
    virtual HRESULT GetTypeInfoOfGuid(REFGUID iid, ITypeInfo** info) = 0;

protected:
    ~ITypeLib() = default;
};

// Registry entries of a library (HKEY_CLASSES_ROOT):
//   TypeLib\{libid}\M.m                = help string
//   TypeLib\{libid}\M.m\0\linux        = module path
//   TypeLib\{libid}\M.m\FLAGS          = "0"
//   TypeLib\{libid}\M.m\HELPDIR        = the module's folder
//   Interface\{iid}                    = interface name, for each interface
//   Interface\{iid}\ProxyStubClsid32   = the dispatch proxy's class id
//   Interface\{iid}\TypeLib            = {libid}, value Version = "M.m"
// Versions are written in hexadecimal, as the desktop system does.
HRESULT RegisterTypeLib(const com::TypeLibraryInfo& library, const std::string& modulePath);
// Removes the entries above (the interfaces found by their TypeLib entry).
// TYPE_E_REGISTRYACCESS when the library is not registered.
HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid);
// Finds the library's module through the registry (the locale's entry, else
// the neutral one), loads it and returns its library.
HRESULT LoadRegTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, ITypeLib** library);
