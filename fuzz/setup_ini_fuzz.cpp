// setup.ini as the three programs read it: the course description in each
// reader variant, the update control's two fixed-prefix readers and the CD
// counter that rewrites the file; first as lines through the pure readers of
// common/course_format.h, then as a file through the programs' readers,
// which must agree with them. Also the number rules those readers use.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/course_description.h"
#include "common/course_format.h"
#include "fuzz/fuzz_env.h"
#include "platform/text/text.h"

namespace {

// Every value a reader gives back is a piece of one line of the file.
bool IsFromInput(std::string_view input, const std::string& value) {
    return input.find(value) != std::string_view::npos;
}

// The lines as the pure parser reads them, with the properties each line
// must keep. Gives back what the parser read.
CourseDescription ParseDescription(std::string_view input, const std::vector<std::string>& lines,
                                   DescriptionVariant variant) {
    CourseDescription d;
    CDescriptionParser parser(variant, &d);
    bool errorSeen = false;
    for (const std::string& line : lines) {
        std::vector<CDescriptionParser::KeyLineProblem> problems;
        const std::string nowCdBefore = d.nowCd;
        const bool more = parser.TakeLine(line, &problems);
        for (const auto& problem : problems) {
            // Only a key the line holds, on a line without "=".
            FUZZ_CHECK(line.find(problem.key) != std::string::npos);
            FUZZ_CHECK(line.find('=') == std::string::npos);
            FUZZ_CHECK(problem.message && *problem.message);
        }
        errorSeen = errorSeen || !problems.empty();
        FUZZ_CHECK(d.keyLineError == errorSeen);
        if (line.find("nowcd") != std::string::npos)
            FUZZ_CHECK(d.lastCd == IsLastCd(d.nowCd, d.totalCd));
        else
            FUZZ_CHECK(d.nowCd == nowCdBefore);
        // Only the start variant stops, and only at a nowcd line.
        FUZZ_CHECK(more || (variant == DescriptionVariant::Start &&
                            line.find("nowcd") != std::string::npos));
        if (!more)
            break;
    }
    for (const std::string* value : {&d.courseId, &d.courseName, &d.totalCd, &d.nowCd,
                                     &d.insteadFile, &d.extendName, &d.defaultPage, &d.version}) {
        FUZZ_CHECK(text::Trim(*value) == *value);
        FUZZ_CHECK(IsFromInput(input, *value));
    }
    return d;
}

bool SameDescription(const CourseDescription& a, const CourseDescription& b) {
    return a.courseId == b.courseId && a.courseName == b.courseName && a.totalCd == b.totalCd &&
           a.nowCd == b.nowCd && a.lastCd == b.lastCd && a.insteadFile == b.insteadFile &&
           a.extendName == b.extendName && a.defaultPage == b.defaultPage &&
           a.version == b.version && a.keyLineError == b.keyLineError;
}

// The file reader reads the same lines as the pure one (CFile's line reading
// and SplitTextLines agree) and keeps the same values.
void CheckDescription(const CourseDescription& expected, const std::string& win,
                      DescriptionVariant variant) {
    CourseDescription d;
    bool opened = false;
    std::string courseId = ReadCourseDescription(win, variant, &d, nullptr, &opened);
    FUZZ_CHECK(opened);
    FUZZ_CHECK(courseId == d.courseId);
    FUZZ_CHECK(SameDescription(d, expected));
    // The start variant asks to quit after a key line without "=".
    fuzz::DrainMessages();
}

// The C library's reading of a leading number, held to the range of int.
int LibraryLeadingInteger(std::string_view value) {
    const std::string copy(value);
    const long long n = std::strtoll(copy.c_str(), nullptr, 10);
    return n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
}

void CheckNumbers(std::string_view line) {
    FUZZ_CHECK(LeadingInteger(line) == LibraryLeadingInteger(line));

    const std::optional<int> whole = WholeNumber(line);
    const bool digitsOnly =
        !line.empty() && line.find_first_not_of("0123456789") == std::string_view::npos;
    FUZZ_CHECK(!whole || digitsOnly);
    if (digitsOnly) {
        // Nothing only when the number is above INT_MAX.
        std::string_view significant =
            line.substr(std::min(line.find_first_not_of('0'), line.size()));
        const bool fits =
            significant.size() < 10 || (significant.size() == 10 && significant <= "2147483647");
        FUZZ_CHECK(whole.has_value() == fits);
        if (whole)
            FUZZ_CHECK(std::to_string(*whole) == (significant.empty() ? "0" : significant));
    }

    // The counter: the same text before the first digit, then the number
    // after the one found there, without leading zeros.
    const std::optional<std::string> advanced = AdvancedNowCdLine(line);
    const std::size_t digit = line.find_first_of("0123456789");
    if (!advanced) {
        if (digit == std::string_view::npos)
            return;
        const std::size_t end = line.find_first_not_of("0123456789", digit);
        const std::optional<int> n = WholeNumber(line.substr(digit, end - digit));
        FUZZ_CHECK(!n || *n == INT_MAX);
        return;
    }
    FUZZ_CHECK(digit != std::string_view::npos);
    FUZZ_CHECK(advanced->compare(0, digit, line, 0, digit) == 0);
    const std::string number = advanced->substr(digit);
    FUZZ_CHECK(!number.empty() && number[0] != '0');
    const std::size_t end = line.find_first_not_of("0123456789", digit);
    const std::optional<int> before = WholeNumber(line.substr(digit, end - digit));
    const std::optional<int> after = WholeNumber(number);
    FUZZ_CHECK(before && after && *after == *before + 1);
}

void CheckLines(std::string_view input, const std::vector<std::string>& lines) {
    // The lines put back together are the input: each ends at a LF, a CR
    // right before that LF dropped, and only the last may end without one.
    std::size_t at = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        FUZZ_CHECK(line.find('\n') == std::string::npos);
        FUZZ_CHECK(input.compare(at, line.size(), line) == 0);
        at += line.size();
        bool crDropped = false;
        if (at + 1 < input.size() && input[at] == '\r' && input[at + 1] == '\n') {
            ++at;
            crDropped = true;
        }
        if (at == input.size()) {
            FUZZ_CHECK(i + 1 == lines.size());
        } else {
            FUZZ_CHECK(input[at] == '\n');
            FUZZ_CHECK(crDropped || line.empty() || line.back() != '\r');
        }
        ++at;
    }
    FUZZ_CHECK(at >= input.size());
}

void CheckBaseDir(std::string_view input) {
    const std::string base = BaseDirOf(std::string(input));
    if (base.empty())
        return;
    FUZZ_CHECK(input.substr(0, base.size()) == base);
    FUZZ_CHECK(text::FindLastBackslash(base) == base.size() - 1);
    // A program two folders below it finds it again.
    FUZZ_CHECK(BaseDirOf(base + "bin\\lesson.exe") == base);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string ini = fuzz::ScratchDir() + "/course/setup.ini";
    const std::string win = fuzz::WindowsPath(ini);
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitTextLines(input);
    CheckLines(input, lines);
    CheckBaseDir(input);
    for (const std::string& line : lines)
        CheckNumbers(line);

    fuzz::WriteBytes(ini, input);
    for (DescriptionVariant variant :
         {DescriptionVariant::Start, DescriptionVariant::Worker, DescriptionVariant::Launcher})
        CheckDescription(ParseDescription(input, lines, variant), win, variant);

    MediaLookupValues expectedMedia;
    for (const std::string& line : lines)
        if (!TakeMediaLookupLine(line, &expectedMedia))
            break;
    MediaLookupValues media;
    FUZZ_CHECK(ReadMediaLookupValues(win, &media));
    FUZZ_CHECK(media.courseName == expectedMedia.courseName &&
               media.totalCd == expectedMedia.totalCd && media.cd1 == expectedMedia.cd1);
    FUZZ_CHECK(IsFromInput(input, media.courseName));
    FUZZ_CHECK(IsFromInput(input, media.totalCd));
    FUZZ_CHECK(IsFromInput(input, media.cd1));

    UpdateValues expectedUpdate;
    for (const std::string& line : lines)
        if (!TakeUpdateInfoLine(line, &expectedUpdate))
            break;
    UpdateValues update;
    FUZZ_CHECK(ReadUpdateValues(win, &update));
    FUZZ_CHECK(update.courseName == expectedUpdate.courseName &&
               update.defaultPage == expectedUpdate.defaultPage);
    FUZZ_CHECK(IsFromInput(input, update.courseName));
    FUZZ_CHECK(IsFromInput(input, update.defaultPage));

    // The counter keeps every line but the nowcd ones as it was, and leaves
    // setup.ini in place with no scratch file beside it. It refuses only a
    // nowcd number that has no next one, and then changes nothing.
    std::vector<std::string> before = SplitTextLines(input);
    bool advanceable = true;
    for (const std::string& line : before) {
        if (line.find("nowcd") != std::string::npos && !AdvancedNowCdLine(line) &&
            line.find_first_of("0123456789") != std::string::npos)
            advanceable = false;
    }
    FUZZ_CHECK(AdvanceCdCounter(win) == advanceable);
    std::string after;
    FUZZ_CHECK(fuzz::ReadBytes(ini, &after));
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(ini).parent_path()))
        FUZZ_CHECK(entry.path() == ini);  // no scratch file beside it
    if (!advanceable)
        FUZZ_CHECK(after == input);
    std::vector<std::string> now = SplitTextLines(after);
    FUZZ_CHECK(before.size() == now.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i].find("nowcd") == std::string::npos)
            FUZZ_CHECK(before[i] == now[i]);
    fuzz::DrainMessages();
    return 0;
}
