// Files of a served folder: opened for sending before they are checked, so
// that what is checked is what is sent; locks between the processes that
// change the folder; changes made durable before they are announced.
#pragma once

#include <cstdint>
#include <string>

class CServedFile {
public:
    CServedFile() = default;
    ~CServedFile();  // closes
    CServedFile(CServedFile&& other) noexcept;
    CServedFile& operator=(CServedFile&& other) noexcept;
    CServedFile(const CServedFile&) = delete;
    CServedFile& operator=(const CServedFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    // Hands the descriptor over (the caller closes it from now on).
    int Release();

    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;  // since 1970, UTC
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

private:
    friend bool OpenServedFile(const std::string&, const std::string&, CServedFile*);
    int m_fd = -1;
};

// Opens path for reading and checks the open file: a regular file (never a
// FIFO or device, which are not waited for) whose real path, every link
// followed, lies inside the folder realRoot (itself free of links). False
// (*out closed) when the file is missing, is something else, or lies
// outside.
bool OpenServedFile(const std::string& path, const std::string& realRoot, CServedFile* out);

// A lock on a file, between processes and between the threads of one; the
// kernel lets go of it when its holder ends, however it ends.
class CFileLock {
public:
    CFileLock() = default;
    ~CFileLock();  // releases
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Takes the lock on path (made when missing, never through a link)
    // without waiting. False with *error (English) when another holder has
    // it (*busy set) or the file cannot be made or locked.
    bool TryAcquire(const std::string& path, bool* busy, std::string* error);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// What one look at path (links followed) tells: whether it is a plain file,
// its size and its modification time (nanoseconds since 1970). False when
// nothing is there.
struct CFileStamp {
    bool regular = false;
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const CFileStamp&) const = default;
};
bool StampFile(const std::string& path, CFileStamp* stamp);

// Writes what the system keeps of a file or folder to its disk; false when
// it cannot.
bool SyncToDisk(const std::string& path);
