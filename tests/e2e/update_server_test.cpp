// telvora-update-server end to end: the real program publishes into a
// temporary folder and serves it on the loopback address; a raw client sends
// what the update control and browsers send.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/text/text.h"
#include "tests/e2e/update_server_support.h"

namespace fs = std::filesystem;

namespace {

class UpdateServerE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tv-e2e-server-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_served = m_root + "/served";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Publishes an archive of size bytes (RAR head, then a pattern).
    std::string Publish(const std::string& courseUtf8, const std::string& code,
                        std::size_t size = 64) {
        std::string bytes("Rar!\x1a\x07\x00", 7);
        for (std::size_t i = bytes.size(); i < size; ++i)
            bytes += static_cast<char>((i * 131 + code.back()) % 251);
        const std::string archive = m_root + "/" + code + ".rar";
        Write(archive, bytes);
        const ToolRun run = RunUpdateServerTool(
            {"publish", m_served, "--course", courseUtf8, "--code", code, "--archive", archive});
        EXPECT_EQ(run.status, 0) << run.err;
        return bytes;
    }
    static std::vector<std::string> ListedCodes(const std::string& page) {
        std::vector<std::string> codes;
        for (std::size_t p = page.find('&'); p != std::string::npos; p = page.find('&', p + 1))
            codes.push_back(page.substr(p + 1, 8));
        return codes;
    }
    std::string Query(const std::string& fileid, const std::string& vers,
                      const std::string& user = "", const std::string& password = "") {
        const RawResponse r =
            RawRequest(m_server.Port(), ClientRequest("/rdcenter/newweb/sql.asp?fileid=" + fileid +
                                                          "&versnumber=" + vers + "&userid=" + user,
                                                      user, password));
        EXPECT_TRUE(r.ok);
        return r.body;
    }

    std::string m_root;
    std::string m_served;
    CServerProcess m_server;
};

TEST_F(UpdateServerE2eTest, ListsThePackagesNewerThanTheInstalledOne) {
    for (const char* code : {"03052301", "03060501", "03070101"})
        Publish("math", code);
    Publish(text::GbkToUtf8("数学"), "03052301");
    ASSERT_TRUE(m_server.Start(m_served)) << m_server.ListeningLine() << m_server.Log();
    using V = std::vector<std::string>;
    EXPECT_EQ(ListedCodes(Query("math", "0")), (V{"03052301", "03060501", "03070101"}));
    EXPECT_EQ(ListedCodes(Query("math", "03060501")), V{"03070101"});
    const std::string none = Query("math", "03070101");
    EXPECT_EQ(none.find('&'), std::string::npos);
    EXPECT_NE(none.find("</body>"), std::string::npos);
    EXPECT_EQ(Query("physics", "0").find('&'), std::string::npos);
    EXPECT_EQ(Query("%2e%2e", "0").find('&'), std::string::npos);
    EXPECT_EQ(ListedCodes(Query("%CA%FD%D1%A7", "0")), V{"03052301"});
    EXPECT_EQ(ListedCodes(Query("数学", "0")), V{"03052301"});  // unescaped, as older clients send

    const RawResponse r = RawRequest(
        m_server.Port(), ClientRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers.at("content-type"), "text/html; charset=GBK");
    EXPECT_NE(r.body.find("&03052301math/03052301.rar 64\n"), std::string::npos);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
    // One log line per request, with the target as it came.
    const std::string log = m_server.Log();
    EXPECT_NE(log.find(" 127.0.0.1 GET /rdcenter/newweb/sql.asp?fileid=math&versnumber=03060501"
                       "&userid= 200 "),
              std::string::npos)
        << log;
}

// Each of the server's threads (the password pool's too) holds the stop
// signals blocked; one that did not would end the server the default way
// when the kernel hands it SIGTERM, without its orderly stop. The main
// thread waits for them (while it waits the kernel shows them unblocked).
TEST_F(UpdateServerE2eTest, NoThreadTakesTheStopSignalsTheDefaultWay) {
    Publish("math", "03052301");
    ASSERT_TRUE(m_server.Start(m_served));
    const std::uint64_t stopSignals = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1));
    int threads = 0;
    const std::string pid = std::to_string(m_server.Pid());
    for (const auto& task : fs::directory_iterator("/proc/" + pid + "/task")) {
        if (task.path().filename() == pid)
            continue;
        const std::string status = Read(task.path().string() + "/status");
        const std::size_t at = status.find("SigBlk:");
        ASSERT_NE(at, std::string::npos);
        const std::uint64_t blocked = std::stoull(status.substr(at + 7), nullptr, 16);
        EXPECT_EQ(blocked & stopSignals, stopSignals) << task.path();
        ++threads;
    }
    EXPECT_GT(threads, 0);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

TEST_F(UpdateServerE2eTest, AccountsAndTheLoginRetry) {
    Publish("math", "03052301");
    // 张三 with the password 密码 (UTF-8 on the command line and stdin).
    const std::string nameUtf8 = "\xE5\xBC\xA0\xE4\xB8\x89";
    const std::string passwordUtf8 = "\xE5\xAF\x86\xE7\xA0\x81-pw";
    ToolRun run = RunUpdateServerTool({"user", m_served, "add", nameUtf8}, passwordUtf8 + "\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string users = Read(m_served + "/users.txt");
    EXPECT_EQ(users.find("-pw"), std::string::npos);
    EXPECT_EQ(users.find("\xE5\xAF\x86"), std::string::npos);
    EXPECT_EQ(users.find("密码"), std::string::npos);
    EXPECT_EQ(RunUpdateServerTool({"user", m_served, "add", "bob"}, "").status, 1);

    ASSERT_TRUE(m_server.Start(m_served));
    const std::string target = "/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=";
    RawResponse r = RawRequest(m_server.Port(), ClientRequest(target));
    EXPECT_EQ(r.status, 401);
    EXPECT_EQ(r.headers["www-authenticate"].rfind("Basic realm=", 0), 0u);
    EXPECT_NE(r.body.find("权限"), std::string::npos);

    r = RawRequest(m_server.Port(), ClientRequest(target + "%D5%C5%C8%FD", "张三", "wrong"));
    EXPECT_EQ(r.status, 401);
    EXPECT_NE(r.body.find("权限"), std::string::npos);
    EXPECT_EQ(r.body.find('&'), std::string::npos);

    // The user name escaped and raw in the query; GBK bytes in the credentials.
    for (const std::string userid : {"%D5%C5%C8%FD", "张三", "someone-else"}) {
        r = RawRequest(m_server.Port(), ClientRequest(target + userid, "张三", "密码-pw"));
        EXPECT_EQ(r.status, 200) << userid;
        EXPECT_EQ(ListedCodes(r.body), std::vector<std::string>{"03052301"});
    }
    EXPECT_EQ(
        RawRequest(m_server.Port(), ClientRequest("/rdcenter/newweb/math/03052301.rar")).status,
        401);
    EXPECT_EQ(RawRequest(m_server.Port(),
                         ClientRequest("/rdcenter/newweb/math/03052301.rar", "张三", "密码-pw"))
                  .status,
              200);
    EXPECT_EQ(m_server.Stop(SIGINT), 0);
    const std::string log = m_server.Log();
    EXPECT_EQ(log.find("-pw"), std::string::npos);
    EXPECT_EQ(log.find("Authorization"), std::string::npos);
    EXPECT_EQ(log.find("Basic"), std::string::npos);
}

TEST_F(UpdateServerE2eTest, ArchivesAndExplanationPages) {
    const std::string bytes = Publish(text::GbkToUtf8("数学"), "03052301", 3 * 1024 * 1024 + 17);
    const std::string notes = m_root + "/notes.htm";
    Write(notes, "<html><body>本次更新 \x81\x5C</body></html>");
    Publish("math", "03052301");
    ASSERT_EQ(RunUpdateServerTool({"publish", m_served, "--course", "math", "--code", "03060501",
                                   "--archive", m_root + "/03052301.rar", "--notes", notes})
                  .status,
              0);
    ASSERT_TRUE(m_server.Start(m_served));

    RawResponse r =
        RawRequest(m_server.Port(), ClientRequest("/rdcenter/newweb/%CA%FD%D1%A7/03052301.rar"));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.headers["content-length"], std::to_string(bytes.size()));
    EXPECT_TRUE(r.body == bytes) << "the archive differs (" << r.body.size() << " bytes)";
    r = RawRequest(m_server.Port(),
                   ClientRequest("/rdcenter/newweb/%CA%FD%D1%A7/03052301.rar", "", "", "HEAD"));
    EXPECT_EQ(r.headers["content-length"], std::to_string(bytes.size()));
    EXPECT_TRUE(r.body.empty());

    for (const char* sep : {"\\", "%5C", "/"}) {
        r = RawRequest(m_server.Port(), ClientRequest(std::string("/rdcenter/newweb/explain/math") +
                                                      sep + "03060501.htm"));
        EXPECT_EQ(r.status, 200) << sep;
        EXPECT_EQ(r.body, Read(notes)) << sep;
    }
    // The course's own GBK name, raw as the update control's link holds it.
    r = RawRequest(m_server.Port(), ClientRequest("/rdcenter/newweb/explain/数学\\03052301.htm"));
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("2003年5月23日第1次"), std::string::npos);
}

TEST_F(UpdateServerE2eTest, NothingOutsideThePublishedFiles) {
    Publish("math", "03052301");
    ASSERT_EQ(RunUpdateServerTool({"user", m_served, "add", "alice"}, "pw\n").status, 0);
    Write(m_root + "/secret.rar", "secret");
    ASSERT_TRUE(m_server.Start(m_served));
    for (const char* target : {
             "/rdcenter/newweb/../secret.rar",
             "/rdcenter/newweb/%2e%2e/03052301.rar",
             "/rdcenter/newweb/%2E%2E%2F%2E%2E%2Fsecret/03052301.rar",
             "/rdcenter/newweb/explain/..\\03052301.htm",
             "/rdcenter/newweb/explain/%2e%2e%5c03052301.htm",
             "/rdcenter/newweb/users.txt",
             "/rdcenter/newweb/%2e%2e/users.txt",
             "/rdcenter/newweb/courses/math/index.txt",
             "/rdcenter/newweb/math/03052302.rar",
             "/etc/passwd",
             "/",
         }) {
        const RawResponse r = RawRequest(m_server.Port(), ClientRequest(target, "alice", "pw"));
        EXPECT_EQ(r.status, 404) << target;
        EXPECT_EQ(r.body.find("pbkdf2"), std::string::npos) << target;
        EXPECT_EQ(r.body.find("secret"), std::string::npos) << target;
    }
    EXPECT_EQ(RawRequest(m_server.Port(), ClientRequest("/rdcenter/newweb/sql.asp", "", "", "POST"))
                  .status,
              405);
}

TEST_F(UpdateServerE2eTest, PublishAndCommandLineRefusals) {
    Publish("math", "03060501");
    const std::string archive = m_root + "/03060501.rar";
    auto publish = [&](const std::string& course, const std::string& code) {
        return RunUpdateServerTool(
            {"publish", m_served, "--course", course, "--code", code, "--archive", archive});
    };
    ToolRun run = publish("math", "0306050");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a package code"), std::string::npos) << run.err;
    run = publish("math", "03060501");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not newer than 03060501"), std::string::npos) << run.err;
    EXPECT_EQ(publish("math", "03052301").status, 1);
    for (const char* course : {"", "..", "a/b", "a\\b", "a:b", "a|b", "\xF0\x9F\x98\x80"}) {
        run = publish(course, "03070101");
        EXPECT_EQ(run.status, 1) << course;
        EXPECT_NE(run.err.find("course name"), std::string::npos) << run.err;
    }
    EXPECT_EQ(publish("math", "03070101").status, 0);

    run = RunUpdateServerTool({"publish", m_served, "--course", "math"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "telvora-update-server: publish needs --course FILEID and --code YYMMDDNN\n"
              "Type \"telvora-update-server --help\" for usage.\n");
    EXPECT_EQ(RunUpdateServerTool({}).status, 2);
    EXPECT_EQ(RunUpdateServerTool({"serve", m_served, "--listen", "nowhere"}).status, 2);
    EXPECT_EQ(RunUpdateServerTool({"serve", m_root + "/missing"}).status, 1);
    run = RunUpdateServerTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Exit status"), std::string::npos);
}

TEST_F(UpdateServerE2eTest, SlowAndBrokenClientsDoNotHoldOthersUp) {
    const std::string archive = Publish("math", "03052301", 4 * 1024 * 1024);
    ASSERT_TRUE(m_server.Start(m_served, {"--timeout", "2"}));
    const int port = m_server.Port();
    std::vector<int> idle;
    for (int i = 0; i < 8; ++i) {  // a request line that never ends
        const int fd = ConnectLoopback(port);
        ASSERT_GE(fd, 0);
        send(fd, "GET /rdcenter/newweb/sql", 24, MSG_NOSIGNAL);
        idle.push_back(fd);
    }
    for (int i = 0; i < 4; ++i) {  // garbage
        const int fd = ConnectLoopback(port);
        ASSERT_GE(fd, 0);
        send(fd, "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15, MSG_NOSIGNAL);
        idle.push_back(fd);
    }
    // A download whose reader stops after the first bytes.
    const int stalled = ConnectLoopback(port);
    const std::string get = ClientRequest("/rdcenter/newweb/math/03052301.rar");
    send(stalled, get.data(), get.size(), MSG_NOSIGNAL);
    char first[16];
    ASSERT_GT(recv(stalled, first, sizeof first, 0), 0);

    // Meanwhile others are served, also a request too large to take.
    const RawResponse huge =
        RawRequest(port, "GET /x HTTP/1.0\r\nX-Pad: " + std::string(100000, 'a') + "\r\n\r\n");
    EXPECT_TRUE(huge.status == 431 || huge.status == 414 || huge.status == 400) << huge.status;
    EXPECT_EQ(ListedCodes(Query("math", "0")), std::vector<std::string>{"03052301"});
    const RawResponse whole = RawRequest(port, ClientRequest("/rdcenter/newweb/math/03052301.rar"));
    EXPECT_TRUE(whole.body == archive);

    // Idle connections are closed after the idle time.
    for (int fd : idle) {
        EXPECT_TRUE(ClosedByPeerWithin(fd, 20));
        close(fd);
    }
    close(stalled);
    EXPECT_EQ(ListedCodes(Query("math", "0")).size(), 1u);
    // A second server cannot take the same port.
    const ToolRun second = RunUpdateServerTool(
        {"serve", m_served, "--listen", "127.0.0.1:" + std::to_string(port)}, "", 20);
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("cannot listen"), std::string::npos) << second.err;
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

}  // namespace
