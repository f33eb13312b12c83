// The text rules of requests: query-value escaping, request targets, header
// lines, host texts and the proxy lists.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/net/host_text.h"
#include "platform/net/proxy_choice_internal.h"
#include "platform/net/query_value.h"
#include "platform/net/request_compose_internal.h"
#include "platform/net/wininet.h"

namespace {

// What a server does with an escaped value.
std::string PercentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

TEST(EncodeQueryValue, UnreservedStayEverythingElseEscaped) {
    EXPECT_EQ(EncodeQueryValue("AZaz09-_.~"), "AZaz09-_.~");
    EXPECT_EQ(EncodeQueryValue(" &=#+%?/"), "%20%26%3D%23%2B%25%3F%2F");
    EXPECT_EQ(EncodeQueryValue("张三"), "%D5%C5%C8%FD");
    EXPECT_EQ(EncodeQueryValue(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(EncodeQueryValue(""), "");
}

TEST(EncodeQueryValue, EveryByteDecodesBackToItself) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    const std::string encoded = EncodeQueryValue(all);
    EXPECT_EQ(encoded.find_first_of(" &=#+\r\n"), std::string::npos);
    EXPECT_EQ(PercentDecode(encoded), all);
}

TEST(RequestTarget, BytesAsGivenExceptWhatWouldBreakTheLine) {
    EXPECT_EQ(net::ComposeRequestTarget("/a/b.rar?x=%26&y=\xD6\xD0"), "/a/b.rar?x=%26&y=\xD6\xD0");
    EXPECT_EQ(net::ComposeRequestTarget("a.rar"), "/a.rar");
    EXPECT_EQ(net::ComposeRequestTarget(""), "/");
    EXPECT_EQ(net::ComposeRequestTarget("/a b\r\n\t\x7F"), "/a%20b%0D%0A%09%7F");
    EXPECT_EQ(net::ComposeRequestTarget(std::string("/a\0b", 4)), "/a%00b");
}

TEST(RequestTarget, MethodsAndHeaderLines) {
    EXPECT_TRUE(net::IsMethodToken("GET"));
    EXPECT_TRUE(net::IsMethodToken("M-SEARCH"));
    EXPECT_FALSE(net::IsMethodToken(""));
    EXPECT_FALSE(net::IsMethodToken("G T"));
    EXPECT_FALSE(net::IsMethodToken("GET\r\n"));

    std::vector<std::string> lines;
    ASSERT_TRUE(net::SplitHeaderLines("A: 1\r\n\r\nB:2\nC: x:y\r\n", &lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"A: 1", "B:2", "C: x:y"}));
    ASSERT_TRUE(net::SplitHeaderLines("", &lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(net::SplitHeaderLines("A: 1\rB: 2", &lines));
    EXPECT_FALSE(net::SplitHeaderLines(std::string("A: 1\0B", 6), &lines));
    EXPECT_FALSE(net::SplitHeaderLines("novalue", &lines));
    EXPECT_FALSE(net::SplitHeaderLines(": x", &lines));
}

TEST(HostText, NamesAndAddresses) {
    for (const char* host : {"a", "updates.example.com", "my_host-1", "10.0.0.1", "::1",
                             "2001:db8::1", "::ffff:10.0.0.1"})
        EXPECT_TRUE(net::IsValidHostText(host)) << host;
    for (const char* host :
         {"", "a b", "a/b", "a@b", "a?b", "a#b", "[::1]", "::g", "\xD6\xD0", "a\r\n"})
        EXPECT_FALSE(net::IsValidHostText(host)) << host;
    EXPECT_FALSE(net::IsValidHostText(std::string(254, 'a')));
    EXPECT_EQ(net::StripBrackets("[::1]"), "::1");
    EXPECT_EQ(net::StripBrackets("[::1"), "[::1");
}

TEST(ProxyLists, NoProxyRules) {
    EXPECT_TRUE(net::HostMatchesNoProxy("anything", " * "));
    EXPECT_TRUE(net::HostMatchesNoProxy("example.com", "example.com"));
    EXPECT_TRUE(net::HostMatchesNoProxy("a.b.Example.COM", ".example.com"));
    EXPECT_TRUE(net::HostMatchesNoProxy("example.com.", "other, example.com"));
    EXPECT_FALSE(net::HostMatchesNoProxy("badexample.com", "example.com"));
    EXPECT_FALSE(net::HostMatchesNoProxy("example.com", "a.example.com"));
    EXPECT_TRUE(net::HostMatchesNoProxy("10.1.2.3", "localhost 10.0.0.0/8"));
    EXPECT_FALSE(net::HostMatchesNoProxy("11.1.2.3", "10.0.0.0/8"));
    EXPECT_TRUE(net::HostMatchesNoProxy("10.1.2.3", "10.1.2.3"));
    EXPECT_FALSE(net::HostMatchesNoProxy("10.1.2.30", "10.1.2.3"));
    EXPECT_TRUE(net::HostMatchesNoProxy("::1", "::1"));
    EXPECT_TRUE(net::HostMatchesNoProxy("[2001:db8::7]", "2001:db8::/32"));
    EXPECT_FALSE(net::HostMatchesNoProxy("10.1.2.3", "10.0.0.0/99"));
    EXPECT_FALSE(net::HostMatchesNoProxy("example.com", ""));
}

TEST(ProxyLists, BypassListAndProxyList) {
    EXPECT_TRUE(net::HostMatchesBypass("intranet", "<local>"));
    EXPECT_FALSE(net::HostMatchesBypass("a.example", "<local>"));
    EXPECT_FALSE(net::HostMatchesBypass("10.0.0.1", "<local>"));
    EXPECT_TRUE(net::HostMatchesBypass("x.corp.example", "<local>;*.corp.example"));
    EXPECT_TRUE(net::HostMatchesBypass("anything", "*"));
    EXPECT_EQ(net::ProxyFromList("proxy:3128"), "proxy:3128");
    EXPECT_EQ(net::ProxyFromList("ftp=f:21 http=h:8080"), "h:8080");
    EXPECT_EQ(net::ProxyFromList("ftp=f:21"), "");
    EXPECT_TRUE(net::ProxyTakesAbsoluteUrl("http://proxy:3128"));
    EXPECT_TRUE(net::ProxyTakesAbsoluteUrl("proxy:3128"));
    EXPECT_FALSE(net::ProxyTakesAbsoluteUrl("SOCKS5h://proxy:1080"));
}

TEST(ProxyLists, PreconfiguredFollowsTheEnvironment) {
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        unsetenv(name);
    const net::ProxySettings preconfig{INTERNET_OPEN_TYPE_PRECONFIG, "", ""};
    EXPECT_EQ(net::ChooseProxy(preconfig, "updates.example"), "");
    // Upper-case HTTP_PROXY is not read for http (libcurl's rule: CGI
    // programs get it from a request header).
    setenv("HTTP_PROXY", "http://evil:1", 1);
    EXPECT_EQ(net::ChooseProxy(preconfig, "updates.example"), "");
    setenv("ALL_PROXY", "http://all:2", 1);
    EXPECT_EQ(net::ChooseProxy(preconfig, "updates.example"), "http://all:2");
    setenv("http_proxy", "http://proxy:3128", 1);
    EXPECT_EQ(net::ChooseProxy(preconfig, "updates.example"), "http://proxy:3128");
    setenv("NO_PROXY", "example", 1);
    EXPECT_EQ(net::ChooseProxy(preconfig, "updates.example"), "");
    const net::ProxySettings direct{INTERNET_OPEN_TYPE_DIRECT, "", ""};
    EXPECT_EQ(net::ChooseProxy(direct, "other.host"), "");
    for (const char* name : {"http_proxy", "HTTP_PROXY", "ALL_PROXY", "NO_PROXY"})
        unsetenv(name);
}

}  // namespace
