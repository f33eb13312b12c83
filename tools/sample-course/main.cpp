// telvora-sample-course: writes a complete two-CD sample course for the
// demo, the tests and the benchmarks.
#include <charconv>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "platform/text/text.h"
#include "tools/sample-course/sample_course.h"

namespace {

constexpr int kLargeFiles = 5000;
constexpr int kLargeMegabytes = 200;

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

bool ParseCount(const std::string& s, int* value) {
    if (s.empty())
        return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *value);
    return ec == std::errc() && end == s.data() + s.size() && *value >= 0;
}

int Fail(const std::string& message) {
    std::cerr << "telvora-sample-course: " << message << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    SampleCourseOptions options;
    std::string dir;
    bool large = false;
    int files = -1, megabytes = -1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            std::cout << text::GbkToUtf8(kUsage);
            return 0;
        } else if (arg == "--large") {
            large = true;
        } else if (arg == "--read-only") {
            options.readOnly = true;
        } else if (arg == "--files") {
            if (!value(&v) || !ParseCount(v, &files))
                return Fail("--files needs a number");
        } else if (arg == "--megabytes") {
            if (!value(&v) || !ParseCount(v, &megabytes))
                return Fail("--megabytes needs a number");
        } else if (arg == "--id") {
            if (!value(&options.courseId))
                return Fail("--id needs a value");
        } else if (arg == "--name") {
            if (!value(&v))
                return Fail("--name needs a value");
            options.courseName = text::Utf8ToGbk(v);
            if (text::GbkToUtf8(options.courseName) != v) {
                return Fail("the course name holds characters that GBK can't represent");
            }
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << text::GbkToUtf8(kUsage);
            return Fail("unknown option " + arg);
        } else if (dir.empty()) {
            dir = arg;
        } else {
            return Fail("only one folder may be given");
        }
    }
    if (dir.empty()) {
        std::cerr << text::GbkToUtf8(kUsage);
        return 2;
    }
    if (large || files >= 0 || megabytes >= 0) {
        // Alone, --files keeps the large CD's average file size (about 40 KB).
        options.bulkFiles = files >= 0 ? files : kLargeFiles;
        options.bulkMegabytes =
            megabytes >= 0 ? megabytes
            : files >= 0
                ? static_cast<int>(static_cast<long long>(files) * kLargeMegabytes / kLargeFiles)
                : kLargeMegabytes;
    }
    if (std::string problem = CheckSampleOptions(options); !problem.empty())
        return Fail(problem);
    try {
        SampleCourseStats stats = WriteSampleCourse(dir, options);
        std::printf(
            "telvora-sample-course: wrote %llu files (%.1f MB) of course %s (%s) into "
            "%s/cd1 and %s/cd2\n",
            static_cast<unsigned long long>(stats.files), stats.bytes / 1048576.0,
            options.courseId.c_str(), text::GbkToUtf8(options.courseName).c_str(), dir.c_str(),
            dir.c_str());
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}
