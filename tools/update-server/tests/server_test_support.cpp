#include "tools/update-server/tests/server_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

CTempFolder::CTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tv-update-server-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "mkdtemp failed";
    m_strPath = pattern;
}

CTempFolder::~CTempFolder() {
    std::error_code ec;
    fs::permissions(m_strPath, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_strPath, ec);
}

void WriteTestFile(const std::string& path, std::string_view bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadTestFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string RarBytes(std::string_view body) {
    return std::string("Rar!\x1a\x07\x00", 7) + std::string(body);
}
