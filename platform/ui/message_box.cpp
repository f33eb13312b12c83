// Message boxes: a window of their own on the calling thread (any thread, with
// or without an owner) and a nested loop until a button ends them.
#include <atomic>

#include "platform/thread/thread.h"
#include "platform/ui/ui_internal.h"

using namespace ui::detail;

namespace {

struct BoxState {
    UINT type = MB_OK;
    bool ended = false;
    int result = 0;
    bool answered = false;
};

UINT Buttons(UINT type) {
    return type & 0x0F;
}

// The result a button gives on this kind of box; false for a button it lacks.
bool ResultOf(UINT type, int buttonId, int* result) {
    switch (Buttons(type)) {
        case MB_OKCANCEL:
            if (buttonId == IDOK || buttonId == IDCANCEL) {
                *result = buttonId;
                return true;
            }
            return false;
        case MB_YESNO:
            if (buttonId == IDYES || buttonId == IDNO) {
                *result = buttonId;
                return true;
            }
            // Escape or the close box: No, when No is what the box offers
            // first (a question whose safe answer is No).
            if (buttonId == IDCANCEL && (type & MB_DEFBUTTON2)) {
                *result = IDNO;
                return true;
            }
            return false;
        default:
            // An OK box closed with Escape or its close box gives OK.
            if (buttonId == IDOK || buttonId == IDCANCEL) {
                *result = IDOK;
                return true;
            }
            return false;
    }
}

int QuitResult(UINT type) {
    switch (Buttons(type)) {
        case MB_OKCANCEL:
            return IDCANCEL;
        case MB_YESNO:
            return IDNO;
        default:
            return IDOK;
    }
}

bool PressWasAnswered(HWND box) {
    return WithWindow(box, false, [](Window& w) { return w.pressAnswered; });
}

LRESULT MessageBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
    if (!state || (msg != WM_COMMAND && msg != WM_CLOSE)) {
        return msg == WM_CLOSE ? 0 : DefWindowProc(hwnd, msg, wParam, lParam);
    }
    int buttonId = msg == WM_CLOSE ? static_cast<int>(IDCANCEL) : LOWORD(wParam);
    int result = 0;
    if (!state->ended && ResultOf(state->type, buttonId, &result)) {
        state->result = result;
        state->answered = msg == WM_COMMAND && PressWasAnswered(hwnd);
        state->ended = true;
    }
    return 0;
}

std::string& AppName() {
    static std::string* name = new std::string;
    return *name;
}

}  // namespace

int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    BoxState state;
    state.type = type;
    HWND box = NewWindow(WindowType::MessageBox, nullptr, &MessageBoxProc, caption, 0);
    if (!box) {
        return 0;
    }
    SetWindowLongPtr(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    struct Closer {
        HWND box;
        BoxState& state;
        ~Closer() {
            NotifyMessageBoxClosed(box, state.result, state.answered);
            DestroyWindow(box);
        }
    } closer{box, state};

    ui::MessageBoxInfo info;
    info.box = box;
    info.owner = owner;
    info.text = text;
    info.caption = caption;
    info.type = type;
    NotifyMessageBoxOpened(info);
    if (!RunModalLoop([&] { return state.ended; })) {
        state.result = QuitResult(type);
        state.answered = false;
    }
    return state.result;
}

void SetAppName(const std::string& gbkName) {
    AppName() = gbkName;
}

namespace {
std::atomic<std::uint64_t> g_foreignOwner{0};
}  // namespace

void SetForeignOwnerWindow(std::uint64_t nativeId) {
    g_foreignOwner = nativeId;
}

std::uint64_t GetForeignOwnerWindow() {
    return g_foreignOwner;
}

const std::string& GetAppName() {
    return AppName();
}

int AfxMessageBox(const std::string& text, UINT type) {
    // Owned, as the framework's boxes are, by the window the user works in
    // on this thread, so that it comes up above it.
    return MessageBox(ActiveDialogOf(GetCurrentThreadId()), text, GetAppName(), type);
}
