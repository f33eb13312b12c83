// The window calls programs make: creation and destruction, procedures and
// user data, text, visibility and placement. Every look at a window goes
// through WithWindow, so a stale handle finds nothing and does no harm.
#include <functional>

#include "platform/thread/thread.h"
#include "platform/ui/ui_internal.h"

using namespace ui::detail;

namespace {

// True when hwnd belongs to the calling thread; *valid tells whether it exists.
bool OnOwnerThread(HWND hwnd, bool* valid) {
    DWORD owner = WithWindow(hwnd, DWORD{0}, [](Window& w) { return w.threadId; });
    *valid = owner != 0;
    return owner == GetCurrentThreadId();
}

int NormalisedShow(int cmd) {
    if (cmd == SW_HIDE) {
        return SW_HIDE;
    }
    return cmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
}

// Runs here when hwnd is the calling thread's, else is sent to its thread so
// that the renderers hear of the window on that thread.
template <class Here>
BOOL OnWindowThread(HWND hwnd, UINT coreMsg, WPARAM wParam, LPARAM lParam, Here here) {
    bool valid = false;
    if (OnOwnerThread(hwnd, &valid)) {
        return static_cast<BOOL>(here());
    }
    if (!valid) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(SendMessage(hwnd, coreMsg, wParam, lParam));
}

LONG_PTR SetLong(HWND hwnd, int index, LONG_PTR value, bool unicode) {
    DWORD error = ERROR_INVALID_HANDLE;
    LONG_PTR previous = WithWindow(hwnd, LONG_PTR{0}, [&](Window& w) -> LONG_PTR {
        LONG_PTR old = 0;
        error = ERROR_SUCCESS;
        switch (index) {
            case GWLP_WNDPROC:
                old = reinterpret_cast<LONG_PTR>(w.proc);
                w.proc = value ? reinterpret_cast<WNDPROC>(value) : &::DefWindowProc;
                // The call that installs a procedure decides how the window takes text.
                w.unicode = unicode;
                return old;
            case GWLP_USERDATA:
                old = w.userData;
                w.userData = value;
                return old;
            case DWLP_MSGRESULT:
                old = w.msgResult;
                w.msgResult = value;
                w.msgResultSet = true;
                return old;
            default:
                error = ERROR_INVALID_PARAMETER;
                return 0;
        }
    });
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
    }
    return previous;
}

}  // namespace

namespace ui::detail {

LRESULT ShowHere(HWND hwnd, int cmd) {
    struct Change {
        bool wasVisible = false;
        bool notify = false;
    };
    std::optional<Change> change = WithWindow(hwnd, std::optional<Change>(), [&](Window& w) {
        Change c;
        c.wasVisible = w.visible;
        int state = NormalisedShow(cmd);
        // Programs show their window on every notice; renderers hear of changes only.
        c.notify = state != w.showState && w.type == WindowType::Dialog;
        w.showState = state;
        w.visible = state != SW_HIDE;
        return std::optional<Change>(c);
    });
    if (!change) {
        return FALSE;
    }
    if (change->notify) {
        NotifyWindowShown(hwnd, cmd);
    }
    return change->wasVisible ? TRUE : FALSE;
}

LRESULT PlaceHere(HWND hwnd, const PlaceArgs& args) {
    HWND reported = nullptr;
    bool moved = (args.flags & SWP_NOMOVE) == 0;
    bool isDialog = false;
    bool valid = WithWindow(hwnd, false, [&](Window& w) {
        if ((args.flags & SWP_NOZORDER) == 0) {
            if (args.insertAfter == HWND_TOPMOST) {
                w.topmost = true;
                reported = HWND_TOPMOST;
            } else if (args.insertAfter == HWND_NOTOPMOST || args.insertAfter == HWND_BOTTOM) {
                w.topmost = false;
                reported = args.insertAfter;
            }
        }
        if (moved) {
            w.moved = true;
            w.x = args.x;
            w.y = args.y;
        }
        isDialog = w.type == WindowType::Dialog;
        return true;
    });
    if (!valid) {
        return FALSE;
    }
    if (isDialog && (reported || moved)) {
        NotifyWindowPlaced(hwnd, reported, moved, args.x, args.y);
    }
    return TRUE;
}

}  // namespace ui::detail

HWND CreateWindowWithProc(WNDPROC proc, HWND parent, const std::string& title, bool unicode,
                          int controlId) {
    HWND hwnd = NewWindow(WindowType::Plain, parent, proc, title, controlId);
    if (!hwnd) {
        return nullptr;
    }
    WithWindow(hwnd, false, [&](Window& w) { return w.unicode = unicode; });
    if (Deliver(hwnd, WM_CREATE, 0, 0) == -1) {  // the procedure refused the window
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    std::vector<HWND> order;  // the window first, then its children, as the desktop system does
    DWORD error = WithWindow(hwnd, DWORD{ERROR_INVALID_HANDLE}, [&](Window& w) -> DWORD {
        if (w.threadId != GetCurrentThreadId()) {
            return ERROR_ACCESS_DENIED;
        }
        if (w.destroying) {
            return ERROR_SUCCESS;
        }
        std::function<void(Window&)> collect = [&](Window& each) {
            each.destroying = true;
            order.push_back(each.hwnd);
            for (auto& child : each.children) {
                collect(*child);
            }
        };
        collect(w);
        return ERROR_SUCCESS;
    });
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    // The windows leave the table even when a WM_DESTROY handler unwinds.
    struct Remover {
        const std::vector<HWND>& order;
        ~Remover() {
            std::lock_guard<std::mutex> lock(WindowMutex());
            RemoveWindowsLocked(order);
        }
    } remover{order};
    for (HWND h : order) {
        Deliver(h, WM_DESTROY, 0, 0);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    return WithWindow(hwnd, BOOL{FALSE}, [](Window&) { return TRUE; });
}

HWND GetParent(HWND hwnd) {
    return WithWindow(hwnd, HWND{nullptr}, [](Window& w) { return w.parent; });
}

BOOL IsWindowUnicode(HWND hwnd) {
    return WithWindow(hwnd, BOOL{FALSE}, [](Window& w) { return w.unicode ? TRUE : FALSE; });
}

DWORD GetWindowThreadId(HWND hwnd) {
    return WithWindow(hwnd, DWORD{0}, [](Window& w) { return w.threadId; });
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SETTEXT:
            return WithWindow(hwnd, LRESULT{FALSE}, [&](Window& w) {
                w.text = lParam ? reinterpret_cast<const char*>(lParam) : "";
                return LRESULT{TRUE};
            });
        default:
            return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    return SetLong(hwnd, index, value, false);
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    return SetLong(hwnd, index, value, true);
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    DWORD error = ERROR_INVALID_HANDLE;
    LONG_PTR value = WithWindow(hwnd, LONG_PTR{0}, [&](Window& w) -> LONG_PTR {
        error = ERROR_SUCCESS;
        switch (index) {
            case GWLP_WNDPROC:
                return reinterpret_cast<LONG_PTR>(w.proc);
            case GWLP_USERDATA:
                return w.userData;
            case DWLP_MSGRESULT:
                return w.msgResult;
            default:
                error = ERROR_INVALID_PARAMETER;
                return 0;
        }
    });
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
    }
    return value;
}

// Texts are GBK on both sides, so the narrow and wide calls differ only in name.
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    return OnWindowThread(hwnd, kMsgShow, static_cast<WPARAM>(cmd), 0,
                          [&] { return ShowHere(hwnd, cmd); });
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    PlaceArgs args{insertAfter, x, y, cx, cy, flags};
    return OnWindowThread(hwnd, kMsgPlace, 0, reinterpret_cast<LPARAM>(&args),
                          [&] { return PlaceHere(hwnd, args); });
}

BOOL SetWindowText(HWND hwnd, const std::string& text) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? TRUE : FALSE;
}

std::string GetWindowText(HWND hwnd) {
    return WithWindow(hwnd, std::string(), [](Window& w) { return w.text; });
}

HWND GetDlgItem(HWND dialog, int controlId) {
    DWORD error = ERROR_INVALID_HANDLE;
    HWND child = WithWindow(dialog, HWND{nullptr}, [&](Window& w) -> HWND {
        Window* c = ChildLocked(w, controlId);
        error = ERROR_INVALID_PARAMETER;
        return c ? c->hwnd : nullptr;
    });
    if (!child) {
        SetLastError(error);
    }
    return child;
}

int GetDlgCtrlID(HWND control) {
    return WithWindow(control, 0, [](Window& w) { return w.controlId; });
}

BOOL SetDlgItemText(HWND dialog, int controlId, const std::string& text) {
    HWND child = GetDlgItem(dialog, controlId);
    return child ? SetWindowText(child, text) : FALSE;
}

std::string GetDlgItemText(HWND dialog, int controlId) {
    return GetWindowText(GetDlgItem(dialog, controlId));
}

LRESULT SendDlgItemMessage(HWND dialog, int controlId, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND child = GetDlgItem(dialog, controlId);
    return child ? SendMessage(child, msg, wParam, lParam) : 0;
}
