// An installed course in the desktop's menu, and its removal through
// telvora-setup --uninstall: the course folder, the registry record, the menu
// entry and, with the last course, the update control's registration.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "common/program_codes.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "tests/e2e/e2e_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRemoved = 0, kDeclined = 1, kRefused = 2, kNoCourse = 3;

class SetupUninstallTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        // The menu and the home folder of the runs are the test's own.
        for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
            const char* v = std::getenv(name);
            m_saved.push_back({name, v ? std::optional<std::string>(v) : std::nullopt});
        }
        setenv("XDG_DATA_HOME", (m_root + "/data").c_str(), 1);
        m_home = m_root + "/home";
        fs::create_directories(m_home);
        setenv("HOME", m_home.c_str(), 1);
        m_courses = m_root + "/courses";
    }
    void TearDown() override {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        E2eTest::TearDown();
    }

    // Installs a sample course (both CDs, media skipped) from m_root/<sample>.
    int Install(const std::string& sample, std::vector<std::string> extra = {}) {
        const std::string cds = m_root + "/" + sample;
        std::vector<std::string> args = {"--cd-folder", cds + "/cd1", "--next-cd", cds + "/cd2",
                                         "--media",     "no",         "--dest",    m_courses};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(Bin("telvora-setup"), args);
    }
    int Uninstall(const std::string& id, bool yes, const std::string& answers = "") {
        std::vector<std::string> args = {"--uninstall", id};
        if (yes)
            args.push_back("--yes");
        return Run(Bin("telvora-setup"), args, answers);
    }
    std::string Entry(const std::string& id) const {
        return m_root + "/data/applications/telvora-" + id + ".desktop";
    }
    // The value of a key of the entry (the first line that sets it).
    std::string EntryValue(const std::string& id, const std::string& key) const {
        const std::string text = ReadFile(Entry(id));
        const std::size_t at = text.find("\n" + key + "=");
        if (at == std::string::npos)
            return "<missing>";
        const std::size_t from = at + key.size() + 2;
        return text.substr(from, text.find('\n', from) - from);
    }
    static std::optional<std::string> Registration() {
        return RegGetString(HKEY_CLASSES_ROOT,
                            std::string("CLSID\\{") + kUpdateControlClsid + "}\\InprocServer32",
                            "");
    }
    static bool HasRecord(const std::string& id) {
        return RegGetString(HKEY_CURRENT_USER, "software\\telvora\\" + id + "\\1", "").has_value();
    }
    // A record as the setup step writes it, naming any folder.
    static void PutRecord(const std::string& id, const std::string& unixDir) {
        ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\" + id, "", "0"));
        ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "software\\telvora\\" + id + "\\1", "",
                                 ToWindowsPath(unixDir).value_or("?")));
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
    std::string m_home;
    std::string m_courses;
};

TEST_F(SetupUninstallTest, SetupPutsTheInstalledCourseIntoTheMenu) {
    MakeSample("sample");
    ASSERT_EQ(Install("sample"), 0);
    const std::string course = m_courses + "/jsjyy01";
    ASSERT_TRUE(fs::exists(Entry("jsjyy01")));
    EXPECT_EQ(EntryValue("jsjyy01", "Name"), U("计算机应用基础"));
    // The menu starts the course's own launcher, in the prefix it is
    // installed in.
    EXPECT_EQ(EntryValue("jsjyy01", "Exec"),
              "env TELVORA_PREFIX=" + m_root + "/prefix " + course + "/bin/lesson");
    EXPECT_EQ(EntryValue("jsjyy01", "TryExec"), course + "/bin/lesson");
    EXPECT_TRUE(fs::is_symlink(course + "/bin/lesson"));
    // The icon: a file of the build tree, or the theme's name.
    const std::string icon = EntryValue("jsjyy01", "Icon");
    EXPECT_TRUE(icon == "telvora-course" || fs::is_regular_file(icon)) << icon;
    EXPECT_EQ(EntryValue("jsjyy01", "Categories"), "Education;");
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
        const std::string cmd = "desktop-file-validate '" + Entry("jsjyy01") + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadFile(Entry("jsjyy01"));
    }
    // Registered from beside the programs.
    EXPECT_EQ(Registration(), ToWindowsPath(fs::canonical(Bin("libcorvane.so")).string()));
}

TEST_F(SetupUninstallTest, NoMenuEntryWhenAskedOrWhenTheInstallationIsNotDone) {
    MakeSample("sample");
    ASSERT_EQ(Install("sample", {"--no-menu-entry"}), 0);
    EXPECT_FALSE(fs::exists(Entry("jsjyy01")));
    // Given up at the prompt for CD 2: the course is not installed yet.
    MakeSample("other", {"--id", "hx01", "--name", U("化学")});
    EXPECT_EQ(Run(Bin("telvora-setup"),
                  {"--cd-folder", m_root + "/other/cd1", "--media", "no", "--dest", m_courses},
                  "dialog 138 : press 2\nmessagebox \"您将退出\" : press 1\n"),
              1);
    EXPECT_FALSE(fs::exists(Entry("hx01")));
}

TEST_F(SetupUninstallTest, RemovesTheLastCourseWithItsRecordEntryAndRegistration) {
    const std::string sample = MakeSample("sample");
    ASSERT_EQ(Install("sample"), 0);
    const std::string course = m_courses + "/jsjyy01";
    ASSERT_TRUE(HasRecord("jsjyy01"));
    ASSERT_TRUE(Registration().has_value());
    const std::vector<std::string> cdFiles = FilesBelow(sample);

    ASSERT_EQ(Uninstall("jsjyy01", true), kRemoved);
    EXPECT_FALSE(fs::exists(fs::symlink_status(course)));
    EXPECT_TRUE(fs::is_directory(m_courses));
    EXPECT_FALSE(HasRecord("jsjyy01"));
    EXPECT_EQ(RegDefault("software\\telvora\\jsjyy01"), "<missing>");
    EXPECT_FALSE(fs::exists(Entry("jsjyy01")));
    EXPECT_FALSE(Registration().has_value());
    // What the course's links pointed at, and the CDs, are untouched.
    for (const char* program : {"install", "lesson", "libcorvane.so", "telvora-ocx"})
        EXPECT_TRUE(fs::is_regular_file(Bin(program))) << program;
    EXPECT_EQ(FilesBelow(sample), cdFiles);
    EXPECT_EQ(ExitCodes("telvora-setup"), (std::vector<int>{0, kRemoved}));

    // Once more: nothing is installed.
    EXPECT_EQ(Uninstall("jsjyy01", true), kNoCourse);
}

TEST_F(SetupUninstallTest, AnotherCourseKeepsTheRegistration) {
    MakeSample("sample");
    MakeSample("other", {"--id", "hx01", "--name", U("化学")});
    ASSERT_EQ(Install("sample"), 0);
    ASSERT_EQ(Install("other"), 0);
    ASSERT_TRUE(fs::exists(Entry("hx01")));
    EXPECT_EQ(EntryValue("hx01", "Name"), U("化学"));

    // The id as the user types it: the registry ignores letter case.
    ASSERT_EQ(Uninstall("HX01", true), kRemoved);
    EXPECT_FALSE(fs::exists(m_courses + "/hx01"));
    EXPECT_FALSE(fs::exists(Entry("hx01")));
    EXPECT_FALSE(HasRecord("hx01"));
    EXPECT_TRUE(Registration().has_value());
    EXPECT_TRUE(fs::exists(m_courses + "/jsjyy01/setup.ini"));
    EXPECT_TRUE(fs::exists(Entry("jsjyy01")));
    EXPECT_TRUE(HasRecord("jsjyy01"));

    ASSERT_EQ(Uninstall("jsjyy01", true), kRemoved);
    EXPECT_FALSE(Registration().has_value());
}

TEST_F(SetupUninstallTest, AsksFirstAndNoKeepsEverything) {
    MakeSample("sample");
    ASSERT_EQ(Install("sample"), 0);
    const std::string course = m_courses + "/jsjyy01";

    EXPECT_EQ(Uninstall("jsjyy01", false, "messagebox \"卸载\" : press 7\n"), kDeclined);
    EXPECT_TRUE(fs::exists(course + "/setup.ini"));
    EXPECT_TRUE(HasRecord("jsjyy01"));
    EXPECT_TRUE(fs::exists(Entry("jsjyy01")));
    EXPECT_TRUE(Registration().has_value());
    // The question names the course and everything that would go.
    const std::vector<std::string> boxes = BoxTexts();
    ASSERT_FALSE(boxes.empty());
    const std::string& question = boxes.back();
    for (const std::string& part : {U("计算机应用基础"), course, Entry("jsjyy01"),
                                    std::string("HKEY_CURRENT_USER\\software\\telvora\\jsjyy01")}) {
        EXPECT_NE(question.find(part), std::string::npos) << part << " in " << question;
    }

    EXPECT_EQ(Uninstall("jsjyy01", false, "messagebox \"卸载\" : press 6\n"), kRemoved);
    EXPECT_FALSE(fs::exists(course));
    EXPECT_FALSE(Registration().has_value());
}

TEST_F(SetupUninstallTest, HeadlessWithoutAnswersAsksOnTheTerminal) {
    MakeSample("sample");
    ASSERT_EQ(Install("sample"), 0);
    const std::string course = m_courses + "/jsjyy01";
    // What the user types, on standard input; no answer file, no display.
    auto removeAnswering = [&](const std::string& typed) {
        const std::string cmd = "printf '" + typed +
                                "' | env -u TELVORA_ANSWERS -u DISPLAY -u WAYLAND_DISPLAY "
                                "TELVORA_UI=headless '" +
                                Bin("telvora-setup") + "' --uninstall jsjyy01 >/dev/null";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(removeAnswering(""), kDeclined);  // no answer at all
    EXPECT_EQ(removeAnswering("n\\n"), kDeclined);
    EXPECT_EQ(removeAnswering("whatever\\n"), kDeclined);
    EXPECT_TRUE(fs::exists(course + "/setup.ini"));
    EXPECT_TRUE(HasRecord("jsjyy01"));
    EXPECT_EQ(removeAnswering("yes\\n"), kRemoved);
    EXPECT_FALSE(fs::exists(course));
    EXPECT_FALSE(HasRecord("jsjyy01"));
}

TEST_F(SetupUninstallTest, RefusesARecordNamingTheRootOrTheHomeFolder) {
    // Each holds a setup.ini naming the course: still never removed.
    WriteFile(m_home + "/setup.ini", "courseid=jsjyy01\r\n");
    WriteFile(m_home + "/notes.txt", "mine");
    PutRecord("jsjyy01", m_home);
    EXPECT_EQ(Uninstall("jsjyy01", true), kRefused);
    EXPECT_EQ(ReadFile(m_home + "/notes.txt"), "mine");
    EXPECT_TRUE(fs::exists(m_home + "/setup.ini"));
    EXPECT_TRUE(HasRecord("jsjyy01"));

    PutRecord("jsjyy01", "/");
    EXPECT_EQ(Uninstall("jsjyy01", true), kRefused);
    EXPECT_TRUE(HasRecord("jsjyy01"));
}

TEST_F(SetupUninstallTest, RefusesAFolderThatIsNotThatCourses) {
    // No setup.ini at all.
    WriteFile(m_root + "/plain/work.txt", "mine");
    PutRecord("jsjyy01", m_root + "/plain");
    EXPECT_EQ(Uninstall("jsjyy01", true), kRefused);
    EXPECT_EQ(ReadFile(m_root + "/plain/work.txt"), "mine");
    EXPECT_TRUE(HasRecord("jsjyy01"));

    // Another course's folder.
    MakeSample("other", {"--id", "hx01", "--name", U("化学")});
    ASSERT_EQ(Install("other"), 0);
    PutRecord("jsjyy01", m_courses + "/hx01");
    EXPECT_EQ(Uninstall("jsjyy01", true), kRefused);
    EXPECT_TRUE(fs::exists(m_courses + "/hx01/setup.ini"));
    EXPECT_TRUE(fs::exists(Entry("hx01")));
    EXPECT_TRUE(HasRecord("jsjyy01"));
    EXPECT_TRUE(Registration().has_value());

    // A folder that is already gone: the record and nothing else goes.
    PutRecord("jsjyy01", m_root + "/gone/jsjyy01");
    EXPECT_EQ(Uninstall("jsjyy01", true), kRemoved);
    EXPECT_FALSE(HasRecord("jsjyy01"));
    EXPECT_TRUE(fs::exists(m_courses + "/hx01/setup.ini"));
    EXPECT_TRUE(Registration().has_value());
}

TEST_F(SetupUninstallTest, RefusesBadIds) {
    EXPECT_EQ(Uninstall("nosuch", true), kNoCourse);
    EXPECT_EQ(Uninstall("a/../b", true), kRefused);
    EXPECT_EQ(Uninstall("..", true), kRefused);
}

}  // namespace
