#include "browser/vbscript/lexer.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "browser/vbscript/names.h"

namespace vbs {

namespace {

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
    return IsAsciiLetter(c) || IsDigit(c) || c == '_';
}

int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class CLexer {
public:
    explicit CLexer(std::string_view source) : m_s(source) {}

    std::vector<Token> Run() {
        while (m_pos < m_s.size())
            Step();
        if (m_tokens.empty() || m_tokens.back().kind != TokenKind::Newline)
            Push(TokenKind::Newline, "");
        Push(TokenKind::End, "");
        return std::move(m_tokens);
    }

private:
    char At(size_t i) const { return i < m_s.size() ? m_s[i] : '\0'; }

    Token& Push(TokenKind kind, std::string text) {
        Token token;
        token.kind = kind;
        token.line = m_line;
        token.spaceBefore = m_space;
        token.text = std::move(text);
        m_tokens.push_back(std::move(token));
        m_space = false;
        m_lineStart = false;
        m_statementStart = kind == TokenKind::Newline || kind == TokenKind::Colon;
        return m_tokens.back();
    }

    // Width of a space character other than ASCII ones (no-break space,
    // ideographic space), which pasted course text holds; 0 for others.
    size_t WideSpace(size_t i) const {
        if (At(i) == '\xC2' && At(i + 1) == '\xA0')
            return 2;
        if (At(i) == '\xE3' && At(i + 1) == '\x80' && At(i + 2) == '\x80')
            return 3;
        return 0;
    }

    void SkipToLineEnd() {
        while (m_pos < m_s.size() && m_s[m_pos] != '\n' && m_s[m_pos] != '\r')
            ++m_pos;
    }

    // Consumes one line end at m_pos (CR, LF or CRLF).
    void TakeLineEnd() {
        if (At(m_pos) == '\r' && At(m_pos + 1) == '\n')
            ++m_pos;
        ++m_pos;
        ++m_line;
    }

    void Step() {
        const char c = m_s[m_pos];
        if (c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\0') {
            m_space = true;
            ++m_pos;
            return;
        }
        if (size_t width = WideSpace(m_pos)) {
            m_space = true;
            m_pos += width;
            return;
        }
        if (c == '\r' || c == '\n') {
            Push(TokenKind::Newline, "");
            TakeLineEnd();
            m_lineStart = true;
            return;
        }
        if (c == '\'') {
            SkipToLineEnd();
            return;
        }
        // Pages hide script text from very old browsers in an HTML comment.
        if (m_lineStart && (m_s.substr(m_pos, 4) == "<!--" || m_s.substr(m_pos, 3) == "-->")) {
            SkipToLineEnd();
            return;
        }
        if (c == '_' && Continuation())
            return;
        if (IsAsciiLetter(c)) {
            Name();
            return;
        }
        if (c == '[') {
            BracketedName();
            return;
        }
        if (IsDigit(c) || (c == '.' && IsDigit(At(m_pos + 1)))) {
            Decimal();
            return;
        }
        if (c == '&' && (At(m_pos + 1) == 'h' || At(m_pos + 1) == 'H')) {
            Radix(16, 2);
            return;
        }
        if (c == '&' && (At(m_pos + 1) == 'o' || At(m_pos + 1) == 'O')) {
            Radix(8, 2);
            return;
        }
        if (c == '&' && IsDigit(At(m_pos + 1))) {
            Radix(8, 1);
            return;
        }
        if (c == '"') {
            String();
            return;
        }
        if (c == '#') {
            DateLiteral();
            return;
        }
        if (c == ':') {
            ++m_pos;
            Push(TokenKind::Colon, ":");
            return;
        }
        for (const char* two : {"<>", "<=", ">="}) {
            if (m_s.substr(m_pos, 2) == two) {
                m_pos += 2;
                Push(TokenKind::Symbol, two);
                return;
            }
        }
        if (std::string_view("(),.=<>+-*/\\^&").find(c) != std::string_view::npos) {
            ++m_pos;
            Push(TokenKind::Symbol, std::string(1, c));
            return;
        }
        // One whole UTF-8 sequence, so the message shows the character.
        size_t end = m_pos + 1;
        while (end < m_s.size() && end < m_pos + 4 &&
               (static_cast<uint8_t>(m_s[end]) & 0xC0) == 0x80)
            ++end;
        Push(TokenKind::Invalid,
             "invalid character " + std::string(m_s.substr(m_pos, end - m_pos)));
        m_pos = end;
    }

    // " _" at a line's end joins the next line to this one.
    bool Continuation() {
        size_t i = m_pos + 1;
        while (At(i) == ' ' || At(i) == '\t')
            ++i;
        if (i < m_s.size() && At(i) != '\r' && At(i) != '\n')
            return false;
        m_pos = i;
        if (m_pos < m_s.size())
            TakeLineEnd();
        m_space = true;
        return true;
    }

    void Name() {
        size_t start = m_pos;
        while (m_pos < m_s.size() && IsNameChar(m_s[m_pos]))
            ++m_pos;
        std::string_view word = m_s.substr(start, m_pos - start);
        if (m_statementStart && EqualsNoCase(word, "rem")) {
            SkipToLineEnd();
            return;
        }
        Push(TokenKind::Identifier, std::string(word));
    }

    void BracketedName() {
        size_t close = m_pos + 1;
        while (close < m_s.size() && m_s[close] != ']' && m_s[close] != '\n' && m_s[close] != '\r')
            ++close;
        if (close >= m_s.size() || m_s[close] != ']') {
            m_pos = close;
            Push(TokenKind::Invalid, "unterminated [name]");
            return;
        }
        std::string name(m_s.substr(m_pos + 1, close - m_pos - 1));
        m_pos = close + 1;
        Push(TokenKind::Identifier, std::move(name)).bracketed = true;
    }

    void Decimal() {
        size_t start = m_pos;
        while (IsDigit(At(m_pos)))
            ++m_pos;
        if (At(m_pos) == '.') {
            ++m_pos;
            while (IsDigit(At(m_pos)))
                ++m_pos;
        }
        if ((At(m_pos) == 'e' || At(m_pos) == 'E')) {
            size_t i = m_pos + 1;
            if (At(i) == '+' || At(i) == '-')
                ++i;
            if (IsDigit(At(i))) {
                while (IsDigit(At(i)))
                    ++i;
                m_pos = i;
            }
        }
        std::string text(m_s.substr(start, m_pos - start));
        if (text.back() == '.')
            text.pop_back();
        double value = 0;
        auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc::result_out_of_range) {
            bool tiny =
                text.find("e-") != std::string::npos || text.find("E-") != std::string::npos;
            value = tiny ? 0.0 : HUGE_VAL;
        }
        Push(TokenKind::Number, std::move(text)).number = value;
    }

    // &H1F, &O17, &17; a trailing & marks a Long. Without it the value's
    // bits are read as a 16-bit Integer when they fit (&HFFFF is -1), else
    // as a 32-bit Long.
    void Radix(int base, size_t prefix) {
        size_t start = m_pos;
        m_pos += prefix;
        double value = 0;
        int digits = 0;
        for (;;) {
            int d = HexValue(At(m_pos));
            if (d < 0 || d >= base)
                break;
            value = value * base + d;
            ++digits;
            ++m_pos;
        }
        if (digits == 0) {
            Push(TokenKind::Invalid, "number without digits");
            return;
        }
        bool isLong = At(m_pos) == '&';
        if (isLong)
            ++m_pos;
        if (!isLong && value <= 0xFFFF && value >= 0x8000)
            value -= 65536.0;
        else if (value <= 4294967295.0 && value >= 2147483648.0)
            value -= 4294967296.0;
        Push(TokenKind::Number, std::string(m_s.substr(start, m_pos - start))).number = value;
    }

    void String() {
        std::string content;
        size_t i = m_pos + 1;
        for (;;) {
            if (i >= m_s.size() || m_s[i] == '\n' || m_s[i] == '\r') {
                m_pos = i;
                Push(TokenKind::Invalid, "unterminated string");
                return;
            }
            if (m_s[i] == '"') {
                if (At(i + 1) != '"')
                    break;
                ++i;
            }
            content.push_back(m_s[i]);
            ++i;
        }
        m_pos = i + 1;
        Push(TokenKind::String, std::move(content));
    }

    void DateLiteral() {
        size_t close = m_pos + 1;
        while (close < m_s.size() && m_s[close] != '#' && m_s[close] != '\n' && m_s[close] != '\r')
            ++close;
        if (close >= m_s.size() || m_s[close] != '#') {
            m_pos = close;
            Push(TokenKind::Invalid, "unterminated #date#");
            return;
        }
        std::string text(m_s.substr(m_pos + 1, close - m_pos - 1));
        m_pos = close + 1;
        Push(TokenKind::Date, std::move(text));
    }

    std::string_view m_s;
    size_t m_pos = 0;
    int m_line = 1;
    bool m_space = false;
    bool m_lineStart = true;
    bool m_statementStart = true;
    std::vector<Token> m_tokens;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view source) {
    return CLexer(source).Run();
}

bool IsWord(const Token& token, std::string_view lowerWord) {
    return token.kind == TokenKind::Identifier && !token.bracketed &&
           EqualsNoCase(token.text, lowerWord);
}

bool IsSymbol(const Token& token, std::string_view symbol) {
    return token.kind == TokenKind::Symbol && token.text == symbol;
}

}  // namespace vbs
