// Inside the window core: thread queues, the window table and the fan-out to
// the renderers. Not for code outside platform/ui.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/renderer.h"
#include "platform/ui/ui.h"

namespace ui::detail {

// Messages the core posts to itself. They lie above the 16-bit range of real
// window messages, so no program's message can collide with them, and they
// never reach a window procedure.
enum : UINT {
    kMsgPress = 0x10000,  // wParam button id, lParam answered
    kMsgTextNotice,       // wParam control id: tell renderers its (typed) text
    kMsgTimeoutNote,      // lParam TimeoutAction
    kMsgShow,             // sent across threads: wParam show command
    kMsgPlace,            // sent across threads: lParam const PlaceArgs*
};

enum class TimeoutAction : LPARAM { Cancel, Close, Default };

struct PlaceArgs {
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
};

struct SentMessage;

// One per thread that uses messages. Posted messages and the quit request are
// the owner's; sent messages come from other threads and are handled whenever
// the owner looks at its queue (or waits for a send of its own).
struct ThreadQueue {
    DWORD threadId = 0;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::size_t postedQuits = 0;  // WM_QUIT messages among posted
    bool quitPending = false;
    int quitCode = 0;
    bool alive = true;
    // Owner thread only: the code of the last WM_QUIT a loop retrieved.
    bool hadQuit = false;
    int lastQuitCode = 0;
};

struct SentMessage {
    MSG msg;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;  // done and result are under its mutex
};

// The calling thread's queue, made on first use.
const std::shared_ptr<ThreadQueue>& CurrentQueue();
// Queue a message (false when the thread has ended).
bool Post(ThreadQueue& queue, const MSG& msg);
// Set the quit request unless one is pending already: a modal loop that met a
// quit passes it on this way without overriding a later request.
void PassQuitOn(int code);
// The code of the quit that a loop of this thread retrieved last (0: none).
int LastQuitCode();

enum class WindowType { Plain, Dialog, Control, MessageBox };

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<ThreadQueue> queue;
    DWORD threadId = 0;
    WindowType type = WindowType::Plain;
    HWND parent = nullptr;
    std::vector<std::shared_ptr<Window>> children;  // creation order
    WNDPROC proc = nullptr;
    bool unicode = false;
    bool destroying = false;
    LONG_PTR userData = 0;
    LONG_PTR msgResult = 0;
    bool msgResultSet = false;
    int controlId = 0;
    ControlKind kind = ControlKind::Static;
    DWORD style = 0;
    std::string text;
    int pos = 0, rangeMin = 0, rangeMax = 100;
    bool visible = true;
    int showState = SW_SHOWNORMAL;  // normalised: SW_HIDE, SW_SHOWNORMAL, SW_SHOWMAXIMIZED
    bool topmost = false, moved = false;
    int x = 0, y = 0;
    int templateId = 0;
    CDialog* dialog = nullptr;
    bool pressAnswered = false;  // during a press from a renderer
};

// The process-wide table of windows. Every field of a Window is read and
// written under this mutex; nothing is called while it is held.
std::mutex& WindowMutex();
// Under WindowMutex: the window, or null for a stale or unknown handle.
Window* FindWindowLocked(HWND hwnd);

// The one way to look at a window from outside the table: fn(Window&) runs
// under WindowMutex when hwnd names a window, and its result is returned;
// a stale or unknown handle gives fallback without calling fn.
template <class R, class Fn>
R WithWindow(HWND hwnd, R fallback, Fn&& fn) {
    std::lock_guard<std::mutex> lock(WindowMutex());
    Window* window = FindWindowLocked(hwnd);
    return window ? static_cast<R>(fn(*window)) : fallback;
}
// Under WindowMutex: the child of parent with that control id, or null.
Window* ChildLocked(Window& parent, int controlId);
// Make a window owned by the calling thread (no WM_CREATE); the parent, when
// given, must be valid. Null (with last error) otherwise.
HWND NewWindow(WindowType type, HWND parent, WNDPROC proc, const std::string& text, int controlId);
// Under WindowMutex: make window a child of parent (a valid window).
void ReparentLocked(Window& window, HWND parent);
// Under WindowMutex: take the windows out of the table; the first one is
// also detached from its parent (the rest are its descendants).
void RemoveWindowsLocked(const std::vector<HWND>& windows);
// Handle a message for hwnd on its own thread: the core's own messages here,
// the rest through the window procedure.
LRESULT Deliver(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The newest shown dialog of a thread, or null: the window an application
// message box of that thread belongs to.
HWND ActiveDialogOf(DWORD threadId);
// Remove windows without any message (the owner thread has ended).
void ForgetWindowsOf(DWORD threadId);

// The procedure of a dialog's controls (progress range and position, text).
LRESULT ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Showing and placing a window on its own thread (ShowWindow and
// SetWindowPos send them there from other threads).
LRESULT ShowHere(HWND hwnd, int cmd);
LRESULT PlaceHere(HWND hwnd, const PlaceArgs& args);
// What the renderers asked for, delivered on the window's thread.
LRESULT DeliverPress(HWND hwnd, int buttonId, bool answered);
LRESULT DeliverTextNotice(HWND hwnd, int controlId);
LRESULT DeliverTimeoutNote(HWND hwnd, TimeoutAction action);

// A modal loop: dispatches until ended() holds, or until a quit, which it
// passes on (returns false then).
template <class Ended>
bool RunModalLoop(Ended ended) {
    while (!ended()) {
        MSG msg;
        if (!GetMessage(&msg, nullptr, 0, 0)) {
            PassQuitOn(static_cast<int>(msg.wParam));
            return false;
        }
        DispatchMessage(&msg);
    }
    return true;
}

// ---- renderers (each call shields the caller from a renderer's exception) --

void NotifyDialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner);
void NotifyDialogStarted(HWND dlg);
void NotifyControlTextChanged(HWND dlg, int controlId, const std::string& text);
void NotifyProgressChanged(HWND dlg, int controlId, int pos);
void NotifyWindowShown(HWND dlg, int showCmd);
void NotifyWindowPlaced(HWND dlg, HWND insertAfter, bool moved, int x, int y);
void NotifyButtonPressed(HWND dlg, int buttonId, bool answered);
void NotifyDialogClosed(HWND dlg, INT_PTR result);
void NotifyMessageBoxOpened(const MessageBoxInfo& info);
void NotifyMessageBoxClosed(HWND box, int result, bool answered);
void NotifyAnswerTimedOut(HWND window, const char* action);
void NotifyProgramExited(const std::string& program, int code);

}  // namespace ui::detail
