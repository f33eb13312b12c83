// Registry helpers over HKEY_CLASSES_ROOT for registration and creation.
#include <algorithm>
#include <cstdio>

#include "platform/com/com_internal.h"
#include "platform/registry/registry.h"

namespace com::detail {
namespace {

// Closes a key handle on every path.
class CKey {
public:
    CKey() = default;
    ~CKey() {
        if (m_hKey) {
            RegCloseKey(m_hKey);
        }
    }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY* Put() { return &m_hKey; }
    HKEY get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

bool IsEmptyKey(HKEY root, const std::string& key) {
    CKey handle;
    if (RegOpenKeyEx(root, key.c_str(), handle.Put()) != ERROR_SUCCESS) {
        return false;
    }
    std::string name;
    DWORD type = 0;
    return RegEnumKey(handle.get(), 0, &name) == ERROR_NO_MORE_ITEMS &&
           RegEnumValue(handle.get(), 0, &name, &type, nullptr) == ERROR_NO_MORE_ITEMS;
}

void DeleteIfEmpty(HKEY root, const std::string& key) {
    if (IsEmptyKey(root, key)) {
        RegDeleteTree(root, key.c_str());
    }
}

}  // namespace

bool SetClassesValue(const std::string& key, const char* name, const std::string& value) {
    CKey handle;
    if (RegCreateKeyEx(HKEY_CLASSES_ROOT, key.c_str(), handle.Put()) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueEx(handle.get(), name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool CreateClassesKey(const std::string& key) {
    CKey handle;
    return RegCreateKeyEx(HKEY_CLASSES_ROOT, key.c_str(), handle.Put()) == ERROR_SUCCESS;
}

bool ClassesKeyExists(const std::string& key) {
    CKey handle;
    return RegOpenKeyEx(HKEY_CLASSES_ROOT, key.c_str(), handle.Put()) == ERROR_SUCCESS;
}

std::optional<std::string> ReadClassesValue(const std::string& key, const char* name) {
    CKey handle;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, key.c_str(), handle.Put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The size may change between the two calls when another process writes:
    // ask again then, a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueEx(handle.get(), name, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return std::nullopt;
        }
        std::string data(size, '\0');
        LONG rc =
            RegQueryValueEx(handle.get(), name, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_MORE_DATA) {
            continue;
        }
        if (rc != ERROR_SUCCESS || type != REG_SZ) {
            return std::nullopt;
        }
        data.resize(std::min<std::size_t>(size, data.size()));
        while (!data.empty() && data.back() == '\0') {
            data.pop_back();
        }
        return data;
    }
    return std::nullopt;
}

std::vector<std::string> ClassesSubKeys(const std::string& key) {
    std::vector<std::string> names;
    CKey handle;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, key.c_str(), handle.Put()) != ERROR_SUCCESS) {
        return names;
    }
    std::string name;
    for (DWORD i = 0; RegEnumKey(handle.get(), i, &name) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    return names;
}

bool DeleteClassesTree(const std::string& key) {
    LONG rc = RegDeleteTree(HKEY_CLASSES_ROOT, key.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

void PruneEmptyClassesKeys(const std::vector<std::string>& keys) {
    // Writes through HKEY_CLASSES_ROOT land in the user's Software\Classes;
    // only that side is pruned, never the machine's.
    for (const std::string& key : keys) {
        DeleteIfEmpty(HKEY_CURRENT_USER, "Software\\Classes\\" + key);
    }
    DeleteIfEmpty(HKEY_CURRENT_USER, "Software\\Classes");
    DeleteIfEmpty(HKEY_CURRENT_USER, "Software");
}

std::string VersionKey(WORD major, WORD minor) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x.%x", major, minor);
    return buf;
}

}  // namespace com::detail
