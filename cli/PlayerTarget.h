#pragma once
// Finds the player a --kick, --ban or :kick names: "#id", or an exact name that only one player
// has.

#include <optional>
#include <string>
#include <string_view>

class CPlayerList;

struct PlayerTarget {
    std::optional<int> position; // in the roster
    std::string problem;         // why there is none
};

PlayerTarget FindPlayer(const CPlayerList& roster, std::string_view target);
