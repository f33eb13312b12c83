// Entry names and link targets as archives hand them over, turned into the
// relative UTF-8 paths extraction writes, and the checks that keep every path
// inside the destination. No file system access here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace archive_names {

// How a name read from an archive is encoded.
enum class ENameForm {
    // Unicode, converted to UTF-8 by the reader (RAR names with the Unicode
    // flag, RAR 5, ...).
    kUtf8,
    // A RAR 4 name without the Unicode flag: the archive's own code page
    // (GBK here), in which the reader has turned every 0x5C byte into '/',
    // the second byte of a double-byte character included.
    kRarNarrow,
    // Unknown (tar, zip without the UTF-8 flag, ...): UTF-8 when the bytes
    // are valid UTF-8, else GBK.
    kGuess,
};

// Puts back the 0x5C second bytes of double-byte GBK characters in a RAR 4
// narrow name whose 0x5C bytes were all turned into '/': '/' cannot be a
// second byte, so a lead byte followed by '/' was a character ending in 0x5C.
std::string RestoreRarNarrowName(std::string_view mangled);

// The name as UTF-8 ('/' between components of a RAR narrow name). Bytes
// that are not valid in their code page become '?'.
std::string NameToUtf8(std::string_view name, ENameForm form);

// Splits a UTF-8 entry name into path components; '/' and '\' both separate
// them, "." and empty components are dropped. False, with *reason set, for
// a name that extraction refuses: empty, absolute (also with a drive letter),
// holding "..", or holding a control character.
bool SplitEntryPath(std::string_view name, std::vector<std::string>* components,
                    std::string* reason);

std::string JoinPath(const std::vector<std::string>& components);

// Whether a symbolic link at linkPath (components below the destination)
// with this target stays inside the destination when the target is resolved
// by its words alone. *traversed receives the paths (joined, relative to the
// destination) that resolving the target goes through as folders: if any of
// them is itself a link, the words do not tell where the target leads, so
// the caller must refuse the link then. False with *reason set when it leaves.
bool LinkStaysInside(const std::vector<std::string>& linkPath, std::string_view target,
                     std::vector<std::string>* traversed, std::string* reason);

// A name fit for a one-line message: control characters become \xNN.
std::string Printable(std::string_view utf8);

}  // namespace archive_names
