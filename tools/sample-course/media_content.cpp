#include "tools/sample-course/media_content.h"

#include <algorithm>
#include <cstring>

#include "tools/sample-course/course_texts.h"

namespace sample {

std::string FakeAsf(std::size_t size, std::uint64_t seed) {
    static const unsigned char kAsfHeaderId[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    std::string out(std::max<std::size_t>(size, sizeof kAsfHeaderId), '\0');
    std::memcpy(out.data(), kAsfHeaderId, sizeof kAsfHeaderId);
    // xorshift64: fast, and different for every file.
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    std::size_t i = sizeof kAsfHeaderId;
    while (i < out.size()) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::size_t n = std::min<std::size_t>(sizeof x, out.size() - i);
        std::memcpy(out.data() + i, &x, n);
        i += n;
    }
    return out;
}

std::string AsxPlaylist(const std::string& title, std::initializer_list<std::string> clips) {
    std::string out = JoinLines({"<asx version=\"3.0\">", "<title>" + title + "</title>"});
    for (const std::string& clip : clips) {
        out += JoinLines({"<entry><ref href=\"" + clip + "\"/></entry>"});
    }
    return out + JoinLines({"</asx>"});
}

std::string FakeWindowsProgram(const std::string& name) {
    std::string out = "MZ";
    out += std::string(62, '\0');
    out += "This program stands in for " + name + " of the course.\r\n";
    return out;
}

std::string FillerPage(const std::string& title, std::size_t size) {
    std::string head = JoinLines({"<html>", "<head>",
                                  "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                                  "charset=gb2312\">",
                                  "<title>" + title + "</title>", "</head>", "<body>"});
    std::string tail = JoinLines({"</body>", "</html>"});
    std::string para = JoinLines({"<p>课件内容：本页为练习材料，请认真阅读并完成相关操作。</p>"});
    std::string out = head;
    while (out.size() + para.size() + tail.size() <= size)
        out += para;
    return out + tail;
}

}  // namespace sample
