// The course description file setup.ini and the installed-course record in
// the registry, as the programs read them: the file readers feed the rules of
// course_format.h and react as each program does (message boxes, quit
// requests, the end of the calling thread). Shared by the installer, the
// launcher and the update control.
#pragma once

#include <string>

#include "common/course_format.h"
#include "platform/ui/ui.h"

// Reads setup.ini at path (a Windows path) and returns the courseid value.
// When the file can't be opened the installer variants show
// "找不到setup.ini文件", post WM_QUIT to notifyWnd and end the calling thread
// with code 1008; the launcher variant shows ".ini file can't find", posts
// WM_QUIT to notifyWnd and returns with *opened false. A key line without
// "=" shows the variant's message; the start variant then requests quit 1009.
std::string ReadCourseDescription(const std::string& path, DescriptionVariant variant,
                                  CourseDescription* values, HWND notifyWnd,
                                  bool* opened = nullptr);

// The update control's fixed-prefix readers over a file (course_format.h
// tells the rules). The media lookup opens the file without sharing; both
// return false when it can't be opened.
bool ReadMediaLookupValues(const std::string& path, MediaLookupValues* values);
bool ReadUpdateValues(const std::string& path, UpdateValues* values);

// Raises the nowcd line of setup.ini to the next CD number (nowcd=1 becomes
// nowcd=2); every other line is kept. The new text is written to a scratch
// file beside it which then replaces setup.ini, so the description is never
// lost half-way; a read-only setup.ini is replaced too. False when the file
// can't be read or replaced, or when its nowcd number has no next number
// (ERROR_INVALID_PARAMETER); the file is then unchanged.
bool AdvanceCdCounter(const std::string& path);
