#pragma once
// A game server's event stream as the admin client receives it: the demo server's simulated
// game, so that the benchmarks see the same mix of events and names as someone trying the tool.
// Every event is one datagram, consistent with the players that the game has so far.

#include <cstdint>
#include <random>
#include <vector>

#include "engine/Protocol.h"
#include "tools/demo-server/PlayerSimulation.h"

class EventStream {
  public:
    // Starts with `players` players (at most PlayerSimulation::MAX_TARGET), whom a welcome would
    // carry; their ids are 0 to players - 1.
    EventStream(int players, unsigned seed);

    const std::vector<wire::PlayerEntry>& Players() const { return players; }

    struct Event {
        Bytes datagram;
        bool logsLine = false; // the client queues one log entry for it
    };
    // One event of the game's mix.
    Event Next();

    // One event of a given kind. Death, Chat and ScoreChange name live players.
    Bytes Death() { return game.Death(); }
    Bytes Chat() { return game.Chat(); }
    Bytes ScoreChange() { return game.ScoreChange(); }
    Bytes Ping();
    Bytes ListText();
    Bytes KillServerStatus();

  private:
    PlayerSimulation game;
    std::vector<wire::PlayerEntry> players;
    std::mt19937 rng;
};
