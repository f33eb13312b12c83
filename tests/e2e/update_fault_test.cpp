// The online update against a hostile or broken update server on the
// loopback address: answers cut short, stalled, refused or oversized, fields
// that name places outside the course, archives that lie about their sizes
// or hold links, devices and names leaving their folder. Whatever comes,
// nothing is written outside the course (and its temp folder), no version is
// recorded for a package that was not applied, no run hangs past the stall
// bound and nothing crashes.
#include <signal.h>
#include <sys/mount.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>  // std::chrono (<chrono> itself holds text GBK cannot)

#include "platform/archive/tests/archive_test_support.h"
#include "platform/net/tests/test_http_server.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "tests/e2e/update_e2e_support.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

constexpr int kScriptWaitMs = 20000;  // reached only when something is wrong
// Runs that meet a stall (TELVORA_HTTP_STALL=1) end well within this.
constexpr int kStallRunSeconds = 30;

const std::vector<EnvChange> kOneSecondStall = {{"TELVORA_HTTP_STALL", "1"}};

class UpdateFaultTest : public UpdateE2eTest {
protected:
    using Script = std::function<void(CTestConnection&)>;

    void SetUp() override {
        UpdateE2eTest::SetUp();
        m_archive = PackArchive({{"a.htm", "a 1\r\n"}, {"sub/x.htm", "x 1\r\n"}});
        m_surroundings = Surroundings();
    }
    void TearDown() override {
        StopServer();
        UpdateE2eTest::TearDown();
    }
    // Ends the server and joins its connection threads: nothing a script
    // touches may go away before.
    void StopServer() { m_server.reset(); }

    // A server that answers the query with query and every other request
    // with package, and keeps the targets it was asked for.
    void Serve(Script query, Script package, int connections = 8) {
        m_server = std::make_unique<CTestHttpServer>(
            [this, query, package](CTestConnection& c) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_targets.push_back(c.Target());
                }
                if (c.Target().find("/sql.asp?") != std::string::npos)
                    query(c);
                else
                    package(c);
            },
            connections);
        UsePort(m_server->Port());
        m_nPort = m_server->Port();
    }
    // The query's answer: these fields.
    static Script Answer(const Strings& fields) {
        return [fields](CTestConnection& c) { c.Send(HttpAnswer(200, ListPage(fields))); };
    }
    // The standard package with its true size.
    std::string Field(const std::string& path = "math/03052301.rar") const {
        return "03052301" + path + " " + std::to_string(m_archive.size());
    }
    Script SendArchive() const {
        return [this](CTestConnection& c) { c.Send(HttpAnswer(200, m_archive)); };
    }
    std::vector<std::string> Targets() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_targets;
    }

    // Nothing of the package reached the course and no version names it;
    // nothing around the course changed.
    void ExpectNothingApplied() {
        Files now = Tree(m_course);
        EXPECT_EQ(now["a.htm"], "old a\r\n");
        EXPECT_EQ(now.count("sub/"), 0u);
        EXPECT_EQ(Version(), "0");
        ExpectSurroundingsUntouched();
    }
    void ExpectApplied() {
        EXPECT_EQ(ReadFile(m_course + "/a.htm"), "a 1\r\n");
        EXPECT_EQ(ReadFile(m_course + "/sub/x.htm"), "x 1\r\n");
        EXPECT_EQ(Version(), "03052301");
        ExpectSurroundingsUntouched();
    }
    void ExpectSurroundingsUntouched() { EXPECT_EQ(Surroundings(), m_surroundings); }
    bool DamagedArchiveTold() const {
        const Strings boxes = BoxTexts();
        return boxes.size() == 1 && boxes[0].find(U("无法解压")) != std::string::npos;
    }

    std::string m_archive;
    Files m_surroundings;
    std::mutex m_mutex;
    std::vector<std::string> m_targets;
    // Last, so that it goes first: its scripts use the members above.
    std::unique_ptr<CTestHttpServer> m_server;
};

// ---- the archive's download goes wrong ----

TEST_F(UpdateFaultTest, ABodyCutShortIsNotApplied) {
    Serve(Answer({Field()}), [this](CTestConnection& c) {
        const std::string answer = HttpAnswer(200, m_archive);
        c.Send(answer.substr(0, answer.size() - m_archive.size() / 2));
    });
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
    ExpectNothingApplied();
    // The next update starts again from the start.
    EXPECT_EQ(Targets().size(), 2u);
}

TEST_F(UpdateFaultTest, ErrorPagesAreNotTakenForTheArchive) {
    for (int status : {404, 500}) {
        SCOPED_TRACE(status);
        Serve(Answer({Field()}), [status](CTestConnection& c) {
            c.Send(HttpAnswer(status, "<html><body>Not here</body></html>"));
        });
        COcxRun run = Update(std::string(kLogin) + kAccept);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
        ExpectNothingApplied();
        std::filesystem::remove(m_transcript);
    }
    // As the query's answer an error page holds no list.
    Serve([](CTestConnection& c) { c.Send(HttpAnswer(500, "<html><body>Error</body></html>")); },
          SendArchive());
    Files before = Tree(m_course);
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(BoxTexts(), Strings{U("此课程没有更新内容")});
    // Only what the failed runs left in the temp folder has gone.
    std::erase_if(before, [](const auto& file) { return file.first.rfind("temp/", 0) == 0; });
    EXPECT_EQ(Tree(m_course), before);
}

TEST_F(UpdateFaultTest, AContentLengthFarAboveTheBody) {
    // Half the archive under a length of a terabyte, then the end.
    Serve(Answer({Field()}), [this](CTestConnection& c) {
        c.Send("HTTP/1.0 200 OK\r\nContent-Length: 1000000000000\r\n\r\n" +
               m_archive.substr(0, m_archive.size() / 2));
    });
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
    ExpectNothingApplied();

    // The whole archive under such a length: the archive is whole and its
    // checksums say so, so it is applied.
    std::filesystem::remove(m_transcript);
    Serve(Answer({Field()}), [this](CTestConnection& c) {
        c.Send("HTTP/1.0 200 OK\r\nContent-Length: 1000000000000\r\n\r\n" + m_archive);
    });
    run = Update(std::string(kLogin) + kAccept);
    EXPECT_TRUE(BoxTexts().empty());
    ExpectApplied();
}

TEST_F(UpdateFaultTest, StallsAtEveryStageEndWithinTheBound) {
    struct Stage {
        const char* name;
        Script query;
        Script package;
        bool toldDamaged;
    };
    const std::string head =
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(m_archive.size()) + "\r\n\r\n";
    const std::string page = ListPage({Field()});
    const std::vector<Stage> stages = {
        {"query: nothing after the request",
         [](CTestConnection& c) { c.WaitForClientClose(kScriptWaitMs); }, SendArchive(), false},
        {"query: the status line only",
         [](CTestConnection& c) {
             c.Send("HTTP/1.0 200 OK\r\n");
             c.WaitForClientClose(kScriptWaitMs);
         },
         SendArchive(), false},
        {"query: half the list, no end",
         [page](CTestConnection& c) {
             c.Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(page.size()) +
                    "\r\n\r\n" + page.substr(0, page.find('&') + 5));
             c.WaitForClientClose(kScriptWaitMs);
         },
         SendArchive(), false},
        {"archive: nothing after the request", Answer({Field()}),
         [](CTestConnection& c) { c.WaitForClientClose(kScriptWaitMs); }, false},
        {"archive: the head only", Answer({Field()}),
         [head](CTestConnection& c) {
             c.Send(head);
             c.WaitForClientClose(kScriptWaitMs);
         },
         true},
        {"archive: half the data", Answer({Field()}),
         [this, head](CTestConnection& c) {
             c.Send(head + m_archive.substr(0, m_archive.size() / 2));
             c.WaitForClientClose(kScriptWaitMs);
         },
         true},
    };
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        std::filesystem::remove(m_transcript);
        Serve(stage.query, stage.package);
        COcxRun run = Update(std::string(kLogin) + kAccept, kOneSecondStall, 1);
        EXPECT_EQ(run.status, 0) << run.err;
        ExpectNothingApplied();
        if (stage.toldDamaged) {
            EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
        } else {
            EXPECT_TRUE(BoxTexts().empty()) << ::testing::PrintToString(BoxTexts());
        }
    }
}

TEST_F(UpdateFaultTest, AResetInTheMiddleOfTheArchive) {
    Serve(Answer({Field()}), [this](CTestConnection& c) {
        c.Send(HttpAnswer(200, m_archive).substr(0, 200));
        c.Reset();
    });
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
    ExpectNothingApplied();
}

class UpdateDiskFullTest : public UpdateFaultTest {
protected:
    void SetUp() override {
        UpdateFaultTest::SetUp();
        // The course on a small file system of its own, in the place of the
        // one made for the test.
        const std::string courses = m_root + "/courses";
        if (mount("tmpfs", courses.c_str(), "tmpfs", 0, "size=1m") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here";
        m_mounted = courses;
        m_course = MakeCourse();
        m_surroundings = Surroundings();
    }
    void TearDown() override {
        StopServer();
        if (!m_mounted.empty())
            umount2(m_mounted.c_str(), MNT_DETACH);
        UpdateFaultTest::TearDown();
    }
    // Offers a package of a small file and a big one of size bytes.
    void OfferPackageOf(std::size_t size) {
        const std::string archive =
            PackArchive({{"a.htm", "a 1\r\n"}, {"sub/x.htm", std::string(size, 'x')}});
        Serve(Answer({"03052301math/03052301.rar " + std::to_string(archive.size())}),
              [archive](CTestConnection& c) { c.Send(HttpAnswer(200, archive)); });
    }
    std::string m_mounted;
};

TEST_F(UpdateDiskFullTest, AnArchiveLargerThanTheDiskEndsTheDownloadQuietly) {
    OfferPackageOf(std::size_t{1536} << 10);
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(BoxTexts().empty()) << ::testing::PrintToString(BoxTexts());
    ExpectNothingApplied();
}

// An archive that fits, whose unpacked tree does not fit beside it: the
// extractor fails (libarchive reports the failed write only as a warning),
// so the file cut short is neither copied over the course nor the package's
// version recorded.
TEST_F(UpdateDiskFullTest, AnUnpackedTreeThatDoesNotFitIsNotApplied) {
    OfferPackageOf(std::size_t{600} << 10);
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
    ExpectNothingApplied();
}

// ---- answers that go beyond what the update takes ----

TEST_F(UpdateFaultTest, OfAHundredAndFiftyFieldsTheHundredOldestComeFirst) {
    auto code = [](int i) { return std::to_string(3050100 + i).insert(0, "0"); };
    std::map<std::string, std::string> archives;
    Strings all;
    for (int i = 1; i <= 150; ++i) {
        archives[code(i)] =
            RawRar({{"math", true, "", {}}, {"math\\last.txt", false, code(i), {}}});
        all.push_back(code(i) + "p/" + code(i) + ".rar " +
                      std::to_string(archives[code(i)].size()));
    }
    // The scripts run on the server's threads until the fixture stops it,
    // after this body: they keep their own copies and share the count.
    auto downloads = std::make_shared<std::atomic<int>>(0);
    Serve(
        [all](CTestConnection& c) {
            // Only what is newer than the version the update sends.
            const std::string target = c.Target();
            const std::size_t v = target.find("versnumber=") + 11;
            const std::string installed = target.substr(v, target.find('&', v) - v);
            Strings newer;
            for (const std::string& field : all) {
                if (installed == "0" || field.substr(0, 8) > installed)
                    newer.push_back(field);
            }
            c.Send(HttpAnswer(200, ListPage(newer)));
        },
        [archives, downloads](CTestConnection& c) {
            ++*downloads;
            const std::string target = c.Target();
            const std::size_t slash = target.rfind('/');
            const auto archive = archives.find(target.substr(slash + 1, 8));
            c.Send(archive == archives.end() ? HttpAnswer(404, "")
                                             : HttpAnswer(200, archive->second));
        },
        160);
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(*downloads, 100);
    EXPECT_EQ(Version(), code(100));
    EXPECT_EQ(ReadFile(m_course + "/last.txt"), code(100));
    // The offer counts the hundred taken.
    const std::size_t size = archives[code(1)].size();
    ASSERT_EQ(Texts(218, 214).size(), 1u);
    EXPECT_NE(Texts(218, 214)[0].find(U("：                    ") +
                                      std::to_string(100 * size / 1024) + " KB"),
              std::string::npos)
        << Texts(218, 214)[0];
    // Newest link first, and none beyond the hundredth.
    const std::string explain = Page("explain.htm");
    EXPECT_LT(explain.find(code(100)), explain.find(code(1)));
    EXPECT_EQ(explain.find(code(101)), std::string::npos);

    run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(*downloads, 150);
    EXPECT_EQ(Version(), code(150));
    EXPECT_EQ(ReadFile(m_course + "/last.txt"), code(150));
    EXPECT_TRUE(BoxTexts().empty());
    ExpectSurroundingsUntouched();
}

TEST_F(UpdateFaultTest, ATenMegabyteAnswerIsReadWhole) {
    // Ten megabytes of page before the list.
    const std::string filler(10 << 20, 'x');
    const std::string answer =
        HttpAnswer(200, "<html><body>" + filler + "\n&" + Field() + "\n</body>");
    Serve([answer](CTestConnection& c) { c.Send(answer); }, SendArchive());
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(BoxTexts().empty());
    ExpectApplied();

    // An answer that never ends is read up to a bound and then taken as it is.
    Serve(
        [](CTestConnection& c) {
            c.Send("HTTP/1.0 200 OK\r\n\r\n");
            const std::string chunk(1 << 20, 'y');
            for (int i = 0; i < 64 && c.Send(chunk); ++i) {
            }
        },
        SendArchive());
    run = Update(kLogin);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(BoxTexts(), Strings{U("此课程没有更新内容")});
}

TEST_F(UpdateFaultTest, FieldsNamingPlacesOutsideTheTempFolder) {
    struct Case {
        std::string path;
        bool applied;  // its name is a plain name in the temp folder
    };
    const std::vector<Case> cases = {
        {"../../evil.rar", true}, {m_root + "/evil.rar", true}, {"math\\..\\..\\evil.rar", false},
        {"..\\evil.rar", false},  {"C:\\evil.rar", false},      {"C:evil.rar", false},
        {"math/..rar", true},     {"a/\x01.rar", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::filesystem::remove(m_transcript);
        ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, RecordKey(), "", "0"));
        WriteFile(m_course + "/a.htm", "old a\r\n");
        std::filesystem::remove_all(m_course + "/sub");
        Serve(Answer({Field(c.path)}), SendArchive());
        COcxRun run = Update(std::string(kLogin) + kAccept);
        EXPECT_EQ(run.status, 0) << run.err;
        if (c.applied) {
            ExpectApplied();
        } else {
            ExpectNothingApplied();
        }
        EXPECT_TRUE(BoxTexts().empty()) << ::testing::PrintToString(BoxTexts());
    }
}

TEST_F(UpdateFaultTest, SizesBeyondAnyCountAndSizesOfNothing) {
    // A size no 64-bit count holds, then a size of 0: the offer says what it
    // can and the download runs without a percentage to show.
    for (const std::string size : {"99999999999999999999999", "0", "abc"}) {
        SCOPED_TRACE(size);
        std::filesystem::remove(m_transcript);
        ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, RecordKey(), "", "0"));
        WriteFile(m_course + "/a.htm", "old a\r\n");
        std::filesystem::remove_all(m_course + "/sub");
        Serve(Answer({"03052301math/03052301.rar " + size}), SendArchive());
        COcxRun run = Update(std::string(kLogin) + kAccept);
        EXPECT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(Texts(218, 214).size(), 1u);
        const std::string expected = size == "0" || size == "abc"
                                         ? U("：                    0 KB\n\n下载时间(以28kbps下载"
                                             "速度计)：1 秒")
                                         : U("：                    9007199254740991 KB\n\n"
                                             "下载时间(以28kbps下载速度计)：329406144173385 秒");
        EXPECT_NE(Texts(218, 214)[0].find(expected), std::string::npos) << Texts(218, 214)[0];
        // The progress never reaches 100: the window goes when the download
        // ends, and the update goes on.
        for (const TranscriptEvent& e : Events("dialog")) {
            if (e.at("id") == "219" && e.at("op") == "close") {
                EXPECT_NE(e.at("result"), "1300");
            }
        }
        EXPECT_TRUE(Events("progress").empty());
        EXPECT_TRUE(Events("press").size() == 2u) << "the login and the offer, nothing else";
        ExpectApplied();
    }
}

// ---- archives that lie or reach out ----

TEST_F(UpdateFaultTest, ArchivesDeclaringHugeSizesAreNotApplied) {
    for (const std::uint64_t declared : {std::uint64_t{1} << 40, std::uint64_t{0xFFFFFFFF} + 2}) {
        SCOPED_TRACE(declared);
        std::filesystem::remove(m_transcript);
        const std::string archive =
            RawRar({{"math", true, "", {}},
                    {"math\\a.htm", false, "a 1\r\n", {}},
                    {"math\\huge.bin", false, std::string(4096, 'h'), declared}});
        Serve(Answer({"03052301math/03052301.rar " + std::to_string(archive.size())}),
              [archive](CTestConnection& c) { c.Send(HttpAnswer(200, archive)); });
        COcxRun run = Update(std::string(kLogin) + kAccept);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
        ExpectNothingApplied();
        // Nothing near the declared size was written.
        std::uintmax_t written = 0;
        std::error_code ec;
        for (auto& e : fs::recursive_directory_iterator(m_course, ec))
            written += e.is_regular_file() ? e.file_size() : 0;
        EXPECT_LT(written, std::uintmax_t{1} << 20);
    }
}

TEST_F(UpdateFaultTest, ArchiveEntriesThatLeaveTheFolderAreRefused) {
    using archive_test::CTestEntry;
    const std::string outside = m_root + "/outside-target";
    WriteFile(outside, "not to be touched\n");
    m_surroundings = Surroundings();
    struct Case {
        const char* name;
        std::vector<CTestEntry> entries;
    };
    const std::vector<Case> cases = {
        {"a link out of the folder",
         {archive_test::Folder("math"), archive_test::File("math/a.htm", "a 1\r\n"),
          archive_test::Symlink("math/evil", outside), archive_test::File("math/evil", "x")}},
        {"a top entry linking to the course's parent",
         {archive_test::Symlink("math", "../.."), archive_test::File("math/a.htm", "a 1\r\n")}},
        {"dot-dot names", {archive_test::File("math/../../evil.txt", "x")}},
        {"an absolute name", {archive_test::File(m_root + "/evil.txt", "x")}},
        {"a hard link", {archive_test::HardLink("math/h", outside)}},
        {"a device",
         {archive_test::Folder("math"),
          archive_test::Special("math/dev", CTestEntry::kCharDevice)}},
        {"a fifo", {archive_test::Special("math/pipe", CTestEntry::kFifo)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(m_transcript);
        const std::string path = m_root + "/work/hostile.tar";
        archive_test::WriteTestArchive(path, "tar", c.entries);
        const std::string archive = ReadFile(path);
        Serve(Answer({"03052301math/03052301.rar " + std::to_string(archive.size())}),
              [archive](CTestConnection& c) { c.Send(HttpAnswer(200, archive)); });
        COcxRun run = Update(std::string(kLogin) + kAccept);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
        ExpectNothingApplied();
        EXPECT_EQ(ReadFile(outside), "not to be touched\n");
    }

    // A link that stays inside is unpacked but never copied over the course.
    std::filesystem::remove(m_transcript);
    const std::string path = m_root + "/work/inside.tar";
    archive_test::WriteTestArchive(
        path, "tar",
        {archive_test::Folder("math"), archive_test::File("math/a.htm", "a 1\r\n"),
         archive_test::File("math/sub/x.htm", "x 1\r\n"),
         archive_test::Symlink("math/l", "a.htm")});
    const std::string archive = ReadFile(path);
    Serve(Answer({"03052301math/03052301.rar " + std::to_string(archive.size())}),
          [archive](CTestConnection& c) { c.Send(HttpAnswer(200, archive)); });
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(BoxTexts().empty());
    ExpectApplied();
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_course + "/l")));
}

}  // namespace

// ---- an update that holds: other processes, a killed launcher, hostile packages ----

namespace {

constexpr const char* kHoldCode1 = "03052301";
constexpr const char* kHoldCode2 = "03060501";

// A page of some size, distinct per package and name.
std::string PageOf(const std::string& package, int n) {
    std::string text;
    for (int line = 0; line < 20; ++line)
        text += "package " + package + " page " + std::to_string(n) + " line " +
                std::to_string(line) + "\r\n";
    return text;
}

// The pids of running processes whose command line holds every one of parts.
std::vector<int> ProcessesWith(const std::vector<std::string>& parts) {
    std::vector<int> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry.path() / "cmdline", std::ios::binary);
        const std::string line((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        bool all = !line.empty();
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        if (all)
            found.push_back(std::stoi(name));
    }
    return found;
}

bool GoneOrZombie(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const std::size_t close = stat.rfind(')');
    return stat.empty() ||
           (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z');
}

class UpdateHoldTest : public UpdateE2eTest {
protected:
    // Starts the launcher's update (PutInfo with version "0", silent,
    // Download) in a process of its own, with its own output files.
    bool StartUpdate(CChild* child, const std::string& name, bool ownGroup = false) {
        const std::string answers = m_root + "/answers-" + name + ".txt";
        WriteFile(answers, text::GbkToUtf8(std::string(kLogin) + kAccept));
        std::vector<std::string> args = {"call", "CORVANE.CorvaneCtrl.1"};
        for (const std::string& call : UpdateCalls(1, "0"))
            args.push_back(call);
        return child->Start(Bin("telvora-ocx"), args, RunEnvironment(answers),
                            m_root + "/out-" + name + ".txt", m_root + "/err-" + name + ".txt",
                            ownGroup);
    }
    // A fresh course, its version "0".
    void FreshCourse() {
        fs::remove_all(m_course);
        m_course = MakeCourse();
    }
};

}  // namespace

TEST_F(UpdateHoldTest, TwoLaunchersStartedApartLeaveTheCourseWholeAtTheNewerCode) {
    // Two packages of many files: the second changes every page of the first.
    Files first;
    Files second;
    for (int n = 0; n < 150; ++n) {
        first["p/" + std::to_string(n) + ".htm"] = PageOf(kHoldCode1, n);
        second["p/" + std::to_string(n) + ".htm"] = PageOf(kHoldCode2, n);
    }
    first["only-first.htm"] = "first\r\n";
    Publish(kHoldCode1, first);
    Publish(kHoldCode2, second);
    StartServer();
    for (int tenths : {0, 3, 6, 9, 12}) {
        SCOPED_TRACE("the second " + std::to_string(tenths * 100) + " ms after the first");
        FreshCourse();
        CChild a;
        CChild b;
        ASSERT_TRUE(StartUpdate(&a, "a"));
        std::this_thread::sleep_for(std::chrono::milliseconds(tenths * 100));
        ASSERT_TRUE(StartUpdate(&b, "b"));
        EXPECT_EQ(a.Wait(kRunTimeoutSeconds), 0) << ReadFile(m_root + "/err-a.txt");
        EXPECT_EQ(b.Wait(kRunTimeoutSeconds), 0) << ReadFile(m_root + "/err-b.txt");
        // Every file holds the bytes of the code recorded, none is missing,
        // and neither run took the other's download away.
        EXPECT_EQ(Version(), kHoldCode2);
        Files now = Tree(m_course);
        for (const auto& [path, bytes] : second)
            EXPECT_EQ(now[path], bytes) << path;
        EXPECT_EQ(now["only-first.htm"], "first\r\n");
        EXPECT_FALSE(fs::exists(m_course + "/temp"));
        EXPECT_EQ(BoxTexts(), Strings{}) << "no run may fail";
        fs::remove(m_transcript);
    }
}

TEST_F(UpdateHoldTest, AKilledLauncherLeavesNoExtractorAndTheNextUpdateIsWhole) {
    // A package large enough that its extraction takes a while.
    Files package = {{"a.htm", "a 1\r\n"}};
    for (int n = 0; n < 40; ++n)
        package["big/" + std::to_string(n) + ".bin"] =
            std::string(2 << 20, static_cast<char>('a' + n % 26));
    Publish(kHoldCode1, package);
    StartServer();
    CChild launcher;
    ASSERT_TRUE(StartUpdate(&launcher, "killed", true));
    const std::vector<std::string> extractor = {"telvora-extract", m_course + "/temp"};
    std::vector<int> extracting;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kRunTimeoutSeconds);
    while (extracting.empty() && std::chrono::steady_clock::now() < until) {
        extracting = ProcessesWith(extractor);
        if (extracting.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_FALSE(extracting.empty()) << "the extraction was never seen";
    ASSERT_EQ(kill(-launcher.Pid(), SIGKILL), 0);
    EXPECT_EQ(launcher.Wait(kRunTimeoutSeconds), 128 + SIGKILL);
    // A second later no extractor of the run is left.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (int pid : extracting)
        EXPECT_TRUE(GoneOrZombie(pid)) << "the extractor " << pid << " outlived its launcher";
    EXPECT_EQ(Version(), "0");

    // The next update removes what was left and applies the package whole.
    const COcxRun next = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(Version(), kHoldCode1);
    Files now = Tree(m_course);
    for (const auto& [path, bytes] : package)
        EXPECT_TRUE(now[path] == bytes) << path;
    EXPECT_FALSE(fs::exists(m_course + "/temp"));
}

TEST_F(UpdateHoldTest, APackageCannotReplaceTheCoursesProgramsOrLeaveAnythingExecutable) {
    // The course's link to the launcher, as the setup step makes it.
    const std::string launcher = m_root + "/the-launcher";
    WriteFile(launcher, "#!/bin/sh\necho the launcher\n");
    fs::create_directories(m_course + "/bin");
    fs::create_symlink(launcher, m_course + "/bin/lesson");
    // An extractor that makes everything it unpacks executable: the update
    // itself must not pass that on.
    const std::string loose = m_root + "/loose-extract";
    WriteFile(loose, "#!/bin/sh\n\"" + Bin("telvora-extract") +
                         "\" \"$@\" || exit $?\nchmod -R a+x \"$3\"\n");
    ASSERT_EQ(chmod(loose.c_str(), 0755), 0);
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes", "winrar.exe",
                             loose + " %@"));
    const std::string taken = "#!/bin/sh\necho taken > \"" + m_root + "/taken\"\n";
    Publish(kHoldCode1, {{"bin/lesson", taken},
                         {"systeminfo/soft/iexplore.exe", taken},
                         {"a.htm", "a 1\r\n"},
                         {"new/b.htm", "b 1\r\n"}});
    StartServer();
    const COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(BoxTexts(), Strings{});
    EXPECT_EQ(Version(), kHoldCode1);
    // The course's program is still the system's own.
    EXPECT_TRUE(fs::is_symlink(m_course + "/bin/lesson"));
    EXPECT_EQ(fs::read_symlink(m_course + "/bin/lesson"), launcher);
    EXPECT_EQ(ReadFile(launcher), "#!/bin/sh\necho the launcher\n");
    // Nothing the update wrote can run: the browser's substitute opened the
    // pages, not the package's program.
    EXPECT_EQ(ReadFile(m_course + "/systeminfo/soft/iexplore.exe"), taken);
    for (const auto& entry : fs::recursive_directory_iterator(m_course)) {
        if (entry.is_symlink() || entry.path().string().find("/bin") != std::string::npos)
            continue;
        const auto perms = entry.status().permissions();
        if (entry.is_regular_file())
            EXPECT_EQ(
                perms & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec),
                fs::perms::none)
                << entry.path();
        else
            EXPECT_EQ(perms & (fs::perms::group_write | fs::perms::others_write), fs::perms::none)
                << entry.path();
    }
    EXPECT_EQ(BrowserPages(2).size(), 2u);
    EXPECT_FALSE(fs::exists(m_root + "/taken"));

    // A file of the course that is a link is neither replaced nor written
    // through: the package is not recorded.
    const std::string outside = m_root + "/outside.htm";
    WriteFile(outside, "not the course's\r\n");
    fs::create_symlink(outside, m_course + "/linked.htm");
    Publish(kHoldCode2, {{"linked.htm", "through\r\n"}, {"a.htm", "a 2\r\n"}});
    fs::remove(m_transcript);
    const COcxRun second = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(second.status, 0) << second.err;
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_NE(BoxTexts()[0].find(U("未能更新")), std::string::npos);
    EXPECT_EQ(ReadFile(outside), "not the course's\r\n");
    EXPECT_TRUE(fs::is_symlink(m_course + "/linked.htm"));
    EXPECT_EQ(Version(), kHoldCode1);
}

TEST_F(UpdateFaultTest, APackageCutAtABlockIsNotAppliedUnlessItsLengthWasKnown) {
    // The archive without its end-of-archive block (the last 7 bytes), as a
    // cut at that block's start leaves it.
    const std::string cut = m_archive.substr(0, m_archive.size() - 7);
    ASSERT_EQ(static_cast<unsigned char>(m_archive[m_archive.size() - 5]), 0x7B);
    // Sent without a length and closed there: nothing tells it is whole.
    Serve(Answer({Field()}),
          [cut](CTestConnection& c) { c.Send(HttpAnswer(200, cut, "", false)); });
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(DamagedArchiveTold()) << ::testing::PrintToString(BoxTexts());
    ExpectNothingApplied();
    // The same bytes under their length, all of which came: an archive
    // written without that block, as older archivers wrote them.
    std::filesystem::remove(m_transcript);
    Serve(Answer({Field()}), [cut](CTestConnection& c) { c.Send(HttpAnswer(200, cut)); });
    run = Update(std::string(kLogin) + kAccept);
    EXPECT_TRUE(BoxTexts().empty()) << ::testing::PrintToString(BoxTexts());
    ExpectApplied();
}

TEST_F(UpdateFaultTest, ACodeThatIsNotACodeWritesNothing) {
    const std::string explain = m_course + "/systeminfo/explain.htm";
    WriteFile(explain, "earlier explanation");
    const Files before = Tree(m_course);
    Serve(Answer({"<b>x</b>math/03052301.rar " + std::to_string(m_archive.size())}), SendArchive());
    const COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Tree(m_course), before);
    EXPECT_EQ(Version(), "0");
    for (const TranscriptEvent& e : Events("dialog"))
        EXPECT_NE(e.at("id"), "218") << "no offer";
    // Only the query was asked for.
    EXPECT_EQ(Targets().size(), 1u);
}
