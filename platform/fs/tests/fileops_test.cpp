#include <fcntl.h>
#include <sys/stat.h>

#include "platform/fs/tests/fs_fixture.h"

namespace {

std::int64_t MtimeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

}  // namespace

TEST_F(FsServiceTest, AttributesFollowTheOwnersWritePermission) {
    WriteUnix(Work("a.txt"), "x");
    std::filesystem::create_directory(Work("dir"));
    EXPECT_EQ(GetFileAttributes("W:\\A.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributes("W:\\dir"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    ASSERT_TRUE(SetFileAttributes("W:\\a.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributes("W:\\a.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ModeOf(Work("a.txt")) & 0222, 0u);
    ASSERT_TRUE(SetFileAttributes("W:\\a.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_NE(ModeOf(Work("a.txt")) & S_IWUSR, 0u);

    // A read-only folder still takes new files, as on the original system.
    ASSERT_TRUE(SetFileAttributes("W:\\dir", FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(ModeOf(Work("dir")) & S_IWUSR, 0u);

    EXPECT_EQ(GetFileAttributes("W:\\missing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetFileAttributes("W:\\missing", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(SetFileAttributes("W:\\a.txt", INVALID_FILE_ATTRIBUTES));
}

TEST_F(FsServiceTest, CopyFileCopiesContentTimeAndReadOnly) {
    std::string content(300000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    WriteUnix(Work("src.bin"), content);
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Work("src.bin").c_str(), old, 0), 0);

    ASSERT_TRUE(CopyFile("W:\\SRC.BIN", "W:\\copy.bin", true));
    EXPECT_EQ(ReadUnix(Work("copy.bin")), content);
    EXPECT_EQ(MtimeOf(Work("copy.bin")), 1000000000);

    EXPECT_FALSE(CopyFile("W:\\src.bin", "W:\\COPY.BIN", true));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    WriteUnix(Work("copy.bin"), "other");
    ASSERT_TRUE(CopyFile("W:\\src.bin", "W:\\COPY.BIN", false));  // replaces the existing name
    EXPECT_EQ(ReadUnix(Work("copy.bin")), content);
    EXPECT_FALSE(ExistsUnix(Work("COPY.BIN")));

    // A read-only source (a disc) gives a read-only copy.
    ASSERT_TRUE(SetFileAttributes("W:\\src.bin", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CopyFile("W:\\src.bin", "W:\\ro.bin", false));
    EXPECT_EQ(GetFileAttributes("W:\\ro.bin"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CopyFile("W:\\src.bin", "W:\\copy.bin", false));
    EXPECT_EQ(GetFileAttributes("W:\\copy.bin"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(FsServiceTest, AReadOnlyDestinationIsNotReplaced) {
    WriteUnix(Work("new.htm"), "new");
    WriteUnix(Work("old.htm"), "old");
    ASSERT_TRUE(SetFileAttributes("W:\\old.htm", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(CopyFile("W:\\new.htm", "W:\\old.htm", false));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadUnix(Work("old.htm")), "old");
    ASSERT_TRUE(SetFileAttributes("W:\\old.htm", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(CopyFile("W:\\new.htm", "W:\\old.htm", false));
    EXPECT_EQ(ReadUnix(Work("old.htm")), "new");
}

TEST_F(FsServiceTest, CopyFileFailuresLeaveNothingBehind) {
    WriteUnix(Work("a.txt"), "precious");
    EXPECT_FALSE(CopyFile("W:\\a.txt", "W:\\A.TXT", false));  // the same file
    EXPECT_EQ(ReadUnix(Work("a.txt")), "precious");

    EXPECT_FALSE(CopyFile("W:\\missing.txt", "W:\\b.txt", false));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(ExistsUnix(Work("b.txt")));

    EXPECT_FALSE(CopyFile("W:\\a.txt", "W:\\nofolder\\b.txt", false));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    std::filesystem::create_directory(Work("dir"));
    EXPECT_FALSE(CopyFile("W:\\dir", "W:\\c.txt", false));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFile("W:\\a.txt", "W:\\dir", false));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(ExistsUnix(Work("c.txt")));
}

TEST_F(FsServiceTest, MoveFileNeverReplaces) {
    WriteUnix(Work("a.txt"), "a");
    WriteUnix(Work("c.txt"), "c");
    ASSERT_TRUE(MoveFile("W:\\A.txt", "W:\\b.txt"));
    EXPECT_FALSE(ExistsUnix(Work("a.txt")));
    EXPECT_EQ(ReadUnix(Work("b.txt")), "a");

    EXPECT_FALSE(MoveFile("W:\\c.txt", "W:\\B.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadUnix(Work("b.txt")), "a");
    EXPECT_EQ(ReadUnix(Work("c.txt")), "c");

    // Only the letter case changes.
    ASSERT_TRUE(MoveFile("W:\\b.txt", "W:\\B.TXT"));
    EXPECT_EQ(ReadUnix(Work("B.TXT")), "a");
    EXPECT_FALSE(ExistsUnix(Work("b.txt")));

    std::filesystem::create_directories(Work("dir/sub"));
    ASSERT_TRUE(MoveFile("W:\\dir", "W:\\moved"));
    EXPECT_TRUE(ExistsUnix(Work("moved/sub")));

    EXPECT_FALSE(MoveFile("W:\\missing", "W:\\x"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(MoveFile("W:\\c.txt", "W:\\nofolder\\c.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FsServiceTest, ReplaceFilePutsTheNewFileInPlaceOfAnExistingOne) {
    WriteUnix(Work("page.htm"), "old");
    WriteUnix(Work("temp.htm"), "new");
    ASSERT_TRUE(ReplaceFile("W:\\temp.htm", "W:\\PAGE.htm"));
    EXPECT_EQ(ReadUnix(Work("page.htm")), "new");
    EXPECT_FALSE(ExistsUnix(Work("temp.htm")));

    // A read-only target is replaced too; a missing source changes nothing.
    WriteUnix(Work("temp.htm"), "newer");
    ASSERT_TRUE(SetFileAttributes("W:\\page.htm", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(ReplaceFile("W:\\temp.htm", "W:\\page.htm"));
    EXPECT_EQ(ReadUnix(Work("page.htm")), "newer");
    EXPECT_FALSE(ReplaceFile("W:\\temp.htm", "W:\\page.htm"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadUnix(Work("page.htm")), "newer");

    // A folder is never replaced by a file.
    WriteUnix(Work("f.txt"), "f");
    std::filesystem::create_directories(Work("dir"));
    EXPECT_FALSE(ReplaceFile("W:\\f.txt", "W:\\dir"));
    EXPECT_EQ(ReadUnix(Work("f.txt")), "f");
}

TEST_F(FsServiceTest, DeleteFileRefusesReadOnlyFilesUntilMadeNormal) {
    WriteUnix(Work("items.vbs"), "x");
    ASSERT_TRUE(SetFileAttributes("W:\\items.vbs", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFile("W:\\items.vbs"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ExistsUnix(Work("items.vbs")));
    ASSERT_TRUE(SetFileAttributes("W:\\items.vbs", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFile("W:\\ITEMS.VBS"));
    EXPECT_FALSE(ExistsUnix(Work("items.vbs")));

    EXPECT_FALSE(DeleteFile("W:\\items.vbs"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    std::filesystem::create_directory(Work("dir"));
    EXPECT_FALSE(DeleteFile("W:\\dir"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FsServiceTest, FoldersAreCreatedOnceAndRemovedWhenEmpty) {
    EXPECT_FALSE(FileExists("W:\\Course"));
    ASSERT_TRUE(CreateDirectory("W:\\Course"));
    EXPECT_TRUE(FileExists("W:\\course"));
    EXPECT_FALSE(CreateDirectory("W:\\COURSE"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectory("W:\\a\\b"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    WriteUnix(Work("Course/f.txt"), "x");
    EXPECT_FALSE(RemoveDirectory("W:\\course"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectory("W:\\course\\f.txt"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    std::filesystem::remove(Work("Course/f.txt"));
    EXPECT_TRUE(RemoveDirectory("W:\\course"));
    EXPECT_FALSE(ExistsUnix(Work("Course")));
}

TEST_F(FsServiceTest, DeleteTreeSilentlyRemovesReadOnlyContentButNothingOutside) {
    WriteUnix(Work("outside/keep.txt"), "keep");
    WriteUnix(Work("tree/a/b/deep.txt"), "x");
    WriteUnix(Work("tree/ro.txt"), "x");
    std::filesystem::create_symlink(Work("outside"), Work("tree/a/link"));
    std::filesystem::create_symlink(Work("outside/keep.txt"), Work("tree/filelink"));
    ASSERT_TRUE(SetFileAttributes("W:\\tree\\ro.txt", FILE_ATTRIBUTE_READONLY));
    chmod(Work("tree/a/b").c_str(), 0500);

    EXPECT_TRUE(DeleteTreeSilently("W:\\TREE"));
    EXPECT_FALSE(ExistsUnix(Work("tree")));
    EXPECT_EQ(ReadUnix(Work("outside/keep.txt")), "keep");

    EXPECT_TRUE(DeleteTreeSilently("W:\\tree"));  // nothing there: nothing left
    WriteUnix(Work("single.txt"), "x");
    ASSERT_TRUE(SetFileAttributes("W:\\single.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteTreeSilently("W:\\single.txt"));
    EXPECT_FALSE(ExistsUnix(Work("single.txt")));

    // Never a drive's root.
    EXPECT_FALSE(DeleteTreeSilently("W:\\"));
    EXPECT_FALSE(DeleteTreeSilently("C:\\"));
    EXPECT_TRUE(ExistsUnix(Work("outside/keep.txt")));
}
