#include <unistd.h>

#include "platform/fs/mount_table.h"
#include "platform/fs/tests/fs_fixture.h"
#include "platform/registry/registry.h"

namespace {

constexpr DWORD Bit(char letter) {
    return DWORD{1} << (letter - 'a');
}

}  // namespace

TEST_F(FsServiceTest, NewPrefixSeesTheUnixTreeAsC) {
    EXPECT_EQ(DriveTarget('c'), "/");
    EXPECT_EQ(DriveTarget('W'), m_work);
    DWORD mask = GetLogicalDrives();
    EXPECT_EQ(mask, Bit('c') | Bit('w'));
    EXPECT_EQ(GetDriveType("W:\\"), static_cast<UINT>(DRIVE_FIXED));
    for (const char* root : {"W", "w:", "W:/", "w:\\"})
        EXPECT_EQ(GetDriveType(root), static_cast<UINT>(DRIVE_FIXED)) << root;
    EXPECT_EQ(GetDriveType("W:\\x"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_EQ(GetDriveType("1:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

// Looking at a prefix that is not there shows what a new one would hold and
// leaves the disk as it was; the first write makes it. A prefix that can't
// be made is told.
TEST_F(FsServiceTest, APrefixIsMadeByItsFirstWriterOnly) {
    const std::string prefix = m_root + "/later/prefix";
    setenv("TELVORA_PREFIX", prefix.c_str(), 1);
    EXPECT_EQ(DriveTarget('c'), "/");
    EXPECT_FALSE(DriveTarget('w'));
    EXPECT_EQ(GetLogicalDrives(), Bit('c'));
    EXPECT_EQ(GetDriveType("C:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_FALSE(RegGetString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives", "c:"));
    EXPECT_FALSE(std::filesystem::exists(m_root + "/later"));

    ASSERT_TRUE(SetDriveTarget('w', m_work, false));
    EXPECT_EQ(DriveTarget('w'), m_work);
    EXPECT_EQ(DriveTarget('c'), "/");
    EXPECT_TRUE(std::filesystem::is_symlink(prefix + "/drives/c:"));

    WriteUnix(m_root + "/file", "");
    setenv("TELVORA_PREFIX", (m_root + "/file/prefix").c_str(), 1);
    EXPECT_FALSE(DriveTableUsable());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(SetDriveTarget('w', m_work, false));
    EXPECT_FALSE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora", "x", "y"));
}

TEST_F(FsServiceTest, TheRegistryDecidesADrivesType) {
    std::filesystem::create_directory(Work("disc"));
    ASSERT_TRUE(SetDriveTarget('e', Work("disc"), true));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives", "e:"), "cdrom");
    EXPECT_EQ(GetDriveType("E:\\"), static_cast<UINT>(DRIVE_CDROM));

    // The same letter reused for a plain folder is no CD-ROM drive any more.
    ASSERT_TRUE(SetDriveTarget('e', Work("disc"), false));
    EXPECT_FALSE(RegGetString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives", "e:"));
    EXPECT_EQ(GetDriveType("E:\\"), static_cast<UINT>(DRIVE_FIXED));

    struct Case {
        const char* value;
        UINT type;
    } cases[] = {{"network", DRIVE_REMOTE},  {"floppy", DRIVE_REMOVABLE},
                 {"ramdisk", DRIVE_RAMDISK}, {"hd", DRIVE_FIXED},
                 {"CDROM", DRIVE_CDROM},     {"something", DRIVE_FIXED}};
    for (const Case& c : cases) {
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives", "e:", c.value));
        EXPECT_EQ(GetDriveType("e:"), c.type) << c.value;
    }
}

TEST_F(FsServiceTest, MissingAndDanglingLetters) {
    EXPECT_EQ(GetDriveType("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_FALSE(DriveTarget('q'));

    // A CD-ROM drive whose disc folder is gone still names a letter.
    ASSERT_TRUE(SetDriveTarget('g', m_root + "/nowhere", true));
    EXPECT_TRUE(GetLogicalDrives() & Bit('g'));
    EXPECT_EQ(GetDriveType("G:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    EXPECT_EQ(DriveTarget('g'), m_root + "/nowhere");

    ASSERT_TRUE(RemoveDrive('G'));
    EXPECT_FALSE(GetLogicalDrives() & Bit('g'));
    // The letter's kind stays recorded for when a disc comes back.
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Drives", "g:"), "cdrom");
    EXPECT_FALSE(RemoveDrive('g'));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DRIVE);
}

TEST_F(FsServiceTest, SetDriveTargetChecksItsArguments) {
    EXPECT_FALSE(SetDriveTarget('1', m_work, false));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetDriveTarget('h', "", false));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // A relative folder is taken from the working folder, not from drives/.
    ASSERT_EQ(chdir(m_root.c_str()), 0);
    ASSERT_TRUE(SetDriveTarget('H', "work/", false));
    EXPECT_EQ(DriveTarget('h'), m_work);
    // Replacing an entry points it elsewhere.
    ASSERT_TRUE(SetDriveTarget('h', "/usr", false));
    EXPECT_EQ(DriveTarget('h'), "/usr");
}

TEST_F(FsServiceTest, MountedDiscsAppearOnFreeLettersFromD) {
    for (const char* d : {"disc1", "disc 2", "disc3", "elsewhere"})
        std::filesystem::create_directory(Work(d));
    WriteUnix(Work("disc1/setup.ini"), "[setup]");
    ASSERT_TRUE(SetDriveTarget('d', Work("elsewhere"), false));
    ASSERT_TRUE(SetDriveTarget('e', Work("disc3"), false));  // reaches disc3
    std::string mounts = m_root + "/mounts";
    WriteUnix(mounts,
              "proc /proc proc rw 0 0\n"
              "/dev/sr0 " +
                  Work("disc1") +
                  " iso9660 ro,nosuid 0 0\n"
                  "/dev/sr1 " +
                  m_work +
                  "/disc\\0402 udf ro 0 0\n"
                  "/dev/sr2 " +
                  Work("disc3") +
                  " iso9660 ro 0 0\n"
                  "garbage\n");
    setenv("TELVORA_MOUNTS_FILE", mounts.c_str(), 1);

    DWORD mask = GetLogicalDrives();
    EXPECT_EQ(mask, Bit('c') | Bit('d') | Bit('e') | Bit('f') | Bit('g') | Bit('w'));
    EXPECT_EQ(GetDriveType("F:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveType("G:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveType("E:\\"), static_cast<UINT>(DRIVE_FIXED));  // its own entry decides
    EXPECT_EQ(DriveTarget('f'), Work("disc1"));
    EXPECT_EQ(DriveTarget('g'), Work("disc 2"));
    EXPECT_EQ(ToUnixPath("F:\\SETUP.INI"), Work("disc1/setup.ini"));
    EXPECT_EQ(ToWindowsPath(Work("disc1/setup.ini")), "F:\\setup.ini");
    EXPECT_EQ(GetDriveType("H:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));

    // Once an entry takes a disc's letter, the disc moves up.
    ASSERT_TRUE(SetDriveTarget('f', Work("elsewhere"), false));
    EXPECT_EQ(DriveTarget('g'), Work("disc1"));
    EXPECT_EQ(DriveTarget('h'), Work("disc 2"));
}

// The kernel escapes a blank, a tab, a line end and a backslash in a mount
// point; each comes back as it is on disk.
TEST(MountTableTest, EscapedMountPointsAreDecoded) {
    const std::vector<MountEntry> entries = ParseMountTable(
        "/dev/sr0 /media/my\\040disc iso9660 ro 0 0\n"
        "/dev/sr1 /media/a\\011b\\012c\\134d udf ro 0 0\n"
        "\n"
        "/dev/sda1 / ext4 rw 0 0\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].point, "/media/my disc");
    EXPECT_EQ(entries[0].type, "iso9660");
    EXPECT_EQ(entries[1].point, "/media/a\tb\nc\\d");
    EXPECT_EQ(entries[2].point, "/");
    EXPECT_TRUE(ParseMountTable("").empty());
    EXPECT_TRUE(ReadMountTable("/nonexistent/mounts").empty());
}
