// Handles: closing in any order, closed and wrong handles, closing from
// another thread, different handles on different threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/net/tests/internet_fixture.h"
#include "platform/thread/thread.h"

namespace {

class CHandleTest : public CInternetTest {};

// A server whose answer is a header and part of a body, then nothing until
// the client goes: the client is in the middle of a transfer.
CTestHttpServer::Script Stalling(std::atomic<bool>* clientClosed = nullptr) {
    return [clientClosed](CTestConnection& c) {
        c.Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\nabc");
        const bool closed = c.WaitForClientClose(30000);
        if (clientClosed)
            *clientClosed = closed;
    };
}

void ExpectInvalid(HINTERNET request) {
    char buffer[8];
    DWORD got = 9;
    EXPECT_FALSE(InternetReadFile(request, buffer, sizeof(buffer), &got));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(HttpSendRequest(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD status = 0;
    EXPECT_FALSE(HttpQueryStatusCode(request, &status));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(request));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(CHandleTest, ClosingRequestConnectionAgentInOrder) {
    CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "ok")); }, 1);
    const Handles h = Open(server.Port(), "/q");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ReadAll(h.request), "ok");
    Close(h);
    ExpectInvalid(h.request);  // closing it again included
    // Handle values are not reused: the stale one stays stale.
    const Handles next = Open(server.Port(), "/q");
    EXPECT_NE(next.request, h.request);
    ExpectInvalid(h.request);
    Close(next);
}

TEST_F(CHandleTest, ClosingTheAgentFirstClosesWhatWasMadeFromIt) {
    std::atomic<bool> clientClosed{false};
    CTestHttpServer server(Stalling(&clientClosed), 1);
    const Handles h = Open(server.Port(), "/q");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    char buffer[2];
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(h.request, buffer, 2, &got));

    EXPECT_TRUE(InternetCloseHandle(h.session));
    ExpectInvalid(h.request);
    EXPECT_FALSE(InternetCloseHandle(h.connect));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(HttpOpenRequest(h.connect, "GET", "/", "HTTP/1.0", nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(h.session));
    // The transfer's connection went with it.
    ASSERT_TRUE(server.WaitForHandled(1, 30000));
    EXPECT_TRUE(clientClosed);
}

TEST_F(CHandleTest, ClosingTheConnectionWhileARequestIsOpen) {
    CTestHttpServer server(Stalling(), 1);
    Handles h = Open(server.Port(), "/q");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    EXPECT_TRUE(InternetCloseHandle(h.connect));
    ExpectInvalid(h.request);
    // The agent is still good for a new connection.
    const HINTERNET again =
        InternetConnect(h.session, "127.0.0.1", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    EXPECT_NE(again, nullptr);
    EXPECT_TRUE(InternetCloseHandle(h.session));
    EXPECT_FALSE(InternetCloseHandle(again));
}

TEST_F(CHandleTest, NullMadeUpAndWrongKindsOfHandles) {
    ExpectInvalid(nullptr);
    ExpectInvalid(reinterpret_cast<HINTERNET>(static_cast<std::uintptr_t>(0xDEADBEEF)));
    EXPECT_EQ(InternetConnect(nullptr, "127.0.0.1", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    CTestHttpServer server([](CTestConnection& c) { c.Send(HttpAnswer(200, "ok")); }, 1);
    const Handles h = Open(server.Port(), "/q");
    char buffer[8];
    DWORD got = 0;
    EXPECT_FALSE(InternetReadFile(h.session, buffer, sizeof(buffer), &got));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_FALSE(HttpSendRequest(h.connect, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_EQ(InternetConnect(h.request, "127.0.0.1", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_EQ(HttpOpenRequest(h.session, "GET", "/", "HTTP/1.0", nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    Close(h);
}

TEST_F(CHandleTest, ClosingFromAnotherThreadEndsAWaitingRead) {
    // The stall time is the default minute; the read must end long before.
    CTestHttpServer server(Stalling(), 1);
    const Handles h = Open(server.Port(), "/q");
    ASSERT_TRUE(HttpSendRequest(h.request, nullptr, 0, nullptr, 0));
    std::atomic<DWORD> error{0};
    const HTHREAD reader = StartThread([&]() -> DWORD {
        char buffer[1023];
        DWORD got = 0;
        // "abc" first, then the wait that the close ends.
        while (InternetReadFile(h.request, buffer, sizeof(buffer), &got) && got > 0) {
        }
        error = GetLastError();
        return 0;
    });
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(InternetCloseHandle(h.request));
    EXPECT_EQ(WaitForThread(reader, 20000), WAIT_OBJECT_0);
    // Closed while waiting, or closed before the read began.
    EXPECT_TRUE(error == ERROR_INTERNET_OPERATION_CANCELLED || error == ERROR_INVALID_HANDLE)
        << error;
    EXPECT_TRUE(InternetCloseHandle(h.session));
}

TEST_F(CHandleTest, DifferentHandlesOnDifferentThreadsAtOnce) {
    constexpr int kThreads = 4;
    std::string bodies[kThreads];
    for (int i = 0; i < kThreads; ++i)
        bodies[i] = std::string(200000 + i * 1000, static_cast<char>('a' + i));
    CTestHttpServer server(
        [&](CTestConnection& c) {
            const int i = c.Target()[1] - '0';
            c.SendSlowly(HttpAnswer(200, bodies[i]), 50000, 1);
        },
        kThreads);
    std::string received[kThreads];
    std::vector<HTHREAD> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.push_back(StartThread([&, i]() -> DWORD {
            const Handles h = Open(server.Port(), "/" + std::to_string(i));
            if (HttpSendRequest(h.request, nullptr, 0, nullptr, 0))
                received[i] = ReadAll(h.request);
            Close(h);
            return 0;
        }));
    }
    for (int i = 0; i < kThreads; ++i) {
        ASSERT_EQ(WaitForThread(threads[i], 30000), WAIT_OBJECT_0);
        EXPECT_TRUE(received[i] == bodies[i]) << i;
    }
}

}  // namespace
