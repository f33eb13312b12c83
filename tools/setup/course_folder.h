// The installed course folder as the setup step makes it before the
// installer's first run: the folder named after the course id, its
// setup.ini, the systeminfo folder of the CD, the media decision file, the
// installed-course record and links to the programs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/setup/course_disc.h"

struct CoursePlace {
    std::string unixDir;  // UTF-8
    std::string winDir;   // GBK, no trailing backslash: the registry record's value
};

// The longest course folder path the installer can read from the record.
constexpr std::size_t kMaxCourseDirLength = 99;

// Works out and creates the course folder: dest (UTF-8, a Windows path such as
// "C:\courses" or a Unix path; empty for defaultParent) + the course id.
bool MakeCoursePlace(const std::string& dest, const std::string& defaultParent,
                     const std::string& courseId, CoursePlace* place, std::string* error);

// True when the folder already holds an installed course (its setup.ini).
bool HoldsCourse(const CoursePlace& place);

// The Unix folder of the course id's installed copy when its registry record
// names a folder other than place that still holds the course.
std::optional<std::string> InstalledElsewhere(const std::string& courseId,
                                              const CoursePlace& place);

// The Unix path of a file or folder of the course, given its path relative
// to the course folder in Windows form ("systeminfo\fail.txt").
std::string CourseFile(const CoursePlace& place, const std::string& winRelPath);

// Writes setup.ini, copies the CD's systeminfo folder (writable in the
// course) and writes systeminfo\installasf.txt.
bool WriteCourseFiles(const CoursePlace& place, const DiscDescription& disc,
                      const std::string& cdRoot, bool copyMedia, std::string* error);

// HKCU\software\telvora\<id> with the version "0" and its subkey 1 with the
// course folder.
bool WriteCourseRecord(const std::string& courseId, const CoursePlace& place, std::string* error);

// Links bin\install (required) and bin\lesson (when built) of the course to
// the programs in programDir; *linked names the links made.
bool LinkPrograms(const CoursePlace& place, const std::string& programDir,
                  std::vector<std::string>* linked, std::string* error);
