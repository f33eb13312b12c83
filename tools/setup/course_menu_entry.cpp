#include "tools/setup/course_menu_entry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/text/text.h"
#include "tools/setup/desktop_entry.h"

namespace fs = std::filesystem;

namespace {

constexpr char kIconName[] = "telvora-course";
constexpr char kIconInTheme[] = "icons/hicolor/scalable/apps/telvora-course.svg";
// No entry of ours is anywhere near this long; a larger file is not one.
constexpr std::uintmax_t kMaxEntrySize = 64 * 1024;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool ReadSmallFile(const fs::path& path, std::string* out) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(path, ec)) ||
        fs::file_size(path, ec) > kMaxEntrySize || ec) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return static_cast<bool>(in) || in.eof();
}

}  // namespace

std::string UserApplicationsFolder() {
    std::string data = Env("XDG_DATA_HOME");
    if (data.empty() || data[0] != '/') {
        const std::string home = Env("HOME");
        if (home.empty())
            return "";
        data = home + "/.local/share";
    }
    return data + "/applications";
}

std::string CourseIconFor(const std::string& programDir) {
    std::error_code ec;
    const fs::path dir(programDir);
    // Installed: <prefix>/lib/telvora/ beside <prefix>/share/, which the
    // desktop searches for themed icons.
    if (fs::is_regular_file(dir.parent_path().parent_path() / "share" / kIconInTheme, ec))
        return kIconName;
    // The build tree: bin/ beside share/, which no desktop searches.
    const fs::path built = dir.parent_path() / "share" / kIconInTheme;
    if (fs::is_regular_file(built, ec))
        return fs::canonical(built, ec).string();
    return kIconName;
}

bool WriteCourseMenuEntry(const CourseMenuEntry& entry, std::string* path, std::string* error) {
    const std::string folder = UserApplicationsFolder();
    if (folder.empty()) {
        *error = "neither XDG_DATA_HOME nor HOME is set";
        return false;
    }
    DesktopEntryFields fields;
    fields.name = text::GbkToUtf8(text::Trim(entry.courseName));
    if (fields.name.empty())
        fields.name = text::GbkToUtf8(entry.courseId);
    fields.comment = text::GbkToUtf8("课件 ") + text::GbkToUtf8(entry.courseId);
    if (!entry.prefix.empty())
        fields.command = {"env", "TELVORA_PREFIX=" + entry.prefix};
    fields.command.push_back(entry.launcher);
    fields.tryExec = entry.launcher;
    fields.icon = entry.icon;
    fields.courseId = text::GbkToUtf8(entry.courseId);
    fields.courseFolder = entry.courseDir;
    std::string content;
    if (!ComposeDesktopEntry(fields, &content, error))
        return false;

    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        *error = "can't make the folder " + folder + ": " + ec.message();
        return false;
    }
    const fs::path file = fs::path(folder) / DesktopEntryFileName(fields.courseId);
    std::random_device rd;
    // A name menus ignore (they read *.desktop only) until the rename.
    const fs::path scratch =
        fs::path(folder) / ("." + file.filename().string() + "." + std::to_string(rd()) + ".tmp");
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        if (!out) {
            fs::remove(scratch, ec);
            *error = "can't write " + scratch.string();
            return false;
        }
    }
    fs::rename(scratch, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(scratch, ignored);
        *error = "can't write " + file.string() + ": " + ec.message();
        return false;
    }
    *path = file.string();
    return true;
}

std::string FindCourseMenuEntry(const std::string& courseIdGbk, const std::string& courseDir) {
    const std::string folder = UserApplicationsFolder();
    if (folder.empty())
        return "";
    const std::string id = text::GbkToUtf8(courseIdGbk);
    const fs::path file = fs::path(folder) / DesktopEntryFileName(id);
    std::string content, markedId, markedFolder;
    if (!ReadSmallFile(file, &content) ||
        !ReadDesktopEntryValue(content, kEntryCourseIdKey, &markedId) ||
        !ReadDesktopEntryValue(content, kEntryCourseFolderKey, &markedFolder)) {
        return "";
    }
    if (markedId != id)
        return "";
    std::error_code ec;
    const bool same = markedFolder == courseDir ||
                      (fs::exists(markedFolder, ec) && fs::equivalent(markedFolder, courseDir, ec));
    return same ? file.string() : "";
}
