// Modal dialogs from templates: the dialog window and its controls, the
// start, the nested loop and the end, and the member binding.
#include <cstdio>
#include <exception>
#include <utility>

#include "platform/ui/hosting.h"
#include "platform/ui/ui_internal.h"

using namespace ui::detail;

namespace {

struct Hosting {
    std::mutex mutex;
    ui::HostedControlFactory factory;
};

Hosting& HostingState() {
    static Hosting* hosting = new Hosting;
    return *hosting;
}

CDialog* DialogOf(HWND hwnd) {
    return WithWindow(hwnd, static_cast<CDialog*>(nullptr), [](Window& w) { return w.dialog; });
}

// Swaps the "message result was set" mark of a dialog window.
bool SwapResultMark(HWND hwnd, bool value) {
    return WithWindow(hwnd, false, [&](Window& w) { return std::exchange(w.msgResultSet, value); });
}

// Makes the hosted control at template position; the child it returns
// becomes a control of the dialog under the template's id.
bool HostControl(HWND dlg, const ControlTemplate& control) {
    ui::HostedControlFactory factory;
    {
        std::lock_guard<std::mutex> lock(HostingState().mutex);
        factory = HostingState().factory;
    }
    HWND child = nullptr;
    try {
        if (!factory || !factory(dlg, control, &child) || !child) {
            return false;
        }
    } catch (const std::exception& e) {
        // A control that fails this way fails like any other: the dialog ends with -1.
        std::fprintf(stderr, "telvora: hosted control %s: %s\n", control.clsid.c_str(), e.what());
        return false;
    }
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(child);
    if (!window || !FindWindowLocked(dlg)) {
        return false;
    }
    if (window->parent != dlg) {
        ReparentLocked(*window, dlg);
    }
    window->controlId = control.id;
    window->kind = ControlKind::HostedControl;
    return true;
}

}  // namespace

LRESULT DialogProcThunk(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = DialogOf(hwnd);
    if (!dialog) {
        return ::DefWindowProc(hwnd, msg, wParam, lParam);
    }
    // A dialog's handler that sets DWLP_MSGRESULT and reports the message as
    // handled gives that value as the message's result.
    bool outer = SwapResultMark(hwnd, false);
    LRESULT result = dialog->WindowProc(msg, wParam, lParam);
    bool set = SwapResultMark(hwnd, outer);
    if (set && result != 0) {
        return GetWindowLongPtr(hwnd, DWLP_MSGRESULT);
    }
    return result;
}

namespace ui {

void SetHostedControlFactory(HostedControlFactory factory) {
    std::lock_guard<std::mutex> lock(HostingState().mutex);
    HostingState().factory = std::move(factory);
}

}  // namespace ui

CDialog::CDialog(int templateId, HWND parent) : m_hParent(parent), m_nTemplateId(templateId) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    const DialogTemplate* found = FindDialogTemplate(m_nTemplateId);
    if (!found) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const DialogTemplate tmpl = *found;  // stays put while the dialog runs
    HWND owner = IsWindow(m_hParent) ? m_hParent : nullptr;

    HWND dlg = NewWindow(WindowType::Dialog, owner, &DialogProcThunk, tmpl.title, 0);
    if (!dlg) {
        return -1;
    }
    WithWindow(dlg, false, [&](Window& w) {
        w.templateId = tmpl.id;
        w.style = tmpl.style;
        w.dialog = this;
        return true;
    });
    // Controls in template order, so renderers can pair state and template.
    bool hosted = true;
    for (const ControlTemplate& control : tmpl.controls) {
        if (control.kind == ControlKind::HostedControl) {
            if (!HostControl(dlg, control)) {
                hosted = false;
                break;
            }
            continue;
        }
        HWND child = NewWindow(WindowType::Control, dlg, &ControlProc, control.text, control.id);
        WithWindow(child, false, [&](Window& w) {
            w.kind = control.kind;
            w.style = control.style;
            return true;
        });
    }
    if (!hosted) {
        // The control could not be made: the dialog never starts, and its
        // object sees no message at all.
        WithWindow(dlg, false, [](Window& w) {
            w.dialog = nullptr;
            return true;
        });
        DestroyWindow(dlg);
        return -1;
    }

    m_hWnd = dlg;
    m_bEnded = false;
    m_nResult = IDCANCEL;
    bool finished = false;
    // Renderers hear of the end and the windows go, also when the dialog is
    // left by ExitThread or an error.
    struct Closer {
        CDialog& dialog;
        bool& finished;
        ~Closer() {
            HWND hwnd = dialog.m_hWnd;
            NotifyDialogClosed(hwnd, finished ? dialog.m_nResult : -1);
            DestroyWindow(hwnd);
            dialog.m_hWnd = nullptr;
        }
    } closer{*this, finished};

    NotifyDialogOpened(dlg, tmpl, owner);
    SendMessage(dlg, WM_INITDIALOG, 0, 0);
    // A dialog that a pending quit will end at once is never offered for input.
    if (!m_bEnded && IsWindow(dlg) && !IsQuitPending()) {
        NotifyDialogStarted(dlg);
    }
    RunModalLoop([&] { return m_bEnded || !IsWindow(dlg); });
    if (!m_bEnded && !IsWindow(dlg)) {
        m_nResult = -1;  // the window was destroyed under the dialog
    }
    finished = true;
    return m_nResult;
}

void CDialog::EndDialog(INT_PTR result) {
    m_nResult = result;
    m_bEnded = true;
}

void CDialog::BindText(int controlId, std::string* member) {
    m_bindings.emplace_back(controlId, member);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    if (!m_hWnd) {
        return FALSE;
    }
    for (auto& [controlId, member] : m_bindings) {
        if (saveAndValidate) {
            *member = GetDlgItemText(m_hWnd, controlId);
        } else {
            SetDlgItemText(m_hWnd, controlId, *member);
        }
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
            break;
        case WM_CLOSE:
            OnCancel();
            return 0;
        default:
            break;
    }
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
        OnCancel();  // a dialog's close is its Cancel; the window itself stays to the end
        return 0;
    }
    return ::DefWindowProc(m_hWnd, msg, wParam, lParam);
}
