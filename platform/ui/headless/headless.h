// The headless renderer: nothing is drawn; dialogs and message boxes are
// answered from rules (an answer file, see answers.h and docs/headless.md).
// A message box that no rule matches gets its default button; a dialog that
// no rule matches is left to the program. A window still waiting after the
// time-out without any change gets Cancel (a dialog with a Cancel button),
// is closed (other dialogs) or gets its default button (message boxes).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/headless/answers.h"
#include "platform/ui/renderer.h"

namespace ui::headless {

struct HeadlessOptions {
    std::vector<AnswerRule> rules;
    // Idle time a window may wait for input before it is cancelled; 0: never.
    DWORD timeoutMs = 30000;
    // insert X: "FOLDER" and eject X: (the program entry binds them to the
    // drive table; tests may watch them instead).
    std::function<bool(char letter, const std::string& folder)> insertDrive;
    std::function<bool(char letter)> ejectDrive;
};

std::shared_ptr<IRenderer> CreateHeadlessRenderer(HeadlessOptions options);

// From the environment: rules from TELVORA_ANSWERS (bad lines reported on
// stderr and left out), the time-out from TELVORA_ANSWER_TIMEOUT in seconds
// (default 30), insert and eject on the prefix's drive table.
std::shared_ptr<IRenderer> CreateHeadlessRendererFromEnvironment();

}  // namespace ui::headless
