#pragma once
// The player memory's tables, the steps that build them, and the SQL functions its statements
// use.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/players/SqliteDatabase.h"

namespace player_schema {

// "VyrP": marks the file as this program's.
constexpr std::int32_t APPLICATION_ID = 0x56797250;

// Step i takes the schema from version i to i + 1.
const std::vector<const char*>& Steps();

// A chat line's id is its player's id in the high half and the player's own line count in the
// low half: a player's lines are one id range (their page is a range scan), and the full-text
// index names the player of each match without a lookup (search groups by id >> 32).
constexpr int CHAT_SEQUENCE_BITS = 32;
constexpr std::int64_t FirstChatId(std::int64_t playerId) {
    return playerId << CHAT_SEQUENCE_BITS;
}
constexpr std::int64_t LastChatId(std::int64_t playerId) {
    return FirstChatId(playerId + 1) - 1;
}
// Row ids come from the file: only these have a chat range that fits 64 bits.
constexpr bool HasChatRange(std::int64_t playerId) {
    return playerId > 0 && playerId < (std::int64_t{1} << (63 - CHAT_SEQUENCE_BITS));
}

// The bytes with Latin-1 capitals made small: names match whatever case was typed.
std::string FoldLatin1(std::string_view bytes);

// vyr_utf8(blob): the Latin-1 bytes as UTF-8 text, what the full-text index holds.
// vyr_fold(blob): the bytes with Latin-1 capitals made small, for name search.
// vyr_lines_by_player(chat id): an aggregate, the chat lines per player as PlayerLines
// (native byte order; for this process only, never stored), in player order.
SqlStatus RegisterFunctions(CSqliteDatabase& db);

struct PlayerLines {
    std::int64_t playerId;
    std::int64_t lines;
};
// What vyr_lines_by_player gave.
std::vector<PlayerLines> PlayerLinesFrom(const std::string& blob);

} // namespace player_schema
