#include "platform/text/number.h"

#include <charconv>
#include <system_error>

namespace text {

std::optional<std::int64_t> ParseDecimal(std::string_view text, std::int64_t min, std::int64_t max,
                                         NumberExtent extent, OutOfRange outside,
                                         std::size_t* used) {
    if (min > max)
        return std::nullopt;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const bool negative = first != last && *first == '-';
    if (negative && min >= 0)
        return std::nullopt;
    // from_chars takes the sign itself; a sign must have a digit after it.
    const char* digits = first + (negative ? 1 : 0);
    if (digits == last || *digits < '0' || *digits > '9')
        return std::nullopt;
    std::int64_t value = 0;
    auto [stop, ec] = std::from_chars(first, last, value);
    if (extent == NumberExtent::kWhole && stop != last)
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        if (outside == OutOfRange::kRefuse)
            return std::nullopt;
        value = negative ? min : max;
    } else if (ec != std::errc()) {
        return std::nullopt;
    } else if (value < min || value > max) {
        if (outside == OutOfRange::kRefuse)
            return std::nullopt;
        value = value < min ? min : max;
    }
    if (used)
        *used = static_cast<std::size_t>(stop - first);
    return value;
}

std::optional<HostPort> SplitHostPort(std::string_view text, std::uint16_t minPort) {
    HostPort out;
    std::string_view portText;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        out.host = std::string(text.substr(1, close - 1));
        out.bracketed = true;
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            portText = rest.substr(1);
            hasPort = true;
        }
    } else {
        const std::size_t colon = text.find(':');
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) == std::string_view::npos) {
            out.host = std::string(text.substr(0, colon));
            portText = text.substr(colon + 1);
            hasPort = true;
        } else {
            out.host = std::string(text);  // a name, or a bare IPv6 address
        }
    }
    if (out.host.empty())
        return std::nullopt;
    if (hasPort) {
        const std::optional<std::int64_t> port = ParseDecimal(portText, minPort, 65535);
        if (!port)
            return std::nullopt;
        out.port = static_cast<std::uint16_t>(*port);
    }
    return out;
}

}  // namespace text
