// The client's state machine: timers, refusals, the welcome and the log texts of every event.

#include <ostream>

#include "tests/engine/AdminClientFixture.h"

void PrintTo(const LogEntry& entry, std::ostream* out) {
    *out << '"' << entry.text << "\" in " << entry.colour;
}

namespace {

using Entries = std::vector<LogEntry>;
using Texts = std::vector<std::string>;
const char* const TIMED_OUT = "Connection timed out.";

TEST_F(AdminClientTest, ConnectTimeoutEndsOnlyAnUnansweredLogin) {
    client.OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_FALSE(client.reasonPending);

    Connect();
    Handle(wire::EncodePlayerJoin(4, "Ann"));
    client.OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_TRUE(client.reasonPending && Idle());
    EXPECT_EQ(client.reason, TIMED_OUT);
    EXPECT_EQ(client.roster->GetCount(), 0);

    client.reasonPending = false;
    LogIn();
    client.OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_TRUE(client.loggedIn);
    EXPECT_FALSE(client.reasonPending);
}

TEST_F(AdminClientTest, WatchdogEndsOnTheEleventhSilentTickAndAnyDatagramResetsIt) {
    Connect();
    Ticks(20); // only a logged-in connection is watched
    EXPECT_TRUE(client.loginPending);
    LogIn();
    Ticks(1); // the welcome was traffic
    for (const Bytes& datagram : {Bytes{MSG_PING}, Bytes{0}, Bytes{7}, Bytes{19}, Bytes{0xFF}}) {
        Ticks(10);
        EXPECT_TRUE(client.loggedIn) << "type " << int(datagram[0]);
        Handle(datagram);
    }
    Ticks(11);
    EXPECT_TRUE(client.loggedIn);
    Ticks(1);
    EXPECT_TRUE(Idle());
    EXPECT_EQ(client.reason, TIMED_OUT);
    EXPECT_FALSE(client.reasonPending); // the window sees the end through the login flags
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
}

TEST_F(AdminClientTest, EveryRefusalCodeShowsItsBoxAndRecordsItsReason) {
    const struct {
        std::uint8_t code;
        Texts boxes;
        std::string reason;
    } cases[] = {
        {0, {"Another player is using this nick."}, "Nick already in use."},
        {1, {"Your address is banned from the server."}, "Address is banned."},
        {2, {"Another player is already connected from this IP."}, "IP Already connected."},
        {3, {}, "Server refused connection."},
        {4, {"Invalid username or password."}, "Invalid username or password."},
        {5, {"Disconnected: server shutdown."}, "Server shutdown."},
        {6, {"Disconnected: Incompatible version."}, "Incompatible version."},
        {200, {}, "Server refused connection."},
    };
    for (const auto& c : cases) {
        Connect();
        boxes.texts.clear();
        Handle(wire::EncodeRefused(c.code));
        EXPECT_EQ(boxes.texts, c.boxes) << int(c.code);
        EXPECT_EQ(client.reason, c.reason) << int(c.code);
        EXPECT_TRUE(client.reasonPending && Idle()) << int(c.code);
    }
    LogIn();
    Handle(wire::EncodeRefused(3));
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(client.link->isOpen);
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
}

// The attempt ends before the refusal's box opens, so the ticks that run while it is open
// find nothing left to time out, and no datagram is read after the end.
TEST_F(AdminClientTest, ARefusalEndsTheConnectionBeforeItsBoxOpens) {
    LogIn({{5, 0, "Bob"}});
    boxes.insideNextBox = [&] {
        EXPECT_TRUE(Idle());
        EXPECT_TRUE(client.reasonPending);
        EXPECT_EQ(client.reason, "Address is banned.");
        EXPECT_EQ(client.roster->GetCount(), 0);
        client.OnTimer(TIMER_POLL);
        Ticks(12);
        client.OnTimer(TIMER_CONNECT_TIMEOUT);
        EXPECT_EQ(client.reason, "Address is banned.");
    };
    Handle(wire::EncodeRefused(1));
    EXPECT_EQ(boxes.texts, Texts{"Your address is banned from the server."});
    EXPECT_TRUE(client.reasonPending);
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
    EXPECT_TRUE(server.NothingWithin()); // no second quit
}

// A refusal inside the box ends the attempt without a box of its own (one at a time), and the
// outer poll then stops reading: the join behind it stays unread.
TEST_F(AdminClientTest, ANestedRefusalStopsTheOuterDrain) {
    Connect();
    boxes.insideNextBox = [&] {
        SendToClient(wire::EncodeRefused(4));
        client.OnTimer(TIMER_POLL);
        EXPECT_TRUE(client.reasonPending && Idle());
        SendToClient(wire::EncodePlayerJoin(5, "Bob")); // the link stays open
    };
    SendToClient(wire::EncodeRemoveIpResult(0));
    client.OnTimer(TIMER_POLL);
    EXPECT_EQ(boxes.texts, Texts{"IP could not be removed."});
    EXPECT_EQ(client.reason, "Invalid username or password.");
    EXPECT_EQ(client.roster->GetCount(), 0);
    EXPECT_TRUE(client.logEntries.empty());
}

// Found by client_fuzzer: a server that keeps refusing while the first refusal's box is open used
// to stack one modal box (and its stack frames) per datagram.
TEST_F(AdminClientTest, BoxesNeverStackWhileTheServerKeepsRefusing) {
    client.loginPending = true;
    boxes.insideNextBox = [&] {
        for (int i = 0; i < 100; ++i) {
            Handle(wire::EncodeRefused(4));
            Handle(wire::EncodeRemoveIpResult(0));
        }
    };
    Handle(wire::EncodeRefused(0));
    EXPECT_EQ(boxes.texts, Texts{"Another player is using this nick."});
    EXPECT_EQ(client.reason, "Invalid username or password."); // the latest refusal's reason
    EXPECT_TRUE(client.reasonPending && Idle());
    Handle(wire::EncodeRemoveIpResult(0)); // once that box is closed, the next one shows
    EXPECT_EQ(boxes.texts.size(), 2u);
}

TEST_F(AdminClientTest, WelcomeLogsInAndReadsItsBlockOnlyWhenLongerThanFourBytes) {
    for (std::size_t length = 1; length <= 16; ++length) {
        Connect();
        client.listDirty = false;
        Bytes welcome(length, 0);
        welcome[0] = MSG_WELCOME;
        Handle(welcome);
        EXPECT_TRUE(client.loggedIn) << length;
        EXPECT_EQ(client.listDirty, length > 4) << length;
        EXPECT_EQ(client.roster->GetCount(), 0) << length;
    }
    Handle(wire::EncodeWelcome({{3, 300, "Ann"}, {9, -2, "Bob"}}));
    Handle(wire::EncodeWelcome({{4, 1, "Cy"}})); // a second welcome adds without emptying
    ASSERT_EQ(client.roster->GetCount(), 3);
    EXPECT_EQ(client.roster->NameByPosition(0), "Ann");
    EXPECT_EQ(client.roster->ValueByPosition(0), 300);
    EXPECT_EQ(client.roster->IdByPosition(1), 9);
    EXPECT_EQ(client.roster->ValueByPosition(1), -2);
}

TEST_F(AdminClientTest, LogTextsKeepTheirOrderAndColourUntilTaken) {
    LogIn({{3, 0, "Ann"}});
    Handle(wire::EncodePlayerJoin(5, "Bob"));
    Handle(wire::EncodeDeath(5, 3));
    EXPECT_TRUE(client.logPending);
    EXPECT_EQ(client.TakeLog(), (Entries{{"Bob has joined the game.", COLOUR_GREEN},
                                         {"Ann killed Bob.", COLOUR_RED}}));
    EXPECT_FALSE(client.logPending);

    client.listDirty = false;
    Handle(wire::EncodePlayerValue(3, -7)); // moves Ann last, logs nothing
    EXPECT_TRUE(client.listDirty);
    EXPECT_EQ(client.roster->NameByPosition(1), "Ann");
    EXPECT_EQ(client.roster->ValueByPosition(1), -7);

    const std::string longText(1000, 'x'); // no line length limit
    Handle(wire::EncodeServerChat(3, CHAT_KIND_SERVER, longText));
    Handle(wire::EncodeServerChat(3, CHAT_KIND_TEAM, "go"));
    Handle(wire::EncodeServerChat(9, 0, "%s%n")); // remote text is never a format
    Handle(Bytes{MSG_CHAT, 3, 7});                // no text at all
    Handle(wire::EncodeDeath(3, 3));
    Handle(wire::EncodeDeath(3, 5));
    Handle(wire::EncodeDeath(3, 77));
    Handle(wire::EncodeDeath(77, 5));
    Handle(wire::EncodeDeath(77, 77));
    for (int status : {1, 2, 3, 4, 0, -1}) {
        Handle(wire::EncodeKillServerStatus(static_cast<std::int8_t>(status)));
    }
    Handle(wire::EncodePlayerLeave(LEAVE_KICKED, 3));
    Handle(wire::EncodePlayerLeave(LEAVE_TIMED_OUT, 5));
    Handle(wire::EncodePlayerLeave(7, 99));
    EXPECT_EQ(client.roster->GetCount(), 0);
    EXPECT_EQ(client.TakeLog(),
              (Entries{{"<" + longText + ">", COLOUR_DARK_RED},
                       {"Ann: go", COLOUR_BROWN},
                       {"Player #9: %s%n", COLOUR_BLACK},
                       {"Ann: ", COLOUR_BLACK},
                       {"Ann killed himself.", COLOUR_RED},
                       {"Bob killed Ann.", COLOUR_RED},
                       {"Ann died.", COLOUR_RED},
                       {"Bob killed Player #77.", COLOUR_RED},
                       {"Player #77 died.", COLOUR_RED},
                       {"KILLSERVER: First attempt received ... waiting 5 secs for Second "
                        "attempt.",
                        COLOUR_DARK_RED},
                       {"KILLSERVER: Second attempt too late ... treated as First attempt.",
                        COLOUR_DARK_RED},
                       {"KILLSERVER: Second attempt received ... shutting down.", COLOUR_DARK_RED},
                       {"KILLSERVER: Remote Shutdown has been disabled.", COLOUR_DARK_RED},
                       {"KILLSERVER: Unknown status 0.", COLOUR_DARK_RED},
                       {"KILLSERVER: Unknown status -1.", COLOUR_DARK_RED},
                       {"Ann has been kicked from the game.", COLOUR_GREEN},
                       {"Bob timed out.", COLOUR_GREEN},
                       {"Player #99 has left the game.", COLOUR_GREEN}}));
}

TEST_F(AdminClientTest, JoinsBeyondTheRosterCapAreLoggedButNotListed) {
    LogIn();
    for (int i = 0; i < CAdminClient::MAX_ROSTER + 10; ++i) {
        Handle(wire::EncodePlayerJoin(static_cast<std::uint8_t>(i), "Clone"));
    }
    Handle(wire::EncodeWelcome({{1, 0, "Late"}}));
    EXPECT_EQ(client.roster->GetCount(), CAdminClient::MAX_ROSTER);
    EXPECT_EQ(client.TakeLog().size(), static_cast<std::size_t>(CAdminClient::MAX_ROSTER + 10));
}

// A confirmed removal is logged; only a refused one opens the box, unless a front end lifting
// bans by itself asked to say it in its own log (it may clear the wish in onEvent).
TEST_F(AdminClientTest, RemoveIpLogsSuccessAndBoxesFailure) {
    LogIn();
    Handle(wire::EncodeRemoveIpResult(2));
    Handle(wire::EncodeRemoveIpResult(0));
    EXPECT_EQ(client.TakeLog(), (Entries{{"IP removed.", COLOUR_BLUE}}));
    EXPECT_EQ(boxes.texts, Texts{"IP could not be removed."});

    int failures = 0;
    client.onEvent = [&](const ClientEvent& event) {
        if (const auto* answer = std::get_if<event::RemoveIpResult>(&event.what)) {
            failures += !answer->removed;
            client.quietRemoveIpFailure = false;
        }
    };
    client.quietRemoveIpFailure = true;
    Handle(wire::EncodeRemoveIpResult(0));
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(boxes.texts.size(), 1u) << "no second box";
}

TEST_F(AdminClientTest, ShortDatagramsOnlyCountAsTrafficWholeOnesAct) {
    LogIn({{3, 0, "Ann"}});
    // One byte short of each type's layout, and types the client does not take.
    const Bytes datagrams[] = {
        {MSG_CHAT, 3},  {MSG_REFUSED}, {MSG_PLAYER_JOIN}, {9, 1},
        {11, 3},        {12, 3, 1},    {MSG_KILLSERVER},  {MSG_REMOVE_IP_RESULT},
        {MSG_LOGIN, 8}, {MSG_QUIT, 0}, {MSG_KICK, 3},     {10}};
    for (const Bytes& datagram : datagrams) {
        client.heardFromServer = false;
        Handle(datagram);
        EXPECT_TRUE(client.heardFromServer) << "type " << int(datagram[0]);
    }
    for (int length : {0, -5}) {
        client.HandleMessage(MSG_LIST_TEXT, datagrams[0].data(), length);
    }
    EXPECT_TRUE(client.loggedIn);
    EXPECT_FALSE(client.reasonPending || client.listDirty || client.logPending);
    EXPECT_EQ(client.listTextLength, 0);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(client.roster->GetCount(), 1);
    EXPECT_EQ(client.roster->ValueByPosition(0), 0);

    Handle(wire::EncodeListText("x|y|z"));
    EXPECT_EQ(client.listText, "x|y|z");
    EXPECT_EQ(client.listTextLength, 6);
    Handle(wire::EncodeListText(""));
    EXPECT_EQ(client.listText, "");
    EXPECT_EQ(client.listTextLength, 1);
}

} // namespace

// Each event reaches onEvent once, with the fields a script needs, raw names included.
TEST_F(AdminClientTest, EventsCarryTheirFields) {
    LogIn({{3, 0, "Ann"}});
    std::vector<ClientEvent> events;
    client.onEvent = [&](const ClientEvent& event) { events.push_back(event); };
    Handle(wire::EncodePlayerJoin(5, "Bob\t"));
    Handle(wire::EncodeDeath(5, 3));
    Handle(wire::EncodePlayerValue(3, -7));
    Handle(wire::EncodeServerChat(3, CHAT_KIND_TEAM, "go"));
    Handle(wire::EncodePlayerLeave(LEAVE_TIMED_OUT, 5));
    Handle(wire::EncodeListText("a|b|c"));
    Handle(wire::EncodeRemoveIpResult(1));
    Handle(wire::EncodeKillServerStatus(4));
    Handle(wire::EncodeRefused(3));
    ASSERT_EQ(events.size(), 9u);
    const auto& joined = std::get<event::PlayerJoined>(events[0].what);
    EXPECT_EQ(joined.player.name, "Bob\t");
    EXPECT_EQ(events[0].log.text, "Bob\\t has joined the game.");
    const auto& died = std::get<event::PlayerDied>(events[1].what);
    EXPECT_EQ(died.victim.name, "Bob\t");
    ASSERT_TRUE(died.killer.has_value());
    EXPECT_EQ(died.killer->name, "Ann");
    EXPECT_EQ(std::get<event::ScoreChanged>(events[2].what).value, -7);
    const auto& chat = std::get<event::Chat>(events[3].what);
    EXPECT_EQ(chat.text, "go");
    EXPECT_EQ(chat.kind, CHAT_KIND_TEAM);
    ASSERT_TRUE(chat.sender.has_value());
    EXPECT_EQ(chat.sender->id, 3);
    EXPECT_EQ(std::get<event::PlayerLeft>(events[4].what).how, event::Departure::TimedOut);
    EXPECT_EQ(std::get<event::ServerList>(events[5].what).entries, (Texts{"a", "b"}));
    EXPECT_TRUE(std::get<event::RemoveIpResult>(events[6].what).removed);
    EXPECT_EQ(std::get<event::ShutdownAnswer>(events[7].what).status, ShutdownStatus::Disabled);
    EXPECT_EQ(std::get<event::Refused>(events[8].what).reason, "Server refused connection.");
}
