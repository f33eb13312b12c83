// Reference-counted interfaces: the base every interface derives from, the
// class factory a module hands out per creatable class, and a smart pointer
// that holds one reference. Interfaces are abstract classes shared by the
// host and the modules it loads (one compiler, one set of headers); their
// methods never let a C++ exception out.
#pragma once

#include <utility>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"

inline constexpr IID IID_IUnknown = com::MakeGuid("{00000000-0000-0000-C000-000000000046}");
inline constexpr IID IID_IClassFactory = com::MakeGuid("{00000001-0000-0000-C000-000000000046}");

struct IUnknown {
    // On success *object holds a new reference; on failure it is null.
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;  // objects go by Release, never by delete through an interface
};

struct IClassFactory : IUnknown {
    // outer must be null: no class of this system can be aggregated.
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    // Keeps the module loaded while a host holds the factory for later use.
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// Holds one reference to an interface. Release happens when the pointer is
// reset or goes out of scope.
template <class T>
class CComPtr {
public:
    CComPtr() = default;
    // Takes a new reference to p.
    explicit CComPtr(T* p) : m_p(p) {
        if (m_p) {
            m_p->AddRef();
        }
    }
    CComPtr(const CComPtr& other) : CComPtr(other.m_p) {}
    CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    CComPtr& operator=(CComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~CComPtr() { Release(); }

    void Release() {
        if (T* p = std::exchange(m_p, nullptr)) {
            p->Release();
        }
    }
    // Adopts a reference the caller already owns (as an out parameter gives it).
    void Attach(T* p) {
        Release();
        m_p = p;
    }
    T* Detach() { return std::exchange(m_p, nullptr); }

    // For out parameters: releases what the pointer held first.
    T** Put() {
        Release();
        return &m_p;
    }
    void** Out() { return reinterpret_cast<void**>(Put()); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Queries another interface of the same object.
    template <class U>
    HRESULT QueryInterface(REFIID iid, CComPtr<U>* out) const {
        if (!m_p) {
            return E_POINTER;
        }
        return m_p->QueryInterface(iid, out->Out());
    }

private:
    T* m_p = nullptr;
};
