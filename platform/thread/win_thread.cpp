#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/thread/thread.h"
#include "platform/thread/thread_internal.h"

struct CWinThread::ResumeGate {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;

    void Open() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            open = true;
        }
        cv.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [this] { return open; });
    }
};

CWinThread::CWinThread() = default;
CWinThread::~CWinThread() = default;

bool CWinThread::CreateThread(DWORD flags) {
    if (m_hThread) {
        SetLastError(ERROR_ALREADY_EXISTS);  // one thread per object
        return false;
    }
    // The handle is in place before Run starts, so Run may use it.
    m_hThread = thread_detail::NewThreadState();
    std::shared_ptr<ResumeGate> gate;
    if (flags & kCreateSuspended) {
        gate = std::make_shared<ResumeGate>();
        m_resume = gate;
    }
    CWinThread* self = this;
    bool started = thread_detail::LaunchThread(m_hThread, [self, gate]() -> DWORD {
        if (gate) {
            gate->Wait();
        }
        DWORD code = 0;
        try {
            code = self->Run();
        } catch (...) {
            // ExitThread and errors end the thread too: the object goes all
            // the same, and the wrapper takes the code from the exception.
            if (self->m_bAutoDelete) {
                delete self;
            }
            throw;
        }
        if (self->m_bAutoDelete) {
            delete self;
        }
        return code;
    });
    if (!started) {
        m_hThread.reset();
        m_resume.reset();
    }
    return started;
}

void CWinThread::ResumeThread() {
    // Taken out first: the object may be deleted once the gate is open.
    std::shared_ptr<ResumeGate> gate = std::move(m_resume);
    if (gate) {
        gate->Open();
    }
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
