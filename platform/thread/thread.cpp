#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/thread/thread.h"
#include "platform/thread/thread_internal.h"

struct ThreadState {
    std::mutex mutex;
    std::condition_variable ended_cv;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD id = 0;
};

namespace {

std::atomic<DWORD> g_nextThreadId{1};

void MarkEnded(ThreadState& state, DWORD code) {
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        if (state.ended) {
            return;
        }
        state.ended = true;
        state.exitCode = code;
    }
    state.ended_cv.notify_all();
}

// The calling thread's identity. Made first on a thread started here, so it is
// destroyed after every other thread-local object (the thread's message queue
// and windows among them): waiters see the end only once all of that is gone.
struct CurrentThread {
    DWORD id = 0;
    HTHREAD handle;
    DWORD exitCode = 0;  // threads not started here end with 0

    ~CurrentThread() {
        if (handle) {
            MarkEnded(*handle, exitCode);
        }
    }
};

thread_local CurrentThread t_current;

CurrentThread& Current() {
    if (t_current.id == 0) {
        t_current.id = g_nextThreadId.fetch_add(1);
    }
    return t_current;
}

}  // namespace

namespace thread_detail {

HTHREAD NewThreadState() {
    return std::make_shared<ThreadState>();
}

bool LaunchThread(const HTHREAD& state, std::function<DWORD()> fn) {
    try {
        state->id = g_nextThreadId.fetch_add(1);  // fixed before the thread exists
        std::thread worker([state, fn = std::move(fn)]() {
            CurrentThread& self = t_current;
            self.id = state->id;
            self.handle = state;
            DWORD code = ERROR_INVALID_FUNCTION;
            try {
                code = fn();
            } catch (const CThreadExit& e) {
                code = e.code;
            } catch (const CFrameworkError& e) {
                std::fprintf(stderr, "telvora: thread %u ended by an error: %s\n", self.id,
                             e.what());
                code = e.Code();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "telvora: thread %u ended by an error: %s\n", self.id,
                             e.what());
                code = ERROR_INVALID_FUNCTION;
            } catch (...) {
                std::fprintf(stderr, "telvora: thread %u ended by an unknown error\n", self.id);
                code = ERROR_INVALID_FUNCTION;
            }
            self.exitCode = code;
        });
        worker.detach();
        return true;
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

}  // namespace thread_detail

void ExitThread(DWORD code) {
    throw CThreadExit{code};
}

HTHREAD GetCurrentThreadHandle() {
    CurrentThread& self = Current();
    if (!self.handle) {
        self.handle = std::make_shared<ThreadState>();
        self.handle->id = self.id;
    }
    return self.handle;
}

DWORD GetCurrentThreadId() {
    return Current().id;
}

DWORD GetThreadId(const HTHREAD& thread) {
    return thread ? thread->id : 0;
}

DWORD WaitForThread(const HTHREAD& thread, DWORD timeoutMs) {
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> lock(thread->mutex);
    auto ended = [&] { return thread->ended; };
    if (timeoutMs == INFINITE) {
        thread->ended_cv.wait(lock, ended);
        return WAIT_OBJECT_0;
    }
    if (thread->ended_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended)) {
        return WAIT_OBJECT_0;
    }
    return WAIT_TIMEOUT;
}

DWORD GetExitCodeThread(const HTHREAD& thread) {
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return STILL_ACTIVE;
    }
    std::lock_guard<std::mutex> lock(thread->mutex);
    return thread->ended ? thread->exitCode : STILL_ACTIVE;
}

HTHREAD StartThread(std::function<DWORD()> fn) {
    HTHREAD state = thread_detail::NewThreadState();
    if (!thread_detail::LaunchThread(state, std::move(fn))) {
        return nullptr;
    }
    return state;
}
