#include "browser/vbscript/names.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <unordered_map>
#include <unordered_set>

namespace vbs {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsPlainIdentifier(std::string_view name) {
    if (name.empty() || !((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z')))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

// Lower-case names a translated declaration must not take as they are.
const std::unordered_set<std::string_view>& ClashingNames() {
    static const std::unordered_set<std::string_view> names = {
        // JavaScript's reserved words and values
        "break", "case", "catch", "class", "const", "continue", "debugger", "default", "delete",
        "do", "else", "enum", "export", "extends", "false", "finally", "for", "function", "if",
        "import", "in", "instanceof", "new", "null", "return", "super", "switch", "this", "throw",
        "true", "try", "typeof", "var", "void", "while", "with", "yield", "let", "static",
        "implements", "interface", "package", "private", "protected", "public", "await",
        "arguments", "eval", "undefined", "nan", "infinity", "globalthis",
        // window properties a top-level var would hit (window.name keeps only
        // strings, top can't be replaced) or that translated code relies on
        "window", "self", "top", "parent", "frames", "name", "status", "length", "location",
        "history", "document", "navigator", "opener", "closed", "event", "external", "screen",
        "origin", "frameelement", "defaultstatus", "console",
        // the JavaScript built-ins the runtime uses
        "object", "array", "string", "number", "boolean", "date", "math", "regexp", "error",
        "typeerror", "json", "symbol", "map", "weakmap", "set", "promise", "proxy", "reflect",
        "parseint", "parsefloat", "isnan", "isfinite", "textdecoder", "settimeout"};
    return names;
}

const std::unordered_set<std::string_view>& ReservedWords() {
    static const std::unordered_set<std::string_view> words = {
        "and",      "byref",    "byval", "call",   "case",   "class",  "const", "dim",
        "do",       "each",     "else",  "elseif", "end",    "eqv",    "error", "exit",
        "for",      "function", "goto",  "if",     "imp",    "in",     "is",    "loop",
        "mod",      "new",      "next",  "not",    "on",     "option", "or",    "preserve",
        "private",  "public",   "redim", "rem",    "resume", "select", "set",   "step",
        "sub",      "then",     "to",    "until",  "wend",   "while",  "with",  "xor",
        "property", "let",      "stop"};
    return words;
}

// VBScript's built-in functions, each a member of $vbs of the same name.
const char kFunctions[] =
    "Abs Array Asc AscB AscW Atn CBool CByte CCur CDate CDbl Chr ChrB ChrW CInt CLng Cos "
    "CreateObject CSng CStr Date DateAdd DateDiff DatePart DateSerial DateValue Day Escape Eval "
    "Execute ExecuteGlobal Exp Filter Fix FormatCurrency FormatDateTime FormatNumber "
    "FormatPercent GetObject GetRef Hex Hour InputBox InStr InStrRev Int IsArray IsDate IsEmpty "
    "IsNull IsNumeric IsObject Join LBound LCase Left Len LenB Log LTrim Mid Minute Month "
    "MonthName MsgBox Now Oct Randomize Replace RGB Right Rnd Round RTrim ScriptEngine "
    "ScriptEngineBuildVersion ScriptEngineMajorVersion ScriptEngineMinorVersion Second Sgn Sin "
    "Space Split Sqr StrComp String StrReverse Tan Time Timer TimeSerial TimeValue Trim "
    "TypeName UBound UCase Unescape VarType Weekday WeekdayName Year";

// Its constants, name=JavaScript literal.
const char kConstants[] =
    "vbCrLf=\"\\r\\n\" vbNewLine=\"\\r\\n\" vbCr=\"\\r\" vbLf=\"\\n\" vbTab=\"\\t\" "
    "vbNullString=\"\" vbNullChar=\"\\u0000\" vbBack=\"\\b\" vbFormFeed=\"\\f\" "
    "vbVerticalTab=\"\\u000b\" "
    "vbOKOnly=0 vbOKCancel=1 vbAbortRetryIgnore=2 vbYesNoCancel=3 vbYesNo=4 vbRetryCancel=5 "
    "vbCritical=16 vbQuestion=32 vbExclamation=48 vbInformation=64 vbDefaultButton1=0 "
    "vbDefaultButton2=256 vbDefaultButton3=512 vbDefaultButton4=768 vbApplicationModal=0 "
    "vbSystemModal=4096 vbOK=1 vbCancel=2 vbAbort=3 vbRetry=4 vbIgnore=5 vbYes=6 vbNo=7 "
    "vbBinaryCompare=0 vbTextCompare=1 vbDatabaseCompare=2 vbUseSystemDayOfWeek=0 vbSunday=1 "
    "vbMonday=2 vbTuesday=3 vbWednesday=4 vbThursday=5 vbFriday=6 vbSaturday=7 vbUseSystem=0 "
    "vbFirstJan1=1 vbFirstFourDays=2 vbFirstFullWeek=3 vbGeneralDate=0 vbLongDate=1 "
    "vbShortDate=2 vbLongTime=3 vbShortTime=4 vbUseDefault=-2 vbTrue=-1 vbFalse=0 vbEmpty=0 "
    "vbNull=1 vbInteger=2 vbLong=3 vbSingle=4 vbDouble=5 vbCurrency=6 vbDate=7 vbString=8 "
    "vbObject=9 vbError=10 vbBoolean=11 vbVariant=12 vbDataObject=13 vbDecimal=14 vbByte=17 "
    "vbArray=8192 vbObjectError=-2147221504 vbBlack=0 vbRed=255 vbGreen=65280 vbYellow=65535 "
    "vbBlue=16711680 vbMagenta=16711935 vbCyan=16776960 vbWhite=16777215";

// Browser globals, reached through window: in an inline handler a bare name
// would first find the element's, the form's and the document's members.
const char kHosts[] =
    "document navigator location history screen frames top parent self opener event external";

const std::unordered_map<std::string, Builtin>& Builtins() {
    static const std::unordered_map<std::string, Builtin> table = [] {
        std::unordered_map<std::string, Builtin> t;
        // The texts live as long as the table; a deque never moves them.
        static std::deque<std::string> texts;
        const auto words = [](std::string_view list, const auto& take) {
            size_t start = 0;
            while (start < list.size()) {
                size_t end = list.find(' ', start);
                end = end == std::string_view::npos ? list.size() : end;
                take(list.substr(start, end - start));
                start = end + 1;
            }
        };
        words(kFunctions, [&](std::string_view f) {
            t.emplace(AsciiLower(f), Builtin{BuiltinKind::Function, texts.emplace_back(f).c_str()});
        });
        words(kConstants, [&](std::string_view c) {
            size_t eq = c.find('=');
            t.emplace(AsciiLower(c.substr(0, eq)),
                      Builtin{BuiltinKind::Constant, texts.emplace_back(c.substr(eq + 1)).c_str()});
        });
        words(kHosts, [&](std::string_view h) {
            t.emplace(
                std::string(h),
                Builtin{BuiltinKind::Host, texts.emplace_back("window." + std::string(h)).c_str()});
        });
        t.emplace("err", Builtin{BuiltinKind::Host, "$vbs.Err"});
        t.emplace("window", Builtin{BuiltinKind::Host, "window"});
        return t;
    }();
    return table;
}

}  // namespace

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = Lower(c);
    return lower;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string JsName(std::string_view vbName) {
    if (!IsPlainIdentifier(vbName)) {
        std::string spelled = "$b_";
        for (unsigned char c : vbName) {
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
                spelled.push_back(static_cast<char>(c));
            } else {
                char hex[4];
                std::snprintf(hex, sizeof hex, "$%02x", c);
                spelled += hex;
            }
        }
        return spelled;
    }
    std::string name(vbName);
    if (ClashingNames().count(AsciiLower(vbName)))
        name.push_back('$');
    return name;
}

bool IsReservedWord(std::string_view lowerName) {
    return ReservedWords().count(lowerName) != 0;
}

const Builtin* FindBuiltin(std::string_view lowerName) {
    auto it = Builtins().find(std::string(lowerName));
    return it == Builtins().end() ? nullptr : &it->second;
}

}  // namespace vbs
