#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/fs/tests/fs_fixture.h"
#include "platform/text/text.h"

namespace {

// Puts a folder's modification time well in the past, so that its first
// scan is settled at once and any later change shows in the time.
void AgeFolder(const std::string& path) {
    struct timespec times[2] = {{946684800, 0}, {946684800, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace

TEST_F(FsServiceTest, DriveLetterAndBothSeparatorsMapToTheTarget) {
    WriteUnix(Work("a/b.txt"), "x");
    EXPECT_EQ(ToUnixPath("W:\\a\\b.txt"), Work("a/b.txt"));
    EXPECT_EQ(ToUnixPath("w:/a/b.txt"), Work("a/b.txt"));
    EXPECT_EQ(ToUnixPath("W:\\\\a\\.\\b.txt"), Work("a/b.txt"));
    EXPECT_EQ(ToUnixPath("W:\\"), m_work);
    EXPECT_EQ(ToUnixPath("W:"), m_work);
}

TEST_F(FsServiceTest, NamesAreFoundWithoutRegardToCaseAndExactNamesWin) {
    WriteUnix(Work("systemInfo/Soft/IE.exe"), "x");
    EXPECT_EQ(ToUnixPath("W:\\SYSTEMINFO\\soft\\ie.EXE"), Work("systemInfo/Soft/IE.exe"));
    EXPECT_EQ(ToUnixPath("W:\\systeminfo\\SOFT"), Work("systemInfo/Soft"));

    std::filesystem::create_directory(Work("Data"));
    std::filesystem::create_directory(Work("data"));
    EXPECT_EQ(ToUnixPath("W:\\data"), Work("data"));
    EXPECT_EQ(ToUnixPath("W:\\Data"), Work("Data"));
    std::string other = ToUnixPath("W:\\DATA").value_or("");
    EXPECT_TRUE(other == Work("Data") || other == Work("data")) << other;
}

TEST_F(FsServiceTest, NamesThatDoNotExistYetAreKeptAsGiven) {
    std::filesystem::create_directory(Work("systemInfo"));
    EXPECT_EQ(ToUnixPath("W:\\SystemInfo\\New\\File.TXT"), Work("systemInfo/New/File.TXT"));
    // A file where a folder is expected: the rest stays as given, later calls fail.
    WriteUnix(Work("plain"), "x");
    EXPECT_EQ(ToUnixPath("W:\\PLAIN\\x"), Work("plain/x"));
}

TEST_F(FsServiceTest, DotDotNeverLeavesTheDrive) {
    std::filesystem::create_directory(Work("a"));
    EXPECT_EQ(ToUnixPath("W:\\a\\..\\b"), Work("b"));
    for (const char* path : {"W:\\..", "W:\\..\\x", "W:\\a\\..\\..\\x", "W:/a/b/../../../etc"}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(ToUnixPath(path)) << path;
        EXPECT_EQ(GetLastError(), ERROR_BAD_PATHNAME) << path;
    }
}

TEST_F(FsServiceTest, BadPathsFailWithAClearError) {
    struct Case {
        std::string path;
        DWORD error;
    } cases[] = {
        {"", ERROR_PATH_NOT_FOUND},
        {"W:\\\xFF\\x", ERROR_INVALID_NAME},  // not GBK
        {"W:\\a\x81", ERROR_INVALID_NAME},    // lead byte cut off
        {"W:\\a*b", ERROR_INVALID_NAME},      // wildcard in a name
        {"W:\\a:b", ERROR_INVALID_NAME},
        {std::string("W:\\a\0b", 6), ERROR_INVALID_NAME},
        {"\\\\server\\share\\x", ERROR_BAD_PATHNAME},
        {"Q:\\x", ERROR_PATH_NOT_FOUND},  // no such drive
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(ToUnixPath(c.path)) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
}

TEST_F(FsServiceTest, GbkNamesAreUtf8OnDisk) {
    const std::string dir = U8(u8"课件");
    WriteUnix(Work(dir + "/a.txt"), "x");
    EXPECT_EQ(ToUnixPath("W:\\课件\\A.TXT"), Work(dir + "/a.txt"));
    EXPECT_EQ(ToWindowsPath(Work(dir + "/a.txt")), "W:\\课件\\a.txt");
    // The trail byte of this character is '\': still one name.
    const std::string tricky = "\x95\x5C";
    EXPECT_EQ(ToUnixPath("W:\\" + tricky + "\\x"), Work(text::GbkToUtf8(tricky) + "/x"));
    // A name that GBK can't hold reads with '?' in its place.
    EXPECT_EQ(ToWindowsPath(Work("x\xF0\x9F\x98\x80y")), "W:\\x?y");
}

TEST_F(FsServiceTest, UnixPathsMapBackThroughTheLongestDriveTarget) {
    std::filesystem::create_directories(Work("sub/x"));
    EXPECT_EQ(ToWindowsPath("/usr/bin"), "C:\\usr\\bin");
    EXPECT_EQ(ToWindowsPath(Work("sub/x")), "W:\\sub\\x");
    ASSERT_TRUE(SetDriveTarget('v', Work("sub"), false));
    EXPECT_EQ(ToWindowsPath(Work("sub/x")), "V:\\x");
    EXPECT_EQ(ToWindowsPath(Work("sub")), "V:\\");
    EXPECT_EQ(ToWindowsPath(Work("sub/../other")), "W:\\other");
    EXPECT_EQ(ToWindowsPath("/"), "C:\\");
    EXPECT_FALSE(ToWindowsPath(""));
}

TEST_F(FsServiceTest, RelativePathsUseTheCurrentFolder) {
    std::filesystem::create_directories(Work("a/b"));
    ASSERT_TRUE(SetCurrentDirectory("w:\\a"));
    EXPECT_EQ(GetCurrentDirectory(), "W:\\a");
    EXPECT_EQ(ToUnixPath("b\\f.txt"), Work("a/b/f.txt"));
    EXPECT_EQ(ToUnixPath("..\\c"), Work("c"));
    EXPECT_EQ(ToUnixPath("\\root.txt"), Work("root.txt"));
    EXPECT_EQ(ToUnixPath("W:z"), Work("a/z"));  // same drive: relative to the current folder
    EXPECT_EQ(ToUnixPath("C:etc"), "/etc");     // another drive: its root
    EXPECT_FALSE(ToUnixPath("..\\..\\x"));      // still not above the root
    ASSERT_TRUE(SetCurrentDirectory("B"));
    EXPECT_EQ(GetCurrentDirectory(), "W:\\a\\B");  // as given; found without regard to case
    WriteUnix(Work("file"), "x");
    EXPECT_FALSE(SetCurrentDirectory("W:\\file"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(SetCurrentDirectory("W:\\missing"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetCurrentDirectory(), "W:\\a\\B");
}

TEST_F(FsServiceTest, LookupSeesChangesMadeByOthers) {
    WriteUnix(Work("dir/Alpha.txt"), "x");
    AgeFolder(Work("dir"));
    EXPECT_EQ(ToUnixPath("W:\\dir\\ALPHA.txt"), Work("dir/Alpha.txt"));
    ASSERT_EQ(std::rename(Work("dir/Alpha.txt").c_str(), Work("dir/aLPHA.TXT").c_str()), 0);
    EXPECT_EQ(ToUnixPath("W:\\dir\\alpha.txt"), Work("dir/aLPHA.TXT"));
    AgeFolder(Work("dir"));
    EXPECT_EQ(ToUnixPath("W:\\dir\\BETA.txt"), Work("dir/BETA.txt"));  // not there yet
    WriteUnix(Work("dir/beta.TXT"), "y");
    EXPECT_EQ(ToUnixPath("W:\\dir\\BETA.txt"), Work("dir/beta.TXT"));
}

TEST_F(FsServiceTest, LookupsInALargeFolderDoNotScanItEachTime) {
    std::filesystem::create_directory(Work("big"));
    for (int i = 0; i < 1000; ++i)
        WriteUnix(Work("big/File" + std::to_string(i) + ".htm"), "");
    AgeFolder(Work("big"));
    std::uint64_t before = FolderScanCount();
    for (int i = 0; i < 1000; ++i) {
        std::string n = std::to_string(i);
        ASSERT_EQ(ToUnixPath("W:\\big\\file" + n + ".HTM"), Work("big/File" + n + ".htm"));
    }
    EXPECT_EQ(FolderScanCount() - before, 1u);

    // Writing new files through the system keeps the index current.
    WriteUnix(Work("src.txt"), "data");
    before = FolderScanCount();
    for (int i = 0; i < 200; ++i) {
        std::string n = std::to_string(i);
        ASSERT_TRUE(CopyFile("W:\\src.txt", "W:\\big\\New" + n + ".txt", false));
        ASSERT_TRUE(CreateDirectory("W:\\big\\Dir" + n));
        ASSERT_EQ(ToUnixPath("W:\\big\\NEW" + n + ".TXT"), Work("big/New" + n + ".txt"));
    }
    ASSERT_TRUE(DeleteFile("W:\\big\\new0.txt"));
    EXPECT_EQ(ToUnixPath("W:\\big\\NEW0.TXT"), Work("big/NEW0.TXT"));
    EXPECT_LE(FolderScanCount() - before, 1u);
}

TEST_F(FsServiceTest, DanglingDriveFailsClearly) {
    ASSERT_TRUE(SetDriveTarget('g', m_root + "/nowhere", false));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(ToUnixPath("G:\\setup.ini"));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_FALSE(ToUnixPath("G:\\"));
    EXPECT_FALSE(FileExists("G:\\setup.ini"));
    CFile f;
    EXPECT_FALSE(f.Open("G:\\setup.ini", CFile::modeRead));
    CFileFind find;
    EXPECT_FALSE(find.FindFile("G:\\*.*"));
    EXPECT_FALSE(SetCurrentDirectory("G:\\"));
}

TEST_F(FsServiceTest, LookupsFromSeveralThreadsWhileTheFolderGrows) {
    for (int i = 0; i < 200; ++i)
        WriteUnix(Work("shared/Old" + std::to_string(i) + ".txt"), "");
    WriteUnix(Work("src.txt"), "x");
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                for (int i = t; i < 200; i += 4) {
                    std::string n = std::to_string(i);
                    if (ToUnixPath("W:\\SHARED\\old" + n + ".TXT") !=
                        Work("shared/Old" + n + ".txt"))
                        ++wrong;
                }
            }
        });
    }
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(CopyFile("W:\\src.txt", "W:\\shared\\New" + std::to_string(i) + ".txt", true));
    for (std::thread& t : readers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    for (int i = 0; i < 100; ++i) {
        std::string n = std::to_string(i);
        EXPECT_EQ(ToUnixPath("W:\\shared\\NEW" + n + ".txt"), Work("shared/New" + n + ".txt"));
    }
}
