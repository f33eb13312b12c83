#include "platform/net/deployment.h"

#include "platform/net/host_text_internal.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"

#ifndef TELVORA_DEFAULT_UPDATE_SERVER
#define TELVORA_DEFAULT_UPDATE_SERVER "127.0.0.1:8080"
#endif
#ifndef TELVORA_DEFAULT_PROBE_HOST
#define TELVORA_DEFAULT_PROBE_HOST "localhost"
#endif

namespace {

constexpr std::uint16_t kDefaultPort = 80;

bool ParsePort(std::string_view digits, std::uint16_t* port) {
    if (digits.empty() || digits.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool ParseServerAddress(std::string_view text, ServerAddress* out) {
    const std::string trimmed = text::Trim(text);
    std::string_view value = trimmed;
    std::string_view host;
    std::uint16_t port = kDefaultPort;
    if (!value.empty() && value.front() == '[') {
        const std::size_t close = value.find(']');
        if (close == std::string_view::npos)
            return false;
        host = value.substr(1, close - 1);
        const std::string_view rest = value.substr(close + 1);
        if (host.find(':') == std::string_view::npos)
            return false;
        if (!rest.empty() && (rest.front() != ':' || !ParsePort(rest.substr(1), &port)))
            return false;
    } else {
        const std::size_t colon = value.find(':');
        if (colon != std::string_view::npos &&
            value.find(':', colon + 1) == std::string_view::npos) {
            host = value.substr(0, colon);
            if (!ParsePort(value.substr(colon + 1), &port))
                return false;
        } else {
            host = value;  // a name, or a bare IPv6 address (two colons or more)
        }
    }
    if (!net::IsValidHostText(host))
        return false;
    out->host = std::string(host);
    out->port = port;
    return true;
}

ServerAddress DefaultUpdateServerAddress() {
    ServerAddress address;
    if (!ParseServerAddress(TELVORA_DEFAULT_UPDATE_SERVER, &address))
        address = ServerAddress{"127.0.0.1", kDefaultPort};
    return address;
}

std::string DefaultProbeHostName() {
    ServerAddress address;
    if (!ParseServerAddress(TELVORA_DEFAULT_PROBE_HOST, &address))
        return "localhost";
    return address.host;
}

ServerAddress UpdateServerAddress() {
    ServerAddress address;
    const auto value = RegGetString(HKEY_LOCAL_MACHINE, kDeploymentKey, kServerValue);
    if (value && ParseServerAddress(*value, &address))
        return address;
    return DefaultUpdateServerAddress();
}

std::string ProbeHostName() {
    // A port, if one is given, means nothing to a name lookup and is dropped.
    ServerAddress address;
    const auto value = RegGetString(HKEY_LOCAL_MACHINE, kDeploymentKey, kProbeHostValue);
    if (value && ParseServerAddress(*value, &address))
        return address.host;
    return DefaultProbeHostName();
}
