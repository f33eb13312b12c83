// A fresh prefix for each test, so that every test starts from an empty
// registry and leaves nothing behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/registry/registry.h"

class CRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/telvora-reg-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_strPrefix = dir;
        setenv("TELVORA_PREFIX", dir, 1);
        RegSetBusyTimeout(10000);
    }
    void TearDown() override { std::filesystem::remove_all(m_strPrefix); }

    // Opens or creates a key under HKCU, failing the test when it can't.
    HKEY Create(const char* path, HKEY root = HKEY_CURRENT_USER) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(root, path, &key), ERROR_SUCCESS) << path;
        return key;
    }

    std::string m_strPrefix;
};
