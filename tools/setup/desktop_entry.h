// The text of a course's desktop entry (freedesktop.org Desktop Entry
// format), which puts the installed course into the desktop's menu. Pure
// functions: writing and removing the file is course_menu_entry.h's.
#pragma once

#include <string>
#include <vector>

// What the entry says. Every text is UTF-8 (desktop files are UTF-8).
struct DesktopEntryFields {
    std::string name;                  // the course's title
    std::string comment;               // a line under the title
    std::vector<std::string> command;  // the program and its arguments, unquoted
    std::string tryExec;               // the menu hides the entry once this is gone
    std::string icon;                  // an icon name or an absolute file path
    std::string courseId;              // recorded for the uninstaller
    std::string courseFolder;          // recorded for the uninstaller
};

// The marks the uninstaller reads back.
constexpr char kEntryCourseIdKey[] = "X-Telvora-CourseId";
constexpr char kEntryCourseFolderKey[] = "X-Telvora-Folder";

// A value of type string or localestring with the format's escapes
// (backslash, newline, tab, carriage return; a leading blank as \s). Other
// control characters can't be held by a value and become blanks.
std::string EscapeDesktopValue(const std::string& utf8);

// One argument of Exec: as it is when it holds no reserved character, else in
// double quotes with ", `, $ and \ escaped by a backslash; % is doubled either
// way (a lone % would be a field code). False for an argument the key can't
// carry (empty, or holding a control character).
bool QuoteExecArgument(const std::string& utf8, std::string* quoted);

// The whole entry's text; false with *error (UTF-8) when a field is not valid
// UTF-8 or the command can't be written.
bool ComposeDesktopEntry(const DesktopEntryFields& fields, std::string* text, std::string* error);

// Reads the value of a key of the [Desktop Entry] group back, with the
// value escapes undone; false when the group or the key is missing.
bool ReadDesktopEntryValue(const std::string& text, const std::string& key, std::string* value);

// The entry's file name for a course id (UTF-8): "telvora-<id>.desktop".
std::string DesktopEntryFileName(const std::string& courseIdUtf8);
