// Inside the registry service: this thread's connection to registry.db,
// statements, transactions, and how SQLite failures become Win32 codes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace regstore {

// A failed store operation. Thrown below the API and turned into the call's
// status at its entry point (see Guarded).
struct CStoreError {
    LONG code;
};

// Runs f and returns its status; store failures and exhausted memory become
// their codes, so that no exception leaves a registry call.
template <class F>
LONG Guarded(F&& f) {
    try {
        return f();
    } catch (const CStoreError& e) {
        return e.code;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// One prepared statement; every failure throws CStoreError.
class CStatement {
public:
    CStatement(sqlite3* db, const char* sql);
    ~CStatement();
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    CStatement& Bind(int index, std::int64_t value);
    // Text is bound as a blob: GBK bytes are kept and compared as they are.
    CStatement& Bind(int index, std::string_view bytes);
    // Advances to the next row; false when there is none (the statement is done).
    bool Step();
    std::int64_t Int(int column) const;
    std::string Bytes(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// A transaction on this thread's connection, opened on construction and
// rolled back unless committed. A write transaction takes the write lock at
// once (BEGIN IMMEDIATE), so that what it reads stays true until it commits.
class CTransaction {
public:
    explicit CTransaction(bool write);
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    sqlite3* Db() const { return m_db; }
    void Commit();

private:
    sqlite3* m_db;
    bool m_bOpen = true;
};

// Fixed ids of the two real roots.
constexpr std::int64_t kUserRootId = 1;
constexpr std::int64_t kMachineRootId = 2;

}  // namespace regstore
