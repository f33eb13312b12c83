#include "corvane/media_paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/text/text.h"

namespace {

// First occurrence of needle (ASCII) that starts at a character of gbk.
std::size_t FindAtCharStart(const std::string& gbk, const std::string& needle) {
    for (std::size_t i = 0; i + needle.size() <= gbk.size(); i += text::CharLength(gbk, i)) {
        if (gbk.compare(i, needle.size(), needle) == 0) {
            return i;
        }
    }
    return std::string::npos;
}

}  // namespace

long long DecimalValue(const std::string& text) {
    errno = 0;
    // strtoll saturates at the ends of its range, as the prompt needs.
    return std::strtoll(text.c_str(), nullptr, 10);
}

std::string BuildInsertCdPrompt(const MediaLookupValues& values, const std::string& chapter) {
    std::string prompt = "请将《" + values.courseName + "》课件的";
    if (DecimalValue(values.totalCd) > 1) {
        prompt += DecimalValue(chapter) > DecimalValue(values.cd1) ? "第2张" : "第1张";
    }
    return prompt + "光盘放入光驱中";
}

std::string MediaPathOnDrive(const std::string& driveRoot, const std::string& asfPath) {
    std::string path = driveRoot.substr(0, 2) + "/";
    std::size_t content = FindAtCharStart(asfPath, "content");
    return path + (content == std::string::npos ? asfPath : asfPath.substr(content));
}

std::string WithBackslashes(std::string path) {
    // No GBK trail byte is a '/', so a plain replacement is safe.
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}
