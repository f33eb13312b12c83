// The registry: HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE kept in the prefix's
// registry.db (SQLite), HKEY_CLASSES_ROOT as a view of both Software\Classes
// keys. Win32 calling conventions: every call returns a LONG status
// (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, ...); key names are
// GBK, compared without regard to ASCII letter case, and keep the case they
// were created with. Safe to use from several threads and processes at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/error/error.h"

struct RegKeyHandle;
using HKEY = RegKeyHandle*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

enum : DWORD { REG_NONE = 0, REG_SZ = 1, REG_DWORD = 4 };

// Open an existing key (fails with ERROR_FILE_NOT_FOUND when it is missing).
// subKey may be empty or null (a new handle to hKey itself); "a\b\c" walks
// down. One trailing backslash is tolerated; an empty name between two
// backslashes, or a leading backslash, fails with ERROR_INVALID_PARAMETER.
LONG RegOpenKeyEx(HKEY hKey, const char* subKey, HKEY* result);
// Open or create (with every missing parent).
LONG RegCreateKeyEx(HKEY hKey, const char* subKey, HKEY* result);
LONG RegCloseKey(HKEY hKey);

// Read a value. name null or "" is the default value; a key whose default
// value was never set reads it as an empty REG_SZ. data may be null to ask
// for the size. *cbData is in: the buffer size, out: the size needed (REG_SZ
// sizes include the terminating zero). When the buffer is too small the call
// returns ERROR_MORE_DATA and the buffer is left as it was.
LONG RegQueryValueEx(HKEY hKey, const char* name, DWORD* type, BYTE* data, DWORD* cbData);
// The Win16 form: the default value of subKey (may be null) as a string.
LONG RegQueryValue(HKEY hKey, const char* subKey, char* data, LONG* cbData);

// Write a value. REG_SZ data is GBK text with its terminator (a missing
// terminator is tolerated); REG_DWORD data is 4 bytes, little-endian.
LONG RegSetValueEx(HKEY hKey, const char* name, DWORD type, const BYTE* data, DWORD cbData);
// The Win16 form: set the default value of subKey (created when missing).
LONG RegSetValue(HKEY hKey, const char* subKey, DWORD type, const char* data, DWORD cbData);

LONG RegDeleteValue(HKEY hKey, const char* name);
// Deletes subKey with everything under it (subKey null or "": everything
// under hKey, keeping hKey).
LONG RegDeleteTree(HKEY hKey, const char* subKey);

// Enumerate subkeys / values by index; ERROR_NO_MORE_ITEMS past the end.
enum : LONG { ERROR_NO_MORE_ITEMS = 259 };
LONG RegEnumKey(HKEY hKey, DWORD index, std::string* name);
LONG RegEnumValue(HKEY hKey, DWORD index, std::string* name, DWORD* type, std::string* data);

// Convenience for the platform's own settings: the string (REG_SZ) or number
// (REG_DWORD) value, or nothing when the key or value is missing, of another
// type, or the store can't be read.
std::optional<std::string> RegGetString(HKEY root, const std::string& subKey,
                                        const std::string& name);
std::optional<DWORD> RegGetDword(HKEY root, const std::string& subKey, const std::string& name);
bool RegPutString(HKEY root, const std::string& subKey, const std::string& name,
                  const std::string& value);

// Where the store lives (the prefix's registry.db); for tests and tools.
std::string RegistryDatabasePath();

// How long a call waits for another process's write to finish before it
// fails with ERROR_BUSY (default 10 seconds). Takes effect on the next call.
void RegSetBusyTimeout(DWORD milliseconds);
