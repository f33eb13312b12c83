// Windows paths over Unix folders: parsing, the case-insensitive mapping to
// Unix paths, the way back, and the current folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"
#include "platform/text/text.h"

namespace fs_detail {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The current folder as the system sees it. The process's working folder
// follows it, so that programs started from here inherit it.
std::mutex g_cwdMutex;
std::optional<WinPath> g_cwd;

WinPath CurrentDir() {
    std::lock_guard<std::mutex> lock(g_cwdMutex);
    if (!g_cwd) {
        WinPath p;  // C:\ when the working folder has no Windows name
        char buf[PATH_MAX];
        if (getcwd(buf, sizeof buf)) {
            std::optional<std::string> win = ToWindowsPath(buf);
            WinPath parsed;
            // An absolute path: parsing it does not come back here.
            if (win && ParseWindowsPath(*win, &parsed))
                p = parsed;
        }
        g_cwd = p;
    }
    return *g_cwd;
}

bool AddName(std::string& name, WinPath* p) {
    if (name.empty() || name == ".") {
        // nothing: repeated separators and "." stay where they are
    } else if (name == "..") {
        if (p->names.empty())
            return Fail(ERROR_BAD_PATHNAME);  // never above the drive's root
        p->names.pop_back();
    } else {
        p->names.push_back(std::move(name));
    }
    name.clear();
    return true;
}

}  // namespace

bool ParseWindowsPath(std::string_view s, WinPath* out) {
    if (s.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    if (s.find('\0') != std::string_view::npos || !text::IsValidGbk(s))
        return Fail(ERROR_INVALID_NAME);
    WinPath p;
    std::string_view rest;
    char first = static_cast<char>(s[0] | 0x20);
    if (s.size() >= 2 && s[1] == ':' && first >= 'a' && first <= 'z') {
        p.drive = first;
        rest = s.substr(2);
        // "E:x" is relative to the current folder when that is on E:, else to
        // the root (the system keeps no current folder per drive).
        if (rest.empty() || !IsSeparator(rest[0])) {
            WinPath cwd = CurrentDir();
            if (cwd.drive == p.drive)
                p = cwd;
        }
    } else if (IsSeparator(s[0])) {
        if (s.size() >= 2 && IsSeparator(s[1]))
            return Fail(ERROR_BAD_PATHNAME);  // UNC, devices
        p.drive = CurrentDir().drive;
        rest = s;
    } else {
        p = CurrentDir();
        rest = s;
    }
    std::string name;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(rest[i]);
        if (text::CharLength(rest, i) == 2) {
            name += rest[i];
            name += rest[++i];  // a trail byte may look like '\' or '|'
        } else if (IsSeparator(rest[i])) {
            if (!AddName(name, &p))
                return false;
        } else if (c < 0x20 || std::strchr("<>:\"|?*", c)) {
            return Fail(ERROR_INVALID_NAME);
        } else {
            name += rest[i];
        }
    }
    if (!AddName(name, &p))
        return false;
    *out = std::move(p);
    return true;
}

std::string FormatWindowsPath(const WinPath& p) {
    std::string r;
    r += static_cast<char>(p.drive - 'a' + 'A');
    r += ":\\";
    for (std::size_t i = 0; i < p.names.size(); ++i) {
        if (i)
            r += '\\';
        r += p.names[i];
    }
    return r;
}

std::string NameToUtf8(std::string_view gbk) {
    return IsAscii(gbk) ? std::string(gbk) : text::GbkToUtf8(gbk);
}

std::string NameToGbk(std::string_view utf8) {
    return IsAscii(utf8) ? std::string(utf8) : text::Utf8ToGbk(utf8);
}

std::string JoinUnix(const std::string& folder, std::string_view name) {
    std::string r = folder;
    if (r.empty() || r.back() != '/')
        r += '/';
    r += name;
    return r;
}

std::string UnixParent(const std::string& path) {
    std::size_t pos = path.find_last_of('/');
    if (pos == std::string::npos)
        return ".";
    return pos == 0 ? "/" : path.substr(0, pos);
}

std::string UnixBaseName(const std::string& path) {
    std::size_t pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string AbsoluteUnixPath(const std::string& path) {
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char buf[PATH_MAX];
        full = JoinUnix(getcwd(buf, sizeof buf) ? buf : "/", path);
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= full.size()) {
        std::size_t end = full.find('/', start);
        if (end == std::string::npos)
            end = full.size();
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string r;
    for (const std::string& part : parts)
        r += "/" + part;
    return r.empty() ? "/" : r;
}

// Exact names cost one lstat. Otherwise the deepest existing folder is found
// walking back, and from there each name is looked up without regard to case
// in the folder's cached index; names that do not exist yet stay as given.
std::optional<std::string> ResolveUnixPath(const WinPath& p) {
    Drive d = DriveOf(p.drive);
    if (!d.present) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    struct stat st;
    const std::size_t n = p.names.size();
    if (n == 0) {
        if (stat(d.target.c_str(), &st) != 0) {
            SetLastError(ERROR_NOT_READY);  // the drive's folder is gone: no disc in it
            return std::nullopt;
        }
        return d.target;
    }
    std::vector<std::string> names;
    names.reserve(n);
    std::string full = d.target;
    for (const std::string& name : p.names) {
        names.push_back(NameToUtf8(name));
        if (full.back() != '/')
            full += '/';
        full += names.back();
    }
    if (lstat(full.c_str(), &st) == 0)
        return full;
    if (errno != ENOENT && errno != ENOTDIR)
        return full;  // later calls report it

    std::vector<std::string> prefixes{d.target};
    for (const std::string& name : names)
        prefixes.push_back(JoinUnix(prefixes.back(), name));
    std::size_t k = n;
    while (k-- > 0)
        if (stat(prefixes[k].c_str(), &st) == 0)
            break;
    if (k == static_cast<std::size_t>(-1)) {
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    if (!S_ISDIR(st.st_mode))
        return full;

    std::string cur = prefixes[k];
    auto keepRest = [&](std::size_t from) {
        for (std::size_t j = from; j < n; ++j)
            cur = JoinUnix(cur, names[j]);
        return cur;
    };
    for (std::size_t i = k; i < n; ++i) {
        std::string next = JoinUnix(cur, names[i]);
        struct stat exact;
        if (i == k || lstat(next.c_str(), &exact) != 0) {
            std::optional<std::string> found = FindNameNoCase(cur, st, names[i]);
            if (!found)
                return keepRest(i);
            next = JoinUnix(cur, *found);
        }
        cur = std::move(next);
        if (i + 1 < n && (stat(cur.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
            return keepRest(i + 1);
    }
    return cur;
}

}  // namespace fs_detail

using namespace fs_detail;

std::optional<std::string> ToUnixPath(const std::string& winPath) {
    WinPath p;
    if (!ParseWindowsPath(winPath, &p))
        return std::nullopt;
    return ResolveUnixPath(p);
}

std::optional<std::string> ToWindowsPath(const std::string& unixPath) {
    if (unixPath.empty() || unixPath.find('\0') != std::string::npos) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    const std::string path = AbsoluteUnixPath(unixPath);
    std::array<Drive, 26> table = DriveTable();
    int best = -1;
    std::size_t bestLen = 0;
    for (int i = 0; i < 26; ++i) {
        if (!table[i].present)
            continue;
        char buf[PATH_MAX];
        std::string real = realpath(table[i].target.c_str(), buf) ? buf : table[i].target;
        for (const std::string& t : {AbsoluteUnixPath(table[i].target), real}) {
            bool under = t == "/" || path == t ||
                         (path.compare(0, t.size(), t) == 0 && path.size() > t.size() &&
                          path[t.size()] == '/');
            std::size_t len = t == "/" ? 0 : t.size();
            if (under && (best < 0 || len > bestLen)) {
                best = i;
                bestLen = len;
            }
        }
    }
    if (best < 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::string r;
    r += static_cast<char>('A' + best);
    r += ":\\";
    std::string rest = path.substr(bestLen);
    std::size_t start = rest.empty() || rest[0] != '/' ? 0 : 1;
    bool firstName = true;
    while (start < rest.size()) {
        std::size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        if (!firstName)
            r += '\\';
        r += NameToGbk(rest.substr(start, end - start));
        firstName = false;
        start = end + 1;
    }
    return r;
}

std::string GetCurrentDirectory() {
    return FormatWindowsPath(CurrentDir());
}

bool SetCurrentDirectory(const std::string& winPath) {
    WinPath p;
    if (!ParseWindowsPath(winPath, &p))
        return false;
    std::optional<std::string> unix = ResolveUnixPath(p);
    if (!unix)
        return false;
    struct stat st;
    if (stat(unix->c_str(), &st) != 0)
        return FailErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return Fail(ERROR_DIRECTORY);
    std::lock_guard<std::mutex> lock(g_cwdMutex);
    if (chdir(unix->c_str()) != 0)
        return FailErrno(errno);
    g_cwd = std::move(p);
    SetLastError(ERROR_SUCCESS);
    return true;
}
