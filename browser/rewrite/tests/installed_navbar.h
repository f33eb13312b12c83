// The sample course's navigation page as the installer leaves it on the
// last CD: the update cell in its row, the update script and the control's
// object after its last line.
#pragma once

#include <string>

#include "install/page_rules.h"
#include "tools/sample-course/course_texts.h"

inline std::string InstalledNavbarPage() {
    std::string page = sample::NavbarPage(SampleCourseOptions()), out;
    CNavbarCellInserter cell;
    for (size_t at = 0; at < page.size();) {
        size_t end = page.find("\r\n", at);
        out += cell.Patch(page.substr(at, end - at)) + "\r\n";
        at = end + 2;
    }
    for (const std::string& line : UpdateBlockLines())
        out += line + "\r\n";
    return out;
}
