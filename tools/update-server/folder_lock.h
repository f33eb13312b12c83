// One publish or account change at a time in a served folder. The lock is a
// folder (DIR/.lock) made in one step, which only one process can do; it
// names its owner's process. A lock whose owner is gone (a crash) is not
// taken over silently: the message says so and which folder to remove.
#pragma once

#include <string>

class CFolderLock {
public:
    CFolderLock() = default;
    ~CFolderLock();  // releases
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

    // Takes the lock at lockFolder, waiting up to waitSeconds while another
    // process holds it. False with *error (UTF-8) when it cannot.
    bool Acquire(const std::string& lockFolder, unsigned waitSeconds, std::string* error);
    void Release();

private:
    std::string m_strFolder;
};
