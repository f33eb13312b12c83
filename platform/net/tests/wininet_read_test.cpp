// Reading answers: whole bodies in the system's 1023-byte reads, error pages,
// bodies cut short, stalls, slow servers, large bodies with bounded memory,
// several requests on one connection.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/net/tests/internet_fixture.h"

namespace {

class CReadTest : public CInternetTest {};

// A body of every byte value, zeros included, of the given length.
std::string BinaryBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return body;
}

TEST_F(CReadTest, BodyComesInReadsOf1023BytesThenZero) {
    const std::string body = BinaryBody(1023 * 4 + 500);
    CTestHttpServer server([&](CTestConnection& c) { c.Send(HttpAnswer(200, body)); }, 1);
    const Handles h = Open(server.Port(), "/pkg.rar");
    std::uint64_t length = 0;
    EXPECT_FALSE(HttpQueryContentLength(h.request, &length));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) << GetLastError();
    DWORD status = 0;
    EXPECT_TRUE(HttpQueryStatusCode(h.request, &status));
    EXPECT_EQ(status, 200u);
    EXPECT_TRUE(HttpQueryContentLength(h.request, &length));
    EXPECT_EQ(length, body.size());

    char buffer[1024] = {};
    std::string received;
    std::vector<DWORD> sizes;
    for (int i = 0; i < 100; ++i) {
        DWORD got = 12345;
        ASSERT_TRUE(InternetReadFile(h.request, buffer, 1023, &got));
        if (got == 0)
            break;
        sizes.push_back(got);
        received.append(buffer, got);
    }
    EXPECT_EQ(received, body);
    for (DWORD size : sizes)
        EXPECT_LE(size, 1023u);
    // The end stays the end.
    DWORD got = 1;
    EXPECT_TRUE(InternetReadFile(h.request, buffer, 1023, &got));
    EXPECT_EQ(got, 0u);
    Close(h);
}

TEST_F(CReadTest, ErrorPagesAreReadLikeAnyAnswer) {
    for (int status : {404, 500, 401, 302}) {
        const std::string page = "<html>status " + std::to_string(status) + "</html>";
        CTestHttpServer server(
            [&](CTestConnection& c) {
                c.Send(
                    HttpAnswer(status, page,
                               "WWW-Authenticate: Basic realm=\"x\"\r\nLocation: /elsewhere\r\n"));
            },
            2);
        const Handles h = Open(server.Port(), "/rdcenter/newweb/sql.asp", "alice", "wrong");
        ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) << status;
        DWORD code = 0;
        EXPECT_TRUE(HttpQueryStatusCode(h.request, &code));
        EXPECT_EQ(code, static_cast<DWORD>(status));
        EXPECT_EQ(ReadAll(h.request), page);
        Close(h);
        // Neither a challenge nor a redirect makes a second request.
        ASSERT_TRUE(server.WaitForHandled(1, 10000));
        EXPECT_EQ(server.Requests().size(), 1u) << status;
    }
}

TEST_F(CReadTest, BodyWithoutLengthEndsWhenTheServerCloses) {
    const std::string body = BinaryBody(70000);
    CTestHttpServer server([&](CTestConnection& c) { c.Send(HttpAnswer(200, body, "", false)); },
                           1);
    const Handles h = Open(server.Port(), "/x");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    // Nothing tells how long it is.
    std::uint64_t length = 7;
    EXPECT_FALSE(HttpQueryContentLength(h.request, &length));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
    bool ok = false;
    EXPECT_EQ(ReadAll(h.request, 1023, &ok), body);
    EXPECT_TRUE(ok);
    Close(h);
}

TEST_F(CReadTest, BodyCutShortEndsWithAFailedRead) {
    // Content-Length far above what comes, then the server closes.
    CTestHttpServer server(
        [](CTestConnection& c) {
            c.Send("HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\n\r\n0123456789");
        },
        1);
    const Handles h = Open(server.Port(), "/x");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    bool ok = true;
    DWORD error = 0;
    EXPECT_EQ(ReadAll(h.request, 1023, &ok, &error), "0123456789");
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_INTERNET_CONNECTION_ABORTED);
    // And stays failed.
    char buffer[16];
    DWORD got = 7;
    EXPECT_FALSE(InternetReadFile(h.request, buffer, sizeof(buffer), &got));
    EXPECT_EQ(got, 0u);
    Close(h);
}

TEST_F(CReadTest, ResetConnectionEndsWithAFailedRead) {
    CTestHttpServer server(
        [](CTestConnection& c) {
            c.Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\nabc");
            c.Reset();
        },
        1);
    const Handles h = Open(server.Port(), "/x");
    // The reset may overtake the answer; then the send fails instead.
    if (HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) {
        bool ok = true;
        DWORD error = 0;
        const std::string body = ReadAll(h.request, 1023, &ok, &error);
        EXPECT_EQ(body, std::string("abc").substr(0, body.size()));
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, ERROR_INTERNET_CONNECTION_ABORTED);
    } else {
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_CONNECTION_ABORTED);
    }
    Close(h);
}

TEST_F(CReadTest, StalledBodyEndsWithATimeout) {
    setenv("TELVORA_HTTP_STALL", "1", 1);
    bool clientClosed = false;
    CTestHttpServer server(
        [&](CTestConnection& c) {
            c.Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789");
            clientClosed = c.WaitForClientClose(30000);
        },
        1);
    const Handles h = Open(server.Port(), "/x");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    bool ok = true;
    DWORD error = 0;
    EXPECT_EQ(ReadAll(h.request, 1023, &ok, &error), "0123456789");
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_INTERNET_TIMEOUT);
    Close(h);
    // The given-up transfer let go of its connection.
    ASSERT_TRUE(server.WaitForHandled(1, 30000));
    EXPECT_TRUE(clientClosed);
}

TEST_F(CReadTest, ServerThatNeverAnswersFailsTheSend) {
    setenv("TELVORA_HTTP_STALL", "1", 1);
    CTestHttpServer server([](CTestConnection& c) { c.WaitForClientClose(30000); }, 1);
    const Handles h = Open(server.Port(), "/x");
    EXPECT_FALSE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
    DWORD status = 0;
    EXPECT_FALSE(HttpQueryStatusCode(h.request, &status));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    Close(h);
}

TEST_F(CReadTest, SlowServerIsNotAStall) {
    // Pieces arrive well within the stall time of each other.
    setenv("TELVORA_HTTP_STALL", "1", 1);
    const std::string body = BinaryBody(3000);
    CTestHttpServer server(
        [&](CTestConnection& c) { c.SendSlowly(HttpAnswer(200, body), 150, 20); }, 1);
    const Handles h = Open(server.Port(), "/x");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) << GetLastError();
    bool ok = false;
    EXPECT_EQ(ReadAll(h.request, 1023, &ok), body);
    EXPECT_TRUE(ok);
    Close(h);
}

TEST_F(CReadTest, BadStallValuesMeanTheDefault) {
    // With a bad value the default (60 s) holds, so a 1.2 s pause between
    // pieces is no stall.
    for (const char* value : {"0", "1.5", "999999999"}) {
        setenv("TELVORA_HTTP_STALL", value, 1);
        CTestHttpServer server(
            [](CTestConnection& c) { c.SendSlowly(HttpAnswer(200, "abcdef"), 40, 1200); }, 1);
        const Handles h = Open(server.Port(), "/x");
        ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) << value;
        bool ok = false;
        EXPECT_EQ(ReadAll(h.request, 1023, &ok), "abcdef") << value;
        EXPECT_TRUE(ok) << value;
        Close(h);
    }
}

TEST_F(CReadTest, LargeBodyIsExactAndBufferStaysBounded) {
    constexpr std::size_t kSize = 10 * 1024 * 1024;
    const std::string body = BinaryBody(kSize);
    bool sentMegabyte = false;
    std::mutex mutex;
    std::condition_variable sentSome;
    CTestHttpServer server(
        [&](CTestConnection& c) {
            const std::string head =
                "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kSize) + "\r\n\r\n";
            c.Send(head);
            for (std::size_t at = 0; at < kSize; at += 65536) {
                if (!c.Send(std::string_view(body).substr(at, 65536)))
                    break;
                if (at >= 1024 * 1024) {
                    std::lock_guard<std::mutex> lock(mutex);
                    sentMegabyte = true;
                    sentSome.notify_all();
                }
            }
        },
        1);
    const Handles h = Open(server.Port(), "/big.rar");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    {
        // Let the server fill the socket buffers first, so that one drive of
        // the transfer finds far more than the buffer may hold (bounded wait:
        // with small socket buffers the server blocks earlier, which is fine).
        std::unique_lock<std::mutex> lock(mutex);
        sentSome.wait_for(lock, std::chrono::seconds(2), [&] { return sentMegabyte; });
    }
    bool ok = false;
    const std::string received = ReadAll(h.request, 1023, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(received.size(), kSize);
    EXPECT_TRUE(received == body);

    auto object = std::static_pointer_cast<net::CHttpRequest>(net::FindHandle(h.request));
    ASSERT_NE(object, nullptr);
    EXPECT_GT(object->m_transfer.PeakBuffered(), 0u);
    EXPECT_LE(object->m_transfer.PeakBuffered(),
              net::CHttpTransfer::kBufferLimit + net::CHttpTransfer::kMaxDelivery);
    Close(h);
}

TEST_F(CReadTest, TwoRequestsOneAfterAnotherOnOneConnection) {
    CTestHttpServer server(
        [](CTestConnection& c) {
            const std::string target = c.Target();
            c.Send(HttpAnswer(200, target == "/q" ? "&03052301cw/a.rar 1200</body>" : "RAR-BYTES"));
        },
        2);
    Handles h = Open(server.Port(), "/q", "alice", "secret");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(h.request), "&03052301cw/a.rar 1200</body>");
    EXPECT_TRUE(InternetCloseHandle(h.request));

    h.request = OpenGet(h.connect, "/rdcenter/newweb/cw/a.rar");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(h.request), "RAR-BYTES");
    Close(h);
    ASSERT_TRUE(server.WaitForHandled(2, 10000));
    const auto requests = server.Requests();
    EXPECT_EQ(requests[1].rfind("GET /rdcenter/newweb/cw/a.rar HTTP/1.0\r\n", 0), 0u);
    // The second request carries the connection's credentials too.
    EXPECT_EQ(Base64Decode(HeaderValue(requests[1], "Authorization").substr(6)), "alice:secret");
}

TEST_F(CReadTest, SendingAgainStartsTheRequestOver) {
    std::atomic<int> served{0};
    CTestHttpServer server(
        [&](CTestConnection& c) { c.Send(HttpAnswer(200, "answer " + std::to_string(++served))); },
        2);
    const Handles h = Open(server.Port(), "/q");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    char first[3] = {};
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(h.request, first, 3, &got));  // part of the first answer only
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(h.request), "answer 2");
    Close(h);
}

TEST_F(CReadTest, ReadingBeforeSendingOrWithoutRoomFails) {
    CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "ok")); }, 1);
    const Handles h = Open(server.Port(), "/q");
    char buffer[8];
    DWORD got = 5;
    EXPECT_FALSE(InternetReadFile(h.request, buffer, sizeof(buffer), &got));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    EXPECT_EQ(got, 0u);
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_FALSE(InternetReadFile(h.request, nullptr, 8, &got));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(InternetReadFile(h.request, buffer, 8, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // A read of nothing takes nothing.
    EXPECT_TRUE(InternetReadFile(h.request, buffer, 0, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(ReadAll(h.request), "ok");
    Close(h);
}

TEST_F(CReadTest, GarbageInsteadOfAnAnswerFailsTheSend) {
    CTestHttpServer server([](CTestConnection& c) { c.Send("SSH-2.0-OpenSSH\r\n\r\nhello"); }, 1);
    const Handles h = Open(server.Port(), "/q");
    EXPECT_FALSE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_INVALID_SERVER_RESPONSE);
    Close(h);
}

TEST_F(CReadTest, EndlessHeadersAreCutOff) {
    CTestHttpServer server(
        [](CTestConnection& c) {
            if (!c.Send("HTTP/1.0 200 OK\r\n"))
                return;
            const std::string header = "X-Filler: " + std::string(1000, 'x') + "\r\n";
            for (int i = 0; i < 5000 && c.Send(header); ++i) {
            }
        },
        1);
    const Handles h = Open(server.Port(), "/q");
    EXPECT_FALSE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_INVALID_SERVER_RESPONSE);
    Close(h);
}

TEST_F(CReadTest, ClosedServerPortFailsWithCannotConnect) {
    CRefusingPort refusing;
    ASSERT_NE(refusing.Port(), 0);
    const Handles h = Open(refusing.Port(), "/q");
    EXPECT_FALSE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    char buffer[8];
    DWORD got = 3;
    EXPECT_FALSE(InternetReadFile(h.request, buffer, sizeof(buffer), &got));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    Close(h);
}

TEST_F(CReadTest, UnresolvableServerNameFailsWithNameNotResolved) {
    // An empty label: refused by the resolver without asking any name server.
    const HINTERNET session =
        InternetOpen("corvane", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    const HINTERNET connect =
        InternetConnect(session, "no..such.invalid", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    ASSERT_NE(connect, nullptr);
    const HINTERNET request = OpenGet(connect, "/q");
    EXPECT_FALSE(HttpSendRequest(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_NAME_NOT_RESOLVED);
    EXPECT_TRUE(InternetCloseHandle(session));
}

}  // namespace
