#include "install/page_rules.h"

#include "common/program_codes.h"

#include "platform/text/text.h"

// "vbscipt:" is the text the course pages have always carried.
const char kUpdateCell[] =
    "<td width=\"75\"><p><A HREF=\"#\" onClick=\"vbscipt:AutoUpDate()\">内容更新</A></p></td>";

const std::vector<std::string>& UpdateBlockLines() {
    static const std::vector<std::string> lines = {
        "<script language=\"VBScript\">",
        "Sub AutoUpDate()",
        "UpDate.HtmlInfo(top.frames(0).courseID)",
        "on error resume next",
        " UpDate.Download",
        " End sub",
        "</script>",
        std::string("<OBJECT id=\"UpDate\" width=\"0\" height=\"0\" classid=\"clsid:") +
            kUpdateControlClsid + "\" ",
        " CODEBASE=\"corvane.ocx#version=1,0,0,0\">",
        " <PARAM NAME=\"_Version\" VALUE=\"65536\">",
        " <PARAM NAME=\"_ExtentX\" VALUE=\"2646\">",
        "\t<PARAM NAME=\"_ExtentY\" VALUE=\"1323\">",
        " <PARAM NAME=\"_StockProps\" VALUE=\"0\">",
        " </OBJECT>",
    };
    return lines;
}

std::string CNavbarCellInserter::Patch(const std::string& line) {
    if (text::ContainsAtCharStart(line, "colJslx"))
        m_bArmed = true;
    if (!m_bArmed)
        return line;
    std::size_t row = text::FindAtCharStart(line, "</tr>");
    if (row == std::string::npos)
        return line;
    m_bArmed = false;
    return line.substr(0, row) + kUpdateCell + line.substr(row);
}

bool PatchExtendNameLine(std::string* line, const std::string& extendName) {
    // ASCII-only lower-casing keeps byte positions, so they apply to the line.
    std::size_t word = text::FindAtCharStart(text::AsciiLower(*line), "extendname");
    if (word == std::string::npos)
        return true;
    std::size_t open = line->find('"', word);
    if (open == std::string::npos)
        return false;
    std::size_t close = line->find('"', open + 1);
    if (close == std::string::npos)
        return false;
    *line = line->substr(0, open + 1) + "." + extendName + line->substr(close);
    return true;
}

bool ResetStartChapterLine(std::string* line) {
    std::size_t word = text::FindAtCharStart(text::AsciiLower(*line), "startchapter");
    if (word == std::string::npos)
        return true;
    std::size_t equals = line->find('=', word);
    if (equals == std::string::npos)
        return false;
    *line = line->substr(0, equals + 1) + "1";
    return true;
}
