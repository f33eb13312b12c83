// The course's text formats as the system reads and writes them: setup.ini
// (lines "key=value" found by substring search, there is no INI parser), the
// disc marks of left\items.vbs and the CD counter. Pure functions over lines:
// no files, no messages, no quits. The programs' readers
// (course_description.h) feed them lines and react to what they report.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Values the setup.ini readers fill. A key that never matches keeps the value
// the structure held before, so one structure lives as long as the program's
// own copies of these values.
struct CourseDescription {
    std::string courseId;
    std::string courseName;
    std::string totalCd;
    std::string nowCd;
    bool lastCd = false;  // nowcd equals totalcd, ignoring letter case
    std::string insteadFile;
    std::string extendName;
    std::string defaultPage;  // the "default" key
    std::string version;
    // Set when a key line had no "=".
    bool keyLineError = false;
};

enum class DescriptionVariant {
    Start,     // installer main dialog: courseid, coursename, totalcd, nowcd; stops at nowcd
    Worker,    // installer worker: those plus insteadfile, extendname, default
    Launcher,  // launcher: version, courseid, totalcd, nowcd, default
};

// Reads setup.ini line by line as one variant does: every key of the variant
// is tested on every line, in the variant's order; the value is the text
// after the line's first "=", trimmed; a later line wins.
class CDescriptionParser {
public:
    CDescriptionParser(DescriptionVariant variant, CourseDescription* values);

    // A key found in a line without "=": the key and the variant's message.
    struct KeyLineProblem {
        const char* key;
        const char* message;
    };
    // Takes one line (without its line end). A key found in a line without
    // "=" takes the whole trimmed line as its value and is appended to
    // *problems. Returns false once the variant reads no further (the start
    // variant stops after its first nowcd line).
    bool TakeLine(std::string_view line, std::vector<KeyLineProblem>* problems);

private:
    DescriptionVariant m_variant;
    CourseDescription* m_pValues;
};

// The installed course's setup.ini, composed from the first disc's lines
// (without line ends): every line kept with CR LF, the totalcd line written
// as "totalcd=N", and one "nowcd=1" line. The start reader stops at the
// first nowcd line, so that line must follow the courseid, coursename and
// totalcd lines: a disc's nowcd line in that place keeps it, else the line
// goes right after them (first, when the disc has none of them).
std::string InstalledSetupIni(const std::vector<std::string>& discLines, int totalCd);

// The last-CD test: the nowcd text equals the totalcd text, ignoring case.
bool IsLastCd(const std::string& nowCd, const std::string& totalCd);

// The update control's two fixed-prefix readers: a value is the line with
// trailing white space removed, minus the key and its "=" (canonical form
// only; a line shorter than that gives "").
struct MediaLookupValues {
    std::string courseName;
    std::string totalCd;
    std::string cd1;
};
// Media lookup: per line the first of coursename, totalcd, cd1 found is
// taken. Returns false after the cd1 line (reading stops there).
bool TakeMediaLookupLine(std::string_view line, MediaLookupValues* values);

struct UpdateValues {
    std::string courseName;
    std::string defaultPage;
};
// Course info for an update: per line coursename and then default are
// tested. Returns false after the default line (reading stops there).
bool TakeUpdateInfoLine(std::string_view line, UpdateValues* values);

// The CD counter: the nowcd line with its number raised by one (the text
// before its first digit, then the new number, trailing white space removed:
// nowcd=1 becomes nowcd=2). Nothing when the line has no digit or its number
// has no successor an int can hold.
std::optional<std::string> AdvancedNowCdLine(std::string_view line);

// What a disc's left\items.vbs says, read line by line as the installer
// checks an inserted disc: lines are compared in lower case; a coursename
// line gives the quoted name (the text after the first double quote up to,
// not including, the line's last character); the first startchapter line
// after a matching name decides.
struct DiscItems {
    bool nameMatched = false;
    std::string cdCourseName;  // lower case, as read
    bool wrongCourse = false;  // a coursename differed from the expected one
    bool hasStartChapter = false;
    int startChapter = 0;  // the leading integer after the line's "="
};
// expectedName null accepts any course name. Returns false once decided
// (another course's name, or the start chapter read).
bool TakeDiscItemsLine(std::string_view line, const std::string* expectedName, DiscItems* items);

// The leading decimal number of a value as the C library's atoi reads it
// (leading white space and a sign allowed; no digits is 0), held to the
// range of int instead of overflowing.
int LeadingInteger(std::string_view value);
// A value that is nothing but decimal digits and fits an int, or nothing.
std::optional<int> WholeNumber(std::string_view value);

// Lines of a text as CFile::ReadLine gives them: split at LF, a CR before
// the LF dropped; the last line may lack a line end.
std::vector<std::string> SplitTextLines(std::string_view text);

// The folder whose setup.ini a program reads: the parent of the folder that
// holds the program file, with its trailing backslash (C:\A\B\install.exe
// gives C:\A\); empty when there is no such folder.
std::string BaseDirOf(const std::string& modulePath);

// True when s is an update package's code: exactly eight ASCII digits
// (YYMMDDNN).
bool IsPackageCode(std::string_view s);

// An update package's code YYMMDDNN as the update notes show it: 03052301
// gives "2003年5月23日第1次" (a leading zero of month, day and ordinal
// dropped). A code shorter than 8 characters gives what there is of each
// part.
std::string CodeDateText(const std::string& code);
