// The check of a disc inserted when the installer asks for the next CD: it
// must be a CD of this course (the quoted coursename of its left\items.vbs)
// that does not start at the first chapter.
#pragma once

#include <string>

// Reads cdRoot + "left\items.vbs". True for the right CD: its coursename
// equals courseName, ignoring the case of Latin letters, and a later
// startchapter value is above 1. *nameMatched tells whether the name
// matched; *cdCourseName holds the name found (lower-cased). A file that
// can't be opened, another course's name, a start chapter of 1 or less, or
// the end of the file before a decision mean the wrong CD.
bool CheckInsertedCd(const std::string& cdRoot, const std::string& courseName, bool* nameMatched,
                     std::string* cdCourseName);
