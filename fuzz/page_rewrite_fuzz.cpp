// A course page as the course browser rewrites it. Whatever comes, the
// rewrite ends, and the result is the page with exactly the edits it
// reports applied: between edits every byte is the page's, in order. Each
// edit replaces only the construct its kind names (a VBScript script
// element, an event handler's or a vbscript: link's value, an object
// element), and what it writes can't break out of that construct (no quote
// inside an attribute value, no "</" or "<!" inside a script). The one
// bridge tag comes first, with only a byte order mark, blanks, comments and
// doctypes before it. The result grows at most linearly. A .vbs file comes
// out as ASCII JavaScript.
#include <cstdint>
#include <string>
#include <string_view>

#include "browser/rewrite/page_rewrite.h"
#include "fuzz/fuzz_env.h"

namespace {

using EKind = CRewriteEdit::EKind;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i]))
            return false;
    return true;
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (c != '\n' && (c < 0x20 || c >= 0x7F))
            return false;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

size_t CommentEnd(std::string_view page, size_t from) {
    if (page.substr(from, 1) == ">")
        return from + 1;
    if (page.substr(from, 2) == "->")
        return from + 2;
    for (size_t at = from;; ++at) {
        at = page.find("--", at);
        if (at == std::string_view::npos)
            return page.size();
        if (page.substr(at + 2, 1) == ">")
            return at + 3;
        if (page.substr(at + 2, 2) == "!>")
            return at + 4;
    }
}

// Whether the page's first bytes are only a byte order mark, blanks,
// comments, doctypes and the like, so a script after them changes nothing.
bool OnlyPreamble(std::string_view page, size_t length) {
    size_t i = length >= 3 && page.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (i < length) {
        if (IsBlank(page[i])) {
            ++i;
            continue;
        }
        if (page[i] != '<' || i + 1 >= page.size())
            return false;
        char next = page[i + 1];
        char after = i + 2 < page.size() ? page[i + 2] : '\0';
        bool letter = (after >= 'a' && after <= 'z') || (after >= 'A' && after <= 'Z');
        if (page.substr(i, 4) == "<!--") {
            i = CommentEnd(page, i + 4);
        } else if (next == '!' || next == '?' || (next == '/' && after != '\0' && !letter)) {
            size_t gt = page.find('>', i + 1);
            i = gt == std::string_view::npos ? page.size() : gt + 1;
        } else {
            return false;
        }
    }
    return i == length;
}

void CheckEdit(const CRewriteEdit& e, std::string_view page, std::string_view replaced,
               std::string_view written) {
    switch (e.kind) {
        case EKind::kBridgeTag:
            FUZZ_CHECK(replaced.empty());
            FUZZ_CHECK(written == std::string("<script src=\"") + kBridgeUrl + "\"></script>");
            break;
        case EKind::kScript: {
            FUZZ_CHECK(StartsNoCase(replaced, "<script"));
            FUZZ_CHECK(written.substr(0, 8) == "<script>");
            FUZZ_CHECK(written.size() >= 17 && written.substr(written.size() - 9) == "</script>");
            std::string_view js = written.substr(8, written.size() - 17);
            FUZZ_CHECK(IsAscii(js));
            FUZZ_CHECK(js.find("</") == std::string_view::npos);
            FUZZ_CHECK(js.find("<!") == std::string_view::npos);
            break;
        }
        case EKind::kScriptSrc:
            FUZZ_CHECK(StartsNoCase(replaced, "<script") && replaced.back() == '>');
            FUZZ_CHECK(StartsNoCase(written, "<script") && written.back() == '>');
            FUZZ_CHECK(written.size() < replaced.size());
            break;
        case EKind::kHandler:
        case EKind::kHref: {
            // The value of an attribute: "on..." or "href" and '=' before it.
            size_t at = e.inputBegin;
            while (at > 0 && IsBlank(page[at - 1]))
                --at;
            FUZZ_CHECK(at > 0 && page[at - 1] == '=');
            FUZZ_CHECK(written.size() >= 2 && written.front() == '"' && written.back() == '"');
            std::string_view value = written.substr(1, written.size() - 2);
            FUZZ_CHECK(value.find('"') == std::string_view::npos);
            if (e.kind == EKind::kHref) {
                FUZZ_CHECK(value.substr(0, 11) == "javascript:");
                FUZZ_CHECK(IsAscii(value) && value.find('\n') == std::string_view::npos);
            }
            break;
        }
        case EKind::kObject:
            FUZZ_CHECK(StartsNoCase(replaced, "<object"));
            FUZZ_CHECK(IsAscii(written));
            FUZZ_CHECK(written.substr(0, 20) == "<script>$tv.object(\"" ||
                       written.substr(0, 5) == "<span");
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    CRewriteResult r = RewritePage(page);
    const std::string_view out(r.bytes);

    FUZZ_CHECK(!r.edits.empty() && r.edits.front().kind == EKind::kBridgeTag);
    FUZZ_CHECK(OnlyPreamble(page, r.edits.front().inputBegin));
    size_t in = 0, done = 0;
    for (const CRewriteEdit& e : r.edits) {
        FUZZ_CHECK(e.inputBegin >= in && e.inputEnd >= e.inputBegin && e.inputEnd <= page.size());
        FUZZ_CHECK(e.outputBegin >= done && e.outputEnd >= e.outputBegin &&
                   e.outputEnd <= out.size());
        // Untouched bytes between edits.
        FUZZ_CHECK(e.outputBegin - done == e.inputBegin - in);
        FUZZ_CHECK(out.substr(done, e.outputBegin - done) == page.substr(in, e.inputBegin - in));
        FUZZ_CHECK(&e == &r.edits.front() || e.kind != EKind::kBridgeTag);
        CheckEdit(e, page, page.substr(e.inputBegin, e.inputEnd - e.inputBegin),
                  out.substr(e.outputBegin, e.outputEnd - e.outputBegin));
        in = e.inputEnd;
        done = e.outputEnd;
    }
    FUZZ_CHECK(out.substr(done) == page.substr(in));
    FUZZ_CHECK(out.size() <= 64 * page.size() + 4096);

    CRewriteResult script = RewriteVbsFile(page);
    FUZZ_CHECK(IsAscii(script.bytes));
    FUZZ_CHECK(script.bytes.find("</") == std::string::npos);
    return 0;
}
