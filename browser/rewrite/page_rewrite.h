// The course browser's page rewriter: course pages were written for a
// browser that ran VBScript and hosted ActiveX controls; a current engine
// runs neither. Every page and .vbs file the browser serves goes through
// here: VBScript becomes JavaScript for the runtime $vbs, controls become
// objects of the bridge ($tv), which asks the browser to run them, and media
// players become play boxes the browser answers with its own player. The
// rest of a page keeps its bytes, in its own charset.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One construct of the page the rewriter replaced.
struct CRewriteEdit {
    enum class EKind {
        kBridgeTag,  // the inserted <script src="/.telvora/bridge.js"></script>: nothing replaced
        kScript,     // a VBScript <script> element, from its start tag to its end tag
        kScriptSrc,  // the start tag of a VBScript <script src=...>
        kHandler,    // an event handler attribute's value (with its quotes)
        kHref,       // a vbscript: href's value (with its quotes)
        kObject,     // an <object> element, from its start tag to its end tag
    };
    EKind kind;
    // The page's bytes [inputBegin, inputEnd) became the result's bytes
    // [outputBegin, outputEnd); between edits the bytes are the page's.
    std::size_t inputBegin;
    std::size_t inputEnd;
    std::size_t outputBegin;
    std::size_t outputEnd;
};

struct CRewriteResult {
    std::string bytes;
    // "line N: ..." (UTF-8) for what could not be translated; the page's
    // console gets the same as warnings.
    std::vector<std::string> problems;
    // Pages only: the replaced constructs in order, without overlaps.
    std::vector<CRewriteEdit> edits;
    // Pages: the charset the page's bytes are in, for the Content-Type
    // ("GBK" unless the page says otherwise). Scripts: "UTF-8" (ASCII).
    std::string charset;
};

// Where the browser serves BridgeScript(): a path on the pages' own origin.
constexpr char kBridgeUrl[] = "/.telvora/bridge.js";

// An HTML page as served from the course, in the page's own charset
// (normally GBK; it is never re-encoded).
CRewriteResult RewritePage(std::string_view page);

// A .vbs file loaded by <script src="x.vbs">: GBK, or UTF-8 / UTF-16 after
// a byte order mark, in; JavaScript out.
CRewriteResult RewriteVbsFile(std::string_view file);

// The script every rewritten page loads first: the $vbs runtime and the
// bridge $tv. ASCII.
const std::string& BridgeScript();
