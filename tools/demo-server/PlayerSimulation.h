#pragma once
// The simulated game: players join, leave, time out, kill each other, score and chat. Each step
// is one event, returned as the datagram that tells the admin about it. The same seed gives the
// same game as long as the admin removes nobody.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/Protocol.h"

struct SimulatedPlayer {
    std::uint8_t id = 0;
    std::int16_t value = 0;
    std::string name;    // at most MAX_NAME characters, unique among live players
    std::string address; // where the player "connects from"; what a ban puts on the list
};

class PlayerSimulation {
  public:
    // Starts with `targetPlayers` players already in the game (at most MAX_TARGET).
    PlayerSimulation(int targetPlayers, std::uint32_t seed);

    // Ids are one byte: room for one join above the target and for a killer that is no player.
    static constexpr int MAX_TARGET = 254;

    // Plays one event of the game's mix and returns its datagram.
    Bytes NextEvent();
    // One event of a given kind, for streams of one kind; each needs a live player.
    Bytes Death();
    Bytes ScoreChange();
    Bytes Chat();
    // The live players in the order they joined, as the welcome lists them.
    std::vector<wire::PlayerEntry> Roster() const;
    // Takes a player out of the game (kick, ban); nothing when no live player has `id`.
    std::optional<SimulatedPlayer> Remove(std::uint8_t id);

  private:
    Bytes Join();
    Bytes Leave(std::uint8_t reason);

    void AddPlayer(std::int16_t value);
    SimulatedPlayer& RandomPlayer();
    bool IsLive(std::uint8_t id) const;
    std::uint8_t FreeId() const;
    std::string FreeName();
    int Uniform(int low, int high); // inclusive

    std::vector<SimulatedPlayer> players;
    int target;
    std::uint32_t joins = 0; // numbers the players' addresses
    std::mt19937 rng;
};
