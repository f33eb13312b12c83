#include "tools/setup/course_disc.h"

#include <charconv>

#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

// The keys the installer needs, in the order its readers test them.
enum Key { kCourseId, kCourseName, kTotalCd, kNowCd, kInsteadFile, kExtendName, kDefault, kKeys };
const char* const kKeyNames[kKeys] = {"courseid",    "coursename", "totalcd", "nowcd",
                                      "insteadfile", "extendname", "default"};

std::vector<std::string> SplitLines(const std::string& s) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < s.size()) {
        std::size_t end = s.find('\n', start);
        std::string line =
            s.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

// The leading decimal number of s, with an optional sign; 0 without digits.
int LeadingInt(const std::string& s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9' && n < 1000000; ++i)
        n = n * 10 + (s[i] - '0');
    return static_cast<int>(negative ? -n : n);
}

bool ReadWholeFile(const std::string& winPath, std::string* out) {
    CFile file;
    if (!file.Open(winPath, CFile::modeRead))
        return false;
    out->clear();
    char buf[8192];
    for (;;) {
        std::size_t n = file.Read(buf, sizeof buf);
        if (n == 0)
            break;
        out->append(buf, n);
        if (out->size() > (1u << 20))
            return false;  // no course description is that long
    }
    return true;
}

}  // namespace

std::string CheckCourseId(const std::string& id) {
    if (id.empty())
        return "the course id is empty";
    if (id.size() > 64)
        return "the course id is longer than 64 bytes";
    if (!text::IsValidGbk(id))
        return "the course id is not GBK text";
    if (id == "." || id == "..")
        return "the course id can't name a folder";
    for (std::size_t i = 0; i < id.size(); ++i) {
        unsigned char c = id[i];
        // Only single-byte characters can be separators; GBK trail bytes may
        // look like '\' without being one.
        if (!text::IsCharStart(id, i) || c >= 0x80)
            continue;
        if (c < 0x20 ||
            std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) {
            return "the course id holds a character that can't be in a folder name";
        }
    }
    if (text::Trim(id) != id || id.back() == '.') {
        return "the course id begins or ends with a blank or ends with a dot";
    }
    return "";
}

bool ParseDiscSetupIni(const std::string& content, DiscDescription* disc, std::string* error) {
    *disc = DiscDescription{};
    disc->lines = SplitLines(content);
    std::string values[kKeys];
    for (const std::string& line : disc->lines) {
        for (int k = 0; k < kKeys; ++k) {
            if (line.find(kKeyNames[k]) == std::string::npos)
                continue;
            std::size_t eq = line.find('=');
            if (eq == std::string::npos) {
                *error = std::string("the disc's setup.ini has a line with ") + kKeyNames[k] +
                         " but no \"=\": \"" + text::GbkToUtf8(line) + "\"";
                return false;
            }
            values[k] = text::Trim(std::string_view(line).substr(eq + 1));
        }
    }
    disc->courseId = values[kCourseId];
    disc->courseName = values[kCourseName];
    disc->insteadFile = values[kInsteadFile];
    disc->extendName = values[kExtendName];
    disc->defaultPage = values[kDefault];
    if (std::string why = CheckCourseId(disc->courseId); !why.empty()) {
        *error = "the disc's setup.ini gives no usable courseid: " + why;
        return false;
    }
    const std::string& total = values[kTotalCd];
    int n = 0;
    auto [end, ec] = std::from_chars(total.data(), total.data() + total.size(), n);
    if (total.empty() || ec != std::errc() || end != total.data() + total.size() || n < 1 ||
        n > 99) {
        *error = "the disc's setup.ini gives no totalcd from 1 to 99";
        return false;
    }
    disc->totalCd = n;
    if (disc->courseName.empty()) {
        *error = "the disc's setup.ini gives no coursename";
        return false;
    }
    if (disc->insteadFile.empty() || disc->extendName.empty()) {
        *error = "the disc's setup.ini lacks insteadfile or extendname, which the installer needs";
        return false;
    }
    return true;
}

std::string CourseSetupIni(const DiscDescription& disc) {
    // The installer's first reader stops at the first nowcd line, so it must
    // follow the courseid, coursename and totalcd lines; a disc whose line is
    // misplaced or missing gets one right after them.
    std::ptrdiff_t lastKey = -1, nowCd = -1;
    for (std::size_t i = 0; i < disc.lines.size(); ++i) {
        const std::string& line = disc.lines[i];
        if (line.find("courseid") != std::string::npos ||
            line.find("coursename") != std::string::npos ||
            line.find("totalcd") != std::string::npos) {
            lastKey = static_cast<std::ptrdiff_t>(i);
        } else if (line.find("nowcd") != std::string::npos && nowCd < 0) {
            nowCd = static_cast<std::ptrdiff_t>(i);
        }
    }
    const bool keepPlace = nowCd > lastKey;
    std::string text;
    if (lastKey < 0 && !keepPlace)
        text += "nowcd=1\r\n";
    for (std::size_t i = 0; i < disc.lines.size(); ++i) {
        const std::string& line = disc.lines[i];
        const bool named = line.find("courseid") != std::string::npos ||
                           line.find("coursename") != std::string::npos;
        if (!named && line.find("totalcd") != std::string::npos) {
            text += "totalcd=" + std::to_string(disc.totalCd) + "\r\n";
        } else if (!named && line.find("nowcd") != std::string::npos) {
            if (keepPlace && static_cast<std::ptrdiff_t>(i) == nowCd)
                text += "nowcd=1\r\n";
        } else {
            text += line + "\r\n";
        }
        if (!keepPlace && static_cast<std::ptrdiff_t>(i) == lastKey)
            text += "nowcd=1\r\n";
    }
    return text;
}

int DiscStartChapter(const std::string& itemsVbs) {
    bool named = false;
    for (const std::string& line : SplitLines(itemsVbs)) {
        std::string lower = text::AsciiLower(line);
        if (lower.find("coursename") != std::string::npos) {
            named = true;
        } else if (named && lower.find("startchapter") != std::string::npos) {
            std::size_t eq = line.find('=');
            if (eq == std::string::npos)
                return 0;
            return LeadingInt(text::Trim(std::string_view(line).substr(eq + 1)));
        }
    }
    return 0;
}

bool ReadCourseDisc(const std::string& root, DiscDescription* disc, std::string* error) {
    std::string ini;
    if (!ReadWholeFile(root + "systeminfo\\setup.ini", &ini)) {
        *error = "no course disc in " + text::GbkToUtf8(root) +
                 ": systeminfo\\setup.ini can't be read there";
        return false;
    }
    if (!ParseDiscSetupIni(ini, disc, error))
        return false;
    std::string items;
    if (ReadWholeFile(root + "left\\items.vbs", &items)) {
        int start = DiscStartChapter(items);
        if (start > 1) {
            *error = "the disc in " + text::GbkToUtf8(root) + " starts at chapter " +
                     std::to_string(start) + ": it is not the first CD of the course";
            return false;
        }
    }
    return true;
}
