#include "platform/net/host_text.h"

namespace net {

namespace {

constexpr std::size_t kMaxHostLength = 253;

bool IsNameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsIpv6Byte(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

}  // namespace

bool IsValidHostText(std::string_view host) {
    if (host.empty() || host.size() > kMaxHostLength)
        return false;
    if (host.find(':') != std::string_view::npos) {
        for (char c : host) {
            if (!IsIpv6Byte(c))
                return false;
        }
        return true;
    }
    for (char c : host) {
        if (!IsNameByte(c))
            return false;
    }
    return true;
}

std::string HostForUrl(std::string_view host) {
    if (host.find(':') != std::string_view::npos)
        return "[" + std::string(host) + "]";
    return std::string(host);
}

std::string_view StripBrackets(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

}  // namespace net
