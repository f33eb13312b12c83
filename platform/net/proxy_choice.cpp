#include "platform/net/proxy_choice_internal.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/net/host_text.h"
#include "platform/net/wininet.h"
#include "platform/text/number.h"
#include "platform/text/text.h"

namespace net {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::vector<std::string_view> SplitList(std::string_view list, std::string_view separators) {
    std::vector<std::string_view> items;
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t end = list.find_first_of(separators, pos);
        const std::size_t stop = end == std::string_view::npos ? list.size() : end;
        if (stop > pos)
            items.push_back(list.substr(pos, stop - pos));
        pos = stop + 1;
    }
    return items;
}

// An IP address in binary form: 4 or 16 bytes; size 0 when text is none.
struct IpAddress {
    unsigned char bytes[16] = {};
    int size = 0;
};

IpAddress ParseIp(std::string_view textView) {
    IpAddress ip;
    const std::string s(textView);
    if (inet_pton(AF_INET, s.c_str(), ip.bytes) == 1)
        ip.size = 4;
    else if (inet_pton(AF_INET6, s.c_str(), ip.bytes) == 1)
        ip.size = 16;
    return ip;
}

bool PrefixMatches(const IpAddress& a, const IpAddress& b, int bits) {
    if (a.size != b.size || bits < 0 || bits > a.size * 8)
        return false;
    const int whole = bits / 8;
    if (std::memcmp(a.bytes, b.bytes, static_cast<std::size_t>(whole)) != 0)
        return false;
    const int rest = bits % 8;
    if (rest == 0)
        return true;
    const unsigned char mask = static_cast<unsigned char>(0xFF << (8 - rest));
    return (a.bytes[whole] & mask) == (b.bytes[whole] & mask);
}

bool EntryMatches(std::string_view host, const IpAddress& hostIp, std::string_view entry) {
    if (hostIp.size) {
        std::string_view address = entry;
        int bits = hostIp.size * 8;
        const std::size_t slash = entry.find('/');
        if (slash != std::string_view::npos) {
            address = entry.substr(0, slash);
            const std::optional<std::int64_t> prefix =
                text::ParseDecimal(entry.substr(slash + 1), 0, 128);
            if (!prefix)
                return false;
            bits = static_cast<int>(*prefix);
        }
        const IpAddress entryIp = ParseIp(StripBrackets(address));
        if (entryIp.size)
            return PrefixMatches(hostIp, entryIp, bits);
    }
    if (!entry.empty() && entry.front() == '.')
        entry.remove_prefix(1);
    if (!entry.empty() && entry.back() == '.')
        entry.remove_suffix(1);
    if (entry.empty())
        return false;
    if (host.size() == entry.size())
        return text::EqualsNoCase(host, entry);
    return host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
           text::EqualsNoCase(host.substr(host.size() - entry.size()), entry);
}

std::string_view NormalHost(std::string_view host) {
    host = StripBrackets(host);
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    return host;
}

}  // namespace

bool HostMatchesNoProxy(std::string_view host, std::string_view list) {
    const std::string trimmed = text::Trim(list);
    if (trimmed == "*")
        return true;
    host = NormalHost(host);
    const IpAddress hostIp = ParseIp(host);
    for (std::string_view entry : SplitList(trimmed, ", \t")) {
        if (EntryMatches(host, hostIp, entry))
            return true;
    }
    return false;
}

bool HostMatchesBypass(std::string_view host, std::string_view list) {
    host = NormalHost(host);
    const IpAddress hostIp = ParseIp(host);
    for (std::string_view entry : SplitList(list, "; ,\t")) {
        if (entry == "*")
            return true;
        if (text::EqualsNoCase(entry, "<local>")) {
            if (!hostIp.size && host.find('.') == std::string_view::npos)
                return true;
            continue;
        }
        if (entry.size() > 1 && entry.substr(0, 2) == "*.")
            entry.remove_prefix(1);
        if (EntryMatches(host, hostIp, entry))
            return true;
    }
    return false;
}

std::string ProxyFromList(std::string_view list) {
    std::string plain;
    for (std::string_view entry : SplitList(list, "; \t")) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            if (plain.empty())
                plain = std::string(entry);
        } else if (text::EqualsNoCase(entry.substr(0, equals), "http")) {
            return std::string(entry.substr(equals + 1));
        }
    }
    return plain;
}

bool ProxyTakesAbsoluteUrl(std::string_view proxy) {
    const std::string lower = text::AsciiLower(proxy);
    return lower.rfind("socks", 0) != 0;
}

std::string ChooseProxy(const ProxySettings& settings, std::string_view host) {
    switch (settings.accessType) {
        case INTERNET_OPEN_TYPE_DIRECT:
            return {};
        case INTERNET_OPEN_TYPE_PROXY: {
            if (HostMatchesBypass(host, settings.bypass))
                return {};
            return ProxyFromList(settings.proxy);
        }
        default: {
            std::string proxy = Env("http_proxy");
            if (proxy.empty())
                proxy = Env("all_proxy");
            if (proxy.empty())
                proxy = Env("ALL_PROXY");
            if (proxy.empty())
                return {};
            std::string noProxy = Env("no_proxy");
            if (noProxy.empty())
                noProxy = Env("NO_PROXY");
            if (!noProxy.empty() && HostMatchesNoProxy(host, noProxy))
                return {};
            return proxy;
        }
    }
}

}  // namespace net
