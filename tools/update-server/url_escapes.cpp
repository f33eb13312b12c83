#include "tools/update-server/url_escapes.h"

#include "platform/text/text.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsUnreservedNameByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '~';
}

}  // namespace

std::string PercentDecode(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 2 < raw.size() && HexValue(raw[i + 1]) >= 0 &&
            HexValue(raw[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2]));
            i += 2;
        } else {
            out += raw[i];
        }
    }
    return out;
}

namespace {

std::string PercentEncode(std::string_view bytes, bool keepDot) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (IsUnreservedNameByte(c) || (keepDot && c == '.')) {
            out += ch;
        } else {
            out += '%';
            out += kDigits[c >> 4];
            out += kDigits[c & 0x0F];
        }
    }
    return out;
}

}  // namespace

std::string PercentEncodeName(std::string_view bytes) {
    return PercentEncode(bytes, false);
}

std::string PercentEncodePathName(std::string_view bytes) {
    return PercentEncode(bytes, true);
}

std::optional<std::string> QueryValue(std::string_view rawQuery, std::string_view name) {
    std::size_t start = 0;
    while (start <= rawQuery.size()) {
        std::size_t end = rawQuery.find('&', start);
        if (end == std::string_view::npos)
            end = rawQuery.size();
        const std::string_view pair = rawQuery.substr(start, end - start);
        const std::size_t eq = pair.find('=');
        const std::string key = PercentDecode(pair.substr(0, eq));
        if (!key.empty() && text::EqualsNoCase(key, name)) {
            if (eq == std::string_view::npos)
                return std::string();
            return PercentDecode(pair.substr(eq + 1));
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string ToHex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        out += kDigits[c >> 4];
        out += kDigits[c & 0x0F];
    }
    return out;
}
