// VBScript tokens to a syntax tree. A statement that can't be parsed becomes
// a Problem statement where it stood, and parsing goes on with the next one,
// so one bad line never loses the rest of a block.
#pragma once

#include <string_view>
#include <vector>

#include "browser/vbscript/lexer.h"
#include "browser/vbscript/syntax.h"

namespace vbs {

// handler: an event handler's statement list, where no Sub or Function can
// be declared and Exit Sub leaves the handler. source gives the line texts
// the problems quote.
Program Parse(const std::vector<Token>& tokens, std::string_view source, bool handler,
              CProblemList* problems);

}  // namespace vbs
