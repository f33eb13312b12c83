// Common ground for the client's tests: no proxy from the caller's
// environment, the default stall time, helpers that open the three handles
// and read a whole body, and a check that every test closes what it opens.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/net/handles_internal.h"
#include "platform/net/tests/test_http_server.h"
#include "platform/net/wininet.h"

class CInternetTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                                 "NO_PROXY", "TELVORA_HTTP_STALL"})
            unsetenv(name);
        m_nHandlesBefore = net::OpenHandleCount();
    }
    void TearDown() override { EXPECT_EQ(net::OpenHandleCount(), m_nHandlesBefore); }

    struct Handles {
        HINTERNET session = nullptr;
        HINTERNET connect = nullptr;
        HINTERNET request = nullptr;
    };

    // The system's way: agent "corvane", preconfigured proxy, a connection to
    // 127.0.0.1:port, a GET of path as HTTP/1.0 accepting "*/*" without
    // cache writes. Fails the test when a handle can't be made.
    static Handles Open(int port, const std::string& path, const char* user = "",
                        const char* password = "", const char* version = "HTTP/1.0") {
        Handles h;
        h.session = InternetOpen("corvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        EXPECT_NE(h.session, nullptr);
        h.connect = InternetConnect(h.session, "127.0.0.1", static_cast<INTERNET_PORT>(port), user,
                                    password, INTERNET_SERVICE_HTTP, 0, 0);
        EXPECT_NE(h.connect, nullptr);
        h.request = OpenGet(h.connect, path, version);
        return h;
    }

    static HINTERNET OpenGet(HINTERNET connect, const std::string& path,
                             const char* version = "HTTP/1.0") {
        const char* accept[] = {"*/*", nullptr};
        HINTERNET request = HttpOpenRequest(connect, "GET", path.c_str(), version, nullptr, accept,
                                            INTERNET_FLAG_NO_CACHE_WRITE, 0);
        EXPECT_NE(request, nullptr);
        return request;
    }

    static void Close(const Handles& h) {
        EXPECT_TRUE(InternetCloseHandle(h.request));
        EXPECT_TRUE(InternetCloseHandle(h.connect));
        EXPECT_TRUE(InternetCloseHandle(h.session));
    }

    // Reads the body in reads of chunk bytes until a read returns 0 bytes or
    // fails; *ok tells which, *error the last error of a failure.
    static std::string ReadAll(HINTERNET request, DWORD chunk = 1023, bool* ok = nullptr,
                               DWORD* error = nullptr) {
        std::string body;
        std::string buffer(chunk, '\0');
        for (;;) {
            DWORD got = 0;
            if (!InternetReadFile(request, buffer.data(), chunk, &got)) {
                if (ok)
                    *ok = false;
                if (error)
                    *error = GetLastError();
                return body;
            }
            if (got == 0)
                break;
            EXPECT_LE(got, chunk);
            body.append(buffer.data(), got);
        }
        if (ok)
            *ok = true;
        return body;
    }

    std::size_t m_nHandlesBefore = 0;
};
