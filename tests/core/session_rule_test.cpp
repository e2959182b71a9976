// The rule both front ends follow after every tick, and how each way a session ends is told.
#include "core/SessionRule.h"

#include <gtest/gtest.h>

#include "core/CoreTexts.h"
#include "core/ReconnectPolicy.h"
#include "engine/Timers.h"
#include "tests/engine/AdminClientFixture.h"

namespace {

using Step = CSessionRule::Step;

class SessionRuleTest : public AdminClientTest {
  protected:
    void SetUp() override {
        AdminClientTest::SetUp();
        client.onEvent = [this](const ClientEvent& event) { rule.Observe(event); };
        rule.Start();
    }
    Step Tick(unsigned id) { return rule.Tick(client, connected, id); }

    CSessionRule rule;
    bool connected = false;
};

TEST_F(SessionRuleTest, ConnectedOnceThenNothingUntilTheEnd) {
    Connect();
    EXPECT_EQ(Tick(TIMER_CONNECT_TIMEOUT + 1), Step::None); // a refresh tick while logging in
    Handle(wire::EncodeWelcome({}));
    EXPECT_EQ(Tick(TIMER_UI_REFRESH), Step::Connected);
    EXPECT_TRUE(connected);
    EXPECT_EQ(Tick(TIMER_CONNECT_TIMEOUT), Step::None); // the 5 s timer goes on, harmless
    EXPECT_EQ(Tick(TIMER_UI_REFRESH), Step::None);
    EXPECT_TRUE(rule.WasLoggedIn());
}

// Each way a session or an attempt ends, with the ending the reconnect policy and vyr-cli's exit
// status are decided by.
TEST_F(SessionRuleTest, EachEndingIsToldApart) {
    // How each ends: 'n' nothing (the connect time-out), 'r' refusal 4, 'R' refusal 5, 's'
    // silent watchdog ticks, 'S' a confirmed shutdown and then silence, 'a' the admin.
    struct Case {
        const char* what;
        bool logIn;
        char end;
        SessionEnding ending;
        const char* reason;
    } const cases[] = {
        {"no answer to the login", false, 'n', SessionEnding::TimedOut, "Connection timed out."},
        {"refused at login", false, 'r', SessionEnding::Refused, "Invalid username or password."},
        {"silent server", true, 's', SessionEnding::TimedOut, "Connection timed out."},
        {"refused later", true, 'R', SessionEnding::Refused, "Server shutdown."},
        {"shutdown confirmed, then silence", true, 'S', SessionEnding::ServerShutDown,
         "Connection timed out."},
        {"the admin's own", true, 'a', SessionEnding::ClosedByAdmin, "Client disconnected."},
        {"the admin's own while logging in", false, 'a', SessionEnding::ClosedByAdmin,
         "Client disconnected."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rule.Start();
        connected = false;
        client.reason.clear();
        Connect();
        if (c.logIn) {
            Handle(wire::EncodeWelcome({}));
            ASSERT_EQ(Tick(TIMER_POLL), Step::Connected);
        }
        switch (c.end) {
        case 'r':
        case 'R':
            Handle(wire::EncodeRefused(c.end == 'r' ? 4 : 5));
            break;
        case 'S':
            Handle(wire::EncodeKillServerStatus(3));
            [[fallthrough]];
        case 's':
            Ticks(12); // the first only forgets the last datagram
            break;
        case 'a':
            rule.EndByAdmin(client, connected);
            break;
        }
        EXPECT_EQ(Tick(TIMER_CONNECT_TIMEOUT), Step::Disconnected);
        EXPECT_FALSE(connected);
        EXPECT_FALSE(client.reasonPending);
        EXPECT_EQ(rule.Ending(), c.ending);
        EXPECT_EQ(rule.WasLoggedIn(), c.logIn);
        EXPECT_EQ(client.reason, c.reason);
        EXPECT_EQ(Tick(TIMER_POLL), Step::None) << "the end is shown once";
    }
}

// Only a session lost to silence is tried again; a confirmed shutdown is not coming back.
TEST_F(SessionRuleTest, OnlyASilenceCallsForAnotherAttempt) {
    CReconnectPolicy policy([] { return 0.0; });
    Connect();
    Handle(wire::EncodeWelcome({}));
    Tick(TIMER_POLL);
    Handle(wire::EncodeKillServerStatus(3));
    Ticks(12); // the first only forgets the last datagram
    Tick(TIMER_WATCHDOG);
    EXPECT_FALSE(policy.Ended(rule.Ending(), rule.WasLoggedIn()));
    rule.Start();
    connected = false;
    Connect();
    Handle(wire::EncodeWelcome({}));
    Tick(TIMER_POLL);
    Ticks(12); // the first only forgets the last datagram
    Tick(TIMER_WATCHDOG);
    EXPECT_TRUE(policy.Ended(rule.Ending(), rule.WasLoggedIn()));
}

} // namespace
