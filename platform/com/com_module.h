// The framework pieces of a component module: the module object (its start,
// its string resources, the count of live objects and locks that
// DllCanUnloadNow reports), one class factory per creatable class, and the
// reference counting every object of a module shares.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/unknown.h"

namespace com {

// Makes a new object of a class and returns the interface asked for; the
// object belongs to module.
class CComModule;
using ObjectCreator = HRESULT (*)(CComModule& module, REFIID iid, void** object);

struct ClassEntry {
    CLSID clsid;
    ObjectCreator create;
};

class CComModule {
public:
    CComModule(std::vector<ClassEntry> classes, std::map<unsigned, std::string> strings);
    CComModule(const CComModule&) = delete;
    CComModule& operator=(const CComModule&) = delete;

    // Runs startUp once per process, before the first entry point does its
    // work; every later call gives the same answer. False: the module failed
    // to start and its entry points refuse to work.
    bool EnsureStarted(const std::function<bool()>& startUp);

    // Live objects, class factories and LockServer calls.
    void Lock() { m_nLocks.fetch_add(1); }
    void Unlock() { m_nLocks.fetch_sub(1); }
    long LockCount() const { return m_nLocks.load(); }
    // S_OK when nothing of the module is in use, else S_FALSE.
    HRESULT CanUnloadNow() const { return LockCount() == 0 ? S_OK : S_FALSE; }

    // The class factory of a class (CLASS_E_CLASSNOTAVAILABLE for one the
    // module does not have).
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);

    // String resource (GBK); empty when there is none.
    std::string LoadString(unsigned id) const;

private:
    std::vector<ClassEntry> m_classes;
    std::map<unsigned, std::string> m_strings;
    std::atomic<long> m_nLocks{0};
    std::once_flag m_started;
    std::atomic<bool> m_bStartedOk{false};
};

// Reference counting for an object of a module: the object keeps its module
// in use while it lives and deletes itself on the last Release.
class CComObjectRoot {
public:
    CComObjectRoot(const CComObjectRoot&) = delete;
    CComObjectRoot& operator=(const CComObjectRoot&) = delete;

protected:
    explicit CComObjectRoot(CComModule* module);
    virtual ~CComObjectRoot();

    ULONG InternalAddRef() { return m_nRefs.fetch_add(1) + 1; }
    ULONG InternalRelease();
    CComModule* Module() const { return m_pModule; }

private:
    CComModule* m_pModule;
    std::atomic<ULONG> m_nRefs{0};
};

}  // namespace com
