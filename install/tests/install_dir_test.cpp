// The installer's reading of the course record: a folder of up to 99
// characters, and each failure told as the installer tells it.
#include "install/install_dir.h"

#include <gtest/gtest.h>

#include "install/tests/install_test_env.h"
#include "platform/registry/registry.h"

namespace {

class InstallDirTest : public ::testing::Test {
protected:
    InstallTestEnv env;

    // The quit request the reader posts, taken off this thread's queue.
    static int QuitCode() {
        int code = 0;
        EXPECT_TRUE(IsQuitPending(&code));
        MSG msg;
        while (GetMessage(&msg, nullptr, 0, 0))
            DispatchMessage(&msg);
        return code;
    }
};

TEST_F(InstallDirTest, ReadsA99CharacterPathButNotA100CharacterOne) {
    const std::string p99 = "C:\\" + std::string(96, 'a');
    InstallTestEnv::SetInstallRecord("ok", p99);
    std::string dir;
    EXPECT_TRUE(ReadInstallDir("ok", &dir));
    EXPECT_EQ(dir, p99);

    InstallTestEnv::SetInstallRecord("long", p99 + "b");
    EXPECT_FALSE(ReadInstallDir("long", &dir));
    EXPECT_EQ(dir, "");
    EXPECT_EQ(env.renderer->MessageBoxTexts(), std::vector<std::string>{"write register error"});
    EXPECT_EQ(QuitCode(), 1009);
}

TEST_F(InstallDirTest, AMissingRecordOrANumberInItIsTold) {
    std::string dir = "stale";
    EXPECT_FALSE(ReadInstallDir("nosuch", &dir));
    EXPECT_EQ(dir, "");
    EXPECT_EQ(QuitCode(), 1009);

    // A number where the folder belongs is not read as its bytes.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "software\\telvora\\number\\1", &key),
              ERROR_SUCCESS);
    const DWORD number = 0x43;
    ASSERT_EQ(RegSetValueEx(key, nullptr, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof number),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_FALSE(ReadInstallDir("number", &dir));
    EXPECT_EQ(dir, "");
    EXPECT_EQ(QuitCode(), 1009);
    EXPECT_EQ(env.renderer->MessageBoxTexts(),
              (std::vector<std::string>{"读注册表失败", "write register error"}));
}

}  // namespace
