// The roster: order, duplicate ids, moves on value updates, absent ids and positions, name
// cutting and the node pool.

#include "engine/PlayerList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Ids = std::vector<int>;

Ids IdsInOrder(const CPlayerList& roster) {
    Ids ids;
    for (int i = 0; i < roster.GetCount(); ++i) {
        ids.push_back(roster.IdByPosition(i));
    }
    EXPECT_EQ(roster.ReachableCount(), roster.GetCount());
    return ids;
}

void AddMany(CPlayerList& roster, int count) {
    for (int i = 0; i < count; ++i) {
        roster.Add(static_cast<std::uint8_t>(i), "P" + std::to_string(i));
    }
}

} // namespace

TEST(PlayerList, SetValueMovesTheRecordLastAndIdLookupsTakeTheFirst) {
    CPlayerList roster;
    roster.Add(1, "A");
    roster.Add(2, "B");
    roster.Add(3, "C");
    roster.SetValue(1, -32768);
    EXPECT_EQ(IdsInOrder(roster), (Ids{2, 3, 1}));
    EXPECT_EQ(roster.NameByPosition(2), "A");
    EXPECT_EQ(roster.ValueByPosition(2), -32768);
    roster.SetValue(9, 1); // absent id: no change
    EXPECT_EQ(IdsInOrder(roster), (Ids{2, 3, 1}));
    EXPECT_EQ(roster.ValueByPosition(2), -32768);

    roster.Add(2, "B2");
    EXPECT_EQ(roster.NameById(2), "B");
    roster.SetValue(2, 11); // moves only "B"
    EXPECT_EQ(roster.NameByPosition(2), "B2");
    EXPECT_EQ(roster.ValueByPosition(2), 0);
    EXPECT_EQ(roster.NameByPosition(3), "B");
    EXPECT_EQ(roster.ValueByPosition(3), 11);
    roster.RemoveById(2); // "B2", now the first with id 2
    EXPECT_EQ(roster.NameById(2), "B");

    roster.RemoveById(3); // first, then last
    roster.RemoveById(2);
    roster.Add(4, "D");
    EXPECT_EQ(IdsInOrder(roster), (Ids{1, 4}));
}

TEST(PlayerList, NamesAreCutTo12CharactersAndEndAtANul) {
    CPlayerList roster;
    roster.Add(1, "ABCDEFGHIJKLMNOP");
    roster.Add(2, "ABCDEFGHIJKL");
    roster.Add(3, std::string_view("Ab\0cd", 5));
    roster.Add(4, "");
    EXPECT_EQ(roster.NameById(1), "ABCDEFGHIJKL");
    EXPECT_EQ(roster.NameById(2), "ABCDEFGHIJKL");
    EXPECT_EQ(roster.NameById(3), "Ab");
    EXPECT_EQ(roster.NameById(4), ""); // present, unlike an absent id
    EXPECT_FALSE(roster.NameById(5));
}

TEST(PlayerList, PositionsOutsideTheRosterAreAbsent) {
    CPlayerList roster;
    EXPECT_FALSE(roster.NameByPosition(0));
    roster.Add(0, "Zero");
    roster.Add(5, "Five");
    // Not cut to 8 bits: 256 must not come back as position 0.
    for (int position : {2, 255, 256, 257, -1, -256}) {
        EXPECT_FALSE(roster.NameByPosition(position)) << position;
        EXPECT_EQ(roster.IdByPosition(position), 0) << position;
        EXPECT_EQ(roster.ValueByPosition(position), 0) << position;
    }
    EXPECT_EQ(roster.NameByPosition(0), "Zero");

    AddMany(roster, 298); // and 256 is reachable once the roster is that long
    EXPECT_EQ(roster.NameByPosition(256), "P254");
    EXPECT_FALSE(roster.NameByPosition(300));
}

TEST(PlayerList, NodesComeInBlocksOfTenAndNoneWhenEmpty) {
    CPlayerList roster;
    AddMany(roster, 10);
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
    for (int round = 0; round < 30; ++round) { // removed nodes are reused
        roster.RemoveById(static_cast<std::uint8_t>(round % 10));
        roster.Add(static_cast<std::uint8_t>(round % 10), "q");
    }
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
    roster.Add(11, "p");
    EXPECT_EQ(roster.AllocatedBlocks(), 2);
    roster.RemoveAll();
    EXPECT_EQ(IdsInOrder(roster), Ids{});
    EXPECT_EQ(roster.AllocatedBlocks(), 0);

    roster.Add(4, "Solo");
    roster.SetValue(4, 99); // the count touches 0 in between
    EXPECT_EQ(IdsInOrder(roster), (Ids{4}));
    EXPECT_EQ(roster.ValueByPosition(0), 99);
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
    roster.RemoveById(4);
    EXPECT_EQ(roster.AllocatedBlocks(), 0);
}
