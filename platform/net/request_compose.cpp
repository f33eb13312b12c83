#include "platform/net/request_compose_internal.h"

#include "platform/net/host_text.h"

namespace net {

std::string ComposeRequestTarget(std::string_view objectName) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string target;
    target.reserve(objectName.size() + 1);
    if (objectName.empty() || objectName.front() != '/')
        target.push_back('/');
    for (char ch : objectName) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F) {
            target.push_back('%');
            target.push_back(kHex[c >> 4]);
            target.push_back(kHex[c & 0x0F]);
        } else {
            target.push_back(ch);
        }
    }
    return target;
}

bool IsMethodToken(std::string_view verb) {
    if (verb.empty())
        return false;
    for (char c : verb) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') ||
                        std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
        if (!ok)
            return false;
    }
    return true;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool SplitHeaderLines(std::string_view headers, std::vector<std::string>* lines) {
    lines->clear();
    std::size_t pos = 0;
    while (pos < headers.size()) {
        std::size_t end = headers.find('\n', pos);
        if (end == std::string_view::npos)
            end = headers.size();
        std::string_view line = headers.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        if (HasLineBreak(line))
            return false;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || !IsMethodToken(line.substr(0, colon)))
            return false;
        lines->emplace_back(line);
    }
    return true;
}

std::string OriginUrl(std::string_view host, std::uint16_t port) {
    return "http://" + HostForUrl(host) + ":" + std::to_string(port) + "/";
}

std::string AbsoluteUrl(std::string_view host, std::uint16_t port, std::string_view target) {
    std::string url = "http://" + HostForUrl(host);
    if (port != 80)
        url += ":" + std::to_string(port);
    url += target;
    return url;
}

}  // namespace net
