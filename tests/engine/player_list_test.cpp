// The player roster: order, duplicate ids, moves on value updates, absent ids and positions,
// name cutting and the node pool.

#include "engine/PlayerList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> IdsInOrder(const CPlayerList& roster) {
    std::vector<int> ids;
    for (int i = 0; i < roster.GetCount(); ++i) {
        ids.push_back(roster.IdByPosition(i));
    }
    return ids;
}

void ExpectConsistent(const CPlayerList& roster) {
    EXPECT_EQ(roster.ReachableCount(), roster.GetCount());
    if (roster.GetCount() == 0) {
        EXPECT_EQ(roster.AllocatedBlocks(), 0);
    } else {
        const int needed = (roster.GetCount() + CPlayerList::BLOCK_SIZE - 1) / CPlayerList::BLOCK_SIZE;
        EXPECT_GE(roster.AllocatedBlocks(), needed);
    }
}

} // namespace

TEST(PlayerList, StartsEmpty) {
    CPlayerList roster;
    EXPECT_EQ(roster.GetCount(), 0);
    EXPECT_EQ(roster.AllocatedBlocks(), 0);
    EXPECT_EQ(roster.ReachableCount(), 0);
    EXPECT_FALSE(roster.NameById(0));
    EXPECT_FALSE(roster.NameByPosition(0));
    EXPECT_EQ(roster.IdByPosition(0), 0);
    EXPECT_EQ(roster.ValueByPosition(0), 0);
}

TEST(PlayerList, AddAppendsInOrder) {
    CPlayerList roster;
    roster.Add(3, "Ann");
    roster.Add(1, "Bob");
    roster.Add(2, "Cy");
    EXPECT_EQ(roster.GetCount(), 3);
    EXPECT_EQ(IdsInOrder(roster), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(roster.NameByPosition(0), std::string("Ann"));
    EXPECT_EQ(roster.NameByPosition(1), std::string("Bob"));
    EXPECT_EQ(roster.NameByPosition(2), std::string("Cy"));
    EXPECT_EQ(roster.ValueByPosition(0), 0);
    EXPECT_EQ(roster.NameById(1), std::string("Bob"));
    ExpectConsistent(roster);
}

TEST(PlayerList, DuplicateIdsActOnTheFirstRecord) {
    CPlayerList roster;
    roster.Add(7, "First");
    roster.Add(8, "Other");
    roster.Add(7, "Second");
    EXPECT_EQ(roster.GetCount(), 3);
    EXPECT_EQ(roster.NameById(7), std::string("First"));

    roster.SetValue(7, 11); // moves only "First" to the end
    EXPECT_EQ(roster.NameByPosition(0), std::string("Other"));
    EXPECT_EQ(roster.NameByPosition(1), std::string("Second"));
    EXPECT_EQ(roster.NameByPosition(2), std::string("First"));
    EXPECT_EQ(roster.ValueByPosition(1), 0);
    EXPECT_EQ(roster.ValueByPosition(2), 11);
    EXPECT_EQ(roster.NameById(7), std::string("Second")); // now nearest position 0

    roster.RemoveById(7); // removes only "Second"
    EXPECT_EQ(roster.GetCount(), 2);
    EXPECT_EQ(roster.NameById(7), std::string("First"));
    ExpectConsistent(roster);
}

TEST(PlayerList, SetValueMovesTheRecordToTheEnd) {
    CPlayerList roster;
    roster.Add(1, "A");
    roster.Add(2, "B");
    roster.Add(3, "C");
    roster.SetValue(1, 5);
    EXPECT_EQ(IdsInOrder(roster), (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(roster.IdByPosition(2), 1);
    EXPECT_EQ(roster.ValueByPosition(2), 5);
    EXPECT_EQ(roster.NameByPosition(2), std::string("A"));
    EXPECT_EQ(roster.GetCount(), 3);
    ExpectConsistent(roster);
}

TEST(PlayerList, SetValueKeepsSignedValues) {
    CPlayerList roster;
    roster.Add(1, "A");
    roster.SetValue(1, -32768);
    EXPECT_EQ(roster.ValueByPosition(0), -32768);
    roster.SetValue(1, 32767);
    EXPECT_EQ(roster.ValueByPosition(0), 32767);
}

TEST(PlayerList, SetValueForAnAbsentIdChangesNothing) {
    CPlayerList roster;
    roster.SetValue(9, 1);
    EXPECT_EQ(roster.GetCount(), 0);
    EXPECT_EQ(roster.AllocatedBlocks(), 0);

    roster.Add(1, "A");
    roster.Add(2, "B");
    roster.SetValue(9, 1);
    EXPECT_EQ(roster.GetCount(), 2);
    EXPECT_EQ(IdsInOrder(roster), (std::vector<int>{1, 2}));
    EXPECT_EQ(roster.ValueByPosition(0), 0);
    EXPECT_EQ(roster.ValueByPosition(1), 0);
}

TEST(PlayerList, SetValueOnTheOnlyRecord) {
    CPlayerList roster;
    roster.Add(4, "Solo");
    roster.SetValue(4, 99);
    EXPECT_EQ(roster.GetCount(), 1);
    EXPECT_EQ(roster.IdByPosition(0), 4);
    EXPECT_EQ(roster.ValueByPosition(0), 99);
    EXPECT_EQ(roster.NameById(4), std::string("Solo"));
    // The count touched 0 in between, so the blocks were released and one new block taken.
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
    ExpectConsistent(roster);
}

TEST(PlayerList, AbsentIdsAndPositions) {
    CPlayerList roster;
    roster.Add(0, "Zero");
    roster.Add(5, "Five");
    EXPECT_FALSE(roster.NameById(6));
    EXPECT_EQ(roster.NameById(0), std::string("Zero"));

    for (int position : {2, 3, 255, 256, 257, 1000, -1, -256, -255}) {
        EXPECT_FALSE(roster.NameByPosition(position)) << position;
        EXPECT_EQ(roster.IdByPosition(position), 0) << position;
        EXPECT_EQ(roster.ValueByPosition(position), 0) << position;
    }
    // id 0 and value 0 are also real results.
    EXPECT_EQ(roster.IdByPosition(0), 0);
    EXPECT_TRUE(roster.NameByPosition(0));

    roster.RemoveById(6); // absent: no change
    EXPECT_EQ(roster.GetCount(), 2);
}

TEST(PlayerList, PositionAtCountIsAbsent) {
    CPlayerList roster;
    for (int i = 0; i < 12; ++i) {
        roster.Add(static_cast<std::uint8_t>(i + 1), "P" + std::to_string(i));
    }
    const int count = roster.GetCount();
    EXPECT_EQ(roster.IdByPosition(count), 0);
    EXPECT_EQ(roster.ValueByPosition(count), 0);
    EXPECT_FALSE(roster.NameByPosition(count));
    EXPECT_EQ(roster.IdByPosition(count - 1), 12);
}

TEST(PlayerList, Position256IsNotPositionZero) {
    // Positions are not cut to 8 bits: line 257 of the list can never address line 1.
    CPlayerList roster;
    roster.Add(1, "First");
    roster.Add(2, "Second");
    EXPECT_EQ(roster.IdByPosition(256), 0);
    EXPECT_EQ(roster.IdByPosition(257), 0);
    EXPECT_FALSE(roster.NameByPosition(256));
    EXPECT_EQ(roster.ValueByPosition(256), 0);
}

TEST(PlayerList, PositionsBeyond255AreReachableWithEnoughRecords) {
    CPlayerList roster;
    for (int i = 0; i < 300; ++i) {
        roster.Add(static_cast<std::uint8_t>(i & 0xFF), "N" + std::to_string(i));
    }
    EXPECT_EQ(roster.GetCount(), 300);
    EXPECT_EQ(roster.AllocatedBlocks(), 30);
    // Record 256 is a different record from record 0.
    EXPECT_NE(roster.NameByPosition(256), roster.NameByPosition(0));
    EXPECT_FALSE(roster.NameByPosition(300));
    ExpectConsistent(roster);
}

TEST(PlayerList, NamesAreCutTo12Characters) {
    CPlayerList roster;
    roster.Add(1, "ABCDEFGHIJKLMNOP"); // 16
    roster.Add(2, "ABCDEFGHIJKL");     // exactly 12
    roster.Add(3, "");
    EXPECT_EQ(roster.NameById(1), std::string("ABCDEFGHIJKL"));
    EXPECT_EQ(roster.NameById(2), std::string("ABCDEFGHIJKL"));
    // An empty name stays distinguishable from an absent record.
    ASSERT_TRUE(roster.NameById(3));
    EXPECT_EQ(*roster.NameById(3), "");
    EXPECT_FALSE(roster.NameById(4));
}

TEST(PlayerList, NameEndsAtItsFirstNul) {
    CPlayerList roster;
    roster.Add(1, std::string_view("Ab\0cd", 5));
    EXPECT_EQ(roster.NameById(1), std::string("Ab"));
}

TEST(PlayerList, CutNameKeepsTheCutAcrossAMove) {
    CPlayerList roster;
    roster.Add(1, "ABCDEFGHIJKLMNOP");
    roster.Add(2, "x");
    roster.SetValue(1, 3);
    EXPECT_EQ(roster.NameByPosition(1), std::string("ABCDEFGHIJKL"));
}

TEST(PlayerList, RemoveByIdKeepsTheChainLinked) {
    CPlayerList roster;
    for (int id = 1; id <= 5; ++id) {
        roster.Add(static_cast<std::uint8_t>(id), std::string(1, static_cast<char>('A' + id - 1)));
    }
    roster.RemoveById(1); // first
    roster.RemoveById(5); // last
    roster.RemoveById(3); // middle
    EXPECT_EQ(IdsInOrder(roster), (std::vector<int>{2, 4}));
    ExpectConsistent(roster);
    roster.Add(6, "F");
    EXPECT_EQ(IdsInOrder(roster), (std::vector<int>{2, 4, 6}));
    ExpectConsistent(roster);
}

TEST(PlayerList, NodesComeInBlocksOfTen) {
    CPlayerList roster;
    EXPECT_EQ(CPlayerList::BLOCK_SIZE, 10);
    roster.Add(1, "a");
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
    for (int i = 2; i <= 10; ++i) {
        roster.Add(static_cast<std::uint8_t>(i), "p");
    }
    EXPECT_EQ(roster.GetCount(), 10);
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
    roster.Add(11, "p");
    EXPECT_EQ(roster.AllocatedBlocks(), 2);
    ExpectConsistent(roster);
}

TEST(PlayerList, RemovedNodesAreReused) {
    CPlayerList roster;
    for (int i = 1; i <= 10; ++i) {
        roster.Add(static_cast<std::uint8_t>(i), "p");
    }
    for (int round = 0; round < 50; ++round) {
        roster.RemoveById(static_cast<std::uint8_t>(1 + round % 10));
        roster.Add(static_cast<std::uint8_t>(1 + round % 10), "q");
        roster.SetValue(static_cast<std::uint8_t>(1 + (round * 3) % 10), static_cast<std::int16_t>(round));
    }
    EXPECT_EQ(roster.GetCount(), 10);
    EXPECT_EQ(roster.AllocatedBlocks(), 1); // never needed more than the first block
    ExpectConsistent(roster);
}

TEST(PlayerList, EmptyRosterHoldsNoNodeMemory) {
    CPlayerList roster;
    for (int i = 0; i < 25; ++i) {
        roster.Add(static_cast<std::uint8_t>(i), "p");
    }
    EXPECT_EQ(roster.AllocatedBlocks(), 3);
    roster.RemoveAll();
    EXPECT_EQ(roster.GetCount(), 0);
    EXPECT_EQ(roster.AllocatedBlocks(), 0);
    EXPECT_EQ(roster.ReachableCount(), 0);
    EXPECT_FALSE(roster.NameByPosition(0));

    roster.Add(1, "again");
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
    roster.RemoveById(1);
    EXPECT_EQ(roster.AllocatedBlocks(), 0);

    roster.RemoveAll(); // on an empty roster: nothing happens
    EXPECT_EQ(roster.GetCount(), 0);
    EXPECT_EQ(roster.AllocatedBlocks(), 0);

    roster.Add(2, "b");
    EXPECT_EQ(IdsInOrder(roster), (std::vector<int>{2}));
    EXPECT_EQ(roster.AllocatedBlocks(), 1);
}

TEST(PlayerList, RemovingEveryRecordOneByOneReleasesBlocks) {
    CPlayerList roster;
    for (int i = 0; i < 15; ++i) {
        roster.Add(static_cast<std::uint8_t>(i), "p");
    }
    EXPECT_EQ(roster.AllocatedBlocks(), 2);
    for (int i = 0; i < 14; ++i) {
        roster.RemoveById(static_cast<std::uint8_t>(i));
        EXPECT_EQ(roster.AllocatedBlocks(), 2) << i; // blocks are not released one by one
    }
    roster.RemoveById(14);
    EXPECT_EQ(roster.AllocatedBlocks(), 0);
}
