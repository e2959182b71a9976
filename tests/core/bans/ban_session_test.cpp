// Bans against the demo server: the address learnt from the lists around the ban or left
// unknown, lifts at expiry and at the next login, failed lifts, bans lifted elsewhere, and the
// admin's own lifts, with the clocks moved by the test.

#include <algorithm>

#include "tests/core/bans/BanSessionFixture.h"

namespace {

using namespace std::chrono_literals;

TEST_F(BanSessionTest, ABanLearnsItsAddressFromTheListsAroundIt) {
    LogIn();
    const std::string name = Ban(0, 3600, "wallhack");
    const std::vector<BanRecord> bans = Recorded();
    ASSERT_EQ(bans.size(), 1u);
    ASSERT_TRUE(bans[0].address);
    EXPECT_EQ(bans[0].address->rfind("10.", 0), 0u) << *bans[0].address;
    EXPECT_EQ(bans[0].name, name);
    EXPECT_EQ(bans[0].reason, "wallhack");
    EXPECT_EQ(bans[0].adminUser, "tester");
    EXPECT_EQ(bans[0].bannedAt, START);
    EXPECT_EQ(bans[0].expiresAt, START + 3600);
    EXPECT_TRUE(Said("Banned " + name + " (" + *bans[0].address + ") for 1 hour: wallhack."))
        << Notices();

    const StoreRead<std::vector<BanRow>> rows = session->Rows();
    ASSERT_EQ(rows.value.size(), 1u);
    ASSERT_TRUE(rows.value[0].record);
    EXPECT_EQ(rows.value[0].entry, *bans[0].address);
}

// Another admin's ban at the same moment, a list that does not answer, and a say-first line:
// the ban goes out, and its address is never guessed.
TEST_F(BanSessionTest, WithoutExactlyOneNewAddressTheAddressIsUnknown) {
    LogIn();
    client->SendCommand("/alsoban 10.200.0.1");
    Settle();
    const std::string concurrent = Ban(0, 3600);
    EXPECT_TRUE(Said("gained 2 new addresses at once")) << Notices();

    client->SendCommand("/droplist 1");
    Settle();
    RemovalOrder order;
    order.player = Player(0);
    order.reason = "spam";
    order.sayFirst = DEFAULT_SAY_TEMPLATE;
    ASSERT_EQ(session->Remove(order), "");
    Settle();
    EXPECT_FALSE(Said("Banned " + order.player.name + " (")) << "still waiting for the second list";
    now += 6s;
    ASSERT_TRUE(WaitForNotice("Banned " + order.player.name + " (")) << Notices();
    EXPECT_TRUE(Said("did not answer within 5 s")) << Notices();
    EXPECT_NE(server.Output().find("chat: Banned " + order.player.name + ": spam (permanent)"),
              std::string::npos)
        << server.Output();

    const std::vector<BanRecord> bans = Recorded();
    ASSERT_EQ(bans.size(), 2u);
    for (const BanRecord& ban : bans) {
        EXPECT_FALSE(ban.address) << ban.name;
    }
    // A timed ban with no address cannot lift itself; at expiry it is said once.
    MoveTo(START + 7200);
    ASSERT_TRUE(WaitForNotice("has expired, but its address is unknown")) << Notices();
    MoveTo(START + 7201);
    Settle();
    EXPECT_EQ(Count("has expired, but"), 1) << Notices();
    EXPECT_EQ(RemovalsSeen(), 0);
}

TEST_F(BanSessionTest, ATimedBanIsLiftedAtExpiryByTheUtcClockAlone) {
    LogIn();
    const std::string name = Ban(0, 7200);
    const std::string address = *Recorded()[0].address;

    MoveTo(START - 3600); // the clock set back an hour: nothing lifts early
    now += 3h;
    Settle();
    MoveTo(START + 7199);
    Settle();
    EXPECT_EQ(RemovalsSeen(), 0);

    MoveTo(START + 7200);
    ASSERT_TRUE(WaitForNotice("Ban on " + name + " (" + address + ") lifted: expired."))
        << Notices();
    const std::vector<BanRecord> bans = Recorded();
    EXPECT_EQ(bans[0].state, BanState::LiftedAtExpiry);
    EXPECT_EQ(bans[0].liftedAt, START + 7200);
    const StoreRead<std::optional<PlayerPage>> page = Store().Page(key, name);
    ASSERT_TRUE(page.value);
    EXPECT_EQ(page.value->actions.front().kind, ActionKind::Unban);
    EXPECT_EQ(RemovalsSeen(), 1);
}

// Expiries that fell while the program was not running are lifted at the next login, oldest
// first, one /removeip a second.
TEST_F(BanSessionTest, CatchUpAfterARestartLiftsInOrderOneASecond) {
    LogIn();
    const std::string later = Ban(0, 7200);
    const std::string sooner = Ban(0, 3600);
    LogOut();
    store.reset(); // the program ends

    utc = START + 86400;
    LogIn();
    ASSERT_TRUE(WaitForNotice("Ban on " + sooner + " (")) << Notices();
    Settle();
    EXPECT_FALSE(Said("Ban on " + later + " (")) << "the next lift waits a second";
    now += 1s;
    ASSERT_TRUE(WaitForNotice("Ban on " + later + " (")) << Notices();
    for (const BanRecord& ban : Recorded()) {
        EXPECT_EQ(ban.state, BanState::LiftedAtExpiry) << ban.name;
    }
    EXPECT_EQ(RemovalsSeen(), 2);
}

TEST_F(BanSessionTest, AFailedLiftStaysPendingSaidOnceAndIsTriedAtTheNextLogin) {
    LogIn();
    const std::string name = Ban(0, 3600);
    const std::string address = *Recorded()[0].address;
    client->SendCommand(("/keepip " + address).c_str());
    MoveTo(START + 3600);
    ASSERT_TRUE(WaitForNotice("not lifted")) << Notices();
    EXPECT_TRUE(Said("tried again at the next login")) << Notices();
    EXPECT_EQ(Recorded()[0].state, BanState::LiftPending);
    for (int i = 1; i <= 5; ++i) {
        MoveTo(START + 3600 + i);
        Settle();
    }
    EXPECT_EQ(RemovalsSeen(), 1) << "not tried again in the same session";

    LogOut();
    LogIn();
    ASSERT_TRUE(PumpUntil([this] { return Count("not lifted") == 2; })) << Notices();
    EXPECT_EQ(RemovalsSeen(), 2);
    EXPECT_EQ(Recorded()[0].liftFailures, 2);
}

TEST_F(BanSessionTest, ABanLiftedElsewhereIsMarkedSoAndNotLiftedAgain) {
    LogIn();
    const std::string name = Ban(0, 3600);
    const std::string address = *Recorded()[0].address;
    client->SendCommand(("/removeip " + address).c_str()); // another admin's hand
    Settle();
    MoveTo(START + 3600);
    ASSERT_TRUE(WaitForNotice("was lifted elsewhere")) << Notices();
    EXPECT_EQ(Recorded()[0].state, BanState::LiftedElsewhere);
    now += 5s;
    Settle();
    EXPECT_EQ(RemovalsSeen(), 1) << "only the other admin's";
}

TEST_F(BanSessionTest, TheAdminLiftsListedAddressesRecordedOrNot) {
    LogIn();
    const std::string name = Ban(0, std::nullopt);
    client->SendCommand("/banip 10.77.0.1");
    Settle();
    session->LookAtList();
    ASSERT_TRUE(PumpUntil([this] { return session->Rows().value.size() == 2; }));
    const std::vector<BanRow> rows = session->Rows().value;
    EXPECT_TRUE(rows[0].record);
    EXPECT_EQ(DescribeBanRow(rows[0]).expires, "permanent");
    EXPECT_EQ(DescribeBanRow(rows[1]).expires, "not recorded here");

    session->Lift({rows[0].entry, rows[1].entry});
    ASSERT_TRUE(WaitForNotice("Ban on " + name + " (" + rows[0].entry + ") lifted.")) << Notices();
    EXPECT_FALSE(Said("Ban on 10.77.0.1 lifted.")) << "one a second";
    now += 1s;
    ASSERT_TRUE(WaitForNotice("Ban on 10.77.0.1 lifted.")) << Notices();
    EXPECT_EQ(Recorded()[0].state, BanState::LiftedByAdmin);
}

TEST_F(BanSessionTest, OrdersThatCannotGoOutAreRefusedWithTheReason) {
    LogIn();
    RemovalOrder order;
    order.player = Player(0);
    order.reason = std::string(101, 'x');
    EXPECT_NE(session->Remove(order).find("the reason"), std::string::npos);
    order.reason = "ok";
    order.sayFirst = "{reason} \xE2\x82\xAC"; // the euro sign: not Latin-1
    EXPECT_NE(session->Remove(order).find("the line to say"), std::string::npos);

    order.sayFirst.clear();
    order.kind = RemovalOrder::Kind::Kick;
    order.reason = "language";
    EXPECT_EQ(session->Remove(order), "");
    ASSERT_TRUE(WaitForNotice("Kicked " + order.player.name + ": language.")) << Notices();
    EXPECT_TRUE(Store().Flush());
    ASSERT_TRUE(Store().Page(key, order.player.name).value);
    EXPECT_EQ(Store().Page(key, order.player.name).value->actions.front().detail, "language");
    EXPECT_EQ(session->Remove(order), "") << "queued; the player is gone when it goes out";
    ASSERT_TRUE(WaitForNotice("is no longer on the server: not kicked.")) << Notices();
}

// Automation's ban takes the same path: its minutes become the length, its text the reason;
// a reason the server could not be told is left out rather than the ban.
TEST_F(BanSessionTest, AutomationsBansAreRecordedWithTheirLengthAndReason) {
    LogIn();
    AutomationOutput ban;
    ban.type = AutomationOutputType::Ban;
    ban.playerId = Player(0).id;
    ban.playerName = Player(0).name;
    ban.text = "flood";
    ban.rule = "no-flood";
    ban.banMinutes = 30;
    session->RemoveForAutomation(ban);
    ASSERT_TRUE(WaitForNotice("for 30 minutes: flood.")) << Notices();

    ban.playerId = Player(0).id;
    ban.playerName = Player(0).name;
    ban.text = "caf\xC3\xA9 \xE2\x82\xAC"; // the euro sign is no Latin-1
    ban.banMinutes = 0;
    session->RemoveForAutomation(ban);
    ASSERT_TRUE(WaitForNotice("Banned " + ban.playerName + " (")) << Notices();
    EXPECT_TRUE(Said("reason was left out")) << Notices();
    std::vector<BanRecord> bans = Recorded(); // made in the same second: in no set order
    ASSERT_EQ(bans.size(), 2u);
    std::sort(bans.begin(), bans.end(),
              [](const BanRecord& a, const BanRecord& b) { return a.reason < b.reason; });
    EXPECT_EQ(bans[0].reason, "");
    EXPECT_FALSE(bans[0].expiresAt);
    EXPECT_EQ(bans[1].reason, "flood");
    EXPECT_EQ(bans[1].expiresAt, START + 1800);
    EXPECT_EQ(bans[1].adminUser, "tester (automation rule no-flood)");
}

} // namespace
