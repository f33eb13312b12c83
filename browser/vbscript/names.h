// The names VBScript code can use without declaring them, and how a
// VBScript name becomes a JavaScript one. VBScript names are ASCII and
// ignore case; JavaScript's don't, so every lookup here goes by the
// lower-case form.
#pragma once

#include <string>
#include <string_view>

namespace vbs {

std::string AsciiLower(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

// The JavaScript identifier for a declared VBScript name: the name itself,
// with "$" appended when it would clash with a JavaScript reserved word or a
// browser global a top-level var must not replace (name, top, Object, ...).
// A [bracketed] name that isn't a plain identifier is spelled out in hex.
std::string JsName(std::string_view vbName);

// Words VBScript reserves for its statements and operators; they are never
// variable names in an expression.
bool IsReservedWord(std::string_view lowerName);

enum class BuiltinKind {
    Function,  // a member of $vbs (value: its name there)
    Constant,  // value: a JavaScript literal
    Host,      // a browser global, value: how translated code reaches it
};

struct Builtin {
    BuiltinKind kind;
    const char* value;
};

// The built-in function, constant or browser global a name stands for when
// the script declares nothing of that name; nullptr when there is none.
const Builtin* FindBuiltin(std::string_view lowerName);

}  // namespace vbs
