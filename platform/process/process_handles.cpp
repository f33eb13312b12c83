// Process objects behind handles. Each started program has one watcher
// thread that waits for exactly its pid (never for any child, so
// RunProgramAndWait, Qt and other code that waits for their own children are
// not disturbed) and records how it ended; handles only look at that record.
// A program whose handles are closed early is therefore still reaped.
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/process/process_internal.h"

namespace process_detail {

struct ProcessState {
    std::mutex mutex;
    std::condition_variable changed;
    int pid = 0;
    bool startDone = false;  // the watcher has tried to start the program
    int startError = 0;      // errno when it could not
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

namespace {

// Ample for waitpid and a condition variable (the libraries' static TLS is
// carved from it too); the default 8 MiB would be reserved for every
// program left running.
constexpr std::size_t kWatcherStack = 256 * 1024;

// A waited status the way GetExitCodeProcess reports it.
DWORD ExitCodeOf(int status) {
    if (WIFEXITED(status))
        return static_cast<DWORD>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 128 + static_cast<DWORD>(WTERMSIG(status));
    return 0;
}

struct WatchStart {
    std::shared_ptr<ProcessState> state;
    std::function<int(int* pid)> spawn;
};

void* WatchThread(void* arg) {
    std::unique_ptr<WatchStart> start(static_cast<WatchStart*>(arg));
    std::shared_ptr<ProcessState> state = start->state;
    int pid = 0;
    const int err = start->spawn(&pid);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->pid = err == 0 ? pid : 0;
        state->startError = err;
        state->startDone = true;
        state->changed.notify_all();
    }
    if (err != 0)
        return nullptr;
    int status = 0;
    pid_t got;
    do {
        got = waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    std::lock_guard<std::mutex> lock(state->mutex);
    // Only when something else in the process reaped it (SIGCHLD set to be
    // ignored, or a wait for any child) is the status lost.
    state->exitCode = got == pid ? ExitCodeOf(status) : 0xFFFFFFFFu;
    state->ended = true;
    state->changed.notify_all();
    return nullptr;
}

// Handles are numbers in a table, never pointers, so a closed or made-up
// handle is refused instead of followed. The table lives for the whole
// process (never destroyed), as handles may be used while it ends.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<ProcessState>> entries;
    std::uintptr_t next = 0x1000;
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable;
    return *table;
}

std::shared_ptr<ProcessState> Lookup(HANDLE handle) {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == t.entries.end())
        return nullptr;
    return it->second;
}

}  // namespace

std::shared_ptr<ProcessState> StartWatched(std::function<int(int* pid)> spawn) {
    auto state = std::make_shared<ProcessState>();
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, kWatcherStack);
    // The watcher takes no signals: a tool that waits for its stop signals
    // with sigwait must not have them delivered here.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    auto* start = new WatchStart{state, std::move(spawn)};
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, WatchThread, start);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete start;
        SetLastErrorFromErrno(rc == EAGAIN ? ENOMEM : rc);
        return nullptr;
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    state->changed.wait(lock, [&] { return state->startDone; });
    if (state->startError != 0) {
        SetLastErrorFromErrno(state->startError);
        return nullptr;
    }
    return state;
}

int GetWatchedPid(const std::shared_ptr<ProcessState>& state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->pid;
}

HANDLE NewProcessHandle(const std::shared_ptr<ProcessState>& state) {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> lock(t.mutex);
    const std::uintptr_t value = t.next;
    t.next += 4;
    t.entries.emplace(value, state);
    return reinterpret_cast<HANDLE>(value);
}

}  // namespace process_detail

using process_detail::Lookup;
using process_detail::ProcessState;

DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs) {
    std::shared_ptr<ProcessState> state = Lookup(handle);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    auto ended = [&] { return state->ended; };
    if (timeoutMs == INFINITE) {
        state->changed.wait(lock, ended);
    } else if (!state->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended)) {
        return WAIT_TIMEOUT;
    }
    return WAIT_OBJECT_0;
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
    std::shared_ptr<ProcessState> state = Lookup(process);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    *exitCode = state->ended ? state->exitCode : static_cast<DWORD>(STILL_ACTIVE);
    return 1;
}

DWORD GetProcessId(HANDLE process) {
    std::shared_ptr<ProcessState> state = Lookup(process);
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    return static_cast<DWORD>(state->pid);
}

BOOL CloseHandle(HANDLE handle) {
    process_detail::HandleTable& t = process_detail::Handles();
    std::shared_ptr<ProcessState> released;  // let go outside the lock
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == t.entries.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        released = std::move(it->second);
        t.entries.erase(it);
    }
    return 1;
}
