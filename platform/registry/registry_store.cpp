#include "platform/registry/registry_store.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/prefix/prefix.h"

namespace regstore {
namespace {

constexpr int kSchemaVersion = 1;

std::atomic<DWORD> g_dwBusyTimeoutMs{10000};

// Each thread keeps its own connection, so threads never share SQLite state.
// A forked child must not touch its parent's connection (SQLite forbids
// carrying one across fork): it opens its own and leaves the inherited one be.
// SQLite also keeps per-file lock state for the whole process, so a child
// that does not exec should only use the registry if the parent had no
// connection to the same file open when it forked.
struct CConnection {
    sqlite3* m_db = nullptr;
    std::string m_strPath;
    pid_t m_pid = 0;
    bool m_bBroken = false;

    void Drop() {
        if (m_db && m_pid == getpid())
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    ~CConnection() { Drop(); }
};
thread_local CConnection g_threadConnection;

LONG StatusFromSqlite(int rc) {
    switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_BUSY;
        case SQLITE_CORRUPT:
            return ERROR_REGISTRY_CORRUPT;
        case SQLITE_NOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_FULL:
            return ERROR_DISK_FULL;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_CANTOPEN:
            return ERROR_CANTOPEN;
        case SQLITE_IOERR:
            return ERROR_CANTREAD;
        // Not a database, or a database that is not a registry of ours.
        default:
            return ERROR_BADDB;
    }
}

[[noreturn]] void Fail(int rc) {
    const int primary = rc & 0xff;
    // Reopen next time: the file may be repaired or replaced meanwhile.
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT || primary == SQLITE_IOERR ||
        primary == SQLITE_CANTOPEN)
        g_threadConnection.m_bBroken = true;
    throw CStoreError{StatusFromSqlite(rc)};
}

void Exec(sqlite3* db, const char* sql) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc);
}

// The format of the file: kSchemaVersion for a registry, 0 for a new empty
// file. Anything else (another program's database) is refused as a bad
// database before anything is written to it. One statement, so that both
// numbers come from the same state of the file.
std::int64_t CheckFormat(sqlite3* db) {
    CStatement st(db,
                  "SELECT (SELECT user_version FROM pragma_user_version),"
                  " (SELECT count(*) FROM sqlite_master)");
    if (!st.Step())
        throw CStoreError{ERROR_BADDB};
    const std::int64_t version = st.Int(0);
    if (version == kSchemaVersion)
        return version;
    if (version != 0 || st.Int(1) != 0)
        throw CStoreError{ERROR_BADDB};
    return version;
}

// Switching a new file to WAL needs the file to itself, and SQLite reports
// a competing connection at once instead of waiting for it; so the wait (up
// to the busy timeout) is done here. Once the file is in WAL mode this is
// a no-op.
void EnableWal(sqlite3* db) {
    for (DWORD waited = 0;; waited += 10) {
        const int rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            break;
        if ((rc & 0xff) != SQLITE_BUSY || waited >= g_dwBusyTimeoutMs)
            Fail(rc);
        sqlite3_sleep(10);
    }
    Exec(db, "PRAGMA synchronous=FULL");
    // What the last connection checkpoints at its close is cut off the
    // log, so that the next program does not read it back and write it
    // into the database again at its own close.
    Exec(db, "PRAGMA journal_size_limit=0");
}

// A new file gets the tables and the two roots.
void PrepareSchema(sqlite3* db) {
    const bool isNew = CheckFormat(db) != kSchemaVersion;
    EnableWal(db);
    if (!isNew)
        return;
    Exec(db, "BEGIN IMMEDIATE");
    try {
        // Another process may have made it meanwhile.
        if (CheckFormat(db) == 0) {
            // AUTOINCREMENT: an id is never reused, so a handle to a deleted
            // key can't come to name a new one.
            Exec(db,
                 "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER,"
                 " name BLOB NOT NULL, lname BLOB NOT NULL);"
                 "CREATE UNIQUE INDEX keys_child ON keys(parent, lname);"
                 "CREATE TABLE vals(key INTEGER NOT NULL, name BLOB NOT NULL,"
                 " lname BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
                 " PRIMARY KEY(key, lname));"
                 "INSERT INTO keys(id, parent, name, lname) VALUES"
                 " (1, NULL, 'HKEY_CURRENT_USER', 'hkey_current_user'),"
                 " (2, NULL, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine');"
                 "PRAGMA user_version=1;");
        }
        Exec(db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

// What a reader sees of a prefix without a registry: the two empty roots,
// in memory, so that looking leaves nothing behind on the disk.
sqlite3* EmptyRegistry() {
    thread_local CConnection t_empty;
    if (t_empty.m_db && t_empty.m_pid != getpid())
        t_empty.m_db = nullptr;
    if (!t_empty.m_db) {
        sqlite3* db = nullptr;
        const int rc =
            sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        t_empty.m_db = db;
        t_empty.m_pid = getpid();
        if (rc != SQLITE_OK) {
            t_empty.Drop();
            throw CStoreError{StatusFromSqlite(rc)};
        }
        try {
            PrepareSchema(db);
        } catch (...) {
            t_empty.Drop();
            throw;
        }
    }
    return t_empty.m_db;
}

sqlite3* ThreadConnection(bool write) {
    CConnection& c = g_threadConnection;
    const std::string path = RegistryDatabasePath();
    if (c.m_db && c.m_pid != getpid())
        c.m_db = nullptr;  // inherited across fork
    if (c.m_db && (c.m_bBroken || c.m_strPath != path))
        c.Drop();
    if (!c.m_db) {
        if (!write && access(path.c_str(), F_OK) != 0 && errno == ENOENT)
            return EmptyRegistry();
        if (write && !EnsurePrefix())
            throw CStoreError{static_cast<LONG>(errno == EACCES || errno == EPERM || errno == EROFS
                                                    ? ERROR_ACCESS_DENIED
                                                    : ERROR_CANTOPEN)};
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(
            path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
            nullptr);
        c.m_db = db;  // sqlite3_open_v2 hands out a handle even when it fails
        c.m_strPath = path;
        c.m_pid = getpid();
        c.m_bBroken = false;
        if (rc != SQLITE_OK) {
            c.Drop();
            throw CStoreError{StatusFromSqlite(rc)};
        }
        sqlite3_busy_timeout(db, static_cast<int>(g_dwBusyTimeoutMs.load()));
        // The write-ahead log and its index stay when a connection closes:
        // making and deleting both again costs every short-lived program
        // (and every thread) more than its query does.
        int persist = 1;
        sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        try {
            PrepareSchema(db);
        } catch (...) {
            c.Drop();
            throw;
        }
    }
    sqlite3_busy_timeout(c.m_db, static_cast<int>(g_dwBusyTimeoutMs.load()));
    return c.m_db;
}

}  // namespace

CStatement::CStatement(sqlite3* db, const char* sql) : m_db(db) {
    const int rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        Fail(rc);
}

CStatement::~CStatement() {
    sqlite3_finalize(m_stmt);
}

CStatement& CStatement::Bind(int index, std::int64_t value) {
    const int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK)
        Fail(rc);
    return *this;
}

CStatement& CStatement::Bind(int index, std::string_view bytes) {
    // A zero-length blob must still be a blob, not NULL.
    const int rc = sqlite3_bind_blob64(m_stmt, index, bytes.empty() ? "" : bytes.data(),
                                       bytes.size(), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        Fail(rc);
    return *this;
}

bool CStatement::Step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    Fail(rc);
}

std::int64_t CStatement::Int(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::string CStatement::Bytes(int column) const {
    const void* p = sqlite3_column_blob(m_stmt, column);
    const int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n))
             : std::string();
}

CTransaction::CTransaction(bool write) : m_db(ThreadConnection(write)) {
    // A transaction left open by an earlier failure must not swallow this one.
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    Exec(m_db, write ? "BEGIN IMMEDIATE" : "BEGIN");
}

CTransaction::~CTransaction() {
    if (m_bOpen)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void CTransaction::Commit() {
    Exec(m_db, "COMMIT");
    m_bOpen = false;
}

}  // namespace regstore

std::string RegistryDatabasePath() {
    return PrefixDir() + "/registry.db";
}

void RegSetBusyTimeout(DWORD milliseconds) {
    regstore::g_dwBusyTimeoutMs = milliseconds > 0x7fffffffu ? 0x7fffffffu : milliseconds;
}
