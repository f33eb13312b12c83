#include "corvane/update_answer.h"

#include <climits>
#include <cstring>

#include "common/course_format.h"
#include "platform/net/query_value.h"
#include "platform/text/number.h"
#include "platform/text/text.h"

namespace {

constexpr std::string_view kRar = ".rar";

// substr that never throws: what there is of [pos, pos + count).
std::string Part(std::string_view s, std::size_t pos, std::size_t count = std::string_view::npos) {
    return pos >= s.size() ? std::string() : std::string(s.substr(pos, count));
}

}  // namespace

std::string ComposeQueryPath(const std::string& fileName, const std::string& versNumber,
                             const std::string& userName) {
    return "/rdcenter/newweb/sql.asp?fileid=" + EncodeQueryValue(fileName) +
           "&versnumber=" + EncodeQueryValue(versNumber.empty() ? "0" : versNumber) +
           "&userid=" + EncodeQueryValue(userName);
}

std::string ComposePackagePath(const std::string& serverPath) {
    // The server names its archives as URL paths: an escape it wrote (a
    // course name in GBK is sent as "%CA%FD...") goes out as it is, as the
    // system sent the path unchanged; only bytes that cannot stand in a
    // request line are escaped.
    auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    };
    std::string path = "/rdcenter/newweb/";
    for (std::size_t i = 0; i < serverPath.size(); ++i) {
        const char c = serverPath[i];
        if (c == '/') {
            path += c;
        } else if (c == '%' && i + 2 < serverPath.size() && isHex(serverPath[i + 1]) &&
                   isHex(serverPath[i + 2])) {
            path.append(serverPath, i, 3);
            i += 2;
        } else {
            path += EncodeQueryValue(std::string_view(&serverPath[i], 1));
        }
    }
    return path;
}

void AppendAnswerChunk(std::string* answer, const char* data, std::size_t count) {
    const void* zero = std::memchr(data, '\0', count);
    answer->append(data, zero ? static_cast<const char*>(zero) - data : count);
}

AnswerKind ClassifyAnswer(const std::string& answer) {
    if (answer.find("权限") != std::string::npos)
        return AnswerKind::LoginRefused;
    if (answer.find('&') == std::string::npos)
        return AnswerKind::NoUpdate;
    return AnswerKind::UpdateList;
}

std::vector<std::string> SplitAnswerFields(const std::string& answer) {
    std::vector<std::string> fields;
    std::size_t amp = answer.find('&');
    if (amp == std::string::npos)
        return fields;
    std::string_view list = std::string_view(answer).substr(amp);
    std::size_t end = list.find("</body>");
    if (end == std::string_view::npos)
        return fields;
    list = list.substr(0, end);
    // From the right: the text after the last "&" is the next entry.
    for (std::size_t last; (last = list.rfind('&')) != std::string_view::npos;) {
        fields.emplace_back(list.substr(last + 1));
        list = list.substr(0, last);
    }
    return fields;
}

std::size_t CountFields(const std::vector<std::string>& fields) {
    std::size_t n = 0;
    while (n < fields.size() && !fields[n].empty())
        ++n;
    return n;
}

std::int64_t SizeOf(std::string_view sizeText) {
    return text::ParseDecimal(sizeText, 0, INT64_MAX, text::NumberExtent::kPrefix,
                              text::OutOfRange::kClamp)
        .value_or(0);
}

bool ParsePackages(const std::vector<std::string>& fields, std::size_t n,
                   std::vector<PackageEntry>* packages, std::int64_t* totalSize) {
    packages->clear();
    *totalSize = 0;
    n = std::min(n, fields.size());
    // Answer order runs from entry n-1 (the oldest) down to entry 0.
    const std::size_t taken = std::min(n, kMaxPackages);
    for (std::size_t i = 0; i < taken; ++i) {
        std::string_view f = fields[n - 1 - i];
        std::size_t rar = f.find(kRar);
        if (rar == std::string_view::npos)
            return false;
        PackageEntry entry;
        entry.size = text::Trim(f.substr(rar + kRar.size()));
        if (std::size_t again = entry.size.find(kRar); again != std::string::npos)
            entry.size = entry.size.substr(again + kRar.size());
        f = f.substr(0, rar + kRar.size());
        entry.code = text::Trim(Part(f, 0, 8));
        // The code becomes the course's recorded version and text of its
        // history page: anything but a code is refused before either.
        if (!IsPackageCode(entry.code))
            return false;
        entry.serverPath = text::Trim(Part(f, 8));
        const std::int64_t size = SizeOf(entry.size);
        *totalSize = size > INT64_MAX - *totalSize ? INT64_MAX : *totalSize + size;
        packages->push_back(std::move(entry));
    }
    return true;
}

std::string OfferText(std::int64_t totalSize) {
    const std::int64_t kb = totalSize / 1024;
    // Bits at 28,000 bits a second; the product stays in range for any size
    // a disk can hold.
    const std::int64_t seconds =
        (totalSize > INT64_MAX / 8 ? INT64_MAX : totalSize * 8) / 28000 + 1;
    return "此课程有更新内容。\n\n文件大小：                    " + std::to_string(kb) +
           " KB\n\n下载时间(以28kbps下载速度计)：" + std::to_string(seconds) + " 秒";
}

int DownloadPercent(std::int64_t received, std::int64_t size) {
    if (size <= 0 || received <= 0)
        return 0;
    const std::int64_t percent =
        received > INT64_MAX / 100 ? INT64_MAX / size : received * 100 / size;
    return percent > INT_MAX ? INT_MAX : static_cast<int>(percent);
}

std::string SafeLocalArchiveName(const std::string& serverPath) {
    std::size_t slash = serverPath.rfind('/');
    std::string name = slash == std::string::npos ? serverPath : serverPath.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || !text::IsValidGbk(name) ||
        text::FindFirstBackslash(name) != std::string::npos)
        return "";
    for (std::size_t i = 0; i < name.size(); i += text::CharLength(name, i)) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == ':' || c == '/')
            return "";
    }
    return name;
}
