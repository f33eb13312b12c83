// The course description file setup.ini: a short GBK text file of lines
// "key=value" read by substring search (there is no INI parser), and the
// installed-course record in the registry. Shared by the installer, the
// launcher and the update control.
#pragma once

#include <string>

#include "platform/ui/ui.h"

// Values the readers fill. A key that never matches keeps the value the
// structure held before the call, so one structure lives as long as the
// program's own copies of these values.
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
    // Set when a key line had no "=" (its message has been shown).
    bool keyLineError = false;
};

enum class DescriptionVariant {
    Start,     // installer main dialog: courseid, coursename, totalcd, nowcd; stops at nowcd
    Worker,    // installer worker: those plus insteadfile, extendname, default
    Launcher,  // launcher: version, courseid, totalcd, nowcd, default
};

// Reads setup.ini at path (a Windows path) and returns the courseid value.
// When the file can't be opened the installer variants show
// "找不到setup.ini文件", post WM_QUIT to notifyWnd and end the calling thread
// with code 1008; the launcher variant shows ".ini file can't find", posts
// WM_QUIT to notifyWnd and returns with *opened false. A key line without
// "=" shows the variant's message; the start variant then requests quit 1009.
std::string ReadCourseDescription(const std::string& path, DescriptionVariant variant,
                                  CourseDescription* values, HWND notifyWnd,
                                  bool* opened = nullptr);

// The last-CD test: the nowcd text equals the totalcd text, ignoring case.
bool IsLastCd(const std::string& nowCd, const std::string& totalCd);

// The update control's fixed-prefix readers: values are the line with
// trailing white space removed, minus the key and its "=" (canonical form
// only).
struct MediaLookupValues {
    std::string courseName;
    std::string totalCd;
    std::string cd1;
};
// Per line the first of coursename, totalcd, cd1 found is taken; reading
// stops after the cd1 line. The file is opened without sharing; false when
// it can't be opened.
bool ReadMediaLookupValues(const std::string& path, MediaLookupValues* values);

struct UpdateValues {
    std::string courseName;
    std::string defaultPage;
};
// Per line coursename and then default are tested; reading stops after the
// default line. False when the file can't be opened.
bool ReadUpdateValues(const std::string& path, UpdateValues* values);

// Raises the nowcd line of setup.ini to the next CD number (nowcd=1 becomes
// nowcd=2); every other line is kept. The new text is written to a scratch
// file beside it which then replaces setup.ini, so the description is never
// lost half-way; a read-only setup.ini is replaced too. False when the file
// can't be read or replaced (it is then unchanged).
bool AdvanceCdCounter(const std::string& path);

// The installed course folder from HKCU\software\telvora\<courseId>\1.
// On failure shows "读注册表失败" (key missing) or "write register error"
// (value unreadable, or longer than 99 characters), requests quit 1009 and
// returns false with an empty *installDir.
bool ReadInstallDir(const std::string& courseId, std::string* installDir);

// The registry record's key: "software\telvora\" + courseId.
std::string CourseRecordKey(const std::string& courseId);
