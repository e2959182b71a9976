#pragma once
// What the client makes of one server event: one type per event, so a front end reads only the
// fields that apply. Names and texts are the server's bytes (Latin-1, not escaped); a name is
// empty when the roster does not know the id. `log` is what the status log shows for the event
// (printable; an empty text where the log shows nothing).

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/LogEntry.h"
#include "engine/Protocol.h"

namespace event {

struct Player {
    std::uint8_t id = 0;
    std::string name;
};

struct PlayerJoined {
    Player player;
};

enum class Departure { Left, Kicked, TimedOut };

struct PlayerLeft {
    Player player;
    Departure how = Departure::Left;
    std::uint8_t reason = 0; // the leave reason byte as sent
};

struct PlayerDied {
    Player victim;
    std::optional<Player> killer; // none: no player killed him; the victim himself: suicide
};

struct Chat {
    std::optional<Player> sender; // none for server text (kind 3)
    std::uint8_t kind = 0;
    std::string text;
};

struct ScoreChanged {
    Player player;
    std::int16_t value = 0;
};

struct ServerList {
    std::vector<std::string> entries;
};

struct RemoveIpResult {
    bool removed = false;
    std::uint8_t result = 0;
};

struct ShutdownAnswer {
    ShutdownStatus status = ShutdownStatus::FirstAttempt; // may hold a value outside the named ones
};

struct Refused {
    std::uint8_t code = 0;
    std::string reason;
};

} // namespace event

struct ClientEvent {
    using What = std::variant<event::PlayerJoined, event::PlayerLeft, event::PlayerDied,
                              event::Chat, event::ScoreChanged, event::ServerList,
                              event::RemoveIpResult, event::ShutdownAnswer, event::Refused>;
    What what;
    LogEntry log;
};
