#pragma once
// What the event loop hands the writer thread: one item per event or change, in order.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "core/players/PlayerRecords.h"

namespace record {

struct SessionStarted {
    ServerKey server;
    std::string adminUser;
    std::vector<std::string> present; // names on the server at login
};
struct Joined {
    std::string name;
};
struct Left {
    std::string name;
    LeaveHow how = LeaveHow::Left;
};
struct Died {
    std::string victim;
    DeathCause cause = DeathCause::Died;
    std::string killer;
};
struct Scored {
    std::string name;
    std::int64_t value = 0;
};
struct Said {
    std::string name; // empty: the server, or a sender no one knew
    int kind = 0;
    std::string text;
};
struct SessionEnded {};
struct ActionTaken {
    ServerKey server;
    std::string name;
    ActionKind kind = ActionKind::Kick;
    std::string adminUser;
    std::string detail;
};
struct NoteSet {
    ServerKey server;
    std::string name;
    std::string note;
    std::string adminUser;
    bool append = false; // a line added to the note, once, instead of a new note
};
struct FlagSet {
    ServerKey server;
    std::string name;
    PlayerFlag flag = PlayerFlag::None;
};
struct Forgotten {
    ServerKey server;
    std::string name;
};
struct RetentionSet {
    int days = 0;
};
struct BanRecorded {
    std::int64_t id = 0;
    BanRequest request;
};
struct BanLifted {
    std::int64_t id = 0;
    BanState how = BanState::LiftedAtExpiry;
    std::string adminUser;
};
struct BanLiftFailed {
    std::int64_t id = 0;
};

// Events of the current connection, then the user's changes. A flood is made of the small
// events, held by value; the rare, larger items are boxed, so that every item stays small.
template <typename T> using Boxed = std::unique_ptr<const T>;
using What = std::variant<Joined, Left, Died, Scored, Said, SessionEnded, Boxed<SessionStarted>,
                          Boxed<ActionTaken>, Boxed<NoteSet>, Boxed<FlagSet>, Boxed<Forgotten>,
                          RetentionSet, Boxed<BanRecorded>, Boxed<BanLifted>, BanLiftFailed>;

template <typename T> What Box(T what) {
    return std::make_unique<const T>(std::move(what));
}

struct Item {
    std::int64_t at = 0;
    What what;
    // The admin session an event belongs to: several record side by side (a window's pages).
    std::uint64_t session = 0;
};

} // namespace record
