// One publish, unpublish or account change at a time in a served folder: a
// lock on DIR/.lock-publish that the kernel lets go of when its holder ends,
// however it ends, so a crash never leaves the folder locked. Several
// machines sharing the folder exclude each other as far as their file
// system's locks reach (NFS passes them on).
#pragma once

#include <string>

#include "platform/serverio/server_files.h"

class CFolderLock {
public:
    // Takes the lock at lockFile (CPackageStore::LockFile), waiting up to
    // waitSeconds while another process holds it. False with *error (UTF-8)
    // when it cannot.
    bool Acquire(const std::string& lockFile, unsigned waitSeconds, std::string* error);
    void Release() { m_lock.Release(); }

private:
    CFileLock m_lock;
};
