// The JSON the automation host reads: one request a line from the course
// browser. A small reader of whole values (objects, arrays, strings, numbers,
// true, false, null), strict and bounded in depth, so that no line can make
// it misbehave.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CJsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;  // a string's value, UTF-8; a number's text as written
    std::vector<CJsonValue> items;
    std::map<std::string, CJsonValue> members;

    // A member, or null when this is no object or has no such member.
    const CJsonValue* Find(const std::string& name) const;
};

// Reads one whole value (blanks around it allowed); nothing, with *error
// saying why, when the text is not JSON.
std::optional<CJsonValue> ParseJson(std::string_view text, std::string* error);
