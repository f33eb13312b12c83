// The narrow interface between the window core and what draws it. The core
// keeps the state of every window (texts, progress positions, placement) and
// tells the renderers what changed; renderers send user actions back through
// the functions at the end, which post messages to the window's thread.
//
// One primary renderer (headless or Qt) answers the user's side; observers
// (the transcript, PNG snapshots) watch the same events. Every call is made
// on the thread that owns the window concerned, in the order things happen;
// a renderer that draws on another thread hands the work over itself and
// must not block the caller for long (progress updates in particular).
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ui.h"

namespace ui {

struct MessageBoxInfo {
    HWND box = nullptr;  // a window of its own, owned by the calling thread
    HWND owner = nullptr;
    std::string text;     // GBK
    std::string caption;  // GBK
    UINT type = MB_OK;
};

class IRenderer {
public:
    virtual ~IRenderer() = default;

    // A dialog window was made from its template (before OnInitDialog).
    virtual void DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) = 0;
    // OnInitDialog has run: the texts are those the user sees first.
    virtual void DialogStarted(HWND dlg) = 0;
    virtual void ControlTextChanged(HWND dlg, int controlId, const std::string& text) = 0;
    // Only sent when the position really changes.
    virtual void ProgressChanged(HWND dlg, int controlId, int pos) = 0;
    virtual void WindowShown(HWND dlg, int showCmd) = 0;
    // insertAfter: HWND_TOPMOST, HWND_NOTOPMOST, HWND_BOTTOM or null when the
    // order is unchanged; x, y in screen pixels when moved.
    virtual void WindowPlaced(HWND dlg, HWND insertAfter, bool moved, int x, int y) = 0;
    // A button was pressed (by the user, or by an answer when answered).
    virtual void ButtonPressed(HWND dlg, int buttonId, bool answered) = 0;
    virtual void DialogClosed(HWND dlg, INT_PTR result) = 0;

    virtual void MessageBoxOpened(const MessageBoxInfo& info) = 0;
    virtual void MessageBoxClosed(HWND box, int result, bool answered) = 0;

    // The program is ending with this whole code.
    virtual void ProgramExited(const std::string& program, int code) = 0;

    // An answerer gave up waiting for a window (the headless time-out); action
    // is "cancel", "close" or "default" (a message box's default button). The
    // press or close that follows comes as usual.
    virtual void AnswerTimedOut(HWND window, const char* action) {}
};

// A renderer that ignores everything: derive from it to watch only some
// events (the transcript, snapshots, tests).
class CQuietRenderer : public IRenderer {
public:
    void DialogOpened(HWND, const DialogTemplate&, HWND) override {}
    void DialogStarted(HWND) override {}
    void ControlTextChanged(HWND, int, const std::string&) override {}
    void ProgressChanged(HWND, int, int) override {}
    void WindowShown(HWND, int) override {}
    void WindowPlaced(HWND, HWND, bool, int, int) override {}
    void ButtonPressed(HWND, int, bool) override {}
    void DialogClosed(HWND, INT_PTR) override {}
    void MessageBoxOpened(const MessageBoxInfo&) override {}
    void MessageBoxClosed(HWND, int, bool) override {}
    void ProgramExited(const std::string&, int) override {}
};

// Set up by the program entry (platform/ui/app.h); tests may set their own.
void SetPrimaryRenderer(std::shared_ptr<IRenderer> renderer);
void AddObserver(std::shared_ptr<IRenderer> observer);
void ClearRenderers();

// ---- from the renderers back to the core (any thread) ----

// Press a button of a dialog or message box: posts WM_COMMAND(buttonId) to
// the window's thread. answered marks presses made by an answer file.
void PressButton(HWND window, int buttonId, bool answered);
// Type into an edit control: the core's text changes at once.
void TypeText(HWND dlg, int controlId, const std::string& gbk);
// Close request (the window's close box): posts WM_CLOSE.
void RequestClose(HWND window);
// Tell every renderer, on the window's thread, that an answerer gave up
// waiting for it (see IRenderer::AnswerTimedOut); action is one of the three
// literals named there.
void ReportAnswerTimeout(HWND window, const char* action);

// ---- state the renderers read (any thread) ----

struct ControlState {
    int id = IDC_STATIC;
    std::string text;
    int pos = 0;  // progress bars
    int rangeMin = 0, rangeMax = 100;
    bool visible = true;
};

struct WindowState {
    HWND hwnd = nullptr;
    int templateId = 0;  // 0 for message boxes and plain windows
    std::string title;
    bool visible = true;
    bool topmost = false;
    bool moved = false;
    int x = 0, y = 0;  // screen pixels, valid when moved
    // A dialog's controls in template order (hosted controls included), so
    // entry i belongs to the template's control i.
    std::vector<ControlState> controls;
};

// A copy of a window's state; false for an unknown window.
bool GetWindowState(HWND hwnd, WindowState* state);

}  // namespace ui
