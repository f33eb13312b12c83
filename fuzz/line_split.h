// Lines the way the system's file reader hands them out: split at LF, one CR
// before the LF dropped, a last line without line end kept as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        std::size_t lf = bytes.find('\n');
        if (lf == std::string_view::npos) {
            lines.emplace_back(bytes);
            break;
        }
        std::size_t len = lf > 0 && bytes[lf - 1] == '\r' ? lf - 1 : lf;
        lines.emplace_back(bytes.substr(0, len));
        bytes.remove_prefix(lf + 1);
    }
    return lines;
}

}  // namespace fuzz
