// Helpers for the window core's tests: a renderer that records what it is
// told (and can act on it), and a way to run a case on a fresh thread so that
// no quit request or window leaks from one case into the next.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/ui/renderer.h"
#include "platform/ui/ui.h"

namespace uitest {

struct Event {
    std::string kind;  // "open", "started", "text", "progress", "shown", "placed", "press",
                       // "closed", "box", "boxclosed", "timeout", "exit"
    HWND hwnd = nullptr;
    int id = 0;           // template, control or button id; show command
    long long value = 0;  // progress position, result, x
    std::string text;
    bool flag = false;   // answered; moved
    DWORD threadId = 0;  // the thread the call came on
};

class CRecorder : public ui::IRenderer {
public:
    std::function<void(HWND)> onStarted;
    std::function<void(const ui::MessageBoxInfo&)> onBox;

    std::vector<Event> Events();
    std::vector<Event> OfKind(const std::string& kind);
    // Waits (up to timeoutMs) until pred holds for the events so far.
    bool WaitFor(const std::function<bool(const std::vector<Event>&)>& pred, int timeoutMs = 10000);

    void DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) override;
    void DialogStarted(HWND dlg) override;
    void ControlTextChanged(HWND dlg, int controlId, const std::string& text) override;
    void ProgressChanged(HWND dlg, int controlId, int pos) override;
    void WindowShown(HWND dlg, int showCmd) override;
    void WindowPlaced(HWND dlg, HWND insertAfter, bool moved, int x, int y) override;
    void ButtonPressed(HWND dlg, int buttonId, bool answered) override;
    void DialogClosed(HWND dlg, INT_PTR result) override;
    void MessageBoxOpened(const ui::MessageBoxInfo& info) override;
    void MessageBoxClosed(HWND box, int result, bool answered) override;
    void AnswerTimedOut(HWND window, const char* action) override;
    void ProgramExited(const std::string& program, int code) override;

private:
    void Add(Event event);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

// A one-shot event to wait on with a time-out.
class CEvent {
public:
    void Set();
    bool Wait(int timeoutMs = 10000);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_set = false;
};

// Installs renderers for one case and clears them at its end.
class CScopedRenderers {
public:
    explicit CScopedRenderers(std::shared_ptr<ui::IRenderer> primary,
                              std::vector<std::shared_ptr<ui::IRenderer>> observers = {});
    ~CScopedRenderers();
};

// Runs body on a new thread and waits for it (failing the case after
// timeoutMs). Returns the thread's exit code.
DWORD RunOnFreshThread(const std::function<void()>& body, DWORD timeoutMs = 30000);

// Templates the cases use:
//   kDialogForm     500: static 1001, edit 1002, password edit 1003, progress 1004,
//                        static -1, OK (1), Cancel (2)
//   kDialogProgress 501: static 1011, progress 1000 and 1001, no buttons
//   kDialogHosted   502: a hosted control 1028 and OK
//   kDialogCancel   503: progress 1000 and Cancel (2)
enum : int { kDialogForm = 500, kDialogProgress = 501, kDialogHosted = 502, kDialogCancel = 503 };
void RegisterTestDialogs();

}  // namespace uitest
