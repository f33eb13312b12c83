#include "platform/net/local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>

#include "platform/error/error.h"

namespace {

constexpr const char* kLoopbackText = "127.0.0.1";

bool AddressText(const sockaddr* address, LocalAddress* out) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text)))
            return false;
        out->ipv6 = false;
        // 127.0.0.0/8 is loopback whatever interface carries it.
        if ((ntohl(in->sin_addr.s_addr) >> 24) == 127)
            out->loopback = true;
    } else if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (!inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text)))
            return false;
        out->ipv6 = true;
        if (IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr))
            out->loopback = true;
        out->linkLocal = IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr);
    } else {
        return false;
    }
    out->text = text;
    return true;
}

}  // namespace

bool LocalInterfaceAddresses(std::vector<LocalAddress>* addresses) {
    addresses->clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr)
            continue;
        LocalAddress entry;
        entry.up = (it->ifa_flags & IFF_UP) != 0;
        entry.running = (it->ifa_flags & IFF_RUNNING) != 0;
        entry.loopback = (it->ifa_flags & IFF_LOOPBACK) != 0;
        if (AddressText(it->ifa_addr, &entry))
            addresses->push_back(entry);
    }
    freeifaddrs(list);
    return true;
}

std::vector<std::string> OrderLocalAddresses(const std::vector<LocalAddress>& addresses) {
    std::vector<std::string> ordered;
    auto add = [&ordered](const std::string& text) {
        if (std::find(ordered.begin(), ordered.end(), text) == ordered.end())
            ordered.push_back(text);
    };
    auto usable = [](const LocalAddress& a) {
        return a.up && a.running && !a.loopback && !a.linkLocal && !a.text.empty();
    };
    for (const LocalAddress& a : addresses) {
        if (!a.ipv6 && usable(a))
            add(a.text);
    }
    for (const LocalAddress& a : addresses) {
        if (a.ipv6 && usable(a))
            add(a.text);
    }
    if (ordered.empty())
        ordered.push_back(kLoopbackText);
    return ordered;
}
