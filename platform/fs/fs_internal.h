// What the files of the file system service share among themselves: the
// drive table, the parsed form of Windows paths, the case-insensitive name
// index and small error helpers. Not for use outside platform/fs.
#pragma once

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error/error.h"

namespace fs_detail {

// ---- errors ---------------------------------------------------------------

inline bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}
inline bool FailErrno(int err) {
    SetLastErrorFromErrno(err);
    return false;
}

// ---- drives (drives.cpp) --------------------------------------------------

struct Drive {
    bool present = false;
    bool isDisc = false;  // a mounted disc shown on a free letter, no drives/ entry
    std::string target;   // Unix folder, absolute, no trailing '/' (except "/")
};

std::string DrivesDir();
// The target of a letter's drives/ entry ('a'..'z'), made absolute; nothing
// when the letter has no entry.
std::optional<std::string> EntryTarget(char letter);
// Every letter: drives/ entries and mounted discs on free letters.
std::array<Drive, 26> DriveTable();
// One letter, reading the mount table only when the letter has no entry.
Drive DriveOf(char letter);

// ---- paths (paths.cpp) ----------------------------------------------------

// An absolute Windows path after '.', '..' and repeated separators are
// resolved: the drive letter (lower case) and the names (GBK).
struct WinPath {
    char drive = 'c';
    std::vector<std::string> names;
};

// Parses a GBK Windows path (absolute, drive-relative or relative to the
// current folder). Fails with the last error set for an empty path, invalid
// GBK, forbidden characters, a UNC path or ".." beyond the root.
bool ParseWindowsPath(std::string_view winPath, WinPath* out);
std::string FormatWindowsPath(const WinPath& p);
// The Unix path of a parsed path (see ToUnixPath).
std::optional<std::string> ResolveUnixPath(const WinPath& p);

// Name conversions with a fast path for plain ASCII.
std::string NameToUtf8(std::string_view gbk);
std::string NameToGbk(std::string_view utf8);

std::string JoinUnix(const std::string& folder, std::string_view name);
// The folder part and the last name of a Unix path.
std::string UnixParent(const std::string& path);
std::string UnixBaseName(const std::string& path);
// Made absolute against the working folder, '.' and '..' resolved by text
// (symbolic links are not followed).
std::string AbsoluteUnixPath(const std::string& path);

// ---- case-insensitive name index (name_index.cpp) -------------------------

// The name in folder that equals name (UTF-8) without regard to ASCII letter
// case. folderStat is a fresh stat of folder; it decides whether the cached
// index of the folder is still good.
std::optional<std::string> FindNameNoCase(const std::string& folder, const struct stat& folderStat,
                                          const std::string& name);

// Keeps the cached index of a folder current across this process's own
// changes to it, so that writing many files into one folder does not scan it
// again after every file. Construct before the change, call Added/Removed
// after it succeeded.
class CFolderChange {
public:
    explicit CFolderChange(const std::string& unixPath);
    void Added();
    void Removed();

private:
    void Apply(bool added);

    std::string m_folder;
    std::string m_name;
    bool m_havePre = false;
    struct stat m_pre {};
};

// ---- whole-file copies (tree_copy.cpp) -------------------------------------

// A scratch name for a file beside its target: kScratchPrefix, this
// process's id, "-", a serial number.
std::string ScratchName();
// A scratch name whose process has ended (a killed run's leftover).
bool IsStaleScratchName(std::string_view name);
// How CopyIntoFolder treats the target.
struct CopyIntoRules {
    bool failIfExists = false;  // an existing name is refused
    bool knownAbsent = false;   // the caller's listing says the name is not there
    // An update's plain files: 0644 less the umask whatever the source's
    // permissions, an existing read-only file replaced, and a link in the
    // way refused (ERROR_ACCESS_DENIED) instead of replaced.
    bool plain = false;
};
// Copies the open regular file in (its stat sst) into the folder dirFd as
// name, never writing over the target in place (see CCopyTarget). *created
// tells whether name is new. Unless plain, an existing read-only file is
// kept: false with *readOnlyKept set and ERROR_ACCESS_DENIED.
bool CopyIntoFolder(int in, const struct stat& sst, int dirFd, const std::string& name,
                    const CopyIntoRules& rules, bool* created, bool* readOnlyKept);

// The permissions an update gives what it writes: 0644 and 0755 less the
// process's umask (read once).
mode_t PlainFileMode();
mode_t PlainFolderMode();

}  // namespace fs_detail
