#include "platform/com/tests/registry_dump.h"

#include <vector>

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

std::string DumpRegistry() {
    std::string out;
    DumpKey(HKEY_CURRENT_USER, "HKCU", "", &out);
    DumpKey(HKEY_LOCAL_MACHINE, "HKLM", "", &out);
    return out;
}
