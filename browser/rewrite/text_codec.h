// Character sets and escapes of the page rewriter. The page keeps its own
// bytes; only what goes to the translator is converted to UTF-8, and what
// the rewriter writes into the page is ASCII (numeric escapes for the rest),
// so it reads the same whatever charset the page is in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "browser/rewrite/html_scanner.h"

namespace rewrite {

struct CPageCharset {
    bool utf8 = false;  // else GBK, the courses' charset
    // The charset to name in the page's Content-Type: the page's own label
    // when it declares one, else "GBK" (or "UTF-8" after a UTF-8 BOM).
    std::string label = "GBK";
};

// From a UTF-8 byte order mark, else the first <meta> that names a charset.
CPageCharset DetectCharset(std::string_view page, const std::vector<CHtmlToken>& tokens);

// Page text (GBK or UTF-8) as UTF-8; what GBK can't hold becomes '?'.
std::string ToUtf8(std::string_view bytes, const CPageCharset& charset);

// Character references of an attribute value (UTF-8), as the browser reads
// them: numeric ones and the common named ones.
std::string DecodeEntities(std::string_view utf8);

// ASCII text as a double-quoted attribute's content.
std::string EscapeAttribute(std::string_view ascii);

// UTF-8 text as HTML text in ASCII (&#N; for the rest).
std::string HtmlText(std::string_view utf8);

// UTF-8 text as a double-quoted JavaScript string literal in ASCII, safe
// inside a <script> element and an attribute.
std::string JsString(std::string_view utf8);

}  // namespace rewrite
