#include "platform/archive/tests/archive_test_support.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace archive_test {

CScratchDir::CScratchDir() {
    char tmpl[] = "/tmp/tv_archive_test_XXXXXX";
    if (mkdtemp(tmpl) == nullptr)
        ADD_FAILURE() << "mkdtemp failed";
    m_strPath = tmpl;
}

CScratchDir::~CScratchDir() {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_strPath, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_strPath, ec);
}

std::string U8(std::u8string_view s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> TreeBelow(const std::string& dir) {
    std::vector<std::string> tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string rel = it->path().lexically_relative(dir).string();
        const fs::file_status status = it->symlink_status();
        if (fs::is_symlink(status))
            tree.push_back(rel + " -> " + fs::read_symlink(it->path()).string());
        else if (fs::is_directory(status))
            tree.push_back(rel + "/");
        else if (fs::is_regular_file(status))
            tree.push_back(rel);
        else
            tree.push_back(rel + " ?");
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

std::string EveryByte(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i & 0xFF);
    return bytes;
}

CTestEntry File(std::string name, std::string data) {
    return {std::move(name), CTestEntry::kFile, std::move(data), ""};
}
CTestEntry Folder(std::string name) {
    return {std::move(name), CTestEntry::kFolder, "", ""};
}
CTestEntry Symlink(std::string name, std::string target) {
    return {std::move(name), CTestEntry::kSymlink, "", std::move(target)};
}
CTestEntry HardLink(std::string name, std::string target) {
    return {std::move(name), CTestEntry::kHardLink, "", std::move(target)};
}
CTestEntry Special(std::string name, CTestEntry::EKind kind) {
    return {std::move(name), kind, "", ""};
}

void WriteTestArchive(const std::string& path, const std::string& format,
                      const std::vector<CTestEntry>& entries) {
    archive* a = archive_write_new();
    ASSERT_NE(a, nullptr);
    if (format == "zip")
        archive_write_set_format_zip(a);
    else if (format == "cpio")
        archive_write_set_format_cpio_newc(a);
    else
        archive_write_set_format_ustar(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK) << archive_error_string(a);
    for (const CTestEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_copy_pathname(entry, e.m_strName.c_str());
        archive_entry_set_mtime(entry, 1262304000, 0);  // 2010-01-01
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, 0);
        switch (e.m_kind) {
            case CTestEntry::kFile:
                archive_entry_set_filetype(entry, AE_IFREG);
                archive_entry_set_size(entry, static_cast<la_int64_t>(e.m_strData.size()));
                break;
            case CTestEntry::kFolder:
                archive_entry_set_filetype(entry, AE_IFDIR);
                archive_entry_set_perm(entry, 0755);
                break;
            case CTestEntry::kSymlink:
                archive_entry_set_filetype(entry, AE_IFLNK);
                archive_entry_copy_symlink(entry, e.m_strLink.c_str());
                break;
            case CTestEntry::kHardLink:
                archive_entry_set_filetype(entry, AE_IFREG);
                archive_entry_copy_hardlink(entry, e.m_strLink.c_str());
                break;
            case CTestEntry::kFifo:
                archive_entry_set_filetype(entry, AE_IFIFO);
                break;
            case CTestEntry::kCharDevice:
                archive_entry_set_filetype(entry, AE_IFCHR);
                archive_entry_set_rdev(entry, makedev(1, 3));
                break;
            case CTestEntry::kBlockDevice:
                archive_entry_set_filetype(entry, AE_IFBLK);
                archive_entry_set_rdev(entry, makedev(7, 0));
                break;
            case CTestEntry::kSocket:
                archive_entry_set_filetype(entry, AE_IFSOCK);
                break;
        }
        EXPECT_GE(archive_write_header(a, entry), ARCHIVE_WARN)
            << e.m_strName << ": " << archive_error_string(a);
        if (!e.m_strData.empty())
            archive_write_data(a, e.m_strData.data(), e.m_strData.size());
        archive_entry_free(entry);
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
}

std::string ShellQuote(const std::string& s) {
    std::string quoted = "'";
    for (const char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunCommand(const std::string& command, std::string* err) {
    char tmpl[] = "/tmp/tv_archive_err_XXXXXX";
    const int fd = mkstemp(tmpl);
    if (fd < 0)
        return -1;
    close(fd);
    const int status = std::system((command + " 2>" + ShellQuote(tmpl) + " </dev/null").c_str());
    if (err != nullptr)
        *err = ReadFile(tmpl);
    fs::remove(tmpl);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ProgramPath(const std::string& name) {
    const char* bin = std::getenv("TELVORA_BIN");
    return (fs::path(bin ? bin : "build/bin") / name).string();
}

}  // namespace archive_test
