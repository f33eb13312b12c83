// How the launcher finds its course and what it starts: the course folder
// from the launcher's own path, and the command line that opens the course
// in the course's browser or starts the course's own program.
#pragma once

#include <string>

// The course folder of a launcher at programPath (a Windows path): the
// folder above the one holding the program, with its trailing backslash
// (C:\A\B\lesson gives C:\A\); empty when there is no such folder. The whole
// path counts, however long.
std::string CourseDirOfLauncher(const std::string& programPath);

// setup.ini of a course folder given with its trailing backslash; empty (a
// file that can't be opened) when there is no course folder.
std::string SetupIniPathOf(const std::string& courseDir);

// True when setup.ini's "default" entry names the course's own program
// rather than a page: it contains ".exe" in exactly that letter case.
bool NamesCourseProgram(const std::string& defaultEntry);

// The command line that opens the course: the course's browser
// (systemInfo\soft\iexplore.exe) followed by the start page, or, for a
// program entry, the program alone. Neither path is quoted: the process
// service reads an unquoted program path with blanks as the desktop system
// does and hands the browser the rest of the line as one page path.
std::string CourseCommandLine(const std::string& courseDir, const std::string& defaultEntry);
