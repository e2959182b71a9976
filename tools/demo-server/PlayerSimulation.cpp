#include "tools/demo-server/PlayerSimulation.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 24> NAMES = {
    "Ann",     "Bjorn",  "Cassia",  "Dmitri", "Elif",   "Farouk",    "Greta",    "Hiro",
    "Ingrid",  "Jomo",   "Katja",   "Lucero", "Mirela", "Nnamdi",    "Oskar",    "Priya",
    "Quentin", "Rasmus", "Sunniva", "Tariq",  "Ulla",   "Valentina", "Wojciech", "Xochitl",
};

constexpr std::array<std::string_view, 10> LINES = {
    "gg",
    "nice shot",
    "anyone up for a rematch?",
    "lag again...",
    "who took the rocket launcher",
    "brb",
    "cover the north door",
    "lol",
    "that was a lucky one",
    "map vote after this round?",
};

// Kinds a player's chat line can have: 2 (team), 3 (shown without a sender) and others.
constexpr std::array<std::uint8_t, 10> CHAT_KINDS = {
    0, 0, 0, 0, 1, CHAT_KIND_TEAM, CHAT_KIND_TEAM, CHAT_KIND_SERVER, 5, 9};

constexpr std::uint8_t LEAVE_LEFT = 3;

} // namespace

PlayerSimulation::PlayerSimulation(int targetPlayers, std::uint32_t seed)
    : target(std::clamp(targetPlayers, 0, MAX_TARGET)), rng(seed) {
    for (int i = 0; i < target; ++i) {
        AddPlayer(static_cast<std::int16_t>(Uniform(-20, 120)));
    }
}

Bytes PlayerSimulation::NextEvent() {
    if (players.empty()) {
        return Join();
    }
    const int roll = Uniform(0, 99);
    if (roll < 15) {
        // Joins when below the target, leaves when above, either way at the target.
        const int count = static_cast<int>(players.size());
        const bool join = count < target || (count == target && Uniform(0, 1) == 0);
        if (join) {
            return Join();
        }
        return Leave(Uniform(0, 2) == 0 ? LEAVE_TIMED_OUT : LEAVE_LEFT);
    }
    if (roll < 45) {
        return Death();
    }
    if (roll < 75) {
        return ScoreChange();
    }
    return Chat();
}

std::vector<wire::PlayerEntry> PlayerSimulation::Roster() const {
    std::vector<wire::PlayerEntry> roster;
    roster.reserve(players.size());
    for (const SimulatedPlayer& p : players) {
        roster.push_back(wire::PlayerEntry{p.id, p.value, p.name});
    }
    return roster;
}

std::optional<SimulatedPlayer> PlayerSimulation::Remove(std::uint8_t id) {
    const auto it = std::find_if(players.begin(), players.end(),
                                 [id](const SimulatedPlayer& p) { return p.id == id; });
    if (it == players.end()) {
        return std::nullopt;
    }
    SimulatedPlayer removed = *it;
    players.erase(it);
    return removed;
}

Bytes PlayerSimulation::Join() {
    AddPlayer(0); // the client starts a joining player at 0 too
    const SimulatedPlayer& p = players.back();
    return wire::EncodePlayerJoin(p.id, p.name);
}

Bytes PlayerSimulation::Leave(std::uint8_t reason) {
    const std::uint8_t id = RandomPlayer().id;
    Remove(id);
    return wire::EncodePlayerLeave(reason, id);
}

Bytes PlayerSimulation::Death() {
    const std::uint8_t victim = RandomPlayer().id;
    const int roll = Uniform(0, 99);
    if (roll < 15) {
        return wire::EncodeDeath(victim, victim);
    }
    if (roll < 30 || players.size() < 2) {
        // Killed by the world: the killer byte names no player.
        return wire::EncodeDeath(victim, FreeId());
    }
    std::uint8_t killer = victim;
    while (killer == victim) {
        killer = RandomPlayer().id;
    }
    return wire::EncodeDeath(victim, killer);
}

Bytes PlayerSimulation::ScoreChange() {
    SimulatedPlayer& p = RandomPlayer();
    const int value = std::clamp(p.value + Uniform(-5, 5),
                                 static_cast<int>(std::numeric_limits<std::int16_t>::min()),
                                 static_cast<int>(std::numeric_limits<std::int16_t>::max()));
    p.value = static_cast<std::int16_t>(value);
    return wire::EncodePlayerValue(p.id, p.value);
}

Bytes PlayerSimulation::Chat() {
    const std::uint8_t sender = RandomPlayer().id;
    const std::uint8_t kind = CHAT_KINDS[Uniform(0, CHAT_KINDS.size() - 1)];
    return wire::EncodeServerChat(sender, kind, LINES[Uniform(0, LINES.size() - 1)]);
}

void PlayerSimulation::AddPlayer(std::int16_t value) {
    ++joins;
    const std::string address = "10." + std::to_string((joins >> 16) & 0xFF) + "." +
                                std::to_string((joins >> 8) & 0xFF) + "." +
                                std::to_string(joins & 0xFF);
    players.push_back(SimulatedPlayer{FreeId(), value, FreeName(), address});
}

SimulatedPlayer& PlayerSimulation::RandomPlayer() {
    return players[Uniform(0, static_cast<int>(players.size()) - 1)];
}

bool PlayerSimulation::IsLive(std::uint8_t id) const {
    return std::any_of(players.begin(), players.end(),
                       [id](const SimulatedPlayer& p) { return p.id == id; });
}

// The lowest id no live player holds; there are never more than MAX_PLAYERS + 1 players.
std::uint8_t PlayerSimulation::FreeId() const {
    std::uint8_t id = 0;
    while (IsLive(id)) {
        ++id;
    }
    return id;
}

std::string PlayerSimulation::FreeName() {
    const std::string_view base = NAMES[Uniform(0, NAMES.size() - 1)];
    std::string name(base);
    for (int n = 2; std::any_of(players.begin(), players.end(),
                                [&name](const SimulatedPlayer& p) { return p.name == name; });
         ++n) {
        const std::string suffix = std::to_string(n);
        name = std::string(base.substr(0, MAX_NAME - suffix.size())) + suffix;
    }
    return name;
}

// Plain modulo rather than std::uniform_int_distribution, whose output differs between
// standard libraries: a seed then replays the same game wherever the server was built.
int PlayerSimulation::Uniform(int low, int high) {
    return low + static_cast<int>(rng() % static_cast<std::uint32_t>(high - low + 1));
}
