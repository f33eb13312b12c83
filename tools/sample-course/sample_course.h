// The sample two-CD course: what it is made of and the call that writes it.
// Texts inside are GBK like every narrow string of the system; file names
// are written to disk in UTF-8.
#pragma once

#include <cstdint>
#include <string>

struct SampleCourseOptions {
    std::string courseId = "jsjyy01";
    std::string courseName = "计算机应用基础";  // GBK
    // Extra files and megabytes added to the first CD for benchmarks; 0 keeps
    // the course small.
    int bulkFiles = 0;
    int bulkMegabytes = 0;
    // Clear the write permission of every file, as on a pressed disc.
    bool readOnly = false;
};

// What a CD of the sample holds, for callers that check it.
constexpr int kChaptersPerCd = 3;
constexpr const char* kInsteadFile = "wmvpage";
constexpr const char* kExtendName = "wmv";
constexpr const char* kStartPage = "index.htm";

struct SampleCourseStats {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// Checks the options: an empty string when they can be used, else a message
// (English, for the terminal) saying what is wrong.
std::string CheckSampleOptions(const SampleCourseOptions& options);

// Writes the course into unixDir/cd1 and unixDir/cd2 (created; they must not
// hold anything yet). Throws std::runtime_error (or a filesystem error) with
// a message when something can't be written.
SampleCourseStats WriteSampleCourse(const std::string& unixDir, const SampleCourseOptions& options);
