#include "common/course_format.h"

#include <algorithm>
#include <climits>
#include <span>

#include "platform/text/number.h"
#include "platform/text/text.h"

namespace {

enum class Key { CourseId, CourseName, TotalCd, NowCd, InsteadFile, ExtendName, Default, Version };

struct KeyRule {
    const char* name;
    Key key;
    const char* missingEqualsMessage;
};

const char kVersionError[] = "setup.ini file version error";
const char kInsteadError[] = "setup.ini file insteadfile error";
const char kLauncherError[] = "ini file version error";

const KeyRule kStartRules[] = {
    {"courseid", Key::CourseId, kVersionError},
    {"coursename", Key::CourseName, kVersionError},
    {"totalcd", Key::TotalCd, kVersionError},
    {"nowcd", Key::NowCd, kVersionError},
};
const KeyRule kWorkerRules[] = {
    {"courseid", Key::CourseId, kVersionError},
    {"coursename", Key::CourseName, kVersionError},
    {"totalcd", Key::TotalCd, kVersionError},
    {"nowcd", Key::NowCd, kVersionError},
    {"insteadfile", Key::InsteadFile, kInsteadError},
    {"extendname", Key::ExtendName, kInsteadError},
    {"default", Key::Default, kInsteadError},
};
const KeyRule kLauncherRules[] = {
    {"version", Key::Version, kLauncherError}, {"courseid", Key::CourseId, kLauncherError},
    {"totalcd", Key::TotalCd, kLauncherError}, {"nowcd", Key::NowCd, kLauncherError},
    {"default", Key::Default, kLauncherError},
};

std::span<const KeyRule> RulesFor(DescriptionVariant variant) {
    switch (variant) {
        case DescriptionVariant::Start:
            return kStartRules;
        case DescriptionVariant::Worker:
            return kWorkerRules;
        case DescriptionVariant::Launcher:
            break;
    }
    return kLauncherRules;
}

std::string* Field(CourseDescription* d, Key key) {
    switch (key) {
        case Key::CourseId:
            return &d->courseId;
        case Key::CourseName:
            return &d->courseName;
        case Key::TotalCd:
            return &d->totalCd;
        case Key::NowCd:
            return &d->nowCd;
        case Key::InsteadFile:
            return &d->insteadFile;
        case Key::ExtendName:
            return &d->extendName;
        case Key::Default:
            return &d->defaultPage;
        case Key::Version:
            break;
    }
    return &d->version;
}

bool Contains(std::string_view line, std::string_view word) {
    return line.find(word) != std::string_view::npos;
}

// The value after a fixed prefix (the key and its "="), as the update
// control's readers take it. A line shorter than the prefix gives "".
std::string AfterPrefix(std::string_view line, std::string_view key) {
    std::string trimmed = text::TrimRight(line);
    const std::size_t prefix = key.size() + 1;
    return trimmed.size() > prefix ? trimmed.substr(prefix) : std::string();
}

// The text after the first double quote up to, not including, the line's
// last character (the closing quote, when the line ends with it).
std::string QuotedCourseName(std::string_view line) {
    std::size_t open = line.find('"');
    std::size_t start = open == std::string_view::npos ? 0 : open + 1;
    if (line.empty() || start >= line.size() - 1)
        return "";
    return std::string(line.substr(start, line.size() - 1 - start));
}

}  // namespace

CDescriptionParser::CDescriptionParser(DescriptionVariant variant, CourseDescription* values)
    : m_variant(variant), m_pValues(values) {}

bool CDescriptionParser::TakeLine(std::string_view line, std::vector<KeyLineProblem>* problems) {
    bool sawNowCd = false;
    for (const KeyRule& rule : RulesFor(m_variant)) {
        if (!Contains(line, rule.name))
            continue;
        std::size_t eq = line.find('=');
        std::string_view raw = line;
        if (eq == std::string_view::npos) {
            problems->push_back({rule.name, rule.missingEqualsMessage});
            m_pValues->keyLineError = true;
        } else {
            raw = line.substr(eq + 1);
        }
        *Field(m_pValues, rule.key) = text::Trim(raw);
        if (rule.key == Key::NowCd) {
            m_pValues->lastCd = IsLastCd(m_pValues->nowCd, m_pValues->totalCd);
            sawNowCd = true;
        }
    }
    return !(sawNowCd && m_variant == DescriptionVariant::Start);
}

std::string InstalledSetupIni(const std::vector<std::string>& discLines, int totalCd) {
    auto isNameKey = [](std::string_view line) {
        return Contains(line, "courseid") || Contains(line, "coursename");
    };
    std::ptrdiff_t lastKey = -1, nowCd = -1;
    for (std::size_t i = 0; i < discLines.size(); ++i) {
        const std::string& line = discLines[i];
        if (isNameKey(line) || Contains(line, "totalcd")) {
            lastKey = static_cast<std::ptrdiff_t>(i);
        } else if (Contains(line, "nowcd") && nowCd < 0) {
            nowCd = static_cast<std::ptrdiff_t>(i);
        }
    }
    const bool keepPlace = nowCd > lastKey;
    std::string text;
    if (lastKey < 0 && !keepPlace)
        text += "nowcd=1\r\n";
    for (std::size_t i = 0; i < discLines.size(); ++i) {
        const std::string& line = discLines[i];
        const bool named = isNameKey(line);
        if (!named && Contains(line, "totalcd")) {
            text += "totalcd=" + std::to_string(totalCd) + "\r\n";
        } else if (!named && Contains(line, "nowcd")) {
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

bool IsLastCd(const std::string& nowCd, const std::string& totalCd) {
    return text::EqualsNoCase(nowCd, totalCd);
}

bool TakeMediaLookupLine(std::string_view line, MediaLookupValues* values) {
    if (Contains(line, "coursename")) {
        values->courseName = AfterPrefix(line, "coursename");
    } else if (Contains(line, "totalcd")) {
        values->totalCd = AfterPrefix(line, "totalcd");
    } else if (Contains(line, "cd1")) {
        values->cd1 = AfterPrefix(line, "cd1");
        return false;
    }
    return true;
}

bool TakeUpdateInfoLine(std::string_view line, UpdateValues* values) {
    if (Contains(line, "coursename"))
        values->courseName = AfterPrefix(line, "coursename");
    if (Contains(line, "default")) {
        values->defaultPage = AfterPrefix(line, "default");
        return false;
    }
    return true;
}

std::optional<std::string> AdvancedNowCdLine(std::string_view line) {
    std::size_t digit = line.find_first_of("0123456789");
    if (digit == std::string_view::npos)
        return std::nullopt;
    std::size_t end = line.find_first_not_of("0123456789", digit);
    std::optional<int> n = WholeNumber(line.substr(digit, end - digit));
    if (!n || *n == INT_MAX)
        return std::nullopt;
    return text::TrimRight(std::string(line.substr(0, digit)) + std::to_string(*n + 1));
}

bool TakeDiscItemsLine(std::string_view line, const std::string* expectedName, DiscItems* items) {
    std::string lower = text::AsciiLower(line);
    if (text::FindAtCharStart(lower, "coursename") != std::string::npos) {
        items->cdCourseName = QuotedCourseName(lower);
        if (expectedName && !text::EqualsNoCase(items->cdCourseName, *expectedName)) {
            items->wrongCourse = true;
            return false;
        }
        items->nameMatched = true;
    } else if (items->nameMatched &&
               text::FindAtCharStart(lower, "startchapter") != std::string::npos) {
        std::string value = text::TrimRight(lower);
        std::size_t equals = value.find('=');
        if (equals != std::string::npos)
            value = value.substr(equals + 1);
        items->hasStartChapter = true;
        items->startChapter = LeadingInteger(value);
        return false;
    }
    return true;
}

int LeadingInteger(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && text::IsWhite(value[i]))
        ++i;
    // A '+' takes no '-' after it: "+-5" has no digits for atoi.
    const bool plus = i < value.size() && value[i] == '+';
    return static_cast<int>(text::ParseDecimal(value.substr(i + (plus ? 1 : 0)), plus ? 0 : INT_MIN,
                                               INT_MAX, text::NumberExtent::kPrefix,
                                               text::OutOfRange::kClamp)
                                .value_or(0));
}

std::optional<int> WholeNumber(std::string_view value) {
    const std::optional<std::int64_t> n = text::ParseDecimal(value, 0, INT_MAX);
    return n ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::string BaseDirOf(const std::string& modulePath) {
    std::size_t last = text::FindLastBackslash(modulePath);
    std::string folder = last == std::string::npos ? std::string() : modulePath.substr(0, last);
    std::size_t parent = text::FindLastBackslash(folder);
    return parent == std::string::npos ? std::string() : folder.substr(0, parent + 1);
}

namespace {

// Characters [pos, pos + 2) of a code, with a leading "0" dropped.
std::string Part(const std::string& code, std::size_t pos) {
    std::string part = pos < code.size() ? code.substr(pos, 2) : std::string();
    if (part.size() == 2 && part[0] == '0')
        part.erase(0, 1);
    return part;
}

}  // namespace

bool IsPackageCode(std::string_view s) {
    return s.size() == 8 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string CodeDateText(const std::string& code) {
    const std::string year = code.substr(0, std::min<std::size_t>(2, code.size()));
    return "20" + year + "年" + Part(code, 2) + "月" + Part(code, 4) + "日第" + Part(code, 6) +
           "次";
}
