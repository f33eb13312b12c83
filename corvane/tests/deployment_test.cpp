// The update server and probe host from the registry, with their defaults.
#include <gtest/gtest.h>

#include "corvane/deployment.h"
#include "platform/registry/registry.h"
#include "platform/registry/tests/registry_fixture.h"

namespace {

TEST(ServerAddressText, WellFormedValues) {
    struct Case {
        const char* text;
        const char* host;
        int port;
    } cases[] = {
        {"updates.example.com", "updates.example.com", 80},
        {"updates.example.com:8080", "updates.example.com", 8080},
        {"  10.1.2.3:00081 \t", "10.1.2.3", 81},
        {"[::1]:8443", "::1", 8443},
        {"[2001:db8::5]", "2001:db8::5", 80},
        {"2001:db8::5", "2001:db8::5", 80},
        {"host_1:65535", "host_1", 65535},
    };
    for (const Case& c : cases) {
        ServerAddress address;
        ASSERT_TRUE(ParseServerAddress(c.text, &address)) << c.text;
        EXPECT_EQ(address.host, c.host) << c.text;
        EXPECT_EQ(address.port, c.port) << c.text;
    }
}

TEST(ServerAddressText, MalformedValuesAreRefused) {
    for (const char* text : {"",
                             "   ",
                             "host:",
                             ":8080",
                             "host:0",
                             "host:65536",
                             "host:99999999",
                             "host:12a",
                             "host:-1",
                             "host:+80",
                             "[::1",
                             "[]:80",
                             "[::1]x",
                             "[::1]:",
                             "[host]:80",
                             "ho st",
                             "a/b",
                             "user@host",
                             "host?x",
                             "host#x",
                             "\xD6\xD0\xCE\xC4.cn",
                             "h\r\nX: 1",
                             "1:2:zz"}) {
        ServerAddress address{"unchanged", 1};
        EXPECT_FALSE(ParseServerAddress(text, &address)) << text;
        EXPECT_EQ(address.host, "unchanged");
        EXPECT_EQ(address.port, 1);
    }
}

// A fresh prefix, so an empty registry, for each test.
class CDeploymentTest : public CRegistryTest {
protected:
    static void Put(const char* name, const std::string& value) {
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, kDeploymentKey, name, value));
    }
};

TEST_F(CDeploymentTest, DefaultsWithoutRegistryValues) {
    const ServerAddress fallback = DefaultUpdateServerAddress();
    EXPECT_FALSE(fallback.host.empty());
    EXPECT_NE(fallback.port, 0);
    const ServerAddress address = UpdateServerAddress();
    EXPECT_EQ(address.host, fallback.host);
    EXPECT_EQ(address.port, fallback.port);
    EXPECT_FALSE(DefaultProbeHostName().empty());
    EXPECT_EQ(ProbeHostName(), DefaultProbeHostName());
}

TEST_F(CDeploymentTest, RegistryValuesWin) {
    Put(kServerValue, "updates.telvora.example:8081");
    Put(kProbeHostValue, "www.example.com");
    EXPECT_EQ(UpdateServerAddress().host, "updates.telvora.example");
    EXPECT_EQ(UpdateServerAddress().port, 8081);
    EXPECT_EQ(ProbeHostName(), "www.example.com");

    Put(kServerValue, "updates.telvora.example");
    EXPECT_EQ(UpdateServerAddress().port, 80);
    // A probe host given with a port is still just a host to look up.
    Put(kProbeHostValue, "probe.example:81");
    EXPECT_EQ(ProbeHostName(), "probe.example");
}

TEST_F(CDeploymentTest, MalformedOrMistypedValuesFallBackToTheDefaults) {
    const ServerAddress fallback = DefaultUpdateServerAddress();
    for (const char* value : {"", "updates:0", "updates:http", "up dates", "[::1"}) {
        Put(kServerValue, value);
        Put(kProbeHostValue, value);
        EXPECT_EQ(UpdateServerAddress().host, fallback.host) << value;
        EXPECT_EQ(UpdateServerAddress().port, fallback.port) << value;
        EXPECT_EQ(ProbeHostName(), DefaultProbeHostName()) << value;
    }
    // A number where text belongs.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kDeploymentKey, &key), ERROR_SUCCESS);
    const DWORD number = 8080;
    ASSERT_EQ(RegSetValueEx(key, kServerValue, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof(number)),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(UpdateServerAddress().host, fallback.host);
}

}  // namespace
