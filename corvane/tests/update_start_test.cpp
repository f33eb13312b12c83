// The course data an update starts from, as PutInfo splits it.
#include <gtest/gtest.h>

#include "corvane/corvane_ctrl.h"
#include "corvane/corvane_resources.h"

namespace {

class UpdateStartTest : public ::testing::Test {
protected:
    UpdateStartTest() : m_module({}, CorvaneStrings()), m_control(new CCorvaneCtrl(m_module)) {
        m_control->AddRef();
    }
    ~UpdateStartTest() override { m_control->Release(); }

    com::CComModule m_module;
    CCorvaneCtrl* m_control;
};

TEST_F(UpdateStartTest, PutInfoSplitsTheCourseFolderAtItsLastBackslash) {
    EXPECT_EQ(m_control->PutInfo("20040301", "D:\\courses\\physics1", FALSE), TRUE);
    EXPECT_EQ(m_control->FileName(), "physics1");
    EXPECT_EQ(m_control->FilePath(), "D:\\courses\\");
    EXPECT_EQ(m_control->VersNumber(), "20040301");
    EXPECT_EQ(m_control->ShowWindowMode(), FALSE);

    // An empty version is "0"; a trailing backslash leaves no name.
    EXPECT_EQ(m_control->PutInfo("", "D:\\courses\\", 7), TRUE);
    EXPECT_EQ(m_control->VersNumber(), "0");
    EXPECT_EQ(m_control->FileName(), "");
    EXPECT_EQ(m_control->FilePath(), "D:\\courses\\");
    EXPECT_EQ(m_control->ShowWindowMode(), 7);

    // No backslash at all, and an empty path.
    EXPECT_EQ(m_control->PutInfo("1", "physics1", TRUE), TRUE);
    EXPECT_EQ(m_control->FileName(), "physics1");
    EXPECT_EQ(m_control->FilePath(), "");
    EXPECT_EQ(m_control->PutInfo("1", "", TRUE), TRUE);
    EXPECT_EQ(m_control->FileName(), "");
    EXPECT_EQ(m_control->FilePath(), "");
}

TEST_F(UpdateStartTest, ABackslashInsideADoubleByteCharacterIsNoSeparator) {
    // "\x95\x5C" is one GBK character whose trail byte looks like a
    // backslash.
    const std::string path = "D:\\课件\\\x95\x5C表";
    EXPECT_EQ(m_control->PutInfo("1", path, TRUE), TRUE);
    EXPECT_EQ(m_control->FileName(), "\x95\x5C表");
    EXPECT_EQ(m_control->FilePath(), "D:\\课件\\");
}

}  // namespace
