// Inside the component layer: registry helpers over HKEY_CLASSES_ROOT and
// the table of type libraries that loaded modules hold. Not for code outside
// platform/com.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/typelib.h"

namespace com::detail {

// The library a loaded module added for libid and version; null when none.
const TypeLibraryInfo* FindModuleTypeLib(REFGUID libid, WORD major, WORD minor);

// HKEY_CLASSES_ROOT\key: created with its parents; the value (name null:
// the default value) set to a string. False when the registry refuses.
bool SetClassesValue(const std::string& key, const char* name, const std::string& value);
bool CreateClassesKey(const std::string& key);
bool ClassesKeyExists(const std::string& key);
// A string value of any length; nothing when the key or value is missing.
std::optional<std::string> ReadClassesValue(const std::string& key, const char* name = nullptr);
// Subkey names of HKEY_CLASSES_ROOT\key (empty when it is missing).
std::vector<std::string> ClassesSubKeys(const std::string& key);
// Deletes the key and all below it. True when it is gone (or never was).
bool DeleteClassesTree(const std::string& key);
// Registration creates container keys (CLSID, TypeLib\{libid}, Interface,
// Software\Classes itself) as needed; unregistration removes those of them
// that it leaves empty, so that registering and unregistering leave the
// registry as it was. keys are below HKEY_CLASSES_ROOT, deepest first.
void PruneEmptyClassesKeys(const std::vector<std::string>& keys);

// "1.0": the version as the registry keys spell it (hexadecimal parts).
std::string VersionKey(WORD major, WORD minor);

}  // namespace com::detail
