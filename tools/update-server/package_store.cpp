#include "tools/update-server/package_store.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "platform/text/text.h"
#include "tools/update-server/file_io.h"
#include "tools/update-server/package_names.h"

namespace fs = std::filesystem;

std::vector<CPackage> ParseIndex(std::string_view textView) {
    std::vector<CPackage> packages;
    std::size_t start = 0;
    while (start < textView.size()) {
        std::size_t end = textView.find('\n', start);
        if (end == std::string_view::npos)
            end = textView.size();
        const std::string line = text::Trim(textView.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t blank = line.find_first_of(" \t");
        if (blank == std::string::npos)
            continue;
        CPackage p;
        p.code = line.substr(0, blank);
        const std::string sizeText = text::TrimLeft(line.substr(blank));
        const char* first = sizeText.data();
        const char* last = first + sizeText.size();
        auto [ptr, ec] = std::from_chars(first, last, p.size);
        if (!IsPackageCode(p.code) || ec != std::errc() || ptr != last)
            continue;
        packages.push_back(p);
    }
    std::stable_sort(packages.begin(), packages.end(),
                     [](const CPackage& a, const CPackage& b) { return a.code < b.code; });
    packages.erase(
        std::unique(packages.begin(), packages.end(),
                    [](const CPackage& a, const CPackage& b) { return a.code == b.code; }),
        packages.end());
    return packages;
}

std::string ComposeIndex(const std::vector<CPackage>& packages) {
    std::string out = "# Published packages of this course, oldest first: CODE SIZE\n";
    for (const CPackage& p : packages)
        out += p.code + " " + std::to_string(p.size) + "\n";
    return out;
}

std::vector<CPackage> PackagesNewerThan(const std::vector<CPackage>& packages,
                                        std::string_view installed, std::size_t limit) {
    std::vector<CPackage> newer;
    for (const CPackage& p : packages) {
        if (newer.size() >= limit)
            break;
        if (IsNewerCode(p.code, installed))
            newer.push_back(p);
    }
    return newer;
}

CPackageStore::CPackageStore(std::string rootUtf8) : m_strRoot(std::move(rootUtf8)) {
    while (m_strRoot.size() > 1 && m_strRoot.back() == '/')
        m_strRoot.pop_back();
}

std::string CPackageStore::UsersFile() const {
    return m_strRoot + "/users.txt";
}

std::string CPackageStore::LockFolder() const {
    return m_strRoot + "/.lock";
}

std::string CPackageStore::CoursesFolder() const {
    return m_strRoot + "/courses";
}

std::string CPackageStore::CourseFolder(std::string_view fileid) const {
    return CoursesFolder() + "/" + text::GbkToUtf8(fileid);
}

std::string CPackageStore::IndexFile(std::string_view fileid) const {
    return CourseFolder(fileid) + "/index.txt";
}

std::string CPackageStore::ArchiveFile(std::string_view fileid, std::string_view code) const {
    return CourseFolder(fileid) + "/" + std::string(code) + ".rar";
}

std::string CPackageStore::NotesFile(std::string_view fileid, std::string_view code) const {
    return CourseFolder(fileid) + "/" + std::string(code) + ".htm";
}

std::vector<CPackage> CPackageStore::Packages(std::string_view fileid) const {
    std::string content;
    std::string error;
    if (!IsValidCourseName(fileid) || !ReadIndexText(fileid, &content, &error))
        return {};
    return ParseIndex(content);
}

bool CPackageStore::ReadIndexText(std::string_view fileid, std::string* content,
                                  std::string* error) const {
    content->clear();
    const std::string path = IndexFile(fileid);
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st))
        return true;
    if (ReadWholeFile(path, content))
        return true;
    *error = path + " exists but cannot be read";
    return false;
}
