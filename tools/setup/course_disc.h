// What telvora-setup learns from a course's first CD: the course
// description in its systeminfo\setup.ini, and whether the disc is the first
// one of the course.
#pragma once

#include <string>
#include <vector>

struct DiscDescription {
    std::string courseId;    // GBK, trimmed
    std::string courseName;  // GBK, trimmed
    int totalCd = 0;
    std::string insteadFile;
    std::string extendName;
    std::string defaultPage;
    std::vector<std::string> lines;  // the file's lines, without line ends
};

// Reads setup.ini text (GBK) the way the installer does: a line holding a key
// gives the trimmed text after its first "="; a later line wins. False with
// *error (UTF-8, for the terminal) when the installer could not use it: a key
// line without "=", no usable courseid, totalcd not a number from 1 to 99, or
// an empty coursename, insteadfile or extendname.
bool ParseDiscSetupIni(const std::string& text, DiscDescription* disc, std::string* error);

// An empty string when id can name the course folder and the registry key,
// else the reason (UTF-8).
std::string CheckCourseId(const std::string& id);

// The first chapter of the disc from left\items.vbs text, as the installer
// reads it when it checks an inserted disc: the number after "=" on the
// first "startchapter" line after the "coursename" line. 0 when the text
// does not say.
int DiscStartChapter(const std::string& itemsVbs);

// Reads the disc at a drive root ("E:\"). False with *error when its
// setup.ini is missing or unusable, or when it is not the first CD.
bool ReadCourseDisc(const std::string& root, DiscDescription* disc, std::string* error);
