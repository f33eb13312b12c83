#include <gtest/gtest.h>

#include <vector>

#include "platform/ui/tests/test_support.h"
#include "platform/ui/ui.h"

using uitest::RunOnFreshThread;

namespace {

constexpr UINT kAsk = WM_USER + 7;
std::vector<std::string> g_calls;
WNDPROC g_oldProc = nullptr;
HWND g_hookedWindow = nullptr;

LRESULT HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kAsk || msg == WM_USER) {
        g_calls.push_back("host");
        return 5;
    }
    if (msg == WM_DESTROY) {
        g_calls.push_back("destroy " + GetWindowText(hwnd));
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

// The shape of a subclassing hook: answer one message, chain the rest with
// the call that matches how the window takes text.
LRESULT HookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kAsk) {
        g_calls.push_back("hook");
        return 1;
    }
    if (IsWindowUnicode(g_hookedWindow)) {
        return CallWindowProcW(g_oldProc, hwnd, msg, wParam, lParam);
    }
    return CallWindowProcA(g_oldProc, hwnd, msg, wParam, lParam);
}

LRESULT RefusingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return msg == WM_CREATE ? -1 : DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST(Subclassing, ReplacedProcedureChainsToTheOldOneAndIsPutBack) {
    RunOnFreshThread([] {
        g_calls.clear();
        HWND top = CreateWindowWithProc(&HostProc, nullptr, "top");
        HWND child = CreateWindowWithProc(&HostProc, top, "child", false, 1028);
        // Walk up from the child as a hosted control does.
        HWND walk = child;
        while (GetParent(walk)) {
            walk = GetParent(walk);
        }
        ASSERT_EQ(walk, top);
        g_hookedWindow = top;

        EXPECT_FALSE(IsWindowUnicode(top));
        LONG_PTR old = SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookProc));
        g_oldProc = reinterpret_cast<WNDPROC>(old);
        EXPECT_EQ(g_oldProc, &HostProc);
        EXPECT_TRUE(IsWindowUnicode(top));  // the wide call makes it a wide window
        EXPECT_EQ(GetWindowLongPtr(top, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&HookProc));

        EXPECT_EQ(SendMessage(top, kAsk, 0, 0), 1);
        EXPECT_EQ(SendMessage(top, WM_USER, 0, 0), 5);
        EXPECT_EQ(g_calls, (std::vector<std::string>{"hook", "host"}));

        // Put back (twice, as every later control destruction does).
        SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldProc));
        SetWindowLongPtrW(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_oldProc));
        g_calls.clear();
        EXPECT_EQ(SendMessage(top, kAsk, 0, 0), 5);
        EXPECT_EQ(g_calls, (std::vector<std::string>{"host"}));

        SetWindowLongPtrA(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostProc));
        EXPECT_FALSE(IsWindowUnicode(top));
        DestroyWindow(top);
    });
}

TEST(Windows, DestroyGoesParentFirstAndTakesTheChildren) {
    RunOnFreshThread([] {
        g_calls.clear();
        HWND top = CreateWindowWithProc(&HostProc, nullptr, "top");
        HWND child = CreateWindowWithProc(&HostProc, top, "child", false, 3);
        EXPECT_EQ(GetDlgItem(top, 3), child);
        EXPECT_EQ(GetDlgCtrlID(child), 3);
        EXPECT_EQ(GetWindowThreadId(child), GetCurrentThreadId());
        // The default procedure destroys a window on WM_CLOSE.
        SendMessage(top, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(top));
        EXPECT_FALSE(IsWindow(child));
        EXPECT_EQ(g_calls, (std::vector<std::string>{"destroy top", "destroy child"}));
        EXPECT_FALSE(DestroyWindow(top));
    });
}

TEST(Windows, OnlyTheOwnerThreadDestroysAWindow) {
    HWND window = nullptr;
    RunOnFreshThread([&] {
        window = CreateWindowWithProc(nullptr, nullptr, "w");
        RunOnFreshThread([&] {
            SetLastError(ERROR_SUCCESS);
            EXPECT_FALSE(DestroyWindow(window));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        });
        EXPECT_TRUE(DestroyWindow(window));
    });
}

TEST(Windows, CreationRefusedByTheProcedureFails) {
    RunOnFreshThread(
        [] { EXPECT_EQ(CreateWindowWithProc(&RefusingProc, nullptr, "no"), nullptr); });
}

TEST(Windows, TextUserDataAndBadIndexes) {
    RunOnFreshThread([] {
        HWND hwnd = CreateWindowWithProc(nullptr, nullptr, "课件");
        EXPECT_EQ(GetWindowText(hwnd), "课件");
        EXPECT_TRUE(SetWindowText(hwnd, "内容更新"));
        EXPECT_EQ(GetWindowText(hwnd), "内容更新");
        EXPECT_EQ(SetWindowLongPtr(hwnd, GWLP_USERDATA, 1234), 0);
        EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_USERDATA), 1234);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(SetWindowLongPtr(hwnd, 99, 1), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        // Null as a procedure means the default one.
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, 0);
        EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&DefWindowProc));
        DestroyWindow(hwnd);
        EXPECT_EQ(GetWindowText(hwnd), "");
        EXPECT_FALSE(SetWindowText(hwnd, "x"));
        EXPECT_EQ(GetParent(hwnd), nullptr);
    });
}

TEST(Windows, ChildOfAStaleParentIsRefused) {
    RunOnFreshThread([] {
        HWND parent = CreateWindowWithProc(nullptr, nullptr, "p");
        DestroyWindow(parent);
        EXPECT_EQ(CreateWindowWithProc(nullptr, parent, "c"), nullptr);
    });
}

}  // namespace
