// A program for the process tests: writes what it was started with into the
// file named by TV_RECORD (written under a scratch name, then renamed, so the
// file appears whole): its arguments, TV_* and TELVORA_* variables, open
// descriptors, where its input comes from, its ids, session, blocked signals
// and current folder. With TV_RECORD_HOLD=1 it then waits for SIGUSR1
// (at most a minute, so a failed test leaves nothing behind for long).
// Exits with TV_RECORD_EXIT (default 0).
#include <dirent.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string Link(const char* path) {
    char buf[4096];
    const ssize_t n = readlink(path, buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("?");
}

std::string OpenDescriptors() {
    std::string out;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return "?";
    const int own = dirfd(dir);
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        if (std::atoi(e->d_name) == own)
            continue;
        out += (out.empty() ? "" : ",") + std::string(e->d_name);
    }
    closedir(dir);
    return out;
}

std::string BlockedSignals() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("SigBlk:", 0) == 0)
            return line.substr(line.find_first_not_of(" \t", 7));
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    const char* record = std::getenv("TV_RECORD");
    if (!record || !*record)
        return 99;
    const bool hold =
        std::getenv("TV_RECORD_HOLD") && std::strcmp(std::getenv("TV_RECORD_HOLD"), "1") == 0;
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    if (hold)
        sigprocmask(SIG_BLOCK, &usr1, nullptr);  // before the record exists

    // Descriptors are listed before the record file adds its own.
    const std::string fds = OpenDescriptors();
    const std::string scratch = std::string(record) + ".part";
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        out << "pid=" << getpid() << "\n";
        out << "sid=" << getsid(0) << "\n";
        out << "cwd=" << Link("/proc/self/cwd") << "\n";
        out << "stdin=" << Link("/proc/self/fd/0") << "\n";
        out << "fds=" << fds << "\n";
        out << "sigblk=" << BlockedSignals() << "\n";
        for (int i = 0; i < argc; ++i)
            out << "arg=" << argv[i] << "\n";
        extern char** environ;
        for (char** e = environ; *e; ++e) {
            if (std::strncmp(*e, "TV_", 3) == 0 || std::strncmp(*e, "TELVORA_", 8) == 0)
                out << "env=" << *e << "\n";
        }
    }
    std::rename(scratch.c_str(), record);

    if (hold) {
        timespec limit{60, 0};
        sigtimedwait(&usr1, nullptr, &limit);
    }
    const char* code = std::getenv("TV_RECORD_EXIT");
    return code ? std::atoi(code) : 0;
}
