#include "tools/setup/next_cd_watch.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/fs/fs.h"
#include "tools/setup/tests/setup_fixture.h"

namespace {

const char kPrompt[] = "{\"ev\":\"text\",\"dialog\":138,\"control\":1013,\"text\":\"\\u8bf7\"}\n";

class NextCdWatchTest : public SetupTest {
protected:
    void Append(const std::string& text) {
        std::ofstream out(m_root + "/t.jsonl", std::ios::binary | std::ios::app);
        out << text;
    }
};

TEST_F(NextCdWatchTest, RecognisesThePromptText) {
    EXPECT_TRUE(CNextCdWatch::IsPromptLine(kPrompt));
    EXPECT_FALSE(CNextCdWatch::IsPromptLine(
        "{\"ev\":\"text\",\"dialog\":130,\"control\":1011,\"text\":\"x\"}"));
    EXPECT_FALSE(CNextCdWatch::IsPromptLine("{\"ev\":\"dialog\",\"id\":138,\"op\":\"open\"}"));
    EXPECT_FALSE(CNextCdWatch::IsPromptLine(
        "{\"ev\":\"text\",\"dialog\":1380,\"control\":1013,\"text\":\"x\"}"));
}

TEST_F(NextCdWatchTest, InsertsTheNextCdWhenThePromptShows) {
    const std::string cd2 = m_root + "/cd2";
    std::filesystem::create_directories(cd2);
    Append("{\"ev\":\"dialog\",\"id\":130,\"op\":\"open\"}\n");
    CNextCdWatch watch(m_root + "/t.jsonl", 'E', cd2);
    ASSERT_TRUE(watch.Start());
    Append("{\"ev\":\"progress\",\"dialog\":130,\"control\":1000,\"pos\":100}\n");
    // A line arrives in two writes.
    const std::string prompt = kPrompt;
    Append(prompt.substr(0, 20));
    Append(prompt.substr(20));
    ASSERT_TRUE(watch.WaitInserted(10000));
    EXPECT_EQ(DriveTarget('e').value_or(""), cd2);
    EXPECT_EQ(GetDriveType("E:\\"), static_cast<UINT>(DRIVE_CDROM));
}

TEST_F(NextCdWatchTest, APromptOfAnEarlierRunIsNotActedOn) {
    Append(kPrompt);
    CNextCdWatch watch(m_root + "/t.jsonl", 'E', m_root);
    ASSERT_TRUE(watch.Start());
    Append("{\"ev\":\"exit\",\"program\":\"install\",\"code\":1011}\n");
    watch.Stop();
    EXPECT_FALSE(watch.Inserted());
    EXPECT_FALSE(DriveTarget('e').has_value());

    // No transcript at all: nothing happens either.
    CNextCdWatch none(m_root + "/missing.jsonl", 'E', m_root);
    ASSERT_TRUE(none.Start());
    none.Stop();
    EXPECT_FALSE(none.Inserted());
}

}  // namespace
