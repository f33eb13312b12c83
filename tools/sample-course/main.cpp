// telvora-sample-course: writes a complete two-CD sample course for the
// demo, the tests and the benchmarks.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "platform/text/text.h"
#include "tools/sample-course/sample_args.h"
#include "tools/sample-course/sample_course.h"

namespace {

constexpr const char kName[] = "telvora-sample-course";

const char kUsage[] =
    "usage: telvora-sample-course DIR [--large] [--files N] [--megabytes M]\n"
    "                             [--id COURSEID] [--name TITLE] [--read-only]\n"
    "Writes a two-CD sample course into DIR/cd1 and DIR/cd2.\n"
    "  --large        add about 5000 files and 200 MB to the first CD (benchmarks)\n"
    "  --files N      add N files to the first CD (about 40 KB each unless --megabytes)\n"
    "  --megabytes M  total size of the added files in MB\n"
    "  --id ID        course id (letters, digits, '_', '-'; default jsjyy01)\n"
    "  --name TITLE   course title (default 计算机应用基础)\n"
    "  --read-only    make every file read-only, as on a pressed disc\n";

}  // namespace

int main(int argc, char** argv) {
    CSampleArgs parsed;
    std::string error;
    switch (ParseSampleArgs(std::vector<std::string>(argv + 1, argv + argc), &parsed, &error)) {
        case EToolParse::kHelp:
            std::cout << text::GbkToUtf8(kUsage);
            return 0;
        case EToolParse::kUsageError:
            PrintUsageError(std::cerr, kName, error);
            return 2;
        case EToolParse::kRun:
            break;
    }
    const SampleCourseOptions& options = parsed.options;
    if (std::string problem = CheckSampleOptions(options); !problem.empty()) {
        PrintUsageError(std::cerr, kName, problem);
        return 2;
    }
    try {
        SampleCourseStats stats = WriteSampleCourse(parsed.dir, options);
        std::printf(
            "telvora-sample-course: wrote %llu files (%.1f MB) of course %s (%s) into "
            "%s/cd1 and %s/cd2\n",
            static_cast<unsigned long long>(stats.files), stats.bytes / 1048576.0,
            options.courseId.c_str(), text::GbkToUtf8(options.courseName).c_str(),
            parsed.dir.c_str(), parsed.dir.c_str());
    } catch (const std::exception& e) {
        std::cerr << kName << ": " << e.what() << "\n";
        return 2;
    }
    return 0;
}
