// One thread that runs callbacks when they fall due: the answerer's time-outs
// and waits, so that no dialog thread sleeps.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace ui::headless {

class CTimerThread {
public:
    using Clock = std::chrono::steady_clock;

    CTimerThread() = default;
    // Stops the thread; callbacks not yet due are dropped, a running one ends first.
    ~CTimerThread();
    CTimerThread(const CTimerThread&) = delete;
    CTimerThread& operator=(const CTimerThread&) = delete;

    // Runs fn on the timer thread after delay (the thread starts on first use).
    void Schedule(Clock::duration delay, std::function<void()> fn);

private:
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::multimap<Clock::time_point, std::function<void()>> m_due;
    bool m_bStop = false;
    std::thread m_thread;
};

}  // namespace ui::headless
