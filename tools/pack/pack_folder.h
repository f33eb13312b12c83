// The packer behind WriteRarArchive, with its warnings handed back instead of
// printed (telvora-pack prints them its own way).
#pragma once

#include <string>
#include <vector>

// As WriteRarArchive (rar_writer.h); each skipped entry adds one warning
// (UTF-8) that names it.
bool PackFolder(const std::string& archiveUnixPath, const std::string& folderUnixPath,
                const std::string& topNameUtf8, std::vector<std::string>* warningsUtf8,
                std::string* errorUtf8);

// Whether a top folder name is usable: not empty, not "." or "..", and free
// of the characters a Windows file name cannot hold. Sets *errorUtf8 when not.
bool CheckTopName(const std::string& topNameUtf8, std::string* errorUtf8);
