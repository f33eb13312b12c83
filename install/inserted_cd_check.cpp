#include "install/inserted_cd_check.h"

#include "install/line_text.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

// The text after the first double quote up to, not including, the line's
// last character (the closing quote, when the line ends with it).
std::string QuotedCourseName(const std::string& line) {
    std::size_t open = line.find('"');
    std::size_t start = open == std::string::npos ? 0 : open + 1;
    if (line.empty() || start >= line.size() - 1)
        return "";
    return line.substr(start, line.size() - 1 - start);
}

}  // namespace

bool CheckInsertedCd(const std::string& cdRoot, const std::string& courseName, bool* nameMatched,
                     std::string* cdCourseName) {
    CFile file;
    if (!file.Open(cdRoot + "left\\items.vbs", CFile::modeRead))
        return false;
    *nameMatched = false;
    std::string line;
    while (file.ReadLine(&line)) {
        std::string lower = text::AsciiLower(line);
        if (LineHas(lower, "coursename")) {
            *cdCourseName = QuotedCourseName(lower);
            if (!text::EqualsNoCase(*cdCourseName, courseName))
                return false;
            *nameMatched = true;
        } else if (*nameMatched && LineHas(lower, "startchapter")) {
            std::string value = text::TrimRight(lower);
            std::size_t equals = value.find('=');
            if (equals != std::string::npos)
                value = value.substr(equals + 1);
            return LeadingInteger(value) > 1;
        }
    }
    return false;
}
