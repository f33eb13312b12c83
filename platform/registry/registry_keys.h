// Inside the registry service: what a key handle names, and how a name is
// found in (or added to) the store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/registry_store.h"

namespace regstore {

enum class ERoot { kUser, kMachine, kClasses };

// A key as a root and the names below it. For kClasses the names are below
// Software\Classes of HKCU and HKLM.
struct CKeyRef {
    ERoot m_root = ERoot::kUser;
    std::vector<std::string> m_path;
};

// The key an open or predefined handle names, copied (so that a handle
// closed by another thread meanwhile can't be used after it is freed).
// ERROR_INVALID_HANDLE when hKey is neither.
LONG LookupHandle(HKEY hKey, CKeyRef* ref);
// Appends the names of a "a\b\c" sub key (null or "" appends nothing).
// ERROR_INVALID_PARAMETER for an empty name between backslashes.
LONG AppendSubKey(const char* subKey, CKeyRef* ref);
// Both: the handle's key followed by subKey.
LONG ResolveRef(HKEY hKey, const char* subKey, CKeyRef* ref);
// The same, keeping the handle's own key in *base as well.
LONG ResolveRef(HKEY hKey, const char* subKey, CKeyRef* base, CKeyRef* ref);

// Store ids of the key for reading, in the order they are consulted (for
// kClasses: HKCU's copy, then HKLM's). Empty when the key does not exist.
std::vector<std::int64_t> KeysForRead(sqlite3* db, const CKeyRef& ref);
// True when the key exists; a root always does.
bool KeyExists(sqlite3* db, const CKeyRef& ref);
// The id to write to: the key itself (with every missing parent made when
// create is set); for kClasses HKCU's copy, made when the key exists only in
// HKLM. 0 when the key does not exist and create is not set.
std::int64_t KeyForWrite(sqlite3* db, const CKeyRef& ref, bool create);

// Finds a subkey of parent by name, ignoring ASCII letter case; 0 if none.
std::int64_t FindChild(sqlite3* db, std::int64_t parent, const std::string& name);

}  // namespace regstore
