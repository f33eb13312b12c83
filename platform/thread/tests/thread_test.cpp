#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/thread/thread.h"

namespace {

// A gate the test opens to let a thread finish.
class CGate {
public:
    void Open() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_open = true;
        }
        m_cv.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

struct CSetOnDestroy {
    std::atomic<bool>* flag;
    ~CSetOnDestroy() { *flag = true; }
};

[[noreturn]] void EndFromDepth(int depth, DWORD code, std::atomic<bool>* unwound) {
    CSetOnDestroy guard{unwound};
    if (depth == 0) {
        ExitThread(code);
    }
    EndFromDepth(depth - 1, code, unwound);
}

TEST(Threads, ExitCodeIsStillActiveWhileRunningAndKeptAfterTheEnd) {
    CGate gate;
    HTHREAD thread = StartThread([&]() -> DWORD {
        gate.Wait();
        return 1030;
    });
    ASSERT_TRUE(thread);
    EXPECT_EQ(GetExitCodeThread(thread), STILL_ACTIVE);
    // The gate is closed, so a short wait must time out.
    EXPECT_EQ(WaitForThread(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    gate.Open();
    EXPECT_EQ(WaitForThread(thread), WAIT_OBJECT_0);
    EXPECT_EQ(GetExitCodeThread(thread), 1030u);
    EXPECT_EQ(WaitForThread(thread, 0), WAIT_OBJECT_0);  // an ended thread stays signalled
}

TEST(Threads, ExitThreadUnwindsFromAnyDepth) {
    std::atomic<bool> unwound{false};
    HTHREAD thread = StartThread([&]() -> DWORD { EndFromDepth(5, 1008, &unwound); });
    ASSERT_EQ(WaitForThread(thread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(GetExitCodeThread(thread), 1008u);
    EXPECT_TRUE(unwound);
}

TEST(Threads, EscapingErrorsEndOnlyTheThreadWithACode) {
    HTHREAD framework =
        StartThread([]() -> DWORD { throw CFrameworkError("cannot open", ERROR_ACCESS_DENIED); });
    HTHREAD other = StartThread([]() -> DWORD { throw std::runtime_error("boom"); });
    ASSERT_EQ(WaitForThread(framework, 10000), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForThread(other, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(GetExitCodeThread(framework), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetExitCodeThread(other), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
}

TEST(Threads, IdsAndHandlesOfTheCallingThread) {
    DWORD seenId = 0;
    HTHREAD seenHandle;
    HTHREAD thread = StartThread([&]() -> DWORD {
        seenId = GetCurrentThreadId();
        seenHandle = GetCurrentThreadHandle();
        return 0;
    });
    ASSERT_EQ(WaitForThread(thread, 10000), WAIT_OBJECT_0);
    EXPECT_NE(seenId, 0u);
    EXPECT_NE(seenId, GetCurrentThreadId());
    EXPECT_EQ(GetThreadId(thread), seenId);
    EXPECT_EQ(seenHandle, thread);
    EXPECT_EQ(GetThreadId(nullptr), 0u);
}

TEST(Threads, HandleOfAThreadMadeElsewhereEndsWithZero) {
    HTHREAD handle;
    std::thread outside([&] { handle = GetCurrentThreadHandle(); });
    outside.join();
    ASSERT_TRUE(handle);
    EXPECT_EQ(WaitForThread(handle, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(GetExitCodeThread(handle), 0u);
}

TEST(Threads, NullHandleFails) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WaitForThread(nullptr), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

class CCountingThread : public CWinThread {
public:
    CCountingThread(std::atomic<bool>* destroyed, DWORD code, bool exitThread,
                    CGate* gate = nullptr)
        : m_destroyed(destroyed), m_code(code), m_bExitThread(exitThread), m_gate(gate) {}
    ~CCountingThread() override { *m_destroyed = true; }
    DWORD Run() override {
        if (m_gate) {
            m_gate->Wait();
        }
        m_handleSeen = Handle();
        if (m_bExitThread) {
            ExitThread(m_code);
        }
        return m_code;
    }
    HTHREAD m_handleSeen;

private:
    std::atomic<bool>* m_destroyed;
    DWORD m_code;
    bool m_bExitThread;
    CGate* m_gate;
};

TEST(WinThread, AutoDeleteObjectGoesButTheCodeStays) {
    std::atomic<bool> destroyed{false};
    CGate gate;
    auto* worker = new CCountingThread(&destroyed, 1006, false, &gate);
    ASSERT_TRUE(worker->CreateThread());
    // The object may go as soon as Run returns: take the handle first.
    HTHREAD handle = worker->Handle();
    gate.Open();
    ASSERT_EQ(WaitForThread(handle, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(destroyed);  // deleted before the thread counted as ended
    EXPECT_EQ(GetExitCodeThread(handle), 1006u);
}

TEST(WinThread, ExitThreadDeletesAnAutoDeleteObjectToo) {
    std::atomic<bool> destroyed{false};
    auto* worker = new CCountingThread(&destroyed, 1060, true);
    ASSERT_TRUE(worker->CreateThread(CWinThread::kCreateSuspended));
    // Suspended: the object and its handle are safe to read until resumed.
    HTHREAD handle = worker->Handle();
    worker->ResumeThread();
    ASSERT_EQ(WaitForThread(handle, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(GetExitCodeThread(handle), 1060u);
}

TEST(WinThread, ExitThreadWithoutAutoDeleteLeavesTheObjectToItsOwner) {
    std::atomic<bool> destroyed{false};
    auto* worker = new CCountingThread(&destroyed, 1030, true);
    worker->m_bAutoDelete = false;
    ASSERT_TRUE(worker->CreateThread());
    ASSERT_EQ(WaitForThread(worker->Handle(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(worker->m_handleSeen, worker->Handle());  // known from the start of Run
    HTHREAD handle = worker->Handle();
    delete worker;
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(GetExitCodeThread(handle), 1030u);
}

TEST(WinThread, ASuspendedThreadRunsOnlyWhenResumed) {
    std::atomic<bool> destroyed{false};
    auto* worker = new CCountingThread(&destroyed, 5, false);
    worker->m_bAutoDelete = false;
    ASSERT_TRUE(worker->CreateThread(CWinThread::kCreateSuspended));
    EXPECT_EQ(WaitForThread(worker->Handle(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(worker->m_handleSeen);
    worker->ResumeThread();
    ASSERT_EQ(WaitForThread(worker->Handle(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(worker->m_handleSeen, worker->Handle());
    delete worker;
}

TEST(WinThread, WithoutAutoDeleteTheOwnerDeletesAndStartsOnlyOnce) {
    std::atomic<bool> destroyed{false};
    auto* worker = new CCountingThread(&destroyed, 7, false);
    worker->m_bAutoDelete = false;
    ASSERT_TRUE(worker->CreateThread());
    ASSERT_EQ(WaitForThread(worker->Handle(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(destroyed);
    EXPECT_FALSE(worker->CreateThread());
    HTHREAD handle = worker->Handle();
    delete worker;
    EXPECT_EQ(GetExitCodeThread(handle), 7u);
}

class CNamedWorker : public CWinThread {
public:
    DWORD Run() override { return 42; }
};
DECLARE_THREAD_CLASS(CNamedWorker);

TEST(WinThread, RunTimeClassesAreMadeByName) {
    CWinThread* worker = CreateThreadObject("CNamedWorker");
    ASSERT_NE(worker, nullptr);
    worker->m_bAutoDelete = false;
    ASSERT_TRUE(worker->CreateThread());
    HTHREAD handle = worker->Handle();
    ASSERT_EQ(WaitForThread(handle, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(GetExitCodeThread(handle), 42u);
    delete worker;
    EXPECT_EQ(CreateThreadObject("CNoSuchThread"), nullptr);
}

}  // namespace
