#include "platform/com/tests/com_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fs/fs.h"
#include "platform/registry/registry.h"

namespace {

void DumpKey(HKEY root, const std::string& rootName, const std::string& path, std::string* out) {
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, path.empty() ? nullptr : path.c_str(), &key) != ERROR_SUCCESS) {
        return;
    }
    *out += rootName + "\\" + path + "\n";
    std::string name, data;
    DWORD type = 0;
    for (DWORD i = 0; RegEnumValue(key, i, &name, &type, &data) == ERROR_SUCCESS; ++i) {
        *out += "  [" + name + "] " + std::to_string(type) + " " + data + "\n";
    }
    std::vector<std::string> children;
    for (DWORD i = 0; RegEnumKey(key, i, &name) == ERROR_SUCCESS; ++i) {
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children) {
        DumpKey(root, rootName, path.empty() ? child : path + "\\" + child, out);
    }
}

}  // namespace

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

std::string DumpRegistry() {
    std::string out;
    DumpKey(HKEY_CURRENT_USER, "HKCU", "", &out);
    DumpKey(HKEY_LOCAL_MACHINE, "HKLM", "", &out);
    return out;
}
