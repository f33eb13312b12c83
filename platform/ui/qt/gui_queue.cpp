#include "platform/ui/qt/gui_queue.h"

#include <QMetaObject>

namespace ui::qt {

CGuiQueue::CGuiQueue() : m_pContext(new QObject) {}

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
    return QMetaObject::invokeMethod(m_pContext, std::move(fn), Qt::QueuedConnection);
}

void CGuiQueue::Shutdown() {
    QObject* context = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        context = m_pContext;
        m_pContext = nullptr;
    }
    // Deleting the context discards the events still queued for it.
    delete context;
}

bool CGuiQueue::IsShutDown() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pContext == nullptr;
}

}  // namespace ui::qt
