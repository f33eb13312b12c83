// The installer run directly on a course prepared by hand, as the setup step
// leaves it: the two-CD road, the pages it patches, and what it does when
// the course is not complete.
#include <filesystem>

#include "platform/registry/registry.h"
#include "tests/e2e/e2e_support.h"

namespace fs = std::filesystem;

namespace {

const char kCell[] =
    "<td width=\"75\"><p><A HREF=\"#\" onClick=\"vbscipt:AutoUpDate()\">内容更新</A></p></td>";

const char kBlock[] =
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
    " </OBJECT>\r\n";

class InstallDirectTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        m_sample = MakeSample("sample");
        m_cd1 = m_sample + "/cd1";
        m_cd2 = m_sample + "/cd2";
    }
    std::string InsertCd2() const { return "dialog 138 : insert E: \"" + m_cd2 + "\" ; press 1\n"; }
    // Both CDs through the installer; the second run patches the pages.
    void InstallBoth(const std::string& course) {
        ASSERT_EQ(RunInstall(course, InsertCd2()), kInstallMediaCopied);
        ASSERT_NE(ReadFile(course + "/setup.ini").find("nowcd=2\r\n"), std::string::npos);
        ASSERT_EQ(RunInstall(course), kInstallMediaCopied);
    }

    std::string m_sample, m_cd1, m_cd2;
};

TEST_F(InstallDirectTest, PatchesThePagesOfTheLastCdByteForByte) {
    // A navigation page with LF line ends, "colJslx" on a line without
    // "</tr>", and a later line holding two "</tr>".
    WriteFile(m_cd2 + "/navbar/navbar.htm",
              "<html>\n<table>\n<tr><td class=\"colJslx\">首页</td>\n<td>目录</td></tr><tr></tr>\n"
              "</table>\n</html>");
    const std::string course = PrepareCourse(m_cd1, true);
    InstallBoth(course);
    EXPECT_EQ(
        ReadFile(course + "/navbar/navbar.htm"),
        std::string("<html>\r\n<table>\r\n<tr><td class=\"colJslx\">首页</td>\r\n<td>目录</td>") +
            kCell + "</tr><tr></tr>\r\n</table>\r\n</html>\r\n" + kBlock);
    // The media pages come from systeminfo\wmvpage with the extension wmv.
    std::string include = ReadFile(m_cd1 + "/systeminfo/wmvpage/tvInclude.htm");
    include.replace(include.find("var extendname = \"\";"), 20, "var extendname = \".wmv\";");
    EXPECT_EQ(ReadFile(course + "/navbar/tvInclude.htm"), include);
    std::string open = ReadFile(m_cd1 + "/systeminfo/wmvpage/tvOpen.htm");
    open.replace(open.find("var extendname = \".asf\";"), 24, "var extendname = \".wmv\";");
    EXPECT_EQ(ReadFile(course + "/navbar/tvOpen.htm"), open);
    // The chapter list starts at chapter 1 again.
    std::string items = ReadFile(m_cd2 + "/left/items.vbs");
    items.replace(items.find("startchapter = 4"), 16, "startchapter =1");
    EXPECT_EQ(ReadFile(course + "/left/items.vbs"), items);
    EXPECT_FALSE(fs::exists(course + "/navbar/temp.htm"));
    EXPECT_FALSE(fs::exists(course + "/left/temp.htm"));
}

TEST_F(InstallDirectTest, APageWithoutColJslxGetsOnlyTheBlock) {
    WriteFile(m_cd2 + "/navbar/navbar.htm", "<tr><td class=\"COLJSLX\">x</td></tr>\r\n</html>\r\n");
    const std::string course = PrepareCourse(m_cd1, true);
    InstallBoth(course);
    EXPECT_EQ(ReadFile(course + "/navbar/navbar.htm"),
              std::string("<tr><td class=\"COLJSLX\">x</td></tr>\r\n</html>\r\n") + kBlock);
}

TEST_F(InstallDirectTest, TheFirstCdDoesNotTouchThePages) {
    const std::string course = PrepareCourse(m_cd1, false);
    ASSERT_EQ(RunInstall(course, "dialog 138 : press 2\nmessagebox \"您将退出\" : press 1\n"),
              kInstallMediaSkipped);
    EXPECT_TRUE(fs::exists(course + "/systeminfo/fail.txt"));
    EXPECT_EQ(ReadFile(course + "/navbar/navbar.htm"), ReadFile(m_cd1 + "/navbar/navbar.htm"));
    EXPECT_EQ(ReadFile(course + "/left/items.vbs"), ReadFile(m_cd1 + "/left/items.vbs"));
    EXPECT_FALSE(fs::exists(course + "/content/video01/lecture.asf"));
    EXPECT_TRUE(fs::is_empty(course + "/content/video01"));
    EXPECT_TRUE(fs::exists(course + "/content/chapter01/index.htm"));
}

TEST_F(InstallDirectTest, ReadOnlyFilesOnTheDiscAndInTheCourse) {
    const std::string ro = MakeSample("ro", {"--read-only"});
    m_cd2 = ro + "/cd2";
    const std::string course = PrepareCourse(ro + "/cd1", true);
    // A read-only course file is left as it is; the run still completes.
    WriteFile(course + "/content/chapter01/s1.htm", "mine");
    fs::permissions(course + "/content/chapter01/s1.htm", fs::perms::owner_write,
                    fs::perm_options::remove);
    InstallBoth(course);
    EXPECT_EQ(ReadFile(course + "/content/chapter01/s1.htm"), "mine");
    EXPECT_EQ(ReadFile(course + "/content/chapter02/s1.htm"),
              ReadFile(ro + "/cd1/content/chapter02/s1.htm"));
    // The pages copied read-only from the disc were still patched.
    EXPECT_NE(ReadFile(course + "/navbar/navbar.htm").find(kBlock), std::string::npos);
    EXPECT_NE(ReadFile(course + "/left/items.vbs").find("startchapter =1\r\n"), std::string::npos);
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1011, 1011}));
}

TEST_F(InstallDirectTest, MissingMediaDecisionCopiesNothing) {
    const std::string course = PrepareCourse(m_cd1, true);
    fs::remove(course + "/systeminfo/installasf.txt");
    EXPECT_EQ(RunInstall(course), 1004 & 0xFF);
    EXPECT_EQ(ExitCodes("install"), (std::vector<int>{1004}));
    for (const TranscriptEvent& e : Events("dialog")) {
        EXPECT_NE(e.at("id"), "130");  // not even the progress window
    }
    EXPECT_FALSE(fs::exists(course + "/index.htm"));
}

TEST_F(InstallDirectTest, MissingSetupIniIsReported) {
    const std::string course = PrepareCourse(m_cd1, true);
    fs::remove(course + "/setup.ini");
    EXPECT_EQ(RunInstall(course), 1008 & 0xFF);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{U("找不到setup.ini文件")}));
    EXPECT_FALSE(fs::exists(course + "/index.htm"));
}

TEST_F(InstallDirectTest, MissingRegistryRecordCopiesNothing) {
    const std::string course = PrepareCourse(m_cd1, true);
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "software\\telvora\\jsjyy01"), ERROR_SUCCESS);
    // The record's folder is taken as empty, so the decision file isn't found
    // either: the last quit request, 1004, ends the program.
    EXPECT_EQ(RunInstall(course), 1004 & 0xFF);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{U("读注册表失败")}));
    EXPECT_FALSE(fs::exists(course + "/index.htm"));
}

TEST_F(InstallDirectTest, MissingInsteadFileStopsTheWorker) {
    const std::string course = PrepareCourse(m_cd1, true);
    std::string ini = ReadFile(course + "/setup.ini");
    ini.erase(ini.find("insteadfile=wmvpage\r\n"), 21);
    WriteFile(course + "/setup.ini", ini);
    // The worker refuses before copying; the program still ends normally.
    EXPECT_EQ(RunInstall(course, InsertCd2()), kInstallMediaCopied);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"setup.ini insteadfile or extendname error."}));
    EXPECT_FALSE(fs::exists(course + "/index.htm"));
    EXPECT_TRUE(Texts(138, 1013).empty());
    EXPECT_NE(ReadFile(course + "/setup.ini").find("nowcd=1\r\n"), std::string::npos);
}

}  // namespace
