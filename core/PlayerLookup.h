#pragma once
// Finding a player in the roster by what an admin types or what a table row remembers, and the
// names that Tab completes to.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CPlayerList;

// "#id", or an exact name (UTF-8) that only one player has.
struct PlayerTarget {
    std::optional<int> position; // in the roster
    std::string problem;         // why there is none
};
PlayerTarget FindPlayer(const CPlayerList& roster, std::string_view target);

// A player as a table row names it: id and name as the server sent them.
struct PlayerKey {
    std::uint8_t id = 0;
    std::string name;
};
// The roster position of the first record with the key's id and name; nothing when none has.
std::optional<int> RosterPosition(const CPlayerList& roster, const PlayerKey& key);

// Every name in the roster, in roster order, as UTF-8.
std::vector<std::string> PlayerNames(const CPlayerList& roster);
