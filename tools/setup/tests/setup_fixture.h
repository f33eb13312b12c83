// A fresh prefix (only C:, no mounted discs) and a scratch folder per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/telvora-setup-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_root = tmpl;
        setenv("TELVORA_PREFIX", (m_root + "/prefix").c_str(), 1);
        WriteUnix(m_root + "/mounts", "");
        setenv("TELVORA_MOUNTS_FILE", (m_root + "/mounts").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        for (auto& e : std::filesystem::recursive_directory_iterator(m_root, ec)) {
            if (!e.is_symlink(ec)) {
                std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
            }
        }
        std::filesystem::remove_all(m_root, ec);
    }

    static void WriteUnix(const std::string& path, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    static std::string ReadUnix(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_root;
};
