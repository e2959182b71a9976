#include "bench/BenchRoster.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 16> BASE_NAMES = {
    "Raven", "Krull",  "Doomguy", "xXSniperXx", "Mortis",  "Ann",   "Lightning", "Tariq",
    "Bjorn", "Cassia", "Hiro",    "Valentina",  "Ph4nt0m", "Greta", "Wojciech",  "Zed",
};

} // namespace

std::string BenchPlayerName(int index) {
    const std::string_view base = BASE_NAMES[static_cast<std::size_t>(index) % BASE_NAMES.size()];
    const int round = index / static_cast<int>(BASE_NAMES.size());
    std::string name(base);
    if (round > 0) {
        name += std::to_string(round);
    }
    return name.substr(0, MAX_NAME);
}

std::vector<wire::PlayerEntry> BenchPlayers(int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<int> ids(static_cast<std::size_t>(std::clamp(count, 0, 256)));
    std::iota(ids.begin(), ids.end(), 0);
    std::shuffle(ids.begin(), ids.end(), rng);
    std::uniform_int_distribution<int> score(-20, 300);

    std::vector<wire::PlayerEntry> players;
    players.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        players.push_back(wire::PlayerEntry{static_cast<std::uint8_t>(ids[i]),
                                            static_cast<std::int16_t>(score(rng)),
                                            BenchPlayerName(static_cast<int>(i))});
    }
    return players;
}

void FillRoster(CPlayerList& roster, const std::vector<wire::PlayerEntry>& players) {
    roster.RemoveAll();
    for (const wire::PlayerEntry& p : players) {
        roster.Add(p.id, p.name);
        roster.SetValue(p.id, p.value);
    }
}
