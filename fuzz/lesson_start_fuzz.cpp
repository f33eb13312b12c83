// The launcher's course start from its own path and the course's start
// entry: the course folder it finds, and the command line it starts.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_env.h"
#include "lesson/course_start.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = input.find('\0');
    const std::string programPath = input.substr(0, zero);
    const std::string entry = zero == std::string::npos ? "" : input.substr(zero + 1);

    const std::string courseDir = CourseDirOfLauncher(programPath);
    // The folder above the program's own, with its backslash, or nothing.
    FUZZ_CHECK(courseDir.empty() || courseDir.back() == '\\');
    FUZZ_CHECK(programPath.compare(0, courseDir.size(), courseDir) == 0);
    FUZZ_CHECK(courseDir.size() < programPath.size() || courseDir.empty());
    const std::string ini = SetupIniPathOf(courseDir);
    FUZZ_CHECK(courseDir.empty() || ini == courseDir + "setup.ini");

    const std::string commandLine = CourseCommandLine(courseDir, entry);
    if (NamesCourseProgram(entry)) {
        FUZZ_CHECK(entry.find(".exe") != std::string::npos);
        FUZZ_CHECK(commandLine == courseDir + entry);
    } else {
        FUZZ_CHECK(commandLine ==
                   courseDir + "systemInfo\\soft\\iexplore.exe " + courseDir + entry);
    }
    return 0;
}
