// The page rules: where the bridge goes, which scripts and handlers are
// VBScript, and what replaces them and the controls. One pass over the
// page's tokens; what no rule takes is copied byte for byte.
#include <algorithm>
#include <climits>

#include "browser/rewrite/html_scanner.h"
#include "browser/rewrite/object_rules.h"
#include "browser/rewrite/page_rewrite.h"
#include "browser/rewrite/text_codec.h"
#include "browser/vbscript/vbscript.h"
#include "platform/text/number.h"

using namespace rewrite;

namespace {

enum class ELanguage { kJs, kVbs, kOther };

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// A LANGUAGE value or handler prefix: the names the old browser's two
// script engines answered to.
ELanguage LanguageName(std::string_view name) {
    name = Trim(name);
    if (EqualsNoCase(name, "vbscript") || EqualsNoCase(name, "vbs"))
        return ELanguage::kVbs;
    if (EqualsNoCase(name, "jscript") || EqualsNoCase(name, "ecmascript") ||
        EqualsNoCase(name, "livescript"))
        return ELanguage::kJs;
    if (StartsWithNoCase(name, "javascript") &&
        name.find_first_not_of("0123456789.", 10) == std::string_view::npos)
        return ELanguage::kJs;
    return ELanguage::kOther;
}

ELanguage TypeLanguage(std::string_view type) {
    type = Trim(type.substr(0, type.find(';')));
    if (EqualsNoCase(type, "text/vbscript") || EqualsNoCase(type, "text/vbs"))
        return ELanguage::kVbs;
    for (std::string_view js :
         {"text/javascript", "application/javascript", "text/jscript", "text/ecmascript",
          "application/ecmascript", "application/x-javascript", "text/x-javascript", "module"})
        if (EqualsNoCase(type, js))
            return ELanguage::kJs;
    return ELanguage::kOther;
}

// A script element's language: its type, else its language, else JavaScript.
ELanguage ScriptLanguage(std::string_view page, const CHtmlToken& tag) {
    const CHtmlAttribute* type = FindAttribute(tag, "type");
    if (type && !Trim(RawValue(page, *type)).empty())
        return TypeLanguage(RawValue(page, *type));
    const CHtmlAttribute* language = FindAttribute(tag, "language");
    if (language && !Trim(RawValue(page, *language)).empty())
        return LanguageName(RawValue(page, *language));
    return ELanguage::kJs;
}

// "name:" at the start of a handler (after blanks): the length up to and
// with the colon, or 0.
size_t LanguagePrefix(std::string_view value, ELanguage* language) {
    size_t start = value.size() - TrimLeft(value).size(), j = start;
    while (j < value.size() && j - start < 16 &&
           ((value[j] >= 'a' && value[j] <= 'z') || (value[j] >= 'A' && value[j] <= 'Z') ||
            (value[j] >= '0' && value[j] <= '9') || value[j] == '.'))
        ++j;
    if (j == start || j >= value.size() || value[j] != ':')
        return 0;
    *language = LanguageName(value.substr(start, j - start));
    return j + 1;
}

int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

// %XX escapes of ASCII characters, as a script URL is read.
std::string PercentDecodeAscii(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 1]) < 8 && HexDigit(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// JavaScript for a javascript: URL, which the browser percent-decodes and
// whose line breaks the URL parser drops.
std::string PercentEscapeScript(std::string_view js) {
    std::string out;
    for (char c : js) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\t')
            out += "%09";
        else
            out.push_back(c);
    }
    return out;
}

class CPageRewriter {
public:
    explicit CPageRewriter(std::string_view page)
        : m_page(page), m_tokens(ScanHtml(page)), m_charset(DetectCharset(page, m_tokens)) {}

    CRewriteResult Run() {
        m_result.charset = m_charset.label;
        m_defaultVbs = PageLanguage() == ELanguage::kVbs;
        MatchObjects();
        Edit(CRewriteEdit::EKind::kBridgeTag, BridgePoint(), BridgePoint(),
             std::string("<script src=\"") + kBridgeUrl + "\"></script>");
        for (size_t k = 0; k < m_tokens.size();) {
            const CHtmlToken& t = m_tokens[k];
            if (t.kind != ETokenKind::kStartTag || !t.complete) {
                ++k;
            } else if (t.name == "script") {
                k = Script(k);
            } else if (t.name == "object" && !ObjectClsid(m_page, t).empty()) {
                k = Object(k);
            } else {
                Attributes(t);
                ++k;
            }
        }
        Copy(m_page.size());
        return std::move(m_result);
    }

private:
    void Copy(size_t upTo) {
        m_result.bytes.append(m_page.substr(m_done, upTo - m_done));
        m_done = upTo;
    }

    void Edit(CRewriteEdit::EKind kind, size_t begin, size_t end, const std::string& text) {
        Copy(begin);
        size_t outputBegin = m_result.bytes.size();
        m_result.bytes += text;
        m_result.edits.push_back({kind, begin, end, outputBegin, m_result.bytes.size()});
        m_done = end;
    }

    // The translator's "line N: ..." with N counted in the page.
    void Problems(const std::vector<std::string>& problems, size_t at, const std::string& what) {
        for (; m_lineAt < at && m_lineAt < m_page.size(); ++m_lineAt)
            m_line += m_page[m_lineAt] == '\n' ? 1 : 0;
        for (const std::string& p : problems) {
            const std::int64_t n = p.compare(0, 5, "line ") == 0
                                       ? text::ParseDecimal(std::string_view(p).substr(5), 1,
                                                            INT_MAX, text::NumberExtent::kPrefix)
                                             .value_or(0)
                                       : 0;
            size_t colon = p.find(": ");
            std::string message = n > 0 && colon != std::string::npos ? p.substr(colon + 2) : p;
            m_result.problems.push_back("line " + std::to_string(m_line + (n > 0 ? n - 1 : 0)) +
                                        ": " + what + message);
        }
    }

    std::string Value(const CHtmlToken& tag, std::string_view name) const {
        const CHtmlAttribute* a = FindAttribute(tag, name);
        return a ? DecodeEntities(ToUtf8(RawValue(m_page, *a), m_charset)) : std::string();
    }

    // As the old browser decided: VBScript when the first script is.
    ELanguage PageLanguage() const {
        for (const CHtmlToken& t : m_tokens)
            if (t.kind == ETokenKind::kStartTag && t.complete && t.name == "script")
                return ScriptLanguage(m_page, t);
        return ELanguage::kJs;
    }

    // After a byte order mark, blanks, comments and the doctype (before
    // which a script would turn on quirks mode), before anything else.
    size_t BridgePoint() const {
        size_t at = m_page.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
        for (const CHtmlToken& t : m_tokens) {
            if (t.end <= at)
                continue;
            if (t.kind == ETokenKind::kComment) {
                at = t.end;
                continue;
            }
            if (t.kind != ETokenKind::kText)
                break;
            size_t j = std::max(at, t.begin);
            while (j < t.end && IsSpace(m_page[j]))
                ++j;
            at = j;
            if (j < t.end)
                break;
        }
        return at;
    }

    void MatchObjects() {
        m_objectEnd.assign(m_tokens.size(), 0);
        std::vector<size_t> open;
        for (size_t k = 0; k < m_tokens.size(); ++k) {
            const CHtmlToken& t = m_tokens[k];
            if (t.name != "object")
                continue;
            if (t.kind == ETokenKind::kStartTag && t.complete) {
                open.push_back(k);
            } else if (t.kind == ETokenKind::kEndTag && !open.empty()) {
                m_objectEnd[open.back()] = k;
                open.pop_back();
            }
        }
    }

    // A script element at tokens[k]; returns the next token to look at.
    size_t Script(size_t k) {
        const CHtmlToken& tag = m_tokens[k];
        if (ScriptLanguage(m_page, tag) != ELanguage::kVbs)
            return k + 1;
        if (FindAttribute(tag, "src")) {
            // The browser serves the file translated: only the language goes.
            std::string start;
            size_t from = tag.begin;
            for (const CHtmlAttribute& a : tag.attributes) {
                if (a.name != "language" && a.name != "type")
                    continue;
                size_t cut = a.begin;
                while (cut > from && IsSpace(m_page[cut - 1]))
                    --cut;
                start.append(m_page.substr(from, cut - from));
                from = a.end;
            }
            start.append(m_page.substr(from, tag.end - from));
            Edit(CRewriteEdit::EKind::kScriptSrc, tag.begin, tag.end, start);
            return k + 1;
        }
        const CHtmlToken& content = m_tokens[k + 1];  // a raw text element's content always follows
        size_t next = k + 2, end = content.end;
        if (next < m_tokens.size() && m_tokens[next].kind == ETokenKind::kEndTag)
            end = m_tokens[next++].end;
        std::string source =
            ToUtf8(m_page.substr(content.begin, content.end - content.begin), m_charset);
        std::string target = Value(tag, "for"), event(Trim(Value(tag, "event")));
        event = std::string(Trim(event.substr(0, event.find('('))));
        CVbsTranslation t;
        if (!Trim(target).empty() && !event.empty()) {
            t = TranslateVbsHandler(source);
            if (!StartsWithNoCase(event, "on"))
                event = "on" + event;
            t.js = "$vbs.bind(" + JsString(Trim(target)) + ", " + JsString(event) +
                   ", function () {\n" + t.js + "});\n";
        } else {
            t = TranslateVbScript(source);
        }
        Problems(t.problems, content.begin, "");
        Edit(CRewriteEdit::EKind::kScript, tag.begin, end, "<script>" + t.js + "</script>");
        return next;
    }

    size_t Object(size_t k) {
        size_t last = m_objectEnd[k];
        if (last == 0) {
            // No end tag: the start tag and the parameters right after it.
            last = k;
            for (size_t j = k + 1; j < m_tokens.size(); ++j) {
                const CHtmlToken& t = m_tokens[j];
                bool blank = t.kind == ETokenKind::kText &&
                             Trim(m_page.substr(t.begin, t.end - t.begin)).empty();
                bool param = t.kind == ETokenKind::kStartTag && t.complete && t.name == "param";
                if (!blank && !param)
                    break;
                last = param ? j : last;
            }
        }
        std::string clsid = ObjectClsid(m_page, m_tokens[k]);
        Edit(CRewriteEdit::EKind::kObject, m_tokens[k].begin, m_tokens[last].end,
             ObjectReplacement(m_page, m_tokens, k, last, clsid, m_charset));
        return last + 1;
    }

    // Event handlers and vbscript: links of any other start tag.
    void Attributes(const CHtmlToken& tag) {
        ELanguage own = ELanguage::kOther;
        if (const CHtmlAttribute* language = FindAttribute(tag, "language"))
            own = LanguageName(RawValue(m_page, *language));
        bool vbs = own == ELanguage::kOther ? m_defaultVbs : own == ELanguage::kVbs;
        for (const CHtmlAttribute& a : tag.attributes) {
            if (!a.hasValue)
                continue;
            if (a.name.size() > 2 && a.name.compare(0, 2, "on") == 0)
                Handler(a, vbs);
            else if (a.name == "href" &&
                     StartsWithNoCase(TrimLeft(RawValue(m_page, a)), "vbscript:"))
                Href(a);
        }
    }

    void EditValue(CRewriteEdit::EKind kind, const CHtmlAttribute& a, const std::string& text) {
        size_t quoted = a.quote ? 1 : 0;
        Edit(kind, a.valueBegin - quoted, a.valueEnd + quoted, "\"" + text + "\"");
    }

    void Handler(const CHtmlAttribute& a, bool vbs) {
        std::string_view raw = RawValue(m_page, a);
        ELanguage language = ELanguage::kOther;
        size_t prefix = LanguagePrefix(raw, &language);
        if (language == ELanguage::kJs) {
            // The script stays as it is, in the page's bytes.
            std::string js;
            for (char c : raw.substr(prefix))
                js += c == '"' ? std::string("&quot;") : std::string(1, c);
            EditValue(CRewriteEdit::EKind::kHandler, a, js);
            return;
        }
        if (language != ELanguage::kVbs) {
            if (!vbs)
                return;
            prefix = 0;  // not a language: the text is all the script
        }
        std::string source = DecodeEntities(ToUtf8(raw.substr(prefix), m_charset));
        CVbsTranslation t = TranslateVbsHandler(source);
        Problems(t.problems, a.begin, a.name + ": ");
        EditValue(CRewriteEdit::EKind::kHandler, a, EscapeAttribute(t.js));
    }

    void Href(const CHtmlAttribute& a) {
        std::string_view raw = TrimLeft(RawValue(m_page, a)).substr(9);
        std::string source = PercentDecodeAscii(DecodeEntities(ToUtf8(raw, m_charset)));
        CVbsTranslation t = TranslateVbsHandler(source);
        Problems(t.problems, a.begin, "href: ");
        EditValue(
            CRewriteEdit::EKind::kHref, a,
            EscapeAttribute("javascript:void (function () {" + PercentEscapeScript(t.js) + "})()"));
    }

    std::string_view m_page;
    std::vector<CHtmlToken> m_tokens;
    CPageCharset m_charset;
    bool m_defaultVbs = false;
    std::vector<size_t> m_objectEnd;  // per object start tag: its end tag's index, or 0
    CRewriteResult m_result;
    size_t m_done = 0;
    size_t m_lineAt = 0;
    long m_line = 1;
};

}  // namespace

CRewriteResult RewritePage(std::string_view page) {
    return CPageRewriter(page).Run();
}
