// Percent escapes and query strings of the update protocol. The update
// control escapes every byte of a query value but A-Z a-z 0-9 - _ . ~ as
// %XX; older clients send the GBK bytes as they are. Both arrive here as
// bytes and leave as the same GBK bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Replaces each %XX (two hexadecimal digits) by its byte. A '%' that does not
// start such an escape is kept as it is, so a value an older client sent
// unescaped ("50%") survives. '+' stays '+': the update control escapes a
// blank as %20, and a raw '+' in an old client's user name means '+'.
std::string PercentDecode(std::string_view raw);

// Escapes every byte but A-Z a-z 0-9 - _ ~ as %XX (upper-case digits). The
// dot is escaped too, so an escaped name never reads as "..", nor holds the
// ".rar" that the update control looks for in a list field.
std::string PercentEncodeName(std::string_view bytes);

// The same with the dot kept, for a name in a path that a web server in
// front maps to a file (nginx's X-Accel-Redirect): the name is one checked
// course name, never "." or "..".
std::string PercentEncodePathName(std::string_view bytes);

// The decoded value of the first parameter called name (ASCII letters of the
// name compared without case) in a raw query string "a=1&b=2"; nullopt when
// the query has no such parameter. A parameter without '=' has an empty
// value.
std::optional<std::string> QueryValue(std::string_view rawQuery, std::string_view name);

// Bytes as lower-case hexadecimal text (salts, hashes, scratch names).
std::string ToHex(std::string_view bytes);
