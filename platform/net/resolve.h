// Host names to addresses, the way the system's sockets calls resolve them.
// Addresses are dotted text (IPv4 "a.b.c.d", IPv6 in its usual text form),
// IPv4 first. The machine's own host name resolves to its interface
// addresses (see local_addresses.h), as on the desktop OS.
#pragma once

#include <string>
#include <vector>

#include "platform/error/error.h"

// Resolves name (getaddrinfo; no connection is made). The machine's own name
// (as GetLocalHostName gives it, ASCII letter case ignored) and the empty
// name resolve to the interface addresses. Each address once, IPv4 first,
// otherwise in the resolver's order. False when the name does not resolve
// (last error ERROR_INTERNET_NAME_NOT_RESOLVED) or addresses is null
// (ERROR_INVALID_PARAMETER); *addresses is then empty.
bool ResolveHostName(const std::string& name, std::vector<std::string>* addresses);

// The machine's host name (gethostname), or "" when it can't be read.
std::string GetLocalHostName();

// The first address of the own host name. False (last error set) when the
// own name can't be read or resolved.
bool FirstLocalHostAddress(std::string* address);

// True when address is the loopback text "127.0.0.1" (ASCII letter case
// ignored, as the launcher compares it).
bool IsLoopbackAddressText(const std::string& address);

// The launcher's local-address test: false when the first address of the own
// name is "127.0.0.1" (a machine with no network), true otherwise. When the
// own name can't be resolved at all the answer is true ("has an address"),
// so that the course still starts and the update is tried: a machine that
// can't tell is not declared offline.
bool LocalHostHasNetworkAddress();
