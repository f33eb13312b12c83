#include "common/course_record.h"

#include "platform/registry/registry.h"

namespace {

// The record's readers all use this buffer: a value and its terminator must
// fit in it.
constexpr DWORD kRecordBufferBytes = 100;

}  // namespace

std::string CourseRecordKey(const std::string& courseId) {
    return "software\\telvora\\" + courseId;
}

RecordRead ReadRecordValue(const std::string& keyName, std::string* value) {
    value->clear();
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, keyName.c_str(), &key) != ERROR_SUCCESS) {
        return RecordRead::NoKey;
    }
    char buffer[kRecordBufferBytes] = {};
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    LONG rc = RegQueryValueEx(key, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // A number where text belongs would be read as the bytes of the number.
    if (rc != ERROR_SUCCESS || type != REG_SZ) {
        return RecordRead::Unreadable;
    }
    buffer[sizeof buffer - 1] = '\0';
    *value = buffer;
    return RecordRead::Read;
}
