// The client against a real UDP server socket on loopback: the exact bytes it puts on the wire,
// and which datagrams it takes in.

#include <gtest/gtest.h>
#include <poll.h>

#include "engine/AdminClient.h"
#include "tests/support/UdpPeer.h"

namespace {

using wire::PlayerEntry;

class ClientLoopbackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Valid());
        client.roster->RemoveAll(); // the roster outlives every client
    }

    void LogIn(const std::vector<PlayerEntry>& players = {}) {
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", "secret"));
        ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
        ASSERT_GT(server.Send(wire::EncodeWelcome(players)), 0);
        PollUntil([&] { return client.loggedIn; });
        ASSERT_TRUE(client.loggedIn);
    }

    // Polls as the window's timer does until `done`, waiting (bounded) for datagrams in between.
    template <typename Done> void PollUntil(Done done) {
        for (int round = 0; round < 100 && !done(); ++round) {
            pollfd waiting{client.link->socketHandle, POLLIN, 0};
            ::poll(&waiting, 1, 20);
            client.OnTimer(TIMER_POLL);
        }
    }

    // Sends a ping and polls until the client has answered it.
    void PingAndExpectPong() {
        client.heardFromServer = false;
        ASSERT_GT(server.Send(wire::EncodePing()), 0);
        PollUntil([&] { return client.heardFromServer; });
        EXPECT_EQ(server.Receive(), Bytes{MSG_PONG});
    }

    UdpPeer server;
    CAdminClient client;
};

TEST_F(ClientLoopbackTest, LoginRequestGoesOutByteForByte) {
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", ""));
    EXPECT_TRUE(client.loginPending);
    EXPECT_EQ(server.Receive(), (Bytes{0x0D, 0x08, 0x61, 0x64, 0x6D, 0x69, 0x6E, 0x7C, 0x00}));
}

TEST_F(ClientLoopbackTest, PingIsAnsweredWhileLoggingInAndLoggedIn) {
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", ""));
    ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
    PingAndExpectPong();
    ASSERT_GT(server.Send(wire::EncodeWelcome({})), 0);
    PollUntil([&] { return client.loggedIn; });
    PingAndExpectPong();
}

TEST_F(ClientLoopbackTest, QuitIsSentOnlyWhenLeavingALoggedInConnection) {
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", ""));
    ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
    client.Disconnect();
    EXPECT_TRUE(server.NothingWithin());

    LogIn();
    client.Disconnect();
    EXPECT_EQ(server.Receive(), (Bytes{0x02, 0x00}));
    EXPECT_FALSE(client.link->isOpen);

    {
        CAdminClient second;
        ASSERT_TRUE(second.Connect("127.0.0.1", server.Port(), "admin", ""));
        ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
        second.HandleMessage(MSG_WELCOME, nullptr, 1);
    }
    EXPECT_EQ(server.Receive(), (Bytes{0x02, 0x00})); // destroying a logged-in client quits
}

TEST_F(ClientLoopbackTest, ConnectWhileLoggedInQuitsBeforeTheNewLogin) {
    LogIn();
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "root", "x"));
    EXPECT_EQ(server.Receive(), (Bytes{0x02, 0x00}));
    EXPECT_EQ(server.Receive(), wire::EncodeLogin("root", "x"));
}

TEST_F(ClientLoopbackTest, KickAndBanSendTheIdAtTheListPosition) {
    LogIn({{3, 0, "Ann"}, {0, 0, "Zed"}, {9, 0, "Bob"}});
    client.Kick(2);
    EXPECT_EQ(server.Receive(), (Bytes{0x0E, 9}));
    client.Ban(0);
    EXPECT_EQ(server.Receive(), (Bytes{0x0F, 3}));
    client.Kick(1);
    EXPECT_EQ(server.Receive(), (Bytes{0x0E, 0})); // a real player with id 0

    // An empty position sends nothing: an id 0 in its place would hit the wrong player.
    client.Kick(3);
    client.Ban(-1);
    client.Kick(256);
    EXPECT_TRUE(server.NothingWithin());

    // Positions are not cut to 8 bits: position 256 is the 257th player, not the first.
    while (client.roster->GetCount() < 256) {
        client.roster->Add(1, "Filler");
    }
    client.roster->Add(77, "Last");
    client.Ban(256);
    EXPECT_EQ(server.Receive(), (Bytes{0x0F, 77}));
}

TEST_F(ClientLoopbackTest, CommandAndShutdownRequest) {
    LogIn();
    client.SendCommand("abc");
    EXPECT_EQ(server.Receive(), (Bytes{0x03, 0x03, 0x61, 0x62, 0x63, 0x00}));
    client.RequestShutdown();
    EXPECT_EQ(server.Receive(), Bytes{0x12});
}

TEST_F(ClientLoopbackTest, ConnectThatCannotOpenTheLinkSendsNothingAndLeavesTheClientIdle) {
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", ""));
    ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
    EXPECT_FALSE(client.Connect("no-such-host.invalid", server.Port(), "admin", ""));
    EXPECT_FALSE(client.loginPending || client.loggedIn);
    EXPECT_FALSE(client.Connect("127.0.0.1", 0, "admin", ""));
    EXPECT_FALSE(client.loginPending);
    EXPECT_TRUE(server.NothingWithin());
}

TEST_F(ClientLoopbackTest, DatagramsFromAnyOtherSenderAreNeverHandled) {
    LogIn();
    UdpPeer stranger;
    ASSERT_TRUE(stranger.Valid());
    ASSERT_GT(stranger.SendTo(server.SenderPort(), wire::EncodePlayerJoin(5, "Eve")), 0);
    ASSERT_GT(server.Send(wire::EncodeListText("m|")), 0); // marks the end of the exchange
    PollUntil([&] { return client.listTextLength > 0; });
    ASSERT_EQ(client.listTextLength, 3);
    EXPECT_EQ(client.roster->GetCount(), 0);
    EXPECT_FALSE(client.logPending);
}

} // namespace
