#include "tools/setup/course_disc.h"

#include <optional>

#include "common/course_format.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

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
    disc->lines = SplitTextLines(content);
    // The keys the installer needs, read as its worker reads them.
    CourseDescription values;
    CDescriptionParser parser(DescriptionVariant::Worker, &values);
    std::vector<CDescriptionParser::KeyLineProblem> problems;
    for (const std::string& line : disc->lines) {
        parser.TakeLine(line, &problems);
        if (!problems.empty()) {
            *error = std::string("the disc's setup.ini has a line with ") + problems[0].key +
                     " but no \"=\": \"" + text::GbkToUtf8(line) + "\"";
            return false;
        }
    }
    disc->courseId = values.courseId;
    disc->courseName = values.courseName;
    disc->insteadFile = values.insteadFile;
    disc->extendName = values.extendName;
    disc->defaultPage = values.defaultPage;
    if (std::string why = CheckCourseId(disc->courseId); !why.empty()) {
        *error = "the disc's setup.ini gives no usable courseid: " + why;
        return false;
    }
    std::optional<int> total = WholeNumber(values.totalCd);
    if (!total || *total < 1 || *total > 99) {
        *error = "the disc's setup.ini gives no totalcd from 1 to 99";
        return false;
    }
    disc->totalCd = *total;
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

int DiscStartChapter(const std::string& itemsVbs) {
    DiscItems items;
    for (const std::string& line : SplitTextLines(itemsVbs)) {
        if (!TakeDiscItemsLine(line, nullptr, &items))
            break;
    }
    return items.hasStartChapter ? items.startChapter : 0;
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
