// The window table: handles, ownership, parents and children, and the
// delivery of a message to a window's procedure. Handles are numbers that
// are never reused, so a stale handle finds nothing and does no harm.
#include <algorithm>
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

void DetachFromParentLocked(Window& window) {
    if (Window* parent = FindWindowLocked(window.parent)) {
        auto& list = parent->children;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const auto& c) { return c.get() == &window; }),
                   list.end());
    }
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

Window* ChildLocked(Window& parent, int controlId) {
    for (auto& child : parent.children) {
        if (child->controlId == controlId) {
            return child.get();
        }
    }
    return nullptr;
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

void RemoveWindowsLocked(const std::vector<HWND>& windows) {
    if (windows.empty()) {
        return;
    }
    if (Window* root = FindWindowLocked(windows.front())) {
        DetachFromParentLocked(*root);
    }
    for (HWND h : windows) {
        Table().windows.erase(Key(h));
    }
}

HWND ActiveDialogOf(DWORD threadId) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    // Handles grow with each window made: the newest shown dialog is the one
    // the user works in.
    std::uintptr_t newest = 0;
    for (const auto& [key, window] : Table().windows) {
        if (window->threadId == threadId && window->type == WindowType::Dialog && window->visible &&
            !window->destroying && key > newest)
            newest = key;
    }
    return reinterpret_cast<HWND>(newest);
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

LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kMsgPress:
            return DeliverPress(hwnd, static_cast<int>(wParam), lParam != 0);
        case kMsgTextNotice:
            return DeliverTextNotice(hwnd, static_cast<int>(wParam));
        case kMsgTimeoutNote:
            return DeliverTimeoutNote(hwnd, static_cast<TimeoutAction>(lParam));
        case kMsgShow:
            return ShowHere(hwnd, static_cast<int>(wParam));
        case kMsgPlace:
            return PlaceHere(hwnd, *reinterpret_cast<const PlaceArgs*>(lParam));
        default:
            break;
    }
    // A window destroyed while the message waited gets nothing.
    WNDPROC proc = WithWindow(hwnd, WNDPROC{nullptr}, [](Window& w) { return w.proc; });
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

}  // namespace ui::detail
