// Text at the tool's edges: command-line arguments arrive as UTF-8 and go to
// the control as automation strings (UTF-16); results come back as UTF-16
// and are printed as JSON in UTF-8.
#pragma once

#include <string>
#include <string_view>

// Strict: false for bytes that are not UTF-8 (overlong forms and encoded
// surrogates included).
bool Utf8ToUtf16(std::string_view utf8, std::u16string* utf16);
// A JSON string literal with its quotes; control characters, quotes and
// backslashes escaped, a lone surrogate written as \uXXXX.
std::string JsonString(std::u16string_view utf16);
