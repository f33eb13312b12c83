#include "tools/update-server/hash_pool.h"

#include <algorithm>

CHashPool::CHashPool(unsigned threads, std::size_t maxWaiting) : m_maxWaiting(maxWaiting) {
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { Run(); });
}

CHashPool::~CHashPool() {
    Stop();
}

void CHashPool::Submit(Job job) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bStopping && m_jobs.size() < m_maxWaiting) {
            m_jobs.push_back(std::move(job));
            m_wake.notify_one();
            return;
        }
    }
    job(true);
}

void CHashPool::Stop() {
    std::deque<Job> cancelled;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopping = true;
        cancelled.swap(m_jobs);
    }
    m_wake.notify_all();
    for (Job& job : cancelled)
        job(true);
    for (std::thread& t : m_threads)
        if (t.joinable())
            t.join();
}

void CHashPool::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job(false);
    }
}
