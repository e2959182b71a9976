#include "bench/EventStream.h"

#include <string_view>

namespace {

// Eight banned addresses, as the server's "/list" answers.
constexpr std::string_view BAN_LIST = "203.0.113.7|198.51.100.23|192.0.2.144|203.0.113.90|"
                                      "198.51.100.4|192.0.2.17|203.0.113.201|198.51.100.66|";

} // namespace

EventStream::EventStream(int count, unsigned seed)
    : game(count, seed), players(game.Roster()), rng(seed) {}

EventStream::Event EventStream::Next() {
    Bytes datagram = game.NextEvent();
    const bool logsLine = datagram[0] != MSG_PLAYER_VALUE; // joins, leaves, deaths and chat do
    return {std::move(datagram), logsLine};
}

Bytes EventStream::Ping() {
    return wire::EncodePing();
}

Bytes EventStream::ListText() {
    return wire::EncodeListText(BAN_LIST);
}

Bytes EventStream::KillServerStatus() {
    return wire::EncodeKillServerStatus(
        static_cast<std::int8_t>(std::uniform_int_distribution<int>(1, 4)(rng)));
}
