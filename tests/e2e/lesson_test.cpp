// The launcher end to end: the real lesson from a course folder in a fresh
// prefix with the update control registered, headless. A stand-in for the
// course's browser (and for a course's own program) tells the test, through
// a pipe, how it was started.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "platform/error/error.h"
#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "tests/e2e/e2e_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLessonDone = 1003 & 0xFF;  // exit status of quit 1003
constexpr int kStartTimeoutMs = 20000;    // reached only when something is wrong
// How long a start that must not happen is given to show itself.
constexpr int kNoStartWindowMs = 500;

// How a stand-in was started: its name, its show state and its arguments.
struct CStarted {
    std::string program;
    std::string show;
    std::vector<std::string> args;
};

class LessonTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        const std::string pipe = m_root + "/started";
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        // Opened before anything can write: a stand-in never waits for it.
        m_pipe = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_pipe, 0);
        m_recorder = m_root + "/record-start";
        WriteFile(m_recorder,
                  "#!/bin/sh\n"
                  "{ printf 'program=%s\\n' \"$0\"; printf 'show=%s\\n' \"$TELVORA_SHOW\";\n"
                  "  for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done; printf 'end\\n'; } 1<>" +
                      pipe + "\n");
        ASSERT_EQ(chmod(m_recorder.c_str(), 0755), 0);
        SetBrowser(m_recorder + " %*");
    }
    void TearDown() override {
        if (m_pipe >= 0)
            close(m_pipe);
        E2eTest::TearDown();
    }

    static void SetBrowser(const std::string& command) {
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes",
                                 "iexplore.exe", command));
    }
    void RegisterControl() {
        // The host prints the registration's result code; the test has no use for it.
        ASSERT_EQ(RunProgramAndWait("/bin/sh", {"-c", "exec \"$0\" regsvr \"$1\" >/dev/null",
                                                Bin("telvora-ocx"), Bin("libcorvane.so")}),
                  0);
    }
    // A course folder as the setup step leaves it: setup.ini, the course's
    // browser (a Windows program), bin/lesson linked to the launcher and the
    // registry record (version 20050101).
    std::string MakeCourse(const std::string& course, const std::string& ini) {
        fs::create_directories(course + "/bin");
        WriteFile(course + "/setup.ini", ini);
        WriteFile(course + "/systemInfo/soft/iexplore.exe", std::string("MZ\x90\0", 4));
        fs::create_symlink(Bin("lesson"), course + "/bin/lesson");
        EXPECT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\c1", "", "20050101"));
        EXPECT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\c1\\1", "",
                                 ToWindowsPath(course).value_or("?")));
        return course;
    }
    static std::string Ini(const std::string& defaultEntry) {
        return "version=20040301\r\ncourseid=c1\r\ntotalcd=1\r\nnowcd=1\r\ndefault=" +
               defaultEntry + "\r\n";
    }
    // The update's login is declined: these cases are about the start.
    int Lesson(const std::string& course) {
        return Run(course + "/bin/lesson", {}, "dialog 211 : press 2\n");
    }

    // The next start a stand-in told of, or nothing after the time-out.
    std::optional<CStarted> NextStart(int timeoutMs = kStartTimeoutMs) {
        std::string text;
        while (text.find("end\n") == std::string::npos) {
            pollfd p{m_pipe, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                return std::nullopt;
            char buf[4096];
            const ssize_t n = read(m_pipe, buf, sizeof buf);
            if (n > 0)
                text.append(buf, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EAGAIN)
                return std::nullopt;  // the writer is gone without its end line
        }
        CStarted started;
        std::size_t pos = 0;
        for (std::size_t nl; (nl = text.find('\n', pos)) != std::string::npos; pos = nl + 1) {
            const std::string line = text.substr(pos, nl - pos);
            if (line.rfind("program=", 0) == 0)
                started.program = line.substr(8);
            else if (line.rfind("show=", 0) == 0)
                started.show = line.substr(5);
            else if (line.rfind("arg=", 0) == 0)
                started.args.push_back(line.substr(4));
        }
        return started;
    }
    // The browser was started maximised with this page as its one argument.
    void ExpectBrowserWith(const std::string& page) {
        std::optional<CStarted> started = NextStart();
        ASSERT_TRUE(started) << "the browser was not started";
        EXPECT_EQ(started->program, m_recorder);
        EXPECT_EQ(started->show, "maximized");
        EXPECT_EQ(started->args, std::vector<std::string>{page});
    }
    void ExpectNothingStarted() {
        EXPECT_FALSE(NextStart(kNoStartWindowMs)) << "a program was started";
    }

    int m_pipe = -1;
    std::string m_recorder;
};

using Strings = std::vector<std::string>;

TEST_F(LessonTest, AnInstalledCourseOpensItsStartPageInTheBrowser) {
    const std::string sample = MakeSample("sample");
    const std::string dest = m_root + "/my courses";
    ASSERT_EQ(Run(Bin("telvora-setup"), {"--cd-folder", sample + "/cd1", "--drive", "E:", "--dest",
                                         dest, "--media", "no", "--prepare-only"}),
              0);
    const std::string course = dest + "/jsjyy01";
    ASSERT_TRUE(fs::is_symlink(course + "/bin/lesson"));

    EXPECT_EQ(Lesson(course), kLessonDone);
    ExpectBrowserWith(course + "/index.htm");
    EXPECT_EQ(ExitCodes("lesson"), (std::vector<int>{1003}));
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(LessonTest, ACoursesOwnProgramIsStartedItself) {
    RegisterControl();
    const std::string course = MakeCourse(m_root + "/my courses/c1", Ini("start.exe"));
    // A course that ships a Linux build under its Windows name.
    fs::copy_file(m_recorder, course + "/start.exe");

    EXPECT_EQ(Lesson(course), kLessonDone);
    std::optional<CStarted> started = NextStart();
    ASSERT_TRUE(started);
    EXPECT_EQ(started->program, course + "/start.exe");
    EXPECT_EQ(started->show, "maximized");
    EXPECT_TRUE(started->args.empty());

    // The letter case counts: this one is a page for the browser (given as
    // it is written while no file of that name exists in any letter case).
    fs::remove(course + "/start.exe");
    WriteFile(course + "/setup.ini", Ini("START.EXE"));
    EXPECT_EQ(Lesson(course), kLessonDone);
    ExpectBrowserWith(course + "/START.EXE");
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(LessonTest, RecordAndSetupIniProblemsAreToldAndTheCourseStillOpens) {
    RegisterControl();
    const std::string course = MakeCourse(m_root + "/c1", Ini("index.htm"));
    const std::string page = course + "/index.htm";

    // A key line without "=".
    WriteFile(course + "/setup.ini", "version 20040301\r\ncourseid=c1\r\ndefault=index.htm\r\n");
    EXPECT_EQ(Lesson(course), kLessonDone);
    ExpectBrowserWith(page);
    WriteFile(course + "/setup.ini", Ini("index.htm"));
    // A version too long for the reader's buffer, then a folder.
    const std::string tooLong(100, '9');
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\c1", "", tooLong));
    EXPECT_EQ(Lesson(course), kLessonDone);
    ExpectBrowserWith(page);
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\c1", "", "20050101"));
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\c1\\1", "", "C:\\" + tooLong));
    EXPECT_EQ(Lesson(course), kLessonDone);
    ExpectBrowserWith(page);
    // No record at all.
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "software\\telvora\\c1"), ERROR_SUCCESS);
    EXPECT_EQ(Lesson(course), kLessonDone);
    ExpectBrowserWith(page);

    EXPECT_EQ(BoxTexts(), (Strings{"ini file version error", "read register error",
                                   "read register error", "open register error"}));
    for (const TranscriptEvent& box : Events("messagebox")) {
        EXPECT_EQ(box.at("caption"), "lesson");
        EXPECT_EQ(box.at("buttons"), "ok");
    }
    EXPECT_EQ(ExitCodes("lesson"), (std::vector<int>{1003, 1003, 1003, 1003}));
}

TEST_F(LessonTest, ABrowserThatCannotStartIsToldWithTheSystemsText) {
    RegisterControl();
    const std::string course = MakeCourse(m_root + "/c1", Ini("index.htm"));
    SetBrowser(" ");  // no substitute for the course's Windows browser
    EXPECT_EQ(Lesson(course), kLessonDone);
    ASSERT_EQ(Events("messagebox").size(), 1u);
    const TranscriptEvent box = Events("messagebox")[0];
    EXPECT_EQ(box.at("text"), U(FormatSystemMessage(ERROR_BAD_EXE_FORMAT)));
    EXPECT_EQ(box.at("icon"), "information");
    EXPECT_EQ(ExitCodes("lesson"), (std::vector<int>{1003}));
}

TEST_F(LessonTest, WithoutSetupIniNothingStarts) {
    RegisterControl();
    const std::string course = MakeCourse(m_root + "/c1", Ini("index.htm"));
    // Placed in the course folder itself, it looks for setup.ini one folder up.
    fs::create_symlink(Bin("lesson"), course + "/lesson");
    EXPECT_EQ(Run(course + "/lesson", {}), 0);
    EXPECT_EQ(BoxTexts(), (Strings{".ini file can't find"}));
    ExpectNothingStarted();
}

TEST_F(LessonTest, WithoutTheUpdateControlRegisteredNothingStartsAndNothingIsSaid) {
    const std::string course = MakeCourse(m_root + "/c1", Ini("index.htm"));
    EXPECT_EQ(Lesson(course), 0);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_TRUE(Events("dialog").empty());
    EXPECT_EQ(ExitCodes("lesson"), (std::vector<int>{0}));
    ExpectNothingStarted();
}

TEST_F(LessonTest, ACourseDeepInTheFileSystemFindsItsSetupIni) {
    RegisterControl();
    // A course folder of 97 characters fits the record (at most 99); its
    // launcher's folder, bin included, does not fit 99 characters, so a path
    // cut there would lose the folder the launcher lives in.
    const std::size_t rootLength = ToWindowsPath(m_root).value_or("").size();
    ASSERT_LT(rootLength, 90u);
    const std::string parent = m_root + "/" + std::string(93 - rootLength, 'd');
    const std::string course = MakeCourse(parent + "/c1", Ini("index.htm"));
    ASSERT_EQ(ToWindowsPath(course).value_or("").size(), 97u);

    EXPECT_EQ(Lesson(course), kLessonDone);
    ExpectBrowserWith(course + "/index.htm");
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(LessonTest, OnAMachineWithLoopbackOnlyTheCourseStillOpens) {
    if (RunProgramAndWait("/usr/bin/unshare", {"-rn", "/bin/true"}) != 0)
        GTEST_SKIP() << "no network namespace of our own can be made here (unshare -rn)";
    RegisterControl();
    const std::string course = MakeCourse(m_root + "/my courses/c1", Ini("index.htm"));
    // In a network namespace of its own the machine has nothing but lo.
    EXPECT_EQ(Run("/usr/bin/unshare", {"-rn", course + "/bin/lesson"}), kLessonDone);
    ExpectBrowserWith(course + "/index.htm");
    // Quit 1006 was requested before the update; the start's own end request
    // came last.
    EXPECT_EQ(ExitCodes("lesson"), (std::vector<int>{1003}));
    EXPECT_TRUE(BoxTexts().empty());
}

}  // namespace
