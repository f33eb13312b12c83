// CreateProcess: the plan says what to run; here the program gets its
// environment, show state, current folder and descriptors, its own session
// (or, when its starter waits for it, its starter's process group and end),
// and a watcher that starts and reaps it.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/fs/fs.h"
#include "platform/process/process_internal.h"
#include "platform/text/text.h"

extern char** environ;

namespace process_detail {

namespace {

constexpr const char* kShowVariable = "TELVORA_SHOW=";
// The desktop system's limit, kept so that a runaway line fails plainly.
constexpr std::size_t kMaxCommandLine = 32767;

BOOL Fail(DWORD code) {
    SetLastError(code);
    return 0;
}

// The caller's environment, or the given block ("NAME=VALUE\0...\0", GBK, or
// UTF-16 with CREATE_UNICODE_ENVIRONMENT), with the show state set.
std::vector<std::string> ChildEnvironment(const void* block, bool unicode,
                                          const std::string& show) {
    std::vector<std::string> env;
    if (block && unicode) {
        for (const char16_t* p = static_cast<const char16_t*>(block); *p;) {
            const std::u16string_view entry(p);
            if (entry.front() != u'=')
                env.push_back(text::Utf16ToUtf8(entry));
            p += entry.size() + 1;
        }
    } else if (block) {
        for (const char* p = static_cast<const char*>(block); *p; p += std::strlen(p) + 1) {
            // Entries such as "=C:=C:\" keep per-drive folders on the desktop
            // system and mean nothing here.
            if (*p != '=')
                env.push_back(text::GbkToUtf8(p));
        }
    } else {
        for (char** e = environ; e && *e; ++e)
            env.emplace_back(*e);
    }
    std::erase_if(env, [](const std::string& e) { return e.rfind(kShowVariable, 0) == 0; });
    env.push_back(kShowVariable + show);
    return env;
}

// Everything the started program's first moments need, made before it
// exists: between its start and its exec it shares this process's memory
// (as posix_spawn's child does) and makes nothing but system calls.
struct SpawnRequest {
    const char* program = nullptr;
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    const char* dir = nullptr;  // null: the caller's
    bool noInput = false;
    bool endsWithStarter = false;
    pid_t starter = 0;
    long maxFds = 0;         // for closing descriptors without close_range
    volatile int error = 0;  // set by the child when it cannot run the program
    int reportFd = -1;       // a forked child's pipe for that error (see Spawn)
};

// The layout of the kernel's struct sigaction on x86_64 and arm64 (both have
// sa_restorer), for resetting dispositions without the C library, whose
// sigaction a sanitizer may wrap with bookkeeping this process still uses.
struct KernelSigaction {
    void (*handler)(int);
    unsigned long flags;
    void (*restorer)();
    std::uint64_t mask;
};

[[noreturn]] __attribute__((no_sanitize("address", "undefined", "thread"))) void ChildFails(
    SpawnRequest* r, long err) {
    r->error = static_cast<int>(err > 0 ? err : EINVAL);
    if (r->reportFd >= 0) {
        const int code = r->error;
        syscall(SYS_write, r->reportFd, &code, sizeof code);
    }
    for (;;)
        syscall(SYS_exit_group, 127);
}

// Closes every descriptor from 3 up but keep (a forked child's report pipe,
// which its exec closes; -1 for none).
__attribute__((no_sanitize("address", "undefined", "thread"))) void CloseDescriptorsFrom3(
    long keep, long maxFds) {
    bool closed;
    if (keep < 3) {
        closed = syscall(SYS_close_range, 3u, ~0u, 0u) == 0;
    } else {
        closed =
            (keep == 3 || syscall(SYS_close_range, 3u, static_cast<unsigned>(keep - 1), 0u) == 0) &&
            syscall(SYS_close_range, static_cast<unsigned>(keep + 1), ~0u, 0u) == 0;
    }
    if (closed)
        return;
    for (long fd = 3; fd < maxFds; ++fd) {
        if (fd != keep)
            syscall(SYS_close, fd);
    }
}

// The child: default signal handling and nothing blocked whatever the
// calling thread had, then either a session of its own (it outlives its
// starter and a hang-up of the starter's terminal) or, for a program its
// starter waits for, the starter's process group and death with the thread
// that started it; input from /dev/null when hidden; the current folder;
// no descriptor but 0, 1 and 2; exec.
__attribute__((no_sanitize("address", "undefined", "thread"))) int SpawnChild(void* arg) {
    auto* r = static_cast<SpawnRequest*>(arg);
    KernelSigaction dfl{};  // SIG_DFL, no flags, empty mask
    for (long sig = 1; sig < 65; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            syscall(SYS_rt_sigaction, sig, &dfl, nullptr, sizeof dfl.mask);
    }
    if (r->endsWithStarter) {
        if (syscall(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0)
            ChildFails(r, errno);
        // The starter may have died before the request was made.
        if (syscall(SYS_getppid) != r->starter)
            ChildFails(r, ESRCH);
    } else if (syscall(SYS_setsid) < 0) {
        ChildFails(r, errno);
    }
    if (r->noInput) {
        const long fd = syscall(SYS_openat, AT_FDCWD, "/dev/null", O_RDONLY, 0);
        if (fd < 0)
            ChildFails(r, errno);
        if (fd != 0) {
            if (syscall(SYS_dup3, fd, 0, 0) < 0)
                ChildFails(r, errno);
            syscall(SYS_close, fd);
        }
    }
    if (r->dir && syscall(SYS_chdir, r->dir) != 0)
        ChildFails(r, errno);
    CloseDescriptorsFrom3(r->reportFd, r->maxFds);
    std::uint64_t none = 0;
    syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof none);
    syscall(SYS_execve, r->program, r->argv, r->envp);
    ChildFails(r, errno);
}

// Starts the plan from the calling thread (the watcher's); returns 0 or an
// errno value.
int Spawn(const CStartPlan& plan, std::vector<std::string> env, const std::string& unixDir,
          bool noInput, bool endsWithStarter, pid_t* pid) {
    std::vector<std::string> args = plan.argv;
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);
    SpawnRequest request;
    request.program = plan.program.c_str();
    request.argv = argv.data();
    request.envp = envp.data();
    request.dir = unixDir.empty() ? nullptr : unixDir.c_str();
    request.noInput = noInput;
    request.endsWithStarter = endsWithStarter;
    request.starter = getpid();
    struct rlimit files {};
    request.maxFds = getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536
                         ? static_cast<long>(files.rlim_cur)
                         : 65536;
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer takes every clone for a fork and resets its own
    // records in the child, which with CLONE_VM are this process's: it then
    // sees races that are none. Under it the child is a fork (a copy of this
    // memory) that reports a failed start through a pipe its exec closes.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return errno;
    request.reportFd = report[1];
    const pid_t child = fork();
    if (child == 0)
        SpawnChild(&request);
    const int forkErr = errno;
    close(report[1]);
    if (child < 0) {
        close(report[0]);
        return forkErr;
    }
    int reported = 0;
    ssize_t got;
    while ((got = read(report[0], &reported, sizeof reported)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof reported))
        request.error = reported;
#else
    // The child runs on a stack of its own until its exec; this thread
    // waits meanwhile (CLONE_VFORK).
    constexpr std::size_t kChildStack = 64 * 1024;
    std::unique_ptr<char[]> stack(new char[kChildStack]);
    const pid_t child =
        clone(SpawnChild, stack.get() + kChildStack, CLONE_VM | CLONE_VFORK | SIGCHLD, &request);
    if (child < 0)
        return errno;
#endif
    if (request.error != 0) {
        const int err = request.error;
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        return err;
    }
    *pid = child;
    return 0;
}

}  // namespace

BOOL CreateProcessFrom(const void* caller, const char* applicationName, const char* commandLine,
                       DWORD creationFlags, const void* environment, const char* currentDirectory,
                       const STARTUPINFO* startupInfo, PROCESS_INFORMATION* processInformation) {
    if (!processInformation || (!commandLine && !applicationName))
        return Fail(ERROR_INVALID_PARAMETER);
    if (creationFlags & CREATE_SUSPENDED)
        return Fail(ERROR_NOT_SUPPORTED);
    // Without a command line the program gets no arguments, even when its
    // path holds blanks.
    const std::string line =
        commandLine ? std::string(commandLine) : "\"" + std::string(applicationName) + "\"";
    if (line.size() > kMaxCommandLine)
        return Fail(ERROR_FILENAME_EXCED_RANGE);

    CStartPlan plan;
    if (!PlanStart(applicationName, line, ModuleFolders(caller), &plan))
        return 0;

    std::string unixDir;
    if (currentDirectory && *currentDirectory) {
        std::optional<std::string> dir = ToUnixPath(currentDirectory);
        struct stat st;
        if (!dir || stat(dir->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return Fail(ERROR_DIRECTORY);
        unixDir = *dir;
    }

    const std::string show = ShowStateName(startupInfo);
    const bool noInput = show == "hidden" || (creationFlags & CREATE_NO_WINDOW);
    const bool endsWithStarter = (creationFlags & CREATE_ENDS_WITH_STARTER) != 0;
    std::vector<std::string> env =
        ChildEnvironment(environment, (creationFlags & CREATE_UNICODE_ENVIRONMENT) != 0, show);
    // Started by its watcher thread, which lives exactly as long as the
    // program does: a program that ends with its starter is tied to that
    // thread, which only the end of this process takes away early.
    std::shared_ptr<ProcessState> state = StartWatched([&](int* pid) {
        pid_t started = 0;
        const int rc = Spawn(plan, env, unixDir, noInput, endsWithStarter, &started);
        *pid = started;
        return rc;
    });
    if (!state)
        return 0;
    const int pid = GetWatchedPid(state);
    processInformation->hProcess = NewProcessHandle(state);
    processInformation->hThread = NewProcessHandle(state);
    processInformation->dwProcessId = static_cast<DWORD>(pid);
    processInformation->dwThreadId = static_cast<DWORD>(pid);  // the main thread's id is the pid
    SetLastError(ERROR_SUCCESS);
    return 1;
}

}  // namespace process_detail

// Not inlined: the return address names the calling module, whose folders
// are searched first for a substitute given by a bare name.
__attribute__((noinline)) BOOL CreateProcess(const char* applicationName, const char* commandLine,
                                             BOOL inheritHandles, DWORD creationFlags,
                                             const void* environment, const char* currentDirectory,
                                             const STARTUPINFO* startupInfo,
                                             PROCESS_INFORMATION* processInformation) {
    return process_detail::CreateProcessFrom(__builtin_return_address(0), applicationName,
                                             commandLine, creationFlags, environment,
                                             currentDirectory, startupInfo, processInformation);
}

std::u16string GetEnvironmentStringsW() {
    std::u16string block;
    for (char** e = environ; e && *e; ++e) {
        block += text::Utf8ToUtf16(*e);
        block.push_back(u'\0');
    }
    block.push_back(u'\0');
    return block;
}

__attribute__((noinline)) BOOL StartProgram(const char* commandLine, int showState) {
    STARTUPINFO si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showState);
    PROCESS_INFORMATION pi = {};
    if (!process_detail::CreateProcessFrom(__builtin_return_address(0), nullptr, commandLine, 0,
                                           nullptr, nullptr, &si, &pi))
        return 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    SetLastError(ERROR_SUCCESS);
    return 1;
}
