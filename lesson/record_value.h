// Reading one default value of the installed-course record the way the
// launcher reads it: a key under HKEY_CURRENT_USER, its default value into a
// buffer of 100 bytes.
#pragma once

#include <string>

enum class RecordRead {
    Read,        // *value holds the text
    NoKey,       // the key can't be opened
    Unreadable,  // the value can't be read: longer than 99 characters, or not text
};

// Opens HKCU\keyName, reads its default value and closes the key again. On
// anything but Read, *value is empty.
RecordRead ReadRecordValue(const std::string& keyName, std::string* value);
