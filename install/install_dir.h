// The folder the course was installed into, as the installer reads it from
// the course record.
#pragma once

#include <string>

// The installed course folder from HKCU\software\telvora\<courseId>\1.
// On failure shows "读注册表失败" (key missing) or "write register error"
// (value unreadable: longer than 99 characters, or not text), requests quit
// 1009 and returns false with an empty *installDir.
bool ReadInstallDir(const std::string& courseId, std::string* installDir);
