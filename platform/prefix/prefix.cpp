#include "platform/prefix/prefix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

void MakeDirs(const std::string& path) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (!partial.empty())
            mkdir(partial.c_str(), 0755);
    }
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
    // Path lookups ask for the prefix every time; a prefix seen already needs
    // no second look at the disk.
    thread_local std::string t_ready;
    if (dir == t_ready)
        return dir;
    struct stat st;
    if (stat((dir + "/drives").c_str(), &st) != 0) {
        MakeDirs(dir + "/drives");
        // A new prefix sees the whole Unix tree as C:.
        if (symlink("/", (dir + "/drives/c:").c_str()) != 0 && errno != EEXIST) {
            // Leave it: the drive table then simply has no C:.
        }
    }
    if (stat((dir + "/drives").c_str(), &st) == 0)
        t_ready = dir;
    return dir;
}
