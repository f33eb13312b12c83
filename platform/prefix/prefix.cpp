#include "platform/prefix/prefix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// mkdir -p; the first failure other than "there already" ends it.
bool MakeDirs(const std::string& path) {
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string partial = path.substr(0, pos);
        if (!partial.empty() && mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool Failed(int err, const std::string& what, std::string* why) {
    if (why)
        *why = what + ": " + std::strerror(err);
    errno = err;
    return false;
}

}  // namespace

std::string PrefixDir() {
    std::string dir;
    if (const char* p = std::getenv("TELVORA_PREFIX"); p && *p) {
        dir = p;
    } else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        dir = std::string(x) + "/telvora";
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home && *home ? home : "/tmp") + "/.local/share/telvora";
    }
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

bool EnsurePrefix(std::string* why) {
    const std::string dir = PrefixDir();
    const std::string drives = dir + "/drives";
    // Writers ask before every write; a prefix seen usable needs no second look.
    thread_local std::string t_ready;
    if (dir == t_ready)
        return true;
    struct stat st;
    if (stat(drives.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return Failed(errno, drives, why);
        if (!MakeDirs(drives))
            return Failed(errno, "can't create " + drives, why);
        // A new prefix sees the whole Unix tree as C:. Without the link the
        // drive table simply has no C:, which the user may have chosen.
        if (symlink("/", (drives + "/c:").c_str()) != 0) {
            // No C: then; the folder itself is what the prefix needs.
        }
        if (stat(drives.c_str(), &st) != 0)
            return Failed(errno, drives, why);
    }
    if (!S_ISDIR(st.st_mode))
        return Failed(ENOTDIR, drives, why);
    if (access(dir.c_str(), W_OK | X_OK) != 0)
        return Failed(errno, dir, why);
    if (access(drives.c_str(), W_OK | X_OK) != 0)
        return Failed(errno, drives, why);
    t_ready = dir;
    return true;
}
