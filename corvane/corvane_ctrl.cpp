#include "corvane/corvane_ctrl.h"

#include "corvane/autoplay_hook.h"
#include "corvane/corvane_ids.h"
#include "corvane/corvane_state.h"
#include "corvane/corvane_typelib.h"
#include "platform/com/guard.h"

namespace {

// The module's cache of its type library.
com::CTypeLibCache g_typeLibCache;

}  // namespace

CCorvaneCtrl::CCorvaneCtrl(com::CComModule& module) : COleControl(module) {
    InitializeIIDs(&IID__DCorvane, &IID__DCorvaneEvents);
    using com::CDispArgs;
    using com::CDispResult;
    using com::GuardedBody;
    SetDispatchMap({
        {dispidPutInfo, GuardedBody([this](const CDispArgs& a) {
             return CDispResult::Bool(PutInfo(a.String(0), a.String(1), a.Long(2)));
         })},
        {dispidDownload,
         GuardedBody([this](const CDispArgs&) { return CDispResult::Bool(Download()); })},
        {dispidHtmlInfo, GuardedBody([this](const CDispArgs& a) {
             return CDispResult::Bool(HtmlInfo(a.String(0)));
         })},
        {dispidGetCdDrive,
         GuardedBody([this](const CDispArgs&) { return CDispResult::String(GetCdDrive()); })},
        {dispidFindFile, GuardedBody([this](const CDispArgs& a) {
             return CDispResult::Bool(FindFile(a.String(0)));
         })},
        {dispidFindInfo, GuardedBody([this](const CDispArgs& a) {
             return CDispResult::String(FindInfo(a.String(0)));
         })},
        {dispidRightMFile, GuardedBody([this](const CDispArgs& a) {
             return CDispResult::String(RightMFile(a.String(0), a.String(1), a.String(2)));
         })},
        {DISPID_ABOUTBOX, GuardedBody([this](const CDispArgs&) {
             AboutBox();
             return CDispResult();
         })},
    });
    g_bUpdateIdle.store(1);
}

CCorvaneCtrl::~CCorvaneCtrl() {
    // A worker an earlier Download started runs to its end on its own; the
    // control does not wait for it here, and it is released once it ended.
    ReleaseWorker();
    RemoveAutoPlayHook();
}

void CCorvaneCtrl::AboutBox() {
    CDialog about(IDD_ABOUTBOX_CORVANE);
    about.DoModal();
}

const com::TypeLibraryInfo& CCorvaneCtrl::GetTypeLibraryData() const {
    return CorvaneTypeLib();
}

com::CTypeLibCache* CCorvaneCtrl::GetTypeLibCache() {
    return &g_typeLibCache;
}

HRESULT CCorvaneCtrl::GetTypeLib(LCID lcid, ITypeLib** library) {
    return LoadRegTypeLib(LIBID_CORVANELib, kCorvaneLibMajor, kCorvaneLibMinor, lcid, library);
}

LRESULT CCorvaneCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        InstallAutoPlayHookOnce(m_hWnd);
    } catch (...) {
        // Nothing escapes the module; the window works without the hook.
    }
    return COleControl::WindowProc(msg, wParam, lParam);
}

void CCorvaneCtrl::DoPropExchange(com::CPropExchange* px) {
    px->ExchangeVersion(m_dwPropVersion, kPropVersionCurrent);
    // Older property sets hold nothing of the control's own to convert.
    if (px->IsLoading() && m_dwPropVersion < kPropVersionCurrent) {
        m_dwPropVersion = kPropVersionCurrent;
    }
    COleControl::DoPropExchange(px);
}

void CCorvaneCtrl::OnResetState() {
    COleControl::OnResetState();
}

void CCorvaneCtrl::OnDraw(CDC* pdc, const RECT& rcBounds, const RECT&) {
    pdc->FillRect(rcBounds, GetStockBrush(WHITE_BRUSH));
    pdc->Ellipse(rcBounds);
}

CLSID CCorvaneCtrl::GetClsid() const {
    return CLSID_Corvane;
}

std::vector<CLSID> CCorvaneCtrl::GetPropPageIDs() const {
    return {CLSID_CorvanePropPage};
}

UINT CCorvaneCtrl::GetUserTypeNameID() const {
    return IDS_CORVANE;
}

DWORD CCorvaneCtrl::GetMiscStatusBits() const {
    return kCorvaneMiscStatus;
}

HRESULT CreateCorvaneCtrl(com::CComModule& module, REFIID iid, void** object) {
    return com::Guarded("CCorvaneCtrl", [&] {
        auto* control = new CCorvaneCtrl(module);
        IUnknown* unknown = static_cast<IDispatch*>(control);
        unknown->AddRef();
        HRESULT hr = unknown->QueryInterface(iid, object);
        unknown->Release();
        return hr;
    });
}
