// The installed course in the desktop's menu: its desktop entry in the
// user's applications folder, written when the setup step succeeds and
// removed with the course.
#pragma once

#include <string>

// ${XDG_DATA_HOME:-$HOME/.local/share}/applications (a relative XDG_DATA_HOME
// is ignored, as the base directory rules say). "" when neither is set.
std::string UserApplicationsFolder();

// The icon the entries name: the theme's name when the icon is installed in
// the share folder beside the programs' library folder (/usr/lib/telvora ->
// /usr/share/icons), its file when it lies in the build tree's share folder
// (bin/ -> share/icons), else the name alone (a theme may have it).
std::string CourseIconFor(const std::string& programDir);

struct CourseMenuEntry {
    std::string courseId;    // GBK
    std::string courseName;  // GBK
    std::string courseDir;   // UTF-8 Unix path
    std::string launcher;    // UTF-8 Unix path of the course's bin/lesson
    // The prefix the course is installed in when it is not the default one:
    // the menu starts the launcher with TELVORA_PREFIX set to it.
    std::string prefix;
    std::string icon;
};

// Writes (or replaces) the course's entry; *path names the file. The new text
// goes to a scratch file that then replaces the old one, so a reader never
// sees half an entry. False with *error (UTF-8).
bool WriteCourseMenuEntry(const CourseMenuEntry& entry, std::string* path, std::string* error);

// The course's entry when there is one and it is this course's: it carries
// the course id and names courseDir. "" otherwise (none, or an entry of the
// same name that points elsewhere, which is left alone).
std::string FindCourseMenuEntry(const std::string& courseIdGbk, const std::string& courseDir);
