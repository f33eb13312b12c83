// The store: damaged and locked files, several threads and processes at
// once, and a writer killed in the middle of its work.
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/tests/registry_fixture.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string IntegrityCheck(const std::string& path) {
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
        result = sqlite3_step(st) == SQLITE_ROW
                     ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0))
                     : sqlite3_errmsg(db);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return result;
}

// Runs body in a child process; the child's exit status is 0 when body
// returned true. The child opens its own connection: like any SQLite user, a
// process must not fork while it has the same file open, so the tests do
// their own work on that file before a fork on a thread that has ended
// (see OnOwnThread).
template <class F>
pid_t Spawn(F body) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body() ? 0 : 1);
    return pid;
}

// Runs f on a thread of its own, whose connection is closed when it ends.
template <class F>
void OnOwnThread(F f) {
    std::thread(f).join();
}

int ExitStatus(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Reads one counter the writer reports after each commit; 0 on end or after
// 30 seconds without one.
int ReadCounter(int fd) {
    pollfd p{fd, POLLIN, 0};
    int value = 0;
    if (poll(&p, 1, 30000) != 1 || read(fd, &value, sizeof value) != sizeof value)
        return 0;
    return value;
}

// The text the killed writer stores for count n: the same number many times,
// so that half of an old and half of a new value would show.
std::string Stamp(int n) {
    std::string s;
    for (int i = 0; i < 40; ++i)
        s += std::to_string(n) + ';';
    return s;
}

}  // namespace

TEST_F(CRegistryTest, DamagedFileFailsClearlyAndIsLeftAlone) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>('A' + i % 23);
    std::ofstream(RegistryDatabasePath(), std::ios::binary) << garbage;

    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software", &key), ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", &key), ERROR_BADDB);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(HKEY_CURRENT_USER, "v", nullptr, nullptr, &size), ERROR_BADDB);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software", ""), std::nullopt);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(RegPutString(HKEY_CURRENT_USER, "Software", "", "x"));
    EXPECT_EQ(GetLastError(), ERROR_BADDB);
    EXPECT_TRUE(ReadFile(RegistryDatabasePath()) == garbage) << "the damaged file was changed";

    // Once the file is repaired (here: removed by the user) the store works again.
    std::filesystem::remove(RegistryDatabasePath());
    EXPECT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software", "", "x"));
}

// Reading a prefix without a registry finds nothing and writes nothing: no
// file, no folder. The first write makes the file, and what it wrote is
// read back.
TEST_F(CRegistryTest, ReadingNeverMakesTheRegistry) {
    const std::string prefix = m_strPrefix + "/not-yet";
    setenv("TELVORA_PREFIX", prefix.c_str(), 1);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Telvora", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software", "v"), std::nullopt);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(HKEY_CURRENT_USER, "v", nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(prefix));

    EXPECT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora", "v", "x"));
    EXPECT_TRUE(std::filesystem::exists(RegistryDatabasePath()));
    EXPECT_EQ(RegGetString(HKEY_LOCAL_MACHINE, "Software\\Telvora", "v"), "x");
}

TEST_F(CRegistryTest, ForeignDatabaseIsLeftAlone) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(RegistryDatabasePath().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE notes(x); PRAGMA user_version=42;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string before = ReadFile(RegistryDatabasePath());
    EXPECT_FALSE(RegPutString(HKEY_CURRENT_USER, "Software", "", "x"));
    EXPECT_EQ(GetLastError(), ERROR_BADDB);
    EXPECT_TRUE(ReadFile(RegistryDatabasePath()) == before) << "the foreign file was changed";
}

TEST_F(CRegistryTest, LockedStoreReportsBusyAndRecovers) {
    ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora", "", "old"));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(RegistryDatabasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    RegSetBusyTimeout(50);
    EXPECT_FALSE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora", "", "new"));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    // Readers are not held up by a writer.
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora", ""), "old");

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(RegPutString(HKEY_CURRENT_USER, "Software\\Telvora", "", "new"));
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "Software\\Telvora", ""), "new");
}

TEST_F(CRegistryTest, ThreadsWritingAtOnceLoseNothing) {
    constexpr int kThreads = 4, kValues = 40;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < kValues; ++i) {
                const std::string n = std::to_string(t) + "-" + std::to_string(i);
                if (!RegPutString(HKEY_CURRENT_USER, "T\\" + std::to_string(i % 3), n, n))
                    ++failures[t];
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0);
        for (int i = 0; i < kValues; ++i) {
            const std::string n = std::to_string(t) + "-" + std::to_string(i);
            EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "T\\" + std::to_string(i % 3), n), n);
        }
    }
}

TEST_F(CRegistryTest, ProcessesWritingAtOnceLoseNothing) {
    constexpr int kProcesses = 4, kValues = 40;
    // The children also race to set up the new file.
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(Spawn([p] {
            bool ok = true;
            for (int i = 0; i < kValues; ++i) {
                const std::string n = std::to_string(p) + "-" + std::to_string(i);
                ok = RegPutString(HKEY_CURRENT_USER, "P\\Sub" + std::to_string(i % 5), n, n) && ok;
            }
            return ok;
        }));
    }
    for (pid_t pid : children)
        EXPECT_EQ(ExitStatus(pid), 0);
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kValues; ++i) {
            const std::string n = std::to_string(p) + "-" + std::to_string(i);
            EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "P\\Sub" + std::to_string(i % 5), n), n);
        }
    }
    EXPECT_EQ(IntegrityCheck(RegistryDatabasePath()), "ok");
}

TEST_F(CRegistryTest, WriterKilledMidWriteLeavesOldOrNewValue) {
    OnOwnThread([] { ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, "K", "n", Stamp(0))); });
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = Spawn([&] {
        close(fds[0]);
        for (int n = 1;; ++n) {
            // Each round also adds and removes a key, so the kill may hit either.
            if (!RegPutString(HKEY_CURRENT_USER, "K", "n", Stamp(n)) ||
                !RegPutString(HKEY_CURRENT_USER, "K\\" + std::to_string(n), "", "x") ||
                RegDeleteTree(HKEY_CURRENT_USER, ("K\\" + std::to_string(n)).c_str()))
                return false;
            if (write(fds[1], &n, sizeof n) != sizeof n)
                return false;
        }
    });
    close(fds[1]);
    int last = 0;
    while (last < 60) {
        const int n = ReadCounter(fds[0]);
        ASSERT_NE(n, 0) << "the writer stopped reporting";
        last = n;
    }
    kill(child, SIGKILL);
    EXPECT_EQ(ExitStatus(child), 128 + SIGKILL);
    for (int n; (n = ReadCounter(fds[0])) != 0;)
        last = n;
    close(fds[0]);

    EXPECT_EQ(IntegrityCheck(RegistryDatabasePath()), "ok");
    const std::optional<std::string> value = RegGetString(HKEY_CURRENT_USER, "K", "n");
    ASSERT_TRUE(value.has_value());
    EXPECT_TRUE(*value == Stamp(last) || *value == Stamp(last + 1)) << *value;
    EXPECT_TRUE(RegPutString(HKEY_CURRENT_USER, "K", "n", "after"));
    EXPECT_EQ(RegGetString(HKEY_CURRENT_USER, "K", "n"), "after");
}
