// Hands work from the program's threads to the GUI thread, where every Qt
// widget lives. Posting never waits for the GUI; after Shutdown posting does
// nothing, so calls that arrive once the Qt application is gone are harmless.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace ui::qt {

class CGuiQueue {
public:
    // Must be made on the GUI thread.
    CGuiQueue();
    ~CGuiQueue();
    CGuiQueue(const CGuiQueue&) = delete;
    CGuiQueue& operator=(const CGuiQueue&) = delete;

    // Queues fn to run on the GUI thread, after the work queued before it.
    // False once shut down.
    bool Post(std::function<void()> fn);
    // GUI thread: drops the work not yet run; later posts do nothing.
    void Shutdown();
    bool IsShutDown() const;

private:
    class CReceiver;
    // GUI thread, for each wake-up event: runs the oldest work.
    void RunOne();

    // The work itself is handed over under this lock, not through Qt's
    // event queue, whose own locking race detectors cannot see.
    mutable std::mutex m_lock;
    std::deque<std::function<void()>> m_work;
    QObject* m_pContext;  // lives on the GUI thread; gets one wake-up per work
};

}  // namespace ui::qt
