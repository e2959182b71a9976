// The client's state machine, driven step by step through OnTimer and HandleMessage. A loopback
// UdpPeer plays the server wherever the state needs an open link.

#include "engine/AdminClient.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <ostream>

#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/UdpPeer.h"

void PrintTo(const LogEntry& entry, std::ostream* out) {
    *out << '"' << entry.text << "\" in " << entry.colour;
}

namespace {

using Entries = std::vector<LogEntry>;
using wire::PlayerEntry;

const char* const TIMED_OUT = "Connection timed out.";

class AdminClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Valid());
        client.roster->RemoveAll(); // the roster outlives every client
    }

    void Connect() {
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", "pw"));
        ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN)); // also lets the server answer the client
    }

    void LogIn(const std::vector<PlayerEntry>& players = {}) {
        Connect();
        Handle(wire::EncodeWelcome(players));
        ASSERT_TRUE(client.loggedIn);
        client.listDirty = false;
    }

    // The payload is copied to its exact size, so a read past the datagram is a heap overflow.
    void Handle(const Bytes& datagram) {
        const Bytes payload(datagram.begin() + 1, datagram.end());
        client.HandleMessage(static_cast<std::int8_t>(datagram[0]), payload.data(),
                             static_cast<int>(datagram.size()));
    }

    // Sends one datagram to the client and waits (bounded) until it waits in the client's socket.
    void SendToClient(const Bytes& datagram) {
        ASSERT_GT(server.Send(datagram), 0);
        pollfd waiting{client.link->socketHandle, POLLIN, 0};
        ASSERT_EQ(::poll(&waiting, 1, 2000), 1);
    }

    // Polls as the window's timer does until `done`, waiting (bounded) for datagrams in between.
    template <typename Done> void PollUntil(Done done) {
        for (int round = 0; round < 100 && !done(); ++round) {
            pollfd waiting{client.link->socketHandle, POLLIN, 0};
            ::poll(&waiting, 1, 20);
            client.OnTimer(TIMER_POLL);
        }
    }

    bool Idle() const { return !client.loggedIn && !client.loginPending; }

    UdpPeer server;
    MessageBoxRecorder boxes;
    CAdminClient client;
};

TEST_F(AdminClientTest, ConnectTimeoutEndsOnlyAnUnansweredLogin) {
    client.OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_FALSE(client.reasonPending);

    Connect();
    Handle(wire::EncodePlayerJoin(4, "Ann"));
    client.OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(client.reasonPending);
    EXPECT_EQ(client.reason, TIMED_OUT);
    EXPECT_EQ(client.roster->GetCount(), 0);

    client.reasonPending = false;
    client.reason.clear();
    LogIn();
    client.OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_TRUE(client.loggedIn);
    EXPECT_FALSE(client.reasonPending);
    EXPECT_EQ(client.reason, "");
}

TEST_F(AdminClientTest, WatchdogEndsTheConnectionOnTheEleventhSilentTick) {
    Connect();
    for (int tick = 0; tick < 20; ++tick) {
        client.OnTimer(TIMER_WATCHDOG); // only a logged-in connection is watched
    }
    EXPECT_TRUE(client.loginPending);

    LogIn();
    client.OnTimer(TIMER_WATCHDOG); // the welcome was traffic
    for (int tick = 0; tick < 10; ++tick) {
        client.OnTimer(TIMER_WATCHDOG);
    }
    EXPECT_TRUE(client.loggedIn);
    client.OnTimer(TIMER_WATCHDOG);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(client.reason, TIMED_OUT);
    EXPECT_FALSE(client.reasonPending); // the window sees the end through the login flags
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
}

TEST_F(AdminClientTest, AnyDatagramRestartsTheSilenceCount) {
    LogIn();
    for (const Bytes& datagram : {Bytes{MSG_PING}, Bytes{0}, Bytes{7}, Bytes{19}, Bytes{0xFF}}) {
        for (int tick = 0; tick < 10; ++tick) {
            client.OnTimer(TIMER_WATCHDOG);
        }
        Handle(datagram);
        client.OnTimer(TIMER_WATCHDOG);
        EXPECT_EQ(client.missedTicks, 0) << "type " << int(datagram[0]);
    }
    EXPECT_TRUE(client.loggedIn);
}

TEST_F(AdminClientTest, EveryRefusalCodeShowsItsBoxAndRecordsItsReason) {
    const struct {
        std::uint8_t code;
        std::vector<std::string> boxes;
        std::string reason;
    } cases[] = {
        {0, {"Another player is using this nick."}, "Nick already in use."},
        {1, {"Your address is banned from the server."}, "Address is banned."},
        {2, {"Another player is already connected from this IP."}, "IP Already connected."},
        {3, {}, "Server refused connection."},
        {4, {"Invalid username or password."}, "Invalid username or password."},
        {5, {"Disconnected: server shutdown."}, "Server shutdown."},
        {6, {"Disconnected: Incompatible version."}, "Incompatible version."},
        {7, {}, "Server refused connection."},
        {200, {}, "Server refused connection."},
        {255, {}, "Server refused connection."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.code));
        Connect();
        boxes.texts.clear();
        Handle(wire::EncodeRefused(c.code));
        EXPECT_EQ(boxes.texts, c.boxes);
        EXPECT_EQ(client.reason, c.reason);
        EXPECT_TRUE(client.reasonPending);
        EXPECT_TRUE(Idle());
        EXPECT_TRUE(client.link->isOpen); // a login that never succeeded leaves the link open
    }

    LogIn();
    Handle(wire::EncodeRefused(3));
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(client.link->isOpen);
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
}

TEST_F(AdminClientTest, TicksNestedInARefusalBoxAreServedAndTheRefusalStillCompletes) {
    Connect();
    boxes.insideNextBox = [&] {
        SendToClient(wire::EncodePlayerJoin(5, "Bob"));
        client.OnTimer(TIMER_POLL);
        Handle(wire::EncodeServerChat(0, CHAT_KIND_SERVER, "hi"));
        EXPECT_EQ(client.roster->GetCount(), 1);
        EXPECT_TRUE(client.loginPending); // the refusal acts only once its box has closed
    };
    Handle(wire::EncodeRefused(1));
    EXPECT_EQ(client.reason, "Address is banned.");
    EXPECT_TRUE(Idle());
    EXPECT_EQ(client.roster->GetCount(), 0);
    EXPECT_EQ(client.TakeLog(),
              (Entries{{"Bob has joined the game.", COLOUR_GREEN}, {"<hi>", COLOUR_DARK_RED}}));
}

TEST_F(AdminClientTest, ANestedRefusalDoesNotReplaceTheDatagramTheOuterPollIsHandling) {
    Connect();
    boxes.insideNextBox = [&] {
        SendToClient(wire::EncodeRefused(4));
        client.OnTimer(TIMER_POLL);
        EXPECT_TRUE(Idle());
    };
    SendToClient(wire::EncodeRefused(0));
    client.OnTimer(TIMER_POLL);
    // One box at a time: the nested refusal ends the attempt without a box of its own.
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Another player is using this nick."});
    EXPECT_EQ(client.reason, "Nick already in use.");
    EXPECT_TRUE(client.reasonPending);
    EXPECT_TRUE(Idle());
}

TEST_F(AdminClientTest, TimeoutsNestedInARefusalBoxEndTheConnectionOnce) {
    LogIn();
    boxes.insideNextBox = [&] {
        for (int tick = 0; tick < 12; ++tick) { // the first takes in the refusal as traffic
            client.OnTimer(TIMER_WATCHDOG);
        }
        client.OnTimer(TIMER_CONNECT_TIMEOUT);
        client.OnTimer(TIMER_POLL);
        EXPECT_TRUE(Idle());
    };
    Handle(wire::EncodeRefused(5));
    EXPECT_EQ(client.reason, "Server shutdown.");
    EXPECT_TRUE(client.reasonPending);
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
    EXPECT_TRUE(server.NothingWithin()); // no second quit
}

TEST_F(AdminClientTest, ANestedDisconnectStopsTheOuterDrain) {
    Connect();
    boxes.insideNextBox = [&] {
        SendToClient(wire::EncodePlayerJoin(5, "Bob"));
        client.OnTimer(TIMER_CONNECT_TIMEOUT); // ends the attempt; the link stays open
    };
    SendToClient(wire::EncodeRemoveIpResult(0));
    client.OnTimer(TIMER_POLL);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"IP could not be removed."});
    EXPECT_EQ(client.roster->GetCount(), 0); // the join behind the box was not read in Idle
    EXPECT_TRUE(client.logEntries.empty());
}

TEST_F(AdminClientTest, LogMailboxKeepsEveryTextApartInOrderUntilTaken) {
    LogIn({{3, 0, "Ann"}});
    ASSERT_GT(server.Send(wire::EncodePlayerJoin(5, "Bob")), 0);
    ASSERT_GT(server.Send(wire::EncodeDeath(5, 3)), 0);
    PollUntil([&] { return client.logEntries.size() >= 2; });
    EXPECT_TRUE(client.logPending);
    EXPECT_EQ(client.TakeLog(), (Entries{{"Bob has joined the game.", COLOUR_GREEN},
                                         {"Ann killed Bob.", COLOUR_RED}}));
    EXPECT_FALSE(client.logPending);
    EXPECT_TRUE(client.logEntries.empty());

    const std::string longText(1000, 'x'); // far beyond one 255-character line
    Handle(wire::EncodeServerChat(0, CHAT_KIND_SERVER, longText));
    EXPECT_EQ(client.TakeLog(), (Entries{{"<" + longText + ">", COLOUR_DARK_RED}}));
}

TEST_F(AdminClientTest, WelcomeLogsInAndReadsItsBlockOnlyWhenLongerThanFourBytes) {
    for (std::size_t length = 1; length <= 16; ++length) {
        SCOPED_TRACE(length);
        Connect();
        client.listDirty = false;
        Bytes welcome(length, 0);
        welcome[0] = MSG_WELCOME;
        Handle(welcome);
        EXPECT_TRUE(client.loggedIn);
        EXPECT_EQ(client.listDirty, length > 4);
        EXPECT_EQ(client.roster->GetCount(), 0);
    }

    Connect();
    Handle(wire::EncodeWelcome({{3, 300, "Ann"}, {9, -2, "Bob"}}));
    ASSERT_EQ(client.roster->GetCount(), 2);
    EXPECT_EQ(client.roster->NameByPosition(0), "Ann");
    EXPECT_EQ(client.roster->ValueByPosition(0), 300);
    EXPECT_EQ(client.roster->IdByPosition(1), 9);
    EXPECT_EQ(client.roster->ValueByPosition(1), -2);

    Handle(wire::EncodeWelcome({{4, 1, "Cy"}})); // a second welcome adds without emptying
    EXPECT_EQ(client.roster->GetCount(), 3);
}

TEST_F(AdminClientTest, ChatShowsSenderAndColourByKind) {
    LogIn({{3, 0, "Ann"}});
    Handle(wire::EncodeServerChat(3, CHAT_KIND_SERVER, "restart soon"));
    Handle(wire::EncodeServerChat(3, CHAT_KIND_TEAM, "go"));
    Handle(wire::EncodeServerChat(3, 0, "hi"));
    Handle(wire::EncodeServerChat(9, 7, "%s%n")); // remote text is never a format
    Handle(Bytes{MSG_CHAT, 3, 0});                // no text at all
    EXPECT_EQ(client.TakeLog(), (Entries{{"<restart soon>", COLOUR_DARK_RED},
                                         {"Ann: go", COLOUR_BROWN},
                                         {"Ann: hi", COLOUR_BLACK},
                                         {"Player #9: %s%n", COLOUR_BLACK},
                                         {"Ann: ", COLOUR_BLACK}}));
}

TEST_F(AdminClientTest, JoinAndLeaveKeepRosterAndLogInStep) {
    LogIn();
    Handle(wire::EncodePlayerJoin(200, "Maximilian_von_Bergen"));
    EXPECT_TRUE(client.listDirty);
    EXPECT_EQ(client.roster->NameById(200), "Maximilian_v");
    Handle(wire::EncodePlayerJoin(1, "Ann"));
    Handle(wire::EncodePlayerJoin(2, "Bob"));

    client.listDirty = false;
    Handle(wire::EncodePlayerLeave(LEAVE_KICKED, 200));
    EXPECT_TRUE(client.listDirty);
    Handle(wire::EncodePlayerLeave(LEAVE_TIMED_OUT, 1));
    Handle(wire::EncodePlayerLeave(7, 2));
    Handle(wire::EncodePlayerLeave(0, 99));
    EXPECT_EQ(client.roster->GetCount(), 0);
    EXPECT_EQ(client.TakeLog(),
              (Entries{{"Maximilian_v has joined the game.", COLOUR_GREEN},
                       {"Ann has joined the game.", COLOUR_GREEN},
                       {"Bob has joined the game.", COLOUR_GREEN},
                       {"Maximilian_v has been kicked from the game.", COLOUR_GREEN},
                       {"Ann timed out.", COLOUR_GREEN},
                       {"Bob has left the game.", COLOUR_GREEN},
                       {"Player #99 has left the game.", COLOUR_GREEN}}));
}

TEST_F(AdminClientTest, AServerThatNeverStopsJoiningCannotGrowTheRosterWithoutBound) {
    LogIn();
    for (int i = 0; i < CAdminClient::MAX_ROSTER + 10; ++i) {
        Handle(wire::EncodePlayerJoin(static_cast<std::uint8_t>(i), "Clone"));
    }
    EXPECT_EQ(client.roster->GetCount(), CAdminClient::MAX_ROSTER);
    EXPECT_EQ(client.TakeLog().size(), static_cast<std::size_t>(CAdminClient::MAX_ROSTER + 10));
    Handle(wire::EncodeWelcome({{1, 0, "Late"}}));
    EXPECT_EQ(client.roster->GetCount(), CAdminClient::MAX_ROSTER);
}

TEST_F(AdminClientTest, DeathNamesKillerAndVictim) {
    LogIn({{3, 0, "Ann"}, {5, 0, "Bob"}});
    Handle(wire::EncodeDeath(3, 3));
    Handle(wire::EncodeDeath(3, 5));
    Handle(wire::EncodeDeath(3, 77));
    Handle(wire::EncodeDeath(77, 5));
    Handle(wire::EncodeDeath(77, 77));
    EXPECT_EQ(client.TakeLog(), (Entries{{"Ann killed himself.", COLOUR_RED},
                                         {"Bob killed Ann.", COLOUR_RED},
                                         {"Ann died.", COLOUR_RED},
                                         {"Bob killed Player #77.", COLOUR_RED},
                                         {"Player #77 died.", COLOUR_RED}}));
}

TEST_F(AdminClientTest, ValueUpdateMovesThePlayerLastWithoutLogging) {
    LogIn({{3, 0, "Ann"}, {5, 0, "Bob"}});
    Handle(wire::EncodePlayerValue(3, -7));
    EXPECT_TRUE(client.listDirty);
    EXPECT_EQ(client.roster->NameByPosition(1), "Ann");
    EXPECT_EQ(client.roster->ValueByPosition(1), -7);
    EXPECT_FALSE(client.logPending);
}

TEST_F(AdminClientTest, RemoveIpResultListTextAndShutdownStatus) {
    LogIn();
    Handle(wire::EncodeRemoveIpResult(1));
    Handle(wire::EncodeRemoveIpResult(0));
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"IP could not be removed."});

    Handle(wire::EncodeListText("x|y|z"));
    EXPECT_EQ(client.listText, "x|y|z");
    EXPECT_EQ(client.listTextLength, 6);
    Handle(Bytes{MSG_LIST_TEXT, 'a', 0, '|'});
    EXPECT_EQ(client.listText, std::string("a\0|", 3));
    Handle(wire::EncodeListText(""));
    EXPECT_EQ(client.listText, "");
    EXPECT_EQ(client.listTextLength, 1);

    Entries expected;
    for (int status : {1, 2, 3, 4}) {
        Handle(wire::EncodeKillServerStatus(static_cast<std::int8_t>(status)));
        expected.push_back({std::string(*wire::KillServerText(status)), COLOUR_DARK_RED});
    }
    for (int status : {0, 5, -1, -128}) {
        Handle(wire::EncodeKillServerStatus(static_cast<std::int8_t>(status)));
        expected.push_back(
            {"KILLSERVER: Unknown status " + std::to_string(status) + ".", COLOUR_DARK_RED});
    }
    EXPECT_EQ(client.TakeLog(), expected);
}

TEST_F(AdminClientTest, ShortAndUnknownDatagramsOnlyCountAsTraffic) {
    LogIn({{3, 0, "Ann"}});
    const Bytes datagrams[] = {
        {MSG_CHAT},         {MSG_CHAT, 3}, {MSG_REFUSED},  {MSG_PLAYER_JOIN},
        {MSG_PLAYER_LEAVE}, {9, 1},        {MSG_DEATH},    {11, 3},
        {MSG_PLAYER_VALUE}, {12, 3},       {12, 3, 1},     {MSG_REMOVE_IP_RESULT},
        {MSG_KILLSERVER},   {0},           {MSG_QUIT, 0},  {MSG_PONG},
        {7, 1, 2},          {10},          {MSG_LOGIN, 8}, {MSG_KICK, 3},
        {MSG_BAN, 3},       {19},          {0xFF, 1, 2}};
    for (const Bytes& datagram : datagrams) {
        client.heardFromServer = false;
        Handle(datagram);
        EXPECT_TRUE(client.heardFromServer) << "type " << int(datagram[0]);
    }
    for (int length : {0, -5}) {
        client.heardFromServer = false;
        client.HandleMessage(MSG_LIST_TEXT, nullptr, length);
        EXPECT_TRUE(client.heardFromServer);
    }
    EXPECT_TRUE(client.loggedIn);
    EXPECT_FALSE(client.reasonPending || client.listDirty || client.logPending);
    EXPECT_EQ(client.listTextLength, 0);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(client.roster->GetCount(), 1);
    EXPECT_EQ(client.roster->ValueByPosition(0), 0);
}

} // namespace
