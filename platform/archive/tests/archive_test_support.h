// Helpers for the archive tests: a scratch folder, files, tree listings and
// archives with any entries (hostile ones included) written by libarchive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace archive_test {

// A fresh folder under /tmp, removed (read-only parts included) at the end.
class CScratchDir {
public:
    CScratchDir();
    ~CScratchDir();
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& rel) const { return m_strPath + "/" + rel; }

private:
    std::string m_strPath;
};

// UTF-8 text from a u8 literal (narrow literals are GBK in this build).
std::string U8(std::u8string_view s);

void WriteFile(const std::string& path, const std::string& bytes);  // makes folders
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);  // without following a link

// Everything below dir, sorted: "a/" for a folder, "a/b" for a file,
// "a/l -> target" for a link, "a/x ?" for anything else.
std::vector<std::string> TreeBelow(const std::string& dir);

// Bytes 0..255, repeated to the size asked.
std::string EveryByte(std::size_t size);

struct CTestEntry {
    enum EKind { kFile, kFolder, kSymlink, kHardLink, kFifo, kCharDevice, kBlockDevice, kSocket };
    std::string m_strName;  // raw bytes, as the archive stores them
    EKind m_kind = kFile;
    std::string m_strData;
    std::string m_strLink;  // target of a symbolic or hard link
};

CTestEntry File(std::string name, std::string data);
CTestEntry Folder(std::string name);
CTestEntry Symlink(std::string name, std::string target);
CTestEntry HardLink(std::string name, std::string target);
CTestEntry Special(std::string name, CTestEntry::EKind kind);

// Writes a ustar ("tar": names stored as raw bytes), "zip" or "cpio" (which
// can hold sockets) archive.
void WriteTestArchive(const std::string& path, const std::string& format,
                      const std::vector<CTestEntry>& entries);

// Runs a shell command line; returns the exit status, stderr in *err.
int RunCommand(const std::string& command, std::string* err);
std::string ShellQuote(const std::string& s);
// A program built beside the others (TELVORA_BIN).
std::string ProgramPath(const std::string& name);

}  // namespace archive_test
