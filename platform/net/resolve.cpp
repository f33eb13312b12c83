#include "platform/net/resolve.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/net/local_addresses.h"
#include "platform/text/text.h"

namespace {

DWORD ErrorFromResolver(int code) {
    switch (code) {
        case EAI_MEMORY:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EAI_SYSTEM:
            return errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INTERNET_NAME_NOT_RESOLVED;
        default:
            return ERROR_INTERNET_NAME_NOT_RESOLVED;
    }
}

bool ResolveWithResolver(const std::string& name, std::vector<std::string>* addresses) {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (rc != 0) {
        SetLastError(ErrorFromResolver(rc));
        return false;
    }
    std::vector<std::string> v4;
    std::vector<std::string> v6;
    for (addrinfo* it = list; it; it = it->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        if (it->ai_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(it->ai_addr);
            if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text)) &&
                std::find(v4.begin(), v4.end(), text) == v4.end())
                v4.push_back(text);
        } else if (it->ai_family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(it->ai_addr);
            if (inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text)) &&
                std::find(v6.begin(), v6.end(), text) == v6.end())
                v6.push_back(text);
        }
    }
    freeaddrinfo(list);
    *addresses = std::move(v4);
    addresses->insert(addresses->end(), v6.begin(), v6.end());
    if (addresses->empty()) {
        SetLastError(ERROR_INTERNET_NAME_NOT_RESOLVED);
        return false;
    }
    return true;
}

}  // namespace

std::string GetLocalHostName() {
    char name[HOST_NAME_MAX + 2] = {};
    if (gethostname(name, sizeof(name) - 1) != 0) {
        SetLastErrorFromErrno(errno);
        return {};
    }
    return name;
}

bool ResolveHostName(const std::string& name, std::vector<std::string>* addresses) {
    if (!addresses) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    addresses->clear();
    try {
        const std::string own = GetLocalHostName();
        if (name.empty() || (!own.empty() && text::EqualsNoCase(name, own))) {
            std::vector<LocalAddress> interfaces;
            if (LocalInterfaceAddresses(&interfaces)) {
                *addresses = OrderLocalAddresses(interfaces);
                return true;
            }
            // Without an interface list, the resolver's answer is the best left.
            if (name.empty())
                return ResolveWithResolver(own, addresses);
        }
        return ResolveWithResolver(name, addresses);
    } catch (const std::bad_alloc&) {
        addresses->clear();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

bool FirstLocalHostAddress(std::string* address) {
    const std::string own = GetLocalHostName();
    if (own.empty())
        return false;
    std::vector<std::string> addresses;
    if (!ResolveHostName(own, &addresses))
        return false;
    if (address)
        *address = addresses.front();
    return true;
}

bool IsLoopbackAddressText(const std::string& address) {
    return text::EqualsNoCase(address, "127.0.0.1");
}

bool LocalHostHasNetworkAddress() {
    std::string first;
    if (!FirstLocalHostAddress(&first))
        return true;
    return !IsLoopbackAddressText(first);
}
