// The answer file of a headless run (TELVORA_ANSWERS): one rule a line,
//
//   dialog ID [when CONTROL >= N] : ACTION ; ACTION ... [*]
//   messagebox "TEXT" : ACTION ; ACTION ... [*]
//
// with the actions press ID, type ID "TEXT", insert X: "FOLDER", eject X:
// and wait MS. '#' starts a comment outside quotes. Inside quotes a backslash
// before a quote or a backslash keeps that character; any other backslash is
// kept as it is. docs/headless.md tells the whole format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/error/error.h"

namespace ui::headless {

struct AnswerAction {
    enum class Kind { Press, Type, Insert, Eject, Wait };
    Kind kind = Kind::Press;
    int id = 0;        // Press, Type: the control
    std::string text;  // Type: GBK; Insert: the folder, UTF-8, made absolute
    char drive = 0;    // Insert, Eject: 'A'..'Z'
    DWORD ms = 0;      // Wait
};

struct AnswerRule {
    enum class Kind { Dialog, MessageBox };
    Kind kind = Kind::Dialog;
    int dialogId = 0;
    bool hasWhen = false;
    int whenControl = 0;
    int whenPos = 0;
    std::string boxText;  // GBK; matched as a substring
    bool anyBox = false;  // "*"
    std::vector<AnswerAction> actions;
    bool repeat = false;  // the line ends with '*'
    int line = 0;
};

// Parses the file's text (UTF-8). A line that is not a rule adds
// "FILE:LINE: reason" to *errors and is left out; the rest still counts.
std::vector<AnswerRule> ParseAnswers(std::string_view utf8, const std::string& fileName,
                                     std::vector<std::string>* errors);

}  // namespace ui::headless
