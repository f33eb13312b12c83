// Shared by the component layer's tests: a fresh prefix per test (registry
// and drives), a dump of the whole registry, and the sample module's path.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/com/tests/registry_dump.h"

class CComPrefixTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The built sample component (a Windows path, as registries hold them).
    static std::string SampleModulePath();

    std::string m_root;
};
