// What a command line runs: the program token read as CreateProcess reads it,
// substitutes for Windows programs, and the arguments a Linux program gets.
#include <gtest/gtest.h>

#include "platform/process/process_internal.h"
#include "platform/process/tests/process_fixture.h"
#include "platform/ui/ui.h"

namespace {

using process_detail::CStartPlan;
using process_detail::LookupSubstitute;
using process_detail::PlanStart;
using process_detail::ShowStateName;
using Args = std::vector<std::string>;

class StartPlanTest : public ProcessServiceTest {
protected:
    // Plans a command line as a caller living in m_tools would.
    bool Plan(const std::string& commandLine, CStartPlan* plan) {
        return PlanStart(nullptr, commandLine, {m_tools}, plan);
    }

    // The last error of a plan that must fail.
    DWORD PlanError(const std::string& commandLine) {
        CStartPlan plan;
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(Plan(commandLine, &plan)) << commandLine << " ran " << plan.program;
        return GetLastError();
    }
};

TEST_F(StartPlanTest, QuotedProgramKeepsItsBlanksAndArgumentsSplit) {
    const std::string prog = MakeFile(Work("a b/x.exe"));
    CStartPlan plan;
    ASSERT_TRUE(Plan("\"W:\\a b\\x.exe\" one \"two three\" \"\"", &plan));
    EXPECT_EQ(plan.program, prog);
    EXPECT_FALSE(plan.substituted);
    EXPECT_EQ(plan.argv, Args({prog, "one", "two three", ""}));
}

TEST_F(StartPlanTest, UnquotedProgramIsTriedAtEachBlankShortestFirst) {
    const std::string longer = MakeFile(Work("a b/x.exe"));
    const std::string shorter = MakeFile(Work("a.exe"));
    CStartPlan plan;
    // "W:\a" is read first and, having no extension, found as W:\a.exe.
    ASSERT_TRUE(Plan("W:\\a b\\x.exe c", &plan));
    EXPECT_EQ(plan.program, shorter);
    EXPECT_EQ(plan.argv, Args({shorter, "b\\x.exe", "c"}));

    std::filesystem::remove(shorter);
    ASSERT_TRUE(Plan("W:\\a b\\x.exe c", &plan));
    EXPECT_EQ(plan.program, longer);
    EXPECT_EQ(plan.argv, Args({longer, "c"}));
}

TEST_F(StartPlanTest, FolderNamedLikeTheFirstPartIsNoProgram) {
    std::filesystem::create_directories(Work("Program"));
    std::filesystem::create_directories(Work("Program.exe"));
    const std::string prog = MakeFile(Work("Program Files/tool.exe"));
    CStartPlan plan;
    ASSERT_TRUE(Plan("W:\\Program Files\\tool.exe -v", &plan));
    EXPECT_EQ(plan.argv, Args({prog, "-v"}));
}

TEST_F(StartPlanTest, NamesWithoutExtensionAreTriedWithExe) {
    const std::string run = MakeFile(Work("tools/run.exe"));
    const std::string linuxTool = MakeFile(Work("tools/linux-tool"));
    MakeFile(Work("tools/script.sh.exe"));
    CStartPlan plan;
    ASSERT_TRUE(Plan("W:\\tools\\run a", &plan));
    EXPECT_EQ(plan.program, run);
    ASSERT_TRUE(Plan("W:\\tools\\linux-tool", &plan));
    EXPECT_EQ(plan.program, linuxTool);
    // A name with an extension is taken as it is.
    EXPECT_EQ(PlanError("W:\\tools\\script.sh"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(StartPlanTest, ProgramPathIgnoresLetterCase) {
    const std::string prog = MakeFile(Work("course/systemInfo/soft/start.exe"));
    CStartPlan plan;
    ASSERT_TRUE(Plan("W:\\COURSE\\SYSTEMINFO\\Soft\\START.EXE", &plan));
    EXPECT_EQ(plan.program, prog);
}

TEST_F(StartPlanTest, BareNamesAreFoundBesideTheCallerThenOnPath) {
    const std::string onPath = MakeFile(m_pathBin + "/helper");
    CStartPlan plan;
    ASSERT_TRUE(Plan("helper x", &plan));
    EXPECT_EQ(plan.argv, Args({onPath, "x"}));
    const std::string beside = MakeFile(m_tools + "/helper");
    ASSERT_TRUE(Plan("helper x", &plan));
    EXPECT_EQ(plan.program, beside);
}

TEST_F(StartPlanTest, WindowsPathsAmongArgumentsBecomeUnixPaths) {
    const std::string prog = MakeFile(Work("p.exe"));
    WriteUnix(Work("data/File.txt"), "x");
    CStartPlan plan;
    ASSERT_TRUE(
        Plan("W:\\p.exe W:\\DATA\\file.TXT \"W:\\with blank\\new.htm\" /y -oW:\\x C:\\ 课件 rel\\a",
             &plan));
    EXPECT_EQ(plan.argv, Args({prog, Work("data/File.txt"), Work("with blank/new.htm"), "/y",
                               "-oW:\\x", "/", U8(u8"课件"), "rel\\a"}));
    // A drive that does not exist leaves the text as it is.
    ASSERT_TRUE(Plan("W:\\p.exe Q:\\nowhere", &plan));
    EXPECT_EQ(plan.argv, Args({prog, "Q:\\nowhere"}));
}

TEST_F(StartPlanTest, MissingBrowserGetsThePagePathAsOneArgument) {
    const std::string browser = MakeFile(m_pathBin + "/xdg-open");
    WriteUnix(Work("course dir/index.htm"), "<html>");
    CStartPlan plan;
    ASSERT_TRUE(
        Plan("W:\\course dir\\systemInfo\\soft\\iexplore.exe W:\\course dir\\index.htm", &plan));
    EXPECT_TRUE(plan.substituted);
    EXPECT_EQ(plan.argv, Args({browser, Work("course dir/index.htm")}));

    // Chinese names and a quoted page work the same way.
    WriteUnix(Work(U8(u8"课件 一/页 1.htm")), "<html>");
    ASSERT_TRUE(
        Plan("W:\\课件 一\\systemInfo\\soft\\iexplore.exe \"W:\\课件 一\\页 1.htm\"", &plan));
    EXPECT_EQ(plan.argv, Args({browser, Work(U8(u8"课件 一/页 1.htm"))}));

    // Without a page the browser gets no argument at all.
    ASSERT_TRUE(Plan("W:\\c\\iexplore.exe  ", &plan));
    EXPECT_EQ(plan.argv, Args({browser}));
}

TEST_F(StartPlanTest, TheCourseBrowserIsPreferredAndPagesKeepTheirQueryAndBlanks) {
    const std::string desktop = MakeFile(m_pathBin + "/xdg-open");
    const std::string own = MakeFile(m_tools + "/telvora-browser");
    WriteUnix(Work("c d/navbar/tvInclude.htm"), "<html>");
    CStartPlan plan;
    ASSERT_TRUE(Plan(
        "W:\\c d\\soft\\iexplore.exe W:\\c d\\NAVBAR\\tvInclude.htm?../video01/lecture", &plan));
    EXPECT_EQ(plan.argv, Args({own, Work("c d/navbar/tvInclude.htm") + "?../video01/lecture"}));
    // A user's own browser named without %* or %@ still gets the page whole.
    SetSubstitute("iexplore.exe", "xdg-open");
    ASSERT_TRUE(Plan("W:\\c d\\soft\\iexplore.exe W:\\c d\\navbar\\tvInclude.htm", &plan));
    EXPECT_EQ(plan.argv, Args({desktop, Work("c d/navbar/tvInclude.htm")}));
}

TEST_F(StartPlanTest, MissingExtractorRunsTheProjectExtractorBesideTheCaller) {
    const std::string extractor = MakeFile(m_tools + "/telvora-extract");
    CStartPlan plan;
    ASSERT_TRUE(
        Plan("\"W:\\my course\\systeminfo\\soft\\winrar.exe\" x "
             "\"W:\\my course\\temp\\03052301.rar\" \"W:\\my course\\temp\" -y",
             &plan));
    EXPECT_EQ(plan.argv, Args({extractor, "x", Work("my course/temp/03052301.rar"),
                               Work("my course/temp"), "-y"}));
    // Named without its extension, the program is still the extractor.
    ASSERT_TRUE(Plan("W:\\soft\\WinRAR x a b", &plan));
    EXPECT_EQ(plan.argv, Args({extractor, "x", "a", "b"}));
}

TEST_F(StartPlanTest, WindowsProgramFilesAreSubstituted) {
    const std::string browser = MakeFile(m_pathBin + "/xdg-open");
    const std::string extractor = MakeFile(m_tools + "/telvora-extract");
    MakePeFile(Work("soft/iexplore.exe"));
    MakeFile(Work("soft/winrar.exe"), "#!/bin/sh\n", 0644);  // no execute permission
    CStartPlan plan;
    ASSERT_TRUE(Plan("W:\\soft\\iexplore.exe W:\\a b.htm", &plan));
    EXPECT_EQ(plan.argv, Args({browser, Work("a b.htm")}));
    ASSERT_TRUE(Plan("W:\\soft\\winrar.exe x W:\\p.rar W:\\t -y", &plan));
    EXPECT_EQ(plan.argv, Args({extractor, "x", Work("p.rar"), Work("t"), "-y"}));

    // Without a substitute they can't run, each for its own reason.
    MakePeFile(Work("soft/game.exe"));
    MakeFile(Work("soft/notes.exe"), "#!/bin/sh\n", 0644);
    EXPECT_EQ(PlanError("W:\\soft\\game.exe"), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    EXPECT_EQ(PlanError("W:\\soft\\notes.exe"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(StartPlanTest, LinuxProgramNamedLikeAWindowsOneRunsItself) {
    const std::string own = MakeFile(Work("c d/soft/iexplore.exe"));
    MakeFile(m_pathBin + "/xdg-open");
    CStartPlan plan;
    ASSERT_TRUE(Plan("W:\\c d\\soft\\iexplore.exe W:\\c d\\index.htm", &plan));
    EXPECT_FALSE(plan.substituted);
    // A program of its own gets the arguments as the Windows rules split them.
    EXPECT_EQ(plan.argv, Args({own, Work("c"), "d\\index.htm"}));
}

TEST_F(StartPlanTest, RegistryValueChoosesTheSubstitute) {
    const std::string mine = MakeFile(Work("tools/my browser"));
    SetSubstitute("iexplore.exe", "\"W:\\tools\\my browser\" --new-window %*");
    CStartPlan plan;
    ASSERT_TRUE(Plan("W:\\c\\soft\\IEXPLORE.EXE W:\\c\\a b.htm", &plan));
    EXPECT_EQ(plan.argv, Args({mine, "--new-window", Work("c/a b.htm")}));

    // %0 names the program stood in for; without %* or %@ the arguments
    // follow, split.
    const std::string runner = MakeFile(m_pathBin + "/runner");
    MakePeFile(Work("soft/game.exe"));
    SetSubstitute("GAME.EXE", "runner --pe %0");
    ASSERT_TRUE(Plan("W:\\soft\\game.exe -level \"2 b\"", &plan));
    EXPECT_EQ(plan.argv, Args({runner, "--pe", Work("soft/game.exe"), "-level", "2 b"}));
}

TEST_F(StartPlanTest, UnusableSubstitutesFailAsAMissingProgram) {
    // No substitute at all.
    EXPECT_EQ(PlanError("W:\\soft\\other.exe a"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // The default's program is not installed (no xdg-open on PATH).
    EXPECT_EQ(PlanError("W:\\soft\\iexplore.exe W:\\a.htm"),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // A blank value switches the default off.
    MakeFile(m_tools + "/telvora-extract");
    SetSubstitute("winrar.exe", "  ");
    EXPECT_EQ(PlanError("W:\\soft\\winrar.exe x a b -y"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // A substitute that can't be executed.
    MakeFile(m_pathBin + "/flat", "#!/bin/sh\n", 0644);
    SetSubstitute("flat.exe", "flat %@");
    EXPECT_EQ(PlanError("W:\\flat.exe"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // Nothing to run.
    EXPECT_EQ(PlanError(""), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(PlanError("   "), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(PlanError("\"\" x"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(StartPlanTest, SubstituteLookupIgnoresCaseAndFallsBackToDefaults) {
    EXPECT_EQ(LookupSubstitute("IExplore.EXE"), std::optional<std::string>("telvora-browser %*"));
    EXPECT_EQ(LookupSubstitute("wmplayer.exe"), std::optional<std::string>("xdg-open %*"));
    EXPECT_EQ(LookupSubstitute("winrar.exe"), std::optional<std::string>("telvora-extract %@"));
    EXPECT_EQ(LookupSubstitute("notepad.exe"), std::nullopt);
    EXPECT_EQ(LookupSubstitute(""), std::nullopt);
    SetSubstitute("WinRAR.exe", "unrar-free %@");
    EXPECT_EQ(LookupSubstitute("winrar.EXE"), std::optional<std::string>("unrar-free %@"));
}

TEST_F(StartPlanTest, ApplicationNameIsTheProgramAndTheFirstTokenIsSkipped) {
    const std::string prog = MakeFile(Work("a b/x.exe"));
    CStartPlan plan;
    ASSERT_TRUE(PlanStart("W:\\a b\\x.exe", "whatever.exe 1 \"2 3\"", {m_tools}, &plan));
    EXPECT_EQ(plan.argv, Args({prog, "1", "2 3"}));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(PlanStart("", "x", {m_tools}, &plan));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(ShowStateNameTest, UsesTheWindowServiceValues) {
    STARTUPINFO si = {};
    si.cb = sizeof si;
    EXPECT_EQ(ShowStateName(nullptr), "normal");
    si.wShowWindow = SW_HIDE;
    EXPECT_EQ(ShowStateName(&si), "normal");  // not asked for
    si.dwFlags = STARTF_USESHOWWINDOW;
    EXPECT_EQ(ShowStateName(&si), "hidden");
    si.wShowWindow = SW_SHOWMAXIMIZED;
    EXPECT_EQ(ShowStateName(&si), "maximized");
    si.wShowWindow = SW_SHOWNORMAL;
    EXPECT_EQ(ShowStateName(&si), "normal");
    si.wShowWindow = SW_SHOW;
    EXPECT_EQ(ShowStateName(&si), "normal");
    si.wShowWindow = 2;  // SW_SHOWMINIMIZED
    EXPECT_EQ(ShowStateName(&si), "minimized");
}

}  // namespace
