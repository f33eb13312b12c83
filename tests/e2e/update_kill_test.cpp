// The online update killed at every step that changes a file. The kill
// switch (kill_switch.cpp, preloaded into telvora-ocx and the extractor it
// starts) counts those steps across both programs and kills the run with
// SIGKILL just before step N, for every N of a whole update of two packages:
// during the pages, the download, the extraction, the copy over the course,
// the version record and the temp folder's removal. Each kill gets a fresh
// copy of the course. After each:
//   - every course file holds its old bytes or those of a package,
//   - explain.htm and alter.htm hold their old or their whole new bytes,
//   - the recorded version never names a package whose files are not all in,
//   - nothing is left in the course but its files and the temp folder,
//   - the next update completes.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>  // std::chrono (<chrono> itself holds text GBK cannot)

#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "tests/e2e/kill_switch.h"
#include "tests/e2e/update_e2e_support.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

constexpr const char* kCode1 = "03052301";
constexpr const char* kCode2 = "03060501";
// Killed by SIGKILL.
constexpr int kKilledStatus = 128 + 9;
constexpr int kProcessEndWaitMs = 20000;

// Text of some size, distinct per name and version.
std::string Content(const std::string& name, const std::string& version, int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += name + " " + version + " line " + std::to_string(i) + "\r\n";
    return text;
}

// Which part of the update a counted step belongs to, from the kill
// switch's line "N program call target".
std::string PhaseOf(const std::string& line) {
    std::istringstream words(line);
    std::string n, program, call, target;
    words >> n >> program >> call;
    std::getline(words, target);
    if (program == "telvora-extract")
        return "extraction";
    if (target.find(".jsonl") != std::string::npos)
        return "dialogs (transcript)";
    if (target.find("/systeminfo") != std::string::npos)
        return "notes pages";
    if (target.find("registry.db-shm") != std::string::npos ||
        (call == "open" && target.find("registry.db") != std::string::npos))
        return "registry opened";
    if (target.find("registry.db") != std::string::npos ||
        target.find("/prefix") != std::string::npos)
        return "version record";
    if (target.find(".rar") != std::string::npos && (call == "write" || call == "open"))
        return "download";
    if (call == "openat" || call == "copy_file_range" || call == "sendfile" || call == "linkat" ||
        call == "renameat" || call == "futimens" ||
        (call == "mkdir" && target.find("/temp") == std::string::npos))
        return "copy over the course";
    return "temp folder (made, emptied, removed)";
}

// A file the platform writes before it takes its target's name (a copy's,
// a page's): a killed run leaves it, the next write into its folder removes it.
bool IsScratchName(const std::string& path) {
    return fs::path(path).filename().string().rfind(".tv-scratch-", 0) == 0;
}

class UpdateKillTest : public UpdateE2eTest {
protected:
    void SetUp() override {
        UpdateE2eTest::SetUp();
        // The browser is not watched here.
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes",
                                 "iexplore.exe", "/bin/true %*"));
        m_prototype = m_course;
        m_initial = Tree(m_prototype);
        // The first package changes a.htm and adds a folder, the second
        // changes a.htm again, b.htm and a file of the first.
        m_package1 = {{"a.htm", Content("a", "1", 60)},
                      {"sub/x.htm", Content("x", "1", 250)},
                      {"sub/y.htm", Content("y", "1", 40)},
                      {"sub/deep/z.htm", Content("z", "1", 30)}};
        m_package2 = {{"a.htm", Content("a", "2", 50)},
                      {"b.htm", Content("b", "2", 70)},
                      {"sub/x.htm", Content("x", "2", 260)},
                      {"c.htm", Content("c", "2", 20)}};
        Publish(kCode1, m_package1);
        Publish(kCode2, m_package2);
        StartServer();
        m_shared = m_root + "/kill-shared";
    }

    struct CKillRun {
        int status = -1;
        bool killed = false;
        unsigned long steps = 0;
        std::string what;
    };

    // A fresh copy of the course for run n; makes it the course updated.
    void FreshCourse(const std::string& name) {
        const std::string point = m_root + "/points/" + name;
        fs::create_directories(point);
        fs::copy(m_prototype, point + "/math", fs::copy_options::recursive);
        m_course = point + "/math";
        m_courseWin = ToWindowsPath(m_course).value_or("");
        m_transcript = point + ".jsonl";
        ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, RecordKey(), "", "0"));
    }

    // The update of the current course, killed before step killAt (never
    // when 0), every step logged to log when given.
    CKillRun RunKilledAt(unsigned long killAt, const std::string& log = "") {
        WriteFile(m_shared, std::string(sizeof(CKillShared), '\0'));
        std::string preload = TELVORA_KILL_SWITCH;
        if (const char* earlier = std::getenv("LD_PRELOAD"))
            preload += std::string(":") + earlier;
        // A sanitized build's runtime would refuse a library loaded before it.
        std::string asan = "verify_asan_link_order=0";
        if (const char* earlier = std::getenv("ASAN_OPTIONS"))
            asan = std::string(earlier) + ":" + asan;
        std::vector<EnvChange> env = {{"LD_PRELOAD", preload},
                                      {"ASAN_OPTIONS", asan},
                                      {"TELVORA_KILL_SHARED", m_shared},
                                      {"TELVORA_KILL_PROGRAMS", "telvora-ocx:telvora-extract"},
                                      {"TELVORA_KILL_HOST", "telvora-ocx"},
                                      {"TELVORA_KILL_AT", std::to_string(killAt)}};
        if (!log.empty())
            env.push_back({"TELVORA_KILL_LOG", log});
        CKillRun run;
        run.status = Update(std::string(kLogin) + kAccept, env).status;
        const std::string bytes = ReadFile(m_shared);
        if (bytes.size() < sizeof(CKillShared)) {
            ADD_FAILURE() << "the kill switch's counter is gone";
            return run;
        }
        const auto* shared = reinterpret_cast<const CKillShared*>(bytes.data());
        run.killed = shared->killed != 0;
        run.steps = shared->count;
        run.what = std::string(shared->what, strnlen(shared->what, sizeof shared->what));
        // Every process of the run has ended before the course is looked at
        // (the extractor is not the test's child).
        for (int i = 0; i < std::min<int>(shared->processes, kKillMaxProcesses); ++i)
            EXPECT_TRUE(WaitForEnd(shared->pids[i]))
                << "process " << shared->pids[i] << " lives on";
        return run;
    }
    static bool WaitForEnd(int pid) {
        const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (fd < 0)
            return errno == ESRCH;
        pollfd p{fd, POLLIN, 0};
        const bool ended = poll(&p, 1, kProcessEndWaitMs) == 1;
        close(fd);
        return ended;
    }

    // The course's files (pages aside) once the first packages are in.
    Files StateAfter(int packages) const {
        Files state = m_initial;
        state.erase("systeminfo/explain.htm");
        state.erase("systeminfo/alter.htm");
        const Files* all[] = {&m_package1, &m_package2};
        for (int i = 0; i < packages; ++i) {
            for (const auto& [path, bytes] : *all[i]) {
                state[path] = bytes;
                for (fs::path p = fs::path(path).parent_path(); !p.empty(); p = p.parent_path())
                    state[p.string() + "/"] = "";
            }
        }
        return state;
    }

    // Every broken rule of the course's state after a kill, one line each.
    Strings Violations(const std::string& version, const std::string& explainAfter,
                       const std::string& alterAfter) const {
        Strings found;
        // With no version recorded the first package may be in part; with
        // the first recorded it is in whole and the second may be in part;
        // with the second recorded both are in whole.
        int low = 0;
        if (version == kCode1)
            low = 1;
        else if (version == kCode2)
            low = 2;
        else if (version != "0")
            found.push_back("version " + version);
        const int high = std::min(low + 1, 2);
        Files now = Tree(m_course);
        const std::string explain = now.count("systeminfo/explain.htm")
                                        ? now["systeminfo/explain.htm"]
                                        : std::string("<none>");
        if (explain != "<none>" && explain != explainAfter)
            found.push_back("explain.htm neither old nor new (" + std::to_string(explain.size()) +
                            " bytes)");
        const std::string alter = now["systeminfo/alter.htm"];
        if (alter != m_initial.at("systeminfo/alter.htm") && alter != alterAfter)
            found.push_back("alter.htm neither old nor new (" + std::to_string(alter.size()) +
                            " bytes)");
        std::set<std::string> paths;
        std::vector<Files> states;
        for (int k = low; k <= high; ++k) {
            states.push_back(StateAfter(k));
            for (const auto& [path, bytes] : states.back())
                paths.insert(path);
        }
        for (const auto& [path, bytes] : now) {
            if (path.rfind("temp/", 0) != 0 && path != "systeminfo/explain.htm" &&
                path != "systeminfo/alter.htm" && !IsScratchName(path))
                paths.insert(path);
        }
        for (const std::string& path : paths) {
            const auto have = now.find(path);
            bool fits = false;
            for (const Files& state : states) {
                const auto want = state.find(path);
                fits = fits ||
                       (have == now.end() ? want == state.end()
                                          : want != state.end() && want->second == have->second);
            }
            if (!fits) {
                found.push_back(path + (have == now.end() ? ": missing"
                                        : StateAfter(0).count(path) + StateAfter(1).count(path) +
                                                StateAfter(2).count(path)
                                            ? ": neither old nor new bytes"
                                            : ": left behind"));
            }
        }
        // Nothing beside the course.
        for (const auto& [path, bytes] : Tree(fs::path(m_course).parent_path().string())) {
            if (path.rfind("math/", 0) != 0)
                found.push_back("beside the course: " + path);
        }
        return found;
    }

    std::string Link(const std::string& code, const std::string& date) const {
        return "<br><a href=\"" + ServerBase() + "explain/math\\" + code + ".htm\">" + date +
               "</a>";
    }

    std::string m_prototype;
    Files m_initial;
    Files m_package1;
    Files m_package2;
    std::string m_shared;
};

TEST_F(UpdateKillTest, KilledAtEveryStepTheCourseStaysWholeAndTheNextUpdateCompletes) {
    const auto started = std::chrono::steady_clock::now();
    // The whole update once, every step logged: how many there are, and the
    // pages a completed update leaves.
    FreshCourse("whole");
    const std::string log = m_root + "/steps.log";
    const CKillRun whole = RunKilledAt(0, log);
    ASSERT_EQ(whole.status, 0);
    ASSERT_FALSE(whole.killed);
    ASSERT_EQ(Version(), kCode2);
    const std::string explainAfter = Page("explain.htm");
    const std::string alterAfter = Page("alter.htm");
    const unsigned long steps = whole.steps;
    ASSERT_GE(steps, 100u) << "too few steps to kill at";
    std::map<std::string, int> stepsByPhase;
    {
        std::istringstream lines(ReadFile(log));
        std::string line;
        while (std::getline(lines, line))
            ++stepsByPhase[PhaseOf(line)];
    }

    const std::string linkBoth =
        Link(kCode2, "2003年6月5日第1次") + Link(kCode1, "2003年5月23日第1次");
    const std::string linkSecond = Link(kCode2, "2003年6月5日第1次");
    const std::string earlier =
        "<br><a href=\"http://old/rdcenter/newweb/explain/math\\02010101.htm\">2002年1月1日第1次"
        "</a>\r\n";
    const std::string print = "\r\n<br><p><a href=\"javascript:print()\">打印</a></p>\r\n";

    std::map<std::string, int> killsByPhase;
    std::map<std::string, int> versionsAfterKill;
    Strings violations;
    int kills = 0;
    int completed = 0;
    for (unsigned long n = 1; n <= steps; ++n) {
        SCOPED_TRACE("killed before step " + std::to_string(n));
        FreshCourse(std::to_string(n));
        const CKillRun run = RunKilledAt(n);
        if (!run.killed) {
            // The threads of a run interleave their steps a little
            // differently each time (how many progress changes the window
            // shows): a run may end before the last numbers.
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(Version(), kCode2);
            ++completed;
            continue;
        }
        ++kills;
        EXPECT_EQ(run.status, kKilledStatus);
        ++killsByPhase[PhaseOf(run.what)];
        const std::string version = Version();
        ++versionsAfterKill[version];
        const std::string alterAtKill = Page("alter.htm");
        for (const std::string& v : Violations(version, explainAfter, alterAfter))
            violations.push_back("step " + std::to_string(n) + " (" +
                                 run.what.substr(0, run.what.size() - 1) + "): " + v);

        // The next update completes.
        m_transcript = m_course + "-next.jsonl";
        const COcxRun next = Update(std::string(kLogin) + kAccept);
        EXPECT_EQ(next.status, 0) << next.err;
        EXPECT_EQ(Version(), kCode2);
        // The course holds the final files, its pages and nothing else: no
        // temp folder, no scratch file.
        Files now = Tree(m_course);
        Files pages = {{"systeminfo/explain.htm", now["systeminfo/explain.htm"]},
                       {"systeminfo/alter.htm", now["systeminfo/alter.htm"]}};
        for (const auto& [path, bytes] : pages)
            now.erase(path);
        EXPECT_EQ(now, StateAfter(2));
        now.insert(pages.begin(), pages.end());
        if (version == kCode2) {
            // Everything was in: nothing is left to offer.
            EXPECT_EQ(BoxTexts(), Strings{U("此课程没有更新内容")});
            continue;
        }
        EXPECT_TRUE(BoxTexts().empty()) << ::testing::PrintToString(BoxTexts());
        const std::string links = version == kCode1 ? linkSecond : linkBoth;
        EXPECT_EQ(now["systeminfo/explain.htm"], "<br>本次更新内容说明：\n" + links + '\0');
        const std::string kept = alterAtKill == alterAfter ? linkBoth + "\r\n" + earlier : earlier;
        EXPECT_EQ(now["systeminfo/alter.htm"],
                  "《数学》课件本次更新结束。<br>\r\n<br>本次更新内容说明：\r\n" + links +
                      "\r\n<br><br>历次更新内容说明：\r\n" + kept + print + '\0');
        if (!HasFailure())
            fs::remove_all(fs::path(m_course).parent_path());
    }

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "update kill test: " << steps << " steps in a whole update, " << kills
              << " kills, " << completed << " runs ended before their step, " << violations.size()
              << " violations, " << seconds << " s\n";
    for (const auto& [phase, count] : stepsByPhase)
        std::cout << "  " << phase << ": " << count << " steps, " << killsByPhase[phase]
                  << " kills\n";
    for (const auto& [version, count] : versionsAfterKill)
        std::cout << "  version after the kill " << version << ": " << count << " times\n";
    EXPECT_GE(kills, 100);
    // Every part of the update was hit.
    for (const char* phase : {"notes pages", "download", "extraction", "copy over the course",
                              "version record", "temp folder (made, emptied, removed)"})
        EXPECT_GT(killsByPhase[phase], 0) << phase;
    EXPECT_TRUE(violations.empty()) << ::testing::PrintToString(violations);
}

}  // namespace
