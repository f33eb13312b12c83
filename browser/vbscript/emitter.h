// The syntax tree as JavaScript calling the runtime ($vbs). Operators,
// members, calls and indexes go through the runtime, which knows VBScript's
// conversions and finds host members whatever their case; names the block
// declares become plain JavaScript variables and functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "browser/vbscript/syntax.h"

namespace vbs {

enum class EmitMode {
    Script,   // top-level declarations become page globals
    Handler,  // a handler function's body
};

// seed tells one block's top-level temporaries from another's (a block can
// run while another is in the middle of a loop, through document.write).
std::string EmitJs(const Program& program, EmitMode mode, uint32_t seed, CProblemList* problems);

// A JavaScript string literal holding the UTF-8 text, in ASCII only: other
// characters, quotes, backslashes, controls and < > are escaped, so the
// literal can't end early, break a line or close the <script> element it
// sits in. Malformed UTF-8 becomes U+FFFD.
std::string JsString(std::string_view utf8);

}  // namespace vbs
