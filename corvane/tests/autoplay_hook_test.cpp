// The AutoPlay hook the control puts on its host's top-level window: once
// per process, by the first control whose window gets a message; every
// control's destruction puts the replaced procedure back.
#include <atomic>

#include "corvane/corvane_ids.h"
#include "corvane/tests/corvane_test_support.h"
#include "platform/com/ole_interfaces.h"
#include "platform/ui/tests/test_support.h"

namespace {

using uitest::RunOnFreshThread;

std::atomic<int> g_nHostMessages{0};
std::atomic<UINT> g_uLastHostMessage{0};

LRESULT HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ++g_nHostMessages;
    g_uLastHostMessage = msg;
    return msg == WM_USER + 1 ? 77 : DefWindowProc(hwnd, msg, wParam, lParam);
}

class CAutoPlayHookTest : public CCorvaneTest {
protected:
    void SetUp() override {
        CCorvaneTest::SetUp();
        Register();
        m_uQuery = RegisterWindowMessage("QueryCancelAutoPlay");
    }

    // A control activated in parent; its window is returned.
    HWND Activate(const CComPtr<IDispatch>& control, HWND parent) {
        CComPtr<IOleControlWindow> site;
        EXPECT_EQ(control.QueryInterface(IID_IOleControlWindow, &site), S_OK);
        HWND window = nullptr;
        EXPECT_EQ(site->InPlaceActivate(parent, 1028, RECT{0, 0, 60, 25}, &window), S_OK);
        return window;
    }
    static WNDPROC ProcOf(HWND hwnd) {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtr(hwnd, GWLP_WNDPROC));
    }
    // The hook is once per process: a process that already hooked cannot
    // show the first hook again.
    bool HookedBefore(HWND host) { return ProcOf(host) == &HostProc; }

    UINT m_uQuery = 0;
};

TEST_F(CAutoPlayHookTest, FirstControlHooksTheTopWindowAndEitherDestructionRestores) {
    RunOnFreshThread([&] {
        // The control sits two levels down: the hook goes to the top.
        HWND host = CreateWindowWithProc(&HostProc, nullptr, "host", true);
        HWND middle = CreateWindowWithProc(nullptr, host, "middle");
        CComPtr<IDispatch> first = NewControl();
        HWND firstWindow = Activate(first, middle);
        ASSERT_NE(firstWindow, nullptr);
        if (HookedBefore(host)) {
            GTEST_SKIP() << "this process hooked before; the case needs a process of its own";
        }
        EXPECT_NE(ProcOf(middle), &HostProc);
        EXPECT_TRUE(IsWindowUnicode(host));  // the wide call kept the window wide

        // The registered message is answered by the hook and never reaches
        // the host; every other message does.
        g_nHostMessages = 0;
        EXPECT_EQ(SendMessage(host, m_uQuery, 0, 0), 1);
        EXPECT_EQ(g_nHostMessages.load(), 0);
        EXPECT_EQ(SendMessage(host, WM_USER + 1, 0, 0), 77);
        EXPECT_EQ(g_nHostMessages.load(), 1);

        // A second control in the same host does not hook again.
        WNDPROC hooked = ProcOf(host);
        CComPtr<IDispatch> second = NewControl();
        ASSERT_NE(Activate(second, host), nullptr);
        EXPECT_EQ(ProcOf(host), hooked);
        g_nHostMessages = 0;
        EXPECT_EQ(SendMessage(host, WM_USER + 1, 0, 0), 77);
        EXPECT_EQ(g_nHostMessages.load(), 1);  // one hook in the chain, not two

        // The second control goes first: the host's own procedure is back.
        CComPtr<IOleControlWindow> site;
        ASSERT_EQ(second.QueryInterface(IID_IOleControlWindow, &site), S_OK);
        site->InPlaceDeactivate();
        site.Release();
        second.Release();
        EXPECT_EQ(ProcOf(host), &HostProc);
        EXPECT_TRUE(IsWindowUnicode(host));
        g_nHostMessages = 0;
        EXPECT_EQ(SendMessage(host, m_uQuery, 0, 0), 0);  // the host's own answer now
        EXPECT_EQ(g_nHostMessages.load(), 1);

        // The first one's end puts the same procedure back, and no later
        // control hooks again.
        first.Release();
        DestroyWindow(middle);
        EXPECT_EQ(ProcOf(host), &HostProc);
        CComPtr<IDispatch> third = NewControl();
        ASSERT_NE(Activate(third, host), nullptr);
        EXPECT_EQ(ProcOf(host), &HostProc);
        DestroyWindow(host);
    });
}

TEST_F(CAutoPlayHookTest, TheHookingControlsEndRestoresToo) {
    RunOnFreshThread([&] {
        HWND host = CreateWindowWithProc(&HostProc, nullptr, "host");
        CComPtr<IDispatch> first = NewControl();
        HWND firstWindow = Activate(first, host);
        if (HookedBefore(host)) {
            GTEST_SKIP() << "this process hooked before; the case needs a process of its own";
        }
        CComPtr<IDispatch> second = NewControl();
        Activate(second, host);
        EXPECT_FALSE(IsWindowUnicode(host));
        first.Release();
        DestroyWindow(firstWindow);
        EXPECT_EQ(ProcOf(host), &HostProc);
        EXPECT_FALSE(IsWindowUnicode(host));  // put back by the narrow call
        second.Release();
        DestroyWindow(host);
    });
}

TEST_F(CAutoPlayHookTest, RemovalAfterTheHostIsGoneTouchesNothing) {
    RunOnFreshThread([&] {
        HWND host = CreateWindowWithProc(&HostProc, nullptr, "host");
        CComPtr<IDispatch> control = NewControl();
        HWND window = Activate(control, host);
        if (HookedBefore(host)) {
            GTEST_SKIP() << "this process hooked before; the case needs a process of its own";
        }
        // The host and the control's window go; the control object lives on
        // in the test's hands, and its end comes after.
        DestroyWindow(host);
        EXPECT_FALSE(IsWindow(window));
        HWND other = CreateWindowWithProc(&HostProc, nullptr, "other");
        control.Release();  // restores onto a handle that no longer exists
        EXPECT_EQ(ProcOf(other), &HostProc);
        g_nHostMessages = 0;
        EXPECT_EQ(SendMessage(other, WM_USER + 1, 0, 0), 77);
        EXPECT_EQ(g_nHostMessages.load(), 1);
        DestroyWindow(other);
    });
}

}  // namespace
