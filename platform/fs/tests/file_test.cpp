#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/fs/tests/fs_fixture.h"

namespace {

std::vector<std::string> ReadAllLines(const std::string& winPath) {
    CFile f;
    EXPECT_TRUE(f.Open(winPath, CFile::modeRead));
    std::vector<std::string> lines;
    std::string line;
    while (f.ReadLine(&line))
        lines.push_back(line);
    return lines;
}

// Waits up to ten seconds for one byte on fd.
bool WaitByte(int fd) {
    struct pollfd p = {fd, POLLIN, 0};
    char c;
    return poll(&p, 1, 10000) == 1 && read(fd, &c, 1) == 1;
}

}  // namespace

TEST_F(FsServiceTest, OpenModesCreateTruncateOrKeep) {
    CFile f;
    EXPECT_FALSE(f.Open("W:\\new.txt", CFile::modeRead));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(f.Open("W:\\new.txt", CFile::modeReadExclusive));
    EXPECT_FALSE(f.IsOpen());

    ASSERT_TRUE(f.Open("W:\\new.txt", CFile::modeWrite));
    EXPECT_TRUE(f.WriteString("hello"));
    EXPECT_TRUE(f.Flush());
    EXPECT_EQ(f.Size(), 5);
    f.Close();
    EXPECT_EQ(f.Size(), -1);

    ASSERT_TRUE(f.Open("W:\\NEW.TXT", CFile::modeReadWrite));  // no truncation
    EXPECT_EQ(f.Size(), 5);
    ASSERT_TRUE(f.Open("W:\\other.txt", CFile::modeReadWrite));  // created
    EXPECT_TRUE(ExistsUnix(Work("other.txt")));
    ASSERT_TRUE(f.Open("W:\\new.txt", CFile::modeWrite));  // truncated
    EXPECT_EQ(f.Size(), 0);
    f.Close();

    EXPECT_FALSE(f.Open("W:\\missing\\x.txt", CFile::modeWrite));
    std::filesystem::create_directory(Work("dir"));
    EXPECT_FALSE(f.Open("W:\\dir", CFile::modeRead));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FsServiceTest, ReadOnlyFilesRefuseWriting) {
    WriteUnix(Work("ro.txt"), "keep");
    ASSERT_TRUE(SetFileAttributes("W:\\ro.txt", FILE_ATTRIBUTE_READONLY));
    CFile f;
    EXPECT_FALSE(f.Open("W:\\ro.txt", CFile::modeWrite));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(f.Open("W:\\ro.txt", CFile::modeReadWrite));
    EXPECT_TRUE(f.Open("W:\\ro.txt", CFile::modeRead));
    EXPECT_EQ(ReadUnix(Work("ro.txt")), "keep");
}

TEST_F(FsServiceTest, ClosedFileFailsEveryOperation) {
    CFile f;
    std::string line;
    char buf[4];
    EXPECT_FALSE(f.ReadLine(&line));
    EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
    EXPECT_FALSE(f.Write("x", 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(f.Flush());
}

TEST_F(FsServiceTest, ExclusiveOpenFailsWhileAnyOtherHandleIsOpen) {
    WriteUnix(Work("media.asf"), "data");
    {
        CFile shared;
        ASSERT_TRUE(shared.Open("W:\\media.asf", CFile::modeRead));
        CFile exclusive;
        EXPECT_FALSE(exclusive.Open("W:\\MEDIA.ASF", CFile::modeReadExclusive));
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    int raw = open(Work("media.asf").c_str(), O_WRONLY);
    ASSERT_GE(raw, 0);
    CFile exclusive;
    EXPECT_FALSE(exclusive.Open("W:\\media.asf", CFile::modeReadExclusive));
    close(raw);
    ASSERT_TRUE(exclusive.Open("W:\\media.asf", CFile::modeReadExclusive));
    // The exclusive handle itself counts as open for the next one.
    CFile second;
    EXPECT_FALSE(second.Open("W:\\media.asf", CFile::modeReadExclusive));
    // And it reads like any other handle.
    char buf[8];
    EXPECT_EQ(exclusive.Read(buf, sizeof buf), 4u);
}

TEST_F(FsServiceTest, ExclusiveOpenFailsWhileAnotherProcessHasTheFileOpen) {
    WriteUnix(Work("media.wmv"), "data");
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    std::string path = Work("media.wmv");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = open(path.c_str(), O_RDONLY);
        char c = fd >= 0 ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);  // until the parent has checked
        _exit(0);
    }
    EXPECT_TRUE(WaitByte(ready[0]));
    CFile f;
    EXPECT_FALSE(f.Open("W:\\media.wmv", CFile::modeReadExclusive));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    char c = 'x';
    ASSERT_EQ(write(done[1], &c, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(f.Open("W:\\media.wmv", CFile::modeReadExclusive));
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        close(fd);
}

TEST_F(FsServiceTest, ReadLineStripsLineEndsAndKeepsEverythingElse) {
    WriteUnix(Work("lines.txt"), std::string("one\r\ntwo\n\nthree\rstill\na\0b\nlast", 30));
    std::vector<std::string> expected = {"one", "two", "", "three\rstill", std::string("a\0b", 3),
                                         "last"};
    EXPECT_EQ(ReadAllLines("W:\\lines.txt"), expected);

    WriteUnix(Work("empty.txt"), "");
    EXPECT_TRUE(ReadAllLines("W:\\empty.txt").empty());
    WriteUnix(Work("newline.txt"), "\n");
    EXPECT_EQ(ReadAllLines("W:\\newline.txt"), std::vector<std::string>{""});
    WriteUnix(Work("crlf.txt"), "x\r\n");
    EXPECT_EQ(ReadAllLines("W:\\crlf.txt"), std::vector<std::string>{"x"});

    // Lines far longer than the read-ahead, one ending right at a chunk edge.
    std::string longLine(1 << 20, 'x'), edge((1 << 16) - 2, 'y');
    WriteUnix(Work("long.txt"), longLine + "\r\n" + edge + "\r\n" + "z");
    std::vector<std::string> lines = ReadAllLines("W:\\long.txt");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], longLine);
    EXPECT_EQ(lines[1], edge);
    EXPECT_EQ(lines[2], "z");
}

TEST_F(FsServiceTest, ReadsAndWritesContinueWhereTheLastLineEnded) {
    WriteUnix(Work("mix.txt"), "ab\ncdef\ngh\n");
    CFile f;
    ASSERT_TRUE(f.Open("W:\\mix.txt", CFile::modeReadWrite));
    std::string line;
    ASSERT_TRUE(f.ReadLine(&line));
    char buf[3] = {};
    EXPECT_EQ(f.Read(buf, 2), 2u);
    EXPECT_EQ(std::string(buf, 2), "cd");
    ASSERT_TRUE(f.WriteString("XY"));
    ASSERT_TRUE(f.ReadLine(&line));
    EXPECT_EQ(line, "");
    f.Close();
    EXPECT_EQ(ReadUnix(Work("mix.txt")), "ab\ncdXY\ngh\n");
}

TEST_F(FsServiceTest, GbkFileNamesAreWrittenAsUtf8) {
    ASSERT_TRUE(CreateDirectory("W:\\课件"));
    CFile f;
    ASSERT_TRUE(f.Open("W:\\课件\\说明.txt", CFile::modeWrite));
    ASSERT_TRUE(f.WriteString("化学"));  // contents are bytes as given
    f.Close();
    std::string onDisk = Work(U8(u8"课件") + "/" + U8(u8"说明.txt"));
    EXPECT_EQ(ReadUnix(onDisk), "化学");
}

TEST_F(FsServiceTest, KeptBackWritesArriveWholeAndInOrder) {
    CFile f;
    ASSERT_TRUE(f.Open("W:\\chunks.bin", CFile::modeReadWrite));
    f.SetWriteBuffer(8);
    std::string expected;
    for (int i = 0; i < 10; ++i) {
        std::string chunk(static_cast<std::size_t>(i % 4 + 1), static_cast<char>('a' + i));
        ASSERT_TRUE(f.Write(chunk.data(), chunk.size()));
        expected += chunk;
    }
    // A chunk as large as the buffer goes out at once, after what was kept.
    const std::string large(8, 'Z');
    ASSERT_TRUE(f.Write(large.data(), large.size()));
    expected += large;
    ASSERT_TRUE(f.WriteString("tail"));
    expected += "tail";
    EXPECT_EQ(f.Size(), static_cast<std::int64_t>(expected.size()));  // kept bytes counted
    f.Close();
    EXPECT_EQ(ReadUnix(Work("chunks.bin")), expected);
}

TEST_F(FsServiceTest, AFailedWriteOfKeptBackBytesIsReported) {
    CFile f;
    ASSERT_TRUE(f.Open("W:\\limited.bin", CFile::modeWrite));
    f.SetWriteBuffer(1024);
    ASSERT_TRUE(f.WriteString(std::string(100, 'x')));  // kept back: no error yet
    // A file size limit makes the write out fail, as a full disk would (for
    // root too).
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit tiny = old;
    tiny.rlim_cur = 10;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool committed = f.CommitWrites();
    const DWORD error = GetLastError();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(committed);
    EXPECT_NE(error, ERROR_SUCCESS);
}
