// The line rules of the course page patching, apart from any file: the
// update cell and the script-and-object block of the navigation page, the
// media extension of the media pages and the start chapter of the chapter
// list. Lines are GBK text without their line end.
#pragma once

#include <string>
#include <vector>

// The navigation cell with the "内容更新" (content update) command.
extern const char kUpdateCell[];
// The fourteen lines that follow the navigation page's last line: the
// AutoUpDate script and the update control's object tag.
const std::vector<std::string>& UpdateBlockLines();

// Inserts the update cell into navigation-page lines. A line holding
// "colJslx" (exact case) arms the insertion; the first line from there on
// that holds "</tr>" gets the cell before its first "</tr>" and disarms it.
class CNavbarCellInserter {
public:
    std::string Patch(const std::string& line);

private:
    bool m_bArmed = false;
};

// Writes ".<extendName>" as the quoted value that follows the first
// "extendname" (any letter case) of the line. A line without the word is
// left alone; false when fewer than two double quotes follow the word.
bool PatchExtendNameLine(std::string* line, const std::string& extendName);

// Makes a line holding "startchapter" (any letter case) end in "=1" after
// the first "=" that follows the word, dropping the rest. A line without
// the word is left alone; false when no "=" follows it.
bool ResetStartChapterLine(std::string* line);
