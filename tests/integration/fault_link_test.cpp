// The link under a server that went away or a stranger that fires at it: errors end only the
// poll they surface in, never loop, never count as traffic; a stranger's datagrams are never
// queued, let alone handled.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>

#include "engine/AdminClient.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SocketStats.h"
#include "tests/support/UdpPeer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Far above what a poll of an idle or erroring link costs (microseconds), far below a stall.
constexpr auto kQuickTick = 20ms;

class LinkFaultTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Valid()); }

    void LogIn(const std::vector<wire::PlayerEntry>& players = {}) {
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", "secret"));
        ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
        ASSERT_GT(server.Send(wire::EncodeWelcome(players)), 0);
        ASSERT_TRUE(WaitForLink(POLLIN));
        client.OnTimer(TIMER_POLL);
        ASSERT_TRUE(client.loggedIn);
        client.OnTimer(TIMER_WATCHDOG); // takes the welcome as the last sign of life
        ASSERT_FALSE(client.heardFromServer);
    }

    // Waits (bounded) until the link's socket reports one of `events`.
    bool WaitForLink(short events) {
        pollfd p{client.link->socketHandle, events, 0};
        return ::poll(&p, 1, 2000) > 0 && (p.revents & (events | POLLERR)) != 0;
    }

    // One poll tick; fails the test when it took long enough to be felt in the window.
    void QuickPollTick() {
        const auto start = Clock::now();
        client.OnTimer(TIMER_POLL);
        EXPECT_LT(Clock::now() - start, kQuickTick);
    }

    MessageBoxRecorder boxes;
    UdpPeer server;
    CAdminClient client;
};

TEST_F(LinkFaultTest, RefusedPortErrorsEndOnlyTheirPollAndTheWatchdogStillEndsTheSession) {
    LogIn();
    server.Close(); // from now on the port answers every datagram with "port unreachable"

    // The admin keeps typing to the dead server; each command brings a refusal back.
    client.SendCommand("status");
    ASSERT_TRUE(WaitForLink(POLLERR));
    char buffer[MAX_DATAGRAM];
    EXPECT_LT(client.link->Receive(buffer, sizeof buffer), 0);
    EXPECT_EQ(client.link->Receive(buffer, sizeof buffer), 0) << "the error must not stick";

    for (int silentTick = 1; silentTick <= WATCHDOG_SILENT_TICKS + 1; ++silentTick) {
        SCOPED_TRACE("silent watchdog tick " + std::to_string(silentTick));
        ASSERT_TRUE(client.loggedIn);
        client.SendCommand("status");
        ASSERT_TRUE(WaitForLink(POLLERR));
        QuickPollTick();
        pollfd p{client.link->socketHandle, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 0), 0) << "the poll left the error unread";
        QuickPollTick(); // nothing waits: returns at once
        EXPECT_FALSE(client.heardFromServer) << "an error counted as a sign of life";
        client.OnTimer(TIMER_WATCHDOG);
    }
    EXPECT_FALSE(client.loggedIn);
    EXPECT_FALSE(client.loginPending);
    EXPECT_EQ(client.reason, "Connection timed out.");
    EXPECT_FALSE(client.link->isOpen);
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(LinkFaultTest, LoginToAClosedPortEndsAtTheConnectTimeout) {
    const int closedPort = server.Port();
    server.Close();
    ASSERT_TRUE(client.Connect("127.0.0.1", closedPort, "admin", "secret"));
    ASSERT_TRUE(WaitForLink(POLLERR));
    QuickPollTick();
    QuickPollTick();
    EXPECT_TRUE(client.loginPending);
    EXPECT_FALSE(client.reasonPending);

    client.OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_FALSE(client.loginPending);
    EXPECT_TRUE(client.reasonPending);
    EXPECT_EQ(client.reason, "Connection timed out.");
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(LinkFaultTest, AStrangersFloodIsNeverQueuedNorHandled) {
    LogIn({{1, 50, "Ann"}});
    const int clientPort = LocalPortOf(client.link->socketHandle);
    ASSERT_NE(clientPort, 0);
    const std::optional<SocketStats> before = StatsOf(client.link->socketHandle);
    ASSERT_TRUE(before);

    // Every message that would change something if it were taken for the server's.
    const std::vector<Bytes> forged = {
        wire::EncodeRefused(4),
        wire::EncodeWelcome({{7, 1, "Mallory"}}),
        wire::EncodePlayerJoin(8, "Trudy"),
        wire::EncodePlayerLeave(LEAVE_KICKED, 1),
        wire::EncodeDeath(1, 1),
        wire::EncodePlayerValue(1, -1),
        wire::EncodeServerChat(1, 0, "forged"),
        wire::EncodeKillServerStatus(3),
        wire::EncodeRemoveIpResult(0),
        wire::EncodeListText("10.0.0.1|"),
        wire::EncodePing(),
    };
    UdpPeer stranger;
    ASSERT_TRUE(stranger.Valid());
    for (int round = 0; round < 1000; ++round) {
        for (const Bytes& datagram : forged) {
            stranger.SendTo(clientPort, datagram);
        }
    }

    const std::optional<SocketStats> after = StatsOf(client.link->socketHandle);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->queuedBytes, 0u);
    EXPECT_EQ(after->drops, before->drops);
    for (int tick = 0; tick < 3; ++tick) {
        QuickPollTick();
    }
    EXPECT_TRUE(client.loggedIn);
    EXPECT_FALSE(client.heardFromServer);
    EXPECT_FALSE(client.logPending);
    EXPECT_FALSE(client.reasonPending);
    EXPECT_EQ(client.listTextLength, 0);
    ASSERT_EQ(client.roster->GetCount(), 1);
    EXPECT_EQ(client.roster->NameByPosition(0), "Ann");
    EXPECT_EQ(client.roster->ValueByPosition(0), 50);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_TRUE(server.NothingWithin(50ms)) << "a forged ping was answered";

    // The real server is still heard.
    ASSERT_GT(server.Send(wire::EncodePlayerValue(1, 51)), 0);
    ASSERT_TRUE(WaitForLink(POLLIN));
    QuickPollTick();
    EXPECT_EQ(client.roster->ValueByPosition(0), 51);
}

} // namespace
