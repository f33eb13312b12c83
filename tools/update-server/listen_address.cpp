// ParseListenAddress (http_server.h): the text of a listening address.
#include "platform/text/number.h"
#include "tools/update-server/http_server.h"

namespace {

bool IsDottedQuad(std::string_view text) {
    int parts = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot - start);
        if (part.size() > 3 || !text::ParseDecimal(part, 0, 255))
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
    // The server's address is numeric and its port is always given; 0 lets
    // the kernel choose one.
    const std::optional<text::HostPort> split = text::SplitHostPort(text, 0);
    if (text.find(':') == std::string::npos) {
        *error = "--listen wants ADDRESS:PORT, such as 127.0.0.1:8080 (got \"" + text + "\")";
        return false;
    }
    if (!split || !split->port) {
        *error = "the port in \"" + text + "\" is not a number from 0 to 65535";
        return false;
    }
    std::string host = split->host;
    if (split->bracketed) {
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
    *port = *split->port;
    return true;
}
