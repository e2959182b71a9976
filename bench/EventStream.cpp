#include "bench/EventStream.h"

#include <array>
#include <string_view>

#include "bench/BenchRoster.h"

namespace {

constexpr std::array<std::string_view, 8> CHAT_LINES = {
    "gg",
    "nice shot",
    "anyone up for a rematch?",
    "lag again...",
    "who took the rocket launcher",
    "cover the north door, they are coming through the vents",
    "that was a lucky one",
    "map vote after this round?",
};

// Chat kinds as players send them: mostly plain, some team (2), a few without sender (3).
constexpr std::array<std::uint8_t, 10> CHAT_KINDS = {0, 0, 0, 0, 0, 1, 2, 2, 3, 0};

// Eight banned addresses, as the server's "/list" answers.
constexpr std::string_view BAN_LIST = "203.0.113.7|198.51.100.23|192.0.2.144|203.0.113.90|"
                                      "198.51.100.4|192.0.2.17|203.0.113.201|198.51.100.66|";

} // namespace

EventStream::EventStream(int count, unsigned seed)
    : players(BenchPlayers(count, seed)), target(players.size()), rng(seed) {}

EventStream::Event EventStream::Next() {
    if (players.empty()) {
        return {Join(), true};
    }
    const int roll = Roll(0, 99);
    if (roll < 1) {
        return {Ping(), false};
    }
    if (roll < 15) {
        const bool join = players.size() < target || (players.size() == target && Roll(0, 1));
        return {join && players.size() < 256 ? Join() : Leave(), true};
    }
    if (roll < 45) {
        return {Death(), true};
    }
    if (roll < 75) {
        return {ScoreChange(), false};
    }
    return {Chat(), true};
}

Bytes EventStream::Death() {
    const std::uint8_t victim = RandomPlayer().id;
    const int roll = Roll(0, 19);
    const std::uint8_t killer = roll == 0 ? victim : RandomPlayer().id; // 1 in 20 by his own hand
    return wire::EncodeDeath(victim, killer);
}

Bytes EventStream::Chat() {
    const std::string_view line = CHAT_LINES[static_cast<std::size_t>(Roll(0, 7))];
    const std::uint8_t kind = CHAT_KINDS[static_cast<std::size_t>(Roll(0, 9))];
    return wire::EncodeServerChat(RandomPlayer().id, kind, line);
}

Bytes EventStream::ScoreChange() {
    wire::PlayerEntry& player = players[RandomIndex()];
    player.value = static_cast<std::int16_t>(player.value + Roll(-1, 3));
    return wire::EncodePlayerValue(player.id, player.value);
}

Bytes EventStream::Join() {
    // The lowest id nobody holds, as servers hand them out.
    std::array<bool, 256> taken{};
    for (const wire::PlayerEntry& p : players) {
        taken[p.id] = true;
    }
    std::size_t id = 0;
    while (id < taken.size() - 1 && taken[id]) {
        ++id;
    }
    players.push_back(wire::PlayerEntry{static_cast<std::uint8_t>(id), 0,
                                        BenchPlayerName(static_cast<int>(target) + joins++)});
    return wire::EncodePlayerJoin(players.back().id, players.back().name);
}

Bytes EventStream::Leave() {
    const std::size_t index = RandomIndex();
    const std::uint8_t id = players[index].id;
    players.erase(players.begin() + static_cast<std::ptrdiff_t>(index));
    const int roll = Roll(0, 9); // kicked, timed out, or (mostly) left
    const std::uint8_t reason = roll == 0 ? LEAVE_KICKED : roll < 3 ? LEAVE_TIMED_OUT : 0;
    return wire::EncodePlayerLeave(reason, id);
}

Bytes EventStream::Ping() {
    return wire::EncodePing();
}

Bytes EventStream::ListText() {
    return wire::EncodeListText(BAN_LIST);
}

Bytes EventStream::KillServerStatus() {
    return wire::EncodeKillServerStatus(static_cast<std::int8_t>(Roll(1, 4)));
}

std::size_t EventStream::RandomIndex() {
    return static_cast<std::size_t>(Roll(0, static_cast<int>(players.size()) - 1));
}

const wire::PlayerEntry& EventStream::RandomPlayer() {
    return players[RandomIndex()];
}

int EventStream::Roll(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
}
