// Module file names: the path a program was started by, and the path a
// shared library was loaded from, as Windows paths. Symbolic links are kept,
// so a course folder may hold links to the installed programs and each one
// finds its files beside the link.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/fs/fs.h"
#include "platform/fs/fs_internal.h"

using namespace fs_detail;

namespace {

std::mutex g_mutex;
std::optional<std::string> g_programPath;  // Unix

std::string LocateProgram(const std::string& argv0) {
    if (argv0.find('/') != std::string::npos)
        return AbsoluteUnixPath(argv0);
    const char* env = std::getenv("PATH");
    std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        std::string dir = path.substr(start, end - start);
        std::string candidate = JoinUnix(dir.empty() ? "." : dir, argv0);  // empty: this folder
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return AbsoluteUnixPath(candidate);
        start = end + 1;
    }
    return AbsoluteUnixPath(argv0);
}

// For programs that never called SetProgramPath: the first argument the
// kernel kept, else the executable itself (links resolved).
std::string ProgramPathFromProc() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string argv0;
    if (in && std::getline(in, argv0, '\0') && !argv0.empty())
        return LocateProgram(argv0);
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("/");
}

// Whether address lies in the main program (listed first by the loader),
// whose name the loader reports as argv[0] at best.
bool InMainProgram(const void* address) {
    struct Query {
        std::uintptr_t address;
        bool found;
    } query{reinterpret_cast<std::uintptr_t>(address), false};
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, std::size_t, void* data) -> int {
            Query* q = static_cast<Query*>(data);
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
                if (ph.p_type == PT_LOAD && q->address >= start && q->address < start + ph.p_memsz)
                    q->found = true;
            }
            return 1;  // only the first object
        },
        &query);
    return query.found;
}

std::string AsWindowsPath(const std::string& unixPath) {
    std::optional<std::string> win = ToWindowsPath(unixPath);
    return win ? *win : std::string();
}

}  // namespace

void SetProgramPath(const char* argv0) {
    if (!argv0 || !*argv0)
        return;
    std::string located = LocateProgram(argv0);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_programPath = std::move(located);
}

std::string GetModuleFileName() {
    std::string unixPath;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_programPath)
            g_programPath = ProgramPathFromProc();
        unixPath = *g_programPath;
    }
    return AsWindowsPath(unixPath);
}

std::string GetModuleFileNameOf(const void* addressInModule) {
    Dl_info info;
    if (!addressInModule || !dladdr(addressInModule, &info) || !info.dli_fname) {
        SetLastError(ERROR_INVALID_HANDLE);
        return std::string();
    }
    if (!*info.dli_fname || InMainProgram(addressInModule))
        return GetModuleFileName();
    return AsWindowsPath(AbsoluteUnixPath(info.dli_fname));
}
