#include "core/PlayerLookup.h"

#include <charconv>

#include "core/WireText.h"
#include "engine/PlayerList.h"

namespace {

std::optional<int> IdOf(std::string_view text) {
    int id = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, id);
    if (text.empty() || error != std::errc() || stop != end || id < 0 || id > 255) {
        return std::nullopt;
    }
    return id;
}

} // namespace

PlayerTarget FindPlayer(const CPlayerList& roster, std::string_view target) {
    PlayerTarget result;
    if (!target.empty() && target[0] == '#') {
        const std::optional<int> id = IdOf(target.substr(1));
        if (!id) {
            result.problem = "'" + std::string(target) + "' is not a player id (#0 to #255)";
            return result;
        }
        for (int i = 0; i < roster.GetCount() && !result.position; ++i) {
            if (roster.IdByPosition(i) == *id) {
                result.position = i;
            }
        }
        if (!result.position) {
            result.problem = "no player has the id " + std::string(target);
        }
        return result;
    }
    const std::string name = TextForWire(target, MAX_NAME).latin1;
    std::vector<int> matches;
    for (int i = 0; i < roster.GetCount() && !name.empty(); ++i) {
        if (roster.NameByPosition(i) == name) {
            matches.push_back(i);
        }
    }
    if (matches.size() == 1) {
        result.position = matches[0];
    } else if (matches.empty()) {
        result.problem = "no player is named '" + std::string(target) + "'";
    } else {
        result.problem =
            std::to_string(matches.size()) + " players are named '" + std::string(target) + "' (";
        for (std::size_t k = 0; k < matches.size(); ++k) {
            result.problem +=
                (k > 0 ? ", #" : "#") + std::to_string(roster.IdByPosition(matches[k]));
        }
        result.problem += "): name one by its #id";
    }
    return result;
}

std::optional<int> RosterPosition(const CPlayerList& roster, const PlayerKey& key) {
    std::optional<int> position;
    int index = 0;
    roster.ForEach([&](const PlayerInfo& info) {
        if (!position && info.id == key.id && key.name == info.name) {
            position = index;
        }
        ++index;
    });
    return position;
}

std::vector<std::string> PlayerNames(const CPlayerList& roster) {
    std::vector<std::string> names;
    roster.ForEach([&names](const PlayerInfo& info) { names.push_back(Latin1ToUtf8(info.name)); });
    return names;
}
