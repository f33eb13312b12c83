// Where the worker finds the installed course: setup.ini's worker keys and
// the installed-course record.
#include <gtest/gtest.h>

#include "install/install_state.h"
#include "install/tests/install_test_env.h"
#include "install/work_thread.h"

namespace {

class InstallSettingsTest : public ::testing::Test {
protected:
    InstallTestEnv env;
    CWorkThread worker;
    std::string ini;

    void SetUp() override {
        g_strInstallDir.clear();
        ini = env.courseWin + "\\setup.ini";
    }
    void WriteIni(const std::string& text) {
        InstallTestEnv::WriteFile(env.course + "/setup.ini", text);
    }
    bool Read() {
        bool result = false;
        EXPECT_EQ(RunOnThread([&] { result = worker.ReadInstallSettings(ini); }), 0u);
        return result;
    }
};

TEST_F(InstallSettingsTest, ReadsTheKeysAndTheRecordAsStored) {
    WriteIni(
        "courseid = chem \r\ncoursename = 化学\r\ntotalcd=2\r\nnowcd=2\r\n"
        "insteadfile=wmvpages\r\nextendname= wmv\r\ndefault=index.htm\r\n");
    InstallTestEnv::SetInstallRecord("chem", "H:\\course ");
    ASSERT_TRUE(Read());
    EXPECT_EQ(worker.m_strInsteadFile, "wmvpages");
    EXPECT_EQ(worker.m_strExtendName, "wmv");
    EXPECT_EQ(worker.m_strDefault, "index.htm");
    EXPECT_EQ(worker.m_strInstallDir, "H:\\course ");  // not trimmed
    EXPECT_EQ(g_strInstallDir, "H:\\course ");
    EXPECT_EQ(g_strCourseName, "化学");
    EXPECT_TRUE(g_bLastCd);
    EXPECT_TRUE(env.renderer->MessageBoxTexts().empty());
}

TEST_F(InstallSettingsTest, RecordOf99CharactersIsReadAndOf100IsNot) {
    WriteIni("courseid=chem\r\ntotalcd=2\r\nnowcd=1\r\ninsteadfile=p\r\nextendname=wmv\r\n");
    std::string folder99 = "H:\\" + std::string(96, 'a');
    InstallTestEnv::SetInstallRecord("chem", folder99);
    ASSERT_TRUE(Read());
    EXPECT_EQ(worker.m_strInstallDir, folder99);

    InstallTestEnv::SetInstallRecord("chem", folder99 + "b");
    CWorkThread again;
    bool result = true;
    EXPECT_EQ(RunOnThread([&] { result = again.ReadInstallSettings(ini); }), 0u);
    EXPECT_FALSE(result);
    EXPECT_EQ(env.renderer->MessageBoxTexts(), (std::vector<std::string>{"write register error"}));
}

TEST_F(InstallSettingsTest, MissingRecordFails) {
    WriteIni("courseid=chem\r\ninsteadfile=p\r\nextendname=wmv\r\n");
    EXPECT_FALSE(Read());
    EXPECT_EQ(env.renderer->MessageBoxTexts(), (std::vector<std::string>{"读注册表失败"}));
}

TEST_F(InstallSettingsTest, MissingExtendNameFailsBeforeTheRegistryIsRead) {
    // No record exists: reading it would show "读注册表失败".
    WriteIni("courseid=chem\r\ninsteadfile=wmvpages\r\n");
    EXPECT_FALSE(Read());
    EXPECT_EQ(env.renderer->MessageBoxTexts(),
              (std::vector<std::string>{"setup.ini insteadfile or extendname error."}));
}

TEST_F(InstallSettingsTest, MediaPageFolderThatStepsOutOfSystemInfoIsRefused) {
    InstallTestEnv::SetInstallRecord("chem", env.courseWin);
    for (const char* bad : {"..\\..\\etc", "a/../../x", "\\abs", "C:\\x", ".."}) {
        WriteIni(std::string("courseid=chem\r\ninsteadfile=") + bad + "\r\nextendname=wmv\r\n");
        CWorkThread fresh;
        bool result = true;
        EXPECT_EQ(RunOnThread([&] { result = fresh.ReadInstallSettings(ini); }), 0u);
        EXPECT_FALSE(result) << bad;
    }
    WriteIni("courseid=chem\r\ninsteadfile=pages\\wmv..old\r\nextendname=wmv\r\n");
    EXPECT_TRUE(Read());
}

TEST_F(InstallSettingsTest, KeyLineWithoutEqualsFailsAfterTheWholeFileIsRead) {
    WriteIni("courseid=chem\r\ninsteadfile\r\nextendname=wmv\r\ninsteadfile=p\r\n");
    InstallTestEnv::SetInstallRecord("chem", env.courseWin);
    EXPECT_FALSE(Read());
    EXPECT_EQ(worker.m_strInsteadFile, "p");
    EXPECT_EQ(worker.m_strInstallDir, env.courseWin);
    EXPECT_EQ(env.renderer->MessageBoxTexts(),
              (std::vector<std::string>{"setup.ini file insteadfile error"}));
}

}  // namespace
