#include "corvane/tests/corvane_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "corvane/corvane_ids.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"

void CCorvaneTest::SetUp() {
    char tmpl[] = "/tmp/tv_corvane_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_root = tmpl;
    setenv("TELVORA_PREFIX", (m_root + "/prefix").c_str(), 1);
    std::ofstream(m_root + "/mounts").flush();
    setenv("TELVORA_MOUNTS_FILE", (m_root + "/mounts").c_str(), 1);
    RegSetBusyTimeout(10000);
}

void CCorvaneTest::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
}

std::string CCorvaneTest::ModulePath() {
    return ToWindowsPath(TELVORA_CORVANE_MODULE).value_or("");
}

HMODULE CCorvaneTest::Module() {
    HMODULE module = LoadLibrary(ModulePath());
    EXPECT_NE(module, nullptr) << com::GetModuleLoadError();
    return module;
}

HRESULT CCorvaneTest::CallEntry(const char* name) {
    auto entry = reinterpret_cast<PFNDLLREGISTERSERVER>(GetProcAddress(Module(), name));
    return entry ? entry() : E_FAIL;
}

CComPtr<IDispatch> CCorvaneTest::NewControl() {
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(kCorvaneProgId, &clsid), S_OK);
    CComPtr<IDispatch> control;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.Out()),
              S_OK);
    return control;
}
