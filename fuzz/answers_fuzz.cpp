// The answer file of a headless run: every line is a rule or an error, and
// a rule that parsed holds only what its actions can carry out.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_env.h"
#include "platform/ui/headless/answers.h"

using ui::headless::AnswerAction;
using ui::headless::AnswerRule;

namespace {

void CheckAction(const AnswerAction& action) {
    switch (action.kind) {
        case AnswerAction::Kind::Press:
        case AnswerAction::Kind::Type:
            FUZZ_CHECK(action.id >= 0);
            break;
        case AnswerAction::Kind::Insert:
            FUZZ_CHECK(!action.text.empty());
            [[fallthrough]];
        case AnswerAction::Kind::Eject:
            FUZZ_CHECK(action.drive >= 'A' && action.drive <= 'Z');
            break;
        case AnswerAction::Kind::Wait:
            FUZZ_CHECK(action.ms <= 0x7FFFFFFFu);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> errors;
    std::vector<AnswerRule> rules = ui::headless::ParseAnswers(input, "answers.txt", &errors);

    std::size_t lineCount = 1;
    for (char c : input)
        lineCount += c == '\n';
    FUZZ_CHECK(rules.size() + errors.size() <= lineCount);
    for (const std::string& error : errors)
        FUZZ_CHECK(error.rfind("answers.txt:", 0) == 0);
    int lastLine = 0;
    for (const AnswerRule& rule : rules) {
        FUZZ_CHECK(rule.line > lastLine && static_cast<std::size_t>(rule.line) <= lineCount);
        lastLine = rule.line;
        FUZZ_CHECK(!rule.actions.empty());
        FUZZ_CHECK(rule.dialogId >= 0 && rule.whenControl >= 0 && rule.whenPos >= 0);
        FUZZ_CHECK(!rule.hasWhen || rule.kind == AnswerRule::Kind::Dialog);
        FUZZ_CHECK(!rule.anyBox || rule.boxText == "*");
        for (const AnswerAction& action : rule.actions)
            CheckAction(action);
    }

    // A byte-order mark in front changes nothing.
    if (input.substr(0, 3) != "\xEF\xBB\xBF") {
        std::vector<std::string> bomErrors;
        std::string withBom = "\xEF\xBB\xBF" + std::string(input);
        std::vector<AnswerRule> bomRules =
            ui::headless::ParseAnswers(withBom, "answers.txt", &bomErrors);
        FUZZ_CHECK(bomRules.size() == rules.size());
        FUZZ_CHECK(bomErrors == errors);
    }
    return 0;
}
