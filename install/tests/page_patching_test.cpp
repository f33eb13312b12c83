// The page patching of the last CD, on real files of an installed course.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "install/install_state.h"
#include "install/page_rules.h"
#include "install/tests/install_test_env.h"
#include "install/work_thread.h"
#include "platform/fs/fs.h"

namespace {

class PagePatchingTest : public ::testing::Test {
protected:
    InstallTestEnv env;
    CWorkThread worker;

    void SetUp() override {
        worker.m_strInstallDir = env.courseWin;
        worker.m_strExtendName = "wmv";
        worker.m_strInsteadFile = "wmvpages";
    }
    std::string Path(const std::string& relative) { return env.course + "/" + relative; }
    void Write(const std::string& relative, const std::string& bytes) {
        InstallTestEnv::WriteFile(Path(relative), bytes);
    }
    std::string Read(const std::string& relative) {
        return InstallTestEnv::ReadFile(Path(relative));
    }
    // Runs an operation as the worker would (its messages stay on that thread).
    bool Run(const std::function<bool()>& op) {
        bool result = false;
        EXPECT_EQ(RunOnThread([&] { result = op(); }), 0u);
        return result;
    }
    static std::string Block() {
        std::string block;
        for (const std::string& line : UpdateBlockLines())
            block += line + "\r\n";
        return block;
    }
};

// ---- navigation page --------------------------------------------------------

TEST_F(PagePatchingTest, BlockBytesAreTheFourteenLinesOfTheUpdateScript) {
    Write("navbar/navbar.htm", "");
    ASSERT_TRUE(Run([&] { return worker.PatchNavbar(); }));
    EXPECT_EQ(Read("navbar/navbar.htm"),
              "<script language=\"VBScript\">\r\n"
              "Sub AutoUpDate()\r\n"
              "UpDate.HtmlInfo(top.frames(0).courseID)\r\n"
              "on error resume next\r\n"
              " UpDate.Download\r\n"
              " End sub\r\n"
              "</script>\r\n"
              "<OBJECT id=\"UpDate\" width=\"0\" height=\"0\" "
              "classid=\"clsid:742FCBC2-1DA1-40C9-B8CE-7AE456142AD9\" \r\n"
              " CODEBASE=\"corvane.ocx#version=1,0,0,0\">\r\n"
              " <PARAM NAME=\"_Version\" VALUE=\"65536\">\r\n"
              " <PARAM NAME=\"_ExtentX\" VALUE=\"2646\">\r\n"
              "\t<PARAM NAME=\"_ExtentY\" VALUE=\"1323\">\r\n"
              " <PARAM NAME=\"_StockProps\" VALUE=\"0\">\r\n"
              " </OBJECT>\r\n");
    EXPECT_FALSE(InstallTestEnv::Exists(Path("navbar/temp.htm")));
}

TEST_F(PagePatchingTest, CellGoesBeforeTheFirstRowEndFromTheMarkerOnAndBlockAfterTheLastLine) {
    Write("navbar/navbar.htm",
          "<html>\n<tr><td id=colJslx>x</td>\n<td>y</td></tr><tr></tr>\n</table></html>");
    ASSERT_TRUE(Run([&] { return worker.PatchNavbar(); }));
    EXPECT_EQ(Read("navbar/navbar.htm"),
              std::string("<html>\r\n<tr><td id=colJslx>x</td>\r\n<td>y</td>") + kUpdateCell +
                  "</tr><tr></tr>\r\n</table></html>\r\n" + Block());
}

TEST_F(PagePatchingTest, RowEndMarkerRowEndOnOneLineGetsTheCellBeforeTheFirst) {
    Write("navbar/navbar.htm", "<tr></tr> colJslx </tr>\r\n");
    ASSERT_TRUE(Run([&] { return worker.PatchNavbar(); }));
    EXPECT_EQ(Read("navbar/navbar.htm"),
              std::string("<tr>") + kUpdateCell + "</tr> colJslx </tr>\r\n" + Block());
}

TEST_F(PagePatchingTest, PageWithoutTheExactMarkerGetsNoCellButTheBlock) {
    Write("navbar/navbar.htm", "<tr>COLJSLX</tr>\r\n<tr>coljslx</tr>\r\n");
    ASSERT_TRUE(Run([&] { return worker.PatchNavbar(); }));
    EXPECT_EQ(Read("navbar/navbar.htm"), "<tr>COLJSLX</tr>\r\n<tr>coljslx</tr>\r\n" + Block());
}

TEST_F(PagePatchingTest, ReadOnlyNavbarIsPatched) {
    Write("navbar/navbar.htm", "<p>colJslx</tr>");
    std::filesystem::permissions(Path("navbar/navbar.htm"), std::filesystem::perms::owner_read);
    ASSERT_TRUE(Run([&] { return worker.PatchNavbar(); }));
    EXPECT_EQ(Read("navbar/navbar.htm"),
              std::string("<p>colJslx") + kUpdateCell + "</tr>\r\n" + Block());
}

TEST_F(PagePatchingTest, MissingNavbarFailsWithoutAMessage) {
    std::filesystem::create_directories(Path("navbar"));
    EXPECT_FALSE(Run([&] { return worker.PatchNavbar(); }));
    EXPECT_TRUE(env.renderer->MessageBoxTexts().empty());
}

// ---- media pages ------------------------------------------------------------

TEST_F(PagePatchingTest, MediaPagesAreCopiedFromTheChosenFolderAndGetTheExtension) {
    Write("systeminfo/wmvpages/tvInclude.htm", "<x extendName=\"asf\" y>\n");
    Write("systeminfo/wmvpages/tvOpen.htm", "a\r\nvar EXTENDNAME = \"\";\r\n");
    Write("navbar/tvInclude.htm", "old include");
    Write("navbar/tvOpen.htm", "old open");
    std::filesystem::permissions(Path("navbar/tvOpen.htm"), std::filesystem::perms::owner_read);
    ASSERT_TRUE(Run([&] { return worker.CopyTvPages(); }));
    EXPECT_EQ(Read("navbar/tvInclude.htm"), "<x extendName=\".wmv\" y>\r\n");
    EXPECT_EQ(Read("navbar/tvOpen.htm"), "a\r\nvar EXTENDNAME = \".wmv\";\r\n");
}

TEST_F(PagePatchingTest, MissingInstalledMediaPageFailsBeforeAnythingIsCopied) {
    Write("systeminfo/wmvpages/tvInclude.htm", "extendname=\"asf\"");
    Write("systeminfo/wmvpages/tvOpen.htm", "extendname=\"asf\"");
    Write("navbar/tvOpen.htm", "old open");
    EXPECT_FALSE(Run([&] { return worker.CopyTvPages(); }));
    EXPECT_FALSE(InstallTestEnv::Exists(Path("navbar/tvInclude.htm")));
    EXPECT_EQ(Read("navbar/tvOpen.htm"), "old open");
}

TEST_F(PagePatchingTest, ExtendNameWithFewerThanTwoQuotesFailsAndLeavesThePage) {
    Write("navbar/tvInclude.htm", "line one\r\nextendname=\"asf\r\n");
    EXPECT_FALSE(
        Run([&] { return worker.PatchExtendName(env.courseWin + "\\navbar\\tvInclude.htm"); }));
    EXPECT_EQ(Read("navbar/tvInclude.htm"), "line one\r\nextendname=\"asf\r\n");
    // The failed step's scratch file is gone with it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("navbar")),
                            std::filesystem::directory_iterator()),
              1);

    Write("navbar/tvOpen.htm", "extendname = asf\r\n");
    EXPECT_FALSE(
        Run([&] { return worker.PatchExtendName(env.courseWin + "\\navbar\\tvOpen.htm"); }));
    EXPECT_EQ(Read("navbar/tvOpen.htm"), "extendname = asf\r\n");
}

TEST_F(PagePatchingTest, MissingPageFailsPatchExtendName) {
    std::filesystem::create_directories(Path("navbar"));
    EXPECT_FALSE(Run([&] { return worker.PatchExtendName(env.courseWin + "\\navbar\\none.htm"); }));
}

// ---- chapter list -------------------------------------------------------------

TEST_F(PagePatchingTest, StartChapterIsResetToOneAndTheRestOfTheLineDropped) {
    Write("left/items.vbs", "coursename = \"化学\"\nStartChapter = 3 ' first chapter here\nx = 2");
    std::filesystem::permissions(Path("left/items.vbs"), std::filesystem::perms::owner_read);
    ASSERT_TRUE(Run([&] { return worker.ResetStartChapter(); }));
    EXPECT_EQ(Read("left/items.vbs"), "coursename = \"化学\"\r\nStartChapter =1\r\nx = 2\r\n");
    EXPECT_FALSE(InstallTestEnv::Exists(Path("left/temp.htm")));
}

TEST_F(PagePatchingTest, StartChapterWithoutEqualsFailsAndKeepsTheList) {
    Write("left/items.vbs", "a = 1\r\nstartchapter 3\r\n");
    EXPECT_FALSE(Run([&] { return worker.ResetStartChapter(); }));
    EXPECT_EQ(Read("left/items.vbs"), "a = 1\r\nstartchapter 3\r\n");
}

TEST_F(PagePatchingTest, MissingChapterListFails) {
    std::filesystem::create_directories(Path("left"));
    EXPECT_FALSE(Run([&] { return worker.ResetStartChapter(); }));
}

}  // namespace
