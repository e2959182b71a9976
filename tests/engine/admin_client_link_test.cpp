// The client on its real link, with a loopback UdpPeer as the server: the exact bytes it sends,
// what an unreachable server port does to it, and how much of a burst its link keeps.

#include <chrono>
#include <string>
#include <thread>

#include "tests/engine/AdminClientFixture.h"
#include "tests/support/SocketStats.h"

namespace {

// The commands' bytes are checked where the window and vyr-cli send them.
TEST_F(AdminClientTest, LoginBytesOnTheWireAndPingsAreAnswered) {
    const auto pongAfterPing = [this] {
        client.heardFromServer = false;
        server.Send(wire::EncodePing());
        PollUntil([&] { return client.heardFromServer; });
        return server.Receive();
    };
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", ""));
    EXPECT_EQ(server.Receive(), (Bytes{0x0D, 0x08, 0x61, 0x64, 0x6D, 0x69, 0x6E, 0x7C, 0x00}));
    EXPECT_EQ(pongAfterPing(), Bytes{MSG_PONG}) << "while logging in";
    ASSERT_GT(server.Send(wire::EncodeWelcome({})), 0);
    PollUntil([&] { return client.loggedIn; });
    EXPECT_EQ(pongAfterPing(), Bytes{MSG_PONG}) << "logged in";
}

TEST_F(AdminClientTest, QuitGoesOutOnlyWhenLeavingALoggedInSessionAndABadHostSendsNothing) {
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", ""));
    ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
    client.Disconnect();
    EXPECT_TRUE(server.NothingWithin()) << "quit while only logging in";

    LogIn();
    client.Disconnect();
    EXPECT_EQ(server.Receive(), (Bytes{0x02, 0x00}));
    EXPECT_FALSE(client.link->isOpen);

    LogIn();
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "root", "x"));
    EXPECT_EQ(server.Receive(), (Bytes{0x02, 0x00})) << "the quit comes before the new login";
    EXPECT_EQ(server.Receive(), wire::EncodeLogin("root", "x"));
    EXPECT_FALSE(client.Connect("no-such-host.invalid", server.Port(), "admin", ""));
    EXPECT_FALSE(client.loginPending || client.loggedIn);
    EXPECT_TRUE(server.NothingWithin()) << "an unresolvable host sends nothing";
}

TEST_F(AdminClientTest, KickAndBanSendTheIdAtTheRosterPosition) {
    LogIn({{3, 0, "Ann"}, {0, 0, "Zed"}, {9, 0, "Bob"}});
    client.Kick(2);
    EXPECT_EQ(server.Receive(), (Bytes{0x0E, 9}));
    client.Ban(0);
    EXPECT_EQ(server.Receive(), (Bytes{0x0F, 3}));
    client.Kick(1);
    EXPECT_EQ(server.Receive(), (Bytes{0x0E, 0})); // a real player with id 0
    client.Kick(3); // an id 0 for an empty position would hit the wrong player
    client.Ban(-1);
    client.Kick(256);
    EXPECT_TRUE(server.NothingWithin());

    // Position 256 is the 257th player, not the first: positions are not cut to 8 bits.
    while (client.roster->GetCount() < 256) {
        client.roster->Add(1, "Filler");
    }
    client.roster->Add(77, "Last");
    client.Ban(256);
    EXPECT_EQ(server.Receive(), (Bytes{0x0F, 77}));
}

// An unreachable port answers with an error, which the poll reads and does not take for a sign
// of life, so the watchdog goes on counting the silence.
TEST_F(AdminClientTest, AClosedServerPortIsNoSignOfLife) {
    LogIn();
    server.Close(); // every datagram now brings "port unreachable" back
    client.SendCommand("status");
    ASSERT_TRUE(WaitForLink());
    client.heardFromServer = false;
    client.OnTimer(TIMER_POLL);
    EXPECT_FALSE(WaitForLink(0)) << "the poll left the error unread";
    EXPECT_FALSE(client.heardFromServer) << "an error counted as a sign of life";
    EXPECT_TRUE(client.loggedIn && boxes.texts.empty());
}

// A full roster's changes at once (256 players joining, scoring, dying, leaving) reach the client
// whole: the link asks for more receive buffer than a socket gets by default. The burst sizes
// each buffer keeps are measured by bench_loopback. A poll always takes one such burst; a slow
// front end, past the poll's time budget, finds the rest at its next poll, its loop having
// turned in between.
TEST_F(AdminClientTest, TheLinkKeepsABurstOfAFullRostersChanges) {
    LogIn();
    const UdpPeer plain; // a socket whose receive buffer nobody raised
    EXPECT_GT(StatsOf(client.link->socketHandle).value().receiveBuffer,
              StatsOf(plain.Fd()).value().receiveBuffer);
    const Bytes chat = wire::EncodeServerChat(0, 0, std::string(14, 'x')); // 20 bytes
    const int burst = 256 * 4;
    ASSERT_EQ(burst, CAdminClient::FULL_BURST);
    const int beyond = 100;
    for (int i = 0; i < burst + beyond; ++i) {
        ASSERT_EQ(server.Send(chat), static_cast<int>(chat.size()));
    }
    // Each event takes long enough that the burst alone outlasts the budget.
    const auto slowest = CAdminClient::POLL_BUDGET / burst + std::chrono::microseconds(1);
    client.onEvent = [&](const ClientEvent&) { std::this_thread::sleep_for(slowest); };
    client.OnTimer(TIMER_POLL);
    EXPECT_EQ(client.TakeLog().size(), static_cast<std::size_t>(burst))
        << "receive buffer granted: " << client.link->ReceiveBufferBytes()
        << " bytes (net.core.rmem_max caps it)";
    EXPECT_TRUE(WaitForLink(0)) << "the rest of the datagrams is waiting";
    client.OnTimer(TIMER_POLL);
    EXPECT_EQ(client.TakeLog().size(), static_cast<std::size_t>(beyond));
}

} // namespace
