#include <map>
#include <mutex>

#include "platform/thread/thread.h"
#include "platform/thread/thread_internal.h"

CWinThread::CWinThread() = default;
CWinThread::~CWinThread() = default;

bool CWinThread::CreateThread() {
    if (m_hThread) {
        SetLastError(ERROR_ALREADY_EXISTS);  // one thread per object
        return false;
    }
    // The handle is in place before Run starts, so Run may use it.
    m_hThread = thread_detail::NewThreadState();
    CWinThread* self = this;
    bool started = thread_detail::LaunchThread(m_hThread, [self]() -> DWORD {
        DWORD code = self->Run();
        // Only a normal return deletes the object: ExitThread and errors unwind
        // past this point and leave it alive.
        if (self->m_bAutoDelete) {
            delete self;
        }
        return code;
    });
    if (!started) {
        m_hThread.reset();
    }
    return started;
}

namespace {

struct ThreadClasses {
    std::mutex mutex;
    std::map<std::string, ThreadFactory> factories;
};

// Never destroyed: threads may still create objects while the process ends.
ThreadClasses& Classes() {
    static ThreadClasses* classes = new ThreadClasses;
    return *classes;
}

}  // namespace

void RegisterThreadClass(const std::string& name, ThreadFactory factory) {
    std::lock_guard<std::mutex> lock(Classes().mutex);
    Classes().factories[name] = std::move(factory);
}

CWinThread* CreateThreadObject(const std::string& name) {
    ThreadFactory factory;
    {
        std::lock_guard<std::mutex> lock(Classes().mutex);
        auto it = Classes().factories.find(name);
        if (it == Classes().factories.end()) {
            return nullptr;
        }
        factory = it->second;
    }
    return factory ? factory() : nullptr;
}
