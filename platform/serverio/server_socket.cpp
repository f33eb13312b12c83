#include "platform/serverio/server_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstring>

bool MakeSocketAddress(const std::string& address, unsigned port, CSocketAddress* out) {
    *out = CSocketAddress();
    if (port > 65535)
        return false;
    sockaddr_in v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<std::uint16_t>(port));
        std::memcpy(out->bytes, &v4, sizeof v4);
        out->length = sizeof v4;
        return true;
    }
    sockaddr_in6 v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<std::uint16_t>(port));
        std::memcpy(out->bytes, &v6, sizeof v6);
        out->length = sizeof v6;
        out->ipv6 = true;
        return true;
    }
    return false;
}

std::string SocketAddressText(const void* address) {
    const auto* sa = static_cast<const sockaddr*>(address);
    char text[INET6_ADDRSTRLEN] = "";
    if (sa == nullptr)
        return "-";
    if (sa->sa_family == AF_INET) {
        sockaddr_in in4;
        std::memcpy(&in4, sa, sizeof in4);
        inet_ntop(AF_INET, &in4.sin_addr, text, sizeof text);
    } else if (sa->sa_family == AF_INET6) {
        sockaddr_in6 in6;
        std::memcpy(&in6, sa, sizeof in6);
        if (IN6_IS_ADDR_V4MAPPED(&in6.sin6_addr))
            inet_ntop(AF_INET, &in6.sin6_addr.s6_addr[12], text, sizeof text);
        else
            inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
    } else {
        return "-";
    }
    return text[0] ? text : "-";
}

void ShutdownSocket(int fd) {
    if (fd >= 0)
        shutdown(fd, SHUT_RDWR);
}

void IgnoreBrokenPipes() {
    signal(SIGPIPE, SIG_IGN);
}

std::size_t RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? static_cast<std::size_t>(1) << 20
                                           : static_cast<std::size_t>(limit.rlim_cur);
}
