// ParseListenAddress (http_server.h): the text of a listening address.
#include <charconv>

#include "tools/update-server/http_server.h"

namespace {

bool ParsePort(std::string_view text, unsigned* port) {
    unsigned value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value > 65535)
        return false;
    *port = value;
    return true;
}

bool IsDottedQuad(std::string_view text) {
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot - start);
        unsigned value = 0;
        auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || part.size() > 3 || ec != std::errc() ||
            ptr != part.data() + part.size() || value > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return parts == 4;
}

bool IsIpv6Text(std::string_view text) {
    if (text.empty() || text.find(':') == std::string_view::npos)
        return false;
    for (char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':' && c != '.')
            return false;
    }
    return true;
}

}  // namespace

bool ParseListenAddress(const std::string& text, std::string* address, unsigned* port,
                        std::string* error) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        *error = "--listen wants ADDRESS:PORT, such as 127.0.0.1:8080 (got \"" + text + "\")";
        return false;
    }
    std::string host = text.substr(0, colon);
    if (!ParsePort(std::string_view(text).substr(colon + 1), port)) {
        *error = "the port in \"" + text + "\" is not a number from 0 to 65535";
        return false;
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (!IsIpv6Text(host)) {
            *error = "\"" + host + "\" is not an IPv6 address";
            return false;
        }
    } else if (host == "localhost") {
        host = "127.0.0.1";
    } else if (!IsDottedQuad(host)) {
        *error =
            "\"" + host + "\" is not a numeric address (use 127.0.0.1, 0.0.0.0, or [::1] for IPv6)";
        return false;
    }
    *address = host;
    return true;
}
