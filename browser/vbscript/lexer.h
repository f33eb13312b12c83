// VBScript source as tokens. Comments and line continuations are gone;
// keywords are plain identifiers the parser recognises by their text, since
// VBScript lets members (obj.Next, document.Close) reuse them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vbs {

enum class TokenKind {
    Identifier,  // text: the name as written ([bracketed] names without brackets)
    Number,      // number: the value
    String,      // text: the content, "" already made one quote
    Date,        // text: what stood between the # signs
    Symbol,      // text: ( ) , . = <> < > <= >= + - * / \ ^ &
    Colon,       // statement separator on one line
    Newline,
    Invalid,  // text: what is wrong
    End,
};

struct Token {
    TokenKind kind = TokenKind::End;
    int line = 1;
    bool spaceBefore = false;  // "F (a)" passes (a); "F(a)" calls
    bool bracketed = false;
    double number = 0;
    std::string text;
};

// Always ends with an End token; a newline comes before it when the text
// didn't end in one, so every statement is terminated.
std::vector<Token> Tokenize(std::string_view source);

// Whether the token is the identifier word (lower-case ASCII), any case.
bool IsWord(const Token& token, std::string_view lowerWord);
bool IsSymbol(const Token& token, std::string_view symbol);

}  // namespace vbs
