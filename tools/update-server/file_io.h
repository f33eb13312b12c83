// Whole-file reads and crash-safe replacement of the small files a served
// folder holds (index, accounts, pages).
#pragma once

#include <string>
#include <string_view>

// The content of a plain file; false when it is missing, not a plain file,
// or cannot be read whole.
bool ReadWholeFile(const std::string& path, std::string* content);

// A name beside path for a file being made: hidden, unique, ending in
// ".partial", so that a crash leaves nothing that looks published.
std::string ScratchPathFor(const std::string& path);

// Writes content to a new file; false (and no file left) on any failure.
bool WriteNewFile(const std::string& path, std::string_view content, bool ownerOnly = false);

// Writes content beside path and renames it over path, so path is always
// either the old or the new file. False (path unchanged) on failure.
bool ReplaceFileContent(const std::string& path, std::string_view content, bool ownerOnly = false);
