// Real programs started from Windows command lines: what they receive, how
// their end is reported, and that none is left behind or taken down with
// its starter.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <thread>

#include "platform/process/process.h"
#include "platform/process/tests/process_fixture.h"
#include "platform/ui/ui.h"

extern char** environ;

namespace {

using Args = std::vector<std::string>;

// Programs record their path at start (the program entry does); this one is
// a test runner whose folder-changing tests would otherwise spoil a relative
// argv[0] before it is first needed.
const bool g_programPathSet =
    (SetProgramPath(std::filesystem::read_symlink("/proc/self/exe").c_str()), true);

constexpr int kWaitMs = 20000;  // bound of every wait; reached only when something is wrong

// Polls a condition until it holds or timeoutMs passes; true when it held.
template <typename Pred>
bool WaitUntil(Pred pred, int timeoutMs = kWaitMs) {
    for (int waited = 0; !pred(); waited += 5) {
        if (waited >= timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// What the recorder program wrote: each key's values in order.
struct Record {
    std::map<std::string, std::vector<std::string>> values;
    std::string One(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() || it->second.empty() ? "<none>" : it->second.front();
    }
    Args All(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? Args() : it->second;
    }
    int Pid() const { return std::atoi(One("pid").c_str()); }
    // The value of a TV_* or TELVORA_* variable, or "<unset>".
    std::string Env(const std::string& name) const {
        for (const std::string& e : All("env")) {
            if (e.rfind(name + "=", 0) == 0)
                return e.substr(name.size() + 1);
        }
        return "<unset>";
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const std::string& e : All("env"))
            n += e.rfind(name + "=", 0) == 0 ? 1 : 0;
        return n;
    }
};

bool IsGone(int pid) {
    return access(("/proc/" + std::to_string(pid)).c_str(), F_OK) != 0;
}

// The process state letter from /proc (R, S, Z, ...), or 0 when gone.
char StateOf(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const std::size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

class CreateProcessTest : public ProcessServiceTest {
protected:
    void SetUp() override {
        ProcessServiceTest::SetUp();
        m_record = m_root + "/record.txt";
        setenv("TV_RECORD", m_record.c_str(), 1);
        unsetenv("TV_RECORD_HOLD");
        unsetenv("TV_RECORD_EXIT");
        unsetenv("TELVORA_SHOW");
    }

    void TearDown() override {
        // A recorder still holding after a failed test is ended here.
        for (int pid : m_started) {
            if (!IsGone(pid) && StateOf(pid) != 'Z')
                kill(pid, SIGKILL);
        }
        unsetenv("TV_RECORD");
        unsetenv("TV_RECORD_HOLD");
        unsetenv("TV_RECORD_EXIT");
        unsetenv("TELVORA_SHOW");
        ProcessServiceTest::TearDown();
    }

    // Waits for the recorder's file and reads it.
    Record ReadRecord() {
        Record r;
        EXPECT_TRUE(WaitUntil([&] { return ExistsUnix(m_record); })) << "no record was written";
        std::istringstream in(ReadUnix(m_record));
        std::string line;
        while (std::getline(in, line)) {
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos)
                r.values[line.substr(0, eq)].push_back(line.substr(eq + 1));
        }
        if (r.Pid() > 0)
            m_started.push_back(r.Pid());
        return r;
    }

    // The recorder as the program a Windows path names (a link to it).
    std::string PlaceRecorder(const std::string& rel) {
        const std::string link = Work(rel);
        std::filesystem::create_directories(std::filesystem::path(link).parent_path());
        std::filesystem::create_symlink(TV_PROCESS_RECORDER, link);
        return link;
    }

    BOOL Start(const std::string& commandLine, int show, PROCESS_INFORMATION* pi,
               const char* currentDirectory = nullptr, const void* environment = nullptr) {
        STARTUPINFO si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(show);
        *pi = {};
        return CreateProcess(nullptr, commandLine.c_str(), 0, NORMAL_PRIORITY_CLASS, environment,
                             currentDirectory, &si, pi);
    }

    static void CloseBoth(const PROCESS_INFORMATION& pi) {
        EXPECT_TRUE(CloseHandle(pi.hThread));
        EXPECT_TRUE(CloseHandle(pi.hProcess));
    }

    std::string m_record;
    std::vector<int> m_started;
};

TEST_F(CreateProcessTest, LinuxProgramGetsArgumentsShowStateAndAFreshSession) {
    const std::string link = PlaceRecorder("course dir/bin/viewer");
    WriteUnix(Work("course dir/index.htm"), "<html>");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("\"W:\\course dir\\bin\\viewer\" \"W:\\course dir\\INDEX.htm\" -a \"b c\"",
                      SW_SHOWMAXIMIZED, &pi));
    Record r = ReadRecord();
    EXPECT_EQ(r.All("arg"), Args({link, Work("course dir/index.htm"), "-a", "b c"}));
    EXPECT_EQ(r.Env("TELVORA_SHOW"), "maximized");
    EXPECT_EQ(r.Pid(), static_cast<int>(pi.dwProcessId));
    EXPECT_EQ(GetProcessId(pi.hProcess), pi.dwProcessId);
    // Its own session: it does not go down with the starter's terminal.
    EXPECT_EQ(r.One("sid"), r.One("pid"));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseBoth(pi);
}

TEST_F(CreateProcessTest, NoDescriptorIsHandedOn) {
    // Descriptors without close-on-exec, as a library might leave them.
    const int plain = open("/dev/null", O_RDONLY);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    ASSERT_GE(plain, 0);
    PlaceRecorder("bin/rec");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\bin\\rec", SW_SHOWNORMAL, &pi));
    Record r = ReadRecord();
    EXPECT_EQ(r.One("fds"), "0,1,2");
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseBoth(pi);

    // The same for programs run and waited for by Unix path.
    std::filesystem::remove(m_record);
    EXPECT_EQ(RunProgramAndWait(TV_PROCESS_RECORDER, {}), 0);
    EXPECT_EQ(ReadRecord().One("fds"), "0,1,2");
    close(plain);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST_F(CreateProcessTest, BrowserSubstituteGetsThePagePathWhole) {
    SetSubstitute("iexplore.exe", "\"" TV_PROCESS_RECORDER "\" %*");
    WriteUnix(Work("my course/index.htm"), "<html>");
    // The launcher's command line: no quotes around either path, and the
    // browser itself missing from the course.
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\my course\\systemInfo\\soft\\iexplore.exe W:\\my course\\index.htm",
                      SW_SHOWMAXIMIZED, &pi));
    CloseBoth(pi);
    Record r = ReadRecord();
    EXPECT_EQ(r.All("arg"), Args({TV_PROCESS_RECORDER, Work("my course/index.htm")}));
    EXPECT_EQ(r.Env("TELVORA_SHOW"), "maximized");
}

TEST_F(CreateProcessTest, HiddenExtractorIsWaitedForWithItsExitCode) {
    MakePeFile(Work("c/systeminfo/soft/winrar.exe"));
    SetSubstitute("winrar.exe", "\"" TV_PROCESS_RECORDER "\" %@");
    setenv("TV_RECORD_EXIT", "3", 1);
    setenv("TELVORA_SHOW", "stale", 1);  // the caller's own value is replaced
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(
        Start("\"W:\\c\\systeminfo\\soft\\winrar.exe\" x \"W:\\c\\temp\\03052301.rar\" "
              "\"W:\\c\\temp\" -y",
              SW_HIDE, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 3u);
    CloseBoth(pi);
    Record r = ReadRecord();
    EXPECT_EQ(r.All("arg"),
              Args({TV_PROCESS_RECORDER, "x", Work("c/temp/03052301.rar"), Work("c/temp"), "-y"}));
    EXPECT_EQ(r.Env("TELVORA_SHOW"), "hidden");
    EXPECT_EQ(r.Count("TELVORA_SHOW"), 1);
    EXPECT_EQ(r.One("stdin"), "/dev/null");
}

TEST_F(CreateProcessTest, RunningProgramReportsStillActiveUntilItEnds) {
    PlaceRecorder("bin/rec");
    setenv("TV_RECORD_HOLD", "1", 1);
    setenv("TV_RECORD_EXIT", "42", 1);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\bin\\rec", SW_SHOWNORMAL, &pi));
    Record r = ReadRecord();
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    // A program run and waited for meanwhile is not disturbed, and does not
    // disturb the watch on the first.
    EXPECT_EQ(RunProgramAndWait("/bin/sh", {"-c", "exit 5"}), 5);

    ASSERT_EQ(kill(r.Pid(), SIGUSR1), 0);
    // The main thread's handle ends with the process.
    EXPECT_EQ(WaitForSingleObject(pi.hThread, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 42u);
    CloseBoth(pi);
}

TEST_F(CreateProcessTest, ProgramEndedBySignalReportsIt) {
    PlaceRecorder("bin/rec");
    setenv("TV_RECORD_HOLD", "1", 1);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\bin\\rec", SW_SHOWNORMAL, &pi));
    ASSERT_EQ(kill(ReadRecord().Pid(), SIGKILL), 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 128u + SIGKILL);
    CloseBoth(pi);
}

TEST_F(CreateProcessTest, ProgramWhoseHandlesAreClosedAtOnceIsReaped) {
    PlaceRecorder("bin/rec");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\bin\\rec", SW_SHOWNORMAL, &pi));
    CloseBoth(pi);
    const int pid = ReadRecord().Pid();
    ASSERT_GT(pid, 0);
    // Once it has ended nothing of it may stay behind (a zombie keeps its
    // /proc entry until reaped).
    EXPECT_TRUE(WaitUntil([&] { return IsGone(pid); }))
        << "process " << pid << " left in state " << StateOf(pid);
}

TEST_F(CreateProcessTest, StartProgramLetsTheProgramLiveOnAndReapsIt) {
    PlaceRecorder("bin/rec");
    setenv("TV_RECORD_HOLD", "1", 1);
    ASSERT_TRUE(StartProgram("W:\\bin\\rec", SW_SHOWMAXIMIZED));
    Record r = ReadRecord();
    EXPECT_EQ(r.Env("TELVORA_SHOW"), "maximized");
    EXPECT_NE(StateOf(r.Pid()), 'Z');
    ASSERT_EQ(kill(r.Pid(), SIGUSR1), 0);
    EXPECT_TRUE(WaitUntil([&] { return IsGone(r.Pid()); }));
}

TEST_F(CreateProcessTest, ProgramOutlivesItsStarter) {
    setenv("TV_RECORD_HOLD", "1", 1);
    // The starter starts the recorder, closes the handles and ends.
    EXPECT_EQ(RunProgramAndWait(TV_PROCESS_STARTER, {std::string(TV_PROCESS_RECORDER) + " held"}),
              0);
    Record r = ReadRecord();
    ASSERT_GT(r.Pid(), 0);
    EXPECT_EQ(r.All("arg"), Args({TV_PROCESS_RECORDER, "held"}));
    // Still running, in its own session, after the starter is gone.
    EXPECT_EQ(kill(r.Pid(), 0), 0);
    const char state = StateOf(r.Pid());
    EXPECT_TRUE(state == 'S' || state == 'R') << state;
    EXPECT_EQ(r.One("sid"), r.One("pid"));
    EXPECT_EQ(kill(r.Pid(), SIGUSR1), 0);
}

TEST_F(CreateProcessTest, AProgramItsStarterWaitsForEndsWhenTheStarterIsKilled) {
    setenv("TV_RECORD_HOLD", "1", 1);
    // The starter, in a process group of its own, starts the recorder as a
    // program it waits for, and waits.
    const std::string tied = std::string(TV_PROCESS_RECORDER) + " tied";
    char* const argv[] = {const_cast<char*>(TV_PROCESS_STARTER),
                          const_cast<char*>("--ends-with-starter"), const_cast<char*>(tied.c_str()),
                          nullptr};
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    pid_t starter = 0;
    ASSERT_EQ(posix_spawn(&starter, TV_PROCESS_STARTER, nullptr, &attr, argv, environ), 0);
    posix_spawnattr_destroy(&attr);
    Record r = ReadRecord();
    ASSERT_GT(r.Pid(), 0);
    // In the starter's process group, so a kill of the group reaches it.
    EXPECT_NE(r.One("sid"), r.One("pid"));
    EXPECT_EQ(getpgid(r.Pid()), starter);
    // The starter alone is killed: the program goes with it.
    ASSERT_EQ(kill(starter, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(starter, &status, 0), starter);
    EXPECT_TRUE(WaitUntil([&] { return IsGone(r.Pid()) || StateOf(r.Pid()) == 'Z'; }))
        << "the program outlived its killed starter";
}

TEST_F(CreateProcessTest, SubstituteByBareNameIsFoundBesideTheCallingProgram) {
    // This test program lies beside the recorder; PATH does not lead there.
    ASSERT_TRUE(g_programPathSet);
    SetSubstitute("iexplore.exe", "tv_process_recorder %*");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\c\\iexplore.exe W:\\c\\a b.htm", SW_SHOWNORMAL, &pi));
    CloseBoth(pi);
    EXPECT_EQ(ReadRecord().All("arg"), Args({TV_PROCESS_RECORDER, Work("c/a b.htm")}));
}

TEST_F(CreateProcessTest, ProgramStartedThroughALinkFindsWhatLiesBesideItsRealFile) {
    // As a course folder holds links to the installed programs: the link's
    // folder has no recorder, the folder of the file it points at has.
    const std::string link = Work("course/bin/starter");
    std::filesystem::create_directories(Work("course/bin"));
    std::filesystem::create_symlink(TV_PROCESS_STARTER, link);
    EXPECT_EQ(RunProgramAndWait(link, {"tv_process_recorder linked"}), 0);
    EXPECT_EQ(ReadRecord().All("arg"), Args({TV_PROCESS_RECORDER, "linked"}));
}

TEST_F(CreateProcessTest, ApplicationNameWithoutCommandLineGetsNoArguments) {
    const std::string link = PlaceRecorder("my tools/rec");
    STARTUPINFO si = {};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcess("W:\\my tools\\rec", nullptr, 0, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(ReadRecord().All("arg"), Args({link}));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseBoth(pi);
}

TEST_F(CreateProcessTest, CurrentFolderAndEnvironmentBlock) {
    PlaceRecorder("bin/rec");
    std::filesystem::create_directories(Work("Start Here"));
    std::string block;
    for (const std::string& entry :
         {"TV_RECORD=" + m_record, std::string("TV_NAME=课件"), std::string("=C:=C:\\")})
        block += entry + '\0';
    block += '\0';
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\bin\\rec", SW_SHOWNORMAL, &pi, "W:\\start here", block.data()));
    Record r = ReadRecord();
    EXPECT_EQ(r.One("cwd"), Work("Start Here"));
    EXPECT_EQ(r.Env("TV_NAME"), U8(u8"课件"));
    EXPECT_EQ(r.Env("TELVORA_SHOW"), "normal");
    EXPECT_EQ(r.All("env").size(), 3u);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseBoth(pi);
}

TEST_F(CreateProcessTest, AUnicodeEnvironmentBlockKeepsWhatGbkCannotHold) {
    PlaceRecorder("bin/rec");
    // This process's environment (TV_RECORD among it) and one entry more,
    // whose value GBK has no place for.
    setenv("TV_OWN", U8(u8"课件\U0001F600").c_str(), 1);
    std::u16string block = GetEnvironmentStringsW();
    ASSERT_GE(block.size(), 2u);
    ASSERT_EQ(block.back(), u'\0');
    block.pop_back();
    block += u"TV_ADDED=\U0001F600";
    block += std::u16string(2, u'\0');
    STARTUPINFO si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcess(nullptr, "W:\\bin\\rec", 0, CREATE_UNICODE_ENVIRONMENT, block.data(),
                              nullptr, &si, &pi));
    unsetenv("TV_OWN");
    Record r = ReadRecord();
    EXPECT_EQ(r.Env("TV_OWN"), U8(u8"课件\U0001F600"));
    EXPECT_EQ(r.Env("TV_ADDED"), U8(u8"\U0001F600"));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, kWaitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseBoth(pi);
}

TEST_F(CreateProcessTest, FailuresSetTheLastError) {
    PROCESS_INFORMATION pi;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(Start("W:\\course\\systemInfo\\soft\\start.exe", SW_SHOWMAXIMIZED, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    MakePeFile(Work("soft/game.exe"));
    EXPECT_FALSE(Start("W:\\soft\\game.exe", SW_SHOWNORMAL, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));

    MakeFile(Work("soft/text.exe"), "just text\n", 0644);
    EXPECT_FALSE(Start("W:\\soft\\text.exe", SW_SHOWNORMAL, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // Executable, but neither a program nor a script.
    MakeFile(Work("soft/odd"), "just text\n", 0755);
    EXPECT_FALSE(Start("W:\\soft\\odd", SW_SHOWNORMAL, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));

    PlaceRecorder("bin/rec");
    EXPECT_FALSE(Start("W:\\bin\\rec", SW_SHOWNORMAL, &pi, "W:\\no such folder"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));

    STARTUPINFO si = {};
    EXPECT_FALSE(
        CreateProcess(nullptr, "W:\\bin\\rec", 0, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(CreateProcess(nullptr, nullptr, 0, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(CreateProcess(nullptr, "W:\\bin\\rec", 0, 0, nullptr, nullptr, &si, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    const std::string runaway = "W:\\bin\\rec " + std::string(40000, 'a');
    EXPECT_FALSE(Start(runaway, SW_SHOWNORMAL, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(ExistsUnix(m_record)) << "nothing may have run";
}

TEST_F(CreateProcessTest, BadHandlesAreRefused) {
    PlaceRecorder("bin/rec");
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(Start("W:\\bin\\rec", SW_SHOWNORMAL, &pi));
    EXPECT_NE(pi.hProcess, pi.hThread);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeProcess(pi.hProcess, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseBoth(pi);
    // Closed handles, a second close and made-up values.
    EXPECT_FALSE(CloseHandle(pi.hProcess));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), static_cast<DWORD>(WAIT_FAILED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(GetProcessId(reinterpret_cast<HANDLE>(0x12345)), 0u);
    EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), static_cast<DWORD>(WAIT_FAILED));
    ReadRecord();
}

}  // namespace
