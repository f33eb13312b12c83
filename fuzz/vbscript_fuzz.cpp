// A course page's VBScript as the course browser translates it, as a script
// block and as an event handler: whatever comes, the translation ends (the
// nesting it follows is bounded), its JavaScript parses (Qt's engine checks,
// without running it), it is printable ASCII without anything that would
// end the <script> element, and the input's text reaches it only inside
// string literals: every name outside them is the emitter's own, a member
// name, or a word of the input. The input taken as one string literal comes
// back as exactly that string.
#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "browser/vbscript/vbscript.h"
#include "fuzz/fuzz_env.h"

namespace {

QJSEngine& Engine() {
    static int argc = 1;
    static char name[] = "fuzz_vbscript";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QJSEngine engine;
    return engine;
}

// Whether the text parses as a function body: the grammar of a classic
// script, less the top-level "return" the emitter never writes there.
bool Parses(const std::string& js) {
    static QJSValue check = Engine().evaluate(
        "(function (s) { try { new Function(s); return true; } catch (e) { return false; } })");
    return check.call({QString::fromUtf8(js.data(), static_cast<int>(js.size()))}).toBool();
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool InputHasWord(std::string_view input, std::string_view word) {
    for (size_t at = 0; at + word.size() <= input.size(); ++at) {
        size_t i = 0;
        while (i < word.size() && Lower(input[at + i]) == Lower(word[i]))
            ++i;
        if (i == word.size())
            return true;
    }
    return false;
}

// Reads the string literal at js[*i] (a '"'), appending its UTF-16 code
// units; false when it is malformed (only JSON-style escapes are written).
bool ReadString(const std::string& js, size_t* i, std::u16string* units) {
    for (++*i; *i < js.size(); ++*i) {
        char c = js[*i];
        if (c == '"') {
            ++*i;
            return true;
        }
        if (c != '\\') {
            units->push_back(static_cast<char16_t>(c));
            continue;
        }
        if (++*i >= js.size())
            return false;
        switch (js[*i]) {
            case '"':
                units->push_back(u'"');
                break;
            case '\\':
                units->push_back(u'\\');
                break;
            case 'n':
                units->push_back(u'\n');
                break;
            case 'r':
                units->push_back(u'\r');
                break;
            case 't':
                units->push_back(u'\t');
                break;
            case 'b':
                units->push_back(u'\b');
                break;
            case 'f':
                units->push_back(u'\f');
                break;
            case 'u': {
                if (*i + 4 >= js.size())
                    return false;
                unsigned value = 0;
                for (int k = 1; k <= 4; ++k) {
                    char h = Lower(js[*i + k]);
                    int digit = h >= '0' && h <= '9'   ? h - '0'
                                : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                                       : -1;
                    if (digit < 0)
                        return false;
                    value = value * 16 + static_cast<unsigned>(digit);
                }
                units->push_back(static_cast<char16_t>(value));
                *i += 4;
                break;
            }
            default:
                return false;
        }
    }
    return false;
}

void CheckOutput(std::string_view input, const std::string& js) {
    FUZZ_CHECK(Parses(js));
    for (char c : js)
        FUZZ_CHECK(c == '\n' || (c >= 0x20 && c < 0x7F));
    FUZZ_CHECK(js.find("</") == std::string::npos);
    FUZZ_CHECK(js.find("<!") == std::string::npos);
    FUZZ_CHECK(js.find("-->") == std::string::npos);
    static const std::unordered_set<std::string_view> own = {
        "var", "function", "return", "if",    "else", "for",  "while", "do",     "break",
        "try", "catch",    "true",   "false", "null", "void", "this",  "window", "console"};
    for (size_t i = 0; i < js.size();) {
        char c = js[i];
        if (c == '"') {
            std::u16string ignored;
            FUZZ_CHECK(ReadString(js, &i, &ignored));
        } else if (IsNameStart(c)) {
            size_t start = i;
            while (i < js.size() && IsNameChar(js[i]))
                ++i;
            std::string_view word(js.data() + start, i - start);
            bool member = start > 0 && js[start - 1] == '.';
            if (!member && word[0] != '$' && !own.count(word)) {
                if (word.back() == '$')
                    word.remove_suffix(1);
                FUZZ_CHECK(InputHasWord(input, word));
            }
        } else if (c >= '0' && c <= '9') {
            while (i < js.size() &&
                   ((js[i] >= '0' && js[i] <= '9') || js[i] == '.' || js[i] == 'e' ||
                    ((js[i] == '+' || js[i] == '-') && js[i - 1] == 'e')))
                ++i;
        } else {
            FUZZ_CHECK(std::string_view(" \n(){}[],;:.=!?<>&|+-").find(c) !=
                       std::string_view::npos);
            ++i;
        }
    }
}

std::u16string Utf16(std::string_view utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckOutput(input, TranslateVbScript(input).js);
    CheckOutput(input, TranslateVbsHandler(input).js);

    // The input as one string literal: s = "...", quotes doubled, without
    // the line ends a literal can't hold.
    std::string payload, source = "s = \"";
    for (char c : input) {
        if (c == '\n' || c == '\r')
            continue;
        payload.push_back(c);
        source.push_back(c);
        if (c == '"')
            source.push_back('"');
    }
    source += "\"";
    if (!fuzz::IsValidUtf8(payload))
        return 0;
    CVbsTranslation literal = TranslateVbScript(source);
    FUZZ_CHECK(literal.problems.empty());
    const std::string head = "$vbs.s(\"s\", ";
    FUZZ_CHECK(literal.js.compare(0, head.size(), head) == 0);
    size_t at = head.size();
    std::u16string units;
    FUZZ_CHECK(at < literal.js.size() && literal.js[at] == '"' &&
               ReadString(literal.js, &at, &units));
    FUZZ_CHECK(literal.js.substr(at) == ");\n");
    FUZZ_CHECK(units == Utf16(payload));
    return 0;
}
