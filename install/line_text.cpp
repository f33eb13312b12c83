#include "install/line_text.h"

#include <climits>

#include "platform/text/text.h"

std::size_t FindInLine(std::string_view line, std::string_view word, std::size_t from) {
    // One pass over the character starts, however many false matches inside
    // double-byte characters the line holds.
    std::size_t start = 0;
    std::size_t pos = line.find(word, from);
    while (pos != std::string_view::npos) {
        while (start < pos)
            start += text::CharLength(line, start);
        if (start == pos)
            return pos;
        pos = line.find(word, pos + 1);
    }
    return pos;
}

int LeadingInteger(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && text::IsWhite(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-'))
        negative = value[i++] == '-';
    long long n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + (value[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        return n > static_cast<long long>(INT_MAX) ? INT_MIN : static_cast<int>(-n);
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}
