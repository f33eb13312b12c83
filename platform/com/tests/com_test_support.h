// Shared by the component layer's tests: a fresh prefix per test (registry
// and drives), a dump of the whole registry, and the sample module's path.
#pragma once

#include <gtest/gtest.h>

#include <string>

class CComPrefixTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The built sample component (a Windows path, as registries hold them).
    static std::string SampleModulePath();

    std::string m_root;
};

// Every key and value under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, one
// line each, in a stable order: two dumps are equal when the registries are.
std::string DumpRegistry();
