#include "platform/process/process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/telvora-process-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string m_dir;
};

TEST_F(ProcessTest, ReportsExitStatusAndSignal) {
    EXPECT_EQ(RunProgramAndWait("/bin/sh", {"-c", "exit 0"}), 0);
    EXPECT_EQ(RunProgramAndWait("/bin/sh", {"-c", "exit 243"}), 243);
    EXPECT_EQ(RunProgramAndWait("/bin/sh", {"-c", "kill -TERM $$"}), 128 + 15);
}

TEST_F(ProcessTest, PassesArgumentsUnchanged) {
    std::string out = m_dir + "/args";
    ASSERT_EQ(
        RunProgramAndWait(
            "/bin/sh", {"-c", "printf '%s|' \"$0\" \"$@\" > \"$OUT\"", "zero", "a b", "\"q\"", ""},
            {{"OUT", out}}),
        0);
    EXPECT_EQ(ReadAll(out), "zero|a b|\"q\"||");
}

TEST_F(ProcessTest, ChangesOnlyTheNamedVariables) {
    setenv("TELVORA_PROCESS_KEEP", "kept", 1);
    setenv("TELVORA_PROCESS_DROP", "dropped", 1);
    std::string out = m_dir + "/env";
    ASSERT_EQ(
        RunProgramAndWait("/bin/sh",
                          {"-c",
                           "echo \"$TELVORA_PROCESS_KEEP,${TELVORA_PROCESS_DROP-unset},"
                           "$TELVORA_PROCESS_NEW\" > " +
                               out},
                          {{"TELVORA_PROCESS_DROP", "", true}, {"TELVORA_PROCESS_NEW", "new"}}),
        0);
    EXPECT_EQ(ReadAll(out), "kept,unset,new\n");
    unsetenv("TELVORA_PROCESS_KEEP");
    unsetenv("TELVORA_PROCESS_DROP");
}

TEST_F(ProcessTest, MissingProgramFailsWithLastError) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(RunProgramAndWait(m_dir + "/no-such-program", {}), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    std::string notExecutable = m_dir + "/plain.txt";
    std::ofstream(notExecutable) << "text\n";
    EXPECT_EQ(RunProgramAndWait(notExecutable, {}), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
