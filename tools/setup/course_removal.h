// Removing an installed course: the records of installed courses, the checks
// that keep the removal to the course's own folder, and the removal itself.
#pragma once

#include <string>
#include <vector>

// A course record under HKCU\software\telvora: the key's name and the
// folder its subkey 1 names.
struct InstalledCourse {
    std::string courseId;  // GBK, as the key is named
    std::string winDir;    // GBK, "" when the record names no folder
};

// Every course record of the prefix (keys that have the folder subkey 1).
std::vector<InstalledCourse> ListInstalledCourses();

// The courseid of a course folder's setup.ini (GBK, read as the installer's
// worker reads it), or "" when the folder has no readable setup.ini.
std::string CourseIdInFolder(const std::string& unixDir, std::string* courseName = nullptr);

// A folder the removal never takes, nor any folder above it.
struct GuardedFolder {
    std::string path;  // UTF-8
    std::string what;  // what it is, for the message ("your home folder")
};

// Whether unixDir may be removed as the folder of courseId. Refused, with
// *error (UTF-8) saying why: a path that is not absolute or is a symbolic
// link, a missing folder, the root folder, any of the guarded folders (the
// home folder, the prefix, the programs' folder) or a folder above one, a
// folder with a mounted file system at or below it (mounts: the text of a
// mount table, /proc/self/mounts), a folder whose setup.ini is missing or
// names another course, and a folder that holds another course's folder.
bool CheckCourseFolderToRemove(const std::string& unixDir, const std::string& courseIdGbk,
                               const std::vector<GuardedFolder>& guarded,
                               const std::vector<std::string>& otherCourseDirs,
                               const std::string& mounts, std::string* error);

// Removes the folder and everything in it (symbolic links are removed, never
// followed; read-only folders inside are made writable first). setup.ini
// goes last, so a removal that stops half-way can be run again. False with
// *error (UTF-8) naming what could not be removed.
bool RemoveCourseFolder(const std::string& unixDir, std::string* error);

// Deletes HKCU\software\telvora\<courseId> with everything under it.
bool RemoveCourseRecord(const std::string& courseIdGbk, std::string* error);

// The module the update control is registered with (the default value of
// its class's InprocServer32 key, a Windows path in GBK), or "" when it is
// not registered.
std::string RegisteredControlModule();
