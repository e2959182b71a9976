#pragma once
// What the player memory keeps and gives back. Names and chat are the bytes the server sent
// (Latin-1, maybe with control characters): escape them with Printable() before showing them.
// Times are Unix seconds (UTC). Chat lines of the server itself (and of senders no one knew)
// belong to a record with an empty name.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A server is its host as the user gave it, and its port.
struct ServerKey {
    std::string host;
    int port = 0;
};

// Stored as numbers: never renumber.
enum class JoinHow { Joined = 0, PresentAtLogin = 1 };
enum class LeaveHow {
    Left = 0,
    TimedOut = 1,
    Kicked = 2,
    Banned = 3,          // kicked right after this tool banned them
    ConnectionEnded = 4, // this tool disconnected; the player may have played on
    RecordingLost = 5,   // the recording program ended without a goodbye (a crash, kill -9)
};
enum class DeathCause { Died, Suicide, Killed };
enum class ActionKind { Kick = 0, Ban = 1, Unban = 2, Note = 3 };
enum class PlayerFlag { None = 0, Watch = 1, Trusted = 2 };
enum class BanState {
    Active = 0,
    LiftPending = 1, // a lift failed; tried again at the next login
    LiftedAtExpiry = 2,
    LiftedByAdmin = 3,
    LiftedElsewhere = 4, // gone from the server's list without this tool
};

struct PlayerRecord {
    std::string name;
    std::optional<std::int64_t> firstSeen; // none for a player known only by a note
    std::optional<std::int64_t> lastSeen;
    std::optional<std::int64_t> onlineSince; // an open session's start
    std::int64_t sessions = 0;
    std::int64_t playSeconds = 0; // with an open session counted up to now
    std::int64_t kills = 0;
    std::int64_t deaths = 0;
    std::int64_t suicides = 0;
    std::optional<std::int64_t> score; // the last one seen
    std::int64_t kicks = 0;
    std::int64_t bans = 0;
    std::string note; // UTF-8, as the admin wrote it
    PlayerFlag flag = PlayerFlag::None;
};

// A search result; for a chat search, how many of the player's lines matched.
struct PlayerSummary {
    PlayerRecord record;
    std::int64_t matchingLines = 0;
};

struct SessionEntry {
    std::int64_t joinedAt = 0;
    JoinHow howJoined = JoinHow::Joined;
    std::optional<std::int64_t> leftAt; // none while open
    std::optional<LeaveHow> howLeft;
};

struct ChatEntry {
    std::int64_t at = 0;
    int kind = 0;     // the protocol's chat kind
    std::string text; // bytes as received
};

struct ActionEntry {
    std::int64_t at = 0;
    ActionKind kind = ActionKind::Kick;
    std::string adminUser;
    std::string detail;
};

struct PageQuery {
    std::string chatFilter; // words (UTF-8); empty: every line
    int chatOffset = 0;
    int chatLimit = 200;
    int sessionLimit = 200;
};

// A player's page: newest first everywhere.
struct PlayerPage {
    PlayerRecord record;
    std::vector<SessionEntry> sessions;
    std::int64_t sessionTotal = 0;
    std::vector<ChatEntry> chat;
    std::int64_t chatTotal = 0; // lines matching the filter
    std::vector<ActionEntry> actions;
};

struct BanRequest {
    ServerKey server;
    std::string name;                            // bytes as received
    std::optional<std::string> address;          // dotted IPv4; none: address unknown
    std::string reason;                          // UTF-8
    std::optional<std::int64_t> durationSeconds; // none: permanent
    std::string adminUser;
};

struct BanRecord {
    std::int64_t id = 0;
    std::string name;
    std::optional<std::string> address;
    std::string reason;
    std::int64_t bannedAt = 0;
    std::optional<std::int64_t> expiresAt; // none: permanent
    std::string adminUser;
    BanState state = BanState::Active;
    std::optional<std::int64_t> liftedAt;
    std::int64_t liftFailures = 0;
};

// A read's answer, or why there is none (busy, not open yet, no usable file).
template <typename T> struct StoreRead {
    T value{};
    std::string error;
    bool Ok() const { return error.empty(); }
};
