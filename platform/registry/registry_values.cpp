// The value calls: read, write, delete and enumerate values, and the
// platform's convenience forms.
#include <cstring>
#include <set>

#include "platform/registry/registry_keys.h"
#include "platform/text/text.h"

using namespace regstore;

namespace {

// A value as stored: REG_SZ text without its terminator, REG_DWORD as 4
// little-endian bytes.
struct CValue {
    DWORD m_type = REG_SZ;
    std::string m_data;
};

const char* NameOrDefault(const char* name) {
    return name ? name : "";
}

// Text ends at its first zero byte; a missing terminator is tolerated.
std::string_view TextBytes(const char* data, std::size_t size) {
    return std::string_view(data, size).substr(0, ::strnlen(data, size));
}

// missingKey: the status when the key itself is gone (a handle to a deleted
// key, or a sub key that does not exist).
LONG ReadValue(const CKeyRef& ref, LONG missingKey, std::string_view name, CValue* out) {
    return Guarded([&]() -> LONG {
        CTransaction tx(false);
        if (!KeyExists(tx.Db(), ref))
            return missingKey;
        const std::string lname = text::AsciiLower(name);
        for (const std::int64_t id : KeysForRead(tx.Db(), ref)) {
            CStatement st(tx.Db(), "SELECT type, data FROM vals WHERE key = ?1 AND lname = ?2");
            st.Bind(1, id).Bind(2, lname);
            if (st.Step()) {
                out->m_type = static_cast<DWORD>(st.Int(0));
                out->m_data = st.Bytes(1);
                return ERROR_SUCCESS;
            }
        }
        if (!name.empty())
            return ERROR_FILE_NOT_FOUND;
        *out = CValue{};  // a default value never set reads as empty text
        return ERROR_SUCCESS;
    });
}

// Stores a value in the key ref names; base is the key of the caller's
// handle, which must still exist.
LONG WriteValue(const CKeyRef& base, const CKeyRef& ref, bool createKey, std::string_view name,
                DWORD type, std::string_view data) {
    return Guarded([&]() -> LONG {
        CTransaction tx(true);
        if (!KeyExists(tx.Db(), base))
            return ERROR_KEY_DELETED;
        const std::int64_t id = KeyForWrite(tx.Db(), ref, createKey);
        if (id == 0)
            return ERROR_KEY_DELETED;
        // A value keeps the spelling of its name from when it was first set.
        CStatement st(tx.Db(),
                      "INSERT INTO vals(key, name, lname, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                      " ON CONFLICT(key, lname) DO UPDATE SET type = excluded.type,"
                      " data = excluded.data");
        st.Bind(1, id).Bind(2, name).Bind(3, text::AsciiLower(name));
        st.Bind(4, std::int64_t{type}).Bind(5, data).Step();
        tx.Commit();
        return ERROR_SUCCESS;
    });
}

// Hands a value to a caller's buffer the Win32 way: *cbData in is the buffer
// size, out the size needed; a buffer too small is left untouched.
LONG Deliver(const CValue& v, BYTE* data, DWORD* cbData) {
    const std::size_t needed = v.m_data.size() + (v.m_type == REG_SZ ? 1 : 0);
    if (needed > 0xffffffffu)
        return ERROR_MORE_DATA;
    if (!cbData)
        return ERROR_SUCCESS;
    const DWORD have = *cbData;
    *cbData = static_cast<DWORD>(needed);
    if (!data)
        return ERROR_SUCCESS;
    if (needed > have)
        return ERROR_MORE_DATA;
    std::memcpy(data, v.m_data.data(), v.m_data.size());
    if (v.m_type == REG_SZ)
        data[v.m_data.size()] = 0;
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegQueryValueEx(HKEY hKey, const char* name, DWORD* type, BYTE* data, DWORD* cbData) {
    if (data && !cbData)
        return ERROR_INVALID_PARAMETER;
    CKeyRef ref;
    if (const LONG rc = LookupHandle(hKey, &ref))
        return rc;
    CValue v;
    if (const LONG rc = ReadValue(ref, ERROR_KEY_DELETED, NameOrDefault(name), &v))
        return rc;
    if (type)
        *type = v.m_type;
    return Deliver(v, data, cbData);
}

LONG RegQueryValue(HKEY hKey, const char* subKey, char* data, LONG* cbData) {
    if ((data && !cbData) || (cbData && *cbData < 0))
        return ERROR_INVALID_PARAMETER;
    CKeyRef ref;
    if (const LONG rc = ResolveRef(hKey, subKey, &ref))
        return rc;
    CValue v;
    const LONG missing = subKey && *subKey ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    if (const LONG rc = ReadValue(ref, missing, "", &v))
        return rc;
    if (v.m_type != REG_SZ)
        return ERROR_FILE_NOT_FOUND;  // this form reads text only
    DWORD size = cbData ? static_cast<DWORD>(*cbData) : 0;
    const LONG rc = Deliver(v, reinterpret_cast<BYTE*>(data), cbData ? &size : nullptr);
    if (cbData)
        *cbData = static_cast<LONG>(size);
    return rc;
}

LONG RegSetValueEx(HKEY hKey, const char* name, DWORD type, const BYTE* data, DWORD cbData) {
    CKeyRef ref;
    if (const LONG rc = LookupHandle(hKey, &ref))
        return rc;
    const char* bytes = reinterpret_cast<const char*>(data);
    std::string_view stored;
    if (type == REG_SZ) {
        if (!data && cbData != 0)
            return ERROR_INVALID_PARAMETER;
        if (data)
            stored = TextBytes(bytes, cbData);
    } else if (type == REG_DWORD) {
        if (!data || cbData != 4)
            return ERROR_INVALID_PARAMETER;
        stored = std::string_view(bytes, 4);
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    return WriteValue(ref, ref, false, NameOrDefault(name), type, stored);
}

LONG RegSetValue(HKEY hKey, const char* subKey, DWORD type, const char* data, DWORD cbData) {
    if (type != REG_SZ || !data)
        return ERROR_INVALID_PARAMETER;
    CKeyRef base, ref;
    if (const LONG rc = ResolveRef(hKey, subKey, &base, &ref))
        return rc;
    // Like the Win32 call the text runs to its terminator, but never past a
    // size the caller gave.
    const std::size_t size = cbData ? ::strnlen(data, cbData) : std::strlen(data);
    return WriteValue(base, ref, true, "", REG_SZ, std::string_view(data, size));
}

LONG RegDeleteValue(HKEY hKey, const char* name) {
    CKeyRef ref;
    if (const LONG rc = LookupHandle(hKey, &ref))
        return rc;
    const std::string lname = text::AsciiLower(NameOrDefault(name));
    return Guarded([&]() -> LONG {
        CTransaction tx(true);
        if (!KeyExists(tx.Db(), ref))
            return ERROR_KEY_DELETED;
        // HKCR: removed from both views, so that it no longer shows.
        int removed = 0;
        for (const std::int64_t id : KeysForRead(tx.Db(), ref)) {
            CStatement st(tx.Db(), "DELETE FROM vals WHERE key = ?1 AND lname = ?2");
            st.Bind(1, id).Bind(2, lname).Step();
            removed += sqlite3_changes(tx.Db());
        }
        if (removed == 0)
            return ERROR_FILE_NOT_FOUND;
        tx.Commit();
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValue(HKEY hKey, DWORD index, std::string* name, DWORD* type, std::string* data) {
    CKeyRef ref;
    if (const LONG rc = LookupHandle(hKey, &ref))
        return rc;
    return Guarded([&]() -> LONG {
        CTransaction tx(false);
        if (!KeyExists(tx.Db(), ref))
            return ERROR_KEY_DELETED;
        // In the order they were first set; under HKCR the HKCU value hides
        // the HKLM one of the same name.
        std::set<std::string> seen;
        DWORD position = 0;
        for (const std::int64_t id : KeysForRead(tx.Db(), ref)) {
            CStatement st(tx.Db(),
                          "SELECT lname, name, type, data FROM vals WHERE key = ?1 ORDER BY rowid");
            st.Bind(1, id);
            while (st.Step()) {
                if (!seen.insert(st.Bytes(0)).second)
                    continue;
                if (position++ != index)
                    continue;
                if (name)
                    *name = st.Bytes(1);
                if (type)
                    *type = static_cast<DWORD>(st.Int(2));
                if (data)
                    *data = st.Bytes(3);
                return ERROR_SUCCESS;
            }
        }
        return ERROR_NO_MORE_ITEMS;
    });
}

std::optional<std::string> RegGetString(HKEY root, const std::string& subKey,
                                        const std::string& name) {
    CKeyRef ref;
    CValue v;
    if (ResolveRef(root, subKey.c_str(), &ref) != ERROR_SUCCESS ||
        ReadValue(ref, ERROR_FILE_NOT_FOUND, name, &v) != ERROR_SUCCESS || v.m_type != REG_SZ)
        return std::nullopt;
    return v.m_data;
}

std::optional<DWORD> RegGetDword(HKEY root, const std::string& subKey, const std::string& name) {
    CKeyRef ref;
    CValue v;
    if (ResolveRef(root, subKey.c_str(), &ref) != ERROR_SUCCESS ||
        ReadValue(ref, ERROR_FILE_NOT_FOUND, name, &v) != ERROR_SUCCESS || v.m_type != REG_DWORD ||
        v.m_data.size() != 4)
        return std::nullopt;
    DWORD value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<BYTE>(v.m_data[i]);
    return value;
}

bool RegPutString(HKEY root, const std::string& subKey, const std::string& name,
                  const std::string& value) {
    CKeyRef base, ref;
    LONG rc = ResolveRef(root, subKey.c_str(), &base, &ref);
    if (rc == ERROR_SUCCESS)
        rc = WriteValue(base, ref, true, name, REG_SZ, TextBytes(value.data(), value.size()));
    if (rc != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(rc));
    return rc == ERROR_SUCCESS;
}
