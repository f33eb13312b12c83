// Which proxy a request goes through. The client decides this itself rather
// than leaving it to libcurl, because the request line differs (a proxy gets
// the absolute URL) and the path is sent byte for byte as the caller gave it.
// The preconfigured settings are libcurl's own: the environment variables
// http_proxy, all_proxy / ALL_PROXY and no_proxy / NO_PROXY, read with
// libcurl's rules (http_proxy only in lower case).
#pragma once

#include <string>
#include <string_view>

#include "platform/error/error.h"

namespace net {

struct ProxySettings {
    DWORD accessType = 0;  // INTERNET_OPEN_TYPE_*
    std::string proxy;     // for INTERNET_OPEN_TYPE_PROXY
    std::string bypass;    // for INTERNET_OPEN_TYPE_PROXY
};

// The proxy (in libcurl's syntax, such as "http://host:3128") for a request
// to host, or "" for a direct connection.
std::string ChooseProxy(const ProxySettings& settings, std::string_view host);

// libcurl's no_proxy rules: "*" alone matches every host; otherwise a list
// separated by commas or blanks, each entry a name (matching the host or a
// domain above it; a leading '.' is ignored) or, for an IP address host, an
// address with an optional /bits prefix length. ASCII case is ignored.
bool HostMatchesNoProxy(std::string_view host, std::string_view list);

// The desktop's bypass list for an explicit proxy: entries separated by ';',
// ',' or blanks; "<local>" matches names without a dot; "*" matches all;
// "*.example.com" and ".example.com" match names below example.com; other
// entries as in HostMatchesNoProxy.
bool HostMatchesBypass(std::string_view host, std::string_view list);

// The proxy named by an explicit proxy list ("host:port", "http=host:port",
// "http=host:port ftp=..."): the http entry, else the first entry without a
// scheme. "" when there is none.
std::string ProxyFromList(std::string_view list);

// False for SOCKS proxies, which carry the connection and see no request
// line of their own; true for HTTP proxies, which take the absolute URL.
bool ProxyTakesAbsoluteUrl(std::string_view proxy);

}  // namespace net
