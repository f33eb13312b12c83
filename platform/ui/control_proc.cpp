// The procedure of a dialog's controls: progress range and position, and
// text. Renderers hear of a change only when the value really changes.
#include <algorithm>

#include "platform/ui/ui_internal.h"

namespace ui::detail {
namespace {

// Where a control's change is reported: its dialog and its id, or a null
// dialog when nothing is to be reported.
struct Report {
    HWND dialog = nullptr;
    int controlId = 0;
};

Report ReportFor(const Window& window, bool changed) {
    if (!changed || window.type != WindowType::Control) {
        return {};
    }
    return {window.parent, window.controlId};
}

LRESULT SetRange(HWND hwnd, LPARAM lParam) {
    return WithWindow(hwnd, LRESULT{0}, [&](Window& w) -> LRESULT {
        if (w.kind != ControlKind::Progress) {
            return 0;
        }
        LRESULT previous = MAKELPARAM(static_cast<WORD>(w.rangeMin), static_cast<WORD>(w.rangeMax));
        w.rangeMin = LOWORD(static_cast<std::uintptr_t>(lParam));
        w.rangeMax = HIWORD(static_cast<std::uintptr_t>(lParam));
        return previous;
    });
}

LRESULT SetPos(HWND hwnd, WPARAM wParam) {
    Report report;
    int pos = 0;
    LRESULT previous = WithWindow(hwnd, LRESULT{0}, [&](Window& w) -> LRESULT {
        if (w.kind != ControlKind::Progress) {
            return 0;
        }
        int low = std::min(w.rangeMin, w.rangeMax);
        int high = std::max(w.rangeMin, w.rangeMax);
        pos = std::clamp(static_cast<int>(static_cast<std::intptr_t>(wParam)), low, high);
        int old = w.pos;
        w.pos = pos;
        report = ReportFor(w, pos != old);
        return old;
    });
    if (report.dialog) {
        NotifyProgressChanged(report.dialog, report.controlId, pos);
    }
    return previous;
}

LRESULT SetText(HWND hwnd, LPARAM lParam) {
    std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
    Report report;
    BOOL ok = WithWindow(hwnd, BOOL{FALSE}, [&](Window& w) {
        report = ReportFor(w, w.text != text);
        w.text = text;
        return TRUE;
    });
    if (report.dialog) {
        NotifyControlTextChanged(report.dialog, report.controlId, text);
    }
    return ok;
}

}  // namespace

LRESULT ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case PBM_SETRANGE:
            return SetRange(hwnd, lParam);
        case PBM_SETPOS:
            return SetPos(hwnd, wParam);
        case PBM_GETPOS:
            return WithWindow(hwnd, LRESULT{0}, [](Window& w) { return LRESULT{w.pos}; });
        case WM_SETTEXT:
            return SetText(hwnd, lParam);
        default:
            return ::DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace ui::detail
