// Writes the files of one sample CD below a root folder and keeps count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CSampleWriter {
public:
    explicit CSampleWriter(std::string unixRoot);

    // Writes bytes to the file at relPath, a GBK path with '/' separators
    // below the root; folders are made as needed, names go to disk as UTF-8.
    // Throws std::runtime_error when the file can't be written completely.
    void WriteFile(std::string_view relPath, std::string_view bytes);
    // Makes an empty folder (for instance one whose files are all skipped).
    void MakeFolder(std::string_view relPath);
    // Clears the write permission of every file written so far.
    void MarkReadOnly();

    const std::string& Root() const { return m_strRoot; }
    std::uint64_t Files() const { return m_nFiles; }
    std::uint64_t Bytes() const { return m_nBytes; }

private:
    std::string UnixPath(std::string_view relPath) const;

    std::string m_strRoot;
    std::uint64_t m_nFiles = 0;
    std::uint64_t m_nBytes = 0;
};
