// The texts of the sample course's files, GBK with CR LF line ends, as a
// course authored on the original desktop system has them.
#pragma once

#include <string>

#include "tools/sample-course/sample_course.h"

namespace sample {

// Lines joined with CR LF, each line ended.
std::string JoinLines(std::initializer_list<std::string> lines);

// Title of chapter n (1-based, any n).
std::string ChapterTitle(int n);

// systeminfo\setup.ini: courseid, coursename, version, totalcd, cd1, nowcd,
// insteadfile, extendname, default, in canonical form.
std::string SetupIni(const SampleCourseOptions& o);

// The start page: a frameset with the navigation bar as its first frame.
std::string StartPage(const SampleCourseOptions& o);
// navbar\navbar.htm: a table row whose first cell carries colJslx.
std::string NavbarPage(const SampleCourseOptions& o);
// The two media pages. mediaExt is the value of their extendname line (with
// its dot, or empty).
std::string TvIncludePage(const std::string& mediaExt);
std::string TvOpenPage(const std::string& mediaExt, int firstChapter, int lastChapter);
// navbar\player.js: the script the media pages share.
std::string PlayerScript();

// left\items.vbs with the quoted course name and the first chapter of the CD.
std::string ItemsScript(const SampleCourseOptions& o, int startChapter, int chapterCount);
// left\chapters.htm: the chapter list that runs items.vbs.
std::string ChapterListPage(const SampleCourseOptions& o, int chapterCount);

// Pages of chapter n: its index, section s, and the exercise page.
std::string ChapterIndexPage(int n, int sections);
std::string SectionPage(int n, int section);
std::string ExercisePage(int n);
// content\附录\说明.htm (second CD).
std::string AppendixPage(const SampleCourseOptions& o);

// Folder names of chapter n's pages and of its lecture video (media only).
std::string ChapterFolder(int n);
std::string VideoFolder(int n);
// A relative path with backslashes, as the course's scripts write them.
std::string BackslashPath(const std::string& path);

}  // namespace sample
