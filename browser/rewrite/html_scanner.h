// A tokenizer of HTML over the page's own bytes, close to what a current
// browser's parser sees: tags with their attributes, comments, doctypes,
// text, and the raw content of script, style and the like (script content
// with the parser's escaping rules, so a "</script>" inside "<!-- <script>"
// does not end it). Positions are byte offsets into the page; nothing is
// decoded. GBK trail bytes (0x40 to 0xFE) never equal a byte that shapes a
// tag (< > " ' = / blank), so a double-byte character can't end or split one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rewrite {

struct CHtmlAttribute {
    std::string name;        // ASCII letters lower-cased
    std::size_t begin;       // the attribute's first byte
    std::size_t end;         // past its value (and closing quote)
    std::size_t valueBegin;  // the value's first byte (after an opening quote)
    std::size_t valueEnd;
    char quote;  // '"', '\'', or 0: unquoted or no value
    bool hasValue;
};

enum class ETokenKind {
    kText,
    kStartTag,
    kEndTag,
    kComment,  // comments, doctypes, <?...> and <!...>
    kRawText,  // the content of script, style, textarea, title, ...
};

struct CHtmlToken {
    ETokenKind kind;
    std::size_t begin;
    std::size_t end;
    std::string name;  // tags: ASCII letters lower-cased
    std::vector<CHtmlAttribute> attributes;
    // A tag that ran into the page's end before its '>': the browser drops
    // it, so the rewriter leaves it alone.
    bool complete = true;
};

// The page as tokens that cover it without gaps, in order. Linear in the
// page's length.
std::vector<CHtmlToken> ScanHtml(std::string_view page);

// The first attribute of that (lower-case) name, as the browser takes it, or
// nullptr.
const CHtmlAttribute* FindAttribute(const CHtmlToken& tag, std::string_view name);

// An attribute's raw value bytes (entities not decoded).
inline std::string_view RawValue(std::string_view page, const CHtmlAttribute& a) {
    return page.substr(a.valueBegin, a.valueEnd - a.valueBegin);
}

// ASCII-only case-insensitive comparison of page text from a character's
// start with ASCII words: a lead byte never equals an ASCII byte, so a match
// never takes half of a double-byte character.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace rewrite
