// The interfaces between a control and the window (a dialog, a host
// program) that contains it: activation in a window of the container, verbs,
// persistence of the control's properties, connection points for events,
// and property pages.
#pragma once

#include <string>

#include "platform/com/unknown.h"
#include "platform/ui/drawing.h"
#include "platform/ui/ui.h"

enum : LONG {
    OLEIVERB_PRIMARY = 0,
    OLEIVERB_SHOW = -1,
    OLEIVERB_INPLACEACTIVATE = -5,
    OLEIVERB_PROPERTIES = -7,
};

inline constexpr IID IID_IOleControlWindow =
    com::MakeGuid("{5E165F4C-761A-47C1-A593-31974CF52C7F}");
inline constexpr IID IID_IPersistStreamInit =
    com::MakeGuid("{902285EA-A439-48B7-828A-EF0372FC6DBA}");
inline constexpr IID IID_IConnectionPointContainer =
    com::MakeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IConnectionPoint = com::MakeGuid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IPropertyPage = com::MakeGuid("{CAFD5EB2-2D8B-4419-8EC5-E9ACAAA3D406}");

// A control with a window of its own, activated inside a container window.
struct IOleControlWindow : IUnknown {
    // Makes the control's window as a child of parent with the given control
    // id, sized to bounds (the container's units), and shows it. The window
    // keeps the control alive until it is destroyed (with its parent, or by
    // InPlaceDeactivate). A second call returns the existing window.
    virtual HRESULT InPlaceActivate(HWND parent, int controlId, const RECT& bounds,
                                    HWND* window) = 0;
    virtual HRESULT InPlaceDeactivate() = 0;
    // E_FAIL while the control has no window.
    virtual HRESULT GetWindow(HWND* window) = 0;
    // OLEIVERB_PROPERTIES opens the control's property pages (parent owns
    // them); the activation verbs activate it in parent.
    virtual HRESULT DoVerb(LONG verb, HWND parent) = 0;
    virtual HRESULT GetMiscStatus(DWORD* status) = 0;

protected:
    ~IOleControlWindow() = default;
};

// The control's stored properties: a container keeps them (a dialog's initial
// data) and hands them back when it makes the control again.
struct IPersistStreamInit : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    // The properties' defaults.
    virtual HRESULT InitNew() = 0;
    // Properties saved by Save; a malformed text gives E_INVALIDARG and
    // leaves the defaults.
    virtual HRESULT Load(const std::string& data) = 0;
    virtual HRESULT Save(std::string* data) = 0;

protected:
    ~IPersistStreamInit() = default;
};

struct IConnectionPoint;

struct IConnectionPointContainer : IUnknown {
    // CONNECT_E_NOCONNECTION for an interface the object has no point for.
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    // The sink must answer the point's interface (or IDispatch); the point
    // holds a reference to it until Unadvise.
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;

protected:
    ~IConnectionPoint() = default;
};

struct PROPPAGEINFO {
    std::string title;  // GBK, the page's caption
    int templateId = 0;
    int cx = 0, cy = 0;  // dialog units
};

// A property page: a child dialog template shown in a property frame.
struct IPropertyPage : IUnknown {
    virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
    virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;
    // Writes what the page shows back to its objects.
    virtual HRESULT Apply() = 0;

protected:
    ~IPropertyPage() = default;
};
