#pragma once
// One prepared SQLite statement, finalised when it goes. Values only ever enter through the
// Bind calls, so data can never change what a statement does.

#include <cstdint>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>

class CSqliteStatement {
  public:
    CSqliteStatement() = default;
    explicit CSqliteStatement(sqlite3_stmt* statement) : statement(statement) {}
    ~CSqliteStatement();
    CSqliteStatement(CSqliteStatement&& other) noexcept;
    CSqliteStatement& operator=(CSqliteStatement&& other) noexcept;
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;

    bool Valid() const { return statement != nullptr; }

    // Parameters count from 1. Text and blobs are copied, so the caller's bytes may go at once.
    CSqliteStatement& Bind(int index, std::int64_t value);
    CSqliteStatement& BindText(int index, std::string_view text);
    CSqliteStatement& BindBlob(int index, std::string_view bytes); // empty stays a blob, not NULL
    CSqliteStatement& BindNull(int index);
    CSqliteStatement& Bind(int index, const std::optional<std::int64_t>& value);

    // SQLITE_ROW, SQLITE_DONE or the error's result code.
    int Step();
    // Steps until done; SQLITE_DONE or the error. Resets either way.
    int Run();
    // Ready to run again, with every parameter unbound.
    void Reset();

    // Columns count from 0.
    bool IsNull(int column) const;
    std::int64_t Int(int column) const;
    std::optional<std::int64_t> OptionalInt(int column) const;
    std::string Text(int column) const;
    std::string Blob(int column) const;

  private:
    sqlite3_stmt* statement = nullptr;
};
