// Escaping of values for a URL's query, so that a server decodes back to the
// very bytes that were sent, whatever they are (GBK text, blanks, '&', '=').
#pragma once

#include <string>
#include <string_view>

// Every byte except the unreserved ASCII characters (A-Z a-z 0-9 - _ . ~)
// becomes %XX with upper-case hex digits; "张 三&" -> "%D5%C5%20%C8%FD%26".
std::string EncodeQueryValue(std::string_view bytes);
