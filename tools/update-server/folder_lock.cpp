#include "tools/update-server/folder_lock.h"

#include <thread>

bool CFolderLock::Acquire(const std::string& path, unsigned waitSeconds, std::string* error) {
    Release();
    // Polled: a lock that waits in the kernel could not give up in time.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    for (;;) {
        bool busy = false;
        std::string why;
        if (m_lock.TryAcquire(path, &busy, &why))
            return true;
        if (!busy) {
            *error = why;
            return false;
        }
        if (std::chrono::steady_clock::now() >= giveUp)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    *error = "another publish or account change is running in this folder (it holds " + path +
             "); try again when it has finished";
    return false;
}
