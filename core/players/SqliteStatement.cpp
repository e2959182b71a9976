#include "core/players/SqliteStatement.h"

#include <utility>

CSqliteStatement::~CSqliteStatement() {
    sqlite3_finalize(statement);
}

CSqliteStatement::CSqliteStatement(CSqliteStatement&& other) noexcept
    : statement(std::exchange(other.statement, nullptr)) {}

CSqliteStatement& CSqliteStatement::operator=(CSqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement);
        statement = std::exchange(other.statement, nullptr);
    }
    return *this;
}

CSqliteStatement& CSqliteStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement, index, value);
    return *this;
}

CSqliteStatement& CSqliteStatement::BindText(int index, std::string_view text) {
    sqlite3_bind_text64(statement, index, text.empty() ? "" : text.data(), text.size(),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

CSqliteStatement& CSqliteStatement::BindBlob(int index, std::string_view bytes) {
    // A null pointer would bind NULL instead of an empty blob.
    sqlite3_bind_blob64(statement, index, bytes.empty() ? "" : bytes.data(), bytes.size(),
                        SQLITE_TRANSIENT);
    return *this;
}

CSqliteStatement& CSqliteStatement::BindNull(int index) {
    sqlite3_bind_null(statement, index);
    return *this;
}

CSqliteStatement& CSqliteStatement::Bind(int index, const std::optional<std::int64_t>& value) {
    return value ? Bind(index, *value) : BindNull(index);
}

int CSqliteStatement::Step() {
    return statement == nullptr ? SQLITE_MISUSE : sqlite3_step(statement);
}

int CSqliteStatement::Run() {
    int code = Step();
    while (code == SQLITE_ROW) {
        code = Step();
    }
    Reset();
    return code;
}

void CSqliteStatement::Reset() {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
}

bool CSqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(statement, column) == SQLITE_NULL;
}

std::int64_t CSqliteStatement::Int(int column) const {
    return sqlite3_column_int64(statement, column);
}

std::optional<std::int64_t> CSqliteStatement::OptionalInt(int column) const {
    if (IsNull(column)) {
        return std::nullopt;
    }
    return Int(column);
}

std::string CSqliteStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text), size);
}

std::string CSqliteStatement::Blob(int column) const {
    const void* bytes = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    return bytes == nullptr ? std::string() : std::string(static_cast<const char*>(bytes), size);
}
