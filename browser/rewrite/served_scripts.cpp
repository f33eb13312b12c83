// The scripts the browser serves besides pages: .vbs files, translated, and
// the bridge every rewritten page loads.
#include "browser/rewrite/bridge_js.h"
#include "browser/rewrite/page_rewrite.h"
#include "browser/vbscript/vbscript.h"
#include "platform/text/text.h"

CRewriteResult RewriteVbsFile(std::string_view file) {
    std::string source;
    if (file.substr(0, 3) == "\xEF\xBB\xBF" && text::IsValidUtf8(file.substr(3))) {
        source = file.substr(3);
    } else if (file.substr(0, 2) == "\xFF\xFE") {
        std::u16string units;
        for (size_t i = 2; i + 1 < file.size(); i += 2)
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(file[i]) |
                                                  static_cast<unsigned char>(file[i + 1]) << 8));
        source = text::Utf16ToUtf8(units);
    } else {
        source = text::GbkToUtf8(file.substr(0, 3) == "\xEF\xBB\xBF" ? file.substr(3) : file);
    }
    CVbsTranslation t = TranslateVbScript(source);
    return {std::move(t.js), std::move(t.problems), {}, "UTF-8"};
}

const std::string& BridgeScript() {
    static const std::string script = VbsRuntimeJs() + "\n" + BridgeJs();
    return script;
}
