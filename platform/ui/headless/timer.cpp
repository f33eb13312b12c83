#include "platform/ui/headless/timer.h"

#include <cstdio>
#include <exception>

namespace ui::headless {

CTimerThread::~CTimerThread() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CTimerThread::Schedule(Clock::duration delay, std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStop) {
            return;
        }
        m_due.emplace(Clock::now() + delay, std::move(fn));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { Loop(); });
        }
    }
    m_wake.notify_all();
}

void CTimerThread::Loop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        if (m_due.empty()) {
            m_wake.wait(lock);
            continue;
        }
        auto first = m_due.begin();
        if (Clock::now() < first->first) {
            m_wake.wait_until(lock, first->first);
            continue;
        }
        std::function<void()> fn = std::move(first->second);
        m_due.erase(first);
        lock.unlock();
        try {
            fn();  // outside the lock: a callback may schedule the next one
        } catch (const std::exception& e) {
            std::fprintf(stderr, "telvora: answer timer: %s\n", e.what());
        }
        lock.lock();
    }
}

}  // namespace ui::headless
