#include "common/course_lock.h"

#include "platform/error/error.h"

ECourseLock LockCourse(const std::string& courseFolder, CInstanceLock* lock) {
    if (courseFolder.empty())
        return ECourseLock::kUnguarded;
    if (lock->Acquire(courseFolder + "\\systeminfo"))
        return ECourseLock::kTaken;
    return GetLastError() == ERROR_LOCK_VIOLATION ? ECourseLock::kBusy : ECourseLock::kUnguarded;
}
