#include "corvane/corvane_prop_page.h"

#include "corvane/corvane_ids.h"
#include "platform/com/guard.h"

CCorvanePropPage::CCorvanePropPage(com::CComModule& module)
    : COlePropertyPage(module, IDD_PROPPAGE_CORVANE, IDS_CORVANE_PPG_CAPTION) {}

HRESULT CreateCorvanePropPage(com::CComModule& module, REFIID iid, void** object) {
    return com::Guarded("CCorvanePropPage", [&] {
        auto* page = new CCorvanePropPage(module);
        page->AddRef();
        HRESULT hr = page->QueryInterface(iid, object);
        page->Release();
        return hr;
    });
}
