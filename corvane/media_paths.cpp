#include "corvane/media_paths.h"

#include "platform/text/text.h"

std::string BuildInsertCdPrompt(const MediaLookupValues& values, const std::string& chapter) {
    std::string prompt = "请将《" + values.courseName + "》课件的";
    if (LeadingInteger(values.totalCd) > 1) {
        prompt += LeadingInteger(chapter) > LeadingInteger(values.cd1) ? "第2张" : "第1张";
    }
    return prompt + "光盘放入光驱中";
}

std::string MediaPathOnDrive(const std::string& driveRoot, const std::string& asfPath) {
    std::string path = driveRoot.substr(0, 2) + "/";
    std::size_t content = text::FindAtCharStart(asfPath, "content");
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
