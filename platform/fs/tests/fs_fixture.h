// A fresh prefix per test, with drive W: pointing at an empty work folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/fs/fs.h"

class FsServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tv_fs_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_root = tmpl;
        setenv("TELVORA_PREFIX", (m_root + "/prefix").c_str(), 1);
        unsetenv("TELVORA_MOUNTS_FILE");
        m_work = m_root + "/work";
        std::filesystem::create_directory(m_work);
        ASSERT_TRUE(SetDriveTarget('w', m_work, false));
    }

    void TearDown() override {
        SetCurrentDirectory("C:\\");
        std::error_code ec;
        // Read-only folders would stop remove_all for users other than root.
        for (auto& e : std::filesystem::recursive_directory_iterator(m_root, ec))
            if (e.is_directory(ec) && !e.is_symlink(ec))
                std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_root, ec);
    }

    // Unix path of a name under the work folder (UTF-8).
    std::string Work(const std::string& rel) const { return m_work + "/" + rel; }

    static void WriteUnix(const std::string& path, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary);
        out << content;
    }

    static std::string ReadUnix(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static bool ExistsUnix(const std::string& path) {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }

    static mode_t ModeOf(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    // UTF-8 bytes of a u8 literal (the narrow literals are GBK).
    static std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

    std::string m_root;
    std::string m_work;
};
