// CreateProcess over posix_spawn: the plan says what to run; here the program
// gets its environment, show state, current folder and descriptors, its own
// session, and a watcher that reaps it.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>

#include <cstring>

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

// The caller's environment, or the given block ("NAME=VALUE\0...\0", GBK),
// with the show state set.
std::vector<std::string> ChildEnvironment(const void* block, const std::string& show) {
    std::vector<std::string> env;
    if (block) {
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

// Spawns the plan; returns 0 or an errno value.
int Spawn(const CStartPlan& plan, std::vector<std::string> env, const std::string& unixDir,
          bool noInput, pid_t* pid) {
    std::vector<std::string> args = plan.argv;
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (noInput)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!unixDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, unixDir.c_str());
    // Nothing of this process is handed on but the three standard streams.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    // Default signal handling and nothing blocked, whatever the calling
    // thread had (a tool waiting for its stop signals blocks them), and a
    // session of its own, so the program outlives its starter and a hang-up
    // of the starter's terminal.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);

    const int rc =
        posix_spawn(pid, plan.program.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
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
    std::shared_ptr<ProcessState> state = NewWatchedProcess();
    if (!state)
        return 0;
    pid_t pid = 0;
    const int rc = Spawn(plan, ChildEnvironment(environment, show), unixDir, noInput, &pid);
    if (rc != 0) {
        AbandonWatch(state);
        SetLastErrorFromErrno(rc);
        return 0;
    }
    WatchPid(state, pid);
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
