#include <dirent.h>

#include <algorithm>

#include "platform/fs/tests/fs_fixture.h"

namespace {

// Names a search lists, in order.
std::vector<std::string> Listing(const std::string& pattern) {
    std::vector<std::string> names;
    CFileFind find;
    bool more = find.FindFile(pattern);
    while (more) {
        more = find.FindNextFile();
        names.push_back(find.GetFileName());
    }
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

TEST_F(FsServiceTest, FindListsDotsFirstThenTheFileSystemsOrder) {
    WriteUnix(Work("cd/a.txt"), "12345");
    WriteUnix(Work("cd/B.HTM"), "x");
    WriteUnix(Work("cd/noext"), "x");
    std::filesystem::create_directory(Work("cd/sub"));
    std::vector<std::string> expected = {".", ".."};
    DIR* dir = opendir(Work("cd").c_str());
    ASSERT_NE(dir, nullptr);
    while (struct dirent* e = readdir(dir))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            expected.push_back(e->d_name);
    closedir(dir);
    EXPECT_EQ(Listing("W:\\CD\\*.*"), expected);

    CFileFind find;
    ASSERT_TRUE(find.FindFile("W:\\cd\\*.*"));
    int seen = 0;
    bool more = true;
    while (more) {
        more = find.FindNextFile();
        std::string name = find.GetFileName();
        EXPECT_EQ(find.GetFilePath(), "W:\\cd\\" + name);
        EXPECT_EQ(find.IsDots(), name == "." || name == "..");
        EXPECT_EQ(find.IsDirectory(), find.IsDots() || name == "sub") << name;
        if (name == "a.txt") {
            EXPECT_EQ(find.GetLength(), 5u);
        }
        ++seen;
    }
    EXPECT_EQ(seen, 6);
    EXPECT_FALSE(find.FindNextFile());
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
}

TEST_F(FsServiceTest, PatternsMatchWithoutRegardToCase) {
    for (const char* n : {"a.txt", "B.HTM", "noext", "a.asf.txt", "ab.c"})
        WriteUnix(Work(n), "");
    using V = std::vector<std::string>;
    EXPECT_EQ(Sorted(Listing("W:\\*.htm")), V({"B.HTM"}));
    EXPECT_EQ(Sorted(Listing("W:\\?.TXT")), V({"a.txt"}));
    EXPECT_EQ(Sorted(Listing("W:\\a.*")), V({"a.asf.txt", "a.txt"}));
    EXPECT_EQ(Sorted(Listing("W:\\*.txt")), V({"a.asf.txt", "a.txt"}));
    EXPECT_EQ(Sorted(Listing("W:\\*.*")),
              V({".", "..", "B.HTM", "a.asf.txt", "a.txt", "ab.c", "noext"}));
    EXPECT_EQ(Sorted(Listing("W:\\*")), Sorted(Listing("W:\\*.*")));
    EXPECT_EQ(Sorted(Listing("W:\\noext.*")), V({"noext"}));  // "x.*" takes "x" too
    EXPECT_EQ(Sorted(Listing("W:\\*b*")), V({"B.HTM", "ab.c"}));
    // One exact name is looked up, and reported as it is on disk.
    EXPECT_EQ(Listing("W:\\NOEXT"), V({"noext"}));

    CFileFind find;
    EXPECT_FALSE(find.FindFile("W:\\x*"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(find.FindFile("W:\\missing.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(find.FindFile("W:\\nofolder\\*.*"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(find.FindFile("W:\\a*\\*.*"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST_F(FsServiceTest, FindNextFileReportsTheLastEntry) {
    WriteUnix(Work("only.ini"), "");
    CFileFind find;
    ASSERT_TRUE(find.FindFile("W:\\*.ini"));
    EXPECT_EQ(find.GetFileName(), "");  // nothing before the first FindNextFile
    EXPECT_FALSE(find.FindNextFile());  // moved to the last (only) entry
    EXPECT_EQ(find.GetFileName(), "only.ini");
    EXPECT_EQ(find.GetFilePath(), "W:\\only.ini");
    EXPECT_FALSE(find.IsDirectory());
}

TEST_F(FsServiceTest, FindUsesTheCurrentFolderAndReportsReadOnly) {
    WriteUnix(Work("dir/ro.txt"), "");
    ASSERT_TRUE(SetFileAttributes("W:\\dir\\ro.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetCurrentDirectory("W:\\dir"));
    CFileFind find;
    ASSERT_TRUE(find.FindFile("*.txt"));
    find.FindNextFile();
    EXPECT_EQ(find.GetFilePath(), "W:\\dir\\ro.txt");
    EXPECT_TRUE(find.IsReadOnly());
    EXPECT_EQ(Listing("").size(), 3u);  // ".", "..", ro.txt
}

TEST_F(FsServiceTest, FindShowsGbkNames) {
    WriteUnix(Work(U8(u8"课件.htm")), "");
    WriteUnix(Work("x\xF0\x9F\x98\x80.txt"), "");  // outside GBK
    using V = std::vector<std::string>;
    EXPECT_EQ(Listing("W:\\*.HTM"), V({"课件.htm"}));
    EXPECT_EQ(Listing("W:\\??.htm"), V({"课件.htm"}));  // '?' is one whole character
    EXPECT_EQ(Listing("W:\\课*"), V({"课件.htm"}));
    EXPECT_EQ(Listing("W:\\x*.txt"), V({"x?.txt"}));
}
