#include "platform/com/tests/com_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fs/fs.h"
#include "platform/registry/registry.h"

void CComPrefixTest::SetUp() {
    char tmpl[] = "/tmp/tv_com_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_root = tmpl;
    setenv("TELVORA_PREFIX", (m_root + "/prefix").c_str(), 1);
    std::ofstream(m_root + "/mounts").flush();
    setenv("TELVORA_MOUNTS_FILE", (m_root + "/mounts").c_str(), 1);
    RegSetBusyTimeout(10000);
}

void CComPrefixTest::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
}

std::string CComPrefixTest::SampleModulePath() {
    return ToWindowsPath(TELVORA_SAMPLE_COMPONENT).value_or("");
}
