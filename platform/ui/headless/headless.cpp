// The headless renderer. Calls come on the window's thread; rule actions are
// posted back through the core (PressButton, TypeText), so nothing here runs
// a window procedure. Waits and time-outs run on one timer thread.
#include "platform/ui/headless/headless.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/text/text.h"
#include "platform/ui/headless/timer.h"

namespace ui::headless {
namespace {

using Clock = CTimerThread::Clock;

class CHeadlessRenderer : public IRenderer {
public:
    explicit CHeadlessRenderer(HeadlessOptions options)
        : m_options(std::move(options)), m_used(m_options.rules.size(), false) {}

    void DialogOpened(HWND dlg, const DialogTemplate& tmpl, HWND owner) override {
        Waiting window;
        window.templateId = tmpl.id;
        window.takesInput = false;
        for (const ControlTemplate& control : tmpl.controls) {
            bool button = control.kind == ControlKind::PushButton ||
                          control.kind == ControlKind::DefPushButton;
            if (button || control.kind == ControlKind::Edit ||
                control.kind == ControlKind::HostedControl) {
                window.takesInput = true;
            }
            if (control.id == IDCANCEL && button) {
                window.hasCancel = true;
            }
        }
        Open(dlg, std::move(window));
    }

    void DialogStarted(HWND dlg) override {
        const AnswerRule* apply = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Waiting* window = Find(dlg);
            if (!window) {
                return;
            }
            window->lastActivity = Clock::now();
            const AnswerRule* rule = TakeRule([&](const AnswerRule& r) {
                return r.kind == AnswerRule::Kind::Dialog && r.dialogId == window->templateId;
            });
            if (rule && rule->hasWhen && !Reached(dlg, *rule)) {
                window->pendingWhen = rule;  // applied once the bar gets there
            } else {
                apply = rule;
            }
        }
        ArmTimeout(dlg);
        if (apply) {
            RunActions(dlg, apply, 0);
        }
    }

    void ControlTextChanged(HWND dlg, int, const std::string&) override { Touch(dlg); }

    void ProgressChanged(HWND dlg, int controlId, int pos) override {
        const AnswerRule* apply = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Waiting* window = Find(dlg);
            if (!window) {
                return;
            }
            window->lastActivity = Clock::now();
            const AnswerRule* rule = window->pendingWhen;
            if (rule && rule->whenControl == controlId && pos >= rule->whenPos) {
                window->pendingWhen = nullptr;
                apply = rule;
            }
        }
        if (apply) {
            RunActions(dlg, apply, 0);
        }
    }

    void WindowShown(HWND, int) override {}
    void WindowPlaced(HWND, HWND, bool, int, int) override {}
    void ButtonPressed(HWND dlg, int, bool) override { Touch(dlg); }
    void DialogClosed(HWND dlg, INT_PTR) override { Close(dlg); }

    void MessageBoxOpened(const MessageBoxInfo& info) override {
        // Without windows the terminal is where a user sees what the program
        // says: one line a box, answered or not.
        TellTerminal(info);
        // Called on the box's thread: a box that a pending quit ends at once
        // is not answered, so it uses up no rule.
        if (IsQuitPending()) {
            return;
        }
        Waiting window;
        window.isBox = true;
        window.boxType = info.type;
        window.boxText = info.text;
        Open(info.box, std::move(window));
        const AnswerRule* rule = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            rule = TakeRule([&](const AnswerRule& r) {
                return r.kind == AnswerRule::Kind::MessageBox &&
                       (r.anyBox || info.text.find(r.boxText) != std::string::npos);
            });
        }
        ArmTimeout(info.box);
        if (rule) {
            RunActions(info.box, rule, 0);
        } else {
            PressButton(info.box, DefaultButton(info.type), false);
        }
    }

    void MessageBoxClosed(HWND box, int, bool) override { Close(box); }
    void ProgramExited(const std::string&, int) override {}

private:
    // What the answerer knows of an open dialog or message box.
    struct Waiting {
        bool isBox = false;
        int templateId = 0;
        UINT boxType = MB_OK;
        std::string boxText;
        bool hasCancel = false;
        // A window without buttons or edits (a progress window) never waits
        // for an answer: closing it would cut off the work it shows.
        bool takesInput = true;
        DWORD threadId = 0;
        const AnswerRule* pendingWhen = nullptr;
        bool busy = false;  // a rule's actions are under way (in a wait)
        Clock::time_point lastActivity = Clock::now();
    };

    static void TellTerminal(const MessageBoxInfo& info) {
        std::string text = text::GbkToUtf8(info.text);
        for (char& c : text) {
            if (c == '\n' || c == '\r' || c == '\t')
                c = ' ';
        }
        const std::string line = text::GbkToUtf8(GetAppName()) + ": " +
                                 text::GbkToUtf8(info.caption) + ": " + text + "\n";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }

    static int DefaultButton(UINT type) {
        // The first button is the default one, unless the box says the second.
        if ((type & 0x0F) == MB_YESNO)
            return (type & MB_DEFBUTTON2) ? IDNO : IDYES;
        return IDOK;
    }

    Waiting* Find(HWND hwnd) {
        auto it = m_open.find(hwnd);
        return it == m_open.end() ? nullptr : &it->second;
    }

    void Open(HWND hwnd, Waiting window) {
        window.threadId = GetWindowThreadId(hwnd);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stacks[window.threadId].push_back(hwnd);
        m_open[hwnd] = std::move(window);
    }

    void Close(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        Waiting* window = Find(hwnd);
        if (!window) {
            return;
        }
        auto& stack = m_stacks[window->threadId];
        std::erase(stack, hwnd);
        if (stack.empty()) {
            m_stacks.erase(window->threadId);
        }
        m_open.erase(hwnd);
    }

    void Touch(HWND hwnd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Waiting* window = Find(hwnd)) {
            window->lastActivity = Clock::now();
        }
    }

    // The first rule in file order that matches and is not used up; a rule
    // without the repeat mark is used up by being taken.
    template <class Match>
    const AnswerRule* TakeRule(Match match) {
        for (std::size_t i = 0; i < m_options.rules.size(); ++i) {
            const AnswerRule& rule = m_options.rules[i];
            if ((rule.repeat || !m_used[i]) && match(rule)) {
                if (!rule.repeat) {
                    m_used[i] = true;
                }
                return &rule;
            }
        }
        return nullptr;
    }

    static bool Reached(HWND dlg, const AnswerRule& rule) {
        WindowState state;
        if (!GetWindowState(dlg, &state)) {
            return false;
        }
        for (const ControlState& control : state.controls) {
            if (control.id == rule.whenControl) {
                return control.pos >= rule.whenPos;
            }
        }
        return false;
    }

    // Runs a rule's actions from index from; a wait hands the rest to the
    // timer thread. Nothing runs for a window that has gone meanwhile.
    void RunActions(HWND hwnd, const AnswerRule* rule, std::size_t from) {
        bool isBox = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Waiting* window = Find(hwnd);
            if (!window) {
                return;
            }
            window->busy = true;
            isBox = window->isBox;
        }
        for (std::size_t i = from; i < rule->actions.size(); ++i) {
            const AnswerAction& action = rule->actions[i];
            switch (action.kind) {
                case AnswerAction::Kind::Press:
                    PressButton(hwnd, action.id, true);
                    break;
                case AnswerAction::Kind::Type:
                    if (isBox) {
                        std::fprintf(stderr,
                                     "telvora: answer line %d: a message box has no %d to "
                                     "type into\n",
                                     rule->line, action.id);
                    } else {
                        TypeText(hwnd, action.id, action.text);
                    }
                    break;
                case AnswerAction::Kind::Insert:
                    if (!m_options.insertDrive ||
                        !m_options.insertDrive(action.drive, action.text)) {
                        std::fprintf(stderr,
                                     "telvora: answer line %d: could not insert %s as %c:\n",
                                     rule->line, action.text.c_str(), action.drive);
                    }
                    break;
                case AnswerAction::Kind::Eject:
                    if (!m_options.ejectDrive || !m_options.ejectDrive(action.drive)) {
                        std::fprintf(stderr, "telvora: answer line %d: could not eject %c:\n",
                                     rule->line, action.drive);
                    }
                    break;
                case AnswerAction::Kind::Wait:
                    m_timer.Schedule(std::chrono::milliseconds(action.ms),
                                     [this, hwnd, rule, i] { RunActions(hwnd, rule, i + 1); });
                    return;
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Waiting* window = Find(hwnd)) {
            window->busy = false;
            window->lastActivity = Clock::now();
        }
    }

    void ArmTimeout(HWND hwnd) {
        if (m_options.timeoutMs == 0) {
            return;
        }
        m_timer.Schedule(std::chrono::milliseconds(m_options.timeoutMs),
                         [this, hwnd] { CheckTimeout(hwnd); });
    }

    // A window waits for input when nothing has changed in it for the time-out,
    // no rule is under way for it, and it is the innermost one of its thread
    // (a dialog behind a message box is not the one waiting).
    void CheckTimeout(HWND hwnd) {
        const auto timeout = std::chrono::milliseconds(m_options.timeoutMs);
        const char* action = nullptr;
        int templateId = 0;
        UINT boxType = MB_OK;
        Clock::duration next = timeout;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Waiting* window = Find(hwnd);
            if (!window) {
                return;
            }
            Clock::time_point now = Clock::now();
            Clock::time_point due = window->lastActivity + timeout;
            auto stack = m_stacks.find(window->threadId);
            bool innermost = stack != m_stacks.end() && stack->second.back() == hwnd;
            if (now < due) {
                next = due - now;
            } else if (!window->busy && innermost && window->takesInput) {
                action = window->isBox ? "default" : window->hasCancel ? "cancel" : "close";
                templateId = window->templateId;
                boxType = window->boxType;
                window->lastActivity = now;
            }
        }
        m_timer.Schedule(next, [this, hwnd] { CheckTimeout(hwnd); });
        if (!action) {
            return;
        }
        double seconds = m_options.timeoutMs / 1000.0;
        if (templateId != 0) {
            std::fprintf(stderr, "telvora: dialog %d had no answer after %g s: %s\n", templateId,
                         seconds, action);
        } else {
            std::fprintf(stderr, "telvora: message box had no answer after %g s: default button\n",
                         seconds);
        }
        // Observers hear of the time-out before the press or close it brings.
        ReportAnswerTimeout(hwnd, action);
        std::string what = action;
        if (what == "cancel") {
            PressButton(hwnd, IDCANCEL, false);
        } else if (what == "close") {
            RequestClose(hwnd);
        } else {
            PressButton(hwnd, DefaultButton(boxType), false);
        }
    }

    const HeadlessOptions m_options;
    std::mutex m_mutex;
    std::vector<bool> m_used;
    std::unordered_map<HWND, Waiting> m_open;
    std::unordered_map<DWORD, std::vector<HWND>> m_stacks;  // open windows by thread, in order
    // Last, so it stops (and its callbacks end) before the rest goes.
    CTimerThread m_timer;
};

}  // namespace

std::shared_ptr<IRenderer> CreateHeadlessRenderer(HeadlessOptions options) {
    return std::make_shared<CHeadlessRenderer>(std::move(options));
}

}  // namespace ui::headless
