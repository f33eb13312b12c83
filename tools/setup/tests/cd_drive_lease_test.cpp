#include "tools/setup/cd_drive_lease.h"

#include <gtest/gtest.h>

#include "common/cd_drive.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "tools/setup/tests/setup_fixture.h"

namespace {

class CdDriveLeaseTest : public SetupTest {
protected:
    std::string Folder(const std::string& name) {
        std::filesystem::create_directories(m_root + "/" + name);
        return m_root + "/" + name;
    }
    static std::optional<std::string> DriveKind(char letter) {
        return RegGetString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives",
                            std::string(1, letter) + ":");
    }
};

TEST_F(CdDriveLeaseTest, MapsAFolderOnTheFirstFreeLetterForTheRun) {
    const std::string cd = Folder("cd1");
    {
        CCdDriveLease lease;
        std::string root, error;
        ASSERT_TRUE(lease.MapFolder(cd, 0, &root, &error)) << error;
        EXPECT_EQ(root, "D:\\");
        EXPECT_EQ(FindCdDrive(), "D:\\");
        EXPECT_EQ(DriveTarget('d').value_or(""), cd);
        // Something during the run points the letter elsewhere.
        ASSERT_TRUE(SetDriveTarget('d', Folder("cd2"), true));
    }
    EXPECT_FALSE(DriveTarget('d').has_value());
    EXPECT_FALSE(DriveKind('d').has_value());
}

TEST_F(CdDriveLeaseTest, ReusesTheCdRomDriveAndPutsItsDiscBack) {
    const std::string disc = Folder("disc");
    ASSERT_TRUE(SetDriveTarget('f', disc, true));
    CCdDriveLease lease;
    std::string root, error;
    ASSERT_TRUE(lease.MapFolder(Folder("cd1"), 0, &root, &error)) << error;
    EXPECT_EQ(root, "F:\\");
    lease.Restore();
    EXPECT_EQ(DriveTarget('f').value_or(""), disc);
    EXPECT_EQ(DriveKind('f').value_or(""), "cdrom");
}

TEST_F(CdDriveLeaseTest, RefusesALetterTheInstallerWouldNotRead) {
    ASSERT_TRUE(SetDriveTarget('d', Folder("other"), true));
    CCdDriveLease lease;
    std::string root, error;
    EXPECT_FALSE(lease.MapFolder(Folder("cd1"), 'E', &root, &error));
    EXPECT_NE(error.find("D:"), std::string::npos) << error;
    EXPECT_FALSE(DriveTarget('e').has_value());  // put back at once

    EXPECT_FALSE(lease.MapFolder(m_root + "/missing", 0, &root, &error));
    EXPECT_FALSE(lease.UseDrive('C', false, &root, &error));  // not a CD-ROM drive
    EXPECT_FALSE(lease.UseDrive('E', false, &root, &error));  // no drive at all
    ASSERT_TRUE(lease.UseDrive('D', false, &root, &error)) << error;
    EXPECT_EQ(root, "D:\\");
}

}  // namespace
