// The public entry points: lexer, parser and emitter in a row.
#include <cstdint>

#include "browser/vbscript/emitter.h"
#include "browser/vbscript/lexer.h"
#include "browser/vbscript/parser.h"
#include "browser/vbscript/vbscript.h"

namespace {

// FNV-1a: a block's own suffix for its top-level temporaries.
uint32_t Fingerprint(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

CVbsTranslation Translate(std::string_view source, bool handler) {
    vbs::CProblemList problems;
    std::vector<vbs::Token> tokens = vbs::Tokenize(source);
    vbs::Program program = vbs::Parse(tokens, source, handler, &problems);
    CVbsTranslation result;
    result.js = vbs::EmitJs(program, handler ? vbs::EmitMode::Handler : vbs::EmitMode::Script,
                            Fingerprint(source), &problems);
    for (const vbs::Problem& p : problems.Items())
        result.problems.push_back("line " + std::to_string(p.line) + ": " + p.message);
    return result;
}

}  // namespace

CVbsTranslation TranslateVbScript(std::string_view source) {
    return Translate(source, false);
}

CVbsTranslation TranslateVbsHandler(std::string_view source) {
    return Translate(source, true);
}
