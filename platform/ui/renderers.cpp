// The primary renderer and the observers. Callers take a snapshot of the list,
// so renderers may be changed while a notification is under way, and no lock
// is held while a renderer runs.
#include <cstdio>
#include <exception>

#include "platform/ui/ui_internal.h"

namespace ui {
namespace {

using RendererList = std::vector<std::shared_ptr<IRenderer>>;

struct Renderers {
    std::mutex mutex;
    std::shared_ptr<IRenderer> primary;
    RendererList observers;
    std::shared_ptr<const RendererList> all = std::make_shared<RendererList>();

    void Rebuild() {
        auto list = std::make_shared<RendererList>();
        if (primary) {
            list->push_back(primary);
        }
        list->insert(list->end(), observers.begin(), observers.end());
        all = std::move(list);
    }
};

// Never destroyed: threads may still notify while the process ends.
Renderers& State() {
    static Renderers* state = new Renderers;
    return *state;
}

template <class Call>
void ForEach(const char* what, Call call) {
    std::shared_ptr<const RendererList> list;
    {
        std::lock_guard<std::mutex> lock(State().mutex);
        list = State().all;
    }
    for (const auto& renderer : *list) {
        // What draws the program must not end it.
        try {
            call(*renderer);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "telvora: renderer failed in %s: %s\n", what, e.what());
        }
    }
}

}  // namespace

void SetPrimaryRenderer(std::shared_ptr<IRenderer> renderer) {
    std::shared_ptr<IRenderer> previous;  // released outside the lock
    std::lock_guard<std::mutex> lock(State().mutex);
    previous = std::move(State().primary);
    State().primary = std::move(renderer);
    State().Rebuild();
}

void AddObserver(std::shared_ptr<IRenderer> observer) {
    if (!observer) {
        return;
    }
    std::lock_guard<std::mutex> lock(State().mutex);
    State().observers.push_back(std::move(observer));
    State().Rebuild();
}

void ClearRenderers() {
    std::shared_ptr<IRenderer> primary;
    RendererList observers;
    std::shared_ptr<const RendererList> all;
    {
        std::lock_guard<std::mutex> lock(State().mutex);
        primary.swap(State().primary);
        observers.swap(State().observers);
        all.swap(State().all);
        State().all = std::make_shared<RendererList>();
    }
    // The renderers end here, outside the lock (a renderer may join its threads).
}

namespace detail {

void NotifyDialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) {
    ForEach("DialogOpened", [&](IRenderer& r) { r.DialogOpened(dlg, tmpl, owner); });
}
void NotifyDialogStarted(HWND dlg) {
    ForEach("DialogStarted", [&](IRenderer& r) { r.DialogStarted(dlg); });
}
void NotifyControlTextChanged(HWND dlg, int controlId, const std::string& text) {
    ForEach("ControlTextChanged",
            [&](IRenderer& r) { r.ControlTextChanged(dlg, controlId, text); });
}
void NotifyProgressChanged(HWND dlg, int controlId, int pos) {
    ForEach("ProgressChanged", [&](IRenderer& r) { r.ProgressChanged(dlg, controlId, pos); });
}
void NotifyWindowShown(HWND dlg, int showCmd) {
    ForEach("WindowShown", [&](IRenderer& r) { r.WindowShown(dlg, showCmd); });
}
void NotifyWindowPlaced(HWND dlg, HWND insertAfter, bool moved, int x, int y) {
    ForEach("WindowPlaced", [&](IRenderer& r) { r.WindowPlaced(dlg, insertAfter, moved, x, y); });
}
void NotifyButtonPressed(HWND dlg, int buttonId, bool answered) {
    ForEach("ButtonPressed", [&](IRenderer& r) { r.ButtonPressed(dlg, buttonId, answered); });
}
void NotifyDialogClosed(HWND dlg, INT_PTR result) {
    ForEach("DialogClosed", [&](IRenderer& r) { r.DialogClosed(dlg, result); });
}
void NotifyMessageBoxOpened(const MessageBoxInfo& info) {
    ForEach("MessageBoxOpened", [&](IRenderer& r) { r.MessageBoxOpened(info); });
}
void NotifyMessageBoxClosed(HWND box, int result, bool answered) {
    ForEach("MessageBoxClosed", [&](IRenderer& r) { r.MessageBoxClosed(box, result, answered); });
}
void NotifyAnswerTimedOut(HWND window, const char* action) {
    ForEach("AnswerTimedOut", [&](IRenderer& r) { r.AnswerTimedOut(window, action); });
}
void NotifyProgramExited(const std::string& program, int code) {
    ForEach("ProgramExited", [&](IRenderer& r) { r.ProgramExited(program, code); });
}

}  // namespace detail
}  // namespace ui
