#include "tools/setup/installer_watch.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/program_codes.h"
#include "platform/fs/fs.h"
#include "tools/setup/tests/setup_fixture.h"

namespace {

class InstallerWatchTest : public SetupTest {
protected:
    void TearDown() override {
        unsetenv(kAnnounceVariable);
        SetupTest::TearDown();
    }
    // Announces as an installer run started with this watch would.
    static void AnnounceTo(const CInstallerWatch& watch, const std::string& line) {
        setenv(kAnnounceVariable, watch.Environment().value.c_str(), 1);
        Announce(line);
    }
};

TEST_F(InstallerWatchTest, InsertsTheNextCdWhenThePromptIsAnnounced) {
    const std::string cd2 = m_root + "/cd2";
    std::filesystem::create_directories(cd2);
    CInstallerWatch watch('E', cd2, nullptr);
    ASSERT_TRUE(watch.Start());
    EXPECT_EQ(watch.Environment().name, "TELVORA_ANNOUNCE");
    AnnounceTo(watch, "progress 40");
    EXPECT_FALSE(watch.WaitInserted(0));
    AnnounceTo(watch, kCdPromptAnnouncement);
    ASSERT_TRUE(watch.WaitInserted(10000));
    EXPECT_EQ(DriveTarget('e').value_or(""), cd2);
    EXPECT_EQ(GetDriveType("E:\\"), static_cast<UINT>(DRIVE_CDROM));
}

TEST_F(InstallerWatchTest, AnAnnouncementMadeBeforeTheStopIsActedOn) {
    CInstallerWatch watch('E', m_root, nullptr);
    ASSERT_TRUE(watch.Start());
    AnnounceTo(watch, kCdPromptAnnouncement);
    watch.Stop();
    EXPECT_TRUE(watch.Inserted());
    EXPECT_TRUE(DriveTarget('e').has_value());
}

TEST_F(InstallerWatchTest, NothingIsInsertedWithoutThePromptOrForAnEarlierRun) {
    CInstallerWatch earlier('E', m_root, nullptr);
    ASSERT_TRUE(earlier.Start());
    const EnvChange stale = earlier.Environment();
    earlier.Stop();
    EXPECT_FALSE(earlier.Inserted());

    // A new run has an inbox of its own: the earlier run's name reaches nothing.
    CInstallerWatch watch('E', m_root, nullptr);
    ASSERT_TRUE(watch.Start());
    EXPECT_NE(watch.Environment().value, stale.value);
    setenv(kAnnounceVariable, stale.value.c_str(), 1);
    Announce(kCdPromptAnnouncement);
    AnnounceTo(watch, "cd-prompt later");
    watch.Stop();
    EXPECT_FALSE(watch.Inserted());
    EXPECT_FALSE(DriveTarget('e').has_value());
}

TEST_F(InstallerWatchTest, ProgressIsHandedOnAndOtherLinesAreNot) {
    std::vector<std::string> seen;
    CInstallerWatch watch('E', "", [&](int percent, long copied, long total) {
        seen.push_back(std::to_string(percent) + " " + std::to_string(copied) + "/" +
                       std::to_string(total));
    });
    ASSERT_TRUE(watch.Start());
    for (const char* line : {"progress 10 200 2000", "progress 101 1 1", "progress 5 x 9",
                             "progress 50 1000 2000 extra", "cd-prompt", "progress 100 2000 2000"})
        AnnounceTo(watch, line);
    watch.Stop();
    // Without a next CD the prompt inserts nothing and the watch goes on.
    EXPECT_FALSE(watch.Inserted());
    EXPECT_EQ(seen, (std::vector<std::string>{"10 200/2000", "100 2000/2000"}));
}

}  // namespace
