// The installed-course record in the registry: HKCU\software\telvora\<id>
// holds the installed version as its default value, its subkey 1 the
// course folder. Every program reads a value the same way: the key opened,
// the default value read into a buffer of 100 bytes, the key closed again.
// What a failure means is each caller's own.
#pragma once

#include <string>

// The record's key: "software\telvora\" + courseId.
std::string CourseRecordKey(const std::string& courseId);

enum class RecordRead {
    Read,        // *value holds the text
    NoKey,       // the key can't be opened
    Unreadable,  // the value can't be read: longer than 99 characters, or not text
};

// Opens HKCU\keyName, reads its default value and closes the key again. On
// anything but Read, *value is empty.
RecordRead ReadRecordValue(const std::string& keyName, std::string* value);
