// The framework's control base class: an object with a dispatch interface
// described by its module's type library, a window of its own inside a
// container, a drawing, stored properties, an event connection point and
// property pages. A control class derives from COleControl, gives its
// dispatch bodies in its constructor and overrides what it needs.
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/com/com_module.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/ole_interfaces.h"
#include "platform/com/prop_exchange.h"
#include "platform/ui/drawing.h"

namespace com {

// A module keeps one per type library: the library once loaded, for every
// control of that module.
class CTypeLibCache {
public:
    // S_OK with a new reference when a library is cached for lcid.
    HRESULT Lookup(LCID lcid, ITypeLib** library);
    void Cache(LCID lcid, ITypeLib* library);

private:
    std::mutex m_mutex;
    LCID m_lcid = 0;
    CComPtr<ITypeLib> m_library;
};

class COleControl : public IDispatch,
                    public IOleControlWindow,
                    public IPersistStreamInit,
                    public IConnectionPointContainer,
                    public CComObjectRoot {
public:
    // IUnknown
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, UINT* argError) override;

    // IOleControlWindow
    HRESULT InPlaceActivate(HWND parent, int controlId, const RECT& bounds, HWND* window) override;
    HRESULT InPlaceDeactivate() override;
    HRESULT GetWindow(HWND* window) override;
    HRESULT DoVerb(LONG verb, HWND parent) override;
    HRESULT GetMiscStatus(DWORD* status) override;

    // IPersistStreamInit
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT InitNew() override;
    HRESULT Load(const std::string& data) override;
    HRESULT Save(std::string* data) override;

    // IConnectionPointContainer
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    explicit COleControl(CComModule& module);
    ~COleControl() override;

    // Constructor: the dispatch interface (described in the module's type
    // library) and the event interface of the control.
    void InitializeIIDs(const IID* dispatchIid, const IID* eventsIid);
    void SetDispatchMap(std::vector<DispatchEntry> entries);

    // What the class tells the framework.
    virtual const TypeLibraryInfo& GetTypeLibraryData() const = 0;
    virtual UINT GetTypeInfoCountOf() { return 1; }
    virtual CTypeLibCache* GetTypeLibCache() = 0;
    // Loads the control's type library for a locale.
    virtual HRESULT GetTypeLib(LCID lcid, ITypeLib** library) = 0;
    // The control window's procedure; the default handles nothing.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Saves or loads the properties: the default exchanges the framework's
    // stock properties (the extent and the stock-property set).
    virtual void DoPropExchange(CPropExchange* px);
    // The default loads every property's default.
    virtual void OnResetState();
    // Draws the control into dc within bounds.
    virtual void OnDraw(CDC* dc, const RECT& bounds, const RECT& invalid) {}
    virtual CLSID GetClsid() const = 0;
    virtual std::vector<CLSID> GetPropPageIDs() const { return {}; }
    // The string resource of the user type name.
    virtual UINT GetUserTypeNameID() const = 0;
    virtual DWORD GetMiscStatusBits() const { return 0; }

    // The stock properties, for DoPropExchange overrides.
    void ExchangeStockProps(CPropExchange* px);
    // Records the drawing again (after a change that shows).
    void InvalidateControl();
    // The properties verb: the control's property pages in a frame.
    HRESULT OnProperties(HWND parent);
    std::string GetUserTypeName() const;

    HWND m_hWnd = nullptr;

private:
    class CEventPoint;
    friend LRESULT ControlWindowThunk(HWND, UINT, WPARAM, LPARAM);
    void WindowDestroyed();

    const IID* m_pDispatchIid = nullptr;
    const IID* m_pEventsIid = nullptr;
    CDispatchImpl m_dispatch;
    std::unique_ptr<CEventPoint> m_pEventPoint;
    RECT m_rcBounds{0, 0, 60, 25};
    std::int32_t m_cxExtent = 60;
    std::int32_t m_cyExtent = 25;
    std::int32_t m_nStockProps = 0;  // no stock property is declared
    bool m_bHoldsWindowRef = false;
};

}  // namespace com
