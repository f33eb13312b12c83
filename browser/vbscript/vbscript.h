// VBScript of old course pages, translated to JavaScript that runs beside a
// small runtime (VbsRuntimeJs) in a current browser. Text in and out is
// UTF-8; the JavaScript produced is plain ASCII (other characters are
// escaped), so it is the same bytes whatever encoding the page has.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CVbsTranslation {
    std::string js;
    // "line N: what could not be translated"; the same messages reach the
    // browser's console through console.warn calls in js.
    std::vector<std::string> problems;
};

// A <script language="vbscript"> block or a .vbs file. Top-level Dim, Const,
// Sub and Function become page globals (top-level var and function
// declarations); a Sub named Id_OnEvent is bound to that element's event
// once the page has loaded. What can't be translated becomes a console
// message; the output always parses as a classic script.
CVbsTranslation TranslateVbScript(std::string_view source);

// An event handler attribute's text ("vbscript:" prefix removed): a statement
// list, translated into the body of a JavaScript handler function. Me is the
// element (this).
CVbsTranslation TranslateVbsHandler(std::string_view source);

// The runtime the translated code calls, the global object $vbs. A page gets
// it once, before its first translated script; loading it twice is harmless.
const std::string& VbsRuntimeJs();
