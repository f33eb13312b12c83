// A small pool of threads for the slow password hash, so that a login never
// runs it on the thread that serves the connections. Jobs run in the order
// they came; a job that cannot run any more (the pool stops, or too many
// wait) is called with cancelled set, so that it still answers.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CHashPool {
public:
    using Job = std::function<void(bool cancelled)>;

    // threads 0: one per processor core.
    explicit CHashPool(unsigned threads = 0, std::size_t maxWaiting = 4096);
    ~CHashPool();  // stops
    CHashPool(const CHashPool&) = delete;
    CHashPool& operator=(const CHashPool&) = delete;

    // Queues job; when maxWaiting jobs already wait, or the pool has
    // stopped, calls it at once with cancelled set.
    void Submit(Job job);
    // Cancels the jobs still waiting, lets the running ones finish and ends
    // the threads. Idempotent.
    void Stop();
    unsigned Threads() const { return static_cast<unsigned>(m_threads.size()); }

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::size_t m_maxWaiting;
    bool m_bStopping = false;
    std::vector<std::thread> m_threads;
};
