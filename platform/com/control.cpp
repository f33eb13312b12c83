#include "platform/com/control.h"

#include <algorithm>
#include <map>

#include "platform/com/control_windows.h"
#include "platform/com/guard.h"
#include "platform/com/property_frame.h"

namespace com {
namespace {

// Control windows and their objects. Entries come and go on the windows'
// threads; lookups may come from any thread.
std::mutex g_windowsMutex;
std::map<HWND, COleControl*>& ControlWindows() {
    static auto* windows = new std::map<HWND, COleControl*>;
    return *windows;
}

// The control whose window is being made on this thread: its window's first
// message (WM_CREATE) arrives before CreateWindowWithProc returns the handle.
thread_local COleControl* t_pCreating = nullptr;

COleControl* FindControl(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    auto it = ControlWindows().find(hwnd);
    return it == ControlWindows().end() ? nullptr : it->second;
}

}  // namespace

// The window procedure of every control window: finds the control and hands
// it the message; after WM_DESTROY the window's reference goes.
LRESULT ControlWindowThunk(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    COleControl* control = FindControl(hwnd);
    if (!control && t_pCreating) {
        control = std::exchange(t_pCreating, nullptr);
        control->m_hWnd = hwnd;
        std::lock_guard<std::mutex> lock(g_windowsMutex);
        ControlWindows()[hwnd] = control;
    }
    if (!control) {
        return ::DefWindowProc(hwnd, msg, wParam, lParam);
    }
    LRESULT result = control->WindowProc(msg, wParam, lParam);
    if (msg == WM_DESTROY) {
        control->WindowDestroyed();
    }
    return result;
}

namespace detail {

IUnknown* ControlOfWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    auto it = ControlWindows().find(hwnd);
    if (it == ControlWindows().end()) {
        return nullptr;
    }
    IUnknown* unknown = static_cast<IDispatch*>(it->second);
    unknown->AddRef();
    return unknown;
}

}  // namespace detail

// ---- the type library cache -----------------------------------------------

HRESULT CTypeLibCache::Lookup(LCID lcid, ITypeLib** library) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_library || m_lcid != lcid) {
        return S_FALSE;
    }
    *library = m_library.get();
    (*library)->AddRef();
    return S_OK;
}

void CTypeLibCache::Cache(LCID lcid, ITypeLib* library) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lcid = lcid;
    m_library = CComPtr<ITypeLib>(library);
}

// ---- the event connection point -------------------------------------------

// Part of its control: its references are the control's.
class COleControl::CEventPoint final : public IConnectionPoint {
public:
    CEventPoint(COleControl& owner, const IID& iid) : m_owner(owner), m_iid(iid) {}
    ~CEventPoint() {
        for (auto& [cookie, sink] : m_sinks) {
            sink->Release();
        }
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
            *object = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return m_owner.AddRef(); }
    ULONG Release() override { return m_owner.Release(); }

    HRESULT GetConnectionInterface(IID* iid) override {
        if (!iid) {
            return E_POINTER;
        }
        *iid = m_iid;
        return S_OK;
    }
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) {
            return E_POINTER;
        }
        *cookie = 0;
        return Guarded("Advise", [&]() -> HRESULT {
            IUnknown* held = nullptr;
            if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(&held))) &&
                FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&held)))) {
                return CONNECT_E_CANNOTCONNECT;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_sinks.emplace_back(++m_nLastCookie, held);
            *cookie = m_nLastCookie;
            return S_OK;
        });
    }
    HRESULT Unadvise(DWORD cookie) override {
        IUnknown* sink = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                                   [&](const auto& entry) { return entry.first == cookie; });
            if (it == m_sinks.end()) {
                return CONNECT_E_NOCONNECTION;
            }
            sink = it->second;
            m_sinks.erase(it);
        }
        sink->Release();
        return S_OK;
    }

private:
    COleControl& m_owner;
    IID m_iid;
    std::mutex m_mutex;
    std::vector<std::pair<DWORD, IUnknown*>> m_sinks;
    DWORD m_nLastCookie = 0;
};

// ---- the control ----------------------------------------------------------

COleControl::COleControl(CComModule& module) : CComObjectRoot(&module) {}

COleControl::~COleControl() {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    for (auto it = ControlWindows().begin(); it != ControlWindows().end();) {
        it = it->second == this ? ControlWindows().erase(it) : std::next(it);
    }
}

void COleControl::InitializeIIDs(const IID* dispatchIid, const IID* eventsIid) {
    m_pDispatchIid = dispatchIid;
    m_pEventsIid = eventsIid;
    m_pEventPoint = eventsIid ? std::make_unique<CEventPoint>(*this, *eventsIid) : nullptr;
}

void COleControl::SetDispatchMap(std::vector<DispatchEntry> entries) {
    const InterfaceInfo* info =
        m_pDispatchIid ? GetTypeLibraryData().FindInterface(*m_pDispatchIid) : nullptr;
    m_dispatch = CDispatchImpl(info, std::move(entries));
}

HRESULT COleControl::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || (m_pDispatchIid && iid == *m_pDispatchIid)) {
        *object = static_cast<IDispatch*>(this);
    } else if (iid == IID_IOleControlWindow) {
        *object = static_cast<IOleControlWindow*>(this);
    } else if (iid == IID_IPersistStreamInit) {
        *object = static_cast<IPersistStreamInit*>(this);
    } else if (iid == IID_IConnectionPointContainer) {
        *object = static_cast<IConnectionPointContainer*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT COleControl::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    return Guarded("GetTypeInfoCount", [&] {
        *count = GetTypeInfoCountOf();
        return S_OK;
    });
}

HRESULT COleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    if (!info) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0 || !m_pDispatchIid) {
        return DISP_E_BADINDEX;
    }
    return Guarded("GetTypeInfo", [&]() -> HRESULT {
        CComPtr<ITypeLib> library;
        CTypeLibCache* cache = GetTypeLibCache();
        if (!cache || cache->Lookup(lcid, library.Put()) != S_OK) {
            HRESULT hr = GetTypeLib(lcid, library.Put());
            if (FAILED(hr)) {
                return hr;
            }
            if (cache) {
                cache->Cache(lcid, library.get());
            }
        }
        return library->GetTypeInfoOfGuid(*m_pDispatchIid, info);
    });
}

HRESULT COleControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return Guarded("GetIDsOfNames", [&] { return m_dispatch.GetIDsOfNames(names, count, ids); });
}

HRESULT COleControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, UINT* argError) {
    // Keeps the control alive while a method's dialogs run.
    CComPtr<IDispatch> self(static_cast<IDispatch*>(this));
    return Guarded("Invoke",
                   [&] { return m_dispatch.Invoke(id, flags, params, result, argError); });
}

HRESULT COleControl::InPlaceActivate(HWND parent, int controlId, const RECT& bounds, HWND* window) {
    if (!window) {
        return E_POINTER;
    }
    *window = nullptr;
    if (m_hWnd) {
        *window = m_hWnd;
        return S_OK;
    }
    if (!IsWindow(parent)) {
        return E_INVALIDARG;
    }
    return Guarded("InPlaceActivate", [&]() -> HRESULT {
        m_rcBounds = bounds;
        m_cxExtent = bounds.right - bounds.left;
        m_cyExtent = bounds.bottom - bounds.top;
        // The window holds the control until it is destroyed.
        AddRef();
        m_bHoldsWindowRef = true;
        t_pCreating = this;
        HWND hwnd =
            CreateWindowWithProc(&ControlWindowThunk, parent, GetUserTypeName(), false, controlId);
        t_pCreating = nullptr;
        if (!hwnd) {
            if (std::exchange(m_bHoldsWindowRef, false)) {
                Release();
            }
            return E_FAIL;
        }
        // Shown at once, as an in-place active control is.
        SendMessage(hwnd, WM_SHOWWINDOW, TRUE, 0);
        if (!IsWindow(hwnd)) {
            return E_FAIL;
        }
        InvalidateControl();
        *window = hwnd;
        return S_OK;
    });
}

HRESULT COleControl::InPlaceDeactivate() {
    if (!m_hWnd) {
        return S_OK;
    }
    CComPtr<IDispatch> self(static_cast<IDispatch*>(this));
    return DestroyWindow(m_hWnd) ? S_OK : E_FAIL;
}

HRESULT COleControl::GetWindow(HWND* window) {
    if (!window) {
        return E_POINTER;
    }
    *window = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}

HRESULT COleControl::DoVerb(LONG verb, HWND parent) {
    switch (verb) {
        case OLEIVERB_PROPERTIES:
            return OnProperties(parent);
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE: {
            HWND window = nullptr;
            return InPlaceActivate(parent, 0, m_rcBounds, &window);
        }
        default:
            return E_NOTIMPL;
    }
}

HRESULT COleControl::GetMiscStatus(DWORD* status) {
    if (!status) {
        return E_POINTER;
    }
    return Guarded("GetMiscStatus", [&] {
        *status = GetMiscStatusBits();
        return S_OK;
    });
}

HRESULT COleControl::GetClassID(CLSID* clsid) {
    if (!clsid) {
        return E_POINTER;
    }
    return Guarded("GetClassID", [&] {
        *clsid = GetClsid();
        return S_OK;
    });
}

HRESULT COleControl::InitNew() {
    return Guarded("InitNew", [&] {
        OnResetState();
        return S_OK;
    });
}

HRESULT COleControl::Load(const std::string& data) {
    return Guarded("Load", [&]() -> HRESULT {
        std::map<std::string, std::int32_t> values;
        if (!CPropExchange::Parse(data, &values)) {
            OnResetState();
            return E_INVALIDARG;
        }
        CPropExchange px = CPropExchange::ForLoading(std::move(values));
        DoPropExchange(&px);
        return S_OK;
    });
}

HRESULT COleControl::Save(std::string* data) {
    if (!data) {
        return E_POINTER;
    }
    return Guarded("Save", [&] {
        CPropExchange px = CPropExchange::ForSaving();
        DoPropExchange(&px);
        *data = px.Text();
        return S_OK;
    });
}

HRESULT COleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) {
        return E_POINTER;
    }
    *point = nullptr;
    if (!m_pEventPoint || !m_pEventsIid || !(iid == *m_pEventsIid)) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = m_pEventPoint.get();
    (*point)->AddRef();
    return S_OK;
}

LRESULT COleControl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProc(m_hWnd, msg, wParam, lParam);
}

void COleControl::DoPropExchange(CPropExchange* px) {
    ExchangeStockProps(px);
}

void COleControl::ExchangeStockProps(CPropExchange* px) {
    px->ExchangeLong("_ExtentX", m_cxExtent, m_rcBounds.right - m_rcBounds.left);
    px->ExchangeLong("_ExtentY", m_cyExtent, m_rcBounds.bottom - m_rcBounds.top);
    px->ExchangeLong("_StockProps", m_nStockProps, 0);
}

void COleControl::OnResetState() {
    CPropExchange px = CPropExchange::ForLoading({});
    DoPropExchange(&px);
}

void COleControl::InvalidateControl() {
    if (!m_hWnd) {
        return;
    }
    const RECT bounds{0, 0, m_rcBounds.right - m_rcBounds.left, m_rcBounds.bottom - m_rcBounds.top};
    CDC dc;
    OnDraw(&dc, bounds, bounds);
    ui::SetWindowDrawing(m_hWnd, ui::WindowDrawing{bounds, dc.Operations()});
}

HRESULT COleControl::OnProperties(HWND parent) {
    IUnknown* self = static_cast<IDispatch*>(this);
    const std::vector<CLSID> pages = GetPropPageIDs();
    return OleCreatePropertyFrame(parent, GetUserTypeName(), 1, &self,
                                  static_cast<ULONG>(pages.size()), pages.data(),
                                  LOCALE_USER_DEFAULT);
}

std::string COleControl::GetUserTypeName() const {
    return Module() ? Module()->LoadString(GetUserTypeNameID()) : std::string();
}

void COleControl::WindowDestroyed() {
    {
        std::lock_guard<std::mutex> lock(g_windowsMutex);
        ControlWindows().erase(m_hWnd);
    }
    ui::RemoveWindowDrawing(m_hWnd);
    m_hWnd = nullptr;
    if (std::exchange(m_bHoldsWindowRef, false)) {
        Release();  // may be the last reference: nothing of this object is used after it
    }
}

}  // namespace com
