#include "core/players/PlayerSchema.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/WireText.h"

namespace player_schema {

namespace {

// Version 1. Names and chat are BLOBs: the bytes as the server sent them. Times are Unix
// seconds (UTC). Counters live on the player row, so the window's "Seen" column is one row.
constexpr const char* VERSION_1 = R"sql(
CREATE TABLE servers(
    id INTEGER PRIMARY KEY,
    host TEXT NOT NULL,
    port INTEGER NOT NULL,
    UNIQUE(host, port));

CREATE TABLE players(
    id INTEGER PRIMARY KEY,
    server_id INTEGER NOT NULL REFERENCES servers(id),
    name BLOB NOT NULL,
    first_seen INTEGER,
    last_seen INTEGER,
    sessions INTEGER NOT NULL DEFAULT 0,
    play_seconds INTEGER NOT NULL DEFAULT 0,
    kills INTEGER NOT NULL DEFAULT 0,
    deaths INTEGER NOT NULL DEFAULT 0,
    suicides INTEGER NOT NULL DEFAULT 0,
    score INTEGER,
    kicks INTEGER NOT NULL DEFAULT 0,
    bans INTEGER NOT NULL DEFAULT 0,
    note TEXT NOT NULL DEFAULT '',
    flag INTEGER NOT NULL DEFAULT 0,
    UNIQUE(server_id, name));

-- One admin connection of this tool to a server. heartbeat_at moves on while it records, so
-- a connection left open by a crash can be closed at its last sign of life.
CREATE TABLE connections(
    id INTEGER PRIMARY KEY,
    server_id INTEGER NOT NULL REFERENCES servers(id),
    admin_user TEXT NOT NULL,
    started_at INTEGER NOT NULL,
    ended_at INTEGER,
    heartbeat_at INTEGER NOT NULL);
CREATE INDEX connections_open ON connections(heartbeat_at) WHERE ended_at IS NULL;

CREATE TABLE sessions(
    id INTEGER PRIMARY KEY,
    player_id INTEGER NOT NULL REFERENCES players(id),
    connection_id INTEGER NOT NULL REFERENCES connections(id),
    joined_at INTEGER NOT NULL,
    how_joined INTEGER NOT NULL,
    left_at INTEGER,
    how_left INTEGER);
CREATE INDEX sessions_by_player ON sessions(player_id, joined_at);
-- Open sessions are few: this stays tiny however long the history grows, and holds all that
-- "online since" and the end of a dead recorder's connection need.
CREATE INDEX sessions_open ON sessions(player_id, connection_id, joined_at)
    WHERE left_at IS NULL;

CREATE TABLE chat(
    id INTEGER PRIMARY KEY,
    at INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    text BLOB NOT NULL);
-- Contentless: the text is kept once, in chat; rowid = chat.id. Nothing is ranked, so no
-- per-line sizes are kept either.
CREATE VIRTUAL TABLE chat_words USING fts5(
    body, content = '', columnsize = 0, tokenize = 'unicode61 remove_diacritics 2');

CREATE TABLE actions(
    id INTEGER PRIMARY KEY,
    player_id INTEGER NOT NULL REFERENCES players(id),
    at INTEGER NOT NULL,
    kind INTEGER NOT NULL,
    admin_user TEXT NOT NULL,
    detail TEXT NOT NULL);
CREATE INDEX actions_by_player ON actions(player_id, at);

-- The only place an address is kept: one this tool banned.
CREATE TABLE bans(
    id INTEGER PRIMARY KEY,
    server_id INTEGER NOT NULL REFERENCES servers(id),
    name BLOB NOT NULL,
    address TEXT,
    reason TEXT NOT NULL,
    banned_at INTEGER NOT NULL,
    expires_at INTEGER,
    admin_user TEXT NOT NULL,
    state INTEGER NOT NULL DEFAULT 0,
    lifted_at INTEGER,
    lift_failures INTEGER NOT NULL DEFAULT 0);
CREATE INDEX bans_by_address ON bans(server_id, address);
CREATE INDEX bans_by_name ON bans(server_id, name);
CREATE INDEX bans_to_lift ON bans(server_id, expires_at) WHERE state <= 1;
)sql";

std::string_view BlobArgument(sqlite3_value* value) {
    const void* bytes = sqlite3_value_blob(value);
    const int size = sqlite3_value_bytes(value);
    return bytes == nullptr ? std::string_view()
                            : std::string_view(static_cast<const char*>(bytes), size);
}

void Utf8Function(sqlite3_context* context, int, sqlite3_value** arguments) {
    const std::string text = Latin1ToUtf8(BlobArgument(arguments[0]));
    sqlite3_result_text64(context, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void FoldFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
    const std::string bytes = FoldLatin1(BlobArgument(arguments[0]));
    sqlite3_result_blob64(context, bytes.empty() ? "" : bytes.data(), bytes.size(),
                          SQLITE_TRANSIENT);
}

// Matches of a full-text query come in rowid order, and a player's lines are one rowid range:
// each player is one run, counted in passing, with no sort of every match (a GROUP BY would
// sort them, and stepping through them one by one costs more than this call per row).
void CountLineStep(sqlite3_context* context, int, sqlite3_value** arguments) {
    auto** counts = static_cast<std::vector<PlayerLines>**>(
        sqlite3_aggregate_context(context, sizeof(std::vector<PlayerLines>*)));
    if (counts == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (*counts == nullptr) {
        *counts = new std::vector<PlayerLines>();
    }
    const std::int64_t playerId = sqlite3_value_int64(arguments[0]) >> CHAT_SEQUENCE_BITS;
    if ((*counts)->empty() || (*counts)->back().playerId != playerId) {
        (*counts)->push_back({playerId, 0});
    }
    ++(*counts)->back().lines;
}

void CountLineFinal(sqlite3_context* context) {
    auto** counts = static_cast<std::vector<PlayerLines>**>(sqlite3_aggregate_context(context, 0));
    std::unique_ptr<std::vector<PlayerLines>> owned(counts != nullptr ? *counts : nullptr);
    std::vector<PlayerLines> merged;
    if (owned) {
        // Should the rows ever come in another order, runs of one player are merged.
        std::stable_sort(
            owned->begin(), owned->end(),
            [](const PlayerLines& a, const PlayerLines& b) { return a.playerId < b.playerId; });
        for (const PlayerLines& run : *owned) {
            if (merged.empty() || merged.back().playerId != run.playerId) {
                merged.push_back({run.playerId, 0});
            }
            merged.back().lines += run.lines;
        }
    }
    sqlite3_result_blob64(context, merged.empty() ? "" : static_cast<const void*>(merged.data()),
                          merged.size() * sizeof(PlayerLines), SQLITE_TRANSIENT);
}

} // namespace

std::vector<PlayerLines> PlayerLinesFrom(const std::string& blob) {
    std::vector<PlayerLines> counts(blob.size() / sizeof(PlayerLines));
    if (!counts.empty()) {
        std::memcpy(counts.data(), blob.data(), counts.size() * sizeof(PlayerLines));
    }
    return counts;
}

std::string FoldLatin1(std::string_view bytes) {
    std::string folded(bytes);
    for (char& c : folded) {
        const auto b = static_cast<unsigned char>(c);
        // ASCII capitals, and Latin-1's capitals from 0xC0 to 0xDE but the multiplication sign.
        if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) {
            c = static_cast<char>(b + 0x20);
        }
    }
    return folded;
}

const std::vector<const char*>& Steps() {
    static const std::vector<const char*> steps = {VERSION_1};
    return steps;
}

SqlStatus RegisterFunctions(CSqliteDatabase& db) {
    constexpr int FLAGS = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    int code = sqlite3_create_function_v2(db.Handle(), "vyr_utf8", 1, FLAGS, nullptr, Utf8Function,
                                          nullptr, nullptr, nullptr);
    if (code == SQLITE_OK) {
        code = sqlite3_create_function_v2(db.Handle(), "vyr_fold", 1, FLAGS, nullptr, FoldFunction,
                                          nullptr, nullptr, nullptr);
    }
    if (code == SQLITE_OK) {
        code = sqlite3_create_function_v2(db.Handle(), "vyr_lines_by_player", 1,
                                          SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr, nullptr,
                                          CountLineStep, CountLineFinal, nullptr);
    }
    return db.StatusOf(code);
}

} // namespace player_schema
