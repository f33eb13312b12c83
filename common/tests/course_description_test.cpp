#include "common/course_description.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "common/tests/test_support.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/thread/thread.h"

namespace {

// C: is the Unix root in a fresh prefix.
std::string Win(const std::string& unixPath) {
    std::string w = "C:" + unixPath;
    for (char& c : w)
        if (c == '/')
            c = '\\';
    return w;
}

class CourseDescriptionTest : public ::testing::Test {
protected:
    CourseTestEnv env;
    std::string ini = env.root + "/course/setup.ini";
    void Ini(const std::string& bytes) { CourseTestEnv::WriteFile(ini, bytes); }
};

TEST_F(CourseDescriptionTest, StartVariantTrimsValuesAndStopsAtNowCd) {
    Ini("courseid=chem01\r\ncoursename = 化学 \r\ntotalcd=2\r\nnowcd=2\r\ncourseid=late\r\n");
    CourseDescription d;
    EXPECT_EQ(ReadCourseDescription(Win(ini), DescriptionVariant::Start, &d, nullptr), "chem01");
    EXPECT_EQ(d.courseName, "化学");
    EXPECT_EQ(d.totalCd, "2");
    EXPECT_TRUE(d.lastCd);
    EXPECT_TRUE(env.renderer->Boxes().empty());
}

TEST_F(CourseDescriptionTest, NowCdBeforeTotalCdLeavesLastCdFalse) {
    Ini("courseid=c\r\nnowcd=1\r\ntotalcd=1\r\n");
    CourseDescription d;
    ReadCourseDescription(Win(ini), DescriptionVariant::Worker, &d, nullptr);
    EXPECT_EQ(d.totalCd, "1");
    EXPECT_FALSE(d.lastCd);
}

TEST_F(CourseDescriptionTest, KeyLineWithoutEqualsShowsMessageAndTakesWholeLine) {
    Ini("courseid=c\r\ntotalcd 2\r\nnowcd=1\r\n");
    CourseDescription d;
    ReadCourseDescription(Win(ini), DescriptionVariant::Start, &d, nullptr);
    EXPECT_EQ(d.totalCd, "totalcd 2");
    EXPECT_TRUE(d.keyLineError);
    ASSERT_EQ(env.renderer->Boxes().size(), 1u);
    EXPECT_EQ(env.renderer->Boxes()[0].text, "setup.ini file version error");
    int code = 0;
    EXPECT_TRUE(IsQuitPending(&code));
    EXPECT_EQ(code, 1009);
    MSG msg;
    while (GetMessage(&msg, nullptr, 0, 0))
        DispatchMessage(&msg);  // take the quit away
}

TEST_F(CourseDescriptionTest, WorkerVariantReadsToTheEndAndNamesTheInsteadError) {
    Ini("courseid=c\r\ncoursename=default course\r\ninsteadfile\r\nextendname=wmv\r\n"
        "default=index.htm\r\n");
    CourseDescription d;
    ReadCourseDescription(Win(ini), DescriptionVariant::Worker, &d, nullptr);
    EXPECT_EQ(d.defaultPage, "index.htm");
    EXPECT_EQ(d.insteadFile, "insteadfile");
    EXPECT_EQ(d.extendName, "wmv");
    ASSERT_EQ(env.renderer->Boxes().size(), 1u);
    EXPECT_EQ(env.renderer->Boxes()[0].text, "setup.ini file insteadfile error");
    EXPECT_FALSE(IsQuitPending());
}

TEST_F(CourseDescriptionTest, CourseNameHoldingTheWordDefaultIsAlsoTheDefault) {
    Ini("coursename=the default way\r\n");
    CourseDescription d;
    ReadCourseDescription(Win(ini), DescriptionVariant::Worker, &d, nullptr);
    EXPECT_EQ(d.defaultPage, "the default way");
    UpdateValues u;
    CourseTestEnv::WriteFile(ini, "coursename=the default way\r\ndefault=x.htm\r\n");
    ASSERT_TRUE(ReadUpdateValues(Win(ini), &u));
    EXPECT_EQ(u.courseName, "the default way");
    // The fixed prefix of "default=" is cut from the coursename line, and
    // reading stops there.
    EXPECT_EQ(u.defaultPage, "me=the default way");
}

TEST_F(CourseDescriptionTest, MissingFileInInstallerEndsTheThreadWith1008) {
    CourseDescription d;
    HTHREAD t = StartThread([&]() -> DWORD {
        ReadCourseDescription(Win(env.root + "/none/setup.ini"), DescriptionVariant::Worker, &d,
                              nullptr);
        return 0;
    });
    ASSERT_EQ(WaitForThread(t, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(GetExitCodeThread(t), 1008u);
    ASSERT_EQ(env.renderer->Boxes().size(), 1u);
    EXPECT_EQ(env.renderer->Boxes()[0].text, "找不到setup.ini文件");
}

TEST_F(CourseDescriptionTest, MissingFileInLauncherPostsQuitAndReturns) {
    HWND wnd = CreateWindowWithProc(nullptr, nullptr, "launcher");
    CourseDescription d;
    bool opened = true;
    ReadCourseDescription(Win(env.root + "/none.ini"), DescriptionVariant::Launcher, &d, wnd,
                          &opened);
    EXPECT_FALSE(opened);
    EXPECT_EQ(env.renderer->Boxes().at(0).text, ".ini file can't find");
    MSG msg;
    EXPECT_EQ(GetMessage(&msg, nullptr, 0, 0), FALSE);  // the posted WM_QUIT
    DestroyWindow(wnd);
}

TEST_F(CourseDescriptionTest, MediaLookupReaderCutsFixedPrefixesAndStopsAtCd1) {
    Ini("coursename = 化学 \r\ntotalcd=2\r\ncd1=5\r\ncoursename=late\r\n");
    MediaLookupValues v;
    ASSERT_TRUE(ReadMediaLookupValues(Win(ini), &v));
    EXPECT_EQ(v.courseName, "= 化学");
    EXPECT_EQ(v.totalCd, "2");
    EXPECT_EQ(v.cd1, "5");

    Ini("cd1=3\r\ncoursename=X\r\ntotalcd=2\r\n");
    MediaLookupValues early;
    ASSERT_TRUE(ReadMediaLookupValues(Win(ini), &early));
    EXPECT_EQ(early.cd1, "3");
    EXPECT_EQ(early.courseName, "");
    EXPECT_EQ(early.totalCd, "");
}

TEST_F(CourseDescriptionTest, MediaLookupReaderFailsWhileTheFileIsOpenElsewhere) {
    Ini("coursename=X\r\n");
    CFile other;
    ASSERT_TRUE(other.Open(Win(ini), CFile::modeRead));
    MediaLookupValues v;
    EXPECT_FALSE(ReadMediaLookupValues(Win(ini), &v));
    other.Close();
    EXPECT_TRUE(ReadMediaLookupValues(Win(ini), &v));
    EXPECT_FALSE(ReadMediaLookupValues(Win(env.root + "/missing.ini"), &v));
}

TEST_F(CourseDescriptionTest, AdvanceCdCounterRewritesOnlyTheNowCdLine) {
    Ini("courseid=c\r\ntotalcd=3\nnowcd=1  \r\ndefault=index.htm");
    ASSERT_TRUE(AdvanceCdCounter(Win(ini)));
    EXPECT_EQ(CourseTestEnv::ReadFile(ini),
              "courseid=c\r\ntotalcd=3\r\nnowcd=2\r\ndefault=index.htm\r\n");
    EXPECT_FALSE(FileExists(Win(ini) + ".new"));
}

TEST_F(CourseDescriptionTest, AdvanceCdCounterReplacesAReadOnlyFile) {
    Ini("nowcd=2\r\n");
    ASSERT_EQ(chmod(ini.c_str(), 0444), 0);
    ASSERT_TRUE(AdvanceCdCounter(Win(ini)));
    EXPECT_EQ(CourseTestEnv::ReadFile(ini), "nowcd=3\r\n");
}

TEST_F(CourseDescriptionTest, AdvanceCdCounterKeepsTheFileWhenItCannotWrite) {
    Ini("nowcd=1\r\n");
    // A file size limit below the new text makes the write fail (for root
    // too, who may write into any folder).
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit tiny = old;
    tiny.rlim_cur = 4;
    auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool advanced = AdvanceCdCounter(Win(ini));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(advanced);
    EXPECT_EQ(CourseTestEnv::ReadFile(ini), "nowcd=1\r\n");
    // No scratch file stays beside it.
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(env.root + "/course"))
        entries += entry.path().filename() == "setup.ini" ? 0 : 1;
    EXPECT_EQ(entries, 0u);
    EXPECT_FALSE(AdvanceCdCounter(Win(env.root + "/missing.ini")));
}

TEST_F(CourseDescriptionTest, NowCdLineWithoutDigitIsKept) {
    Ini("nowcd=x\r\n");
    ASSERT_TRUE(AdvanceCdCounter(Win(ini)));
    EXPECT_EQ(CourseTestEnv::ReadFile(ini), "nowcd=x\r\n");
}

}  // namespace
