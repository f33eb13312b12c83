// The window table and everything a window carries: procedures, text,
// progress, visibility and placement. Handles are numbers that are never
// reused, so a stale handle finds nothing and does no harm.
#include <algorithm>
#include <functional>
#include <unordered_map>

#include "platform/thread/thread.h"
#include "platform/ui/ui_internal.h"

namespace ui::detail {
namespace {

struct WindowTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> windows;
    std::uintptr_t next = 0x100;  // clear of HWND_TOP/BOTTOM/TOPMOST/NOTOPMOST
};

// Never destroyed: other threads may still use handles while the process ends.
WindowTable& Table() {
    static WindowTable* table = new WindowTable;
    return *table;
}

std::uintptr_t Key(HWND hwnd) {
    return reinterpret_cast<std::uintptr_t>(hwnd);
}

Window* ChildLocked(Window& parent, int controlId) {
    for (auto& child : parent.children) {
        if (child->controlId == controlId) {
            return child.get();
        }
    }
    return nullptr;
}

void DetachFromParentLocked(Window& window) {
    if (Window* parent = FindWindowLocked(window.parent)) {
        auto& list = parent->children;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const auto& c) { return c.get() == &window; }),
                   list.end());
    }
}

bool OnOwnerThread(HWND hwnd, bool* valid) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    *valid = window != nullptr;
    return window && window->threadId == GetCurrentThreadId();
}

int NormalisedShow(int cmd) {
    if (cmd == SW_HIDE) {
        return SW_HIDE;
    }
    return cmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
}

LRESULT ShowHere(HWND hwnd, int cmd) {
    bool wasVisible = false;
    bool notify = false;
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(hwnd);
        if (!window) {
            return FALSE;
        }
        wasVisible = window->visible;
        int state = NormalisedShow(cmd);
        // Programs show their window on every notice; renderers hear of changes only.
        notify = state != window->showState && window->type == WindowType::Dialog;
        window->showState = state;
        window->visible = state != SW_HIDE;
    }
    if (notify) {
        NotifyWindowShown(hwnd, cmd);
    }
    return wasVisible ? TRUE : FALSE;
}

LRESULT PlaceHere(HWND hwnd, const PlaceArgs& args) {
    HWND reported = nullptr;
    bool moved = (args.flags & SWP_NOMOVE) == 0;
    bool isDialog = false;
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(hwnd);
        if (!window) {
            return FALSE;
        }
        if ((args.flags & SWP_NOZORDER) == 0) {
            if (args.insertAfter == HWND_TOPMOST) {
                window->topmost = true;
                reported = HWND_TOPMOST;
            } else if (args.insertAfter == HWND_NOTOPMOST || args.insertAfter == HWND_BOTTOM) {
                window->topmost = false;
                reported = args.insertAfter;
            }
        }
        if (moved) {
            window->moved = true;
            window->x = args.x;
            window->y = args.y;
        }
        isDialog = window->type == WindowType::Dialog;
    }
    if (isDialog && (reported || moved)) {
        NotifyWindowPlaced(hwnd, reported, moved, args.x, args.y);
    }
    return TRUE;
}

LRESULT DeliverPress(HWND hwnd, int buttonId, bool answered) {
    WindowType type;
    HWND button = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(hwnd);
        if (!window) {
            return 0;
        }
        type = window->type;
        if (Window* child = ChildLocked(*window, buttonId)) {
            button = child->hwnd;
        }
    }
    if (type == WindowType::Dialog) {
        NotifyButtonPressed(hwnd, buttonId, answered);
    }
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(hwnd);
        if (!window) {
            return 0;
        }
        window->pressAnswered = answered;
        proc = window->proc;
    }
    LRESULT result = proc(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(buttonId), BN_CLICKED),
                          reinterpret_cast<LPARAM>(button));
    std::lock_guard<std::mutex> lock(WindowMutex());
    if (Window* window = FindWindowLocked(hwnd)) {
        window->pressAnswered = false;
    }
    return result;
}

LRESULT DeliverTextNotice(HWND hwnd, int controlId) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(hwnd);
        Window* child = window ? ChildLocked(*window, controlId) : nullptr;
        if (!child) {
            return 0;
        }
        text = child->text;
    }
    NotifyControlTextChanged(hwnd, controlId, text);
    return 0;
}

const char* ActionName(TimeoutAction action) {
    switch (action) {
        case TimeoutAction::Cancel:
            return "cancel";
        case TimeoutAction::Close:
            return "close";
        case TimeoutAction::Default:
            break;
    }
    return "default";
}

}  // namespace

std::mutex& WindowMutex() {
    return Table().mutex;
}

Window* FindWindowLocked(HWND hwnd) {
    auto& windows = Table().windows;
    auto it = windows.find(Key(hwnd));
    return it == windows.end() ? nullptr : it->second.get();
}

HWND NewWindow(WindowType type, HWND parent, WNDPROC proc, const std::string& text, int controlId) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    DWORD threadId = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* parentWindow = nullptr;
    if (parent) {
        parentWindow = FindWindowLocked(parent);
        if (!parentWindow) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    auto window = std::make_shared<Window>();
    window->hwnd = reinterpret_cast<HWND>(Table().next++);
    window->queue = std::move(queue);
    window->threadId = threadId;
    window->type = type;
    window->parent = parent;
    window->proc = proc ? proc : &::DefWindowProc;
    window->text = text;
    window->controlId = controlId;
    // A dialog's owner is its parent for GetParent, but only controls are
    // children (GetDlgItem, destruction with the parent).
    if (parentWindow && type != WindowType::Dialog) {
        parentWindow->children.push_back(window);
    }
    Table().windows.emplace(Key(window->hwnd), window);
    return window->hwnd;
}

void ReparentLocked(Window& window, HWND parent) {
    std::shared_ptr<Window> self = Table().windows.at(Key(window.hwnd));
    DetachFromParentLocked(window);
    window.parent = parent;
    FindWindowLocked(parent)->children.push_back(std::move(self));
}

LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kMsgPress:
            return DeliverPress(hwnd, static_cast<int>(wParam), lParam != 0);
        case kMsgTextNotice:
            return DeliverTextNotice(hwnd, static_cast<int>(wParam));
        case kMsgTimeoutNote:
            NotifyAnswerTimedOut(hwnd, ActionName(static_cast<TimeoutAction>(lParam)));
            return 0;
        case kMsgShow:
            return ShowHere(hwnd, static_cast<int>(wParam));
        case kMsgPlace:
            return PlaceHere(hwnd, *reinterpret_cast<const PlaceArgs*>(lParam));
        default:
            break;
    }
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(hwnd);
        if (!window) {
            return 0;  // destroyed while the message waited
        }
        proc = window->proc;
    }
    return proc(hwnd, msg, wParam, lParam);
}

void ForgetWindowsOf(DWORD threadId) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    auto& windows = Table().windows;
    std::vector<std::shared_ptr<Window>> gone;
    for (auto& [key, window] : windows) {
        if (window->threadId == threadId) {
            gone.push_back(window);
        }
    }
    for (auto& window : gone) {
        DetachFromParentLocked(*window);
        windows.erase(Key(window->hwnd));
    }
}

LRESULT ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND dialog = nullptr;
    int controlId = 0;
    switch (msg) {
        case PBM_SETRANGE: {
            std::lock_guard<std::mutex> lock(WindowMutex());
            Window* window = FindWindowLocked(hwnd);
            if (!window || window->kind != ControlKind::Progress) {
                return 0;
            }
            LRESULT previous = MAKELPARAM(static_cast<WORD>(window->rangeMin),
                                          static_cast<WORD>(window->rangeMax));
            window->rangeMin = LOWORD(static_cast<std::uintptr_t>(lParam));
            window->rangeMax = HIWORD(static_cast<std::uintptr_t>(lParam));
            return previous;
        }
        case PBM_SETPOS: {
            int pos = 0, previous = 0;
            {
                std::lock_guard<std::mutex> lock(WindowMutex());
                Window* window = FindWindowLocked(hwnd);
                if (!window || window->kind != ControlKind::Progress) {
                    return 0;
                }
                int low = std::min(window->rangeMin, window->rangeMax);
                int high = std::max(window->rangeMin, window->rangeMax);
                pos = std::clamp(static_cast<int>(static_cast<std::intptr_t>(wParam)), low, high);
                previous = window->pos;
                window->pos = pos;
                if (pos != previous && window->type == WindowType::Control) {
                    dialog = window->parent;
                    controlId = window->controlId;
                }
            }
            if (dialog) {
                NotifyProgressChanged(dialog, controlId, pos);
            }
            return previous;
        }
        case PBM_GETPOS: {
            std::lock_guard<std::mutex> lock(WindowMutex());
            Window* window = FindWindowLocked(hwnd);
            return window ? window->pos : 0;
        }
        case WM_SETTEXT: {
            std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            {
                std::lock_guard<std::mutex> lock(WindowMutex());
                Window* window = FindWindowLocked(hwnd);
                if (!window) {
                    return FALSE;
                }
                if (window->text != text && window->type == WindowType::Control) {
                    dialog = window->parent;
                    controlId = window->controlId;
                }
                window->text = text;
            }
            if (dialog) {
                NotifyControlTextChanged(dialog, controlId, text);
            }
            return TRUE;
        }
        default:
            return ::DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace ui::detail

using namespace ui::detail;

HWND CreateWindowWithProc(WNDPROC proc, HWND parent, const std::string& title, bool unicode,
                          int controlId) {
    HWND hwnd = NewWindow(WindowType::Plain, parent, proc, title, controlId);
    if (!hwnd) {
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        FindWindowLocked(hwnd)->unicode = unicode;
    }
    if (Deliver(hwnd, WM_CREATE, 0, 0) == -1) {  // the procedure refused the window
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
    std::vector<HWND> order;  // the window first, then its children, as the desktop system does
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(hwnd);
        if (!window) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (window->threadId != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (window->destroying) {
            return TRUE;
        }
        std::function<void(Window&)> collect = [&](Window& w) {
            w.destroying = true;
            order.push_back(w.hwnd);
            for (auto& child : w.children) {
                collect(*child);
            }
        };
        collect(*window);
    }
    // The windows leave the table even when a WM_DESTROY handler unwinds.
    struct Remover {
        const std::vector<HWND>& order;
        ~Remover() {
            std::lock_guard<std::mutex> lock(WindowMutex());
            if (Window* root = FindWindowLocked(order.front())) {
                DetachFromParentLocked(*root);
            }
            for (HWND h : order) {
                Table().windows.erase(Key(h));
            }
        }
    } remover{order};
    for (HWND h : order) {
        Deliver(h, WM_DESTROY, 0, 0);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    return FindWindowLocked(hwnd) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    return window ? window->parent : nullptr;
}

BOOL IsWindowUnicode(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    return window && window->unicode ? TRUE : FALSE;
}

DWORD GetWindowThreadId(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    return window ? window->threadId : 0;
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SETTEXT: {
            std::lock_guard<std::mutex> lock(WindowMutex());
            Window* window = FindWindowLocked(hwnd);
            if (!window) {
                return FALSE;
            }
            window->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
            return TRUE;
        }
        default:
            return 0;
    }
}

namespace {

LONG_PTR SetLong(HWND hwnd, int index, LONG_PTR value, bool unicode) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    switch (index) {
        case GWLP_WNDPROC:
            previous = reinterpret_cast<LONG_PTR>(window->proc);
            window->proc = value ? reinterpret_cast<WNDPROC>(value) : &::DefWindowProc;
            // The call that installs a procedure decides how the window takes text.
            window->unicode = unicode;
            return previous;
        case GWLP_USERDATA:
            previous = window->userData;
            window->userData = value;
            return previous;
        case DWLP_MSGRESULT:
            previous = window->msgResult;
            window->msgResult = value;
            window->msgResultSet = true;
            return previous;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

}  // namespace

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    return SetLong(hwnd, index, value, false);
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    return SetLong(hwnd, index, value, true);
}

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(window->proc);
        case GWLP_USERDATA:
            return window->userData;
        case DWLP_MSGRESULT:
            return window->msgResult;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

// Texts are GBK on both sides, so the narrow and wide calls differ only in name.
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    bool valid = false;
    if (OnOwnerThread(hwnd, &valid)) {
        return static_cast<BOOL>(ShowHere(hwnd, cmd));
    }
    if (!valid) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Renderers hear of a window on its own thread.
    return static_cast<BOOL>(SendMessage(hwnd, kMsgShow, static_cast<WPARAM>(cmd), 0));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    PlaceArgs args{insertAfter, x, y, cx, cy, flags};
    bool valid = false;
    if (OnOwnerThread(hwnd, &valid)) {
        return static_cast<BOOL>(PlaceHere(hwnd, args));
    }
    if (!valid) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(SendMessage(hwnd, kMsgPlace, 0, reinterpret_cast<LPARAM>(&args)));
}

BOOL SetWindowText(HWND hwnd, const std::string& text) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? TRUE : FALSE;
}

std::string GetWindowText(HWND hwnd) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    return window ? window->text : std::string();
}

HWND GetDlgItem(HWND dialog, int controlId) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(dialog);
    Window* child = window ? ChildLocked(*window, controlId) : nullptr;
    if (!child) {
        SetLastError(window ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return child->hwnd;
}

int GetDlgCtrlID(HWND control) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(control);
    return window ? window->controlId : 0;
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

namespace ui {

bool GetWindowState(HWND hwnd, WindowState* state) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    if (!window || !state) {
        return false;
    }
    state->hwnd = hwnd;
    state->templateId = window->templateId;
    state->title = window->text;
    state->visible = window->visible;
    state->topmost = window->topmost;
    state->moved = window->moved;
    state->x = window->x;
    state->y = window->y;
    state->controls.clear();
    for (auto& child : window->children) {
        ControlState control;
        control.id = child->controlId;
        control.text = child->text;
        control.pos = child->pos;
        control.rangeMin = child->rangeMin;
        control.rangeMax = child->rangeMax;
        control.visible = child->visible;
        state->controls.push_back(std::move(control));
    }
    return true;
}

void PressButton(HWND window, int buttonId, bool answered) {
    PostMessage(window, kMsgPress, static_cast<WPARAM>(buttonId), answered ? 1 : 0);
}

void TypeText(HWND dlg, int controlId, const std::string& gbk) {
    {
        std::lock_guard<std::mutex> lock(WindowMutex());
        Window* window = FindWindowLocked(dlg);
        Window* child = window ? ChildLocked(*window, controlId) : nullptr;
        if (!child || child->text == gbk) {
            return;
        }
        child->text = gbk;
    }
    // Renderers hear of it on the dialog's thread, in order with what follows.
    PostMessage(dlg, kMsgTextNotice, static_cast<WPARAM>(controlId), 0);
}

void RequestClose(HWND window) {
    PostMessage(window, WM_CLOSE, 0, 0);
}

void ReportAnswerTimeout(HWND window, const char* action) {
    std::string name = action ? action : "";
    TimeoutAction code = name == "cancel"  ? TimeoutAction::Cancel
                         : name == "close" ? TimeoutAction::Close
                                           : TimeoutAction::Default;
    PostMessage(window, kMsgTimeoutNote, 0, static_cast<LPARAM>(code));
}

}  // namespace ui
