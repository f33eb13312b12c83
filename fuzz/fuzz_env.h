// What the fuzz targets share: a scratch folder and a fresh prefix for the
// process, a renderer that answers every message box with OK, and a check
// that stops the run so the fuzzer records the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// The process's scratch folder (Unix path, no trailing '/'). The first call
// makes it, points TELVORA_PREFIX at a new prefix inside it (where C: is the
// Unix root), hides the machine's mounted discs and installs the renderer.
// The folder is removed when the process that made it exits normally.
const std::string& ScratchDir();

// The Windows path of a Unix path through C: ("/tmp/x" -> "C:\tmp\x").
std::string WindowsPath(const std::string& unixPath);

// Replaces the file (Unix path) with exactly these bytes, making its folder.
void WriteBytes(const std::string& unixPath, std::string_view bytes);
// The file's bytes; false when it can't be read.
bool ReadBytes(const std::string& unixPath, std::string* bytes);

// Whether s is well-formed UTF-8 (shortest forms, no surrogates, at most
// U+10FFFF): what the system hands to terminals, files on disk and Qt.
bool IsValidUtf8(std::string_view s);

// Handles whatever the calls under test left queued on this thread, quit
// requests included, so the queue does not grow from input to input.
void DrainMessages();

// Reports a broken property with the failing expression and aborts.
[[noreturn]] void Fail(const char* expression, const char* file, int line);

}  // namespace fuzz

#define FUZZ_CHECK(cond)                             \
    do {                                             \
        if (!(cond))                                 \
            ::fuzz::Fail(#cond, __FILE__, __LINE__); \
    } while (0)
