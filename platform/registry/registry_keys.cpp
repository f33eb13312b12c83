// Key handles and the key calls: open, create, close, delete, enumerate.
#include "platform/registry/registry_keys.h"

#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "platform/text/text.h"

struct RegKeyHandle {
    regstore::CKeyRef m_ref;
};

namespace regstore {
namespace {

// Every handle this process has handed out and not yet closed, so that a
// stale or made-up handle is refused instead of followed.
std::mutex& HandleMutex() {
    static std::mutex m;
    return m;
}
std::unordered_set<RegKeyHandle*>& LiveHandles() {
    static std::unordered_set<RegKeyHandle*> handles;
    return handles;
}

HKEY NewHandle(const CKeyRef& ref) {
    auto h = std::make_unique<RegKeyHandle>(RegKeyHandle{ref});
    std::lock_guard lock(HandleMutex());
    LiveHandles().insert(h.get());
    return h.release();
}

std::vector<std::string> ClassesPath(const std::vector<std::string>& path) {
    std::vector<std::string> full{"Software", "Classes"};
    full.insert(full.end(), path.begin(), path.end());
    return full;
}

std::int64_t Find(sqlite3* db, std::int64_t id, const std::vector<std::string>& path) {
    for (const std::string& name : path) {
        id = FindChild(db, id, name);
        if (id == 0)
            break;
    }
    return id;
}

std::int64_t Make(sqlite3* db, std::int64_t id, const std::vector<std::string>& path) {
    for (const std::string& name : path) {
        std::int64_t child = FindChild(db, id, name);
        if (child == 0) {
            CStatement st(db, "INSERT INTO keys(parent, name, lname) VALUES(?1, ?2, ?3)");
            st.Bind(1, id).Bind(2, name).Bind(3, text::AsciiLower(name)).Step();
            child = sqlite3_last_insert_rowid(db);
        }
        id = child;
    }
    return id;
}

// Removes a key's values and everything below it; the key itself too unless
// keepKey. Walks the tree in SQL, so no depth limit applies.
void DeleteBelow(sqlite3* db, std::int64_t id, bool keepKey) {
    static constexpr const char* kTree =
        "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL"
        " SELECT keys.id FROM keys JOIN t ON keys.parent = t.id) ";
    CStatement vals(db, (std::string(kTree) + "DELETE FROM vals WHERE key IN t").c_str());
    vals.Bind(1, id).Step();
    CStatement keys(db,
                    (std::string(kTree) + "DELETE FROM keys WHERE id IN t AND id <> ?2").c_str());
    keys.Bind(1, id).Bind(2, keepKey ? id : std::int64_t{0}).Step();
}

}  // namespace

LONG LookupHandle(HKEY hKey, CKeyRef* ref) {
    ref->m_path.clear();
    if (hKey == HKEY_CURRENT_USER) {
        ref->m_root = ERoot::kUser;
    } else if (hKey == HKEY_LOCAL_MACHINE) {
        ref->m_root = ERoot::kMachine;
    } else if (hKey == HKEY_CLASSES_ROOT) {
        ref->m_root = ERoot::kClasses;
    } else {
        std::lock_guard lock(HandleMutex());
        if (!LiveHandles().count(hKey))
            return ERROR_INVALID_HANDLE;
        *ref = hKey->m_ref;
    }
    return ERROR_SUCCESS;
}

LONG AppendSubKey(const char* subKey, CKeyRef* ref) {
    if (!subKey)
        return ERROR_SUCCESS;
    std::string_view rest(subKey);
    while (!rest.empty()) {
        // GBK-aware: the trail byte of a character such as "表" is no separator.
        const std::size_t pos = text::FindFirstBackslash(rest);
        if (pos == 0)
            return ERROR_INVALID_PARAMETER;
        ref->m_path.emplace_back(rest.substr(0, pos));
        if (pos == std::string_view::npos)
            break;
        rest.remove_prefix(pos + 1);
    }
    return ERROR_SUCCESS;
}

LONG ResolveRef(HKEY hKey, const char* subKey, CKeyRef* ref) {
    const LONG rc = LookupHandle(hKey, ref);
    return rc != ERROR_SUCCESS ? rc : AppendSubKey(subKey, ref);
}

LONG ResolveRef(HKEY hKey, const char* subKey, CKeyRef* base, CKeyRef* ref) {
    if (const LONG rc = LookupHandle(hKey, base))
        return rc;
    *ref = *base;
    return AppendSubKey(subKey, ref);
}

std::int64_t FindChild(sqlite3* db, std::int64_t parent, const std::string& name) {
    CStatement st(db, "SELECT id FROM keys WHERE parent = ?1 AND lname = ?2");
    st.Bind(1, parent).Bind(2, text::AsciiLower(name));
    return st.Step() ? st.Int(0) : 0;
}

std::vector<std::int64_t> KeysForRead(sqlite3* db, const CKeyRef& ref) {
    std::vector<std::int64_t> ids;
    auto add = [&](std::int64_t root, const std::vector<std::string>& path) {
        if (const std::int64_t id = Find(db, root, path))
            ids.push_back(id);
    };
    switch (ref.m_root) {
        case ERoot::kUser:
            add(kUserRootId, ref.m_path);
            break;
        case ERoot::kMachine:
            add(kMachineRootId, ref.m_path);
            break;
        case ERoot::kClasses:
            add(kUserRootId, ClassesPath(ref.m_path));
            add(kMachineRootId, ClassesPath(ref.m_path));
            break;
    }
    return ids;
}

bool KeyExists(sqlite3* db, const CKeyRef& ref) {
    return ref.m_path.empty() || !KeysForRead(db, ref).empty();
}

std::int64_t KeyForWrite(sqlite3* db, const CKeyRef& ref, bool create) {
    if (ref.m_root != ERoot::kClasses) {
        const std::int64_t root = ref.m_root == ERoot::kUser ? kUserRootId : kMachineRootId;
        return create ? Make(db, root, ref.m_path) : Find(db, root, ref.m_path);
    }
    const std::vector<std::string> path = ClassesPath(ref.m_path);
    if (const std::int64_t id = Find(db, kUserRootId, path))
        return id;
    if (create || KeyExists(db, ref))
        return Make(db, kUserRootId, path);
    return 0;
}

}  // namespace regstore

using namespace regstore;

LONG RegOpenKeyEx(HKEY hKey, const char* subKey, HKEY* result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    CKeyRef base, ref;
    if (const LONG rc = ResolveRef(hKey, subKey, &base, &ref))
        return rc;
    return Guarded([&]() -> LONG {
        CTransaction tx(false);
        if (!KeyExists(tx.Db(), base))
            return ERROR_KEY_DELETED;
        if (!KeyExists(tx.Db(), ref))
            return ERROR_FILE_NOT_FOUND;
        *result = NewHandle(ref);
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyEx(HKEY hKey, const char* subKey, HKEY* result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    CKeyRef base, ref;
    if (const LONG rc = ResolveRef(hKey, subKey, &base, &ref))
        return rc;
    return Guarded([&]() -> LONG {
        CTransaction tx(true);
        if (!KeyExists(tx.Db(), base))
            return ERROR_KEY_DELETED;
        // HKCR: a key that already shows (from HKLM) is opened, not copied.
        if (!KeyExists(tx.Db(), ref))
            KeyForWrite(tx.Db(), ref, true);
        tx.Commit();
        *result = NewHandle(ref);
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY hKey) {
    if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    {
        std::lock_guard lock(HandleMutex());
        if (!LiveHandles().erase(hKey))
            return ERROR_INVALID_HANDLE;
    }
    delete hKey;
    return ERROR_SUCCESS;
}

LONG RegDeleteTree(HKEY hKey, const char* subKey) {
    CKeyRef base, ref;
    if (const LONG rc = ResolveRef(hKey, subKey, &base, &ref))
        return rc;
    const bool keepKey = ref.m_path.size() == base.m_path.size();
    return Guarded([&]() -> LONG {
        CTransaction tx(true);
        if (!KeyExists(tx.Db(), base))
            return ERROR_KEY_DELETED;
        // HKCR: the key goes from both views, so that it no longer shows.
        const std::vector<std::int64_t> ids = KeysForRead(tx.Db(), ref);
        if (ids.empty() && !ref.m_path.empty())
            return ERROR_FILE_NOT_FOUND;
        for (const std::int64_t id : ids)
            DeleteBelow(tx.Db(), id, keepKey);
        tx.Commit();
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKey(HKEY hKey, DWORD index, std::string* name) {
    if (!name)
        return ERROR_INVALID_PARAMETER;
    CKeyRef ref;
    if (const LONG rc = LookupHandle(hKey, &ref))
        return rc;
    return Guarded([&]() -> LONG {
        CTransaction tx(false);
        if (!KeyExists(tx.Db(), ref))
            return ERROR_KEY_DELETED;
        // Sorted by name ignoring case; under HKCR a name in both views counts once.
        std::map<std::string, std::string> names;
        for (const std::int64_t id : KeysForRead(tx.Db(), ref)) {
            CStatement st(tx.Db(), "SELECT lname, name FROM keys WHERE parent = ?1");
            st.Bind(1, id);
            while (st.Step())
                names.emplace(st.Bytes(0), st.Bytes(1));
        }
        if (index >= names.size())
            return ERROR_NO_MORE_ITEMS;
        *name = std::next(names.begin(), index)->second;
        return ERROR_SUCCESS;
    });
}
