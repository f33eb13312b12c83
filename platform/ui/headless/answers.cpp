#include "platform/ui/headless/answers.h"

#include <cctype>
#include <climits>
#include <filesystem>
#include <optional>

#include "platform/text/number.h"
#include "platform/text/text.h"

namespace ui::headless {
namespace {

struct Token {
    enum class Kind { Word, String, Colon, Semicolon, Star, AtLeast };
    Kind kind;
    std::string text;
};

class CLineError {
public:
    explicit CLineError(std::string what) : m_what(std::move(what)) {}
    const std::string& What() const { return m_what; }

private:
    std::string m_what;
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<Token> Tokenise(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (IsSpace(c)) {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string value;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i];
                if (d == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    value += line[i + 1];
                    i += 2;
                } else if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    value += d;
                    ++i;
                }
            }
            if (!closed) {
                throw CLineError("a quoted text is not closed");
            }
            tokens.push_back({Token::Kind::String, std::move(value)});
        } else if (c == ':') {
            tokens.push_back({Token::Kind::Colon, ":"});
            ++i;
        } else if (c == ';') {
            tokens.push_back({Token::Kind::Semicolon, ";"});
            ++i;
        } else if (c == '*') {
            tokens.push_back({Token::Kind::Star, "*"});
            ++i;
        } else if (c == '>') {
            if (i + 1 >= line.size() || line[i + 1] != '=') {
                throw CLineError("only '>=' can compare");
            }
            tokens.push_back({Token::Kind::AtLeast, ">="});
            i += 2;
        } else {
            std::size_t start = i;
            while (i < line.size() && !IsSpace(line[i]) && line[i] != '#' && line[i] != '"' &&
                   line[i] != ':' && line[i] != ';' && line[i] != '*' && line[i] != '>') {
                ++i;
            }
            tokens.push_back({Token::Kind::Word, std::string(line.substr(start, i - start))});
        }
    }
    return tokens;
}

class CRuleParser {
public:
    explicit CRuleParser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    AnswerRule Parse() {
        AnswerRule rule;
        std::string keyword = text::AsciiLower(Word("'dialog' or 'messagebox'"));
        if (keyword == "dialog") {
            rule.kind = AnswerRule::Kind::Dialog;
            rule.dialogId = Number("a dialog id");
            if (PeekWord("when")) {
                ++m_pos;
                rule.hasWhen = true;
                rule.whenControl = Number("a progress bar id after 'when'");
                Expect(Token::Kind::AtLeast, "'>=' after the progress bar id");
                rule.whenPos = Number("a position after '>='");
            }
        } else if (keyword == "messagebox") {
            rule.kind = AnswerRule::Kind::MessageBox;
            std::string utf8 = String("the message box text in quotes");
            rule.anyBox = utf8 == "*";
            rule.boxText = text::Utf8ToGbk(utf8);
        } else {
            throw CLineError("a rule starts with 'dialog' or 'messagebox', not '" + keyword + "'");
        }
        Expect(Token::Kind::Colon, "':' before the actions");
        for (;;) {
            rule.actions.push_back(Action());
            if (AtEnd()) {
                break;
            }
            if (m_tokens[m_pos].kind == Token::Kind::Star) {
                ++m_pos;
                if (!AtEnd()) {
                    throw CLineError("'*' (repeat) must end the line");
                }
                rule.repeat = true;
                break;
            }
            Expect(Token::Kind::Semicolon, "';' between actions");
        }
        return rule;
    }

private:
    bool AtEnd() const { return m_pos >= m_tokens.size(); }

    bool PeekWord(const char* word) const {
        return !AtEnd() && m_tokens[m_pos].kind == Token::Kind::Word &&
               text::EqualsNoCase(m_tokens[m_pos].text, word);
    }

    const Token& Next(Token::Kind kind, const std::string& what) {
        if (AtEnd()) {
            throw CLineError("expected " + what + " at the end of the line");
        }
        const Token& token = m_tokens[m_pos];
        if (token.kind != kind) {
            throw CLineError("expected " + what + ", found '" + token.text + "'");
        }
        ++m_pos;
        return token;
    }

    void Expect(Token::Kind kind, const std::string& what) { Next(kind, what); }
    std::string Word(const std::string& what) { return Next(Token::Kind::Word, what).text; }
    std::string String(const std::string& what) { return Next(Token::Kind::String, what).text; }

    int Number(const std::string& what) {
        std::string word = Word(what);
        if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos)
            throw CLineError("expected " + what + ", found '" + word + "'");
        const std::optional<std::int64_t> value = text::ParseDecimal(word, 0, INT_MAX);
        if (!value)
            throw CLineError("the number " + word + " is too large");
        return static_cast<int>(*value);
    }

    char Drive() {
        std::string word = Word("a drive letter such as E:");
        if (word.size() != 1 || !std::isalpha(static_cast<unsigned char>(word[0]))) {
            throw CLineError("expected a drive letter such as E:, found '" + word + "'");
        }
        Expect(Token::Kind::Colon, "':' after the drive letter");
        return static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    }

    AnswerAction Action() {
        AnswerAction action;
        std::string verb = text::AsciiLower(Word("an action (press, type, insert, eject, wait)"));
        if (verb == "press") {
            action.kind = AnswerAction::Kind::Press;
            action.id = Number("a button id after 'press'");
        } else if (verb == "type") {
            action.kind = AnswerAction::Kind::Type;
            action.id = Number("an edit control id after 'type'");
            action.text = text::Utf8ToGbk(String("the text to type, in quotes"));
        } else if (verb == "insert") {
            action.kind = AnswerAction::Kind::Insert;
            action.drive = Drive();
            std::string folder = String("the disc's folder, in quotes");
            if (folder.empty()) {
                throw CLineError("the disc's folder is empty");
            }
            std::error_code error;
            auto absolute = std::filesystem::absolute(folder, error);
            action.text = error ? folder : absolute.string();
        } else if (verb == "eject") {
            action.kind = AnswerAction::Kind::Eject;
            action.drive = Drive();
        } else if (verb == "wait") {
            action.kind = AnswerAction::Kind::Wait;
            action.ms = static_cast<DWORD>(Number("milliseconds after 'wait'"));
        } else {
            throw CLineError("unknown action '" + verb + "'");
        }
        return action;
    }

    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
};

}  // namespace

std::vector<AnswerRule> ParseAnswers(std::string_view utf8, const std::string& fileName,
                                     std::vector<std::string>* errors) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
        utf8.remove_prefix(3);  // a byte-order mark some editors write
    }
    std::vector<AnswerRule> rules;
    int lineNumber = 0;
    while (!utf8.empty() || lineNumber == 0) {
        std::size_t end = utf8.find('\n');
        std::string_view line = utf8.substr(0, end);
        utf8 = end == std::string_view::npos ? std::string_view() : utf8.substr(end + 1);
        ++lineNumber;
        try {
            std::vector<Token> tokens = Tokenise(line);
            if (tokens.empty()) {
                continue;
            }
            AnswerRule rule = CRuleParser(std::move(tokens)).Parse();
            rule.line = lineNumber;
            rules.push_back(std::move(rule));
        } catch (const CLineError& e) {
            if (errors) {
                errors->push_back(fileName + ":" + std::to_string(lineNumber) + ": " + e.What());
            }
        }
    }
    return rules;
}

}  // namespace ui::headless
