// The client against a real UDP socket on loopback that stands in for the server: the exact
// bytes it sends, the datagrams it takes in, and how its link copes with a dead port and bursts.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>

#include "engine/AdminClient.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SocketStats.h"
#include "tests/support/UdpPeer.h"
#include "engine/Timers.h"

namespace {

using namespace std::chrono_literals;

class ClientLoopbackTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Valid()); }

    // Afterwards server.SenderPort() is the client's port.
    void LogIn(const std::vector<wire::PlayerEntry>& players = {}) {
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", "secret"));
        ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
        ASSERT_GT(server.Send(wire::EncodeWelcome(players)), 0);
        PollUntil([&] { return client.loggedIn; });
        ASSERT_TRUE(client.loggedIn);
    }

    // Polls as the window's timer does, waiting (bounded) for the link in between.
    template <typename Done> void PollUntil(Done done) {
        for (int round = 0; round < 100 && !done(); ++round) {
            WaitForLink(20);
            client.OnTimer(TIMER_POLL);
        }
    }

    // True once the link's socket has a datagram or an error waiting.
    bool WaitForLink(int ms = 2000) {
        pollfd p{client.link->socketHandle, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }

    std::optional<Bytes> PongAfterPing() {
        client.heardFromServer = false;
        server.Send(wire::EncodePing());
        PollUntil([&] { return client.heardFromServer; });
        return server.Receive();
    }

    MessageBoxRecorder boxes;
    UdpPeer server;
    CAdminSocket link;
    CPlayerList roster;
    CAdminClient client{link, roster};
};

TEST_F(ClientLoopbackTest, ClientBytesOnTheWireAndPingsAreAnswered) {
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", ""));
    EXPECT_EQ(server.Receive(), (Bytes{0x0D, 0x08, 0x61, 0x64, 0x6D, 0x69, 0x6E, 0x7C, 0x00}));
    EXPECT_EQ(PongAfterPing(), Bytes{MSG_PONG}) << "while logging in";
    ASSERT_GT(server.Send(wire::EncodeWelcome({})), 0);
    PollUntil([&] { return client.loggedIn; });
    EXPECT_EQ(PongAfterPing(), Bytes{MSG_PONG}) << "logged in";
    client.SendCommand("abc");
    EXPECT_EQ(server.Receive(), (Bytes{0x03, 0x03, 0x61, 0x62, 0x63, 0x00}));
    client.RequestShutdown();
    EXPECT_EQ(server.Receive(), Bytes{0x12});
}

TEST_F(ClientLoopbackTest, QuitGoesOutOnlyWhenLeavingALoggedInSessionAndABadHostSendsNothing) {
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

TEST_F(ClientLoopbackTest, KickAndBanSendTheIdAtTheRosterPosition) {
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


TEST_F(ClientLoopbackTest, DatagramsFromASecondSenderAreNeverHandled) {
    LogIn({{1, 50, "Ann"}});
    UdpPeer stranger;
    for (const Bytes& forged :
         {wire::EncodeRefused(4), wire::EncodeWelcome({{7, 1, "Mallory"}}),
          wire::EncodePlayerJoin(8, "Trudy"), wire::EncodePlayerLeave(LEAVE_KICKED, 1),
          wire::EncodePlayerValue(1, -1), wire::EncodeServerChat(1, 0, "forged"),
          wire::EncodeKillServerStatus(3), wire::EncodeListText("10.0.0.1|"), wire::EncodePing()}) {
        ASSERT_GT(stranger.SendTo(server.SenderPort(), forged), 0);
    }
    ASSERT_GT(server.Send(wire::EncodeListText("m|")), 0); // marks the end of the exchange
    PollUntil([&] { return client.listTextLength > 0; });
    EXPECT_EQ(client.listText, "m|");
    EXPECT_TRUE(client.loggedIn);
    ASSERT_EQ(client.roster->GetCount(), 1);
    EXPECT_EQ(client.roster->ValueByPosition(0), 50);
    EXPECT_FALSE(client.logPending || client.reasonPending);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_TRUE(server.NothingWithin(50ms)) << "a forged ping was answered";
}

TEST_F(ClientLoopbackTest, ClosedServerPortNeitherStallsNorCountsAndTheWatchdogEndsIt) {
    LogIn();
    client.OnTimer(TIMER_WATCHDOG); // takes the welcome as the last sign of life
    server.Close();                 // every datagram now brings "port unreachable" back
    for (int tick = 1; tick <= WATCHDOG_SILENT_TICKS + 1; ++tick) {
        ASSERT_TRUE(client.loggedIn) << "ended after " << tick - 1 << " silent ticks";
        client.SendCommand("status");
        ASSERT_TRUE(WaitForLink());
        for (const char* poll : {"with the error waiting", "with nothing waiting"}) {
            const auto start = std::chrono::steady_clock::now();
            client.OnTimer(TIMER_POLL);
            EXPECT_LT(std::chrono::steady_clock::now() - start, 20ms) << poll;
        }
        EXPECT_FALSE(WaitForLink(0)) << "the poll left the error unread";
        EXPECT_FALSE(client.heardFromServer) << "an error counted as a sign of life";
        client.OnTimer(TIMER_WATCHDOG);
    }
    EXPECT_FALSE(client.loggedIn);
    EXPECT_EQ(client.reason, "Connection timed out.");
    EXPECT_FALSE(client.link->isOpen);
    EXPECT_TRUE(boxes.texts.empty());
}

// Sends `count` copies of `datagram` back to back; false when a send failed.
bool SendBurst(UdpPeer& from, int port, const Bytes& datagram, int count) {
    for (int i = 0; i < count; ++i) {
        if (from.SendTo(port, datagram) != static_cast<int>(datagram.size())) {
            return false;
        }
    }
    return true;
}

// Overfills the socket `fd` at `port` without reading it; what it kept is its largest burst.
void Overfill(UdpPeer& from, int fd, int port, const Bytes& datagram) {
    const SocketStats before = StatsOf(fd).value();
    ASSERT_TRUE(SendBurst(from, port, datagram, before.receiveBuffer / 256 + 64));
    EXPECT_GT(StatsOf(fd)->drops, before.drops) << "the burst did not overfill the buffer";
}

TEST_F(ClientLoopbackTest, RaisedReceiveBufferKeepsAtLeastTheBurstsOfTheDefault) {
    LogIn();
    const int linkFd = client.link->socketHandle;
    const int linkPort = server.SenderPort();
    ASSERT_TRUE(StatsOf(linkFd)) << "no SO_MEMINFO";
    for (const std::size_t size : {std::size_t{20}, MAX_DATAGRAM}) {
        SCOPED_TRACE(std::to_string(size) + "-byte datagrams");
        // One log entry per datagram handled.
        const std::size_t text = size - wire::EncodeServerChat(0, 0, "").size();
        const Bytes chat = wire::EncodeServerChat(0, 0, std::string(text, 'x'));
        ASSERT_EQ(chat.size(), size);
        UdpPeer plain; // a socket whose receive buffer nobody raised
        Overfill(server, plain.Fd(), plain.Port(), chat);
        int before = 0;
        while (plain.Receive(0ms)) {
            ++before;
        }
        Overfill(server, linkFd, linkPort, chat);
        client.OnTimer(TIMER_POLL);
        const int after = static_cast<int>(client.TakeLog().size());

        // A burst of exactly that size reaches the client whole.
        const std::uint32_t drops = StatsOf(linkFd)->drops;
        ASSERT_TRUE(SendBurst(server, linkPort, chat, after));
        client.OnTimer(TIMER_POLL);
        EXPECT_EQ(static_cast<int>(client.TakeLog().size()), after);
        EXPECT_EQ(StatsOf(linkFd)->drops, drops);

        RecordProperty("burst_whole_default_" + std::to_string(size) + "B", before);
        RecordProperty("burst_whole_raised_" + std::to_string(size) + "B", after);
        EXPECT_GE(after, before);
        if (size == 20) { // a full roster's changes: 256 players joining, scoring, dying, leaving
            EXPECT_GE(after, 256 * 4)
                << "receive buffer granted: " << client.link->ReceiveBufferBytes()
                << " bytes (net.core.rmem_max caps it)";
        }
    }
}

} // namespace
