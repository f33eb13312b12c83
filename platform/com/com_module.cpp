#include "platform/com/com_module.h"

#include <new>

#include "platform/com/guard.h"

namespace com {
namespace {

class CClassFactory final : public IClassFactory, public CComObjectRoot {
public:
    CClassFactory(CComModule& module, ObjectCreator create)
        : CComObjectRoot(&module), m_module(module), m_create(create) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer) {
            return CLASS_E_NOAGGREGATION;
        }
        return Guarded("CreateInstance", [&] { return m_create(m_module, iid, object); });
    }
    HRESULT LockServer(BOOL lock) override {
        if (lock) {
            m_module.Lock();
        } else if (m_module.LockCount() > 0) {
            m_module.Unlock();
        }
        return S_OK;
    }

private:
    CComModule& m_module;
    ObjectCreator m_create;
};

}  // namespace

CComModule::CComModule(std::vector<ClassEntry> classes, std::map<unsigned, std::string> strings)
    : m_classes(std::move(classes)), m_strings(std::move(strings)) {}

bool CComModule::EnsureStarted(const std::function<bool()>& startUp) {
    std::call_once(m_started, [&] {
        bool ok = false;
        try {
            ok = startUp();
        } catch (const std::exception& e) {
            ReportUnexpected("module start-up", e.what());
        } catch (...) {
            ReportUnexpected("module start-up", "unknown exception");
        }
        m_bStartedOk.store(ok);
    });
    return m_bStartedOk.load();
}

HRESULT CComModule::GetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    for (const ClassEntry& entry : m_classes) {
        if (entry.clsid == clsid) {
            return Guarded("DllGetClassObject", [&] {
                auto* factory = new CClassFactory(*this, entry.create);
                factory->AddRef();
                HRESULT hr = factory->QueryInterface(iid, object);
                factory->Release();
                return hr;
            });
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::string CComModule::LoadString(unsigned id) const {
    auto it = m_strings.find(id);
    return it == m_strings.end() ? std::string() : it->second;
}

CComObjectRoot::CComObjectRoot(CComModule* module) : m_pModule(module) {
    if (m_pModule) {
        m_pModule->Lock();
    }
}

CComObjectRoot::~CComObjectRoot() {
    if (m_pModule) {
        m_pModule->Unlock();
    }
}

ULONG CComObjectRoot::InternalRelease() {
    ULONG left = m_nRefs.fetch_sub(1) - 1;
    if (left == 0) {
        delete this;
    }
    return left;
}

}  // namespace com
