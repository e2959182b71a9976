#pragma once
// How the player memory's facts read, the same in the window and in vyr-cli. Names and chat
// are not touched here: they stay server bytes, escaped where they are shown.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/players/PlayerRecords.h"

// "under a minute", "45 min", "3 h 20 min", "1204 h".
std::string PlayTimeText(std::int64_t seconds);
// What the player table's "Seen" column says: "new" for a first session, else sessions and
// play time, short: "12× 3 h", "2× 45 min", "3× <1 min".
std::string SeenText(const PlayerRecord& record);
// "2026-03-04 21:13" in the local time zone.
std::string LocalTimeText(std::int64_t unixSeconds);
// "2026-03-04T20:13:00Z".
std::string UtcTimeText(std::int64_t unixSeconds);

// A note as it may be shown: the admin's UTF-8, though a file may hold anything. Bytes that
// are not UTF-8 become U+FFFD; with `escapeControls`, control characters are escaped as
// Printable() escapes server text (\n, \x1b).
std::string NoteText(std::string_view note, bool escapeControls);

const char* JoinHowText(JoinHow how);   // "joined", "present at login"
const char* LeaveHowText(LeaveHow how); // "left", "timed out", "kicked", ...
const char* ActionKindText(ActionKind kind);
const char* FlagText(PlayerFlag flag); // "none", "watch", "trusted"
const char* ChatKindText(int kind);    // "public", "team", "server"
