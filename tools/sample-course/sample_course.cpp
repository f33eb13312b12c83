#include "tools/sample-course/sample_course.h"

#include <filesystem>
#include <stdexcept>

#include "platform/text/text.h"
#include "tools/sample-course/course_texts.h"
#include "tools/sample-course/media_content.h"
#include "tools/sample-course/sample_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCdCount = 2;
constexpr int kSections = 2;
constexpr int kBulkFilesPerFolder = 50;
constexpr int kBulkFoldersPerGroup = 10;
constexpr int kMediaEvery = 10;  // one bulk file in ten is a media file

// Every key of setup.ini: the readers find keys as substrings anywhere in a
// line, so no value may contain one.
const char* const kSetupKeys[] = {"courseid", "coursename",  "version",    "totalcd", "cd1",
                                  "nowcd",    "insteadfile", "extendname", "default"};

bool HoldsKey(const std::string& value) {
    std::string lower = text::AsciiLower(value);
    for (const char* key : kSetupKeys) {
        if (lower.find(key) != std::string::npos)
            return true;
    }
    return false;
}

void WriteCd(CSampleWriter& w, const SampleCourseOptions& o, int cd) {
    const int first = (cd - 1) * kChaptersPerCd + 1;
    const int last = cd * kChaptersPerCd;
    const int allChapters = kCdCount * kChaptersPerCd;

    w.WriteFile("systeminfo/setup.ini", sample::SetupIni(o));
    w.WriteFile(std::string("systeminfo/") + kInsteadFile + "/tvInclude.htm",
                sample::TvIncludePage(""));
    w.WriteFile(std::string("systeminfo/") + kInsteadFile + "/tvOpen.htm",
                sample::TvOpenPage(".asf", 1, allChapters));
    w.WriteFile("systeminfo/soft/iexplore.exe", sample::FakeWindowsProgram("iexplore.exe"));
    w.WriteFile("systeminfo/soft/winrar.exe", sample::FakeWindowsProgram("winrar.exe"));

    w.WriteFile(kStartPage, sample::StartPage(o));
    w.WriteFile("navbar/navbar.htm", sample::NavbarPage(o));
    w.WriteFile("navbar/tvInclude.htm", sample::TvIncludePage(".asf"));
    w.WriteFile("navbar/tvOpen.htm", sample::TvOpenPage(".asf", 1, allChapters));
    w.WriteFile("navbar/player.js", sample::PlayerScript());
    w.WriteFile("left/items.vbs", sample::ItemsScript(o, first, allChapters));
    w.WriteFile("left/chapters.htm", sample::ChapterListPage(o, allChapters));

    for (int n = first; n <= last; ++n) {
        const std::string folder = sample::ChapterFolder(n);
        w.WriteFile(folder + "/index.htm", sample::ChapterIndexPage(n, kSections));
        for (int s = 1; s <= kSections; ++s) {
            w.WriteFile(folder + "/s" + std::to_string(s) + ".htm", sample::SectionPage(n, s));
        }
        w.WriteFile(folder + "/习题.htm", sample::ExercisePage(n));
        w.WriteFile(folder + "/讲解.wma", sample::FakeAsf(3000 + 100 * n, n * 7 + 1));
        // A folder of media only: empty in a course installed without media.
        const std::string video = sample::VideoFolder(n);
        w.WriteFile(video + "/lecture.asf", sample::FakeAsf(6000 + 100 * n, n * 7 + 2));
        w.WriteFile(video + "/lecture.wmv", sample::FakeAsf(5000 + 100 * n, n * 7 + 3));
    }
    if (cd == 1) {
        w.WriteFile("content/audio/课程介绍.wma", sample::FakeAsf(4000, 99));
        w.WriteFile("content/audio/playlist.asx",
                    sample::AsxPlaylist(o.courseName, {"课程介绍.wma", "../video01/lecture.wmv"}));
    } else {
        w.WriteFile("content/附录/说明.htm", sample::AppendixPage(o));
    }
}

// The bulk of a large CD: pages of a few kilobytes and, one in ten, media
// files that carry the rest of the requested size.
void WriteBulk(CSampleWriter& w, int files, int megabytes) {
    const std::uint64_t wanted = static_cast<std::uint64_t>(megabytes) << 20;
    const int mediaCount = files / kMediaEvery;
    auto pageSize = [](int i) -> std::size_t {
        return 2048 +
               static_cast<std::size_t>((static_cast<std::uint64_t>(i) * 2654435761u) % 12288);
    };
    std::uint64_t pageBytes = 0;
    for (int i = 0; i < files; ++i) {
        if (i % kMediaEvery != kMediaEvery - 1)
            pageBytes += pageSize(i);
    }
    std::size_t mediaSize = 4096;
    if (mediaCount > 0 && wanted > pageBytes) {
        mediaSize = std::max<std::size_t>(mediaSize, (wanted - pageBytes) / mediaCount);
    }
    for (int i = 0; i < files; ++i) {
        const int folder = i / kBulkFilesPerFolder;
        char dir[64];
        std::snprintf(dir, sizeof dir, "content/bulk/group%02d/part%04d/",
                      folder / kBulkFoldersPerGroup, folder);
        char name[32];
        if (i % kMediaEvery == kMediaEvery - 1) {
            std::snprintf(name, sizeof name, "clip%06d.wmv", i);
            w.WriteFile(std::string(dir) + name, sample::FakeAsf(mediaSize, 1000 + i));
        } else {
            std::snprintf(name, sizeof name, "page%06d.htm", i);
            w.WriteFile(std::string(dir) + name, sample::FillerPage(name, pageSize(i)));
        }
    }
}

void RequireEmptyOrMissing(const fs::path& dir) {
    if (fs::exists(dir) && (!fs::is_directory(dir) || !fs::is_empty(dir))) {
        throw std::runtime_error(dir.string() +
                                 " already exists and is not empty; choose another folder");
    }
}

}  // namespace

std::string CheckSampleOptions(const SampleCourseOptions& o) {
    if (o.courseId.empty() || o.courseId.size() > 40)
        return "the course id must have 1 to 40 characters";
    for (char c : o.courseId) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_' || c == '-';
        if (!ok)
            return "the course id may hold only letters, digits, '_' and '-'";
    }
    if (HoldsKey(o.courseId))
        return "the course id must not contain a setup.ini key name";
    if (o.courseName.empty() || o.courseName.size() > 60) {
        return "the course name must have 1 to 60 bytes in GBK";
    }
    if (!text::IsValidGbk(o.courseName))
        return "the course name must be GBK text";
    for (unsigned char c : o.courseName) {
        if (c < 0x20 || c == '"' || c == '=') {
            return "the course name must not hold control characters, '\"' or '='";
        }
    }
    if (text::Trim(o.courseName) != o.courseName) {
        return "the course name must not begin or end with white space";
    }
    if (HoldsKey(o.courseName))
        return "the course name must not contain a setup.ini key name";
    if (o.bulkFiles < 0 || o.bulkFiles > 1000000)
        return "--files must be 0 to 1000000";
    if (o.bulkMegabytes < 0 || o.bulkMegabytes > 100000)
        return "--megabytes must be 0 to 100000";
    return "";
}

SampleCourseStats WriteSampleCourse(const std::string& unixDir, const SampleCourseOptions& o) {
    if (std::string problem = CheckSampleOptions(o); !problem.empty()) {
        throw std::runtime_error(problem);
    }
    for (int cd = 1; cd <= kCdCount; ++cd) {
        RequireEmptyOrMissing(fs::path(unixDir) / ("cd" + std::to_string(cd)));
    }
    SampleCourseStats stats;
    for (int cd = 1; cd <= kCdCount; ++cd) {
        CSampleWriter w(unixDir + "/cd" + std::to_string(cd));
        WriteCd(w, o, cd);
        if (cd == 1 && o.bulkFiles > 0)
            WriteBulk(w, o.bulkFiles, o.bulkMegabytes);
        if (o.readOnly)
            w.MarkReadOnly();
        stats.files += w.Files();
        stats.bytes += w.Bytes();
    }
    return stats;
}
