#include "tools/update-server/package_store.h"

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/serverio/server_files.h"
#include "platform/text/number.h"
#include "platform/text/text.h"
#include "tools/update-server/file_io.h"
#include "tools/update-server/package_names.h"

namespace fs = std::filesystem;

namespace {

// Calls take(line) for each line of an index, blanks around it trimmed.
template <class Take>
void ForEachIndexLine(std::string_view textView, Take take) {
    std::size_t start = 0;
    while (start < textView.size()) {
        std::size_t end = textView.find('\n', start);
        if (end == std::string_view::npos)
            end = textView.size();
        take(text::Trim(textView.substr(start, end - start)));
        start = end + 1;
    }
}

}  // namespace

std::vector<CPackage> ParseIndex(std::string_view textView) {
    std::vector<CPackage> packages;
    ForEachIndexLine(textView, [&packages](const std::string& line) {
        if (line.empty() || line[0] == '#')
            return;
        const std::size_t blank = line.find_first_of(" \t");
        if (blank == std::string::npos)
            return;
        CPackage p;
        p.code = line.substr(0, blank);
        const std::optional<std::int64_t> size =
            text::ParseDecimal(text::TrimLeft(line.substr(blank)), 0, INT64_MAX);
        if (!IsPackageCode(p.code) || !size)
            return;
        p.size = static_cast<decltype(p.size)>(*size);
        packages.push_back(p);
    });
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

std::vector<std::string> WithdrawnCodes(std::string_view textView) {
    constexpr std::string_view kMark = "# withdrawn ";
    std::vector<std::string> codes;
    ForEachIndexLine(textView, [&codes, kMark](const std::string& line) {
        if (line.compare(0, kMark.size(), kMark) != 0)
            return;
        const std::string code = text::Trim(std::string_view(line).substr(kMark.size()));
        if (IsPackageCode(code))
            codes.push_back(code);
    });
    return codes;
}

std::string NewestCodeEver(std::string_view text) {
    std::string newest;
    for (const CPackage& p : ParseIndex(text))
        newest = std::max(newest, p.code);
    for (const std::string& code : WithdrawnCodes(text))
        newest = std::max(newest, code);
    return newest;
}

std::vector<CPackage> PackagesNewerThan(const std::vector<CPackage>& packages,
                                        std::string_view installed, std::size_t limit) {
    auto first = packages.begin();
    if (IsPackageCode(installed))
        first = std::upper_bound(
            packages.begin(), packages.end(), installed,
            [](std::string_view code, const CPackage& p) { return code < p.code; });
    const std::size_t count =
        std::min(limit, static_cast<std::size_t>(std::distance(first, packages.end())));
    return std::vector<CPackage>(first, first + static_cast<std::ptrdiff_t>(count));
}

CPackageStore::CPackageStore(std::string rootUtf8) : m_strRoot(std::move(rootUtf8)) {
    while (m_strRoot.size() > 1 && m_strRoot.back() == '/')
        m_strRoot.pop_back();
}

std::string CPackageStore::UsersFile() const {
    return m_strRoot + "/users.txt";
}

std::string CPackageStore::LockFile() const {
    return m_strRoot + "/.lock-publish";
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

CIndexCache::Packages CIndexCache::Course(std::string_view fileid) {
    static const Packages kNone = std::make_shared<const std::vector<CPackage>>();
    if (!IsValidCourseName(fileid))
        return kNone;
    const std::string path = m_store.IndexFile(fileid);
    const std::string key(fileid);
    CFileStamp stamp;
    if (!StampFile(path, &stamp) || !stamp.regular) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_courses.erase(key);
        return kNone;
    }
    // A file changed within the last seconds is read again: a change of the
    // same size inside the time's granularity would otherwise go unseen.
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    const bool settled = now - stamp.modifiedNanoseconds > 2000000000LL;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_courses.find(key);
        if (it != m_courses.end() && it->second.stamp == stamp && settled)
            return it->second.packages;
    }
    std::string content;
    if (!ReadWholeFile(path, &content))
        return kNone;
    std::lock_guard<std::mutex> lock(m_mutex);
    CEntry& entry = m_courses[key];
    if (!entry.packages || entry.text != content) {
        entry.packages = std::make_shared<const std::vector<CPackage>>(ParseIndex(content));
        entry.text = std::move(content);
    }
    entry.stamp = stamp;
    // Only indexes that exist are held; a flood of names cannot grow this
    // past the published courses.
    return entry.packages;
}
