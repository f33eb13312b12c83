// Windows paths and the text conversions under them: the bytes as a GBK
// Windows path, as a Unix path, and as GBK and UTF-8 text.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::size_t Questions(std::string_view s) {
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), '?'));
}

bool IsDrivePath(const std::string& win) {
    return win.size() >= 3 && win[0] >= 'A' && win[0] <= 'Z' && win[1] == ':' && win[2] == '\\';
}

// A name the Windows side can carry unchanged: ASCII with none of the
// characters a Windows name can't hold and no backslash.
bool IsPlainUnixPath(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x80 ||
            std::strchr("<>:\"|?*\\", c))
            return false;
    return !s.empty();
}

// The absolute form of a Unix path without "." and "..", as the mapping to a
// Windows path reads it.
std::string Normalised(const std::string& path) {
    std::string full =
        path[0] == '/' ? path : std::filesystem::current_path().string() + "/" + path;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= full.size()) {
        std::size_t end = std::min(full.find('/', start), full.size());
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string r;
    for (const std::string& part : parts)
        r += "/" + part;
    return r.empty() ? "/" : r;
}

void CheckWindowsPath(const std::string& win) {
    std::optional<std::string> unix = ToUnixPath(win);
    if (!unix)
        return;
    FUZZ_CHECK(!unix->empty() && (*unix)[0] == '/');
    std::optional<std::string> back = ToWindowsPath(*unix);
    FUZZ_CHECK(back && IsDrivePath(*back) && text::IsValidGbk(*back));
    // ASCII names come back as the same place.
    if (IsAscii(win)) {
        std::optional<std::string> again = ToUnixPath(*back);
        FUZZ_CHECK(again && *again == *unix);
    }
}

void CheckUnixPath(const std::string& path) {
    if (path.empty())
        return;
    std::optional<std::string> win = ToWindowsPath(path);
    if (!win)
        return;
    FUZZ_CHECK(IsDrivePath(*win) && text::IsValidGbk(*win));
    if (IsPlainUnixPath(path)) {
        std::optional<std::string> unix = ToUnixPath(*win);
        FUZZ_CHECK(unix && text::EqualsNoCase(*unix, Normalised(path)));
    }
}

void CheckText(const std::string& s) {
    std::string utf8 = text::GbkToUtf8(s);
    FUZZ_CHECK(fuzz::IsValidUtf8(utf8));
    std::string gbk = text::Utf8ToGbk(s);
    FUZZ_CHECK(text::IsValidGbk(gbk));

    // Every mapped GBK character has a Unicode character of its own, and
    // every Unicode character with a GBK form has one GBK form; so what
    // converted without a replacement converts back unchanged.
    if (text::IsValidGbk(s) && Questions(utf8) == Questions(s)) {
        FUZZ_CHECK(text::Utf8ToGbk(utf8) == s);
        FUZZ_CHECK(text::Utf16ToGbk(text::GbkToUtf16(s)) == s);
    }
    if (fuzz::IsValidUtf8(s) && Questions(gbk) == Questions(s))
        FUZZ_CHECK(text::GbkToUtf8(gbk) == s);
    // Both ways through Unicode replace the same characters.
    FUZZ_CHECK(text::Utf16ToGbk(text::GbkToUtf16(s)) == text::Utf8ToGbk(utf8));

    std::string lower = text::AsciiLower(s);
    std::string upper = text::AsciiUpper(s);
    FUZZ_CHECK(lower.size() == s.size() && upper.size() == s.size());
    FUZZ_CHECK(text::EqualsNoCase(s, lower) && text::EqualsNoCase(lower, upper));
    FUZZ_CHECK(text::AsciiLower(upper) == lower);

    std::size_t first = text::FindFirstBackslash(s);
    std::size_t last = text::FindLastBackslash(s);
    FUZZ_CHECK((first == std::string::npos) == (last == std::string::npos));
    if (first != std::string::npos) {
        FUZZ_CHECK(first <= last && s[first] == '\\' && s[last] == '\\');
        FUZZ_CHECK(text::IsCharStart(s, first) && text::IsCharStart(s, last));
    }

    std::string trimmed = text::Trim(s);
    FUZZ_CHECK(text::Trim(trimmed) == trimmed);
    FUZZ_CHECK(trimmed.empty() ||
               (!text::IsWhite(trimmed.front()) && !text::IsWhite(trimmed.back())));
    FUZZ_CHECK(s.find(trimmed) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScratchDir();
    std::string input(reinterpret_cast<const char*>(data), size);
    CheckWindowsPath(input);
    CheckUnixPath(input);
    CheckText(input);
    fuzz::DrainMessages();
    return 0;
}
