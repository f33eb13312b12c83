// The installer on hostile discs, full disks, a second installer of the same
// course, a CD counter at its end, an unusable prefix, and killed mid-way:
// nothing is lost, nothing hangs, and no failure is reported as success.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <thread>

#include "common/course_lock.h"
#include "platform/fs/fs.h"
#include "platform/fs/instance_lock.h"
#include "platform/fs/tree_copy.h"
#include "platform/process/process.h"
#include "tests/e2e/e2e_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kInstallFailed = 1013 & 0xFF;
constexpr int kInstallRunning = 1014 & 0xFF;

class InstallSafetyTest : public E2eTest {
protected:
    // The course as a one-CD course: the run of CD 1 is the last.
    std::string PrepareLastCd(const std::string& cd) {
        const std::string course = PrepareCourse(cd, true);
        std::string ini = ReadFile(course + "/setup.ini");
        ini.replace(ini.find("totalcd=2"), 9, "totalcd=1");
        WriteFile(course + "/setup.ini", ini);
        return course;
    }
    // Scratch files anywhere below dir.
    static std::vector<std::string> ScratchFiles(const std::string& dir) {
        std::vector<std::string> found;
        for (const std::string& f : FilesBelow(dir))
            if (fs::path(f).filename().string().rfind(kScratchPrefix, 0) == 0)
                found.push_back(f);
        return found;
    }
    bool BoxSays(const std::string& gbkPart) const {
        for (const std::string& text : BoxTexts())
            if (text.find(U(gbkPart)) != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(InstallSafetyTest, FifosAndLinksOnTheDiscNeitherHangNorLeaveIt) {
    const std::string cd = MakeSample("sample") + "/cd1";
    ASSERT_EQ(mkfifo((cd + "/content/pipe.htm").c_str(), 0644), 0);
    fs::create_symlink("/etc/hostname", cd + "/content/host.htm");
    fs::create_symlink("/dev/zero", cd + "/content/zero.htm");
    fs::create_directory_symlink("/etc", cd + "/content/etc");
    fs::create_directory_symlink(".", cd + "/content/self1");
    fs::create_directory_symlink(".", cd + "/content/self2");
    fs::create_symlink("chapter01/index.htm", cd + "/content/first.htm");
    const std::string course = PrepareLastCd(cd);
    ASSERT_EQ(RunInstall(course), kInstallMediaCopied);
    for (const char* gone : {"pipe.htm", "host.htm", "zero.htm", "etc", "self1", "self2"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(course + "/content/" + gone))) << gone;
    // A link inside the disc is copied as the file it points to.
    EXPECT_EQ(ReadFile(course + "/content/first.htm"),
              ReadFile(cd + "/content/chapter01/index.htm"));
    EXPECT_FALSE(fs::is_symlink(course + "/content/first.htm"));
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(InstallSafetyTest, ASecondInstallerOfTheSameCourseTouchesNothing) {
    const std::string cd = MakeSample("sample") + "/cd1";
    const std::string course = PrepareLastCd(cd);
    const std::string before = ReadFile(course + "/setup.ini");
    {
        CInstanceLock other;  // the first installer, still at work
        ASSERT_TRUE(other.Acquire(*ToWindowsPath(course + "/systeminfo")));
        EXPECT_EQ(RunInstall(course), kInstallRunning);
    }
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1014}));
    EXPECT_TRUE(BoxSays(kCourseBusyText));
    EXPECT_FALSE(fs::exists(course + "/index.htm"));
    EXPECT_FALSE(fs::exists(course + "/content"));
    EXPECT_EQ(ReadFile(course + "/setup.ini"), before);
    // Once the other one has ended, the installation goes ahead.
    EXPECT_EQ(RunInstall(course), kInstallMediaCopied);
    EXPECT_TRUE(fs::exists(course + "/index.htm"));
}

TEST_F(InstallSafetyTest, AFullDiskEndsAsFailedAndSaysWhich) {
    const std::string cd = MakeSample("sample") + "/cd1";
    WriteFile(cd + "/content/big/big.wmv", std::string(2 << 20, 'b'));
    // The course on a small file system of its own.
    const std::string small = m_root + "/courses";
    fs::create_directories(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        std::string dir;
        ~Unmount() { umount2(dir.c_str(), MNT_DETACH); }
    } unmount{small};
    const std::string course = PrepareLastCd(cd);
    const std::string ini = ReadFile(course + "/setup.ini");
    EXPECT_EQ(RunInstall(course), kInstallFailed);
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1013}));
    EXPECT_TRUE(BoxSays("个文件没有复制成功"));
    EXPECT_TRUE(BoxSays("big.wmv"));
    EXPECT_TRUE(ScratchFiles(small).empty());
    // The pages were not patched: a run of this CD again finds them as the CD has them.
    EXPECT_EQ(ReadFile(course + "/navbar/navbar.htm").find("UpDate"), std::string::npos);
    EXPECT_EQ(ReadFile(course + "/setup.ini"), ini);
}

TEST_F(InstallSafetyTest, ACdCounterWithNoNextNumberEndsAsFailed) {
    const std::string sample = MakeSample("sample");
    const std::string course = PrepareCourse(sample + "/cd1", true);
    std::string ini = ReadFile(course + "/setup.ini");
    ini.replace(ini.find("nowcd=1"), 7, "nowcd=2147483647");
    ini.replace(ini.find("totalcd=2"), 9, "totalcd=2147483648");
    WriteFile(course + "/setup.ini", ini);
    EXPECT_EQ(RunInstall(course, "dialog 138 : insert E: \"" + sample + "/cd2\" ; press 1\n"),
              kInstallFailed);
    EXPECT_EQ(Texts(138, 1013).size(), 1u);  // asked once, not for ever
    EXPECT_TRUE(BoxSays("nowcd"));
    EXPECT_EQ(ReadFile(course + "/setup.ini"), ini);
    EXPECT_FALSE(fs::exists(course + "/systeminfo/fail.txt"));  // nobody gave up
    EXPECT_TRUE(ScratchFiles(course).empty());
}

TEST_F(InstallSafetyTest, AnUnusablePrefixAndAnAnswerFileThatIsAFolderAreSaid) {
    const std::string cd = MakeSample("sample") + "/cd1";
    const std::string course = PrepareLastCd(cd);
    WriteFile(m_root + "/plain", "a file, not a folder");
    const std::string errors = m_root + "/stderr.txt";
    fs::create_directory(m_root + "/answers");
    int status = RunProgramAndWait("/bin/sh",
                                   {"-c", "exec \"$0\" 2>\"$1\"", course + "/bin/install", errors},
                                   {{"TELVORA_UI", "headless"},
                                    {"TELVORA_PREFIX", m_root + "/plain/prefix"},
                                    {"TELVORA_ANSWERS", m_root + "/answers"},
                                    {"TELVORA_TRANSCRIPT", m_transcript}});
    EXPECT_EQ(status, 1008 & 0xFF);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_NE(BoxTexts()[0].find("TELVORA_PREFIX"), std::string::npos) << BoxTexts()[0];
    EXPECT_NE(BoxTexts()[0].find(m_root + "/plain/prefix"), std::string::npos);
    EXPECT_NE(ReadFile(errors).find("answers: it is a folder"), std::string::npos)
        << ReadFile(errors);
    EXPECT_FALSE(fs::exists(course + "/index.htm"));
}

// ---- killed mid-way --------------------------------------------------------

class InstallKillTest : public InstallSafetyTest {
protected:
    static constexpr int kManyFiles = 1000;

    void SetUp() override {
        InstallSafetyTest::SetUp();
        m_cd = MakeSample("sample") + "/cd1";
        WriteVersion("old");
        m_course = PrepareLastCd(m_cd);
        ASSERT_EQ(RunInstall(m_course), kInstallMediaCopied);
        m_old = Snapshot(m_course);
        WriteVersion("new");
        m_new = Snapshot(m_cd);
    }
    // Every file of the CD's extra folders in one version.
    void WriteVersion(const std::string& version) {
        for (int i = 0; i < kManyFiles; ++i)
            WriteFile(m_cd + "/many/f" + std::to_string(i) + ".htm",
                      version + std::string(200 + i % 3000, static_cast<char>('a' + i % 26)));
        WriteFile(m_cd + "/big/big.wmv", version + std::string(24 << 20, version[0]));
    }
    // Relative path -> bytes, for the files of the extra folders. A scratch
    // file a kill left is no installed file (the next run removes it).
    std::map<std::string, std::string> Snapshot(const std::string& dir) {
        std::map<std::string, std::string> files;
        for (const std::string& f : FilesBelow(dir))
            if ((f.rfind("many/", 0) == 0 || f.rfind("big/", 0) == 0) &&
                fs::path(f).filename().string().rfind(kScratchPrefix, 0) != 0)
                files[f] = ReadFile(dir + "/" + f);
        return files;
    }
    pid_t Start() {
        const std::string program = m_course + "/bin/install";
        pid_t pid = fork();
        if (pid == 0) {
            setenv("TELVORA_UI", "headless", 1);
            unsetenv("TELVORA_ANSWERS");
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    // Whether a descriptor of pid points into folder (a file being written).
    static bool Writing(pid_t pid, const std::string& folder) {
        std::error_code ec;
        for (auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            std::string target = fs::read_symlink(e.path(), ec).string();
            if (target.rfind(folder, 0) == 0)
                return true;
        }
        return false;
    }
    // Kills the run once the big file is being written (bounded poll).
    void KillInBigFile(pid_t pid) {
        for (int i = 0; i < 20000 && !Writing(pid, m_course + "/big/"); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        kill(pid, SIGKILL);
    }
    // Kills the run after n names have arrived in many/ (inotify, bounded).
    void KillAfterArrivals(pid_t pid, int n, bool scratchOnly) {
        int fd = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(fd, 0);
        inotify_add_watch(fd, (m_course + "/many").c_str(), IN_CREATE | IN_MOVED_TO);
        int seen = 0;
        alignas(inotify_event) char buf[8192];
        for (int waits = 0; seen < n && waits < 200;) {
            struct pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) {
                ++waits;
                int status;
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    close(fd);
                    return;  // ended on its own: nothing left to kill
                }
                continue;
            }
            ssize_t len = read(fd, buf, sizeof buf);
            for (char* q = buf; len > 0 && q < buf + len;) {
                auto* ev = reinterpret_cast<inotify_event*>(q);
                std::string name = ev->len ? ev->name : "";
                if (!scratchOnly || name.rfind(kScratchPrefix, 0) == 0)
                    ++seen;
                q += sizeof(inotify_event) + ev->len;
            }
        }
        kill(pid, SIGKILL);
        close(fd);
    }
    void CheckOldOrNew(const std::string& moment) {
        for (const auto& [path, bytes] : Snapshot(m_course)) {
            auto o = m_old.find(path);
            auto n = m_new.find(path);
            bool ok = (o != m_old.end() && o->second == bytes) ||
                      (n != m_new.end() && n->second == bytes);
            EXPECT_TRUE(ok) << moment << ": " << path << " holds " << bytes.size() << " bytes";
        }
        for (const auto& [path, bytes] : m_old)
            EXPECT_TRUE(fs::exists(m_course + "/" + path)) << moment << ": " << path << " lost";
        for (const char* page : {"navbar/navbar.htm", "left/items.vbs"})
            EXPECT_GT(fs::file_size(m_course + "/" + page), 0u) << moment << ": " << page;
    }

    std::string m_cd, m_course;
    std::map<std::string, std::string> m_old, m_new;
};

TEST_F(InstallKillTest, KilledAtChosenMomentsEveryFileIsWholeAndTheNextRunCompletes) {
    struct Moment {
        const char* what;
        int arrivals;  // 0: in the big file
        bool scratch;
    };
    const Moment moments[] = {{"in the big file", 0, false},      {"after 1 file", 1, false},
                              {"after 40 files", 40, false},      {"after 400 files", 400, false},
                              {"after 900 files", 900, false},    {"a scratch name", 1, true},
                              {"in the big file again", 0, false}};
    for (const Moment& m : moments) {
        // Each kill starts from the old version, so that there is work to cut.
        for (const auto& [path, bytes] : m_old) {
            fs::remove(m_course + "/" + path);
            WriteFile(m_course + "/" + path, bytes);
        }
        pid_t pid = Start();
        ASSERT_GT(pid, 0);
        if (m.arrivals == 0)
            KillInBigFile(pid);
        else
            KillAfterArrivals(pid, m.arrivals, m.scratch);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        CheckOldOrNew(m.what);
        if (HasFailure())
            return;
    }
    // The next run removes what the killed ones left and completes.
    EXPECT_EQ(RunInstall(m_course), kInstallMediaCopied);
    EXPECT_EQ(Snapshot(m_course), m_new);
    EXPECT_TRUE(ScratchFiles(m_course).empty());
}

}  // namespace
