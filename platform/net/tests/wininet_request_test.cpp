// What goes on the wire: the request line and headers, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/net/query_value.h"
#include "platform/net/tests/internet_fixture.h"

namespace {

class CRequestTest : public CInternetTest {
protected:
    // Sends one request built by make and returns the raw bytes the server got.
    template <typename Make>
    std::string Capture(Make make) {
        CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "ok")); }, 1);
        m_nPort = server.Port();
        const Handles h = make(server.Port());
        EXPECT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) << GetLastError();
        EXPECT_EQ(ReadAll(h.request), "ok");
        Close(h);
        EXPECT_TRUE(server.WaitForHandled(1, 10000));
        const auto requests = server.Requests();
        return requests.empty() ? std::string() : requests.front();
    }

    std::string CaptureGet(const std::string& path, const char* user = "",
                           const char* password = "") {
        return Capture([&](int port) { return Open(port, path, user, password); });
    }

    int m_nPort = 0;  // the port of the last capture's server
};

TEST_F(CRequestTest, TheQueryGoesOutExactlyAsComposed) {
    // The update worker's query: a GBK course name as it is, escaped values.
    const std::string path = "/rdcenter/newweb/sql.asp?fileid=" + std::string("物理课件") +
                             "&versnumber=03052301&userid=" + EncodeQueryValue("张 三&x=1");
    const std::string request = CaptureGet(path, "alice", "secret");
    const std::string expected = "GET " + path +
                                 " HTTP/1.0\r\n"
                                 "Host: 127.0.0.1:" +
                                 std::to_string(m_nPort) +
                                 "\r\n"
                                 "Authorization: Basic YWxpY2U6c2VjcmV0\r\n"
                                 "User-Agent: corvane\r\n"
                                 "Accept: */*\r\n"
                                 "\r\n";
    EXPECT_EQ(request, expected);
    EXPECT_NE(request.find("userid=%D5%C5%20%C8%FD%26x%3D1 HTTP/1.0"), std::string::npos);
}

TEST_F(CRequestTest, HostHeaderNamesTheServerAndItsPort) {
    const std::string request = Capture([](int port) {
        Handles h;
        h.session = InternetOpen("corvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        h.connect = InternetConnect(h.session, "localhost", static_cast<INTERNET_PORT>(port), "",
                                    "", INTERNET_SERVICE_HTTP, 0, 0);
        h.request = OpenGet(h.connect, "/x");
        return h;
    });
    EXPECT_EQ(HeaderValue(request, "Host").rfind("localhost:", 0), 0u) << request;
}

TEST_F(CRequestTest, PathBytesAreSentAsGiven) {
    // GBK bytes in path and query, escapes, dot segments and a '#': untouched.
    const std::string path = "/a/../%41%2f\xB1\xED/\xD6\xD0.rar?x=%26&y=\xD6\xD0#f";
    EXPECT_EQ(CaptureGet(path).substr(0, path.size() + 15), "GET " + path + " HTTP/1.0\r\n");
}

TEST_F(CRequestTest, ObjectNameWithoutSlashGetsOne) {
    EXPECT_EQ(CaptureGet("cw/a.rar").rfind("GET /cw/a.rar HTTP/1.0\r\n", 0), 0u);
    EXPECT_EQ(CaptureGet("").rfind("GET / HTTP/1.0\r\n", 0), 0u);
}

TEST_F(CRequestTest, BlanksAndLineBreaksInThePathCannotForgeHeaders) {
    const std::string request = CaptureGet("/a b\r\nX-Forged: 1\t\x7F");
    EXPECT_EQ(request.rfind("GET /a%20b%0D%0AX-Forged:%201%09%7F HTTP/1.0\r\n", 0), 0u) << request;
    EXPECT_EQ(HeaderValue(request, "X-Forged"), "");
}

TEST_F(CRequestTest, CredentialsAreTheUserNameAndPasswordBytes) {
    // GBK user name and password, Basic, sent with the first request.
    const std::string user = "\xD5\xC5\xC8\xFD";  // 张三
    const std::string password = "\xC3\xDC\xC2\xEB:x";
    const std::string request = CaptureGet("/q", user.c_str(), password.c_str());
    const std::string value = HeaderValue(request, "Authorization");
    ASSERT_EQ(value.rfind("Basic ", 0), 0u) << request;
    EXPECT_EQ(Base64Decode(value.substr(6)), user + ":" + password);

    // A user name with an empty password.
    const std::string second = CaptureGet("/q", "bob", nullptr);
    EXPECT_EQ(Base64Decode(HeaderValue(second, "Authorization").substr(6)), "bob:");
}

TEST_F(CRequestTest, NoUserNameSendsNoCredentials) {
    EXPECT_EQ(CaptureGet("/q", "", "secret").find("Authorization"), std::string::npos);
    EXPECT_EQ(CaptureGet("/q", nullptr, nullptr).find("Authorization"), std::string::npos);
}

TEST_F(CRequestTest, AcceptHeaderFollowsTheAcceptList) {
    const std::string two = Capture([](int port) {
        Handles h = Open(port, "/unused");
        InternetCloseHandle(h.request);
        const char* accept[] = {"text/html", "", "*/*", nullptr};
        h.request = HttpOpenRequest(h.connect, "GET", "/x", "HTTP/1.0", nullptr, accept, 0, 0);
        return h;
    });
    EXPECT_EQ(HeaderValue(two, "Accept"), "text/html, */*");

    const std::string none = Capture([](int port) {
        Handles h = Open(port, "/unused");
        InternetCloseHandle(h.request);
        h.request = HttpOpenRequest(h.connect, "GET", "/x", "HTTP/1.0", nullptr, nullptr, 0, 0);
        return h;
    });
    EXPECT_EQ(none.find("Accept"), std::string::npos) << none;
}

TEST_F(CRequestTest, NoAgentNameSendsNoUserAgent) {
    const std::string request = Capture([](int port) {
        Handles h;
        h.session = InternetOpen(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        h.connect = InternetConnect(h.session, "127.0.0.1", static_cast<INTERNET_PORT>(port),
                                    nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        h.request = OpenGet(h.connect, "/x");
        return h;
    });
    EXPECT_EQ(request.find("User-Agent"), std::string::npos) << request;
}

TEST_F(CRequestTest, VersionVerbAndBody) {
    EXPECT_EQ(Capture([](int port) {
                  return Open(port, "/v", "", "", "HTTP/1.1");
              }).rfind("GET /v HTTP/1.1\r\n", 0),
              0u);
    EXPECT_EQ(Capture([](int port) {
                  return Open(port, "/v", "", "", nullptr);
              }).rfind("GET /v HTTP/1.1\r\n", 0),
              0u);

    // A body goes with its length, without a made-up content type, and all
    // at once, large as it is.
    CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "ok")); }, 1);
    Handles h = Open(server.Port(), "/unused");
    InternetCloseHandle(h.request);
    h.request = HttpOpenRequest(h.connect, "POST", "/form", "HTTP/1.1", nullptr, nullptr, 0, 0);
    const std::string body = std::string("a=1\0b", 5) + std::string(2 << 20, 'x');
    ASSERT_TRUE(HttpSendRequest(h.request, "X-Kind: test\r\n", kHeadersZeroTerminated, body.data(),
                                static_cast<DWORD>(body.size())));
    EXPECT_EQ(ReadAll(h.request), "ok");
    Close(h);
    ASSERT_TRUE(server.WaitForHandled(1, 10000));
    const std::string request = server.Requests().front();
    EXPECT_EQ(request.rfind("POST /form HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(HeaderValue(request, "Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(HeaderValue(request, "Content-Type"), "");
    EXPECT_EQ(HeaderValue(request, "Expect"), "");
    EXPECT_EQ(HeaderValue(request, "X-Kind"), "test");
    EXPECT_TRUE(request.substr(request.size() - body.size()) == body);
}

TEST_F(CRequestTest, ExtraHeadersAreTakenUpToTheGivenLength) {
    const std::string request = Capture([](int port) { return Open(port, "/h"); });
    EXPECT_EQ(HeaderValue(request, "X-A"), "");

    CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "ok")); }, 1);
    const Handles h = Open(server.Port(), "/h");
    const char headers[] = "X-A: 1\r\nX-B: 2\r\nX-C: 3";
    ASSERT_TRUE(HttpSendRequest(h.request, headers, 14, nullptr, 0));  // X-A and X-B only
    EXPECT_EQ(ReadAll(h.request), "ok");
    Close(h);
    ASSERT_TRUE(server.WaitForHandled(1, 10000));
    const std::string sent = server.Requests().front();
    EXPECT_EQ(HeaderValue(sent, "X-A"), "1");
    EXPECT_EQ(HeaderValue(sent, "X-B"), "2");
    EXPECT_EQ(HeaderValue(sent, "X-C"), "");
}

TEST_F(CRequestTest, MalformedArgumentsAreRefusedBeforeAnythingIsSent) {
    CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "ok")); }, 1);
    const Handles h = Open(server.Port(), "/h");
    for (const char* headers : {"no colon\r\n", ": empty name", "X-A: 1\rX-B: 2", "Bad Name: 1"}) {
        EXPECT_FALSE(HttpSendRequest(h.request, headers, kHeadersZeroTerminated, nullptr, 0))
            << headers;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << headers;
    }
    EXPECT_FALSE(HttpSendRequest(h.request, nullptr, 0, nullptr, 5));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(HttpOpenRequest(h.connect, "GE T", "/", "HTTP/1.0", nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(HttpOpenRequest(h.connect, "GET", "/", "HTTP/2", nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    const char* badAccept[] = {"*/*\r\nX: 1", nullptr};
    EXPECT_EQ(HttpOpenRequest(h.connect, "GET", "/", "HTTP/1.0", nullptr, badAccept, 0, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(HttpOpenRequest(h.connect, "GET", "/", "HTTP/1.0", "a\nb", nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(HttpOpenRequest(h.connect, "GET", "/", "HTTP/1.0", nullptr, nullptr,
                              INTERNET_FLAG_SECURE, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

    for (const char* host : {"", "a b", "a/b", "user@host", "h\r\nX: 1", "\xD6\xD0.cn", "[::1"}) {
        EXPECT_EQ(InternetConnect(h.session, host, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0),
                  nullptr)
            << host;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << host;
    }
    EXPECT_EQ(InternetConnect(h.session, nullptr, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0),
              nullptr);
    EXPECT_EQ(InternetConnect(h.session, "127.0.0.1", 21, "", "", 1 /* FTP */, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

    EXPECT_EQ(InternetOpen("a\r\nX-Forged: 1", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(InternetOpen("corvane", 2, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(InternetOpen("corvane", INTERNET_OPEN_TYPE_PROXY, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(InternetOpen("corvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                           INTERNET_FLAG_ASYNC),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

    // The request itself still works after all that.
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(h.request), "ok");
    Close(h);
}

TEST_F(CRequestTest, Ipv6ServerAddressWithOrWithoutBrackets) {
    // Only where the machine has IPv6 loopback; the server listens on IPv4,
    // so the point is the URL libcurl is given: a refused connection, not a
    // malformed URL.
    const Handles h = [] {
        Handles h;
        h.session = InternetOpen("corvane", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        h.connect = InternetConnect(h.session, "[::1]", 9, "", "", INTERNET_SERVICE_HTTP, 0, 0);
        EXPECT_NE(h.connect, nullptr);
        h.request = OpenGet(h.connect, "/");
        return h;
    }();
    EXPECT_FALSE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_NE(GetLastError(), ERROR_INTERNET_INVALID_URL);
    EXPECT_NE(GetLastError(), ERROR_INTERNET_INTERNAL_ERROR);
    Close(h);
    const HINTERNET session =
        InternetOpen("corvane", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    const HINTERNET bare = InternetConnect(session, "::1", 9, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    EXPECT_NE(bare, nullptr);
    EXPECT_TRUE(InternetCloseHandle(session));
}

// ---- proxies ----------------------------------------------------------

// The proxy is a test server too: it sees the request a proxy would get.
TEST_F(CRequestTest, PreconfiguredProxyComesFromTheEnvironment) {
    CTestHttpServer proxy([](CTestConnection& c) { c.Send(HttpAnswer(200, "via proxy")); }, 1);
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.Port())).c_str(), 1);

    Handles h;
    h.session = InternetOpen("corvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    h.connect = InternetConnect(h.session, "updates.example", 8080, "alice", "secret",
                                INTERNET_SERVICE_HTTP, 0, 0);
    h.request = OpenGet(h.connect, "/rdcenter/newweb/sql.asp?fileid=\xD6\xD0&userid=a%20b");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) << GetLastError();
    EXPECT_EQ(ReadAll(h.request), "via proxy");
    Close(h);
    ASSERT_TRUE(proxy.WaitForHandled(1, 10000));
    const std::string request = proxy.Requests().front();
    EXPECT_EQ(
        request.rfind("GET http://updates.example:8080/rdcenter/newweb/sql.asp?fileid=\xD6\xD0"
                      "&userid=a%20b HTTP/1.0\r\n",
                      0),
        0u)
        << request;
    EXPECT_EQ(HeaderValue(request, "Host"), "updates.example:8080");
    EXPECT_EQ(Base64Decode(HeaderValue(request, "Authorization").substr(6)), "alice:secret");
}

TEST_F(CRequestTest, NoProxyAndDirectAccessBypassTheProxy) {
    CTestHttpServer proxy([](CTestConnection& c) { c.Send(HttpAnswer(200, "via proxy")); }, 2);
    CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "direct")); }, 2);
    setenv("http_proxy", ("127.0.0.1:" + std::to_string(proxy.Port())).c_str(), 1);

    setenv("no_proxy", "example.org, 127.0.0.0/8", 1);
    Handles h = Open(server.Port(), "/a");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(h.request), "direct");
    Close(h);

    unsetenv("no_proxy");
    h.session = InternetOpen("corvane", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    h.connect = InternetConnect(h.session, "127.0.0.1", static_cast<INTERNET_PORT>(server.Port()),
                                "", "", INTERNET_SERVICE_HTTP, 0, 0);
    h.request = OpenGet(h.connect, "/b");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(h.request), "direct");
    Close(h);

    ASSERT_TRUE(server.WaitForHandled(2, 10000));
    EXPECT_EQ(server.Requests()[0].rfind("GET /a HTTP/1.0\r\n", 0), 0u);
    EXPECT_EQ(server.Requests()[1].rfind("GET /b HTTP/1.0\r\n", 0), 0u);
    EXPECT_TRUE(proxy.Requests().empty());
}

TEST_F(CRequestTest, ExplicitProxyWithBypassList) {
    CTestHttpServer proxy([](CTestConnection& c) { c.Send(HttpAnswer(200, "via proxy")); }, 1);
    const std::string proxyName = "http=127.0.0.1:" + std::to_string(proxy.Port());
    Handles h;
    h.session = InternetOpen("corvane", INTERNET_OPEN_TYPE_PROXY, proxyName.c_str(),
                             "<local>;*.intranet", 0);
    ASSERT_NE(h.session, nullptr);
    h.connect =
        InternetConnect(h.session, "updates.example", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    h.request = OpenGet(h.connect, "/x");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0)) << GetLastError();
    EXPECT_EQ(ReadAll(h.request), "via proxy");
    Close(h);
    ASSERT_TRUE(proxy.WaitForHandled(1, 10000));
    EXPECT_EQ(proxy.Requests().front().rfind("GET http://updates.example/x HTTP/1.0\r\n", 0), 0u);
}

}  // namespace
