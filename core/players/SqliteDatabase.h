#pragma once
// One SQLite connection, closed when it goes, and a write transaction that rolls back unless
// committed. Every failure comes back as a value; nothing here throws.

#include <cstdint>
#include <optional>
#include <sqlite3.h>
#include <string>

#include "core/players/SqliteStatement.h"

struct SqlStatus {
    int code = SQLITE_OK; // extended result code
    std::string message;

    bool Ok() const { return code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW; }
    int Primary() const { return code & 0xff; }
    // Another connection holds the lock: worth trying again later.
    bool Busy() const { return Primary() == SQLITE_BUSY || Primary() == SQLITE_LOCKED; }
    // The file is not a database, or a damaged one.
    bool Damaged() const { return Primary() == SQLITE_CORRUPT || Primary() == SQLITE_NOTADB; }
};

class CSqliteDatabase {
  public:
    CSqliteDatabase() = default;
    ~CSqliteDatabase() { Close(); }
    CSqliteDatabase(const CSqliteDatabase&) = delete;
    CSqliteDatabase& operator=(const CSqliteDatabase&) = delete;

    // `flags` are SQLITE_OPEN_* flags; extended result codes and defensive mode are switched
    // on, the file's schema is not trusted.
    SqlStatus Open(const std::string& path, int flags);
    // Statements of this connection must be gone first.
    void Close();
    bool IsOpen() const { return db != nullptr; }
    sqlite3* Handle() const { return db; }

    // Runs fixed SQL text (schema, pragmas, transaction control); never text built from data.
    SqlStatus Exec(const char* sql);
    // An invalid statement on failure; `firstFailure`, when given and still Ok, says why.
    CSqliteStatement Prepare(const char* sql, SqlStatus* firstFailure = nullptr);
    // The first column of the first row of fixed SQL text (a pragma, a count).
    std::optional<std::int64_t> QueryInt(const char* sql, SqlStatus* status = nullptr);

    SqlStatus StatusOf(int code) const;
    int LastCode() const;
    std::int64_t Changes() const;
    std::int64_t LastInsertId() const;
    void SetBusyTimeout(int ms);

  private:
    sqlite3* db = nullptr;
};

// BEGIN IMMEDIATE: takes the write lock at once, so a busy database shows at Begin, not halfway.
class CSqliteTransaction {
  public:
    explicit CSqliteTransaction(CSqliteDatabase& db) : db(db) {}
    ~CSqliteTransaction();
    CSqliteTransaction(const CSqliteTransaction&) = delete;
    CSqliteTransaction& operator=(const CSqliteTransaction&) = delete;

    SqlStatus Begin();
    SqlStatus Commit();

  private:
    CSqliteDatabase& db;
    bool open = false;
};
