#include <unistd.h>

#include <gnu/libc-version.h>

#include "platform/fs/tests/fs_fixture.h"

namespace {

// A function whose address lies in the test program itself.
int AnchorInProgram() {
    return 1;
}

class FsModuleTest : public FsServiceTest {
protected:
    static void MakeProgram(const std::string& path) {
        WriteUnix(path, "#!/bin/sh\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    void TearDown() override {
        if (m_savedPath)
            setenv("PATH", m_savedPath->c_str(), 1);
        FsServiceTest::TearDown();
    }
    std::optional<std::string> m_savedPath;
};

}  // namespace

TEST_F(FsModuleTest, ProgramPathKeepsTheLinkItWasStartedBy) {
    MakeProgram(Work("bin/lesson"));
    std::filesystem::create_directories(Work("course/lesson"));
    std::filesystem::create_symlink(Work("bin/lesson"), Work("course/lesson/lesson"));

    SetProgramPath(Work("course/lesson/lesson").c_str());
    EXPECT_EQ(GetModuleFileName(), "W:\\course\\lesson\\lesson");

    // Relative to the working folder, with "." and ".." tidied up.
    ASSERT_TRUE(SetCurrentDirectory("W:\\course"));
    SetProgramPath("./lesson/../lesson/lesson");
    EXPECT_EQ(GetModuleFileName(), "W:\\course\\lesson\\lesson");
}

TEST_F(FsModuleTest, BareProgramNameIsLookedUpOnPath) {
    MakeProgram(Work("bin2/mytool"));
    WriteUnix(Work("bin1/mytool"), "not executable");
    m_savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (Work("missing") + ":" + Work("bin1") + ":" + Work("bin2")).c_str(), 1);
    SetProgramPath("mytool");
    EXPECT_EQ(GetModuleFileName(), "W:\\bin2\\mytool");

    // Not on PATH at all: the working folder.
    ASSERT_TRUE(SetCurrentDirectory("W:\\bin1"));
    SetProgramPath("othertool");
    EXPECT_EQ(GetModuleFileName(), "W:\\bin1\\othertool");
}

TEST_F(FsModuleTest, SharedLibraryNameComesFromWhereItWasLoaded) {
    std::string libc = GetModuleFileNameOf(reinterpret_cast<const void*>(&gnu_get_libc_version));
    EXPECT_EQ(libc.rfind("C:\\", 0), 0u) << libc;
    EXPECT_NE(libc.find("libc.so"), std::string::npos) << libc;

    // An address in the program itself gives the program's name.
    SetProgramPath(Work("prog").c_str());
    EXPECT_EQ(GetModuleFileNameOf(reinterpret_cast<const void*>(&AnchorInProgram)), "W:\\prog");

    EXPECT_EQ(GetModuleFileNameOf(nullptr), "");
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
