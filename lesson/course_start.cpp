#include "lesson/course_start.h"

#include "common/course_format.h"

std::string CourseDirOfLauncher(const std::string& programPath) {
    return BaseDirOf(programPath);
}

std::string SetupIniPathOf(const std::string& courseDir) {
    // Without a course folder there is nothing to read: a bare "setup.ini"
    // would be looked for in whatever folder the launcher was started from.
    return courseDir.empty() ? std::string() : courseDir + "setup.ini";
}

bool NamesCourseProgram(const std::string& defaultEntry) {
    // No GBK trail byte is a ".", so a byte search finds only a real ".exe".
    return defaultEntry.find(".exe") != std::string::npos;
}

std::string CourseCommandLine(const std::string& courseDir, const std::string& defaultEntry) {
    if (NamesCourseProgram(defaultEntry)) {
        return courseDir + defaultEntry;
    }
    return courseDir + "systemInfo" + "\\soft" + "\\iexplore.exe " + courseDir + defaultEntry;
}
