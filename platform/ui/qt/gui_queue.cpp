#include "platform/ui/qt/gui_queue.h"

#include <QCoreApplication>
#include <QEvent>

namespace ui::qt {

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

// Runs one piece of the queue's work for each wake-up event.
class CGuiQueue::CReceiver : public QObject {
public:
    explicit CReceiver(CGuiQueue* queue) : m_pQueue(queue) {}

    bool event(QEvent* e) override {
        {
            // The event was made under the lock: taking it first orders its
            // making before this look at it.
            std::lock_guard<std::mutex> guard(m_pQueue->m_lock);
        }
        if (e->type() != kWakeEvent)
            return QObject::event(e);
        m_pQueue->RunOne();
        return true;
    }

private:
    CGuiQueue* m_pQueue;
};

CGuiQueue::CGuiQueue() : m_pContext(new CReceiver(this)) {}

CGuiQueue::~CGuiQueue() {
    Shutdown();
}

bool CGuiQueue::Post(std::function<void()> fn) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_pContext == nullptr) {
        return false;
    }
    // Posting under the lock keeps Shutdown from deleting the context
    // while an event is being queued for it.
    m_work.push_back(std::move(fn));
    QCoreApplication::postEvent(m_pContext, new QEvent(kWakeEvent));
    return true;
}

void CGuiQueue::RunOne() {
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_work.empty()) {
            return;
        }
        fn = std::move(m_work.front());
        m_work.pop_front();
    }
    fn();
}

void CGuiQueue::Shutdown() {
    QObject* context = nullptr;
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        context = m_pContext;
        m_pContext = nullptr;
        dropped.swap(m_work);
    }
    // Deleting the context discards the wake-ups still queued for it; the
    // work they stood for goes with `dropped`, outside the lock.
    delete context;
}

bool CGuiQueue::IsShutDown() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pContext == nullptr;
}

}  // namespace ui::qt
