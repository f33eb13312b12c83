// Globally unique identifiers: class ids, interface ids, type-library ids.
// Their text form is the registry's: "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
            return false;
        }
        for (int i = 0; i < 8; ++i) {
            if (a.Data4[i] != b.Data4[i]) {
                return false;
            }
        }
        return true;
    }
};
using CLSID = GUID;
using IID = GUID;
using REFGUID = const GUID&;
using REFCLSID = const GUID&;
using REFIID = const GUID&;

inline constexpr GUID GUID_NULL{};

namespace com {

namespace detail {

constexpr int HexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// Parses the 38-character registry form; false for anything else.
constexpr bool ParseGuid(std::string_view s, GUID* guid) {
    if (s.size() != 38 || s.front() != '{' || s.back() != '}') {
        return false;
    }
    // Positions of the hex digits of each byte, in text order.
    constexpr int kDashes[] = {9, 14, 19, 24};
    for (int dash : kDashes) {
        if (s[static_cast<std::size_t>(dash)] != '-') {
            return false;
        }
    }
    std::uint8_t bytes[16] = {};
    std::size_t pos = 1;
    for (int i = 0; i < 16; ++i) {
        if (s[pos] == '-') {
            ++pos;
        }
        int high = HexValue(s[pos]);
        int low = HexValue(s[pos + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
        pos += 2;
    }
    GUID g;
    g.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
              (std::uint32_t{bytes[2]} << 8) | bytes[3];
    g.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) {
        g.Data4[i] = bytes[8 + i];
    }
    *guid = g;
    return true;
}

}  // namespace detail

// A GUID written in the source, checked while compiling:
// constexpr CLSID kClsid = com::MakeGuid("{...}");
consteval GUID MakeGuid(const char* text) {
    std::string_view s(text);
    GUID g;
    if (!detail::ParseGuid(s, &g)) {
        throw "malformed GUID literal";  // stops the compilation
    }
    return g;
}

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either
// case); false, leaving *guid alone, for any other text.
bool GuidFromString(std::string_view text, GUID* guid);
// The registry form, upper-case hex digits in braces.
std::string GuidToString(const GUID& guid);

}  // namespace com
