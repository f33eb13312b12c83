#include "browser/rewrite/html_scanner.h"

namespace rewrite {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Elements whose content is text up to their end tag.
bool IsRawTextElement(std::string_view name) {
    for (std::string_view raw : {"script", "style", "textarea", "title", "xmp", "iframe", "noembed",
                                 "noframes", "noscript", "plaintext"})
        if (name == raw)
            return true;
    return false;
}

class CScanner {
public:
    explicit CScanner(std::string_view page) : m_page(page), m_n(page.size()) {}

    std::vector<CHtmlToken> Run() {
        size_t i = 0;
        while (i < m_n) {
            size_t lt = m_page.find('<', i);
            if (lt == std::string_view::npos)
                break;
            i = Markup(lt);
        }
        Text(m_n);
        return std::move(m_tokens);
    }

private:
    void Text(size_t upTo) {
        if (upTo > m_textStart)
            m_tokens.push_back({ETokenKind::kText, m_textStart, upTo, {}, {}, true});
        m_textStart = upTo;
    }
    CHtmlToken& Push(ETokenKind kind, size_t begin, size_t end) {
        Text(begin);
        m_tokens.push_back({kind, begin, end, {}, {}, true});
        m_textStart = end;
        return m_tokens.back();
    }
    size_t ToGreater(size_t from) const {
        size_t gt = m_page.find('>', from);
        return gt == std::string_view::npos ? m_n : gt + 1;
    }
    bool At(size_t at, std::string_view text) const {
        return m_page.compare(at, text.size(), text) == 0;
    }
    // "<name" or "</name" at `at`, any case, followed by what ends a tag name.
    bool TagAt(size_t at, std::string_view lt, std::string_view name) const {
        size_t after = at + lt.size() + name.size();
        return after < m_n && At(at, lt) &&
               EqualsNoCase(m_page.substr(at + lt.size(), name.size()), name) &&
               (IsSpace(m_page[after]) || m_page[after] == '/' || m_page[after] == '>');
    }

    // The construct at '<'; returns where scanning goes on.
    size_t Markup(size_t lt) {
        size_t next = lt + 1;
        if (next >= m_n)
            return m_n;
        char c = m_page[next];
        if (c == '!') {
            if (At(lt, "<!--"))
                return Push(ETokenKind::kComment, lt, CommentEnd(lt + 4)).end;
            return Push(ETokenKind::kComment, lt, ToGreater(next)).end;
        }
        if (c == '?')
            return Push(ETokenKind::kComment, lt, ToGreater(next)).end;
        if (c == '/') {
            if (next + 1 >= m_n)
                return m_n;
            if (IsLetter(m_page[next + 1]))
                return Tag(lt, ETokenKind::kEndTag);
            return Push(ETokenKind::kComment, lt, ToGreater(next)).end;
        }
        if (IsLetter(c))
            return Tag(lt, ETokenKind::kStartTag);
        return next;
    }

    size_t CommentEnd(size_t from) const {
        if (At(from, ">"))
            return from + 1;
        if (At(from, "->"))
            return from + 2;
        for (size_t at = from;;) {
            size_t dashes = m_page.find("--", at);
            if (dashes == std::string_view::npos)
                return m_n;
            if (At(dashes + 2, ">"))
                return dashes + 3;
            if (At(dashes + 2, "!>"))
                return dashes + 4;
            at = dashes + 1;
        }
    }

    size_t Tag(size_t lt, ETokenKind kind) {
        size_t j = lt + (kind == ETokenKind::kEndTag ? 2 : 1);
        std::string name;
        for (; j < m_n && !IsSpace(m_page[j]) && m_page[j] != '/' && m_page[j] != '>'; ++j)
            name.push_back(Lower(m_page[j]));
        std::vector<CHtmlAttribute> attributes;
        bool complete = Attributes(&j, &attributes);
        CHtmlToken& tag = Push(kind, lt, complete ? j : m_n);
        tag.name = std::move(name);
        tag.attributes = std::move(attributes);
        tag.complete = complete;
        if (!complete || kind != ETokenKind::kStartTag || !IsRawTextElement(tag.name))
            return tag.end;
        size_t contentEnd = tag.name == "plaintext" ? m_n
                            : tag.name == "script"  ? ScriptEnd(tag.end)
                                                    : RawTextEnd(tag.end, tag.name);
        return Push(ETokenKind::kRawText, tag.end, contentEnd).end;
    }

    // Reads attributes up to the tag's '>'; false when the page ends first.
    bool Attributes(size_t* at, std::vector<CHtmlAttribute>* out) {
        size_t j = *at;
        for (;;) {
            while (j < m_n && (IsSpace(m_page[j]) || m_page[j] == '/'))
                ++j;
            if (j >= m_n)
                return false;
            if (m_page[j] == '>') {
                *at = j + 1;
                return true;
            }
            CHtmlAttribute a{{}, j, 0, 0, 0, 0, false};
            a.name.push_back(Lower(m_page[j++]));  // a leading '=' belongs to the name
            for (; j < m_n && !IsSpace(m_page[j]) && m_page[j] != '/' && m_page[j] != '>' &&
                   m_page[j] != '=';
                 ++j)
                a.name.push_back(Lower(m_page[j]));
            a.end = a.valueBegin = a.valueEnd = j;
            while (j < m_n && IsSpace(m_page[j]))
                ++j;
            if (j < m_n && m_page[j] == '=') {
                ++j;
                while (j < m_n && IsSpace(m_page[j]))
                    ++j;
                if (j >= m_n)
                    return false;
                a.hasValue = true;
                if (m_page[j] == '"' || m_page[j] == '\'') {
                    a.quote = m_page[j];
                    size_t close = m_page.find(a.quote, j + 1);
                    if (close == std::string_view::npos)
                        return false;
                    a.valueBegin = j + 1;
                    a.valueEnd = close;
                    j = close + 1;
                } else {
                    a.valueBegin = j;
                    while (j < m_n && !IsSpace(m_page[j]) && m_page[j] != '>')
                        ++j;
                    a.valueEnd = j;
                }
                a.end = j;
            }
            out->push_back(std::move(a));
        }
    }

    size_t RawTextEnd(size_t from, std::string_view name) const {
        for (size_t at = from;; ++at) {
            at = m_page.find("</", at);
            if (at == std::string_view::npos)
                return m_n;
            if (TagAt(at, "</", name))
                return at;
        }
    }

    // The end of script content: "<!--" escapes it, and inside that a
    // "<script" makes the next "</script" part of the text, up to "-->".
    size_t ScriptEnd(size_t from) const {
        enum { kData, kEscaped, kDoubleEscaped } state = kData;
        for (size_t j = from; j < m_n; ++j) {
            if (m_page[j] == '-' && state != kData && At(j, "-->")) {
                state = kData;
                j += 2;
            } else if (m_page[j] != '<') {
                continue;
            } else if (state == kData && At(j, "<!--")) {
                state = kEscaped;
                j += 1;  // the dashes may also close it: "<!-->"
            } else if (TagAt(j, "</", "script")) {
                if (state != kDoubleEscaped)
                    return j;
                state = kEscaped;
                j += 7;
            } else if (state == kEscaped && TagAt(j, "<", "script")) {
                state = kDoubleEscaped;
                j += 6;
            }
        }
        return m_n;
    }

    std::string_view m_page;
    size_t m_n;
    size_t m_textStart = 0;
    std::vector<CHtmlToken> m_tokens;
};

}  // namespace

std::vector<CHtmlToken> ScanHtml(std::string_view page) {
    return CScanner(page).Run();
}

const CHtmlAttribute* FindAttribute(const CHtmlToken& tag, std::string_view name) {
    for (const CHtmlAttribute& a : tag.attributes)
        if (a.name == name)
            return &a;
    return nullptr;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

}  // namespace rewrite
