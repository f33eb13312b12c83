#include "tools/setup/course_removal.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "common/course_description.h"
#include "common/course_format.h"
#include "common/course_record.h"
#include "common/program_codes.h"
#include "platform/fs/mount_table.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace fs = std::filesystem;

namespace {

constexpr char kRecordsKey[] = "software\\telvora";
// No course description is anywhere near this long.
constexpr std::uintmax_t kMaxSetupIniSize = 1u << 20;

// True when path is folder or lies below it (both absolute and normal).
bool IsWithin(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return true;
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

// The real path of an existing folder; the normal form of one that is gone.
std::string RealOrNormal(const std::string& path) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    if (ec)
        real = fs::absolute(path, ec).lexically_normal();
    std::string s = real.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// The folder's setup.ini: the exact name, else one that differs only in
// letter case, as the programs find it.
std::optional<fs::path> SetupIniOf(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dir / "setup.ini", ec)))
        return dir / "setup.ini";
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (text::EqualsNoCase(it->path().filename().string(), "setup.ini"))
            return it->path();
    }
    return std::nullopt;
}

}  // namespace

std::vector<InstalledCourse> ListInstalledCourses() {
    std::vector<InstalledCourse> courses;
    HKEY records = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kRecordsKey, &records) != ERROR_SUCCESS)
        return courses;
    std::string name;
    for (DWORD i = 0; RegEnumKey(records, i, &name) == ERROR_SUCCESS; ++i) {
        HKEY folder = nullptr;
        if (RegOpenKeyEx(records, (name + "\\1").c_str(), &folder) != ERROR_SUCCESS)
            continue;
        RegCloseKey(folder);
        InstalledCourse course;
        course.courseId = name;
        course.winDir =
            RegGetString(HKEY_CURRENT_USER, CourseRecordKey(name) + "\\1", "").value_or("");
        courses.push_back(course);
    }
    RegCloseKey(records);
    return courses;
}

std::string CourseIdInFolder(const std::string& unixDir, std::string* courseName) {
    std::optional<fs::path> ini = SetupIniOf(unixDir);
    std::error_code ec;
    // A link could lend the folder another course's description.
    if (!ini || !fs::is_regular_file(fs::symlink_status(*ini, ec)) ||
        fs::file_size(*ini, ec) > kMaxSetupIniSize || ec) {
        return "";
    }
    std::ifstream in(*ini, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    CourseDescription values;
    CDescriptionParser parser(DescriptionVariant::Worker, &values);
    std::vector<CDescriptionParser::KeyLineProblem> problems;
    for (const std::string& line : SplitTextLines(text.str()))
        parser.TakeLine(line, &problems);
    if (courseName)
        *courseName = values.courseName;
    return values.courseId;
}

bool CheckCourseFolderToRemove(const std::string& unixDir, const std::string& courseIdGbk,
                               const std::vector<GuardedFolder>& guarded,
                               const std::vector<std::string>& otherCourseDirs,
                               const std::string& mounts, std::string* error) {
    std::string dir = unixDir;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    const std::string shown = "the folder " + dir;
    std::error_code ec;
    if (dir.empty() || dir[0] != '/') {
        *error = shown + " is not an absolute path";
        return false;
    }
    // A trailing slash would make the look follow a link.
    const fs::file_status status = fs::symlink_status(dir, ec);
    if (fs::is_symlink(status)) {
        *error = shown + " is a symbolic link, not the folder the setup step made";
        return false;
    }
    if (!fs::is_directory(status)) {
        *error = shown + " is not a folder";
        return false;
    }
    const std::string real = RealOrNormal(dir);
    if (real == "/") {
        *error = shown + " is the root folder";
        return false;
    }
    for (const GuardedFolder& g : guarded) {
        if (g.path.empty())
            continue;
        const std::string guardedReal = RealOrNormal(g.path);
        if (IsWithin(guardedReal, real)) {
            *error = shown + (guardedReal == real ? " is " : " holds ") + g.what + " (" + g.path +
                     "), which is never removed";
            return false;
        }
    }
    for (const MountEntry& mount : ParseMountTable(mounts)) {
        if (IsWithin(mount.point, real)) {
            *error = shown + " holds the mounted file system " + mount.point;
            return false;
        }
    }
    const std::string id = CourseIdInFolder(real);
    if (id.empty()) {
        *error = shown + " holds no readable setup.ini of a course";
        return false;
    }
    if (!text::EqualsNoCase(id, courseIdGbk)) {
        *error = shown + " holds the course " + text::GbkToUtf8(id) + ", not " +
                 text::GbkToUtf8(courseIdGbk);
        return false;
    }
    for (const std::string& other : otherCourseDirs) {
        const std::string otherReal = RealOrNormal(other);
        if (otherReal != real && IsWithin(otherReal, real)) {
            *error = shown + " holds the folder of another course, " + other;
            return false;
        }
    }
    return true;
}

bool RemoveCourseFolder(const std::string& unixDir, std::string* error) {
    const fs::path dir(unixDir);
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
    // Entries go from folders the user can write; links are not followed.
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (fs::is_directory(it->symlink_status()))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    const std::optional<fs::path> ini = SetupIniOf(dir);
    ec.clear();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (ini && it->path() == *ini)
            continue;
        std::error_code removeError;
        fs::remove_all(it->path(), removeError);
        if (removeError) {
            *error = "can't remove " + it->path().string() + ": " + removeError.message();
            return false;
        }
    }
    if (ec) {
        *error = "can't read the folder " + unixDir + ": " + ec.message();
        return false;
    }
    if (ini && !fs::remove(*ini, ec) && ec) {
        *error = "can't remove " + ini->string() + ": " + ec.message();
        return false;
    }
    if (!fs::remove(dir, ec) || ec) {
        *error = "can't remove the folder " + unixDir + (ec ? ": " + ec.message() : "");
        return false;
    }
    return true;
}

bool RemoveCourseRecord(const std::string& courseIdGbk, std::string* error) {
    HKEY records = nullptr;
    LONG rc = RegOpenKeyEx(HKEY_CURRENT_USER, kRecordsKey, &records);
    if (rc == ERROR_SUCCESS) {
        rc = RegDeleteTree(records, courseIdGbk.c_str());
        RegCloseKey(records);
    }
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        *error = "can't delete the registry key HKEY_CURRENT_USER\\" +
                 text::GbkToUtf8(CourseRecordKey(courseIdGbk)) + ": " +
                 text::GbkToUtf8(text::TrimRight(FormatSystemMessage(rc)));
        return false;
    }
    return true;
}

std::string RegisteredControlModule() {
    const std::string key = std::string("CLSID\\{") + kUpdateControlClsid + "}\\InprocServer32";
    return RegGetString(HKEY_CLASSES_ROOT, key, "").value_or("");
}
