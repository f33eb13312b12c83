// The server's system calls: addresses, files opened for serving, the lock.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/serverio/server_files.h"
#include "platform/serverio/server_socket.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tv-serverio-XXXXXX").string();
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        m_path = fs::canonical(pattern).string();
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(SocketAddressTest, NumericAddressesRoundTrip) {
    CSocketAddress a;
    ASSERT_TRUE(MakeSocketAddress("127.0.0.2", 8080, &a));
    EXPECT_FALSE(a.ipv6);
    EXPECT_EQ(a.length, sizeof(sockaddr_in));
    EXPECT_EQ(SocketAddressText(a.bytes), "127.0.0.2");
    ASSERT_TRUE(MakeSocketAddress("::1", 0, &a));
    EXPECT_TRUE(a.ipv6);
    EXPECT_EQ(SocketAddressText(a.bytes), "::1");
    // An IPv4 client of an IPv6 socket is named by its IPv4 address.
    ASSERT_TRUE(MakeSocketAddress("::ffff:10.1.2.3", 0, &a));
    EXPECT_EQ(SocketAddressText(a.bytes), "10.1.2.3");
    for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "::g", "256.1.1.1"})
        EXPECT_FALSE(MakeSocketAddress(bad, 80, &a)) << bad;
    EXPECT_FALSE(MakeSocketAddress("127.0.0.1", 65536, &a));
    EXPECT_EQ(SocketAddressText(nullptr), "-");
    EXPECT_GT(RaiseOpenFileLimit(), 0u);
}

TEST(ServedFileTest, OnlyRegularFilesInsideTheFolder) {
    TempDir root, outside;
    Write(root / "a.rar", "archive");
    CServedFile f;
    ASSERT_TRUE(OpenServedFile(root / "a.rar", root.Path(), &f));
    EXPECT_TRUE(f.IsOpen());
    EXPECT_EQ(f.size, 7u);
    EXPECT_GT(f.modifiedSeconds, 0);
    EXPECT_NE(f.inode, 0u);
    char buf[8] = {};
    EXPECT_EQ(pread(f.Descriptor(), buf, sizeof buf, 0), 7);

    // A link inside the folder is followed; one that leaves it is refused,
    // also when it is made after a name was checked.
    fs::create_symlink(root / "a.rar", root / "inside.rar");
    EXPECT_TRUE(OpenServedFile(root / "inside.rar", root.Path(), &f));
    Write(outside / "secret.rar", "secret");
    fs::create_symlink(outside / "secret.rar", root / "out.rar");
    EXPECT_FALSE(OpenServedFile(root / "out.rar", root.Path(), &f));
    EXPECT_FALSE(f.IsOpen());
    // A sibling folder whose name starts like the root's is outside too.
    EXPECT_FALSE(OpenServedFile(outside / "secret.rar", root.Path() + "x", &f));

    EXPECT_FALSE(OpenServedFile(root / "missing.rar", root.Path(), &f));
    EXPECT_FALSE(OpenServedFile(root.Path(), root.Path(), &f));
    // A FIFO is refused at once, not waited on for a writer.
    ASSERT_EQ(mkfifo((root / "fifo.rar").c_str(), 0600), 0);
    EXPECT_FALSE(OpenServedFile(root / "fifo.rar", root.Path(), &f));

    ASSERT_TRUE(OpenServedFile(root / "a.rar", root.Path(), &f));
    const int fd = f.Release();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(close(fd), 0);
}

TEST(FileLockTest, OneHolderAndReleasedWithAKilledProcess) {
    TempDir dir;
    const std::string path = dir / "lock";
    CFileLock first, second;
    bool busy = false;
    std::string error;
    ASSERT_TRUE(first.TryAcquire(path, &busy, &error)) << error;
    EXPECT_FALSE(second.TryAcquire(path, &busy, &error));
    EXPECT_TRUE(busy);
    first.Release();
    ASSERT_TRUE(second.TryAcquire(path, &busy, &error));
    second.Release();

    // A holder killed while it holds the lock leaves it free.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CFileLock held;
        bool b = false;
        std::string e;
        const char ok = held.TryAcquire(path, &b, &e) ? 1 : 0;
        if (write(ready[1], &ok, 1) != 1)
            _exit(2);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);
    EXPECT_FALSE(first.TryAcquire(path, &busy, &error));
    EXPECT_TRUE(busy);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(first.TryAcquire(path, &busy, &error)) << error;
    close(ready[0]);
    close(ready[1]);

    // Never through a link, never on a folder.
    fs::create_symlink(dir / "elsewhere", dir / "link");
    EXPECT_FALSE(second.TryAcquire(dir / "link", &busy, &error));
    EXPECT_FALSE(busy);
    EXPECT_FALSE(fs::exists(dir / "elsewhere"));
    EXPECT_FALSE(second.TryAcquire(dir.Path(), &busy, &error));
    EXPECT_TRUE(SyncToDisk(path));
    EXPECT_TRUE(SyncToDisk(dir.Path()));
    EXPECT_FALSE(SyncToDisk(dir / "missing"));
}

}  // namespace
