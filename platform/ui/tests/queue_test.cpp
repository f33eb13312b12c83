#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/ui/tests/test_support.h"
#include "platform/ui/ui.h"

using uitest::RunOnFreshThread;

namespace {

constexpr UINT kNotice = WM_USER + 101;

// Window procedures are plain functions; each case's records live here.
struct Seen {
    std::mutex mutex;
    std::vector<std::pair<UINT, WPARAM>> messages;
    std::vector<DWORD> threads;
    void Add(UINT msg, WPARAM w) {
        std::lock_guard<std::mutex> lock(mutex);
        messages.emplace_back(msg, w);
        threads.push_back(GetCurrentThreadId());
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex);
        messages.clear();
        threads.clear();
    }
};
Seen g_seen;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER) {
        g_seen.Add(msg, wParam);
        return static_cast<LRESULT>(wParam) * 2;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST(Quit, PostedMessagesBeforeAndAfterTheRequestComeFirst) {
    RunOnFreshThread([] {
        PostMessage(nullptr, kNotice, 1, 0);
        PostQuitMessage(1011);
        PostMessage(nullptr, kNotice, 2, 0);
        MSG msg;
        ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.wParam, 1u);
        ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.wParam, 2u);
        EXPECT_FALSE(GetMessage(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
        EXPECT_EQ(msg.wParam, 1011u);
        // Retrieved once: nothing is left.
        EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(IsQuitPending());
    });
}

TEST(Quit, TheLastCodeRequestedWins) {
    RunOnFreshThread([] {
        PostQuitMessage(1006);
        PostQuitMessage(1003);
        int code = 0;
        EXPECT_TRUE(IsQuitPending(&code));
        EXPECT_EQ(code, 1003);
        EXPECT_EQ(RunMessageLoop(), 1003);
    });
}

TEST(Quit, PostedQuitEndsTheLoopThatRetrievesItInPostedOrder) {
    RunOnFreshThread([] {
        g_seen.Clear();
        HWND hwnd = CreateWindowWithProc(&RecordingProc, nullptr, "w");
        PostMessage(hwnd, kNotice, 1, 0);
        PostMessage(hwnd, WM_QUIT, 9, 0);
        PostMessage(hwnd, kNotice, 2, 0);
        int code = 0;
        EXPECT_TRUE(IsQuitPending(&code));
        EXPECT_EQ(code, 9);
        EXPECT_EQ(RunMessageLoop(), 9);
        ASSERT_EQ(g_seen.messages.size(), 1u);  // the later notice still waits
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.wParam, 2u);
        DestroyWindow(hwnd);
    });
}

TEST(Quit, PeekWithoutRemoveLeavesTheRequest) {
    RunOnFreshThread([] {
        PostQuitMessage(4);
        MSG msg;
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
        EXPECT_TRUE(IsQuitPending());
        ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_FALSE(IsQuitPending());
    });
}

TEST(Posting, StaleAndInvalidWindowsRefuseMessages) {
    RunOnFreshThread([] {
        HWND hwnd = CreateWindowWithProc(&RecordingProc, nullptr, "w");
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_TRUE(DestroyWindow(hwnd));
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_FALSE(PostMessage(hwnd, kNotice, 0, 0));
        EXPECT_EQ(SendMessage(hwnd, kNotice, 3, 0), 0);
        EXPECT_FALSE(PostMessage(reinterpret_cast<HWND>(0x7FFFFFF0), kNotice, 0, 0));
        EXPECT_FALSE(PostThreadMessage(0xFFFFFF, kNotice, 0, 0));
    });
}

TEST(Posting, MessagesFromASecondThreadArriveInOrder) {
    RunOnFreshThread([] {
        g_seen.Clear();
        HWND hwnd = CreateWindowWithProc(&RecordingProc, nullptr, "w");
        const int kCount = 5000;
        HTHREAD poster = StartThread([hwnd]() -> DWORD {
            for (int i = 0; i < kCount; ++i) {
                PostMessage(hwnd, kNotice, static_cast<WPARAM>(i), 0);
            }
            PostMessage(hwnd, WM_QUIT, 77, 0);
            return 0;
        });
        EXPECT_EQ(RunMessageLoop(), 77);
        WaitForThread(poster);
        ASSERT_EQ(g_seen.messages.size(), static_cast<std::size_t>(kCount));
        for (int i = 0; i < kCount; ++i) {
            ASSERT_EQ(g_seen.messages[i].second, static_cast<WPARAM>(i));
        }
        DestroyWindow(hwnd);
    });
}

TEST(Posting, ThreadMessagesReachTheThreadById) {
    std::atomic<DWORD> target{0};
    uitest::CEvent ready;
    MSG got{};
    HTHREAD receiver = StartThread([&]() -> DWORD {
        MSG msg;
        PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
        target = GetCurrentThreadId();
        ready.Set();
        GetMessage(&got, nullptr, 0, 0);
        return 0;
    });
    // The receiver has no window: wait until it has a queue to post to.
    ASSERT_TRUE(ready.Wait());
    EXPECT_TRUE(PostThreadMessage(target, kNotice, 5, 6));
    ASSERT_EQ(WaitForThread(receiver, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(got.hwnd, nullptr);
    EXPECT_EQ(got.message, kNotice);
    EXPECT_EQ(got.wParam, 5u);
    EXPECT_EQ(got.lParam, 6);
}

TEST(Sending, DirectOnTheOwnThread) {
    RunOnFreshThread([] {
        g_seen.Clear();
        HWND hwnd = CreateWindowWithProc(&RecordingProc, nullptr, "w");
        EXPECT_EQ(SendMessage(hwnd, kNotice, 21, 0), 42);
        ASSERT_EQ(g_seen.threads.size(), 1u);
        EXPECT_EQ(g_seen.threads[0], GetCurrentThreadId());
        DestroyWindow(hwnd);
    });
}

TEST(Sending, AcrossThreadsTheOwnerHandlesItWhileTheSenderWaits) {
    RunOnFreshThread([] {
        g_seen.Clear();
        HWND hwnd = CreateWindowWithProc(&RecordingProc, nullptr, "w");
        LRESULT result = 0;
        HTHREAD sender = StartThread([&]() -> DWORD {
            result = SendMessage(hwnd, kNotice, 8, 0);
            PostMessage(hwnd, WM_QUIT, 0, 0);
            return 0;
        });
        RunMessageLoop();
        ASSERT_EQ(WaitForThread(sender, 10000), WAIT_OBJECT_0);
        EXPECT_EQ(result, 16);
        ASSERT_EQ(g_seen.threads.size(), 1u);
        EXPECT_EQ(g_seen.threads[0], GetCurrentThreadId());
        DestroyWindow(hwnd);
    });
}

// A's procedure, while handling B's send, sends back to B: B must handle
// it while it waits.
HWND g_windowB = nullptr;
LRESULT SendsBackProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kNotice) {
        return SendMessage(g_windowB, kNotice, wParam + 1, 0) + 1;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST(Sending, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    RunOnFreshThread([] {
        g_seen.Clear();
        HWND windowA = CreateWindowWithProc(&SendsBackProc, nullptr, "a");
        LRESULT result = 0;
        HTHREAD threadB = StartThread([&]() -> DWORD {
            g_windowB = CreateWindowWithProc(&RecordingProc, nullptr, "b");
            result = SendMessage(windowA, kNotice, 10, 0);
            PostMessage(windowA, WM_QUIT, 0, 0);
            DestroyWindow(g_windowB);
            return 0;
        });
        RunMessageLoop();
        ASSERT_EQ(WaitForThread(threadB, 10000), WAIT_OBJECT_0);
        EXPECT_EQ(result, 23);  // B doubles 11, A adds 1
        ASSERT_EQ(g_seen.threads.size(), 1u);
        EXPECT_EQ(g_seen.threads[0], GetThreadId(threadB));
        DestroyWindow(windowA);
    });
}

TEST(Sending, ASendToAThreadThatEndsReturnsZero) {
    RunOnFreshThread([] {
        HWND window = nullptr;
        uitest::CEvent made;
        uitest::CEvent leave;
        HTHREAD owner = StartThread([&]() -> DWORD {
            window = CreateWindowWithProc(&RecordingProc, nullptr, "w");
            made.Set();
            leave.Wait();  // never looks at its queue
            return 0;
        });
        ASSERT_TRUE(made.Wait());
        HTHREAD sender = StartThread(
            [&]() -> DWORD { return static_cast<DWORD>(SendMessage(window, kNotice, 1, 0)); });
        leave.Set();
        ASSERT_EQ(WaitForThread(owner, 10000), WAIT_OBJECT_0);
        ASSERT_EQ(WaitForThread(sender, 10000), WAIT_OBJECT_0);
        EXPECT_EQ(GetExitCodeThread(sender), 0u);
        EXPECT_FALSE(IsWindow(window));  // a thread's windows end with it
    });
}

TEST(Waiting, WaitMessageForTimesOutOrSeesAPost) {
    RunOnFreshThread([] {
        EXPECT_FALSE(WaitMessageFor(10));
        DWORD self = GetCurrentThreadId();
        HTHREAD poster = StartThread(
            [self]() -> DWORD { return PostThreadMessage(self, kNotice, 0, 0) ? 0 : 1; });
        EXPECT_TRUE(WaitMessageFor(INFINITE));
        WaitForThread(poster);
        MSG msg;
        EXPECT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, kNotice);
    });
}

TEST(RegisteredMessages, SameNameSameIdAcrossThreads) {
    UINT id = RegisterWindowMessage("QueryCancelAutoPlay");
    EXPECT_GE(id, 0xC000u);
    EXPECT_LE(id, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessage("QueryCancelAutoPlay"), id);
    EXPECT_EQ(RegisterWindowMessage("querycancelautoplay"), id);
    UINT other = RegisterWindowMessage("TelvoraOther");
    EXPECT_NE(other, id);
    UINT fromThread = 0;
    RunOnFreshThread([&] { fromThread = RegisterWindowMessage("QueryCancelAutoPlay"); });
    EXPECT_EQ(fromThread, id);
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
    EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
}

}  // namespace
