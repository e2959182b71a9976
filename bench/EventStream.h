#pragma once
// A game server's event stream as the admin client receives it: score changes, deaths and chat
// most of the time, joins and leaves that keep the roster near its size, the odd keepalive ping
// (the mix of the demo server). Every event is one datagram, consistent with the players that
// the stream has let join and leave so far.

#include <cstdint>
#include <random>
#include <vector>

#include "engine/Protocol.h"

class EventStream {
  public:
    // Starts with `players` players (BenchPlayers), whom a welcome would carry.
    EventStream(int players, unsigned seed);

    const std::vector<wire::PlayerEntry>& Players() const { return players; }

    struct Event {
        Bytes datagram;
        bool logsLine = false; // the client queues one log entry for it
    };
    // One event of the mix.
    Event Next();

    // One event of a given kind; Join and Leave change the players. All but Join need a player.
    Bytes Death();
    Bytes Chat();
    Bytes ScoreChange();
    Bytes Join();
    Bytes Leave();
    Bytes Ping();
    Bytes ListText();
    Bytes KillServerStatus();

  private:
    std::size_t RandomIndex(); // of a player; there must be one
    const wire::PlayerEntry& RandomPlayer();
    int Roll(int low, int high); // inclusive

    std::vector<wire::PlayerEntry> players;
    std::size_t target;
    int joins = 0;
    std::mt19937 rng;
};
