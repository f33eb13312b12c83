// Temporary folders and small files for the update server's tests.
#pragma once

#include <string>
#include <string_view>

class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    const std::string& Path() const { return m_strPath; }
    std::string operator/(std::string_view name) const {
        return m_strPath + "/" + std::string(name);
    }

private:
    std::string m_strPath;
};

void WriteTestFile(const std::string& path, std::string_view bytes);
std::string ReadTestFile(const std::string& path);
// A file that starts like a RAR archive, then body.
std::string RarBytes(std::string_view body);
