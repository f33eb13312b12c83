#include "tools/setup/next_cd_watch.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/program_codes.h"
#include "platform/fs/fs.h"
#include "tools/setup/tests/setup_fixture.h"

namespace {

class NextCdWatchTest : public SetupTest {
protected:
    void TearDown() override {
        unsetenv(kAnnounceVariable);
        SetupTest::TearDown();
    }
    // Announces as an installer run started with this watch would.
    static void AnnounceTo(const CNextCdWatch& watch, const std::string& line) {
        setenv(kAnnounceVariable, watch.Environment().value.c_str(), 1);
        Announce(line);
    }
};

TEST_F(NextCdWatchTest, InsertsTheNextCdWhenThePromptIsAnnounced) {
    const std::string cd2 = m_root + "/cd2";
    std::filesystem::create_directories(cd2);
    CNextCdWatch watch('E', cd2);
    ASSERT_TRUE(watch.Start());
    EXPECT_EQ(watch.Environment().name, "TELVORA_ANNOUNCE");
    AnnounceTo(watch, "progress 40");
    EXPECT_FALSE(watch.WaitInserted(0));
    AnnounceTo(watch, kCdPromptAnnouncement);
    ASSERT_TRUE(watch.WaitInserted(10000));
    EXPECT_EQ(DriveTarget('e').value_or(""), cd2);
    EXPECT_EQ(GetDriveType("E:\\"), static_cast<UINT>(DRIVE_CDROM));
}

TEST_F(NextCdWatchTest, AnAnnouncementMadeBeforeTheStopIsActedOn) {
    CNextCdWatch watch('E', m_root);
    ASSERT_TRUE(watch.Start());
    AnnounceTo(watch, kCdPromptAnnouncement);
    watch.Stop();
    EXPECT_TRUE(watch.Inserted());
    EXPECT_TRUE(DriveTarget('e').has_value());
}

TEST_F(NextCdWatchTest, NothingIsInsertedWithoutThePromptOrForAnEarlierRun) {
    CNextCdWatch earlier('E', m_root);
    ASSERT_TRUE(earlier.Start());
    const EnvChange stale = earlier.Environment();
    earlier.Stop();
    EXPECT_FALSE(earlier.Inserted());

    // A new run has an inbox of its own: the earlier run's name reaches nothing.
    CNextCdWatch watch('E', m_root);
    ASSERT_TRUE(watch.Start());
    EXPECT_NE(watch.Environment().value, stale.value);
    setenv(kAnnounceVariable, stale.value.c_str(), 1);
    Announce(kCdPromptAnnouncement);
    AnnounceTo(watch, "cd-prompt later");
    watch.Stop();
    EXPECT_FALSE(watch.Inserted());
    EXPECT_FALSE(DriveTarget('e').has_value());
}

}  // namespace
