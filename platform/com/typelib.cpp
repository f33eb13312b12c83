// Type libraries in memory: the table of the libraries loaded modules hold,
// and the ITypeLib / ITypeInfo objects that describe them.
#include "platform/com/typelib.h"

#include <mutex>
#include <vector>

#include "platform/com/com_internal.h"
#include "platform/com/com_module.h"
#include "platform/com/guard.h"

namespace com {
namespace {

std::mutex g_libraryMutex;
std::vector<const TypeLibraryInfo*>& Libraries() {
    static auto* libraries = new std::vector<const TypeLibraryInfo*>;
    return *libraries;
}

class CTypeLib;

class CTypeInfo final : public ITypeInfo, public CComObjectRoot {
public:
    CTypeInfo(const TypeLibraryInfo* library, const InterfaceInfo* info)
        : CComObjectRoot(nullptr), m_pLibrary(library), m_pInfo(info) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_ITypeInfo) {
            *object = static_cast<ITypeInfo*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    HRESULT GetInterfaceInfo(const InterfaceInfo** info) override {
        if (!info) {
            return E_POINTER;
        }
        *info = m_pInfo;
        return S_OK;
    }
    HRESULT GetContainingTypeLib(ITypeLib** library) override {
        return CreateTypeLib(m_pLibrary, library);
    }

private:
    const TypeLibraryInfo* m_pLibrary;
    const InterfaceInfo* m_pInfo;
};

class CTypeLib final : public ITypeLib, public CComObjectRoot {
public:
    explicit CTypeLib(const TypeLibraryInfo* library)
        : CComObjectRoot(nullptr), m_pLibrary(library) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_ITypeLib) {
            *object = static_cast<ITypeLib*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    HRESULT GetLibraryInfo(const TypeLibraryInfo** info) override {
        if (!info) {
            return E_POINTER;
        }
        *info = m_pLibrary;
        return S_OK;
    }
    HRESULT GetTypeInfoOfGuid(REFGUID iid, ITypeInfo** info) override {
        if (!info) {
            return E_POINTER;
        }
        *info = nullptr;
        const InterfaceInfo* found = m_pLibrary->FindInterface(iid);
        if (!found) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        return Guarded("GetTypeInfoOfGuid", [&] {
            auto* typeInfo = new CTypeInfo(m_pLibrary, found);
            typeInfo->AddRef();
            *info = typeInfo;
            return S_OK;
        });
    }

private:
    const TypeLibraryInfo* m_pLibrary;
};

}  // namespace

const MethodInfo* InterfaceInfo::FindMethod(DISPID id) const {
    for (const MethodInfo& method : methods) {
        if (method.id == id) {
            return &method;
        }
    }
    return nullptr;
}

const InterfaceInfo* TypeLibraryInfo::FindInterface(REFIID iid) const {
    for (const InterfaceInfo& info : interfaces) {
        if (info.iid == iid) {
            return &info;
        }
    }
    return nullptr;
}

void AddModuleTypeLib(const TypeLibraryInfo* library) {
    if (!library) {
        return;
    }
    std::lock_guard<std::mutex> lock(g_libraryMutex);
    for (const TypeLibraryInfo*& known : Libraries()) {
        if (known == library) {
            return;
        }
    }
    Libraries().push_back(library);
}

HRESULT CreateTypeLib(const TypeLibraryInfo* library, ITypeLib** result) {
    if (!result) {
        return E_POINTER;
    }
    *result = nullptr;
    if (!library) {
        return E_INVALIDARG;
    }
    return Guarded("CreateTypeLib", [&] {
        auto* typeLib = new CTypeLib(library);
        typeLib->AddRef();
        *result = typeLib;
        return S_OK;
    });
}

namespace detail {

const TypeLibraryInfo* FindModuleTypeLib(REFGUID libid, WORD major, WORD minor) {
    std::lock_guard<std::mutex> lock(g_libraryMutex);
    for (const TypeLibraryInfo* library : Libraries()) {
        if (library->libid == libid && library->majorVersion == major &&
            library->minorVersion == minor) {
            return library;
        }
    }
    return nullptr;
}

}  // namespace detail
}  // namespace com
