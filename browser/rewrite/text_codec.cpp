#include "browser/rewrite/text_codec.h"

#include <cstdint>
#include <cstdio>

#include "platform/text/text.h"

namespace rewrite {
namespace {

bool IsLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// The label after "charset" in a Content-Type value, or "".
std::string CharsetOfContentType(std::string_view value) {
    for (size_t at = 0; at + 7 <= value.size(); ++at) {
        if (!StartsWithNoCase(value.substr(at), "charset"))
            continue;
        size_t j = at + 7;
        while (j < value.size() && (value[j] == ' ' || value[j] == '='))
            ++j;
        if (j < value.size() && (value[j] == '"' || value[j] == '\''))
            ++j;
        size_t start = j;
        while (j < value.size() && IsLabelChar(value[j]))
            ++j;
        return std::string(value.substr(start, j - start));
    }
    return "";
}

void AppendUtf8(uint32_t code, std::string* out) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// "&#N;" / "&#xH;" at text[at] ('&'): its length, or 0.
size_t NumericReference(std::string_view text, size_t at, std::string* out) {
    size_t j = at + 2;
    bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
    j += hex ? 1 : 0;
    uint32_t code = 0;
    size_t digits = 0;
    for (; j < text.size(); ++j, ++digits) {
        char c = text[j];
        int d = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
        if (d < 0)
            break;
        code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + static_cast<uint32_t>(d);
    }
    if (digits == 0)
        return 0;
    j += j < text.size() && text[j] == ';' ? 1 : 0;
    AppendUtf8(code, out);
    return j - at;
}

// A named reference ("&amp;") at text[at]: its length, or 0.
size_t NamedReference(std::string_view text, size_t at, std::string* out) {
    static const struct {
        std::string_view name;
        uint32_t code;
    } kNames[] = {{"amp", '&'},     {"lt", '<'},     {"gt", '>'},       {"quot", '"'},
                  {"apos", '\''},   {"nbsp", 0xA0},  {"copy", 0xA9},    {"reg", 0xAE},
                  {"middot", 0xB7}, {"times", 0xD7}, {"ldquo", 0x201C}, {"rdquo", 0x201D}};
    std::string_view rest = text.substr(at + 1);
    for (const auto& entity : kNames) {
        if (rest.compare(0, entity.name.size(), entity.name) != 0)
            continue;
        if (rest.substr(entity.name.size(), 1) != ";")
            continue;
        AppendUtf8(entity.code, out);
        return entity.name.size() + 2;
    }
    return 0;
}

}  // namespace

CPageCharset DetectCharset(std::string_view page, const std::vector<CHtmlToken>& tokens) {
    CPageCharset charset;
    if (page.substr(0, 3) == "\xEF\xBB\xBF") {
        charset.utf8 = true;
        charset.label = "UTF-8";
        return charset;
    }
    for (const CHtmlToken& t : tokens) {
        if (t.kind != ETokenKind::kStartTag || t.name != "meta")
            continue;
        std::string label;
        if (const CHtmlAttribute* a = FindAttribute(t, "charset"))
            label = CharsetOfContentType("charset=" + std::string(RawValue(page, *a)));
        else if (const CHtmlAttribute* c = FindAttribute(t, "content"))
            label = CharsetOfContentType(RawValue(page, *c));
        if (label.empty())
            continue;
        charset.label = label;
        charset.utf8 = EqualsNoCase(label, "utf-8") || EqualsNoCase(label, "utf8");
        break;
    }
    return charset;
}

std::string ToUtf8(std::string_view bytes, const CPageCharset& charset) {
    return charset.utf8 ? std::string(bytes) : text::GbkToUtf8(bytes);
}

std::string DecodeEntities(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        size_t used = 0;
        if (utf8[i] == '&')
            used = i + 1 < utf8.size() && utf8[i + 1] == '#' ? NumericReference(utf8, i, &out)
                                                             : NamedReference(utf8, i, &out);
        if (used == 0)
            out.push_back(utf8[i++]);
        i += used;
    }
    return out;
}

std::string EscapeAttribute(std::string_view ascii) {
    std::string out;
    out.reserve(ascii.size());
    for (char c : ascii) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string HtmlText(std::string_view utf8) {
    std::u16string units = text::Utf8ToUtf16(utf8);
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF)
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        if (code >= 0x20 && code < 0x7F && code != '&' && code != '<' && code != '>' &&
            code != '"') {
            out.push_back(static_cast<char>(code));
        } else {
            out += "&#" + std::to_string(code) + ";";
        }
    }
    return out;
}

std::string JsString(std::string_view utf8) {
    std::u16string units = text::Utf8ToUtf16(utf8);
    std::string out = "\"";
    for (char16_t unit : units) {
        if (unit < 0x7F &&
            (IsAlnum(static_cast<char>(unit)) ||
             std::string_view(" _.,:;/?#=+-*()[]{}!@$%^|~`").find(static_cast<char>(unit)) !=
                 std::string_view::npos)) {
            out.push_back(static_cast<char>(unit));
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
            out += escape;
        }
    }
    return out + "\"";
}

}  // namespace rewrite
