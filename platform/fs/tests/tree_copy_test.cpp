// Tree walks and copies into an open folder: what a walk takes from a disc
// (kinds, links, loops) and how a copy replaces what is there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "platform/fs/fs.h"
#include "platform/fs/instance_lock.h"
#include "platform/fs/tests/fs_fixture.h"
#include "platform/fs/tree_copy.h"

namespace {

namespace stdfs = std::filesystem;

class TreeCopyTest : public FsServiceTest {
protected:
    // Every entry of the walk below W:\src, as "path:kind", sorted; folders
    // are entered.
    std::vector<std::string> WalkAll(int maxEntries = 1000) {
        std::vector<std::string> seen;
        CWalkFolder root;
        EXPECT_TRUE(root.OpenRoot("W:\\src"));
        Walk(root, "", &seen, maxEntries);
        std::sort(seen.begin(), seen.end());
        return seen;
    }
    void Walk(CWalkFolder& folder, const std::string& prefix, std::vector<std::string>* seen,
              int maxEntries) {
        WalkEntry e;
        while (static_cast<int>(seen->size()) < maxEntries && folder.Next(&e)) {
            const char* kind = e.kind == WalkKind::File     ? "file"
                               : e.kind == WalkKind::Folder ? "folder"
                                                            : "other";
            seen->push_back(prefix + e.name + ":" + kind);
            if (e.kind == WalkKind::Folder) {
                CWalkFolder child;
                if (child.OpenChild(folder))
                    Walk(child, prefix + e.name + "\\", seen, maxEntries);
            }
        }
    }
    // Copies every file of W:\src (top level only) into W:\dst.
    std::map<std::string, CCopyTarget::Outcome> CopyTop() {
        std::map<std::string, CCopyTarget::Outcome> outcomes;
        m_errors.clear();
        CWalkFolder src;
        CCopyTarget dst;
        EXPECT_TRUE(src.OpenRoot("W:\\src"));
        EXPECT_TRUE(dst.Open("W:\\dst"));
        WalkEntry e;
        while (src.Next(&e))
            if (e.kind == WalkKind::File) {
                outcomes[e.name] = dst.CopyFrom(src);
                m_errors[e.name] = GetLastError();
            }
        return outcomes;
    }
    std::map<std::string, DWORD> m_errors;
    std::vector<std::string> NamesIn(const std::string& unixFolder) {
        std::vector<std::string> names;
        for (auto& e : stdfs::directory_iterator(unixFolder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(TreeCopyTest, KindsLinksAndLoops) {
    WriteUnix(Work("src/a/page.htm"), "p");
    WriteUnix(Work("outside/secret.txt"), "s");
    ASSERT_EQ(mkfifo(Work("src/pipe").c_str(), 0644), 0);
    stdfs::create_symlink("a/page.htm", Work("src/inside.htm"));
    stdfs::create_symlink(Work("outside/secret.txt"), Work("src/escape.txt"));
    stdfs::create_directory_symlink(Work("outside"), Work("src/away"));
    stdfs::create_symlink("/dev/zero", Work("src/zero"));
    stdfs::create_symlink("missing", Work("src/dangling"));
    // Two links to "." and one back up: each would repeat the walk.
    stdfs::create_directory_symlink(".", Work("src/a/self1"));
    stdfs::create_directory_symlink(".", Work("src/a/self2"));
    stdfs::create_directory_symlink("..", Work("src/a/up"));
    EXPECT_EQ(WalkAll(), (std::vector<std::string>{"a:folder", "a\\page.htm:file", "a\\self1:other",
                                                   "a\\self2:other", "a\\up:other", "away:other",
                                                   "dangling:other", "escape.txt:other",
                                                   "inside.htm:file", "pipe:other", "zero:other"}));
}

TEST_F(TreeCopyTest, AFolderReachedThroughLinksIsEnteredOncePerWalk) {
    // Each level links twice to the next: followed blindly that is 2^depth.
    for (int level = 0; level < 20; ++level) {
        std::string dir = Work("src/l" + std::to_string(level));
        WriteUnix(dir + "/f.htm", "x");
        stdfs::create_directory_symlink(Work("src/l" + std::to_string(level + 1)), dir + "/x");
        stdfs::create_directory_symlink(Work("src/l" + std::to_string(level + 1)), dir + "/y");
    }
    stdfs::create_directory(Work("src/l20"));
    std::vector<std::string> seen = WalkAll(100000);
    EXPECT_LT(seen.size(), 2000u);
    // The linked folder's files are there once under a link's name.
    EXPECT_NE(std::find(seen.begin(), seen.end(), "l0\\x\\f.htm:file"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "l0\\y:other"), seen.end());
}

TEST_F(TreeCopyTest, NewFilesKeepTimeAndPermissionsAndNoScratchIsLeft) {
    WriteUnix(Work("src/a.htm"), "alpha");
    WriteUnix(Work("src/ro.htm"), "read only");
    chmod(Work("src/ro.htm").c_str(), 0444);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, Work("src/a.htm").c_str(), times, 0), 0);
    stdfs::create_directory(Work("dst"));
    auto outcomes = CopyTop();
    EXPECT_EQ(outcomes["a.htm"], CCopyTarget::kCopied);
    EXPECT_EQ(outcomes["ro.htm"], CCopyTarget::kCopied);
    EXPECT_EQ(ReadUnix(Work("dst/a.htm")), "alpha");
    struct stat st;
    ASSERT_EQ(stat(Work("dst/a.htm").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(ModeOf(Work("dst/ro.htm")) & 0222, 0u);
    EXPECT_EQ(NamesIn(Work("dst")), (std::vector<std::string>{"a.htm", "ro.htm"}));
}

TEST_F(TreeCopyTest, ExistingFilesAreReplacedWholeInTheirOwnCase) {
    WriteUnix(Work("src/index.htm"), "new");
    WriteUnix(Work("src/kept.htm"), "new");
    WriteUnix(Work("src/dir"), "new");
    WriteUnix(Work("dst/INDEX.htm"), "older and longer");
    chmod(Work("dst/INDEX.htm").c_str(), 0640);
    WriteUnix(Work("dst/kept.htm"), "mine");
    chmod(Work("dst/kept.htm").c_str(), 0444);
    stdfs::create_directory(Work("dst/dir"));
    // A link in the course is replaced, never written through.
    WriteUnix(Work("elsewhere.htm"), "not the course's");
    WriteUnix(Work("src/link.htm"), "new");
    stdfs::create_symlink(Work("elsewhere.htm"), Work("dst/link.htm"));
    auto outcomes = CopyTop();
    EXPECT_EQ(outcomes["index.htm"], CCopyTarget::kCopied);
    EXPECT_EQ(ReadUnix(Work("dst/INDEX.htm")), "new");
    EXPECT_EQ(ModeOf(Work("dst/INDEX.htm")), 0640u);
    EXPECT_EQ(outcomes["kept.htm"], CCopyTarget::kKeptReadOnly);
    EXPECT_EQ(ReadUnix(Work("dst/kept.htm")), "mine");
    EXPECT_EQ(outcomes["dir"], CCopyTarget::kFailed);
    EXPECT_EQ(m_errors["dir"], static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(outcomes["link.htm"], CCopyTarget::kCopied);
    EXPECT_EQ(ReadUnix(Work("elsewhere.htm")), "not the course's");
    EXPECT_EQ(ReadUnix(Work("dst/link.htm")), "new");
    EXPECT_EQ(NamesIn(Work("dst")),
              (std::vector<std::string>{"INDEX.htm", "dir", "kept.htm", "link.htm"}));
}

TEST_F(TreeCopyTest, PlainRulesMoveFilesInNeverExecutableAndNeverThroughALink) {
    // An unpacked tree: an executable, a folder with a file, and names that
    // meet a link, a read-only file and a folder in the target.
    WriteUnix(Work("src/run.sh"), "#!/bin/sh\n");
    chmod(Work("src/run.sh").c_str(), 0755);
    WriteUnix(Work("src/Sub/page.htm"), "page");
    chmod(Work("src/Sub").c_str(), 0777);
    WriteUnix(Work("src/ro.htm"), "new");
    WriteUnix(Work("src/link.htm"), "new");
    WriteUnix(Work("src/dir"), "new");
    WriteUnix(Work("src/linkdir/x.htm"), "new");
    WriteUnix(Work("dst/ro.htm"), "old");
    chmod(Work("dst/ro.htm").c_str(), 0444);
    stdfs::create_directory(Work("dst/SUB"));
    stdfs::create_directory(Work("dst/dir"));
    WriteUnix(Work("elsewhere/x.htm"), "not the course's");
    stdfs::create_symlink(Work("elsewhere/x.htm"), Work("dst/link.htm"));
    stdfs::create_directory_symlink(Work("elsewhere"), Work("dst/linkdir"));

    CWalkFolder src;
    CCopyTarget dst;
    ASSERT_TRUE(src.OpenRoot("W:\\src"));
    ASSERT_TRUE(dst.Open("W:\\dst", CCopyTarget::ERules::kPlain));
    std::map<std::string, CCopyTarget::Outcome> outcomes;
    std::map<std::string, bool> opened;
    WalkEntry e;
    while (src.Next(&e)) {
        if (e.kind == WalkKind::File) {
            outcomes[e.name] = dst.MoveFrom(src);
            m_errors[e.name] = GetLastError();
            continue;
        }
        CCopyTarget child;
        opened[e.name] = child.OpenChild(dst, src);
        m_errors[e.name] = GetLastError();
        CWalkFolder from;
        ASSERT_TRUE(from.OpenChild(src));
        WalkEntry inner;
        while (opened[e.name] && from.Next(&inner))
            outcomes[e.name + "/" + inner.name] = child.MoveFrom(from);
    }
    // Moved in, not copied: gone from the source; no execute bit.
    EXPECT_EQ(outcomes["run.sh"], CCopyTarget::kCopied);
    EXPECT_FALSE(stdfs::exists(Work("src/run.sh")));
    EXPECT_EQ(ModeOf(Work("dst/run.sh")) & 0111, 0u);
    EXPECT_EQ(ModeOf(Work("dst/run.sh")) & 0600, 0600u);
    // Into the existing folder of another case.
    EXPECT_TRUE(opened["Sub"]);
    EXPECT_EQ(ReadUnix(Work("dst/SUB/page.htm")), "page");
    // A read-only file is replaced.
    EXPECT_EQ(outcomes["ro.htm"], CCopyTarget::kCopied);
    EXPECT_EQ(ReadUnix(Work("dst/ro.htm")), "new");
    // Links are neither replaced nor written through, folders not replaced.
    EXPECT_EQ(outcomes["link.htm"], CCopyTarget::kFailed);
    EXPECT_EQ(m_errors["link.htm"], static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(stdfs::is_symlink(Work("dst/link.htm")));
    EXPECT_FALSE(opened["linkdir"]);
    EXPECT_EQ(m_errors["linkdir"], static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadUnix(Work("elsewhere/x.htm")), "not the course's");
    EXPECT_EQ(outcomes["dir"], CCopyTarget::kFailed);
    EXPECT_TRUE(stdfs::is_directory(Work("dst/dir")));
}

TEST_F(TreeCopyTest, PlainRulesMakeNewFoldersWithoutWriteForOthers) {
    WriteUnix(Work("src/new/a.htm"), "a");
    chmod(Work("src/new").c_str(), 0777);
    stdfs::create_directory(Work("dst"));
    CWalkFolder src;
    CCopyTarget dst;
    ASSERT_TRUE(src.OpenRoot("W:\\src"));
    ASSERT_TRUE(dst.Open("W:\\dst", CCopyTarget::ERules::kPlain));
    WalkEntry e;
    ASSERT_TRUE(src.Next(&e));
    CCopyTarget child;
    ASSERT_TRUE(child.OpenChild(dst, src));
    EXPECT_EQ(ModeOf(Work("dst/new")) & 0022, 0u);
    EXPECT_EQ(ModeOf(Work("dst/new")) & 0700, 0700u);
}

TEST_F(TreeCopyTest, AFullDiskLeavesTheOldFileAndNoScratch) {
    stdfs::create_directory(Work("dst"));
    if (mount("tmpfs", Work("dst").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    WriteUnix(Work("src/a.htm"), std::string(1 << 20, 'n'));
    WriteUnix(Work("dst/a.htm"), "old");
    auto outcomes = CopyTop();
    std::vector<std::string> names = NamesIn(Work("dst"));
    std::string old = ReadUnix(Work("dst/a.htm"));
    umount2(Work("dst").c_str(), MNT_DETACH);
    EXPECT_EQ(outcomes["a.htm"], CCopyTarget::kFailed);
    EXPECT_EQ(m_errors["a.htm"], static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(old, "old");
    EXPECT_EQ(names, (std::vector<std::string>{"a.htm"}));
}

TEST_F(TreeCopyTest, ScratchFilesOfEndedProcessesAreRemovedOnOpen) {
    // A process that has ended: a child reaped here.
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string dead = std::string(kScratchPrefix) + std::to_string(child) + "-0";
    const std::string alive = std::string(kScratchPrefix) + std::to_string(getppid()) + "-0";
    WriteUnix(Work("dst/") + dead, "left by a killed run");
    WriteUnix(Work("dst/") + alive, "another run's, still going");
    WriteUnix(Work("dst/.tv-scratch-notanumber"), "not ours");
    stdfs::create_directory(Work("src"));
    CopyTop();
    std::vector<std::string> left{".tv-scratch-notanumber", alive};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(NamesIn(Work("dst")), left);

    // The same cleaning, asked for by name without a copy.
    WriteUnix(Work("dst/") + dead, "left by a killed run");
    EXPECT_TRUE(RemoveStaleScratchFiles("W:\\DST"));
    EXPECT_EQ(NamesIn(Work("dst")), left);
    EXPECT_FALSE(RemoveStaleScratchFiles("W:\\missing"));
}

TEST_F(TreeCopyTest, CopyFileReplacesWholeAndRefusesItself) {
    WriteUnix(Work("a.txt"), "new");
    WriteUnix(Work("b.txt"), "older and longer");
    ASSERT_TRUE(CopyFile("W:\\a.txt", "W:\\B.TXT", false));
    EXPECT_EQ(ReadUnix(Work("b.txt")), "new");
    EXPECT_FALSE(CopyFile("W:\\a.txt", "W:\\b.txt", true));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    ASSERT_EQ(mkfifo(Work("pipe").c_str(), 0644), 0);
    EXPECT_FALSE(CopyFile("W:\\pipe", "W:\\c.txt", false));  // never waits for a writer
    EXPECT_EQ(NamesIn(m_work), (std::vector<std::string>{"a.txt", "b.txt", "pipe"}));
}

TEST_F(TreeCopyTest, ScratchPathsAreBesideAndUnique) {
    std::string a = ScratchPathBeside("W:\\navbar\\navbar.htm");
    std::string b = ScratchPathBeside("W:\\navbar\\navbar.htm");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind("W:\\navbar\\" + std::string(kScratchPrefix), 0), 0u) << a;
    EXPECT_EQ(ScratchPathBeside("W:/x/y.htm").rfind("W:/x/", 0), 0u);
}

TEST_F(TreeCopyTest, AnInstanceLockHasOneHolderAndGoesWithIt) {
    stdfs::create_directory(Work("course"));
    CInstanceLock first;
    ASSERT_TRUE(first.Acquire("W:\\course"));
    CInstanceLock second;
    EXPECT_FALSE(second.Acquire("W:\\course"));
    EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
    // A process that dies holding it does not keep it.
    first.Release();
    pid_t child = fork();
    if (child == 0) {
        CInstanceLock held;
        _exit(held.Acquire("W:\\course") ? (kill(getpid(), SIGKILL), 1) : 2);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(second.Acquire("W:\\course"));
    // A file is made when missing; a FIFO in its place is refused at once.
    CInstanceLock file;
    EXPECT_TRUE(file.Acquire("W:\\course\\install.lock"));
    ASSERT_EQ(mkfifo(Work("fifo").c_str(), 0644), 0);
    CInstanceLock fifo;
    EXPECT_FALSE(fifo.Acquire("W:\\fifo"));
}

}  // namespace
