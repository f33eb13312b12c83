// The end of a CD that is not the last: the prompt for the next CD, the
// check of the inserted disc, the CD counter and giving up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "install/copy_progress_dlg.h"
#include "install/inserted_cd_check.h"
#include "install/install_state.h"
#include "install/resources.h"
#include "install/tests/install_test_env.h"
#include "platform/fs/fs.h"
#include "platform/process/announce.h"

namespace {

class InsertedCdTest : public ::testing::Test {
protected:
    InstallTestEnv env;
    bool matched = true;
    std::string name;

    bool Check(const std::string& itemsVbs, const std::string& courseName = "ABC") {
        InstallTestEnv::WriteFile(env.cd + "/left/items.vbs", itemsVbs);
        return CheckInsertedCd("E:\\", courseName, &matched, &name);
    }
};

TEST_F(InsertedCdTest, SecondCdOfTheSameCourseIsRight) {
    EXPECT_TRUE(Check("CourseName = \"abc\"\r\nStartChapter = 5\r\n"));
    EXPECT_TRUE(matched);
    EXPECT_EQ(name, "abc");
    EXPECT_TRUE(Check("coursename=\"化学\"\r\nstartchapter=2", "化学"));
}

TEST_F(InsertedCdTest, FirstCdAgainIsRefused) {
    EXPECT_FALSE(Check("coursename = \"ABC\"\r\nstartchapter = 1\r\n"));
    EXPECT_TRUE(matched);
    EXPECT_FALSE(Check("coursename = \"ABC\"\r\nstartchapter = none\r\n"));
    EXPECT_FALSE(Check("coursename = \"ABC\"\r\nstartchapter 4\r\n"));  // no "=": 0
}

TEST_F(InsertedCdTest, AnotherCourseIsRefused) {
    EXPECT_FALSE(Check("coursename = \"XYZ\"\r\nstartchapter = 2\r\n"));
    EXPECT_FALSE(matched);
    EXPECT_EQ(name, "xyz");
}

TEST_F(InsertedCdTest, CharacterAfterTheClosingQuoteKeepsTheQuoteInTheName) {
    EXPECT_FALSE(Check("coursename = \"ABC\" \r\nstartchapter = 2\r\n"));
    EXPECT_EQ(name, "abc\"");
}

TEST_F(InsertedCdTest, StartChapterBeforeTheNameDecidesNothing) {
    EXPECT_FALSE(Check("startchapter = 3\r\n"));
    EXPECT_TRUE(Check("startchapter = 3\r\ncoursename=\"abc\"\r\nstartchapter = 3\r\n"));
}

TEST_F(InsertedCdTest, DiscWithoutTheChapterListIsRefused) {
    EXPECT_FALSE(CheckInsertedCd("E:\\", "ABC", &matched, &name));
    EXPECT_FALSE(CheckInsertedCd("", "ABC", &matched, &name));
}

TEST_F(InsertedCdTest, LineEndingRightAfterTheOpeningQuoteGivesAnEmptyName) {
    EXPECT_FALSE(Check("coursename = \"\r\nstartchapter = 2\r\n"));
    EXPECT_EQ(name, "");
    EXPECT_TRUE(Check("coursename = \"\"\r\nstartchapter = 2\r\n", ""));
}

// ---- the progress dialog once the worker is done -----------------------------

// A progress dialog whose "worker" finishes at once.
class CFinishedCopyDlg : public CCopyProgressDlg {
protected:
    bool StartWorker() override {
        PostMessage(m_hWnd, WM_INSTALL_CD_DONE, 0, 0);
        return true;
    }
};

class NextCdTest : public ::testing::Test {
protected:
    InstallTestEnv env;
    void SetUp() override {
        RegisterInstallResources();
        g_strBaseDir = env.courseWin + "\\";
        g_strInstallDir = env.courseWin;
        g_strCdRoot = "E:\\";
        g_strCourseName = "化学";
        g_strNowCd = "1";
        g_strTotalCd = "2";
        g_bLastCd = false;
        g_nOverallPercent = 100;
        g_nFilePercent = 100;
        g_strCurrentFile.Set("H:\\course\\index.htm");
        g_hMainWnd = nullptr;
        InstallTestEnv::WriteFile(env.course + "/setup.ini",
                                  "courseid=chem\r\ntotalcd=2\r\nnowcd=1\r\n");
        std::filesystem::create_directories(env.course + "/systeminfo");
    }
    void InsertCd(int startChapter) {
        InstallTestEnv::WriteFile(
            env.cd + "/left/items.vbs",
            "coursename=\"化学\"\r\nstartchapter=" + std::to_string(startChapter) + "\r\n");
    }
    INT_PTR RunDialog() {
        INT_PTR result = 0;
        EXPECT_EQ(RunOnThread([&] {
                      CFinishedCopyDlg dlg;
                      result = dlg.DoModal();
                  }),
                  0u);
        return result;
    }
    std::string SetupIni() { return InstallTestEnv::ReadFile(env.course + "/setup.ini"); }
    bool Failed() { return InstallTestEnv::Exists(env.course + "/systeminfo/fail.txt"); }
    std::vector<std::string> Prompts() {
        return env.renderer->StartTexts(IDD_CD_PROMPT, IDC_WARNING);
    }
};

const char kPrompt2[] = "请更换第2张光盘到光驱中!";
const char kGiveUp[] = "您将退出改课件的安装";

TEST_F(NextCdTest, LastCdEndsWithoutAPrompt) {
    g_bLastCd = true;
    EXPECT_EQ(RunDialog(), 1008);
    EXPECT_TRUE(Prompts().empty());
    EXPECT_EQ(SetupIni(), "courseid=chem\r\ntotalcd=2\r\nnowcd=1\r\n");
}

TEST_F(NextCdTest, RightCdAdvancesTheCounter) {
    InsertCd(3);
    env.renderer->AnswerDialog(IDD_CD_PROMPT, {IDOK});
    EXPECT_EQ(RunDialog(), 1008);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{kPrompt2}));
    EXPECT_EQ(SetupIni(), "courseid=chem\r\ntotalcd=2\r\nnowcd=2\r\n");
    EXPECT_FALSE(Failed());
    EXPECT_TRUE(env.renderer->MessageBoxTexts().empty());
}

TEST_F(NextCdTest, WrongCdIsWarnedAboutAndTheRightOneThenAccepted) {
    InsertCd(1);
    // The second CD goes in while the warning is shown.
    env.renderer->OnDialogStarted([this](int templateId, int nth) {
        if (templateId == IDD_CD_PROMPT && nth == 2)
            InsertCd(2);
    });
    // Prompt: OK (first CD again) -> warning: OK -> prompt again: OK.
    env.renderer->AnswerDialog(IDD_CD_PROMPT, {IDOK, IDOK, IDOK});
    EXPECT_EQ(RunDialog(), 1008);
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{
                  kPrompt2, std::string("请检查插入的光盘是否正确。\n\n\n") + kPrompt2, kPrompt2}));
    EXPECT_EQ(SetupIni(), "courseid=chem\r\ntotalcd=2\r\nnowcd=2\r\n");
    EXPECT_FALSE(Failed());
}

TEST_F(NextCdTest, CancelThenCancelOnTheQuestionAsksAgain) {
    InsertCd(2);
    env.renderer->AnswerDialog(IDD_CD_PROMPT, {IDCANCEL, IDOK});
    env.renderer->AnswerMessageBoxes({IDCANCEL});
    EXPECT_EQ(RunDialog(), 1008);
    EXPECT_EQ(env.renderer->MessageBoxTexts(), (std::vector<std::string>{kGiveUp}));
    EXPECT_EQ(Prompts(), (std::vector<std::string>{kPrompt2, kPrompt2}));
    EXPECT_FALSE(Failed());
    EXPECT_EQ(SetupIni(), "courseid=chem\r\ntotalcd=2\r\nnowcd=2\r\n");
}

TEST_F(NextCdTest, GivingUpLeavesTheFailMarkerAndKeepsTheCounter) {
    env.renderer->AnswerDialog(IDD_CD_PROMPT, {IDCANCEL});
    env.renderer->AnswerMessageBoxes({IDOK});
    EXPECT_EQ(RunDialog(), 1008);
    EXPECT_TRUE(Failed());
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/systeminfo/fail.txt"), "");
    EXPECT_EQ(SetupIni(), "courseid=chem\r\ntotalcd=2\r\nnowcd=1\r\n");
}

TEST_F(NextCdTest, GivingUpAfterAWrongCdLeavesTheFailMarker) {
    // No disc with a chapter list at all.
    env.renderer->AnswerDialog(IDD_CD_PROMPT, {IDOK, IDCANCEL});
    env.renderer->AnswerMessageBoxes({IDOK});
    EXPECT_EQ(RunDialog(), 1008);
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{
                  kPrompt2, std::string("请检查插入的光盘是否正确。\n\n\n") + kPrompt2}));
    EXPECT_TRUE(Failed());
}

TEST_F(NextCdTest, ThePromptIsAnnouncedToTheProgramThatStartedTheInstaller) {
    CAnnouncementInbox inbox;
    ASSERT_TRUE(inbox.Open());
    setenv(kAnnounceVariable, inbox.Environment().value.c_str(), 1);
    InsertCd(2);
    env.renderer->AnswerDialog(IDD_CD_PROMPT, {IDOK});
    EXPECT_EQ(RunDialog(), 1008);
    unsetenv(kAnnounceVariable);
    std::string line;
    ASSERT_TRUE(inbox.Receive(&line, 10000));
    EXPECT_EQ(line, kCdPromptAnnouncement);
    // Once per prompt shown, and nothing else.
    EXPECT_FALSE(inbox.Receive(&line, 0));
}

TEST_F(NextCdTest, PromptNamesTheCdAfterTheOneInTheDrive) {
    g_strNowCd = "9";
    g_strTotalCd = "12";
    InsertCd(40);
    env.renderer->AnswerDialog(IDD_CD_PROMPT, {IDOK});
    EXPECT_EQ(RunDialog(), 1008);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{"请更换第10张光盘到光驱中!"}));
}

}  // namespace
