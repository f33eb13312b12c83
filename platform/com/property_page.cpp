#include "platform/com/property_page.h"

#include "platform/com/guard.h"

namespace com {

COlePropertyPage::COlePropertyPage(CComModule& module, int templateId, unsigned captionId)
    : CComObjectRoot(&module), m_nTemplateId(templateId), m_nCaptionId(captionId) {}

COlePropertyPage::~COlePropertyPage() {
    ReleaseObjects();
}

HRESULT COlePropertyPage::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IPropertyPage) {
        *object = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT COlePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) {
        return E_POINTER;
    }
    return Guarded("GetPageInfo", [&]() -> HRESULT {
        const DialogTemplate* page = FindDialogTemplate(m_nTemplateId);
        if (!page) {
            return E_FAIL;
        }
        info->title = Module()->LoadString(m_nCaptionId);
        info->templateId = m_nTemplateId;
        info->cx = page->cx;
        info->cy = page->cy;
        return S_OK;
    });
}

HRESULT COlePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count != 0 && !objects) {
        return E_POINTER;
    }
    return Guarded("SetObjects", [&] {
        ReleaseObjects();
        m_objects.reserve(count);
        for (ULONG i = 0; i < count; ++i) {
            if (objects[i]) {
                objects[i]->AddRef();
                m_objects.push_back(objects[i]);
            }
        }
        return S_OK;
    });
}

HRESULT COlePropertyPage::Apply() {
    return Guarded("Apply", [&] {
        OnApply();
        return S_OK;
    });
}

void COlePropertyPage::ReleaseObjects() {
    for (IUnknown* object : m_objects) {
        object->Release();
    }
    m_objects.clear();
}

}  // namespace com
