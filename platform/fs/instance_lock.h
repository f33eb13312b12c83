// One holder at a time for a file or folder, across processes: the lock
// belongs to an open handle, and the kernel lets go of it when the handle is
// closed, however the holding process ends (killed included), so a run that
// died never keeps the next one out.
#pragma once

#include <string>

class CInstanceLock {
public:
    CInstanceLock() = default;
    ~CInstanceLock();  // releases
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Takes the lock on a Windows path: an existing folder, or a file
    // (created when missing). Does not wait: false with ERROR_LOCK_VIOLATION
    // while another holder (this process included) has it, or with the
    // failure's code when the path can't be opened or locked.
    bool Acquire(const std::string& path);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
