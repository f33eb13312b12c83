#include "tools/update-server/package_names.h"

#include "platform/text/text.h"

bool IsNewerCode(std::string_view code, std::string_view installed) {
    if (!IsPackageCode(installed))
        return true;
    return code > installed;
}

std::string CourseNameProblem(std::string_view gbk) {
    if (gbk.empty())
        return "is empty";
    if (gbk == "." || gbk == "..")
        return "is \".\" or \"..\"";
    if (gbk.size() > kMaxCourseNameBytes)
        return "is longer than " + std::to_string(kMaxCourseNameBytes) + " bytes";
    if (!text::IsValidGbk(gbk) || text::Utf8ToGbk(text::GbkToUtf8(gbk)) != gbk)
        return "is not valid GBK text";
    for (std::size_t i = 0; i < gbk.size(); i += text::CharLength(gbk, i)) {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x20 || c == 0x7F)
            return "contains a control character";
        for (char bad : {'/', '\\', ':', '*', '?', '"', '<', '>', '|'}) {
            if (gbk[i] == bad)
                return std::string("contains '") + bad + "'";
        }
    }
    return "";
}
