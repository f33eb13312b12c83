// Making a RAR 4.x archive of a folder, for publishing an update package: the
// folder's tree under one top folder, every entry stored (not compressed).
#pragma once

#include <string>

// Writes archiveUnixPath (UTF-8 paths) holding the tree of folderUnixPath
// under the top folder topNameUtf8 (empty: the folder's own name). Entry
// names are GBK with backslashes between components; a name that has no GBK
// form is an error naming the file. Symbolic links and special files are
// skipped (never followed) with a warning on stderr. The archive is written
// under a scratch name beside archiveUnixPath and renamed when complete, so
// an existing archive is replaced only by a whole one. False with *errorUtf8
// set on failure.
bool WriteRarArchive(const std::string& archiveUnixPath, const std::string& folderUnixPath,
                     const std::string& topNameUtf8, std::string* errorUtf8);
