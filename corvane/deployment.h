// Deployment values of the update control: where the update server is and
// which public host the connectivity probe resolves. They live in the
// registry, HKLM\Software\Telvora\Update, values "Server" ("host",
// "host:port" or "[IPv6]:port"; port 80 when none is given) and "ProbeHost"
// (a host name; a port given with it is dropped). A value that is missing,
// not a string, or malformed (no host, a host with blanks or URL
// characters, a port that is not a whole number from 1 to 65535) is ignored
// and the build-time default (CMake cache variables TELVORA_UPDATE_SERVER,
// TELVORA_PROBE_HOST) is used.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct ServerAddress {
    std::string host;  // without brackets
    std::uint16_t port = 80;
};

// The registry key and value names, for tools and tests.
inline constexpr const char* kDeploymentKey = "Software\\Telvora\\Update";
inline constexpr const char* kServerValue = "Server";
inline constexpr const char* kProbeHostValue = "ProbeHost";

ServerAddress UpdateServerAddress();
std::string ProbeHostName();

// Both values, as one update uses them from its start to its end: read once
// when it starts, so that a value changed meanwhile can't send its query,
// its downloads and its notes links to different servers.
struct Deployment {
    ServerAddress server;
    std::string probeHost;
};
Deployment ReadDeployment();

// The build-time defaults (a malformed default gives 127.0.0.1:80 and
// "localhost").
ServerAddress DefaultUpdateServerAddress();
std::string DefaultProbeHostName();

// Parses "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address,
// blanks around it ignored. False when malformed (out unchanged).
bool ParseServerAddress(std::string_view text, ServerAddress* out);
