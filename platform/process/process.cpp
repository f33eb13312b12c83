#include "platform/process/process.h"
#include "platform/process/process_internal.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

bool HasName(const char* entry, const std::string& name) {
    return std::strncmp(entry, name.c_str(), name.size()) == 0 && entry[name.size()] == '=';
}

std::vector<std::string> BuildEnvironment(const std::vector<EnvChange>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        bool changed = false;
        for (const EnvChange& c : changes)
            changed = changed || HasName(*e, c.name);
        if (!changed)
            env.emplace_back(*e);
    }
    for (const EnvChange& c : changes) {
        if (!c.remove)
            env.push_back(c.name + "=" + c.value);
    }
    return env;
}

}  // namespace

std::vector<char*> process_detail::Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    p.reserve(strings.size() + 1);
    for (std::string& s : strings)
        p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

int RunProgramAndWait(const std::string& unixPath, const std::vector<std::string>& args,
                      const std::vector<EnvChange>& envChanges, bool quietOutput) {
    std::vector<std::string> argStrings;
    argStrings.push_back(unixPath);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = BuildEnvironment(envChanges);
    std::vector<char*> argv = process_detail::Pointers(argStrings);
    std::vector<char*> envp = process_detail::Pointers(envStrings);

    // The child starts with default signal handling and nothing blocked,
    // whatever the calling thread had.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // Nothing of this process is handed on but the three standard streams.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quietOutput)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, unixPath.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        SetLastErrorFromErrno(rc);
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            SetLastErrorFromErrno(errno);
            return -1;
        }
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}
