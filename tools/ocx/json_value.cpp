#include "tools/ocx/json_value.h"

#include <charconv>

namespace {

// Nesting no request needs; deeper input is refused, not recursed into.
constexpr int kMaxDepth = 32;

class CJsonReader {
public:
    explicit CJsonReader(std::string_view text) : m_text(text) {}

    std::optional<CJsonValue> Whole(std::string* error) {
        CJsonValue value;
        SkipBlanks();
        if (!Value(&value, 0)) {
            *error = m_error + " at byte " + std::to_string(m_pos);
            return std::nullopt;
        }
        SkipBlanks();
        if (m_pos != m_text.size()) {
            *error = "text after the value at byte " + std::to_string(m_pos);
            return std::nullopt;
        }
        return value;
    }

private:
    bool Fail(const char* why) {
        m_error = why;
        return false;
    }
    void SkipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\r' || m_text[m_pos] == '\n'))
            ++m_pos;
    }
    bool Take(char c) {
        SkipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word)
            return false;
        m_pos += word.size();
        return true;
    }

    bool Value(CJsonValue* out, int depth) {
        if (depth > kMaxDepth)
            return Fail("nested too deeply");
        SkipBlanks();
        if (m_pos >= m_text.size())
            return Fail("a value is missing");
        const char c = m_text[m_pos];
        if (c == '{')
            return Object(out, depth);
        if (c == '[')
            return Array(out, depth);
        if (c == '"') {
            out->kind = CJsonValue::Kind::String;
            return String(&out->text);
        }
        if (Word("true") || Word("false")) {
            out->kind = CJsonValue::Kind::Bool;
            out->boolean = c == 't';
            return true;
        }
        if (Word("null"))
            return true;
        return Number(out);
    }

    bool Object(CJsonValue* out, int depth) {
        ++m_pos;
        out->kind = CJsonValue::Kind::Object;
        if (Take('}'))
            return true;
        do {
            SkipBlanks();
            std::string name;
            if (m_pos >= m_text.size() || m_text[m_pos] != '"' || !String(&name))
                return Fail("a member name is missing");
            if (!Take(':'))
                return Fail("':' is missing");
            CJsonValue member;
            if (!Value(&member, depth + 1))
                return false;
            out->members[name] = std::move(member);
        } while (Take(','));
        return Take('}') || Fail("'}' is missing");
    }

    bool Array(CJsonValue* out, int depth) {
        ++m_pos;
        out->kind = CJsonValue::Kind::Array;
        if (Take(']'))
            return true;
        do {
            CJsonValue item;
            if (!Value(&item, depth + 1))
                return false;
            out->items.push_back(std::move(item));
        } while (Take(','));
        return Take(']') || Fail("']' is missing");
    }

    bool Hex4(unsigned* unit) {
        if (m_pos + 4 > m_text.size())
            return Fail("a \\u escape is cut short");
        *unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = m_text[m_pos++];
            *unit <<= 4;
            if (h >= '0' && h <= '9')
                *unit |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f')
                *unit |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                *unit |= static_cast<unsigned>(h - 'A' + 10);
            else
                return Fail("a \\u escape holds no hexadecimal digits");
        }
        return true;
    }

    static void AppendUtf8(std::string* out, unsigned cp) {
        if (cp < 0x80) {
            out->push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }

    bool String(std::string* out) {
        ++m_pos;  // the opening quote
        for (;;) {
            if (m_pos >= m_text.size())
                return Fail("a string is not closed");
            const char c = m_text[m_pos++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return Fail("a control character in a string");
            if (c != '\\') {
                out->push_back(c);
                continue;
            }
            if (m_pos >= m_text.size())
                return Fail("an escape is cut short");
            const char e = m_text[m_pos++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out->push_back(e);
                    break;
                case 'b':
                    out->push_back('\b');
                    break;
                case 'f':
                    out->push_back('\f');
                    break;
                case 'n':
                    out->push_back('\n');
                    break;
                case 'r':
                    out->push_back('\r');
                    break;
                case 't':
                    out->push_back('\t');
                    break;
                case 'u': {
                    unsigned unit = 0;
                    if (!Hex4(&unit))
                        return false;
                    // A surrogate pair is one character; a lone half is
                    // no character at all.
                    if (unit >= 0xD800 && unit <= 0xDBFF && m_text.substr(m_pos, 2) == "\\u") {
                        m_pos += 2;
                        unsigned low = 0;
                        if (!Hex4(&low))
                            return false;
                        if (low < 0xDC00 || low > 0xDFFF)
                            return Fail("a surrogate pair is broken");
                        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                        return Fail("a lone surrogate");
                    }
                    AppendUtf8(out, unit);
                    break;
                }
                default:
                    return Fail("an unknown escape");
            }
        }
    }

    bool Number(CJsonValue* out) {
        const std::size_t start = m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '-')
            ++m_pos;
        const std::size_t digits = m_pos;
        while (m_pos < m_text.size() &&
               ((m_text[m_pos] >= '0' && m_text[m_pos] <= '9') || m_text[m_pos] == '.' ||
                m_text[m_pos] == 'e' || m_text[m_pos] == 'E' || m_text[m_pos] == '+' ||
                m_text[m_pos] == '-'))
            ++m_pos;
        if (m_pos == digits || m_text[digits] < '0' || m_text[digits] > '9')
            return Fail("not a value");
        out->kind = CJsonValue::Kind::Number;
        out->text = std::string(m_text.substr(start, m_pos - start));
        // Whatever the locale says a decimal point is.
        const char* first = out->text.data();
        const char* last = first + out->text.size();
        const auto [end, ec] = std::from_chars(first, last, out->number);
        if (ec != std::errc() || end != last)
            return Fail("a malformed number");
        return true;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

const CJsonValue* CJsonValue::Find(const std::string& name) const {
    if (kind != Kind::Object)
        return nullptr;
    auto it = members.find(name);
    return it == members.end() ? nullptr : &it->second;
}

std::optional<CJsonValue> ParseJson(std::string_view text, std::string* error) {
    return CJsonReader(text).Whole(error);
}
