// A course installed from its two CDs through telvora-setup, as a user does.
#include <filesystem>
#include <map>
#include <set>

#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "tests/e2e/e2e_support.h"

namespace fs = std::filesystem;

namespace {

class SetupInstallTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        m_sample = MakeSample("sample");
        m_course = m_root + "/courses/jsjyy01";
    }
    int Setup(std::vector<std::string> args, const std::string& answers = "") {
        std::vector<std::string> all = {"--cd-folder", m_sample + "/cd1", "--drive",
                                        "E:",          "--dest",          m_root + "/courses"};
        all.insert(all.end(), args.begin(), args.end());
        return Run(Bin("telvora-setup"), all, answers);
    }
    // The answer that puts the second CD in at the installer's prompt.
    std::string InsertCd2() const {
        return "dialog 138 : insert E: \"" + m_sample + "/cd2\" ; press 1\n";
    }

    // Every file of both CDs but their systeminfo folders, with the bytes of
    // the CD copied last, minus the media files when they were skipped.
    void ExpectCourseHoldsTheCds(bool withMedia) {
        std::map<std::string, std::string> expected;
        for (const char* cd : {"cd1", "cd2"}) {
            const std::string dir = m_sample + "/" + cd;
            for (const std::string& rel : FilesBelow(dir)) {
                if (rel.rfind("systeminfo/", 0) == 0)
                    continue;
                if (!withMedia && IsMediaName(rel))
                    continue;
                expected[rel] = ReadFile(dir + "/" + rel);
            }
        }
        const std::set<std::string> patched = {"navbar/navbar.htm", "navbar/tvInclude.htm",
                                               "navbar/tvOpen.htm", "left/items.vbs"};
        for (const auto& [rel, bytes] : expected) {
            ASSERT_TRUE(fs::exists(m_course + "/" + rel)) << rel;
            if (!patched.count(rel)) {
                EXPECT_EQ(ReadFile(m_course + "/" + rel), bytes) << rel;
            }
        }
        for (const std::string& rel : FilesBelow(m_course)) {
            if (rel.rfind("systeminfo/", 0) == 0 || rel.rfind("bin/", 0) == 0 || rel == "setup.ini")
                continue;
            EXPECT_TRUE(expected.count(rel)) << "unexpected " << rel;
        }
    }

    std::string m_sample;
    std::string m_course;
};

TEST_F(SetupInstallTest, InstallsBothCdsWithMedia) {
    ASSERT_EQ(Setup({"--media", "yes"}, InsertCd2()), 0);
    ExpectCourseHoldsTheCds(true);

    // The record, the description and the decision file the setup step made.
    const std::string win = ToWindowsPath(m_course).value_or("?");
    EXPECT_EQ(RegDefault("software\\telvora\\jsjyy01"), "0");
    EXPECT_EQ(RegDefault("software\\telvora\\jsjyy01\\1"), win);
    EXPECT_EQ(ReadFile(m_course + "/systeminfo/installasf.txt"), "installasf");
    EXPECT_EQ(ReadFile(m_course + "/setup.ini"),
              "courseid=jsjyy01\r\ncoursename=计算机应用基础\r\nversion=20040301\r\ntotalcd=2\r\n"
              "cd1=3\r\nnowcd=2\r\ninsteadfile=wmvpage\r\nextendname=wmv\r\ndefault=index.htm\r\n");
    EXPECT_FALSE(fs::exists(m_course + "/systeminfo/fail.txt"));
    EXPECT_TRUE(fs::is_symlink(m_course + "/bin/install"));

    // The last CD's pages.
    EXPECT_NE(ReadFile(m_course + "/navbar/navbar.htm").find("AutoUpDate()\">内容更新</A>"),
              std::string::npos);
    EXPECT_NE(ReadFile(m_course + "/navbar/tvOpen.htm").find("var extendname = \".wmv\";"),
              std::string::npos);
    EXPECT_NE(ReadFile(m_course + "/left/items.vbs").find("\r\nstartchapter =1\r\n"),
              std::string::npos);

    // Two installer runs, one prompt for the second CD, answered.
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1011, 1011}));
    EXPECT_EQ(ExitCodes("telvora-setup"), (std::vector<int>{0}));
    EXPECT_EQ(Texts(138, 1013), (std::vector<std::string>{U("请更换第2张光盘到光驱中!")}));
    int opened = 0, fullBars = 0;
    for (const TranscriptEvent& e : Events("dialog")) {
        if (e.at("id") == "130" && e.at("op") == "open")
            ++opened;
    }
    for (const TranscriptEvent& e : Events("progress")) {
        if (e.at("dialog") == "130" && e.at("control") == "1000" && e.at("pos") == "100")
            ++fullBars;
    }
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(fullBars, 2);
    // The drive the run mapped is gone again.
    EXPECT_FALSE(DriveTarget('e').has_value());
}

TEST_F(SetupInstallTest, SkipsMediaWhenTheUserSaysNo) {
    // No --media: the setup step asks, and the answer is No.
    ASSERT_EQ(Setup({}, InsertCd2() + "messagebox \"是否拷贝流媒体文件\" : press 7\n"), 0);
    ExpectCourseHoldsTheCds(false);
    EXPECT_EQ(ReadFile(m_course + "/systeminfo/installasf.txt"), "noasf");
    // Folders that hold only media are made, and stay empty.
    for (const char* video : {"content/video01", "content/video06"}) {
        EXPECT_TRUE(fs::is_directory(m_course + "/" + video)) << video;
        EXPECT_TRUE(fs::is_empty(m_course + "/" + video)) << video;
    }
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1012, 1012}));
}

TEST_F(SetupInstallTest, RefusesTheFirstCdAndAnotherCourseAtThePrompt) {
    MakeSample("other", {"--id", "hx01", "--name", U("化学")});
    const std::string answers = "dialog 138 : insert E: \"" + m_sample +
                                "/cd1\" ; press 1\n"      // the first CD again
                                "dialog 138 : press 1\n"  // the warning: try again
                                "dialog 138 : insert E: \"" +
                                m_root +
                                "/other/cd2\" ; press 1\n"  // another course
                                "dialog 138 : press 1\n" +
                                InsertCd2();
    ASSERT_EQ(Setup({"--media", "yes"}, answers), 0);
    const std::string prompt = U("请更换第2张光盘到光驱中!");
    const std::string refused = U("请检查插入的光盘是否正确。") + "\n\n\n" + prompt;
    EXPECT_EQ(Texts(138, 1013),
              (std::vector<std::string>{prompt, refused, prompt, refused, prompt}));
    EXPECT_NE(ReadFile(m_course + "/setup.ini").find("nowcd=2"), std::string::npos);
    ExpectCourseHoldsTheCds(true);
}

TEST_F(SetupInstallTest, GivingUpAtThePromptLeavesFailTxt) {
    // Cancel, then "no" to leaving: back at the prompt; cancel again and leave.
    const std::string answers =
        "dialog 138 : press 2\n"
        "messagebox \"您将退出\" : press 2\n"
        "dialog 138 : press 2\n"
        "messagebox \"您将退出\" : press 1\n";
    EXPECT_EQ(Setup({"--media", "no"}, answers), 1);
    EXPECT_TRUE(fs::exists(m_course + "/systeminfo/fail.txt"));
    EXPECT_EQ(ReadFile(m_course + "/systeminfo/fail.txt"), "");
    EXPECT_NE(ReadFile(m_course + "/setup.ini").find("nowcd=1"), std::string::npos);
    EXPECT_EQ(Texts(138, 1013).size(), 2u);
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1012}));
    EXPECT_EQ(ExitCodes("telvora-setup"), (std::vector<int>{1}));
    // Page patching belongs to the last CD only.
    EXPECT_EQ(ReadFile(m_course + "/navbar/navbar.htm"),
              ReadFile(m_sample + "/cd1/navbar/navbar.htm"));
}

TEST_F(SetupInstallTest, NextCdOptionAnswersThePromptItself) {
    ASSERT_EQ(
        Run(Bin("telvora-setup"), {"--cd-folder", m_sample + "/cd1", "--next-cd", m_sample + "/cd2",
                                   "--dest", m_root + "/courses", "--media", "yes"}),
        0);
    ExpectCourseHoldsTheCds(true);
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1011, 1011}));
}

TEST_F(SetupInstallTest, ReadOnlyDiscInstalls) {
    const std::string ro = MakeSample("readonly", {"--read-only"});
    ASSERT_EQ(Run(Bin("telvora-setup"),
                  {"--cd-folder", ro + "/cd1", "--drive", "E:", "--dest", m_root + "/courses",
                   "--media", "yes"},
                  "dialog 138 : insert E: \"" + ro + "/cd2\" ; press 1\n"),
              0);
    EXPECT_NE(ReadFile(m_course + "/navbar/navbar.htm").find("742FCBC2"), std::string::npos);
    // The course's own copy of the systeminfo folder can be changed.
    EXPECT_NE(fs::status(m_course + "/systeminfo/wmvpage/tvOpen.htm").permissions() &
                  fs::perms::owner_write,
              fs::perms::none);
}

TEST_F(SetupInstallTest, RefusesDiscsThatCantStartAnInstallation) {
    // The second CD is not the first.
    EXPECT_EQ(Run(Bin("telvora-setup"), {"--cd-folder", m_sample + "/cd2", "--dest",
                                         m_root + "/courses", "--media", "yes"}),
              2);
    EXPECT_FALSE(fs::exists(m_course));
    // No course description on the disc.
    fs::create_directories(m_root + "/empty-cd");
    EXPECT_EQ(Run(Bin("telvora-setup"), {"--cd-folder", m_root + "/empty-cd", "--media", "yes"}),
              2);
    // A description without insteadfile: the installer would copy nothing.
    std::string ini = ReadFile(m_sample + "/cd1/systeminfo/setup.ini");
    ini.erase(ini.find("insteadfile=wmvpage\r\n"), 21);
    WriteFile(m_sample + "/cd1/systeminfo/setup.ini", ini);
    EXPECT_EQ(Setup({"--media", "yes"}), 2);
    EXPECT_FALSE(fs::exists(m_course));
    EXPECT_TRUE(ExitCodes("install").empty());
    EXPECT_EQ(RegDefault("software\\telvora\\jsjyy01\\1"), "<missing>");
}

TEST_F(SetupInstallTest, AnInstalledCourseIsOnlyReplacedOnRequest) {
    ASSERT_EQ(Setup({"--media", "no"}, InsertCd2()), 0);
    WriteFile(m_course + "/systeminfo/alter.htm", "history");
    EXPECT_EQ(Setup({"--media", "yes"}, InsertCd2()), 2);
    EXPECT_FALSE(fs::exists(m_course + "/content/video01/lecture.wmv"));
    ASSERT_EQ(Setup({"--media", "yes", "--reinstall"}, InsertCd2()), 0);
    EXPECT_TRUE(fs::exists(m_course + "/content/video01/lecture.wmv"));
    EXPECT_EQ(ReadFile(m_course + "/systeminfo/alter.htm"), "history");
    EXPECT_EQ(ExitCodes("telvora-setup"), (std::vector<int>{0, 2, 0}));
}

TEST_F(SetupInstallTest, AnInstalledCourseIsNotInstalledAgainElsewhere) {
    ASSERT_EQ(Setup({"--media", "no"}, InsertCd2()), 0);
    const std::string record = RegDefault("software\\telvora\\jsjyy01\\1");
    // Another folder: refused, the first copy stays the recorded one, and
    // nothing is left in the other folder.
    const std::string other = m_root + "/other";
    const std::vector<std::string> args = {
        "--cd-folder", m_sample + "/cd1", "--drive", "E:", "--dest", other, "--media", "no"};
    EXPECT_EQ(Run(Bin("telvora-setup"), args, InsertCd2()), 2);
    EXPECT_EQ(RegDefault("software\\telvora\\jsjyy01\\1"), record);
    EXPECT_FALSE(fs::exists(other + "/jsjyy01"));
    EXPECT_TRUE(fs::exists(m_course + "/setup.ini"));
    // Once the first copy is gone, the course goes where it is asked to.
    fs::remove_all(m_course);
    EXPECT_EQ(Run(Bin("telvora-setup"), args, InsertCd2()), 0);
    EXPECT_TRUE(fs::exists(other + "/jsjyy01/setup.ini"));
}

TEST_F(SetupInstallTest, AFailureOnTheLastCdIsReported) {
    // Without navbar\tvInclude.htm the installer can't put the media pages in
    // place; it still ends with its normal code.
    fs::remove(m_sample + "/cd1/navbar/tvInclude.htm");
    fs::remove(m_sample + "/cd2/navbar/tvInclude.htm");
    EXPECT_EQ(Setup({"--media", "yes"}, InsertCd2()), 2);
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1011, 1011}));
    EXPECT_EQ(ExitCodes("telvora-setup"), (std::vector<int>{2}));
}

TEST_F(SetupInstallTest, PrepareOnlyLeavesTheCourseToTheInstaller) {
    ASSERT_EQ(Setup({"--media", "no", "--prepare-only"}), 0);
    EXPECT_TRUE(ExitCodes("install").empty());
    EXPECT_NE(ReadFile(m_course + "/setup.ini").find("nowcd=1\r\n"), std::string::npos);
    EXPECT_EQ(DriveTarget('e').value_or(""), m_sample + "/cd1");
    ASSERT_EQ(RunInstall(m_course, InsertCd2()), kInstallMediaSkipped);
    ASSERT_EQ(RunInstall(m_course), kInstallMediaSkipped);
    ExpectCourseHoldsTheCds(false);
}

}  // namespace

// Looking never makes the prefix; a prefix that can't be made is named with
// the cause, before anything is mapped or written.
TEST_F(SetupInstallTest, OnlyAnInstallationMakesThePrefixAndAnUnusableOneIsSaid) {
    const std::string missing = m_root + "/no-prefix-yet";
    const std::string errors = m_root + "/stderr.txt";
    auto runWith = [&](const std::string& prefix, const std::vector<std::string>& command) {
        std::vector<std::string> args = {"-c", "exec \"$@\" 2>\"$0\"", errors};
        args.insert(args.end(), command.begin(), command.end());
        return RunProgramAndWait("/bin/sh", args,
                                 {{"TELVORA_UI", "headless"}, {"TELVORA_PREFIX", prefix}});
    };
    EXPECT_EQ(runWith(missing, {Bin("telvora-reg"), "query", "HKLM\\Software\\Telvora"}), 1);
    EXPECT_EQ(runWith(missing, {Bin("telvora-setup"), "--uninstall", "jsjyy01", "--yes"}), 3);
    EXPECT_FALSE(fs::exists(missing));

    WriteFile(m_root + "/plain", "a file, not a folder");
    EXPECT_EQ(
        runWith(m_root + "/plain/prefix", {Bin("telvora-setup"), "--cd-folder", m_sample + "/cd1",
                                           "--dest", m_root + "/courses", "--media", "no"}),
        2);
    const std::string said = ReadFile(errors);
    EXPECT_NE(said.find("prefix " + m_root + "/plain/prefix"), std::string::npos) << said;
    EXPECT_NE(said.find("Not a directory"), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(m_course));
}
