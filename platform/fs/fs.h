// Files, folders and drives as the system sees them: Windows paths with drive
// letters over Unix folders. Paths handed in and out are GBK Windows paths
// ("E:\left\items.vbs"); '/' is accepted as a separator too. Names are
// compared without regard to ASCII letter case, like the original file
// system. Calls that can fail return a truth value and set the thread's last
// error (platform/error).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/error/error.h"

// ---- drives -------------------------------------------------------------

enum : UINT {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

// Bit 0 = A:, bit 1 = B:, ... for every letter whose drives/ entry exists
// (even one that points nowhere) and for mounted discs on free letters.
DWORD GetLogicalDrives();
// The type of a root such as "E:\" (also "E:" or "e:/"): the
// HKLM\Software\Telvora\Drives value named after the letter ("e:") when set
// (cdrom, hd, network, floppy, ramdisk), else CD-ROM for an iso9660/UDF
// target, else fixed. DRIVE_NO_ROOT_DIR for a letter that is absent or
// whose target is missing.
UINT GetDriveType(const std::string& root);

// Whether the prefix can hold this machine's drive table, made now if it
// was missing: false, with the last error, when the prefix can't be made or
// written (TELVORA_PREFIX below a regular file, a folder of another user);
// no drive can then be mapped.
bool DriveTableUsable();

// Point a drive letter at a Unix folder (UTF-8), replacing an earlier entry.
// With asCdRom the letter is also recorded as a CD-ROM drive in the registry.
bool SetDriveTarget(char letter, const std::string& unixFolder, bool asCdRom);
// Take a letter's entry away (a disc ejected): the letter is then absent.
bool RemoveDrive(char letter);
// The Unix folder a letter points at, if it has an entry.
std::optional<std::string> DriveTarget(char letter);

// ---- paths --------------------------------------------------------------

// How many times a folder has been listed in this process to find a name
// without regard to case (for tests and benchmarks that check that lookups
// do not list a folder every time).
std::uint64_t FolderScanCount();

// Map a Windows path to a Unix path (UTF-8). Existing components are found
// without regard to letter case (an exact match wins); components that do
// not exist yet are kept as given, converted to UTF-8. Fails (and sets the
// last error) for an empty path, an unknown drive, a ".." beyond a drive
// root, or a name that is not valid GBK.
std::optional<std::string> ToUnixPath(const std::string& winPath);
// Map a Unix path back: the drive whose target is the longest prefix gives
// the letter. Names are converted to GBK; one that can't be becomes '?'.
std::optional<std::string> ToWindowsPath(const std::string& unixPath);

// The current folder as a Windows path with no trailing backslash (except at a
// root: "C:\"), and setting it.
std::string GetCurrentDirectory();
bool SetCurrentDirectory(const std::string& winPath);

// The module file name: the absolute path the program was started by
// (argv[0] made absolute, a bare name looked up on PATH), symbolic links not
// resolved, as a Windows path. SetProgramPath is called once at start.
void SetProgramPath(const char* argv0);
std::string GetModuleFileName();
// The same for a shared library: the path it was loaded from, given any
// address inside it.
std::string GetModuleFileNameOf(const void* addressInModule);

// ---- files ------------------------------------------------------------

enum : DWORD {
    FILE_ATTRIBUTE_READONLY = 0x01,
    FILE_ATTRIBUTE_HIDDEN = 0x02,
    FILE_ATTRIBUTE_SYSTEM = 0x04,
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu,
};

// Read-only is the owner's write permission; NORMAL clears it.
bool SetFileAttributes(const std::string& path, DWORD attributes);
DWORD GetFileAttributes(const std::string& path);

// One kernel copy (copy_file_range or sendfile). With failIfExists an
// existing target is an error (ERROR_FILE_EXISTS); otherwise it is replaced,
// unless it is read-only (ERROR_ACCESS_DENIED, as on the original system).
//
// The data never go into the target in place: they are written beside it
// and take its name when complete, so the target holds its old or its new
// bytes whatever happens (a full disk, the process killed), and a failed copy
// leaves nothing behind. The modification time is the source's.
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);
bool DeleteFile(const std::string& path);
// Fails when the target exists (ERROR_ALREADY_EXISTS).
bool MoveFile(const std::string& from, const std::string& to);
// Atomically puts from in the place of to, replacing an existing file (a
// read-only one too: the folder decides, as with rename). The target is
// always either the old or the new file, so a rewritten page or description
// is never lost half-way.
bool ReplaceFile(const std::string& from, const std::string& to);
// A scratch file path in the folder of path, unique to this call and
// process (for a rewrite that then replaces the file with ReplaceFile).
// Scratch files that a killed process left are removed by the next copy into
// that folder (CCopyTarget::Open) or by RemoveStaleScratchFiles.
std::string ScratchPathBeside(const std::string& path);
// Removes from a Windows folder the scratch files of processes that have
// ended (a rewrite or copy killed half-way). False when the folder can't be
// read.
bool RemoveStaleScratchFiles(const std::string& winFolder);
bool CreateDirectory(const std::string& path);
bool RemoveDirectory(const std::string& path);
bool FileExists(const std::string& path);  // a file or a folder
// Delete a file or a whole folder tree without asking and without messages
// (read-only files included). True when nothing is left.
bool DeleteTreeSilently(const std::string& path);

// True when the process's standard error is a terminal (a person watches
// it: progress may be shown on one updating line).
bool StandardErrorIsTerminal();

// A file opened the way the system opens them. Text lines are their bytes
// without CR LF or LF.
class CFile {
public:
    enum Mode {
        modeRead,           // existing file, shared
        modeWrite,          // create or truncate
        modeReadWrite,      // create when missing, no truncation
        modeReadExclusive,  // existing file; fails (ERROR_SHARING_VIOLATION)
                            // while any other handle, in any process, has it open
    };

    CFile();
    ~CFile();  // closes
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const std::string& path, Mode mode);
    bool IsOpen() const;
    void Close();

    // Next line into *line; false at the end of the file.
    bool ReadLine(std::string* line);
    // Up to n bytes; returns the count (0 at the end or on error).
    std::size_t Read(void* buf, std::size_t n);
    bool Write(const void* data, std::size_t n);
    bool WriteString(const std::string& s);  // as it is, no line end added
    // Keeps small writes back until this many bytes have gathered, so that a
    // stream of small chunks costs few system calls (0, the default: every
    // write goes out at once). What is kept back goes out before any read,
    // with CommitWrites, Flush and Close; memory stays at this size.
    void SetWriteBuffer(std::size_t bytes);
    // Writes out what was kept back; false (last error set) when it can't,
    // as a full disk makes it.
    bool CommitWrites();
    // Writes out what was kept back and makes the data durable.
    bool Flush();
    // File size in bytes (-1 when not open).
    std::int64_t Size() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Folder enumeration with a pattern such as "E:\*.*" or "C:\a\*.htm" ("*.*"
// matches every name, with or without a dot; "?" one character; matching
// ignores ASCII letter case). "." and ".." are listed first, as the system
// expects; the other entries come in the order the file system lists them.
class CFileFind {
public:
    CFileFind();
    ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search; false (with last error) when nothing matches or the
    // folder can't be read.
    bool FindFile(const std::string& pattern = "*.*");
    // Moves to the next entry; returns false when the entry it moved to is the
    // last one (the MFC convention: call once before the first entry).
    bool FindNextFile();
    void Close();

    std::string GetFileName() const;  // GBK; '?' for characters outside GBK
    std::string GetFilePath() const;  // folder of the pattern + "\" + name
    bool IsDots() const;
    bool IsDirectory() const;
    bool IsReadOnly() const;
    std::uint64_t GetLength() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
