#include "tests/e2e/update_server_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempPath(const std::string& stem) {
    std::string pattern = (fs::temp_directory_path() / (stem + "-XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd >= 0)
        close(fd);
    return pattern;
}

// Starts the program; stdin from stdinFd (or /dev/null), stdout to stdoutFd,
// stderr to errPath. Returns the pid, or -1.
pid_t Spawn(const std::vector<std::string>& args, int stdinFd, int stdoutFd,
            const std::string& errPath) {
    std::vector<std::string> argStrings = {UpdateServerProgram()};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// A descriptor that becomes readable when pid ends (the libc wrapper's
// header lacks C++ linkage markers in this glibc).
int PidFd(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

// Waits for pid's end through its pidfd for at most timeoutSeconds.
int WaitWithin(pid_t pid, int pidFd, int timeoutSeconds) {
    pollfd p{pidFd, POLLIN, 0};
    if (pidFd < 0 || poll(&p, 1, timeoutSeconds * 1000) != 1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Base64(const std::string& bytes) {
    static const char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kTable[(v >> 18) & 63];
        out += kTable[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kTable[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kTable[v & 63] : '=';
    }
    return out;
}

}  // namespace

std::string UpdateServerProgram() {
    const char* bin = std::getenv("TELVORA_BIN");
    return std::string(bin ? bin : "bin") + "/telvora-update-server";
}

ToolRun RunUpdateServerTool(const std::vector<std::string>& args, const std::string& input,
                            int timeoutSeconds) {
    ToolRun run;
    const std::string outPath = TempPath("tv-tool-out");
    const std::string errPath = TempPath("tv-tool-err");
    const int outFd = open(outPath.c_str(), O_WRONLY | O_TRUNC);
    int in[2] = {-1, -1};
    if (outFd < 0 || pipe2(in, O_CLOEXEC) != 0)
        return run;
    const pid_t pid = Spawn(args, in[0], outFd, errPath);
    close(in[0]);
    close(outFd);
    if (pid > 0) {
        // Small inputs fit the pipe; the program reads at most one line.
        if (!input.empty() && write(in[1], input.data(), input.size()) < 0)
            run.err = "cannot write the input";
        close(in[1]);
        const int pidFd = PidFd(pid);
        run.status = WaitWithin(pid, pidFd, timeoutSeconds);
        if (pidFd >= 0)
            close(pidFd);
    } else {
        close(in[1]);
    }
    run.out = ReadAll(outPath);
    run.err += ReadAll(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return run;
}

int StartUpdateServerTool(const std::vector<std::string>& args) {
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = Spawn(args, -1, devNull, "/dev/null");
    if (devNull >= 0)
        close(devNull);
    return pid;
}

CServerProcess::~CServerProcess() {
    if (m_pid > 0)
        Stop(SIGKILL, 20);
    if (m_reader.joinable())
        m_reader.join();
    if (!m_logPath.empty())
        fs::remove(m_logPath);
}

bool CServerProcess::Start(const std::string& dir, const std::vector<std::string>& extra,
                           int timeoutSeconds) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    m_logPath = TempPath("tv-server-log");
    std::vector<std::string> args = {"serve", dir, "--listen", "127.0.0.1:0"};
    args.insert(args.end(), extra.begin(), extra.end());
    m_pid = Spawn(args, -1, out[1], m_logPath);
    close(out[1]);
    if (m_pid <= 0) {
        close(out[0]);
        return false;
    }
    m_pidFd = PidFd(m_pid);
    // Standard output as it comes, to its end: the listening line, then the
    // access log.
    const int readEnd = out[0];
    m_reader = std::thread([this, readEnd] {
        char buf[4096];
        for (;;) {
            const ssize_t n = read(readEnd, buf, sizeof buf);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n <= 0) {
                m_outEnded = true;
                m_lineCame.notify_all();
                break;
            }
            m_out.append(buf, static_cast<std::size_t>(n));
            m_lineCame.notify_all();
        }
        close(readEnd);
    });
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_lineCame.wait_for(lock, std::chrono::seconds(timeoutSeconds),
                            [this] { return m_outEnded || m_out.find('\n') != std::string::npos; });
        m_line = m_out.substr(0, m_out.find('\n'));
    }
    const std::string prefix = "listening on 127.0.0.1:";
    if (m_line.rfind(prefix, 0) != 0)
        return false;
    m_port = std::atoi(m_line.c_str() + prefix.size());
    return m_port > 0;
}

int CServerProcess::Stop(int signal, int timeoutSeconds) {
    if (m_pid <= 0)
        return -1;
    kill(m_pid, signal);
    const int status = WaitWithin(m_pid, m_pidFd, timeoutSeconds);
    if (m_pidFd >= 0)
        close(m_pidFd);
    m_pid = -1;
    m_pidFd = -1;
    if (m_reader.joinable())
        m_reader.join();
    return status;
}

std::string CServerProcess::AccessLog() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t first = m_out.find('\n');
    return first == std::string::npos ? "" : m_out.substr(first + 1);
}

std::string CServerProcess::Log() const {
    std::string log = ReadAll(m_logPath);
    // ADDR - USER [TIME +0000] "METHOD TARGET VERSION" STATUS BYTES "REF" "AGENT"
    std::istringstream lines(AccessLog());
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream w(line);
        std::string client, dash, user, time, zone, method, target, version, status, bytes;
        if (!(w >> client >> dash >> user >> time >> zone >> method >> target >> version >>
              status >> bytes))
            continue;
        log += time.substr(1) + " " + client + " " + method.substr(1) + " " + target + " " +
               status + " " + bytes + "\n";
    }
    return log;
}

int ConnectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

int ConnectFrom(const char* source, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ClosedByPeerWithin(int fd, int timeoutSeconds) {
    pollfd p{fd, POLLIN, 0};
    char buf[4096];
    while (poll(&p, 1, timeoutSeconds * 1000) == 1) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return true;
    }
    return false;
}

RawResponse RawRequest(int port, const std::string& request, int timeoutSeconds) {
    RawResponse r;
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return r;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        close(fd);
        return r;
    }
    std::string all;
    pollfd p{fd, POLLIN, 0};
    bool closed = false;
    while (poll(&p, 1, timeoutSeconds * 1000) == 1) {
        char buf[65536];
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            closed = true;
            break;
        }
        all.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    const std::size_t end = all.find("\r\n\r\n");
    if (!closed || end == std::string::npos || all.compare(0, 5, "HTTP/") != 0)
        return r;
    r.status = std::atoi(all.c_str() + all.find(' ') + 1);
    std::size_t line = all.find("\r\n") + 2;
    while (line < end) {
        const std::size_t next = all.find("\r\n", line);
        const std::string header = all.substr(line, next - line);
        const std::size_t colon = header.find(':');
        if (colon != std::string::npos) {
            std::string name = header.substr(0, colon);
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const std::size_t value = header.find_first_not_of(' ', colon + 1);
            r.headers[name] = value == std::string::npos ? "" : header.substr(value);
        }
        line = next + 2;
    }
    r.body = all.substr(end + 4);
    r.ok = true;
    return r;
}

std::string ClientRequest(const std::string& target, const std::string& user,
                          const std::string& password, const std::string& method) {
    std::string request = method + " " + target +
                          " HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: corvane\r\nAccept: */*\r\n";
    if (!user.empty())
        request += "Authorization: Basic " + Base64(user + ":" + password) + "\r\n";
    return request + "\r\n";
}
