#include "tools/setup/install_runs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tools/setup/tests/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

// Stands in for the installer: each run does what the scripted step says
// to the course folder and returns the status.
class InstallRunsTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        std::string error;
        ASSERT_TRUE(MakeCoursePlace(m_root + "/courses", "", "hx01", &m_place, &error)) << error;
        SetNowCd(1);
        WriteUnix(m_place.unixDir + "/navbar/navbar.htm", "<html>\r\n");
        WriteUnix(m_place.unixDir + "/left/items.vbs",
                  "coursename = \"x\"\r\nstartchapter = 4\r\n");
    }
    void SetNowCd(int n) {
        WriteUnix(m_place.unixDir + "/setup.ini",
                  "courseid=hx01\r\ntotalcd=3\r\nnowcd=" + std::to_string(n) + "\r\n");
    }
    void PatchPages() {
        WriteUnix(m_place.unixDir + "/navbar/navbar.htm",
                  "<html>\r\n<OBJECT id=\"UpDate\" "
                  "classid=\"clsid:742FCBC2-1DA1-40C9-B8CE-7AE456142AD9\" \r\n");
        WriteUnix(m_place.unixDir + "/left/items.vbs", "coursename = \"x\"\r\nstartchapter =1\r\n");
    }
    InstallRunsResult Run(const std::function<int(int cd, const std::string& nextCd)>& installer,
                          std::vector<std::string> nextCds = {}) {
        return RunInstallations(m_place, 3, nextCds, installer,
                                [this](const std::string& s) { m_steps.push_back(s); });
    }
    // A run that copies CD cd: advances the counter, patches on the last CD.
    int GoodRun(int cd) {
        if (cd < 3) {
            SetNowCd(cd + 1);
        } else {
            PatchPages();
        }
        return 243;
    }

    CoursePlace m_place;
    std::vector<std::string> m_steps;
};

TEST_F(InstallRunsTest, RunsOncePerCdUntilTheLastIsPatched) {
    std::vector<std::pair<int, std::string>> runs;
    InstallRunsResult r = Run(
        [&](int cd, const std::string& next) {
            runs.emplace_back(cd, next);
            return GoodRun(cd);
        },
        {"/cd2", "/cd3"});
    EXPECT_EQ(r.outcome, InstallOutcome::Installed) << r.message;
    EXPECT_EQ(r.cdsDone, 3);
    EXPECT_EQ(runs, (std::vector<std::pair<int, std::string>>{{1, "/cd2"}, {2, "/cd3"}, {3, ""}}));
    EXPECT_EQ(ExitStatusOf(r.outcome), 0);
    EXPECT_EQ(m_steps.front(), "installing CD 1 of 3");
}

TEST_F(InstallRunsTest, GivingUpAtThePromptIsAbandoned) {
    // A marker from an earlier attempt does not count.
    WriteUnix(m_place.unixDir + "/systeminfo/fail.txt", "");
    InstallRunsResult r = Run([&](int cd, const std::string&) {
        if (cd == 2) {
            WriteUnix(m_place.unixDir + "/systeminfo/fail.txt", "");
            return 244;
        }
        return GoodRun(cd);
    });
    EXPECT_EQ(r.outcome, InstallOutcome::Abandoned);
    EXPECT_EQ(r.cdsDone, 1);
    EXPECT_NE(r.message.find("CD 3"), std::string::npos) << r.message;
    EXPECT_EQ(ExitStatusOf(r.outcome), 1);
}

TEST_F(InstallRunsTest, FailuresAreToldApart) {
    struct Case {
        int status;
        const char* says;
    } cases[] = {{236, "installasf.txt"}, {240, "setup.ini"},        {241, "registry record"},
                 {139, "signal 11"},      {7, "status 7"},           {-1, "could not be started"},
                 {245, "code 1013"},      {246, "another installer"}};
    for (const Case& c : cases) {
        SetNowCd(1);
        InstallRunsResult r = Run([&](int, const std::string&) { return c.status; });
        EXPECT_EQ(r.outcome, InstallOutcome::Failed) << c.status;
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
        EXPECT_EQ(ExitStatusOf(r.outcome), 2);
    }
}

TEST_F(InstallRunsTest, ANormalEndWithoutProgressIsAFailure) {
    // The worker failed (1009 inside the run): the program still ends with
    // 1011, but the counter did not move.
    int calls = 0;
    InstallRunsResult r = Run([&](int, const std::string&) {
        ++calls;
        return 243;
    });
    EXPECT_EQ(r.outcome, InstallOutcome::Failed);
    EXPECT_EQ(calls, 1);
    EXPECT_NE(r.message.find("without moving on to CD 2"), std::string::npos) << r.message;

    // The last CD ends normally but its pages were not patched.
    SetNowCd(3);
    r = Run([&](int, const std::string&) { return 244; });
    EXPECT_EQ(r.outcome, InstallOutcome::Failed);
    EXPECT_NE(r.message.find("course pages"), std::string::npos) << r.message;
    EXPECT_FALSE(PagesPatched(m_place));
    PatchPages();
    EXPECT_TRUE(PagesPatched(m_place));
    WriteUnix(m_place.unixDir + "/navbar/temp.htm", "left over");
    EXPECT_FALSE(PagesPatched(m_place));
}

TEST_F(InstallRunsTest, AnUnusableCounterStopsAtOnce) {
    for (const char* ini : {"nowcd=0\r\n", "nowcd=4\r\n", "nowcd=x\r\n", "courseid=hx01\r\n"}) {
        WriteUnix(m_place.unixDir + "/setup.ini", ini);
        int calls = 0;
        InstallRunsResult r = Run([&](int, const std::string&) {
            ++calls;
            return 243;
        });
        EXPECT_EQ(r.outcome, InstallOutcome::Failed) << ini;
        EXPECT_EQ(calls, 0) << ini;
    }
    WriteUnix(m_place.unixDir + "/setup.ini", "nowcd = 2 \r\nnowcd=3\r\n");
    EXPECT_EQ(ReadNowCd(m_place), 2);  // the first nowcd line counts, as for the installer
}

}  // namespace
