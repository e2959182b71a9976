// Finding the player an admin names, or a table row remembers, in a roster that keeps changing.
#include "core/PlayerLookup.h"

#include <gtest/gtest.h>

#include "engine/PlayerList.h"

namespace {

TEST(PlayerLookupTest, ByIdOrByAnExactNameThatOnlyOnePlayerHas) {
    CPlayerList roster;
    roster.Add(3, "Bob");
    roster.Add(4, "Ann");
    roster.Add(5, "Ann");
    roster.Add(6, "Zo\xe9");
    const struct {
        const char* target;
        int position; // -1: none, and the problem holds `problem`
        const char* problem;
    } cases[] = {
        {"#4", 1, ""},
        {"Bob", 0, ""},
        {"Zo\xc3\xa9", 3, ""}, // typed as UTF-8, stored as Latin-1
        {"bob", -1, "no player is named 'bob'"},
        {"Ann", -1, "2 players are named 'Ann' (#4, #5): name one by its #id"},
        {"#9", -1, "no player has the id #9"},
        {"#256", -1, "is not a player id"},
        {"#-1", -1, "is not a player id"},
        {"#3x", -1, "is not a player id"},
        {"", -1, "no player is named ''"},
    };
    for (const auto& c : cases) {
        const PlayerTarget found = FindPlayer(roster, c.target);
        EXPECT_EQ(found.position.value_or(-1), c.position) << c.target;
        EXPECT_NE(found.problem.find(c.problem), std::string::npos)
            << c.target << ": " << found.problem;
    }
}

TEST(PlayerLookupTest, RowsMapByIdAndNameToTheFirstMatchingRecord) {
    CPlayerList roster;
    roster.Add(3, "Bob");
    roster.Add(3, "Bo");
    roster.Add(3, "Bo");
    EXPECT_EQ(RosterPosition(roster, PlayerKey{3, "Bo"}), 1);
    EXPECT_EQ(RosterPosition(roster, PlayerKey{3, "Al"}), std::nullopt);
    EXPECT_EQ(RosterPosition(roster, PlayerKey{4, "Bob"}), std::nullopt);
    EXPECT_EQ(PlayerNames(roster), (std::vector<std::string>{"Bob", "Bo", "Bo"}));
}

} // namespace
