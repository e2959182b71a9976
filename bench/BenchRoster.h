#pragma once
// Players as a busy game server has them, for the engine and window benchmarks.

#include <string>
#include <vector>

#include "engine/PlayerList.h"
#include "engine/Protocol.h"

// A player name of 3 to 12 characters, different for every index below 10,000.
std::string BenchPlayerName(int index);

// `count` players (at most 256) with the distinct ids 0..count-1 in shuffled order, names of
// mixed length and scores between -20 and 300.
std::vector<wire::PlayerEntry> BenchPlayers(int count, unsigned seed = 1);

// Empties `roster`, then adds `players` in order with their values, as a welcome does.
void FillRoster(CPlayerList& roster, const std::vector<wire::PlayerEntry>& players);
