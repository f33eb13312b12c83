#include "corvane/deployment.h"

#include "platform/net/host_text.h"
#include "platform/registry/registry.h"
#include "platform/text/number.h"
#include "platform/text/text.h"

#ifndef TELVORA_DEFAULT_UPDATE_SERVER
#define TELVORA_DEFAULT_UPDATE_SERVER "127.0.0.1:8080"
#endif
#ifndef TELVORA_DEFAULT_PROBE_HOST
#define TELVORA_DEFAULT_PROBE_HOST "localhost"
#endif

namespace {

constexpr std::uint16_t kDefaultPort = 80;

}  // namespace

bool ParseServerAddress(std::string_view text, ServerAddress* out) {
    const std::optional<text::HostPort> split = text::SplitHostPort(text::Trim(text));
    // Brackets are for IPv6 addresses only.
    if (!split || (split->bracketed && split->host.find(':') == std::string::npos) ||
        !net::IsValidHostText(split->host))
        return false;
    out->host = split->host;
    out->port = split->port.value_or(kDefaultPort);
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

Deployment ReadDeployment() {
    return Deployment{UpdateServerAddress(), ProbeHostName()};
}
