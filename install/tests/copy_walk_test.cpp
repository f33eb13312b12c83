// The worker's counting and copy walks, the media test and the start of a
// run (drive, description, record).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "install/install_state.h"
#include "install/tests/install_test_env.h"
#include "install/work_thread.h"
#include "platform/fs/fs.h"

namespace {

// A worker whose notices are recorded with the values they announce.
class CRecordingWorker : public CWorkThread {
public:
    struct Notice {
        UINT message;
        int overall;
        int file;
        std::string current;
    };
    std::vector<Notice> notices;

protected:
    void PostNotice(UINT message) override {
        notices.push_back({message, g_nOverallPercent, g_nFilePercent, g_strCurrentFile.Get()});
    }
};

class CopyWalkTest : public ::testing::Test {
protected:
    InstallTestEnv env;
    CRecordingWorker worker;

    void SetUp() override {
        g_bCopyMedia = false;
        g_nOverallPercent = 0;
        g_nFilePercent = 0;
        worker.m_strCdRoot = "E:\\";
        worker.m_strSkipDir = "E:\\systeminfo";
        worker.m_strInstallDir = env.courseWin;
    }
    void Cd(const std::string& relative, const std::string& bytes = "x") {
        InstallTestEnv::WriteFile(env.cd + "/" + relative, bytes);
    }
    bool Installed(const std::string& relative) {
        return InstallTestEnv::Exists(env.course + "/" + relative);
    }
    void Walk() {
        worker.CountFiles(worker.m_strCdRoot);
        worker.CopyFiles(worker.m_strCdRoot + "*.*");
    }
};

TEST(MediaFile, StreamingExtensionsInAnyCaseAndBareNames) {
    EXPECT_TRUE(IsMediaFile("a.asf"));
    EXPECT_TRUE(IsMediaFile("a.ASF"));
    EXPECT_TRUE(IsMediaFile("clip.Wmv"));
    EXPECT_TRUE(IsMediaFile("x.y.wma"));
    EXPECT_TRUE(IsMediaFile("list.asx"));
    EXPECT_TRUE(IsMediaFile("asx"));  // no dot: the whole name is the extension
    EXPECT_FALSE(IsMediaFile("a.asf.txt"));
    EXPECT_FALSE(IsMediaFile("a.asfx"));
    EXPECT_FALSE(IsMediaFile("video"));
    EXPECT_FALSE(IsMediaFile("a."));
    EXPECT_FALSE(IsMediaFile("视频.htm"));
    EXPECT_TRUE(IsMediaFile("视频.wmv"));
}

TEST_F(CopyWalkTest, TopLevelSystemInfoIsSkippedButDeeperOnesAreCopied) {
    Cd("index.htm");
    Cd("systemInfo/soft/iexplore.exe");
    Cd("x/systeminfo/keep.htm");
    Walk();
    EXPECT_EQ(worker.m_nTotal, 2);
    EXPECT_TRUE(Installed("index.htm"));
    EXPECT_TRUE(Installed("x/systeminfo/keep.htm"));
    EXPECT_FALSE(Installed("systemInfo"));
    EXPECT_FALSE(Installed("systeminfo"));
    EXPECT_EQ(worker.m_nPercent, 100);
}

TEST_F(CopyWalkTest, SkippedMediaAreNeitherCountedNorCopiedAndTheirFoldersStayEmpty) {
    Cd("video/a.ASF");
    Cd("video/clip.wmv");
    Cd("asx");
    Cd("notes/a.asf.txt");
    Cd("index.htm");
    Walk();
    EXPECT_EQ(worker.m_nTotal, 2);
    EXPECT_TRUE(Installed("notes/a.asf.txt"));
    EXPECT_TRUE(Installed("index.htm"));
    EXPECT_FALSE(Installed("asx"));
    ASSERT_TRUE(Installed("video"));
    EXPECT_TRUE(std::filesystem::is_empty(env.course + "/video"));
}

TEST_F(CopyWalkTest, MediaAreCopiedWhenTheDecisionSaysSo) {
    g_bCopyMedia = true;
    Cd("video/a.ASF", "media");
    Cd("asx");
    Walk();
    EXPECT_EQ(worker.m_nTotal, 2);
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/video/a.ASF"), "media");
    EXPECT_TRUE(Installed("asx"));
}

TEST_F(CopyWalkTest, ThreeFilesAnnounce33And66AndReach100WithoutANotice) {
    Cd("a.htm");
    Cd("b.htm");
    Cd("c.htm");
    Walk();
    std::vector<int> overall;
    for (std::size_t i = 0; i < worker.notices.size(); ++i) {
        const auto& n = worker.notices[i];
        EXPECT_EQ(n.message, static_cast<UINT>(WM_INSTALL_PROGRESS));
        EXPECT_NE(n.overall, 100) << "notice " << i;
        // Each copied file: 0 before, 100 after; then the overall value.
        if (i % 3 == 2)
            overall.push_back(n.overall);
    }
    EXPECT_EQ(worker.notices.size(), 8u);  // 3 + 3 + 2: the last file has no overall notice
    EXPECT_EQ(overall, (std::vector<int>{33, 66}));
    EXPECT_EQ(g_nOverallPercent, 100);
    EXPECT_EQ(worker.m_nCopied, 3);
    ASSERT_GE(worker.notices.size(), 2u);
    EXPECT_EQ(worker.notices[0].file, 0);
    EXPECT_EQ(worker.notices[1].file, 100);
    EXPECT_EQ(worker.notices[0].current.rfind("H:\\course\\", 0), 0u) << worker.notices[0].current;
}

TEST_F(CopyWalkTest, ReadOnlyDestinationIsKeptAndTheRunStillReaches100) {
    Cd("a.htm", "new");
    Cd("b.htm", "new");
    InstallTestEnv::WriteFile(env.course + "/a.htm", "old");
    std::filesystem::permissions(env.course + "/a.htm", std::filesystem::perms::owner_read);
    InstallTestEnv::WriteFile(env.course + "/left/items.vbs", "startchapter=2");
    std::filesystem::permissions(env.course + "/left/items.vbs",
                                 std::filesystem::perms::owner_read);
    Walk();
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/a.htm"), "old");
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/b.htm"), "new");
    EXPECT_EQ(worker.m_nCopied, 2);
    EXPECT_EQ(g_nOverallPercent, 100);
    // Reaching 100 makes the chapter list writable for the page patching.
    EXPECT_EQ(GetFileAttributes(env.courseWin + "\\left\\items.vbs") & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(CopyWalkTest, ExistingFilesAreOverwritten) {
    Cd("a.htm", "new");
    InstallTestEnv::WriteFile(env.course + "/a.htm", "older and longer");
    Walk();
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/a.htm"), "new");
}

TEST_F(CopyWalkTest, NothingToCopyEndsAt100WithoutDividingByZero) {
    Cd("video/a.asf");
    Cd("b.wmv");
    Walk();
    EXPECT_EQ(worker.m_nTotal, 0);
    EXPECT_EQ(worker.m_nCopied, 0);
    EXPECT_EQ(g_nOverallPercent, 100);
    EXPECT_TRUE(worker.notices.empty());
}

TEST_F(CopyWalkTest, EmptyCdCopiesNothing) {
    Walk();
    EXPECT_EQ(worker.m_nTotal, 0);
    EXPECT_TRUE(worker.notices.empty());
    EXPECT_TRUE(std::filesystem::is_empty(env.course));
}

TEST_F(CopyWalkTest, AFolderLinkBackUpIsNotFollowed) {
    Cd("a/index.htm");
    std::filesystem::create_directory_symlink(env.cd, env.cd + "/a/loop");
    std::filesystem::create_directory_symlink(".", env.cd + "/a/here");
    Walk();
    // The folders are already on the walk's path: neither is entered.
    EXPECT_EQ(worker.m_nTotal, 1);
    EXPECT_EQ(worker.m_nCopied, worker.m_nTotal);
    EXPECT_EQ(g_nOverallPercent, 100);
    EXPECT_FALSE(Installed("a/loop"));
    EXPECT_FALSE(Installed("a/here"));
    EXPECT_EQ(worker.m_nFailed, 0);
}

TEST_F(CopyWalkTest, FilesThatCantBeCopiedAreCountedAndTheWalkGoesOn) {
    Cd("a.htm", "a");
    Cd("b.htm", "b");
    Cd("sub/c.htm", "c");
    // A folder stands where two of the files go.
    std::filesystem::create_directories(env.course + "/a.htm");
    std::filesystem::create_directories(env.course + "/sub/c.htm");
    Walk();
    EXPECT_EQ(worker.m_nFailed, 2);
    EXPECT_EQ(worker.m_strFirstFailed.rfind("H:\\course\\", 0), 0u);
    EXPECT_EQ(worker.m_dwFirstFailedError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/b.htm"), "b");
    EXPECT_EQ(worker.m_nCopied, 3);
    EXPECT_EQ(g_nOverallPercent, 100);
}

TEST_F(CopyWalkTest, FifosOnTheDiscAreNeitherCountedNorOpened) {
    Cd("a.htm");
    ASSERT_EQ(mkfifo((env.cd + "/pipe.htm").c_str(), 0644), 0);
    Walk();
    EXPECT_EQ(worker.m_nTotal, 1);
    EXPECT_FALSE(Installed("pipe.htm"));
    EXPECT_EQ(worker.m_nFailed, 0);
}

// ---- the start of a run ---------------------------------------------------

class WorkerRunTest : public CopyWalkTest {
protected:
    void SetUp() override {
        CopyWalkTest::SetUp();
        // The program lives in H:\course\bin, so setup.ini is H:\course\setup.ini.
        g_strBaseDir = env.courseWin + "\\";
        InstallTestEnv::SetInstallRecord("chem", env.courseWin);
    }
    void SetupIni(const std::string& nowCd, const std::string& totalCd) {
        InstallTestEnv::WriteFile(env.course + "/setup.ini",
                                  "courseid=chem\r\ncoursename=化学\r\ntotalcd=" + totalCd +
                                      "\r\nnowcd=" + nowCd +
                                      "\r\ninsteadfile=wmvpages\r\nextendname=wmv\r\n"
                                      "default=index.htm\r\n");
    }
};

TEST_F(WorkerRunTest, WithoutACdDriveNothingIsCopiedAndTheRunEnds) {
    ASSERT_TRUE(RemoveDrive('e'));
    SetupIni("1", "2");
    Cd("index.htm");
    CWorkThread fresh;
    EXPECT_EQ(RunOnThread([&] { fresh.Run(); }), 1030u);
    EXPECT_FALSE(Installed("index.htm"));
    std::vector<std::string> boxes = env.renderer->MessageBoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "没有找到光驱，请插入课件光盘后重新安装。");
}

TEST_F(WorkerRunTest, MissingSetupIniEndsWith1008) {
    Cd("index.htm");
    CWorkThread fresh;
    EXPECT_EQ(RunOnThread([&] { fresh.Run(); }), 1008u);
    EXPECT_FALSE(Installed("index.htm"));
    EXPECT_EQ(env.renderer->MessageBoxTexts(), (std::vector<std::string>{"找不到setup.ini文件"}));
}

TEST_F(WorkerRunTest, AKeyLineWithoutEqualsCopiesNothingAndEndsWith1009) {
    InstallTestEnv::WriteFile(env.course + "/setup.ini",
                              "courseid=chem\r\ntotalcd 2\r\nnowcd=1\r\ninsteadfile=p\r\n"
                              "extendname=wmv\r\n");
    Cd("index.htm");
    CWorkThread fresh;
    EXPECT_EQ(RunOnThread([&] { fresh.Run(); }), 1009u);
    EXPECT_FALSE(Installed("index.htm"));
    EXPECT_EQ(env.renderer->MessageBoxTexts(),
              (std::vector<std::string>{"setup.ini file version error"}));
}

TEST_F(WorkerRunTest, ACdThatIsNotTheLastIsCopiedAndItsNavbarMadeWritableOnly) {
    SetupIni("1", "2");
    Cd("index.htm");
    Cd("systeminfo/installasf.txt");
    InstallTestEnv::WriteFile(env.course + "/navbar/navbar.htm", "<html></html>");
    std::filesystem::permissions(env.course + "/navbar/navbar.htm",
                                 std::filesystem::perms::owner_read);
    CRecordingWorker run;
    EXPECT_EQ(RunOnThread([&] { run.Run(); }), 1030u);
    ASSERT_FALSE(run.notices.empty());
    EXPECT_EQ(run.notices.back().message, static_cast<UINT>(WM_INSTALL_CD_DONE));
    EXPECT_TRUE(Installed("index.htm"));
    EXPECT_FALSE(Installed("systeminfo/installasf.txt"));
    EXPECT_EQ(g_strCdRoot, "E:\\");
    EXPECT_EQ(g_strInstallDir, env.courseWin);
    EXPECT_EQ(g_strNowCd, "1");
    EXPECT_FALSE(g_bLastCd);
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/navbar/navbar.htm"), "<html></html>");
    EXPECT_EQ(GetFileAttributes(env.courseWin + "\\navbar\\navbar.htm") & FILE_ATTRIBUTE_READONLY,
              0u);
    EXPECT_TRUE(env.renderer->MessageBoxTexts().empty());
}

TEST_F(WorkerRunTest, LostFilesEndTheRunAsFailedBeforeThePagesAndTheNextCd) {
    SetupIni("2", "2");
    Cd("index.htm");
    Cd("navbar/navbar.htm", "<html></html>");
    std::filesystem::create_directories(env.course + "/index.htm");
    g_bInstallFailed = false;
    CRecordingWorker run;
    EXPECT_EQ(RunOnThread([&] { run.Run(); }), 1030u);
    EXPECT_TRUE(g_bInstallFailed);
    for (const auto& n : run.notices)
        EXPECT_NE(n.message, static_cast<UINT>(WM_INSTALL_CD_DONE));
    std::vector<std::string> boxes = env.renderer->MessageBoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("有 1 个文件没有复制成功", 0), 0u) << boxes[0];
    EXPECT_NE(boxes[0].find("H:\\course\\index.htm"), std::string::npos) << boxes[0];
    // The navigation page was copied but not patched.
    EXPECT_EQ(InstallTestEnv::ReadFile(env.course + "/navbar/navbar.htm"), "<html></html>");
    g_bInstallFailed = false;
}

TEST_F(WorkerRunTest, AFailingPageStepOnTheLastCdEndsWithoutCdDone) {
    SetupIni("2", "2");
    Cd("index.htm");
    // No navbar\navbar.htm in the course: the first page step fails.
    CRecordingWorker run;
    EXPECT_EQ(RunOnThread([&] { run.Run(); }), 1030u);
    EXPECT_TRUE(g_bLastCd);
    EXPECT_TRUE(Installed("index.htm"));
    for (const auto& n : run.notices)
        EXPECT_NE(n.message, static_cast<UINT>(WM_INSTALL_CD_DONE));
}

}  // namespace
