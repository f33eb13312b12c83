// Name resolution, the own host name's addresses and the sockets start-up.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "platform/net/local_addresses.h"
#include "platform/net/resolve.h"
#include "platform/net/winsock.h"

namespace {

LocalAddress Interface(const char* text, bool ipv6 = false, bool loopback = false) {
    LocalAddress a;
    a.text = text;
    a.ipv6 = ipv6;
    a.up = true;
    a.running = true;
    a.loopback = loopback;
    return a;
}

using Addresses = std::vector<std::string>;

TEST(LocalAddressOrder, NonLoopbackFirstIpv4BeforeIpv6) {
    LocalAddress linkLocal = Interface("fe80::1", true);
    linkLocal.linkLocal = true;
    const std::vector<LocalAddress> list = {Interface("127.0.0.1", false, true),
                                            Interface("::1", true, true),
                                            Interface("fd00::2", true),
                                            linkLocal,
                                            Interface("192.0.2.2"),
                                            Interface("10.0.0.5"),
                                            Interface("192.0.2.2")};
    EXPECT_EQ(OrderLocalAddresses(list), (Addresses{"192.0.2.2", "10.0.0.5", "fd00::2"}));
}

TEST(LocalAddressOrder, LoopbackOnlyWhenThereIsNothingElse) {
    EXPECT_EQ(OrderLocalAddresses({Interface("127.0.0.1", false, true)}), (Addresses{"127.0.0.1"}));
    EXPECT_EQ(OrderLocalAddresses({}), (Addresses{"127.0.0.1"}));
    // An IPv6 loopback alone still reads as the IPv4 loopback text.
    EXPECT_EQ(OrderLocalAddresses({Interface("::1", true, true)}), (Addresses{"127.0.0.1"}));

    // Interfaces that are down, or up without a link, do not count; nor do
    // link-local IPv6 addresses, which exist without any network.
    LocalAddress down = Interface("192.0.2.9");
    down.up = false;
    LocalAddress noLink = Interface("192.0.2.10");
    noLink.running = false;
    LocalAddress linkLocal = Interface("fe80::fc:ff:fe00:1", true);
    linkLocal.linkLocal = true;
    EXPECT_EQ(OrderLocalAddresses({Interface("127.0.0.1", false, true), down, noLink, linkLocal}),
              (Addresses{"127.0.0.1"}));
}

TEST(LocalAddressOrder, LoopbackAddressOnAnOrdinaryInterfaceStillCountsAsLoopback) {
    LocalAddress odd = Interface("127.0.1.1");
    odd.loopback = true;  // as LocalInterfaceAddresses marks 127.0.0.0/8
    EXPECT_EQ(OrderLocalAddresses({odd}), (Addresses{"127.0.0.1"}));
}

TEST(LocalAddressOrder, InterfaceListMarksLoopbackAndLinkLocal) {
    std::vector<LocalAddress> list;
    ASSERT_TRUE(LocalInterfaceAddresses(&list));
    for (const LocalAddress& a : list) {
        if (a.text == "127.0.0.1" || a.text == "::1") {
            EXPECT_TRUE(a.loopback) << a.text;
        }
        if (a.text.rfind("fe80:", 0) == 0) {
            EXPECT_TRUE(a.linkLocal) << a.text;
        }
    }
}

TEST(Resolve, OwnHostNameResolvesToInterfaceAddresses) {
    const std::string own = GetLocalHostName();
    ASSERT_FALSE(own.empty());
    std::vector<LocalAddress> interfaces;
    ASSERT_TRUE(LocalInterfaceAddresses(&interfaces));
    std::vector<std::string> addresses;
    ASSERT_TRUE(ResolveHostName(own, &addresses));
    ASSERT_FALSE(addresses.empty());
    // Every address is one of an interface (or the loopback fallback),
    // whatever /etc/hosts says about the name (Debian: 127.0.1.1).
    for (const std::string& address : addresses) {
        const bool known = address == "127.0.0.1" ||
                           std::any_of(interfaces.begin(), interfaces.end(),
                                       [&](const LocalAddress& a) { return a.text == address; });
        EXPECT_TRUE(known) << address;
        EXPECT_NE(address, "127.0.1.1");
    }
    // A machine with a connected IPv4 interface is online by this test.
    const bool connected = std::any_of(interfaces.begin(), interfaces.end(), [](const auto& a) {
        return !a.ipv6 && a.up && a.running && !a.loopback;
    });
    if (connected) {
        EXPECT_FALSE(IsLoopbackAddressText(addresses.front()));
        EXPECT_TRUE(LocalHostHasNetworkAddress());
    }

    // Letter case does not matter, nor does asking with the empty name.
    std::string upper = own;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::vector<std::string> again;
    ASSERT_TRUE(ResolveHostName(upper, &again));
    EXPECT_EQ(again, addresses);
    ASSERT_TRUE(ResolveHostName("", &again));
    EXPECT_EQ(again, addresses);
    std::string first;
    ASSERT_TRUE(FirstLocalHostAddress(&first));
    EXPECT_EQ(first, addresses.front());
}

TEST(Resolve, MachineWithoutNetworkHasOnlyLoopback) {
    // A fresh network namespace has nothing but a loopback interface. Made in
    // a child process, so this process keeps its network.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        std::string answer = "skip";
        if (unshare(CLONE_NEWNET) == 0) {
            std::string first;
            answer = FirstLocalHostAddress(&first) ? first : "unresolved";
            answer += LocalHostHasNetworkAddress() ? " online" : " offline";
        }
        [[maybe_unused]] ssize_t n = write(fds[1], answer.data(), answer.size());
        _exit(0);
    }
    close(fds[1]);
    char buffer[128] = {};
    const ssize_t n = read(fds[0], buffer, sizeof(buffer) - 1);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(n, 0);
    const std::string answer(buffer, static_cast<std::size_t>(n));
    if (answer == "skip")
        GTEST_SKIP() << "no network namespace can be made here (unshare needs privileges)";
    EXPECT_EQ(answer, "127.0.0.1 offline");
}

TEST(Resolve, NamesAndAddresses) {
    std::vector<std::string> addresses;
    ASSERT_TRUE(ResolveHostName("localhost", &addresses));
    EXPECT_EQ(addresses.front(), "127.0.0.1");
    EXPECT_TRUE(IsLoopbackAddressText(addresses.front()));

    ASSERT_TRUE(ResolveHostName("192.0.2.7", &addresses));
    EXPECT_EQ(addresses, (Addresses{"192.0.2.7"}));
    ASSERT_TRUE(ResolveHostName("::1", &addresses));
    EXPECT_EQ(addresses, (Addresses{"::1"}));
}

TEST(Resolve, UnresolvableNamesAreReported) {
    // Names the resolver rejects without asking a name server.
    for (const char* name : {"no..such.invalid", "a b"}) {
        std::vector<std::string> addresses = {"stale"};
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(ResolveHostName(name, &addresses)) << name;
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_NAME_NOT_RESOLVED) << name;
        EXPECT_TRUE(addresses.empty());
    }
    EXPECT_FALSE(ResolveHostName("localhost", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Winsock, StartUpAndCleanUp) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 0));
    ASSERT_EQ(WSAStartup(MAKEWORD(3, 1), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
    EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), nullptr), WSAEFAULT);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

}  // namespace
