// Per-thread message queues: posted messages, cross-thread sends and quit
// requests, with the retrieval order of the desktop system: sent messages are
// handled first, then posted messages in order, then the quit request.
#include <optional>
#include <unordered_map>

#include "platform/text/text.h"
#include "platform/thread/thread.h"
#include "platform/ui/ui_internal.h"

namespace ui::detail {
namespace {

struct QueueRegistry {
    std::mutex mutex;
    std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> queues;
};

// Never destroyed: other threads may still post while the process ends.
QueueRegistry& Registry() {
    static QueueRegistry* registry = new QueueRegistry;
    return *registry;
}

void Complete(SentMessage& sent, LRESULT result) {
    {
        std::lock_guard<std::mutex> lock(sent.sender->mutex);
        sent.result = result;
        sent.done = true;
    }
    sent.sender->wake.notify_one();
}

// The thread's end: its windows go, senders waiting on it are let go with 0.
void Shutdown(const std::shared_ptr<ThreadQueue>& queue) {
    std::deque<std::shared_ptr<SentMessage>> sent;
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        queue->alive = false;
        queue->posted.clear();
        queue->postedQuits = 0;
        sent.swap(queue->sent);
    }
    for (auto& s : sent) {
        Complete(*s, 0);
    }
    {
        std::lock_guard<std::mutex> lock(Registry().mutex);
        Registry().queues.erase(queue->threadId);
    }
    ForgetWindowsOf(queue->threadId);
}

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (queue) {
            Shutdown(queue);
        }
    }
};

thread_local QueueHolder t_queue;

// Handles the first sent message; called and returns with the lock held.
void HandleSent(ThreadQueue& queue, std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<SentMessage> sent = queue.sent.front();
    queue.sent.pop_front();
    lock.unlock();
    {
        // The sender is let go even when the handler unwinds (ExitThread), and
        // before this queue is locked again: two threads completing each
        // other's sends must never hold their own locks while doing so.
        struct Completer {
            SentMessage& sent;
            LRESULT result = 0;
            ~Completer() { Complete(sent, result); }
        } completer{*sent};
        completer.result =
            Deliver(sent->msg.hwnd, sent->msg.message, sent->msg.wParam, sent->msg.lParam);
    }
    lock.lock();
}

enum class Fetched { Message, Quit, Nothing };

using Clock = std::chrono::steady_clock;

Fetched Fetch(MSG* out, bool remove, bool wait, std::optional<Clock::time_point> deadline) {
    const std::shared_ptr<ThreadQueue>& queue = CurrentQueue();
    std::unique_lock<std::mutex> lock(queue->mutex);
    for (;;) {
        if (!queue->sent.empty()) {
            HandleSent(*queue, lock);
            continue;
        }
        if (!queue->posted.empty()) {
            MSG msg = queue->posted.front();
            if (remove) {
                queue->posted.pop_front();
                if (msg.message == WM_QUIT) {
                    --queue->postedQuits;
                    queue->hadQuit = true;
                    queue->lastQuitCode = static_cast<int>(msg.wParam);
                }
            }
            if (out) {
                *out = msg;
            }
            return msg.message == WM_QUIT ? Fetched::Quit : Fetched::Message;
        }
        if (queue->quitPending) {
            if (out) {
                *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue->quitCode), 0};
            }
            if (remove) {
                queue->quitPending = false;
                queue->hadQuit = true;
                queue->lastQuitCode = queue->quitCode;
            }
            return Fetched::Quit;
        }
        if (!wait) {
            return Fetched::Nothing;
        }
        if (!deadline) {
            queue->wake.wait(lock);
        } else if (Clock::now() >= *deadline) {
            return Fetched::Nothing;
        } else {
            queue->wake.wait_until(lock, *deadline);
        }
    }
}

}  // namespace

const std::shared_ptr<ThreadQueue>& CurrentQueue() {
    // The thread's identity first, so that it outlives the queue at thread end.
    DWORD id = GetCurrentThreadId();
    if (!t_queue.queue) {
        auto queue = std::make_shared<ThreadQueue>();
        queue->threadId = id;
        {
            std::lock_guard<std::mutex> lock(Registry().mutex);
            Registry().queues[id] = queue;
        }
        t_queue.queue = std::move(queue);
    }
    return t_queue.queue;
}

bool Post(ThreadQueue& queue, const MSG& msg) {
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        if (!queue.alive) {
            return false;
        }
        queue.posted.push_back(msg);
        if (msg.message == WM_QUIT) {
            ++queue.postedQuits;
        }
    }
    queue.wake.notify_one();  // only the owner ever waits on it
    return true;
}

void PassQuitOn(int code) {
    ThreadQueue& queue = *CurrentQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (!queue.quitPending) {
        queue.quitPending = true;
        queue.quitCode = code;
    }
}

int LastQuitCode() {
    ThreadQueue& queue = *CurrentQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    return queue.hadQuit ? queue.lastQuitCode : 0;
}

}  // namespace ui::detail

using namespace ui::detail;

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> queue;
    if (!hwnd) {
        queue = CurrentQueue();
    } else {
        queue = WithWindow(hwnd, std::shared_ptr<ThreadQueue>(), [](Window& w) { return w.queue; });
        if (!queue) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    if (!Post(*queue, MSG{hwnd, msg, wParam, lParam})) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> queue;
    {
        std::lock_guard<std::mutex> lock(Registry().mutex);
        auto it = Registry().queues.find(threadId);
        if (it != Registry().queues.end()) {
            queue = it->second.lock();
        }
    }
    if (!queue || !Post(*queue, MSG{nullptr, msg, wParam, lParam})) {
        SetLastError(ERROR_INVALID_PARAMETER);  // no such thread, or it has no queue
        return FALSE;
    }
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> target =
        WithWindow(hwnd, std::shared_ptr<ThreadQueue>(), [](Window& w) { return w.queue; });
    if (!target) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::shared_ptr<ThreadQueue>& self = CurrentQueue();
    if (target == self) {
        return Deliver(hwnd, msg, wParam, lParam);
    }
    auto sent = std::make_shared<SentMessage>();
    sent->msg = MSG{hwnd, msg, wParam, lParam};
    sent->sender = self;
    {
        std::lock_guard<std::mutex> lock(target->mutex);
        if (!target->alive) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        target->sent.push_back(sent);
    }
    target->wake.notify_one();
    // While waiting, handle what others send to this thread, so that two
    // threads sending to each other do not wait for ever.
    std::unique_lock<std::mutex> lock(self->mutex);
    while (!sent->done) {
        if (!self->sent.empty()) {
            HandleSent(*self, lock);
            continue;
        }
        self->wake.wait(lock);
    }
    return sent->result;
}

void PostQuitMessage(int exitCode) {
    ThreadQueue& queue = *CurrentQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.quitPending = true;
    queue.quitCode = exitCode;
}

BOOL GetMessage(MSG* msg, HWND, UINT, UINT) {
    MSG local;
    return Fetch(msg ? msg : &local, true, true, std::nullopt) == Fetched::Quit ? FALSE : TRUE;
}

BOOL PeekMessage(MSG* msg, HWND, UINT, UINT, UINT removeFlags) {
    MSG local;
    return Fetch(msg ? msg : &local, (removeFlags & PM_REMOVE) != 0, false, std::nullopt) !=
                   Fetched::Nothing
               ? TRUE
               : FALSE;
}

bool WaitMessageFor(DWORD timeoutMs) {
    std::optional<Clock::time_point> deadline;
    if (timeoutMs != 0xFFFFFFFFu) {
        deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    }
    return Fetch(nullptr, false, true, deadline) != Fetched::Nothing;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg || !msg->hwnd) {
        return 0;  // thread messages have no window to go to
    }
    return Deliver(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0)) {
        DispatchMessage(&msg);
    }
    return static_cast<int>(msg.wParam);
}

bool IsQuitPending(int* exitCode) {
    ThreadQueue& queue = *CurrentQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    // A posted WM_QUIT is retrieved before the request, so its code comes first.
    if (queue.postedQuits > 0) {
        for (const MSG& msg : queue.posted) {
            if (msg.message == WM_QUIT) {
                if (exitCode) {
                    *exitCode = static_cast<int>(msg.wParam);
                }
                return true;
            }
        }
    }
    if (queue.quitPending) {
        if (exitCode) {
            *exitCode = queue.quitCode;
        }
        return true;
    }
    return false;
}

UINT RegisterWindowMessage(const char* name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    struct Names {
        std::mutex mutex;
        std::unordered_map<std::string, UINT> ids;
        UINT next = 0xC000;
    };
    static Names* names = new Names;
    // Names are compared without regard to letter case, as on the desktop system.
    std::string key = text::AsciiLower(name);
    std::lock_guard<std::mutex> lock(names->mutex);
    auto it = names->ids.find(key);
    if (it != names->ids.end()) {
        return it->second;
    }
    if (names->next > 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    UINT id = names->next++;
    names->ids.emplace(std::move(key), id);
    return id;
}
