// What an <object> element becomes. A current engine hosts no ActiveX
// control: a media player becomes a play box (a button that hands the file
// to the browser's player) and any other control a script that asks the
// bridge for the control where the element stood.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "browser/rewrite/html_scanner.h"
#include "browser/rewrite/text_codec.h"

namespace rewrite {

// The control an <object> start tag names by classid="clsid:GUID" (braces
// and case as they come): the GUID upper-case without braces, or "" when
// there is none.
std::string ObjectClsid(std::string_view page, const CHtmlToken& tag);

// Windows Media Player 6.4 and 7 and later.
bool IsMediaPlayerClsid(std::string_view guid);

// The replacement of an object element: tokens[first] is its start tag,
// tokens[last] its end tag or last parameter; clsid is ObjectClsid's.
std::string ObjectReplacement(std::string_view page, const std::vector<CHtmlToken>& tokens,
                              std::size_t first, std::size_t last, const std::string& clsid,
                              const CPageCharset& charset);

// The play box (UTF-8 id and media path, CSS sizes or ""), ASCII markup.
std::string PlayBox(std::string_view id, std::string_view path, std::string_view width,
                    std::string_view height);

}  // namespace rewrite
