#include "platform/text/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace text {
namespace {

bool IsLead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool IsTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// One converter per direction and thread: iconv descriptors carry shift state
// and are not safe to share.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts src; an unconvertible input unit (found by skip) becomes the
    // replacement in the target encoding.
    template <typename SkipFn>
    std::string Run(const char* src, std::size_t len, std::string_view replacement, SkipFn skip) {
        std::string out;
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return out;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(len * 4 + 16);
        char* in = const_cast<char*>(src);
        std::size_t inLeft = len;
        char* o = out.data();
        std::size_t outLeft = out.size();
        while (inLeft > 0) {
            std::size_t r = iconv(m_cd, &in, &inLeft, &o, &outLeft);
            if (r != static_cast<std::size_t>(-1))
                break;
            if (errno == E2BIG) {
                std::size_t used = o - out.data();
                out.resize(out.size() * 2);
                o = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            // EILSEQ or EINVAL: replace one input character and go on.
            std::size_t n = skip(reinterpret_cast<const unsigned char*>(in), inLeft);
            in += n;
            inLeft -= n;
            if (outLeft < replacement.size()) {
                std::size_t used = o - out.data();
                out.resize(out.size() * 2 + replacement.size());
                o = out.data() + used;
                outLeft = out.size() - used;
            }
            std::memcpy(o, replacement.data(), replacement.size());
            o += replacement.size();
            outLeft -= replacement.size();
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(o - out.data());
        return out;
    }

private:
    iconv_t m_cd;
};

std::size_t SkipGbk(const unsigned char* p, std::size_t left) {
    if (left >= 2 && IsLead(p[0]) && IsTrail(p[1]))
        return 2;
    return 1;
}

std::size_t SkipUtf8(const unsigned char* p, std::size_t left) {
    std::size_t n = 1;
    while (n < left && (p[n] & 0xC0) == 0x80)
        ++n;
    return n;
}

std::size_t SkipUtf16(const unsigned char* p, std::size_t left) {
    if (left < 2)
        return left;
    unsigned unit = p[0] | (p[1] << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
        unsigned next = p[2] | (p[3] << 8);
        if (next >= 0xDC00 && next <= 0xDFFF)
            return 4;
    }
    return 2;
}

const char16_t kQuestion16[] = u"?";

// UTF-16 units as the little-endian bytes iconv converts, and back.
std::string LeBytes(std::u16string_view utf16) {
    std::string bytes(utf16.size() * 2, '\0');
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        bytes[2 * i] = static_cast<char>(utf16[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(utf16[i] >> 8);
    }
    return bytes;
}

std::u16string FromLeBytes(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

// The replacement character in UTF-16LE bytes.
std::string_view Question16() {
    return std::string_view(reinterpret_cast<const char*>(kQuestion16), 2);
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    thread_local Converter c("UTF-8", "CP936");
    return c.Run(gbk.data(), gbk.size(), "?", SkipGbk);
}

std::string Utf8ToGbk(std::string_view utf8) {
    thread_local Converter c("CP936", "UTF-8");
    return c.Run(utf8.data(), utf8.size(), "?", SkipUtf8);
}

std::u16string GbkToUtf16(std::string_view gbk) {
    thread_local Converter c("UTF-16LE", "CP936");
    return FromLeBytes(c.Run(gbk.data(), gbk.size(), Question16(), SkipGbk));
}

std::string Utf16ToGbk(std::u16string_view utf16) {
    thread_local Converter c("CP936", "UTF-16LE");
    const std::string bytes = LeBytes(utf16);
    return c.Run(bytes.data(), bytes.size(), "?", SkipUtf16);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    thread_local Converter c("UTF-16LE", "UTF-8");
    return FromLeBytes(c.Run(utf8.data(), utf8.size(), Question16(), SkipUtf8));
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    thread_local Converter c("UTF-8", "UTF-16LE");
    const std::string bytes = LeBytes(utf16);
    return c.Run(bytes.data(), bytes.size(), "?", SkipUtf16);
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size())
            return false;  // cut short
        for (std::size_t k = 1; k <= n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

bool IsValidGbk(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char c = s[i];
        if (c < 0x80)
            continue;
        if (c == 0x80)
            continue;  // the euro sign of code page 936
        if (!IsLead(c) || i + 1 >= s.size() || !IsTrail(s[i + 1]))
            return false;
        ++i;
    }
    return true;
}

bool IsLeadByte(char c) {
    return IsLead(static_cast<unsigned char>(c));
}

bool IsTrailByte(char c) {
    return IsTrail(static_cast<unsigned char>(c));
}

std::size_t CharLength(std::string_view gbk, std::size_t i) {
    return (IsLead(gbk[i]) && i + 1 < gbk.size()) ? 2 : 1;
}

bool IsCharStart(std::string_view gbk, std::size_t i) {
    std::size_t k = 0;
    while (k < i)
        k += CharLength(gbk, k);
    return k == i;
}

std::size_t FindAtCharStart(std::string_view gbk, std::string_view word, std::size_t from) {
    // One pass over the character starts, however many false matches inside
    // double-byte characters the text holds.
    std::size_t start = 0;
    std::size_t pos = gbk.find(word, from);
    while (pos != std::string_view::npos) {
        while (start < pos)
            start += CharLength(gbk, start);
        if (start == pos)
            return pos;
        pos = gbk.find(word, pos + 1);
    }
    return pos;
}

std::size_t FindLastBackslash(std::string_view gbk) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        if (IsLead(gbk[i]) && i + 1 < gbk.size()) {
            ++i;
            continue;
        }
        if (gbk[i] == '\\')
            last = i;
    }
    return last;
}

std::size_t FindFirstBackslash(std::string_view gbk) {
    for (std::size_t i = 0; i < gbk.size(); ++i) {
        if (IsLead(gbk[i]) && i + 1 < gbk.size()) {
            ++i;
            continue;
        }
        if (gbk[i] == '\\')
            return i;
    }
    return std::string_view::npos;
}

namespace {
template <typename Fn>
std::string MapAscii(std::string_view gbk, Fn fn) {
    std::string out(gbk);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsLead(out[i]) && i + 1 < out.size()) {
            ++i;
            continue;
        }
        out[i] = fn(out[i]);
    }
    return out;
}
}  // namespace

std::string AsciiLower(std::string_view gbk) {
    return MapAscii(gbk, [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; });
}

std::string AsciiUpper(std::string_view gbk) {
    return MapAscii(gbk, [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; });
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimRight(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && IsWhite(s[e - 1]))
        --e;
    return std::string(s.substr(0, e));
}

std::string TrimLeft(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && IsWhite(s[b]))
        ++b;
    return std::string(s.substr(b));
}

std::string Trim(std::string_view s) {
    return TrimLeft(TrimRight(s));
}

}  // namespace text
