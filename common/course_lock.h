// One installer or update at a time on an installed course, across
// processes: both take the lock on the course's systeminfo folder before
// they change anything of the course and hold it until they are done. The
// kernel lets go of it when its holder ends, however it ends.
#pragma once

#include <string>

#include "platform/fs/instance_lock.h"

enum class ECourseLock {
    kTaken,      // this caller holds the course now
    kBusy,       // another installer or update holds it: change nothing
    kUnguarded,  // no lock can be had here (no systeminfo folder, a file
                 // system without locks): the caller goes on unguarded
};

// Tries to take the course folder's lock into *lock without waiting.
ECourseLock LockCourse(const std::string& courseFolder, CInstanceLock* lock);

// What a program tells its user when the course is busy.
constexpr char kCourseBusyText[] = "该课件正在安装或更新，请稍后再试。";
