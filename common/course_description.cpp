#include "common/course_description.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "platform/thread/thread.h"

namespace {

enum class Key { CourseId, CourseName, TotalCd, NowCd, InsteadFile, ExtendName, Default, Version };

struct KeyRule {
    const char* name;
    Key key;
    const char* missingEqualsMessage;
};

const char kVersionError[] = "setup.ini file version error";
const char kInsteadError[] = "setup.ini file insteadfile error";
const char kLauncherError[] = "ini file version error";

const std::vector<KeyRule>& RulesFor(DescriptionVariant variant) {
    static const std::vector<KeyRule> start = {
        {"courseid", Key::CourseId, kVersionError},
        {"coursename", Key::CourseName, kVersionError},
        {"totalcd", Key::TotalCd, kVersionError},
        {"nowcd", Key::NowCd, kVersionError},
    };
    static const std::vector<KeyRule> worker = {
        {"courseid", Key::CourseId, kVersionError},
        {"coursename", Key::CourseName, kVersionError},
        {"totalcd", Key::TotalCd, kVersionError},
        {"nowcd", Key::NowCd, kVersionError},
        {"insteadfile", Key::InsteadFile, kInsteadError},
        {"extendname", Key::ExtendName, kInsteadError},
        {"default", Key::Default, kInsteadError},
    };
    static const std::vector<KeyRule> launcher = {
        {"version", Key::Version, kLauncherError}, {"courseid", Key::CourseId, kLauncherError},
        {"totalcd", Key::TotalCd, kLauncherError}, {"nowcd", Key::NowCd, kLauncherError},
        {"default", Key::Default, kLauncherError},
    };
    switch (variant) {
        case DescriptionVariant::Start:
            return start;
        case DescriptionVariant::Worker:
            return worker;
        case DescriptionVariant::Launcher:
            break;
    }
    return launcher;
}

std::string* Field(CourseDescription* d, Key key) {
    switch (key) {
        case Key::CourseId:
            return &d->courseId;
        case Key::CourseName:
            return &d->courseName;
        case Key::TotalCd:
            return &d->totalCd;
        case Key::NowCd:
            return &d->nowCd;
        case Key::InsteadFile:
            return &d->insteadFile;
        case Key::ExtendName:
            return &d->extendName;
        case Key::Default:
            return &d->defaultPage;
        case Key::Version:
            break;
    }
    return &d->version;
}

bool Contains(const std::string& line, const char* word) {
    return line.find(word) != std::string::npos;
}

// The value after the first "=", cut to the key's prefix length, as the
// update control's readers take it. A line shorter than the prefix gives "".
std::string AfterPrefix(const std::string& line, std::size_t prefixLength) {
    std::string trimmed = text::TrimRight(line);
    return trimmed.size() > prefixLength ? trimmed.substr(prefixLength) : std::string();
}

}  // namespace

bool IsLastCd(const std::string& nowCd, const std::string& totalCd) {
    return text::EqualsNoCase(nowCd, totalCd);
}

std::string ReadCourseDescription(const std::string& path, DescriptionVariant variant,
                                  CourseDescription* values, HWND notifyWnd, bool* opened) {
    CFile file;
    if (!file.Open(path, CFile::modeRead)) {
        if (opened)
            *opened = false;
        if (variant == DescriptionVariant::Launcher) {
            AfxMessageBox(".ini file can't find");
            PostMessage(notifyWnd, WM_QUIT, 0, 0);
            return values->courseId;
        }
        AfxMessageBox("找不到setup.ini文件");
        PostMessage(notifyWnd, WM_QUIT, 0, 0);
        ExitThread(1008);
    }
    if (opened)
        *opened = true;

    const std::vector<KeyRule>& rules = RulesFor(variant);
    std::string line;
    while (file.ReadLine(&line)) {
        bool sawNowCd = false;
        for (const KeyRule& rule : rules) {
            if (!Contains(line, rule.name))
                continue;
            std::size_t eq = line.find('=');
            std::string raw;
            if (eq == std::string::npos) {
                AfxMessageBox(rule.missingEqualsMessage);
                values->keyLineError = true;
                if (variant == DescriptionVariant::Start)
                    PostQuitMessage(1009);
                raw = line;
            } else {
                raw = line.substr(eq + 1);
            }
            *Field(values, rule.key) = text::Trim(raw);
            if (rule.key == Key::NowCd) {
                values->lastCd = IsLastCd(values->nowCd, values->totalCd);
                sawNowCd = true;
            }
        }
        if (sawNowCd && variant == DescriptionVariant::Start)
            break;
    }
    return values->courseId;
}

bool ReadMediaLookupValues(const std::string& path, MediaLookupValues* values) {
    CFile file;
    if (!file.Open(path, CFile::modeReadExclusive))
        return false;
    std::string line;
    while (file.ReadLine(&line)) {
        if (Contains(line, "coursename")) {
            values->courseName = AfterPrefix(line, std::strlen("coursename="));
        } else if (Contains(line, "totalcd")) {
            values->totalCd = AfterPrefix(line, std::strlen("totalcd="));
        } else if (Contains(line, "cd1")) {
            values->cd1 = AfterPrefix(line, std::strlen("cd1="));
            break;
        }
    }
    return true;
}

bool ReadUpdateValues(const std::string& path, UpdateValues* values) {
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return false;
    std::string line;
    while (file.ReadLine(&line)) {
        if (Contains(line, "coursename"))
            values->courseName = AfterPrefix(line, std::strlen("coursename="));
        if (Contains(line, "default")) {
            values->defaultPage = AfterPrefix(line, std::strlen("default="));
            break;
        }
    }
    return true;
}

namespace {

// The nowcd line with its number raised by one: the text before the first
// digit, then the new number. A line without a digit is kept as it is.
std::string AdvancedNowCdLine(const std::string& line) {
    std::size_t digit = line.find_first_of("0123456789");
    if (digit == std::string::npos)
        return line;
    errno = 0;
    long n = std::strtol(line.c_str() + digit, nullptr, 10);
    if (errno == ERANGE || n >= 999999)
        return line;  // no sensible next CD
    return text::TrimRight(line.substr(0, digit) + std::to_string(n + 1));
}

}  // namespace

bool AdvanceCdCounter(const std::string& path) {
    std::string content;  // every line, each ended with CR LF
    {
        CFile in;
        if (!in.Open(path, CFile::modeRead))
            return false;
        std::string line;
        while (in.ReadLine(&line))
            content += (Contains(line, "nowcd") ? AdvancedNowCdLine(line) : line) + "\r\n";
    }
    std::string scratch = path + ".new";
    {
        CFile out;
        if (!out.Open(scratch, CFile::modeWrite))
            return false;
        if (!out.WriteString(content) || !out.Flush()) {
            out.Close();
            DeleteFile(scratch);
            return false;
        }
    }
    // A read-only description is replaced all the same.
    SetFileAttributes(path, FILE_ATTRIBUTE_NORMAL);
    if (!ReplaceFile(scratch, path)) {
        DWORD err = GetLastError();
        DeleteFile(scratch);
        SetLastError(err);
        return false;
    }
    return true;
}

std::string CourseRecordKey(const std::string& courseId) {
    return "software\\telvora\\" + courseId;
}

bool ReadInstallDir(const std::string& courseId, std::string* installDir) {
    installDir->clear();
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, (CourseRecordKey(courseId) + "\\1").c_str(), &key) !=
        ERROR_SUCCESS) {
        AfxMessageBox("读注册表失败");
        PostQuitMessage(1009);
        return false;
    }
    char buffer[100] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    LONG rc = RegQueryValueEx(key, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS) {
        AfxMessageBox("write register error");
        PostQuitMessage(1009);
        RegCloseKey(key);
        return false;
    }
    RegCloseKey(key);
    buffer[sizeof(buffer) - 1] = '\0';
    *installDir = buffer;
    return true;
}
