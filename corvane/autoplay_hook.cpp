#include "corvane/autoplay_hook.h"

#include "common/cd_drive.h"
#include "corvane/corvane_state.h"

namespace {

// A parent chain is short; the bound only guards against a broken one.
constexpr int kLongestParentChain = 1000;

HWND TopLevelWindow(HWND hwnd) {
    for (int i = 0; i < kLongestParentChain; ++i) {
        HWND parent = GetParent(hwnd);
        if (!parent) {
            break;
        }
        hwnd = parent;
    }
    return hwnd;
}

}  // namespace

void InstallAutoPlayHookOnce(HWND controlWnd) {
    if (g_uQueryCancelAutoPlay != 0) {
        return;
    }
    HWND top = TopLevelWindow(controlWnd);
    g_hAutoPlayTopWnd.store(top);
    const auto hook = reinterpret_cast<LONG_PTR>(&AutoPlayHookProc);
    LONG_PTR old = IsWindowUnicode(top) ? SetWindowLongPtrW(top, GWLP_WNDPROC, hook)
                                        : SetWindowLongPtrA(top, GWLP_WNDPROC, hook);
    // Only a procedure really replaced is recorded: putting back "nothing"
    // would leave the window with the default procedure.
    if (old != 0) {
        g_pfnAutoPlayOldProc.store(reinterpret_cast<WNDPROC>(old));
    }
    RegisterQueryCancelAutoPlay();
}

void RemoveAutoPlayHook() {
    WNDPROC old = g_pfnAutoPlayOldProc.load();
    if (!old) {
        return;
    }
    HWND top = g_hAutoPlayTopWnd.load();
    const auto value = reinterpret_cast<LONG_PTR>(old);
    if (IsWindowUnicode(top)) {
        SetWindowLongPtrW(top, GWLP_WNDPROC, value);
    } else {
        SetWindowLongPtrA(top, GWLP_WNDPROC, value);
    }
}

LRESULT AutoPlayHookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (g_uQueryCancelAutoPlay != 0 && msg == g_uQueryCancelAutoPlay) {
        return 1;
    }
    WNDPROC old = g_pfnAutoPlayOldProc.load();
    if (!old) {
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    return IsWindowUnicode(g_hAutoPlayTopWnd.load())
               ? CallWindowProcW(old, hwnd, msg, wParam, lParam)
               : CallWindowProcA(old, hwnd, msg, wParam, lParam);
}
