#include "tests/e2e/update_e2e_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "platform/archive/crc32.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "tools/pack/rar_format.h"

extern char** environ;

namespace fs = std::filesystem;

std::string RawRar(const std::vector<CRawRarEntry>& entries) {
    std::string bytes = RarArchiveStart();
    for (const CRawRarEntry& e : entries) {
        CRarEntry entry;
        entry.m_strName = e.name;
        entry.m_bDirectory = e.folder;
        entry.m_nSize = e.declaredSize.value_or(e.data.size());
        entry.m_dwDataCrc = Crc32Update(0, e.data.data(), e.data.size());
        entry.m_dwDosTime = DosDateTime(1700000000);
        entry.m_dwAttributes = e.folder ? kRarAttributeDirectory : kRarAttributeArchive;
        const std::optional<std::string> header = RarFileHeader(entry);
        EXPECT_TRUE(header) << e.name;
        bytes += header.value_or("") + e.data;
    }
    return bytes + RarArchiveEnd();
}

std::string ListPage(const std::vector<std::string>& fields) {
    std::string page = "<html><head><title>课件更新</title></head><body>\n";
    for (const std::string& field : fields)
        page += "&" + field + "\n";
    return page + "</body></html>\n";
}

// ---- CChild ----

CChild::~CChild() {
    if (m_pid > 0)
        Wait(0);
}

bool CChild::Start(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env, const std::string& outPath,
                   const std::string& errPath, bool ownGroup) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::size_t eq = entry.find('=');
        if (eq != std::string::npos)
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const EnvChange& change : env) {
        if (change.remove)
            vars.erase(change.name);
        else
            vars[change.name] = change.value;
    }
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : vars)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings = {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    if (ownGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    m_pid = pid;
    m_pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    return true;
}

int CChild::Wait(int timeoutSeconds) {
    if (m_pid <= 0)
        return -1;
    pollfd p{m_pidFd, POLLIN, 0};
    bool ended = m_pidFd >= 0 && poll(&p, 1, timeoutSeconds * 1000) == 1;
    if (!ended)
        kill(m_pid, SIGKILL);
    int status = 0;
    const pid_t waited = waitpid(m_pid, &status, 0);
    if (m_pidFd >= 0)
        close(m_pidFd);
    m_pid = -1;
    m_pidFd = -1;
    if (!ended || waited < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// ---- the fixture ----

void UpdateE2eTest::SetUp() {
    E2eTest::SetUp();
    // Loopback requests must never go to a proxy of the caller's.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                             "NO_PROXY", "TELVORA_HTTP_STALL"})
        unsetenv(name);
    ASSERT_EQ(RunProgramAndWait("/bin/sh", {"-c", "exec \"$0\" regsvr \"$1\" >/dev/null",
                                            Bin("telvora-ocx"), Bin("libcorvane.so")}),
              0);

    const std::string pipe = m_root + "/started";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Opened before anything can write, so a browser never waits for it.
    m_pipe = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(m_pipe, 0);
    // A writer of our own keeps the pipe open between two starts: a read
    // then waits for the next start instead of seeing the end.
    m_pipeWriter = open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(m_pipeWriter, 0);
    m_recorder = m_root + "/record-start";
    WriteFile(m_recorder,
              "#!/bin/sh\n"
              "{ for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done; printf 'end\\n'; } 1<>" +
                  pipe + "\n");
    ASSERT_EQ(chmod(m_recorder.c_str(), 0755), 0);
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes", "iexplore.exe",
                             m_recorder + " %*"));

    m_served = m_root + "/served";
    fs::create_directories(m_served);
    m_course = MakeCourse();
    m_courseWin = ToWindowsPath(m_course).value_or("");
    ASSERT_FALSE(m_courseWin.empty());
}

void UpdateE2eTest::TearDown() {
    for (int fd : {m_pipe, m_pipeWriter}) {
        if (fd >= 0)
            close(fd);
    }
    m_server.Stop(SIGTERM, 20);
    E2eTest::TearDown();
}

std::string UpdateE2eTest::SetupIni(const std::string& courseName, const std::string& defaultPage) {
    return "courseid=" + std::string(kCourseId) + "\r\ncoursename=" + courseName +
           "\r\ntotalcd=1\r\nnowcd=1\r\ndefault=" + defaultPage + "\r\n";
}

std::string UpdateE2eTest::RecordKey(const std::string& name) {
    return "software\\telvora\\" + name;
}

std::string UpdateE2eTest::Version(const std::string& name) {
    return RegDefault(RecordKey(name));
}

std::string UpdateE2eTest::MakeCourse(const std::string& name) {
    const std::string course = m_root + "/courses/" + U(name);
    WriteFile(course + "/setup.ini", SetupIni("数学", "index.htm"));
    WriteFile(course + "/index.htm", "<html>目录</html>\r\n");
    WriteFile(course + "/a.htm", "old a\r\n");
    WriteFile(course + "/b.htm", "old b\r\n");
    // One earlier update's notes.
    WriteFile(course + "/systeminfo/alter.htm",
              std::string("《数学》课件本次更新结束。<br>\r\n<br>本次更新内容说明：\r\n"
                          "<br><a href=\"http://old/rdcenter/newweb/explain/math\\02010101.htm\">"
                          "2002年1月1日第1次</a>\r\n"
                          "<br><p><a href=\"javascript:print()\">打印</a></p>\r\n") +
                  '\0');
    // The course's own browser is a Windows program: its substitute runs.
    WriteFile(course + "/systeminfo/soft/iexplore.exe", std::string("MZ\x90\0", 4));
    EXPECT_TRUE(RegPutString(HKEY_CURRENT_USER, RecordKey(name), "", "0"));
    EXPECT_TRUE(RegPutString(HKEY_CURRENT_USER, RecordKey(name) + "\\1", "",
                             ToWindowsPath(course).value_or("?")));
    return course;
}

void UpdateE2eTest::Publish(const std::string& code, const Files& files, const std::string& top,
                            const std::string& course) {
    if (!top.empty()) {
        PublishArchive(code, PackArchive(files, top), course);
        return;
    }
    const std::string dir = m_root + "/work/" + code + "-tree";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto& [path, bytes] : files) {
        if (!path.empty() && path.back() == '/')
            fs::create_directories(dir + "/" + path);
        else
            WriteFile(dir + "/" + path, bytes);
    }
    const ToolRun run = RunUpdateServerTool(
        {"publish", m_served, "--course", U(course), "--code", code, "--from", dir});
    ASSERT_EQ(run.status, 0) << run.err;
}

void UpdateE2eTest::PublishArchive(const std::string& code, const std::string& bytes,
                                   const std::string& course) {
    const std::string archive = m_root + "/work/" + code + ".rar";
    WriteFile(archive, bytes);
    const ToolRun run = RunUpdateServerTool(
        {"publish", m_served, "--course", U(course), "--code", code, "--archive", archive});
    ASSERT_EQ(run.status, 0) << run.err;
}

std::string UpdateE2eTest::PackArchive(const Files& files, const std::string& top) {
    static int serial = 0;
    const std::string dir = m_root + "/work/pack-" + std::to_string(++serial);
    fs::create_directories(dir);
    for (const auto& [path, bytes] : files) {
        if (!path.empty() && path.back() == '/')
            fs::create_directories(dir + "/" + path);
        else
            WriteFile(dir + "/" + path, bytes);
    }
    const std::string archive = dir + ".rar";
    EXPECT_EQ(
        RunProgramAndWait("/bin/sh", {"-c", "exec \"$0\" \"$1\" \"$2\" --top \"$3\" >/dev/null",
                                      Bin("telvora-pack"), archive, dir, U(top)}),
        0);
    return ReadFile(archive);
}

void UpdateE2eTest::StartServer(const std::vector<std::string>& extra) {
    ASSERT_TRUE(m_server.Start(m_served, extra)) << m_server.ListeningLine() << m_server.Log();
    m_nPort = m_server.Port();
    UsePort(m_nPort);
}

void UpdateE2eTest::UseServer(const std::string& hostPort) {
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Update", "Server", hostPort));
}

std::vector<std::string> UpdateE2eTest::LoggedTargets() const {
    std::vector<std::string> targets;
    std::istringstream log(m_server.Log());
    std::string line;
    while (std::getline(log, line)) {
        std::istringstream words(line);
        std::string time, client, method, target;
        if (words >> time >> client >> method >> target && (method == "GET" || method == "HEAD"))
            targets.push_back(target);
    }
    return targets;
}

std::vector<EnvChange> UpdateE2eTest::RunEnvironment(const std::string& answerFile) const {
    return {{"TELVORA_UI", "headless"},       {"TELVORA_ANSWERS", answerFile},
            {"TELVORA_ANSWER_TIMEOUT", "10"}, {"TELVORA_TRANSCRIPT", m_transcript},
            {"TELVORA_SNAPSHOTS", "", true},  {"DISPLAY", "", true},
            {"WAYLAND_DISPLAY", "", true}};
}

COcxRun UpdateE2eTest::Ocx(const std::vector<std::string>& calls, const std::string& answers,
                           const std::vector<EnvChange>& env, int timeoutSeconds) {
    const std::string answerFile = m_root + "/answers.txt";
    WriteFile(answerFile, text::GbkToUtf8(answers));
    std::vector<EnvChange> all = RunEnvironment(answerFile);
    all.insert(all.end(), env.begin(), env.end());
    std::vector<std::string> args = {"call", "CORVANE.CorvaneCtrl.1"};
    args.insert(args.end(), calls.begin(), calls.end());
    COcxRun run;
    CChild child;
    if (!child.Start(Bin("telvora-ocx"), args, all, m_root + "/out.txt", m_root + "/err.txt")) {
        ADD_FAILURE() << "telvora-ocx cannot be started";
        return run;
    }
    run.status = child.Wait(timeoutSeconds);
    EXPECT_NE(run.status, -1) << "telvora-ocx did not end within " << timeoutSeconds << " s";
    run.out = ReadFile(m_root + "/out.txt");
    run.err = ReadFile(m_root + "/err.txt");
    return run;
}

std::vector<std::string> UpdateE2eTest::UpdateCalls(int times,
                                                    const std::optional<std::string>& version,
                                                    int showWindow) const {
    std::string v = version.value_or(Version());
    if (v == "<missing>")
        v = "0";
    std::vector<std::string> calls;
    for (int i = 0; i < times; ++i) {
        if (i > 0)
            calls.push_back(",");
        for (const std::string& word :
             {std::string("PutInfo"), v, U(m_courseWin), std::to_string(showWindow),
              std::string(","), std::string("Download")})
            calls.push_back(word);
    }
    return calls;
}

COcxRun UpdateE2eTest::Update(const std::string& answers, const std::vector<EnvChange>& env,
                              int times, const std::optional<std::string>& version) {
    return Ocx(UpdateCalls(times, version), answers, env);
}

std::optional<std::vector<std::string>> UpdateE2eTest::NextBrowserStart(int timeoutMs) {
    std::string& pending = m_pipeText;
    while (pending.find("end\n") == std::string::npos) {
        pollfd p{m_pipe, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return std::nullopt;
        char buf[4096];
        const ssize_t n = read(m_pipe, buf, sizeof buf);
        if (n > 0)
            pending.append(buf, static_cast<std::size_t>(n));
        else if (n < 0 && errno != EAGAIN)
            return std::nullopt;
    }
    const std::size_t end = pending.find("end\n");
    const std::string text = pending.substr(0, end);
    pending.erase(0, end + 4);
    std::vector<std::string> args;
    std::size_t pos = 0;
    for (std::size_t nl; (nl = text.find('\n', pos)) != std::string::npos; pos = nl + 1) {
        const std::string line = text.substr(pos, nl - pos);
        if (line.rfind("arg=", 0) == 0)
            args.push_back(line.substr(4));
    }
    return args;
}

std::vector<std::string> UpdateE2eTest::BrowserPages(std::size_t count) {
    std::vector<std::string> pages;
    while (pages.size() < count) {
        std::optional<std::vector<std::string>> args = NextBrowserStart();
        if (!args) {
            ADD_FAILURE() << "the browser was started " << pages.size() << " times, not " << count;
            break;
        }
        EXPECT_EQ(args->size(), 1u) << "the browser takes one page";
        pages.push_back(args->empty() ? "" : args->front());
    }
    return pages;
}

bool UpdateE2eTest::NoBrowserStartWithin(int timeoutMs) {
    return !NextBrowserStart(timeoutMs);
}

Files UpdateE2eTest::Tree(const std::string& dir) {
    Files files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string rel = it->path().lexically_relative(dir).string();
        if (it->is_symlink(ec))
            files[rel + " ->"] = fs::read_symlink(it->path(), ec).string();
        else if (it->is_directory(ec))
            files[rel + "/"] = "";
        else if (it->is_regular_file(ec))
            files[rel] = ReadFile(it->path().string());
        else
            files[rel + " ?"] = "";
    }
    return files;
}

Files UpdateE2eTest::Surroundings() const {
    Files all = Tree(m_root);
    const std::string course = fs::path(m_course).lexically_relative(m_root).string() + "/";
    Files outside;
    for (const auto& [path, bytes] : all) {
        const bool topFile = path.find('/') == std::string::npos;
        if (topFile || path.rfind("prefix/", 0) == 0 || path.rfind("served/", 0) == 0 ||
            path.rfind("work/", 0) == 0 || (path.rfind(course, 0) == 0 && path != course))
            continue;
        outside[path] = bytes;
    }
    return outside;
}

std::string UpdateE2eTest::Page(const std::string& name) const {
    return ReadFile(m_course + "/systeminfo/" + name);
}

std::string UpdateE2eTest::ServerBase() const {
    return "http://127.0.0.1:" + std::to_string(m_nPort) + "/rdcenter/newweb/";
}
