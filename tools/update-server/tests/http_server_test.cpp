// The update server's HTTP server on the loopback address, with handlers of
// the tests' own: persistent connections, answers that come later, files
// sent by the kernel, HTTP dates. Head deadlines, shares and 503 are tried
// through the program (tests/e2e/update_server_load_test.cpp).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "tools/update-server/file_answer.h"
#include "tools/update-server/http_server.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBoundMs = 10000;  // reached only when something is wrong

int Connect(int port, const char* from = "127.0.0.1") {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    return fd;
}

void Send(int fd, const std::string& bytes) {
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
}

// One answer read from fd: its head and a body of Content-Length bytes.
struct Answer {
    int status = 0;
    std::string head;
    std::string body;
};
bool ReadAnswer(int fd, Answer* a, std::string* rest, bool headOnly = false) {
    const int timeoutMs = kBoundMs;
    std::string& buf = *rest;
    pollfd p{fd, POLLIN, 0};
    std::size_t end;
    while ((end = buf.find("\r\n\r\n")) == std::string::npos) {
        char chunk[65536];
        if (poll(&p, 1, timeoutMs) != 1)
            return false;
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buf.append(chunk, static_cast<std::size_t>(n));
    }
    a->head = buf.substr(0, end + 2);
    a->status = std::atoi(a->head.c_str() + a->head.find(' ') + 1);
    std::size_t length = 0;
    const std::size_t cl = a->head.find("Content-Length: ");
    if (cl != std::string::npos && !headOnly)
        length = std::strtoull(a->head.c_str() + cl + 16, nullptr, 10);
    buf.erase(0, end + 4);
    while (buf.size() < length) {
        char chunk[65536];
        if (poll(&p, 1, timeoutMs) != 1)
            return false;
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        buf.append(chunk, static_cast<std::size_t>(n));
    }
    a->body = buf.substr(0, length);
    buf.erase(0, length);
    return true;
}

// True when the peer closes fd within timeoutMs.
bool ClosedWithin(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    char chunk[4096];
    while (poll(&p, 1, timeoutMs) == 1)
        if (recv(fd, chunk, sizeof chunk, 0) <= 0)
            return true;
    return false;
}

Answer Get(int port, const std::string& target, const char* from = "127.0.0.1") {
    Answer a;
    const int fd = Connect(port, from);
    if (fd < 0)
        return a;
    std::string rest;
    Send(fd, "GET " + target + " HTTP/1.0\r\n\r\n");
    ReadAnswer(fd, &a, &rest);
    close(fd);
    return a;
}

class HttpServerTest : public ::testing::Test {
protected:
    // Before the members its threads write to go.
    void TearDown() override { m_server.Stop(); }
    void Start(CHttpServerOptions o = {}) {
        o.port = 0;
        std::string error;
        ASSERT_TRUE(m_server.Start(
            o, [this](const CHttpRequest& r) { return Handle(r); },
            [this](const CAccessRecord& r) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_log.push_back(r);
            },
            [this](const std::string& note) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_notes.push_back(note);
            },
            &error))
            << error;
        m_port = std::atoi(m_server.ListeningAddress().c_str() + 10);
        ASSERT_GT(m_port, 0);
    }
    CHttpResponse Handle(const CHttpRequest& r) {
        CHttpResponse a;
        if (r.rawUri == "/later") {
            a.later = std::make_shared<CPendingResponse>();
            m_later.set_value(a.later);
            return a;
        }
        if (r.rawUri == "/file") {
            auto file = std::make_shared<CServedFile>();
            EXPECT_TRUE(
                OpenServedFile(m_file, fs::path(m_file).parent_path().string(), file.get()));
            return FileResponse(r, file, "application/octet-stream", "");
        }
        a.contentType = "text/plain";
        a.body = "you asked for " + r.rawUri + " from " + r.clientAddress;
        return a;
    }

    // Sends a request the handler answers later; the pending answer, or null
    // when the handler was not reached in time. *fd is the connection.
    std::shared_ptr<CPendingResponse> SendAnsweredLater(int* fd) {
        *fd = Connect(m_port);
        Send(*fd, "GET /later HTTP/1.0\r\n\r\n");
        auto future = m_later.get_future();
        if (future.wait_for(std::chrono::milliseconds(kBoundMs)) != std::future_status::ready)
            return nullptr;
        return future.get();
    }

    CHttpServer m_server;
    int m_port = 0;
    std::mutex m_mutex;
    std::vector<CAccessRecord> m_log;
    std::vector<std::string> m_notes;
    std::promise<std::shared_ptr<CPendingResponse>> m_later;
    std::string m_file;
};

TEST_F(HttpServerTest, PersistentForHttp11ClosedForHttp10) {
    Start();
    const int fd = Connect(m_port);
    ASSERT_GE(fd, 0);
    std::string rest;
    Answer a;
    for (const char* target : {"/one", "/two"}) {
        Send(fd, std::string("GET ") + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
        ASSERT_TRUE(ReadAnswer(fd, &a, &rest));
        EXPECT_EQ(a.status, 200);
        EXPECT_EQ(a.body, std::string("you asked for ") + target + " from 127.0.0.1");
    }
    // Pipelined requests are answered in order.
    Send(fd, "GET /3 HTTP/1.1\r\nHost: x\r\n\r\nGET /4 HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(ReadAnswer(fd, &a, &rest));
    EXPECT_NE(a.body.find("/3"), std::string::npos);
    ASSERT_TRUE(ReadAnswer(fd, &a, &rest));
    EXPECT_NE(a.body.find("/4"), std::string::npos);
    close(fd);

    // HTTP/1.0, as the update control speaks it: one answer, then the end.
    const int once = Connect(m_port);
    Send(once, "GET /x HTTP/1.0\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(ReadAnswer(once, &a, &rest));
    EXPECT_NE(a.head.find("Connection: close"), std::string::npos);
    EXPECT_TRUE(ClosedWithin(once, kBoundMs));
    close(once);
}

TEST_F(HttpServerTest, AnAnswerThatComesLaterHoldsNoOneUp) {
    Start();
    int waiting = -1;
    const std::shared_ptr<CPendingResponse> pending = SendAnsweredLater(&waiting);
    ASSERT_NE(pending, nullptr);
    // While it waits, others are answered.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Get(m_port, "/meanwhile").status, 200);
    CHttpResponse late;
    late.status = 202;
    late.body = "done";
    std::thread([pending, late] { pending->Complete(late); }).join();
    Answer a;
    std::string rest;
    ASSERT_TRUE(ReadAnswer(waiting, &a, &rest));
    EXPECT_EQ(a.status, 202);
    EXPECT_EQ(a.body, "done");
    close(waiting);
}

TEST_F(HttpServerTest, StoppingAnswersWhatStillWaits) {
    Start();
    int waiting = -1;
    const std::shared_ptr<CPendingResponse> pending = SendAnsweredLater(&waiting);
    ASSERT_NE(pending, nullptr);
    std::thread stopper([this] { m_server.Stop(); });
    Answer a;
    std::string rest;
    const bool answered = ReadAnswer(waiting, &a, &rest);
    stopper.join();
    // Told 503 before the end (or, at worst, closed): never left hanging.
    if (answered) {
        EXPECT_EQ(a.status, 503);
    }
    close(waiting);
    CHttpResponse late;
    pending->Complete(late);  // too late: nothing happens
}

TEST_F(HttpServerTest, FilesGoOutWholeOrInRanges) {
    std::string pattern = (fs::temp_directory_path() / "tv-httpd-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_file = fs::canonical(pattern).string() + "/f.bin";
    std::string bytes;
    for (int i = 0; i < 3 * 1024 * 1024 + 7; ++i)
        bytes += static_cast<char>(i * 7 % 251);
    std::ofstream(m_file, std::ios::binary) << bytes;
    Start();
    const int fd = Connect(m_port);
    std::string rest;
    Answer a;
    Send(fd, "GET /file HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(ReadAnswer(fd, &a, &rest));
    EXPECT_EQ(a.status, 200);
    EXPECT_TRUE(a.body == bytes) << a.body.size();
    Send(fd, "GET /file HTTP/1.1\r\nHost: x\r\nRange: bytes=1048570-1048579\r\n\r\n");
    ASSERT_TRUE(ReadAnswer(fd, &a, &rest));
    EXPECT_EQ(a.status, 206);
    EXPECT_EQ(a.body, bytes.substr(1048570, 10));
    Send(fd, "HEAD /file HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(ReadAnswer(fd, &a, &rest, true));
    // HEAD: the length, no body (the next answer starts right after).
    EXPECT_NE(a.head.find("Content-Length: " + std::to_string(bytes.size())), std::string::npos);
    Send(fd, "GET /x HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(ReadAnswer(fd, &a, &rest));
    EXPECT_EQ(a.body, "you asked for /x from 127.0.0.1");
    close(fd);
    fs::remove_all(fs::path(m_file).parent_path());
    std::lock_guard<std::mutex> lock(m_mutex);
    ASSERT_GE(m_log.size(), 4u);
    EXPECT_EQ(m_log[0].bytes, bytes.size());
    EXPECT_EQ(m_log[1].status, 206);
    EXPECT_EQ(m_log[1].bytes, 10u);
    EXPECT_EQ(m_log[0].version, "HTTP/1.1");
}

TEST(HttpDateTest, TheThreeFormsAndNothingElse) {
    EXPECT_EQ(HttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    std::int64_t t = 0;
    for (const char* form : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994"}) {
        ASSERT_TRUE(ParseHttpDate(form, &t)) << form;
        EXPECT_EQ(t, 784111777) << form;
    }
    for (const char* bad : {"", "yesterday", "Sun, 06 Nov 1994 08:49 GMT",
                            "Sun, 32 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 99999 08:49:37 GMT"})
        EXPECT_FALSE(ParseHttpDate(bad, &t)) << bad;
}

}  // namespace
