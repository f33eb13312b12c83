// telvora-update-server under abuse, on the loopback address: a flood of
// slow connections from one address, and requests of every malformed kind.
// It keeps serving everyone else, answers or closes each bad request in
// bounded time, and never sends a byte of a file outside its folder.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/update_server_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kAnswerSeconds = 10;  // a bound, reached only when something is wrong

class UpdateServerAbuseTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tv-e2e-abuse-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_served = m_root + "/served";
        // Secrets beside and above the served folder.
        Write(m_root + "/secret.rar", std::string("Rar!\x1a\x07\x00", 7) + "SECRET-OUTSIDE");
        Write(m_root + "/secret.htm", "SECRET-OUTSIDE");
        const std::string archive = m_root + "/pkg.rar";
        Write(archive, std::string("Rar!\x1a\x07\x00", 7) + "package bytes");
        ASSERT_EQ(RunUpdateServerTool({"publish", m_served, "--course", "math", "--code",
                                       "03052301", "--archive", archive})
                      .status,
                  0);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    // The query answers with the published package.
    bool Serves(int port, const std::string& user = "", const std::string& password = "") {
        const RawResponse r =
            RawRequest(port,
                       ClientRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=a",
                                     user, password),
                       kAnswerSeconds);
        return r.ok && r.status == 200 && r.body.find("&03052301") != std::string::npos;
    }

    std::string m_root;
    std::string m_served;
    CServerProcess m_server;
};

TEST_F(UpdateServerAbuseTest, AFloodOfSlowConnectionsFromOneAddressLocksOutNoOneElse) {
    ASSERT_TRUE(m_server.Start(m_served, {"--timeout", "3"}));
    const int port = m_server.Port();
    // More slow connections than one address may hold, each with a request
    // that never ends.
    std::vector<int> flood;
    for (int i = 0; i < 40; ++i) {
        const int fd = ConnectFrom("127.0.0.2", port);
        ASSERT_GE(fd, 0);
        send(fd, "GET /rdcenter/newweb/sql.asp?fileid=ma", 38, MSG_NOSIGNAL);
        flood.push_back(fd);
    }
    // Another address is served at once, the flooding one only once its
    // idle connections have been closed.
    EXPECT_TRUE(Serves(port));
    const int other = ConnectFrom("127.0.0.3", port);
    ASSERT_GE(other, 0);
    const std::string request =
        ClientRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0&userid=b");
    send(other, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buf[4096];
    for (pollfd p{other, POLLIN, 0}; poll(&p, 1, kAnswerSeconds * 1000) == 1;) {
        const ssize_t n = recv(other, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        answer.append(buf, static_cast<std::size_t>(n));
    }
    close(other);
    EXPECT_NE(answer.find("&03052301"), std::string::npos) << answer;
    for (int fd : flood) {
        EXPECT_TRUE(ClosedByPeerWithin(fd, 20));
        close(fd);
    }
    EXPECT_TRUE(Serves(port));
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

TEST_F(UpdateServerAbuseTest, MalformedRequestsAreAnsweredOrClosedAndReachNothingOutside) {
    ASSERT_EQ(RunUpdateServerTool({"user", m_served, "add", "alice"}, "pw\n").status, 0);
    ASSERT_TRUE(m_server.Start(m_served, {"--timeout", "3"}));
    const int port = m_server.Port();
    const std::string basic = "Authorization: Basic YWxpY2U6cHc=\r\n";  // alice:pw
    std::vector<std::string> requests = {
        std::string("\x00\x01\x02\x03garbage\r\n\r\n", 15),
        "GET /rdcenter/newweb/math/03052301.rar\r\n\r\n",
        "GET http://127.0.0.1/rdcenter/newweb/../secret.rar HTTP/1.1\r\nHost: x\r\n" + basic +
            "\r\n",
        "GET /rdcenter/newweb/%2e%2e%2f%2e%2e%2fsecret.rar HTTP/1.0\r\n" + basic + "\r\n",
        "GET /rdcenter/newweb/%252e%252e/%252e%252e/secret.rar HTTP/1.0\r\n" + basic + "\r\n",
        "GET /rdcenter/newweb/%c0%ae%c0%ae/%c0%ae%c0%ae/secret.rar HTTP/1.0\r\n" + basic + "\r\n",
        "GET /rdcenter/newweb/..%5c..%5csecret.rar HTTP/1.0\r\n" + basic + "\r\n",
        "GET /rdcenter/newweb/math%00/../../secret.rar HTTP/1.0\r\n" + basic + "\r\n",
        "GET /rdcenter/newweb/explain/..\\..\\secret.htm HTTP/1.0\r\n\r\n",
        "GET /rdcenter/newweb/explain/%2e%2e%5c%2e%2e%5csecret.htm HTTP/1.0\r\n\r\n",
        "GET /rdcenter/newweb/sql.asp?fileid=..%2f..&versnumber=0 HTTP/1.0\r\n" + basic + "\r\n",
        "GET /rdcenter/newweb/sql.asp?fileid=" + std::string(5000, '%') + " HTTP/1.0\r\n" + basic +
            "\r\n",
        "GET /rdcenter/newweb/sql.asp HTTP/1.0\r\nAuthorization: Basic !!!!\r\n\r\n",
        "GET /rdcenter/newweb/sql.asp HTTP/1.0\r\nAuthorization: Basic " + std::string(20000, 'Q') +
            "\r\n\r\n",
        "GET /rdcenter/newweb/sql.asp HTTP/1.1\r\nHost: a\r\nContent-Length: "
        "99999999999\r\n\r\nabc",
        "GET /rdcenter/newweb/sql.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: "
        "chunked\r\n\r\nZZ\r\n",
        "GET /" + std::string(100000, 'a') + " HTTP/1.0\r\n\r\n",
        "GET / HTTP/9.9\r\n\r\n",
        "GET\r\n\r\n",
    };
    std::string headers = "GET /rdcenter/newweb/sql.asp HTTP/1.0\r\n";
    for (int i = 0; i < 2000; ++i)
        headers += "X-" + std::to_string(i) + ": v\r\n";
    requests.push_back(headers + "\r\n");
    std::string pipelined;
    for (int i = 0; i < 200; ++i)
        pipelined += "GET /rdcenter/newweb/x" + std::to_string(i) + " HTTP/1.1\r\nHost: a\r\n\r\n";
    requests.push_back(pipelined);

    for (const std::string& request : requests) {
        SCOPED_TRACE(request.substr(0, 80));
        // Each one is answered (a status) or its connection closed within
        // the bound.
        const int fd = ConnectLoopback(port);
        ASSERT_GE(fd, 0);
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        shutdown(fd, SHUT_WR);
        std::string answer;
        char buf[65536];
        bool closed = false;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, kAnswerSeconds * 1000) != 1)
                break;
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                closed = true;
                break;
            }
            answer.append(buf, static_cast<std::size_t>(n));
        }
        close(fd);
        EXPECT_TRUE(closed) << "no end within the bound";
        EXPECT_EQ(answer.find("SECRET-OUTSIDE"), std::string::npos);
        EXPECT_EQ(answer.find("pbkdf2"), std::string::npos);
        if (!answer.empty()) {
            EXPECT_EQ(answer.rfind("HTTP/1.", 0), 0u) << answer.substr(0, 200);
            // None of them names the published course: nothing is served.
            EXPECT_EQ(answer.find("&03052301"), std::string::npos) << answer.substr(0, 200);
            EXPECT_EQ(answer.find("package bytes"), std::string::npos) << answer.substr(0, 200);
        }
        ASSERT_TRUE(Serves(port, "alice", "pw")) << "the server stopped serving";
    }
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

}  // namespace
