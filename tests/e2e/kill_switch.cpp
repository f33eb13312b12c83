// A test library preloaded (LD_PRELOAD) into the programs of an update run,
// so that a test can stop the update at any of its steps, exactly: it counts
// the calls that change files (creating, writing, renaming, removing,
// syncing), across every process of the run through a counter in a shared
// file, and just before the Nth such call it kills the run's host and the
// calling process with SIGKILL, as a crash would stop them.
//
// Environment (nothing happens without TELVORA_KILL_SHARED):
//   TELVORA_KILL_SHARED    a file of at least sizeof(CKillShared) bytes,
//                          zeroed by the test before each run
//   TELVORA_KILL_PROGRAMS  the programs that count, by file name, ":" between
//   TELVORA_KILL_HOST      the program whose death is the crash (its first
//                          process is killed, wherever the count runs out)
//   TELVORA_KILL_AT        N: kill just before the Nth call (0 or none: count only)
//   TELVORA_KILL_LOG       a file that gets one line per counted call
//
// Only raw system calls are used inside, so the library never counts itself.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/e2e/kill_switch.h"

namespace {

CKillShared* g_shared = nullptr;
bool g_counting = false;
bool g_host = false;
unsigned long g_killAt = 0;
int g_logFd = -1;
char g_program[64] = "";

int RawOpen(const char* path, int flags, mode_t mode = 0) {
    return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags | O_CLOEXEC, mode));
}

void RawWrite(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        const long n = syscall(SYS_write, fd, text, size);
        if (n <= 0)
            return;
        text += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Copies what fits of text into out (size bytes, always terminated).
void CopyText(char* out, std::size_t size, const char* text) {
    std::size_t n = std::strlen(text);
    if (n >= size)
        n = size - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

// The file name of this process's program.
void ReadProgramName() {
    char exe[512];
    const long n = syscall(SYS_readlink, "/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return;
    exe[n] = '\0';
    const char* slash = std::strrchr(exe, '/');
    CopyText(g_program, sizeof g_program, slash ? slash + 1 : exe);
}

bool Listed(const char* list, const char* name) {
    const std::size_t length = std::strlen(name);
    for (const char* p = list; p && *p;) {
        const char* end = std::strchr(p, ':');
        const std::size_t size = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (size == length && std::strncmp(p, name, size) == 0)
            return true;
        p = end ? end + 1 : nullptr;
    }
    return false;
}

__attribute__((constructor)) void Start() {
    const char* shared = std::getenv("TELVORA_KILL_SHARED");
    if (!shared)
        return;
    ReadProgramName();
    if (!Listed(std::getenv("TELVORA_KILL_PROGRAMS"), g_program))
        return;
    const int fd = RawOpen(shared, O_RDWR);
    if (fd < 0)
        return;
    void* map = mmap(nullptr, sizeof(CKillShared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    syscall(SYS_close, fd);
    if (map == MAP_FAILED)
        return;
    g_shared = static_cast<CKillShared*>(map);
    const int slot = g_shared->processes.fetch_add(1);
    if (slot < kKillMaxProcesses)
        g_shared->pids[slot] = static_cast<int>(getpid());
    const char* host = std::getenv("TELVORA_KILL_HOST");
    if (host && std::strcmp(host, g_program) == 0) {
        int none = 0;
        g_host = g_shared->host.compare_exchange_strong(none, static_cast<int>(getpid()));
    }
    if (const char* at = std::getenv("TELVORA_KILL_AT"))
        g_killAt = std::strtoul(at, nullptr, 10);
    if (const char* log = std::getenv("TELVORA_KILL_LOG"))
        g_logFd = RawOpen(log, O_WRONLY | O_APPEND | O_CREAT, 0600);
    g_counting = true;
}

// What a descriptor names, for the log.
void DescribeFd(int fd, char* out, std::size_t size) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const long n = syscall(SYS_readlink, link, out, size - 1);
    out[n > 0 ? n : 0] = '\0';
}

// One call that changes files: counted, logged, and the run killed when it
// is the one.
void Count(const char* call, const char* path, int fd = -1) {
    if (!g_counting)
        return;
    const unsigned long n = g_shared->count.fetch_add(1) + 1;
    const bool kill = g_killAt != 0 && n == g_killAt;
    if (g_logFd < 0 && !kill)
        return;
    char target[512];
    if (path)
        CopyText(target, sizeof target, path);
    else
        DescribeFd(fd, target, sizeof target);
    char line[768];
    const int length =
        std::snprintf(line, sizeof line, "%lu %s %s %s\n", n, g_program, call, target);
    if (g_logFd >= 0 && length > 0)
        RawWrite(g_logFd, line,
                 std::min<std::size_t>(static_cast<std::size_t>(length), sizeof line - 1));
    if (kill) {
        CopyText(g_shared->what, sizeof g_shared->what, line);
        g_shared->killed = 1;
        const int host = g_shared->host;
        if (host > 0 && host != static_cast<int>(getpid()))
            ::kill(host, SIGKILL);
        ::kill(getpid(), SIGKILL);
    }
}

bool Creates(int flags) {
    return (flags & (O_CREAT | O_TRUNC)) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

template <typename F>
F Next(F, const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// The next definition of each call is looked up once, on first use.
#define TV_NEXT(name) static const auto next = Next(&name, #name)

extern "C" {

int open(const char* path, int flags, ...) {
    TV_NEXT(open);
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (Creates(flags))
        Count("open", path);
    return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    TV_NEXT(open64);
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (Creates(flags))
        Count("open", path);
    return next(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    TV_NEXT(openat);
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (Creates(flags))
        Count("openat", path);
    return next(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
    TV_NEXT(openat64);
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (Creates(flags))
        Count("openat", path);
    return next(dir, path, flags, mode);
}

int creat(const char* path, mode_t mode) {
    TV_NEXT(creat);
    Count("creat", path);
    return next(path, mode);
}

ssize_t write(int fd, const void* buf, size_t count) {
    TV_NEXT(write);
    Count("write", nullptr, fd);
    return next(fd, buf, count);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    TV_NEXT(pwrite);
    Count("pwrite", nullptr, fd);
    return next(fd, buf, count, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off64_t offset) {
    TV_NEXT(pwrite64);
    Count("pwrite", nullptr, fd);
    return next(fd, buf, count, offset);
}

ssize_t writev(int fd, const struct iovec* iov, int count) {
    TV_NEXT(writev);
    Count("writev", nullptr, fd);
    return next(fd, iov, count);
}

int rename(const char* from, const char* to) {
    TV_NEXT(rename);
    Count("rename", to);
    return next(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    TV_NEXT(renameat);
    Count("renameat", to);
    return next(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    TV_NEXT(renameat2);
    Count("renameat2", to);
    return next(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) {
    TV_NEXT(link);
    Count("link", to);
    return next(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    TV_NEXT(linkat);
    Count("linkat", to);
    return next(fromDir, from, toDir, to, flags);
}

int symlink(const char* target, const char* path) {
    TV_NEXT(symlink);
    Count("symlink", path);
    return next(target, path);
}

int symlinkat(const char* target, int dir, const char* path) {
    TV_NEXT(symlinkat);
    Count("symlinkat", path);
    return next(target, dir, path);
}

int unlink(const char* path) {
    TV_NEXT(unlink);
    Count("unlink", path);
    return next(path);
}

int unlinkat(int dir, const char* path, int flags) {
    TV_NEXT(unlinkat);
    Count("unlinkat", path);
    return next(dir, path, flags);
}

int rmdir(const char* path) {
    TV_NEXT(rmdir);
    Count("rmdir", path);
    return next(path);
}

int mkdir(const char* path, mode_t mode) {
    TV_NEXT(mkdir);
    Count("mkdir", path);
    return next(path, mode);
}

int mkdirat(int dir, const char* path, mode_t mode) {
    TV_NEXT(mkdirat);
    Count("mkdirat", path);
    return next(dir, path, mode);
}

int chmod(const char* path, mode_t mode) {
    TV_NEXT(chmod);
    Count("chmod", path);
    return next(path, mode);
}

int fchmod(int fd, mode_t mode) {
    TV_NEXT(fchmod);
    Count("fchmod", nullptr, fd);
    return next(fd, mode);
}

int fchmodat(int dir, const char* path, mode_t mode, int flags) {
    TV_NEXT(fchmodat);
    Count("fchmodat", path);
    return next(dir, path, mode, flags);
}

int ftruncate(int fd, off_t length) {
    TV_NEXT(ftruncate);
    Count("ftruncate", nullptr, fd);
    return next(fd, length);
}

int ftruncate64(int fd, off64_t length) {
    TV_NEXT(ftruncate64);
    Count("ftruncate", nullptr, fd);
    return next(fd, length);
}

int truncate(const char* path, off_t length) {
    TV_NEXT(truncate);
    Count("truncate", path);
    return next(path, length);
}

int fsync(int fd) {
    TV_NEXT(fsync);
    Count("fsync", nullptr, fd);
    return next(fd);
}

int fdatasync(int fd) {
    TV_NEXT(fdatasync);
    Count("fdatasync", nullptr, fd);
    return next(fd);
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t size,
                        unsigned flags) {
    TV_NEXT(copy_file_range);
    Count("copy_file_range", nullptr, out);
    return next(in, inOffset, out, outOffset, size, flags);
}

ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
    TV_NEXT(sendfile);
    Count("sendfile", nullptr, out);
    return next(out, in, offset, count);
}

ssize_t sendfile64(int out, int in, off64_t* offset, size_t count) {
    TV_NEXT(sendfile64);
    Count("sendfile", nullptr, out);
    return next(out, in, offset, count);
}

int futimens(int fd, const struct timespec times[2]) {
    TV_NEXT(futimens);
    Count("futimens", nullptr, fd);
    return next(fd, times);
}

int utimensat(int dir, const char* path, const struct timespec times[2], int flags) {
    TV_NEXT(utimensat);
    Count("utimensat", path);
    return next(dir, path, times, flags);
}

}  // extern "C"
