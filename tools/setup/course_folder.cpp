#include "tools/setup/course_folder.h"

#include <filesystem>
#include <fstream>

#include "common/course_description.h"
#include "common/course_record.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

namespace fs = std::filesystem;

namespace {

bool LooksLikeWindowsPath(const std::string& s) {
    return s.size() >= 2 && s[1] == ':' &&
           ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

bool WriteBytes(const std::string& unixPath, const std::string& bytes, std::string* error) {
    std::error_code ec;
    fs::remove(unixPath, ec);  // a read-only file is replaced too
    std::ofstream out(unixPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        *error = "can't write " + unixPath;
        return false;
    }
    return true;
}

void MakeWritable(const fs::path& p) {
    std::error_code ec;
    fs::permissions(p, fs::perms::owner_write | fs::perms::owner_read, fs::perm_options::add, ec);
}

// Copies the tree below from into to; the copies are writable whatever the
// disc's files were.
bool CopyTree(const fs::path& from, const fs::path& to, std::string* error) {
    std::error_code ec;
    fs::create_directories(to, ec);
    fs::recursive_directory_iterator it(from, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::path target = to / fs::relative(it->path(), from);
        if (it->is_directory()) {
            fs::create_directories(target, ec);
            MakeWritable(target);
        } else if (it->is_regular_file()) {
            if (fs::exists(fs::symlink_status(target))) {
                MakeWritable(target);
                fs::remove(target, ec);
            }
            fs::copy_file(it->path(), target, ec);
            MakeWritable(target);
        }
        if (ec) {
            *error = "can't copy " + it->path().string() + " to " + target.string() + ": " +
                     ec.message();
            return false;
        }
    }
    if (ec) {
        *error = "can't read " + from.string() + ": " + ec.message();
        return false;
    }
    return true;
}

bool SetDefaultValue(const std::string& key, const std::string& value, std::string* error) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyEx(HKEY_CURRENT_USER, key.c_str(), &h);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueEx(h, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
        RegCloseKey(h);
    }
    if (rc != ERROR_SUCCESS) {
        *error = "can't write the registry key HKEY_CURRENT_USER\\" + text::GbkToUtf8(key) + ": " +
                 text::GbkToUtf8(text::TrimRight(FormatSystemMessage(rc)));
        return false;
    }
    return true;
}

}  // namespace

bool MakeCoursePlace(const std::string& dest, const std::string& defaultParent,
                     const std::string& courseId, CoursePlace* place, std::string* error) {
    std::string parent;
    if (dest.empty()) {
        parent = defaultParent;
    } else if (LooksLikeWindowsPath(dest)) {
        std::string gbk = text::Utf8ToGbk(dest);
        std::optional<std::string> unix = ToUnixPath(gbk);
        if (text::GbkToUtf8(gbk) != dest || !unix) {
            *error = "the folder " + dest + " is not on a drive of this prefix";
            return false;
        }
        parent = *unix;
    } else {
        std::error_code ec;
        parent = fs::absolute(dest, ec).lexically_normal().string();
    }
    while (parent.size() > 1 && parent.back() == '/')
        parent.pop_back();
    const std::string unixDir = (parent == "/" ? "" : parent) + "/" + text::GbkToUtf8(courseId);
    std::optional<std::string> win = ToWindowsPath(unixDir);
    if (!win) {
        *error = "the folder " + unixDir + " has no Windows name (no drive reaches it)";
        return false;
    }
    if (win->size() > kMaxCourseDirLength) {
        *error = "the course folder's Windows name " + text::GbkToUtf8(*win) + " is longer than " +
                 std::to_string(kMaxCourseDirLength) +
                 " characters, which the installer can't read back; choose a shorter --dest";
        return false;
    }
    std::error_code ec;
    fs::create_directories(unixDir, ec);
    if (ec || !fs::is_directory(unixDir)) {
        *error = "can't make the course folder " + unixDir + (ec ? ": " + ec.message() : "");
        return false;
    }
    // The installer finds the folder by its Windows name: it must lead here.
    std::optional<std::string> back = ToUnixPath(*win);
    if (!back || !fs::equivalent(*back, unixDir, ec)) {
        *error = "the course folder " + unixDir + " can't be reached by its Windows name " +
                 text::GbkToUtf8(*win);
        return false;
    }
    place->unixDir = unixDir;
    place->winDir = *win;
    return true;
}

std::string CourseFile(const CoursePlace& place, const std::string& winRelPath) {
    std::optional<std::string> p = ToUnixPath(place.winDir + "\\" + winRelPath);
    if (p)
        return *p;
    std::string rel = text::GbkToUtf8(winRelPath);
    for (char& c : rel) {
        if (c == '\\')
            c = '/';
    }
    return place.unixDir + "/" + rel;
}

bool HoldsCourse(const CoursePlace& place) {
    return fs::exists(CourseFile(place, "setup.ini"));
}

std::optional<std::string> InstalledElsewhere(const std::string& courseId,
                                              const CoursePlace& place) {
    std::optional<std::string> recorded =
        RegGetString(HKEY_CURRENT_USER, CourseRecordKey(courseId) + "\\1", "");
    if (!recorded || recorded->empty() || text::EqualsNoCase(*recorded, place.winDir))
        return std::nullopt;
    std::optional<std::string> unix = ToUnixPath(*recorded);
    std::error_code ec;
    if (!unix || fs::equivalent(*unix, place.unixDir, ec) || !FileExists(*recorded + "\\setup.ini"))
        return std::nullopt;
    return unix;
}

bool WriteCourseFiles(const CoursePlace& place, const DiscDescription& disc,
                      const std::string& cdRoot, bool copyMedia, std::string* error) {
    if (!WriteBytes(CourseFile(place, "setup.ini"), InstalledSetupIni(disc.lines, disc.totalCd),
                    error))
        return false;
    std::optional<std::string> from = ToUnixPath(cdRoot + "systeminfo");
    if (!from) {
        *error = "can't find the systeminfo folder of the disc in " + text::GbkToUtf8(cdRoot);
        return false;
    }
    const std::string to = CourseFile(place, "systeminfo");
    if (!CopyTree(*from, to, error))
        return false;
    return WriteBytes(CourseFile(place, "systeminfo\\installasf.txt"),
                      copyMedia ? "installasf" : "noasf", error);
}

bool WriteCourseRecord(const std::string& courseId, const CoursePlace& place, std::string* error) {
    const std::string key = CourseRecordKey(courseId);
    return SetDefaultValue(key, "0", error) && SetDefaultValue(key + "\\1", place.winDir, error);
}

bool LinkPrograms(const CoursePlace& place, const std::string& programDir,
                  std::vector<std::string>* linked, std::string* error) {
    const std::string bin = CourseFile(place, "bin");
    std::error_code ec;
    fs::create_directories(bin, ec);
    for (const char* name : {"install", "lesson"}) {
        const fs::path target = fs::path(programDir) / name;
        if (!fs::is_regular_file(target, ec)) {
            if (std::string(name) == "install") {
                *error = "the installer program is not built: " + target.string() + " is missing";
                return false;
            }
            continue;
        }
        const fs::path link = fs::path(bin) / name;
        if (fs::is_symlink(fs::symlink_status(link, ec)) || fs::is_regular_file(link, ec)) {
            fs::remove(link, ec);
        }
        fs::create_symlink(target, link, ec);
        if (ec) {
            *error = "can't link " + link.string() + " to " + target.string() + ": " + ec.message();
            return false;
        }
        linked->push_back(link.string());
    }
    return true;
}
