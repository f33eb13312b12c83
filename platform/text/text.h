// Text services: the system keeps every narrow string as GBK (code page 936).
// Conversions happen only at the edges (file names on disk, renderers,
// terminals, transcripts); the helpers here know that the second byte of a
// double-byte GBK character may look like an ASCII character.
#pragma once

#include <string>
#include <string_view>

namespace text {

// Conversions. A character that is invalid in the source or has no place in
// the target becomes '?'; they never fail.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);
std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// True when every byte sequence of s is a valid GBK character.
bool IsValidGbk(std::string_view s);

// True when s is well-formed UTF-8 (no overlong forms, surrogates or values
// past U+10FFFF).
bool IsValidUtf8(std::string_view s);

// The two bytes of a double-byte GBK character: a lead byte (0x81 to 0xFE)
// and a trail byte (0x40 to 0xFE but 0x7F).
bool IsLeadByte(char c);
bool IsTrailByte(char c);

// Length in bytes (1 or 2) of the character that starts at byte i.
std::size_t CharLength(std::string_view gbk, std::size_t i);

// True when byte i of s starts a character (is not the trail byte of a
// double-byte character).
bool IsCharStart(std::string_view gbk, std::size_t i);

// Position of the first occurrence of word at or after from that begins a
// character (not inside a double-byte character), or npos.
std::size_t FindAtCharStart(std::string_view gbk, std::string_view word, std::size_t from = 0);
inline bool ContainsAtCharStart(std::string_view gbk, std::string_view word) {
    return FindAtCharStart(gbk, word) != std::string_view::npos;
}

// Position of the last / first real backslash, or npos. A trail byte 0x5C of
// a double-byte character (such as in "表") is not a backslash.
std::size_t FindLastBackslash(std::string_view gbk);
std::size_t FindFirstBackslash(std::string_view gbk);

// Lower-case / upper-case the ASCII letters only; double-byte characters are
// left as they are, so byte positions do not move.
std::string AsciiLower(std::string_view gbk);
std::string AsciiUpper(std::string_view gbk);

// Compare ignoring the case of ASCII letters.
bool EqualsNoCase(std::string_view a, std::string_view b);

// White space as the system understands it: blank, tab, CR, LF, VT, FF.
bool IsWhite(char c);
std::string Trim(std::string_view s);
std::string TrimRight(std::string_view s);
std::string TrimLeft(std::string_view s);

}  // namespace text
