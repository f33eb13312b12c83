// The transcript (TELVORA_TRANSCRIPT): an observer that appends one JSON
// object a line (UTF-8) for each event the user could see, in either mode.
// Lines are written whole with one write to a file opened for appending, so
// several threads and processes can share one transcript.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/renderer.h"

namespace ui::headless {

// Appends to the file at utf8Path (made when missing). Null, with a message on
// stderr, when it can't be opened.
std::shared_ptr<IRenderer> CreateTranscript(const std::string& utf8Path);
// From TELVORA_TRANSCRIPT; null when it is unset or can't be opened.
std::shared_ptr<IRenderer> CreateTranscriptFromEnvironment();

// A JSON string literal (quotes included) for UTF-8 text.
std::string JsonQuote(std::string_view utf8);

}  // namespace ui::headless
