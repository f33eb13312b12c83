// The pieces of a request that come from the caller's text: the request
// target, the verb, the extra header lines, the URLs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error/error.h"

namespace net {

// The request target for an object name: its bytes as given, with a leading
// '/' when missing ("" -> "/") and blanks, control bytes and DEL as %XX, so
// that a name can never end the request line or start a header.
std::string ComposeRequestTarget(std::string_view objectName);

// True for an HTTP method token (letters, digits and !#$%&'*+-.^_`|~).
bool IsMethodToken(std::string_view verb);

// True when text holds a CR, LF or zero byte (not allowed in a header value).
bool HasLineBreak(std::string_view text);

// Splits extra header text into lines (CR LF or LF separated, empty lines
// skipped). False when a line has no "name:" or holds a stray CR or a zero
// byte.
bool SplitHeaderLines(std::string_view headers, std::vector<std::string>* lines);

// "http://host:port/": where libcurl connects and what the Host header says.
std::string OriginUrl(std::string_view host, std::uint16_t port);

// The absolute URL of a target, as a proxy receives it ("http://host" with
// ":port" unless it is 80, then the target).
std::string AbsoluteUrl(std::string_view host, std::uint16_t port, std::string_view target);

}  // namespace net
