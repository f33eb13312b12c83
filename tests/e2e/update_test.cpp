// The online update end to end, as a user meets it: the update control in
// telvora-ocx logs in, asks the real update server (or a scripted one where
// the server's answer itself is the subject), offers the update, downloads,
// unpacks and applies the packages, records each version and writes the
// notes pages.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "common/course_lock.h"
#include "platform/error/error.h"
#include "platform/fs/fs.h"
#include "platform/net/tests/test_http_server.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "tests/e2e/update_e2e_support.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

constexpr int kScriptWaitMs = 20000;  // reached only when something is wrong

// The history page the course starts with, as its lines are kept.
constexpr const char* kEarlierLink =
    "<br><a href=\"http://old/rdcenter/newweb/explain/math\\02010101.htm\">2002年1月1日第1次</a>";
constexpr const char* kPrintLine = "<br><p><a href=\"javascript:print()\">打印</a></p>";

class UpdateTest : public UpdateE2eTest {
protected:
    // A link of the pages to a package's explanation page.
    std::string Link(const std::string& code, const std::string& date) const {
        return "<br><a href=\"" + ServerBase() + "explain/math\\" + code + ".htm\">" + date +
               "</a>";
    }
    // The two pages an update opens at its end, sorted: the two browsers
    // run at once, so the order they tell it in is not the order they were
    // started in.
    Strings OpenedPages() {
        Strings pages = BrowserPages(2);
        std::sort(pages.begin(), pages.end());
        return pages;
    }
    // The lines of a transcript's text events of the offer text.
    std::vector<std::string> OfferTexts() const { return Texts(218, 214); }

    // Waits until the transcript holds a line with this text.
    bool TranscriptShows(const std::string& utf8, int timeoutMs = kScriptWaitMs) const {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            if (ReadFile(m_transcript).find(utf8) != std::string::npos)
                return true;
            usleep(20 * 1000);
        }
        return false;
    }
};

// ---- packages applied ----

TEST_F(UpdateTest, PackagesAreAppliedInOrderWithTheirPagesAndEachVersion) {
    Publish("03052301", {{"a.htm", "a 1\r\n"}, {"sub/x.htm", "x 1\r\n"}});
    Publish("03060501", {{"a.htm", "a 2\r\n"}, {"b.htm", "b 2\r\n"}});
    StartServer();

    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_EQ(Version(), "03060501");
    Files course = Tree(m_course);
    EXPECT_EQ(course["a.htm"], "a 2\r\n");
    EXPECT_EQ(course["b.htm"], "b 2\r\n");
    EXPECT_EQ(course["sub/x.htm"], "x 1\r\n");
    EXPECT_EQ(course["index.htm"], "<html>目录</html>\r\n");
    EXPECT_EQ(course.count("temp/"), 0u) << "the temp folder is removed after each package";
    EXPECT_TRUE(BoxTexts().empty());
    // Oldest first, each archive once, on the connection the query opened.
    EXPECT_EQ(
        LoggedTargets(),
        (Strings{"/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=alice",
                 "/rdcenter/newweb/math/03052301.rar", "/rdcenter/newweb/math/03060501.rar"}));
    // The progress window names the package it shows (a download this
    // short may end before the window is up).
    for (const std::string& shown : Texts(219, 216))
        EXPECT_TRUE(shown == "math/03052301.rar" || shown == "math/03060501.rar") << shown;
    // The history page and the start page.
    EXPECT_EQ(OpenedPages(),
              (Strings{m_course + "/index.htm", m_course + "/systeminfo/alter.htm"}));

    // The pages byte for byte: newest link first, the explanation page a
    // plain link list ending in a zero byte, the history page in CR LF lines.
    const std::string links =
        Link("03060501", "2003年6月5日第1次") + Link("03052301", "2003年5月23日第1次");
    EXPECT_EQ(Page("explain.htm"), "<br>本次更新内容说明：\n" + links + '\0');
    EXPECT_EQ(Page("alter.htm"), "《数学》课件本次更新结束。<br>\r\n<br>本次更新内容说明：\r\n" +
                                     links + "\r\n<br><br>历次更新内容说明：\r\n" + kEarlierLink +
                                     "\r\n\r\n" + kPrintLine + "\r\n" + '\0');

    // A second update: its link line on top, the older ones below.
    Publish("03100210", {{"b.htm", "b 3\r\n"}});
    run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_EQ(Version(), "03100210");
    EXPECT_EQ(ReadFile(m_course + "/b.htm"), "b 3\r\n");
    EXPECT_EQ(LoggedTargets().at(3),
              "/rdcenter/newweb/sql.asp?fileid=math&versnumber=03060501&userid=alice");
    const std::string newest = Link("03100210", "2003年10月2日第10次");
    EXPECT_EQ(Page("explain.htm"), "<br>本次更新内容说明：\n" + newest + '\0');
    EXPECT_EQ(Page("alter.htm"), "《数学》课件本次更新结束。<br>\r\n<br>本次更新内容说明：\r\n" +
                                     newest + "\r\n<br><br>历次更新内容说明：\r\n" + links +
                                     "\r\n" + kEarlierLink + "\r\n\r\n" + kPrintLine + "\r\n" +
                                     '\0');
    EXPECT_EQ(OpenedPages(),
              (Strings{m_course + "/index.htm", m_course + "/systeminfo/alter.htm"}));
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(UpdateTest, AFailureAtTheSecondOfThreeLeavesTheFirstAppliedAndRecorded) {
    Publish("03052301", {{"a.htm", "a 1\r\n"}});
    // A damaged archive: the RAR signature, then nothing an archive holds.
    PublishArchive("03052302", std::string("Rar!\x1a\x07\x00", 7) + std::string(300, 'x'));
    Publish("03052303", {{"b.htm", "b 3\r\n"}});
    StartServer();

    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Version(), "03052301");
    EXPECT_EQ(ReadFile(m_course + "/a.htm"), "a 1\r\n");
    EXPECT_EQ(ReadFile(m_course + "/b.htm"), "old b\r\n");
    const Strings boxes = BoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(U("无法解压")), std::string::npos) << boxes[0];
    // The third package is never fetched, and the pages are not opened.
    EXPECT_EQ(LoggedTargets().size(), 3u);
    EXPECT_TRUE(NoBrowserStartWithin(300));

    // The next update starts from the recorded package.
    run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(LoggedTargets().at(3),
              "/rdcenter/newweb/sql.asp?fileid=math&versnumber=03052301&userid=alice");
    EXPECT_EQ(Version(), "03052301");
}

TEST_F(UpdateTest, DecliningChangesNothingButTheExplanationPage) {
    Publish("03052301", {{"a.htm", "a 1\r\n"}});
    StartServer();
    const Files before = Tree(m_course);
    COcxRun run = Update(std::string(kLogin) + kDecline);
    EXPECT_EQ(run.out, "true\ntrue\n");
    Files after = Tree(m_course);
    // The explanation page holds this offer; everything else is as it was.
    EXPECT_EQ(after["systeminfo/explain.htm"],
              "<br>本次更新内容说明：\n" + Link("03052301", "2003年5月23日第1次") + '\0');
    after.erase("systeminfo/explain.htm");
    EXPECT_EQ(after, before);
    EXPECT_EQ(Version(), "0");
    EXPECT_EQ(LoggedTargets().size(), 1u);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_TRUE(NoBrowserStartWithin(300));
}

TEST_F(UpdateTest, TopFoldersOtherThanTheCoursesLandBesideIt) {
    PublishArchive("03052301", PackArchive({{"x.htm", "x\r\n"}}, "other"));
    StartServer();
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(m_root + "/courses/other/x.htm"), "x\r\n");
    EXPECT_FALSE(fs::exists(m_course + "/x.htm"));
    EXPECT_EQ(Version(), "03052301");
}

TEST_F(UpdateTest, OnlyTheFirstOfTwoTopEntriesIsApplied) {
    const std::string archive = RawRar({{"math", true, "", {}},
                                        {"math\\a.htm", false, "a 1\r\n", {}},
                                        {"zzz", true, "", {}},
                                        {"zzz\\z.htm", false, "z\r\n", {}}});
    // Which comes first is the file system's listing order of the unpacked
    // tree: the same extraction beside the test shows it.
    const std::string probe = m_root + "/work/probe";
    WriteFile(m_root + "/work/probe.rar", archive);
    ASSERT_EQ(
        RunProgramAndWait(Bin("telvora-extract"), {"x", m_root + "/work/probe.rar", probe, "-y"}),
        0);
    const std::string first = fs::directory_iterator(probe)->path().filename().string();
    PublishArchive("03052301", archive);
    StartServer();

    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    const bool courseFirst = first == "math";
    EXPECT_EQ(ReadFile(m_course + "/a.htm"), courseFirst ? "a 1\r\n" : "old a\r\n");
    EXPECT_EQ(fs::exists(m_root + "/courses/zzz/z.htm"), !courseFirst);
    EXPECT_FALSE(fs::exists(m_course + "/temp")) << "the other entry goes with the temp folder";
    EXPECT_EQ(Version(), "03052301");
}

TEST_F(UpdateTest, AReadOnlyCourseFileIsReplaced) {
    ASSERT_EQ(chmod((m_course + "/a.htm").c_str(), 0444), 0);
    Publish("03052301", {{"a.htm", "a 1\r\n"}});
    StartServer();
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(m_course + "/a.htm"), "a 1\r\n");
    EXPECT_EQ(Version(), "03052301");
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(UpdateTest, ACourseWithoutItsRecordGetsOnlyTheFirstPackagesFiles) {
    Publish("03052301", {{"a.htm", "a 1\r\n"}});
    Publish("03060501", {{"b.htm", "b 2\r\n"}});
    StartServer();
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, RecordKey().c_str()), ERROR_SUCCESS);
    COcxRun run = Update(std::string(kLogin) + kAccept, {}, 1, "0");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(m_course + "/a.htm"), "a 1\r\n");
    EXPECT_EQ(ReadFile(m_course + "/b.htm"), "old b\r\n");
    EXPECT_EQ(Version(), "<missing>") << "no record is made";
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(LoggedTargets().size(), 2u);
    EXPECT_TRUE(NoBrowserStartWithin(300));
}

TEST_F(UpdateTest, ACourseNamedInChineseWithABlankIsQueriedAndUpdated) {
    m_course = MakeCourse("数 学");
    m_courseWin = ToWindowsPath(m_course).value_or("");
    Publish("03052301", {{"a.htm", "a 1\r\n"}}, "", "数 学");
    StartServer();
    COcxRun run = Update(std::string(kLogin) + kAccept, {}, 1, "0");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(m_course + "/a.htm"), "a 1\r\n");
    EXPECT_EQ(Version("数 学"), "03052301");
    EXPECT_EQ(LoggedTargets().at(0),
              "/rdcenter/newweb/sql.asp?fileid=%CA%FD%20%D1%A7&versnumber=0&userid=alice");
    EXPECT_TRUE(BoxTexts().empty());
}

// ---- the query and the login ----

TEST_F(UpdateTest, TheRequestsAsTheServerReceivesThem) {
    const std::string archive = PackArchive({{"a.htm", "a 1\r\n"}});
    CTestHttpServer server(
        [&](CTestConnection& c) {
            if (c.Target().find("sql.asp") != std::string::npos)
                c.Send(HttpAnswer(200, ListPage({"03052301pkgs/03052301.rar " +
                                                 std::to_string(archive.size())})));
            else
                c.Send(HttpAnswer(200, archive));
        },
        2);
    UsePort(server.Port());
    // A user name with a blank, "&" and GBK; a password with ":".
    COcxRun run = Update("dialog 211 : type 211 \"张 三&x\" ; type 208 \"p 密:w\" ; press 1\n" +
                         std::string(kAccept));
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(server.WaitForHandled(2, kScriptWaitMs));
    const Strings requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string port = std::to_string(server.Port());
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
              "GET /rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=%D5%C5%20%C8%FD%26x "
              "HTTP/1.0");
    EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")),
              "GET /rdcenter/newweb/pkgs/03052301.rar HTTP/1.0");
    for (const std::string& request : requests) {
        EXPECT_EQ(HeaderValue(request, "User-Agent"), "corvane");
        EXPECT_EQ(HeaderValue(request, "Accept"), "*/*");
        EXPECT_EQ(HeaderValue(request, "Host"), "127.0.0.1:" + port);
        const std::string basic = HeaderValue(request, "Authorization");
        ASSERT_EQ(basic.rfind("Basic ", 0), 0u) << request;
        EXPECT_EQ(Base64Decode(basic.substr(6)), "张 三&x:p 密:w");
        // Nothing else goes with the request.
        std::size_t lines = 0;
        for (std::size_t p = 0; (p = request.find("\r\n", p)) != std::string::npos; p += 2)
            ++lines;
        EXPECT_EQ(lines, 6u) << request;  // the request line, four headers, the blank line
    }
    EXPECT_EQ(ReadFile(m_course + "/a.htm"), "a 1\r\n");
    EXPECT_EQ(Version(), "03052301");
    EXPECT_EQ(ReadFile(m_transcript).find(U("p 密:w")), std::string::npos);
}

TEST_F(UpdateTest, ARefusedLoginIsToldAndAskedForAgain) {
    Publish("03052301", {{"a.htm", "a 1\r\n"}});
    ASSERT_EQ(RunUpdateServerTool({"user", m_served, "add", "alice"}, "s3cret-pw\n").status, 0);
    StartServer();
    COcxRun run = Update(
        "dialog 211 : type 211 \"alice\" ; type 208 \"wrong-pw\" ; press 1\n"
        "messagebox \"错误的用户名或密码\" : press 1\n"
        "dialog 211 : type 211 \"alice\" ; type 208 \"s3cret-pw\" ; press 1\n" +
        std::string(kAccept));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Version(), "03052301");
    EXPECT_EQ(ReadFile(m_course + "/a.htm"), "a 1\r\n");
    const auto boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].at("text"), U("错误的用户名或密码"));
    EXPECT_EQ(boxes[0].at("caption"), "corvane");
    std::size_t logins = 0;
    for (const TranscriptEvent& e : Events("dialog"))
        logins += e.at("id") == "211" && e.at("op") == "open";
    EXPECT_EQ(logins, 2u);
    const std::string log = m_server.Log();
    EXPECT_NE(log.find("sql.asp?fileid=math&versnumber=0&userid=alice 401"), std::string::npos)
        << log;
    EXPECT_NE(log.find("sql.asp?fileid=math&versnumber=0&userid=alice 200"), std::string::npos)
        << log;
    // The passwords are in no transcript, log or output.
    for (const std::string& text : {ReadFile(m_transcript), log, run.out, run.err}) {
        EXPECT_EQ(text.find("wrong-pw"), std::string::npos);
        EXPECT_EQ(text.find("s3cret-pw"), std::string::npos);
    }

    // Cancelled at the second asking: the query ends there.
    run = Update(
        "dialog 211 : type 211 \"alice\" ; type 208 \"wrong-pw\" ; press 1\n"
        "dialog 211 : press 2\n");
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_EQ(BoxTexts().size(), 2u);
    EXPECT_EQ(Texts(218, 214).size(), 1u) << "no second offer";
}

TEST_F(UpdateTest, WithoutAnUpdateTheServerSaysSoAndNothingIsTouched) {
    Publish("03052301", {{"a.htm", "a 1\r\n"}}, "", "physics");
    StartServer();
    const Files before = Tree(m_course);
    COcxRun run = Update(kLogin);
    EXPECT_EQ(run.out, "true\ntrue\n");
    const auto boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].at("text"), U("此课程没有更新内容"));
    EXPECT_EQ(boxes[0].at("caption"), U("提示"));
    EXPECT_EQ(boxes[0].at("icon"), "information");
    EXPECT_EQ(boxes[0].at("buttons"), "ok");
    EXPECT_TRUE(OfferTexts().empty());
    EXPECT_EQ(Tree(m_course), before);
}

TEST_F(UpdateTest, AnEmptyListIsOfferedAndAcceptedWithoutAnyPackage) {
    CTestHttpServer server(
        [](CTestConnection& c) { c.Send(HttpAnswer(200, "<html><body>&</body></html>")); }, 1);
    UsePort(server.Port());
    m_nPort = server.Port();
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_EQ(OfferTexts(), Strings{U("此课程有更新内容。\n\n文件大小：                    0 KB\n\n"
                                      "下载时间(以28kbps下载速度计)：1 秒")});
    EXPECT_EQ(Page("explain.htm"), std::string("<br>本次更新内容说明：\n") + '\0');
    EXPECT_EQ(Page("alter.htm"),
              std::string("《数学》课件本次更新结束。<br>\r\n<br>本次更新内容说明：\r\n"
                          "\r\n<br><br>历次更新内容说明：\r\n") +
                  kEarlierLink + "\r\n\r\n" + kPrintLine + "\r\n" + '\0');
    EXPECT_EQ(OpenedPages(),
              (Strings{m_course + "/index.htm", m_course + "/systeminfo/alter.htm"}));
    EXPECT_EQ(Version(), "0");
    EXPECT_TRUE(Events("messagebox").empty());
}

TEST_F(UpdateTest, TheOfferStatesSizeAndTimeAndShowsTheNotes) {
    CTestHttpServer server(
        [](CTestConnection& c) {
            c.Send(
                HttpAnswer(200, ListPage({"03052301cw/a.rar 1200", "03060501 cw/b.rar 998800 "})));
        },
        2);
    UsePort(server.Port());
    m_nPort = server.Port();
    // 更新说明 while the offer is up, then 取消.
    COcxRun run = Update(std::string(kLogin) + "dialog 218 : press 215 ; press 2\n");
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_EQ(OfferTexts(), Strings{U("此课程有更新内容。\n\n文件大小：                    976 KB"
                                      "\n\n下载时间(以28kbps下载速度计)：286 秒")});
    const auto dialogs = Events("dialog");
    ASSERT_EQ(dialogs.size(), 4u);  // the login and the offer, each opened and closed
    EXPECT_EQ(dialogs[2].at("title"), U("请选择"));
    EXPECT_EQ(dialogs[3].at("result"), "2");
    EXPECT_EQ(BrowserPages(1), Strings{m_course + "/systeminfo/explain.htm"});
    EXPECT_EQ(Page("explain.htm"), "<br>本次更新内容说明：\n" +
                                       Link("03060501", "2003年6月5日第1次") +
                                       Link("03052301", "2003年5月23日第1次") + '\0');

    // A browser that cannot start is told in the system's words, and the
    // offer stays until it is answered.
    ASSERT_TRUE(
        RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes", "iexplore.exe", " "));
    run = Update(std::string(kLogin) + "dialog 218 : press 215 ; press 2\n");
    EXPECT_EQ(run.out, "true\ntrue\n");
    const auto boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].at("text"), U(FormatSystemMessage(ERROR_BAD_EXE_FORMAT)));
    EXPECT_EQ(boxes[0].at("icon"), "information");
    EXPECT_EQ(Events("dialog").back().at("result"), "2");
}

TEST_F(UpdateTest, PackageNamesEndingInUpperCaseRarEndTheUpdateSilently) {
    CTestHttpServer server(
        [](CTestConnection& c) { c.Send(HttpAnswer(200, ListPage({"03052301math/a.RAR 100"}))); },
        1);
    UsePort(server.Port());
    const Files before = Tree(m_course);
    COcxRun run = Update(std::string(kLogin) + kAccept);
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_TRUE(OfferTexts().empty());
    EXPECT_TRUE(Events("messagebox").empty());
    EXPECT_EQ(Tree(m_course), before);
    EXPECT_EQ(server.Requests().size(), 1u);
}

// ---- interactive starts ----

TEST_F(UpdateTest, TheBusyAndTheInternetMessagesInInteractiveMode) {
    UseServer("nohost.invalid");
    ASSERT_TRUE(
        RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Update", "ProbeHost", "localhost"));
    COcxRun run = Ocx(UpdateCalls(1, "0", 1), kLogin);
    EXPECT_EQ(run.out, "true\nfalse\n");
    auto boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].at("text"), U("网络服务器繁忙，请稍候再试。"));
    EXPECT_EQ(boxes[0].at("caption"), U("提示！"));
    EXPECT_EQ(boxes[0].at("icon"), "information");
    EXPECT_EQ(boxes[0].at("buttons"), "ok");

    // Not online at all: asked again after each 确定 until 取消.
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Update", "ProbeHost",
                             "nohost2.invalid"));
    run = Ocx(UpdateCalls(1, "0", 1),
              "messagebox \"只有上网\" : press 1\nmessagebox \"只有上网\" : press 2\n");
    EXPECT_EQ(run.out, "true\nfalse\n");
    boxes = Events("messagebox");
    ASSERT_EQ(boxes.size(), 3u);
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(boxes[i].at("text"),
                  U("只有上网才能更新课件。\n现在更新课件，请先连接到Internet，然后再点击\"确定\"，"
                    "否则请点击\"取消\"。"));
        EXPECT_EQ(boxes[i].at("caption"), U("请注意！"));
        EXPECT_EQ(boxes[i].at("buttons"), "okcancel");
        EXPECT_EQ(boxes[i].at("result"), i == 1 ? "1" : "2");
    }
    EXPECT_TRUE(Events("dialog").empty()) << "no login without a connection";

    // The silent start never asks: the login comes, the query fails quietly.
    run = Update(kLogin);
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_EQ(Events("messagebox").size(), 3u);
    EXPECT_EQ(Version(), "0");
}

TEST_F(UpdateTest, ASecondInteractiveDownloadOfTheSameCourseIsRefusedWhileTheFirstRuns) {
    // The server never answers: the first worker is still at its query when
    // the second Download comes (and goes with the process at the end).
    CTestHttpServer server([](CTestConnection& c) { c.WaitForClientClose(kScriptWaitMs); }, 2);
    UsePort(server.Port());
    std::vector<std::string> calls = UpdateCalls(1, "0", 1);
    calls.insert(calls.end(), {",", "Download"});
    COcxRun run = Ocx(calls, "dialog 211 : type 211 \"alice\" ; type 208 \"pw\" ; press 1 *\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "true\ntrue\nfalse\n");
    // The second is told before it asks for a login; one worker was made.
    EXPECT_EQ(Texts(211, 208).size(), 2u);
    EXPECT_EQ(BoxTexts(), Strings{U(kCourseBusyText)});
    EXPECT_LE(server.Requests().size(), 1u);
}

TEST_F(UpdateTest, WhileAnotherProcessHoldsTheCourseAnUpdateChangesNothing) {
    // Another process's update, or an installer, at work on the course.
    m_transcript = m_root + "/held.jsonl";
    std::unique_ptr<CInstanceLock> other = std::make_unique<CInstanceLock>();
    ASSERT_TRUE(other->Acquire(m_courseWin + "\\systeminfo"));
    WriteFile(m_course + "/temp/theirs.rar", "their download");
    const Files before = Tree(m_course);
    // Silent: quietly nothing, no login.
    COcxRun run = Update(kLogin);
    EXPECT_EQ(run.out, "true\nfalse\n");
    // Interactive: one box, before the probe and the login.
    run = Ocx(UpdateCalls(1, "0", 1), kLogin);
    EXPECT_EQ(run.out, "true\nfalse\n");
    EXPECT_EQ(BoxTexts(), Strings{U(kCourseBusyText)});
    EXPECT_TRUE(Texts(211, 208).empty());
    EXPECT_EQ(Tree(m_course), before);
    // Once it is done, the next update takes the course and removes what
    // the other left in the temp folder, even with nothing to apply.
    other.reset();
    StartServer();
    run = Update(kLogin);
    EXPECT_EQ(run.out, "true\ntrue\n");
    EXPECT_FALSE(fs::exists(m_course + "/temp"));
}

TEST_F(UpdateTest, AHostEndingWhileAnInteractiveUpdateRunsEndsCleanly) {
    // The host returns at once from an interactive Download and ends while
    // its worker is still starting its query: again and again, so that the
    // end meets the worker at every point of its start.
    constexpr int kRuns = 40;
    CTestHttpServer server([](CTestConnection& c) { c.WaitForClientClose(kScriptWaitMs); }, kRuns);
    UsePort(server.Port());
    for (int i = 0; i < kRuns; ++i) {
        COcxRun run = Ocx(UpdateCalls(1, "0", 1), kLogin);
        ASSERT_EQ(run.status, 0) << "run " << i << ": " << run.err;
        ASSERT_EQ(run.out, "true\ntrue\n");
    }
    EXPECT_EQ(ExitCodes("telvora-ocx"), std::vector<int>(kRuns, 0));
}

// ---- cancel ----

TEST_F(UpdateTest, CancelAtFortyPercentEndsQuietlyAndTheNextUpdateIsNotCancelled) {
    // A package large enough for many reads, sent half at first; the rest
    // comes once the user has cancelled.
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "line " + std::to_string(i) + "\r\n";
    const std::string archive = PackArchive({{"a.htm", "a 1\r\n"}, {"big.htm", big}});
    const std::string field = "03052301math/03052301.rar " + std::to_string(archive.size());
    std::atomic<int> downloads{0};
    CTestHttpServer server(
        [&](CTestConnection& c) {
            if (c.Target().find("sql.asp") != std::string::npos) {
                c.Send(HttpAnswer(200, ListPage({field})));
                return;
            }
            const std::string answer = HttpAnswer(200, archive);
            if (downloads++ > 0) {
                c.Send(answer);
                return;
            }
            const std::size_t half = answer.size() - archive.size() / 2;
            c.Send(answer.substr(0, half));
            TranscriptShows("\"ev\":\"press\",\"dialog\":219,\"button\":2");
            c.Send(answer.substr(half));
            c.WaitForClientClose(kScriptWaitMs);
        },
        4);
    UsePort(server.Port());
    COcxRun run = Update(
        std::string(kLogin) + kAccept + "dialog 219 when 218 >= 40 : press 2\n" + kLogin + kAccept,
        {}, 2);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "true\ntrue\ntrue\ntrue\n");
    EXPECT_TRUE(Events("messagebox").empty());
    Strings closes;
    for (const TranscriptEvent& e : Events("dialog")) {
        if (e.at("id") == "219" && e.at("op") == "close")
            closes.push_back(e.at("result"));
    }
    EXPECT_EQ(closes, (Strings{"2", "1300"}));
    EXPECT_EQ(downloads, 2);
    EXPECT_EQ(ReadFile(m_course + "/big.htm"), big);
    EXPECT_EQ(Version(), "03052301");
    EXPECT_FALSE(fs::exists(m_course + "/temp"));
}

}  // namespace
