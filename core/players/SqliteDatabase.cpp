#include "core/players/SqliteDatabase.h"

SqlStatus CSqliteDatabase::Open(const std::string& path, int flags) {
    Close();
    const int code = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (code != SQLITE_OK) {
        SqlStatus status{code, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)};
        Close();
        return status;
    }
    sqlite3_extended_result_codes(db, 1);
    // A file is data from outside: no schema edits through SQL, and nothing in its schema
    // (views, triggers) may call functions with side effects.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    return {};
}

void CSqliteDatabase::Close() {
    if (db != nullptr) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
}

SqlStatus CSqliteDatabase::Exec(const char* sql) {
    if (db == nullptr) {
        return {SQLITE_MISUSE, "the database is not open"};
    }
    return StatusOf(sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

CSqliteStatement CSqliteDatabase::Prepare(const char* sql, SqlStatus* firstFailure) {
    sqlite3_stmt* statement = nullptr;
    const int code = db == nullptr ? SQLITE_MISUSE
                                   : sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT,
                                                        &statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(statement);
        if (firstFailure != nullptr && firstFailure->Ok()) {
            *firstFailure = StatusOf(code);
        }
        return CSqliteStatement();
    }
    return CSqliteStatement(statement);
}

std::optional<std::int64_t> CSqliteDatabase::QueryInt(const char* sql, SqlStatus* status) {
    SqlStatus failure;
    CSqliteStatement statement = Prepare(sql, &failure);
    const int code = statement.Valid() ? statement.Step() : failure.code;
    if (status != nullptr) {
        *status = StatusOf(code);
    }
    if (code != SQLITE_ROW) {
        return std::nullopt;
    }
    return statement.Int(0);
}

SqlStatus CSqliteDatabase::StatusOf(int code) const {
    if (code == SQLITE_OK || code == SQLITE_DONE || code == SQLITE_ROW) {
        return {code, {}};
    }
    // The connection's message names the cause more precisely than the code, when it is this
    // code's message.
    const bool sameError = db != nullptr && sqlite3_extended_errcode(db) == code;
    return {code, sameError ? sqlite3_errmsg(db) : sqlite3_errstr(code)};
}

int CSqliteDatabase::LastCode() const {
    return db == nullptr ? SQLITE_MISUSE : sqlite3_extended_errcode(db);
}

std::int64_t CSqliteDatabase::Changes() const {
    return db == nullptr ? 0 : sqlite3_changes64(db);
}

std::int64_t CSqliteDatabase::LastInsertId() const {
    return db == nullptr ? 0 : sqlite3_last_insert_rowid(db);
}

void CSqliteDatabase::SetBusyTimeout(int ms) {
    if (db != nullptr) {
        sqlite3_busy_timeout(db, ms);
    }
}

CSqliteTransaction::~CSqliteTransaction() {
    // After some errors SQLite has rolled back already; then this is a harmless no-op.
    if (open && sqlite3_get_autocommit(db.Handle()) == 0) {
        db.Exec("ROLLBACK");
    }
}

SqlStatus CSqliteTransaction::Begin() {
    SqlStatus status = db.Exec("BEGIN IMMEDIATE");
    open = status.Ok();
    return status;
}

SqlStatus CSqliteTransaction::Commit() {
    SqlStatus status = db.Exec("COMMIT");
    // A busy COMMIT leaves the transaction open: the destructor rolls it back.
    open = !status.Ok();
    return status;
}
