// Small helpers for reading course text lines (GBK): a substring search that
// matches only at character starts, and the leading number of a value.
#pragma once

#include <string>
#include <string_view>

// Position of the first occurrence of word at or after from that begins a
// character (not inside a double-byte character), or npos.
std::size_t FindInLine(std::string_view line, std::string_view word, std::size_t from = 0);
inline bool LineHas(std::string_view line, std::string_view word) {
    return FindInLine(line, word) != std::string_view::npos;
}

// The leading decimal number of a value the way the C library's atoi reads
// it (leading white space and a sign allowed; no digits is 0), held to the
// range of int instead of overflowing.
int LeadingInteger(std::string_view value);
