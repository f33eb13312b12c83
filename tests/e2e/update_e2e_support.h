// Online updates end to end: the real update control in telvora-ocx, run
// headless in a fresh prefix against a course folder made directly, with the
// real telvora-update-server or a scripted server on the loopback address.
// A stand-in for the course's browser tells the test through a pipe which
// pages it was asked to open. Every run is bounded in time.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/process/process.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/update_server_support.h"

// The course every test updates: its folder name is the fileid the server
// knows it by.
inline constexpr const char* kCourseId = "math";

// Answers: the login, and the offer accepted or declined.
inline constexpr const char* kLogin =
    "dialog 211 : type 211 \"alice\" ; type 208 \"pw\" ; press 1\n";
inline constexpr const char* kAccept = "dialog 218 : press 1\n";
inline constexpr const char* kDecline = "dialog 218 : press 2\n";

// How long a run may take before it counts as hung (it is then killed).
inline constexpr int kRunTimeoutSeconds = 90;

// A tree of files: relative UTF-8 path -> bytes; a folder is "path/" -> "".
using Files = std::map<std::string, std::string>;

// An entry of an archive written byte by byte (for archives no packer
// makes: two top entries, sizes that lie).
struct CRawRarEntry {
    std::string name;  // GBK, backslashes between components
    bool folder = false;
    std::string data;
    // The size the header declares, when it is not the data's.
    std::optional<std::uint64_t> declaredSize;
};
// A RAR 4 archive of these entries, stored, in this order.
std::string RawRar(const std::vector<CRawRarEntry>& entries);

// A page of the update server's answer: some HTML, the fields each after
// "&" on a line of its own, then "</body>".
std::string ListPage(const std::vector<std::string>& fields);

// A program started with its output in files, waited for with a bound.
class CChild {
public:
    CChild() = default;
    ~CChild();  // kills a child still running
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    // Starts program with args; env holds the changes to this process's
    // environment. Standard output and error go to the files named. With
    // ownGroup the program leads a process group of its own (its id is the
    // program's), which a kill of the group reaches as a whole.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<EnvChange>& env, const std::string& outPath,
               const std::string& errPath, bool ownGroup = false);
    // The exit status (128 + signal when a signal ended it), or -1 when it
    // did not end within timeoutSeconds (it is then killed).
    int Wait(int timeoutSeconds);
    int Pid() const { return m_pid; }

private:
    int m_pid = -1;
    int m_pidFd = -1;
};

struct COcxRun {
    int status = -1;  // -1: did not end in time
    std::string out;  // UTF-8, one JSON value a line
    std::string err;
};

class UpdateE2eTest : public E2eTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // ---- the course ----
    // <root>/courses/<name>: setup.ini (GBK, CR LF), index.htm, a.htm,
    // b.htm, systeminfo/alter.htm with one earlier update's links, the
    // course's browser as a Windows program, and its registry record with
    // version "0". Returns the Unix path.
    std::string MakeCourse(const std::string& name = kCourseId);
    static std::string SetupIni(const std::string& courseName, const std::string& defaultPage);
    // The course's registry key (HKCU) and its recorded version.
    static std::string RecordKey(const std::string& name = kCourseId);
    static std::string Version(const std::string& name = kCourseId);

    // ---- the real update server ----
    // Publishes the files (relative UTF-8 paths) as package code of course
    // (their tree under the top folder top, the course's name when empty).
    void Publish(const std::string& code, const Files& files, const std::string& top = "",
                 const std::string& course = kCourseId);
    // Publishes a ready archive.
    void PublishArchive(const std::string& code, const std::string& bytes,
                        const std::string& course = kCourseId);
    void StartServer(const std::vector<std::string>& extra = {});
    // Where the update control looks for its server ("host:port").
    static void UseServer(const std::string& hostPort);
    static void UsePort(int port) { UseServer("127.0.0.1:" + std::to_string(port)); }
    // The request targets the server logged, in order.
    std::vector<std::string> LoggedTargets() const;
    // A RAR archive of files under top, made by telvora-pack.
    std::string PackArchive(const Files& files, const std::string& top = kCourseId);

    // ---- runs of the update control ----
    // telvora-ocx call CORVANE.CorvaneCtrl.1 calls... with these answers (GBK
    // text) and extra environment.
    COcxRun Ocx(const std::vector<std::string>& calls, const std::string& answers,
                const std::vector<EnvChange>& env = {}, int timeoutSeconds = kRunTimeoutSeconds);
    // The launcher's way: PutInfo with the recorded version (or version when
    // given) and the course folder, silent, then Download; repeated times
    // times in one process.
    COcxRun Update(const std::string& answers, const std::vector<EnvChange>& env = {},
                   int times = 1, const std::optional<std::string>& version = std::nullopt);
    std::vector<std::string> UpdateCalls(int times = 1,
                                         const std::optional<std::string>& version = std::nullopt,
                                         int showWindow = 0) const;
    // The environment of every run (headless, answers, transcript).
    std::vector<EnvChange> RunEnvironment(const std::string& answerFile) const;

    // ---- the course's browser ----
    // The arguments of the next start of the browser, or nothing after
    // timeoutMs.
    std::optional<std::vector<std::string>> NextBrowserStart(int timeoutMs = 20000);
    // The pages of the next count starts (fails the test when fewer come).
    std::vector<std::string> BrowserPages(std::size_t count);
    // True when no start is waiting to be read (after the run has ended,
    // every start it made has written its line or is about to).
    bool NoBrowserStartWithin(int timeoutMs);

    // ---- files ----
    static Files Tree(const std::string& dir);
    // Everything under the test's root that is neither the course, the
    // served folder, the prefix nor the run's own files: what an update must
    // never touch.
    Files Surroundings() const;
    std::string Page(const std::string& name) const;  // systeminfo/<name>
    // The server's base address as the pages link it.
    std::string ServerBase() const;

    std::string m_course;     // Unix path
    std::string m_courseWin;  // Windows path (GBK)
    std::string m_served;
    CServerProcess m_server;
    int m_pipe = -1;
    int m_pipeWriter = -1;
    std::string m_pipeText;  // read from the pipe, not yet taken
    std::string m_recorder;
    int m_nPort = 0;
};
