// Decimal numbers and host:port pairs in text: the one reader of each, for
// registry values, answers, file names, options and environment variables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace text {

enum class NumberExtent {
    kWhole,   // the text is the number and nothing else
    kPrefix,  // the number starts the text; what follows is the caller's
};

enum class OutOfRange {
    kRefuse,  // a value outside [min, max] is no number
    kClamp,   // it is held to the nearer bound (readers that must not fail)
};

// Reads a decimal number at the start of text: a '-' only when min < 0,
// then ASCII digits (any count, leading zeros too); no blanks, no '+'.
// Nothing when there is no digit, when kWhole and anything follows, or
// when the value lies outside [min, max] and kRefuse. *used, when given,
// gets the count of characters read.
std::optional<std::int64_t> ParseDecimal(std::string_view text, std::int64_t min, std::int64_t max,
                                         NumberExtent extent = NumberExtent::kWhole,
                                         OutOfRange outside = OutOfRange::kRefuse,
                                         std::size_t* used = nullptr);

struct HostPort {
    std::string host;                   // brackets of an IPv6 address taken off
    std::optional<std::uint16_t> port;  // when the text gave one
    bool bracketed = false;             // the host was written [like::this]
};

// Splits "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 address
// (two colons or more, no port). The port must be a whole decimal number
// from minPort to 65535. Nothing when malformed: an empty host, an
// unclosed bracket, text after "]" that is not ":port", a bad port. The
// host itself is the caller's to check.
std::optional<HostPort> SplitHostPort(std::string_view text, std::uint16_t minPort = 1);

}  // namespace text
