// What the renderers give the core: the state they draw from, and the
// user's actions (a press, typed text, a close request, an answerer's
// time-out), posted to the window's thread and delivered there.
#include "platform/ui/ui_internal.h"

namespace ui::detail {

LRESULT DeliverPress(HWND hwnd, int buttonId, bool answered) {
    struct Target {
        WindowType type = WindowType::Plain;
        HWND button = nullptr;
    };
    std::optional<Target> target = WithWindow(hwnd, std::optional<Target>(), [&](Window& w) {
        Window* child = ChildLocked(w, buttonId);
        return std::optional<Target>(Target{w.type, child ? child->hwnd : nullptr});
    });
    if (!target) {
        return 0;
    }
    if (target->type == WindowType::Dialog) {
        NotifyButtonPressed(hwnd, buttonId, answered);
    }
    WNDPROC proc = WithWindow(hwnd, WNDPROC{nullptr}, [&](Window& w) {
        w.pressAnswered = answered;
        return w.proc;
    });
    if (!proc) {
        return 0;
    }
    LRESULT result = proc(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(buttonId), BN_CLICKED),
                          reinterpret_cast<LPARAM>(target->button));
    WithWindow(hwnd, false, [](Window& w) { return w.pressAnswered = false; });
    return result;
}

LRESULT DeliverTextNotice(HWND hwnd, int controlId) {
    std::optional<std::string> text =
        WithWindow(hwnd, std::optional<std::string>(), [&](Window& w) {
            Window* child = ChildLocked(w, controlId);
            return child ? std::optional<std::string>(child->text) : std::nullopt;
        });
    if (text) {
        NotifyControlTextChanged(hwnd, controlId, *text);
    }
    return 0;
}

LRESULT DeliverTimeoutNote(HWND hwnd, TimeoutAction action) {
    const char* name = action == TimeoutAction::Cancel  ? "cancel"
                       : action == TimeoutAction::Close ? "close"
                                                        : "default";
    NotifyAnswerTimedOut(hwnd, name);
    return 0;
}

}  // namespace ui::detail

using namespace ui::detail;

namespace ui {

bool GetWindowState(HWND hwnd, WindowState* state) {
    if (!state) {
        return false;
    }
    return WithWindow(hwnd, false, [&](Window& w) {
        state->hwnd = hwnd;
        state->templateId = w.templateId;
        state->title = w.text;
        state->visible = w.visible;
        state->topmost = w.topmost;
        state->moved = w.moved;
        state->x = w.x;
        state->y = w.y;
        state->controls.clear();
        for (auto& child : w.children) {
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
    });
}

void PressButton(HWND window, int buttonId, bool answered) {
    PostMessage(window, kMsgPress, static_cast<WPARAM>(buttonId), answered ? 1 : 0);
}

void TypeText(HWND dlg, int controlId, const std::string& gbk) {
    bool changed = WithWindow(dlg, false, [&](Window& w) {
        Window* child = ChildLocked(w, controlId);
        if (!child || child->text == gbk) {
            return false;
        }
        child->text = gbk;
        return true;
    });
    // Renderers hear of it on the dialog's thread, in order with what follows.
    if (changed) {
        PostMessage(dlg, kMsgTextNotice, static_cast<WPARAM>(controlId), 0);
    }
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
