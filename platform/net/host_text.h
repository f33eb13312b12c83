// What may stand as a server's host in a URL, and how it is written there.
#pragma once

#include <string>
#include <string_view>

namespace net {

// A host name (letters, digits, '-', '.', '_'), a dotted IPv4 address or an
// IPv6 address (hex digits, ':' and '.', at least one ':'), without brackets;
// at most 253 bytes. Rejects everything that could change the meaning of a
// URL or a request (blanks, control bytes, '/', '@', '?', '#', ...).
bool IsValidHostText(std::string_view host);

// The host as it stands in a URL: IPv6 addresses in brackets.
std::string HostForUrl(std::string_view host);

// "[v6]" -> "v6"; anything else unchanged.
std::string_view StripBrackets(std::string_view host);

}  // namespace net
