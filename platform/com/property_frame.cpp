#include "platform/com/property_frame.h"

#include <mutex>
#include <set>

#include "platform/com/create.h"
#include "platform/com/guard.h"

namespace {

constexpr int kMargin = 7;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 6;
constexpr int kGroupInset = 6;
constexpr int kGroupTitle = 10;

// The frame around a page: the page's controls inside a group box that
// carries the page's caption, the three buttons below.
DialogTemplate FrameTemplate(const DialogTemplate& page, const std::string& caption,
                             const std::string& pageTitle) {
    const int groupCx = page.cx + 2 * kGroupInset;
    const int groupCy = page.cy + kGroupTitle + kGroupInset;
    const int cx = std::max(groupCx, 3 * kButtonWidth + 2 * kButtonGap) + 2 * kMargin;
    const int buttonsY = kMargin + groupCy + kMargin;
    const int cy = buttonsY + kButtonHeight + kMargin;
    DialogTemplate frame =
        MakeDialog(com::kPropertyFrameBase + page.id, caption + " 属性", cx, cy,
                   DS_MODALFRAME | WS_CAPTION | WS_SYSMENU, page.fontName, page.fontSize);
    frame.controls.push_back(MakeControl(ControlKind::GroupBox, IDC_STATIC, pageTitle, kMargin,
                                         kMargin, groupCx, groupCy));
    for (ControlTemplate control : page.controls) {
        control.x += kMargin + kGroupInset;
        control.y += kMargin + kGroupTitle;
        frame.controls.push_back(control);
    }
    int x = cx - kMargin - 3 * kButtonWidth - 2 * kButtonGap;
    frame.controls.push_back(MakeControl(ControlKind::DefPushButton, IDOK, "确定", x, buttonsY,
                                         kButtonWidth, kButtonHeight, WS_TABSTOP));
    x += kButtonWidth + kButtonGap;
    frame.controls.push_back(MakeControl(ControlKind::PushButton, IDCANCEL, "取消", x, buttonsY,
                                         kButtonWidth, kButtonHeight, WS_TABSTOP));
    x += kButtonWidth + kButtonGap;
    frame.controls.push_back(MakeControl(ControlKind::PushButton, com::kApplyButton, "应用(&A)", x,
                                         buttonsY, kButtonWidth, kButtonHeight, WS_TABSTOP));
    return frame;
}

class CPropertyFrameDlg : public CDialog {
public:
    CPropertyFrameDlg(int templateId, HWND owner, IPropertyPage* page)
        : CDialog(templateId, owner), m_pPage(page) {}

protected:
    void OnOK() override {
        m_pPage->Apply();
        CDialog::OnOK();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && LOWORD(wParam) == com::kApplyButton) {
            m_pPage->Apply();
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }

private:
    IPropertyPage* m_pPage;
};

// Registers a frame template once per page and caption: a template
// registered again is kept alive by the window core, so re-registering on
// every showing would only grow.
bool EnsureFrameTemplate(int pageTemplateId, const std::string& caption,
                         const std::string& pageTitle) {
    static std::mutex mutex;
    static std::set<std::string> registered;
    const DialogTemplate* page = FindDialogTemplate(pageTemplateId);
    if (!page) {
        return false;
    }
    const std::string key = std::to_string(pageTemplateId) + '\n' + caption + '\n' + pageTitle;
    std::lock_guard<std::mutex> lock(mutex);
    if (registered.insert(key).second || !FindDialogTemplate(com::kPropertyFrameBase + page->id)) {
        RegisterDialogTemplate(FrameTemplate(*page, caption, pageTitle));
    }
    return true;
}

}  // namespace

HRESULT OleCreatePropertyFrame(HWND owner, const std::string& caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pages, LCID) {
    if (pageCount == 0) {
        return S_OK;
    }
    if (!pages || (objectCount != 0 && !objects)) {
        return E_POINTER;
    }
    return com::Guarded("OleCreatePropertyFrame", [&]() -> HRESULT {
        CComPtr<IPropertyPage> page;
        HRESULT hr = CoCreateInstance(pages[0], nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                      page.Out());
        if (FAILED(hr)) {
            return hr;
        }
        hr = page->SetObjects(objectCount, objects);
        if (FAILED(hr)) {
            return hr;
        }
        PROPPAGEINFO info;
        hr = page->GetPageInfo(&info);
        if (FAILED(hr)) {
            return hr;
        }
        if (!EnsureFrameTemplate(info.templateId, caption, info.title)) {
            return E_FAIL;
        }
        CPropertyFrameDlg frame(com::kPropertyFrameBase + info.templateId, owner, page.get());
        INT_PTR result = frame.DoModal();
        page->SetObjects(0, nullptr);
        return result == -1 ? E_FAIL : S_OK;
    });
}
