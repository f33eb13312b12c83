// telvora-pack as users run it: exit statuses and messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/archive/tests/archive_test_support.h"

using namespace archive_test;

namespace {

int Pack(const std::string& args, std::string* err) {
    return RunCommand(ShellQuote(ProgramPath("telvora-pack")) + " " + args + " >/dev/null", err);
}

}  // namespace

TEST(PackTool, PacksAFolderAndSaysWhatItSkipped) {
    CScratchDir dir;
    WriteFile(dir / "src/a.txt", "a");
    std::filesystem::create_symlink("a.txt", dir / "src/l");
    std::string err;
    EXPECT_EQ(
        Pack(ShellQuote(dir / "p.rar") + " " + ShellQuote(dir / "src") + " --top course", &err), 0);
    EXPECT_NE(err.find("telvora-pack: warning: skipped symbolic link"), std::string::npos) << err;
    EXPECT_EQ(ReadFile(dir / "p.rar").substr(0, 7), std::string("Rar!\x1A\x07\x00", 7));
    EXPECT_NE(ReadFile(dir / "p.rar").find("course\\a.txt"), std::string::npos);
}

TEST(PackTool, FailsWithAMessageAndStatusOne) {
    CScratchDir dir;
    std::string err;
    EXPECT_EQ(Pack(ShellQuote(dir / "p.rar") + " " + ShellQuote(dir / "missing"), &err), 1);
    EXPECT_NE(err.find("missing"), std::string::npos) << err;
    EXPECT_FALSE(Exists(dir / "p.rar"));
}

TEST(PackTool, ShowsUsageAndRefusesWrongCommandLines) {
    std::string out;
    const std::string program = ShellQuote(ProgramPath("telvora-pack"));
    EXPECT_EQ(RunCommand(program + " --help >/dev/null", &out), 0);
    std::string err;
    for (const char* args : {"", "only-one", "a b c", "a b --top", "a b --bogus",
                             "a b --top x --top y", "a b --top ''"}) {
        EXPECT_EQ(Pack(args, &err), 2) << args;
        EXPECT_NE(err.find("telvora-pack --help"), std::string::npos) << args << ": " << err;
    }
    EXPECT_EQ(Pack("a b --top=", &err), 2);
    EXPECT_EQ(err, "telvora-pack: --top needs a name\nType \"telvora-pack --help\" for usage.\n");
}
