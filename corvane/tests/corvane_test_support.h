// A fresh prefix per test with the built libcorvane.so loaded and (when a
// test asks) registered, and a dump of the whole registry.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/com/create.h"
#include "platform/com/dispatch_driver.h"
#include "platform/com/module_loader.h"
#include "platform/com/tests/registry_dump.h"

class CCorvaneTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The module as the registry names it (a Windows path).
    static std::string ModulePath();
    HMODULE Module();
    HRESULT CallEntry(const char* name);
    void Register() { ASSERT_EQ(CallEntry("DllRegisterServer"), S_OK); }
    // A new control, by ProgID, through the registry.
    CComPtr<IDispatch> NewControl();

    std::string m_root;
};
