#include "browser/rewrite/object_rules.h"

namespace rewrite {
namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' ||
                          s.front() == '\r' || s.front() == '\f'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' ||
                          s.back() == '\r' || s.back() == '\f'))
        s.remove_suffix(1);
    return s;
}

// An attribute's value as UTF-8 with its references decoded, or "".
std::string Value(std::string_view page, const CHtmlToken& tag, std::string_view name,
                  const CPageCharset& charset) {
    const CHtmlAttribute* a = FindAttribute(tag, name);
    return a ? DecodeEntities(ToUtf8(RawValue(page, *a), charset)) : std::string();
}

// A width or height as CSS: "320" and "320px" give "320px", "50%" stays;
// nothing for zero or what isn't a size.
std::string CssSize(std::string_view value) {
    value = Trim(value);
    size_t digits = 0;
    while (digits < value.size() && value[digits] >= '0' && value[digits] <= '9')
        ++digits;
    std::string_view number = value.substr(0, digits), unit = value.substr(digits);
    if (digits == 0 || digits > 6 || number.find_first_not_of('0') == std::string_view::npos)
        return "";
    if (unit.empty() || EqualsNoCase(unit, "px"))
        return std::string(number) + "px";
    return unit == "%" ? std::string(number) + "%" : "";
}

// The media path of a player: its FileName, URL or src parameter (the
// first of them), else its data attribute.
std::string MediaPath(std::string_view page, const std::vector<CHtmlToken>& tokens, size_t first,
                      size_t last, const CPageCharset& charset) {
    int depth = 0;
    for (size_t k = first + 1; k <= last && k < tokens.size(); ++k) {
        const CHtmlToken& t = tokens[k];
        if (t.name == "object")
            depth += t.kind == ETokenKind::kStartTag ? 1 : t.kind == ETokenKind::kEndTag ? -1 : 0;
        if (depth != 0 || t.kind != ETokenKind::kStartTag || t.name != "param")
            continue;
        std::string name(Trim(Value(page, t, "name", charset)));
        if (EqualsNoCase(name, "filename") || EqualsNoCase(name, "url") ||
            EqualsNoCase(name, "src"))
            return std::string(Trim(Value(page, t, "value", charset)));
    }
    return std::string(Trim(Value(page, tokens[first], "data", charset)));
}

}  // namespace

std::string ObjectClsid(std::string_view page, const CHtmlToken& tag) {
    const CHtmlAttribute* a = FindAttribute(tag, "classid");
    if (!a)
        return "";
    std::string_view value = Trim(RawValue(page, *a));
    if (!StartsWithNoCase(value, "clsid:"))
        return "";
    value = Trim(value.substr(6));
    if (value.size() >= 2 && value.front() == '{' && value.back() == '}')
        value = value.substr(1, value.size() - 2);
    if (value.size() != 36)
        return "";
    std::string guid;
    for (size_t i = 0; i < value.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? value[i] != '-' : !IsHex(value[i]))
            return "";
        guid.push_back(Upper(value[i]));
    }
    return guid;
}

bool IsMediaPlayerClsid(std::string_view guid) {
    return guid == "22D6F312-B0F6-11D0-94AB-0080C74C7E95" ||
           guid == "6BF52A52-394A-11D3-B153-00C04F79FAA6";
}

std::string ObjectReplacement(std::string_view page, const std::vector<CHtmlToken>& tokens,
                              size_t first, size_t last, const std::string& clsid,
                              const CPageCharset& charset) {
    const CHtmlToken& tag = tokens[first];
    std::string id = Value(page, tag, "id", charset);
    if (id.empty())
        id = Value(page, tag, "name", charset);
    if (!IsMediaPlayerClsid(clsid))
        return "<script>$tv.object(" + JsString(id) + ", " + JsString(clsid) + ")</script>";
    return PlayBox(id, MediaPath(page, tokens, first, last, charset),
                   CssSize(Value(page, tag, "width", charset)),
                   CssSize(Value(page, tag, "height", charset)));
}

std::string PlayBox(std::string_view id, std::string_view path, std::string_view width,
                    std::string_view height) {
    size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::string box = "<span";
    if (!id.empty())
        box += " id=\"" + HtmlText(id) + "\"";
    box += " class=\"telvora-play\" style=\"display:inline-block";
    if (!width.empty())
        box += ";width:" + std::string(width);
    if (!height.empty())
        box += ";height:" + std::string(height);
    return box + "\"><button type=\"button\" onclick=\"" +
           EscapeAttribute("$tv.play(" + JsString(path) + ")") + "\">&#25773;&#25918;</button> " +
           HtmlText(name) + "</span>";
}

}  // namespace rewrite
