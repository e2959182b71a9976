// vyr-demo-server run as a process and spoken to over loopback UDP, first with raw datagrams,
// then with the real admin client.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>

#include "engine/AdminClient.h"
#include "engine/Protocol.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/UdpPeer.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 5000ms;
const std::vector<std::string> kStillGame{"--players", "3", "--rate", "0"};

std::vector<wire::PlayerEntry> RosterOf(const Bytes& welcome) {
    if (welcome.size() < WELCOME_BLOCK_OFFSET) {
        return {};
    }
    return wire::DecodePlayerBlock(
        {welcome.data() + WELCOME_BLOCK_OFFSET, welcome.size() - WELCOME_BLOCK_OFFSET});
}

class DemoServerTest : public ::testing::Test {
  protected:
    void StartServer(const std::vector<std::string>& args = kStillGame) {
        ASSERT_TRUE(server.Start(args)) << server.Output();
    }
    // Sends `datagram` from `peer` and waits for the answer of type `answerType`.
    std::optional<Bytes> Request(UdpPeer& peer, const Bytes& datagram, int answerType) {
        peer.SendTo(server.Port(), datagram);
        return peer.ReceiveOfType(answerType, kWait);
    }
    std::optional<Bytes> Chat(std::string_view text, int answerType) {
        return Request(admin, wire::EncodeChat(text), answerType);
    }
    std::vector<wire::PlayerEntry> LogIn(UdpPeer& peer) {
        const std::optional<Bytes> welcome =
            Request(peer, wire::EncodeLogin("admin", "admin"), MSG_WELCOME);
        EXPECT_TRUE(welcome) << server.Output();
        return welcome ? RosterOf(*welcome) : std::vector<wire::PlayerEntry>{};
    }

    DemoServerProcess server{VYR_DEMO_SERVER_PATH};
    UdpPeer admin;
};

TEST_F(DemoServerTest, LoginIsRefusedOrWelcomedWithTheRoster) {
    StartServer();
    EXPECT_EQ(Request(admin, wire::EncodeLogin("admin", "nope"), MSG_REFUSED), (Bytes{6, 4}));
    EXPECT_EQ(Request(admin, Bytes{13, 9, 'a', '|', 0}, MSG_REFUSED), (Bytes{6, 6}));

    const std::vector<wire::PlayerEntry> roster = LogIn(admin);
    ASSERT_EQ(roster.size(), 3u);
    std::set<std::uint8_t> ids;
    for (const wire::PlayerEntry& p : roster) {
        ids.insert(p.id);
        EXPECT_FALSE(p.name.empty());
        EXPECT_LE(p.name.size(), MAX_NAME);
    }
    EXPECT_EQ(ids.size(), 3u);

    UdpPeer other;
    EXPECT_EQ(Request(other, wire::EncodeLogin("admin", "admin"), MSG_REFUSED), (Bytes{6, 2}));
    EXPECT_TRUE(server.WaitForOutput("login ok from 127.0.0.1:" + std::to_string(admin.Port())));
}

TEST_F(DemoServerTest, PingArrivesAndQuitFreesTheSession) {
    StartServer();
    LogIn(admin);
    EXPECT_EQ(admin.ReceiveOfType(MSG_PING, kWait), Bytes{4});
    admin.SendTo(server.Port(), wire::EncodeQuit());
    EXPECT_TRUE(server.WaitForOutput("quit"));
    UdpPeer other;
    EXPECT_EQ(LogIn(other).size(), 3u);
}

TEST_F(DemoServerTest, KickAndBanRemoveThePlayerAndBanTheAddress) {
    StartServer();
    const std::vector<wire::PlayerEntry> roster = LogIn(admin);
    ASSERT_EQ(roster.size(), 3u);
    const std::uint8_t kicked = roster[0].id;
    const std::uint8_t banned = roster[1].id;

    EXPECT_EQ(Request(admin, wire::EncodeKick(kicked), MSG_PLAYER_LEAVE), (Bytes{9, 1, kicked}));
    admin.SendTo(server.Port(), wire::EncodeKick(kicked));
    EXPECT_TRUE(server.WaitForOutput("kick " + std::to_string(kicked) + ": no such player"));
    EXPECT_EQ(Request(admin, wire::EncodeBan(banned), MSG_PLAYER_LEAVE), (Bytes{9, 1, banned}));

    const std::optional<Bytes> list = Chat("/list", MSG_LIST_TEXT);
    ASSERT_TRUE(list);
    const std::vector<std::string> entries =
        wire::SplitListText(wire::DecodeListText({list->data() + 1, list->size() - 1}));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rfind("10.", 0), 0u) << entries[0];

    EXPECT_EQ(Chat("/removeip " + entries[0], MSG_REMOVE_IP_RESULT), (Bytes{16, 1}));
    EXPECT_EQ(Chat("/removeip " + entries[0], MSG_REMOVE_IP_RESULT), (Bytes{16, 0}));
    EXPECT_EQ(Chat("/list", MSG_LIST_TEXT), Bytes{17});
    // Logging in again from the same endpoint starts afresh, with the players that are left.
    EXPECT_EQ(LogIn(admin).size(), 1u);
}

TEST_F(DemoServerTest, ChatIsEchoedAndConsoleCommandsAreAnswered) {
    StartServer();
    LogIn(admin);
    EXPECT_EQ(Chat("hello", MSG_CHAT), wire::EncodeServerChat(0, CHAT_KIND_SERVER, "hello"));
    EXPECT_EQ(Chat("/frobnicate now", MSG_CHAT),
              wire::EncodeServerChat(0, CHAT_KIND_SERVER, "Unknown command: /frobnicate"));
    EXPECT_EQ(Chat("/refuse 3", MSG_REFUSED), (Bytes{6, 3}));
    UdpPeer other; // the refusal ended the session
    EXPECT_EQ(LogIn(other).size(), 3u);
}

TEST_F(DemoServerTest, ShutdownNeedsASecondRequestWithinFiveSeconds) {
    StartServer();
    LogIn(admin);
    const Bytes request = wire::EncodeKillServer();
    EXPECT_EQ(Request(admin, request, MSG_KILLSERVER), (Bytes{18, 1}));
    std::this_thread::sleep_for(5500ms); // counted from after the server answered
    EXPECT_EQ(Request(admin, request, MSG_KILLSERVER), (Bytes{18, 2}));
    EXPECT_EQ(Request(admin, request, MSG_KILLSERVER), (Bytes{18, 3}));
    EXPECT_EQ(admin.ReceiveOfType(MSG_REFUSED, kWait), (Bytes{6, 5}));
    EXPECT_EQ(server.WaitForExit(), 0);
}

TEST_F(DemoServerTest, RemoteShutdownCanBeDisabled) {
    StartServer({"--rate", "0", "--no-remote-shutdown"});
    LogIn(admin);
    EXPECT_EQ(Request(admin, wire::EncodeKillServer(), MSG_KILLSERVER), (Bytes{18, 4}));
    EXPECT_EQ(Request(admin, wire::EncodeKillServer(), MSG_KILLSERVER), (Bytes{18, 4}));
    EXPECT_FALSE(server.WaitForExit(200ms));
}

TEST_F(DemoServerTest, MalformedDatagramsAreSurvived) {
    StartServer();
    UdpPeer stranger;
    std::vector<Bytes> junk{{}, {13}, {13, 8}, {13, 8, 'a', 'd'}, Bytes(65507, 0xAB)};
    for (int type = 0; type < 256; ++type) {
        junk.push_back(Bytes{static_cast<std::uint8_t>(type)});
    }
    for (std::size_t i = 0; i < junk.size(); ++i) {
        stranger.SendTo(server.Port(), junk[i]);
        if (i % 32 == 31) {
            // A refused login answered shows the server has read everything before it; without
            // this the kernel would drop datagrams once its receive queue is full.
            ASSERT_EQ(Request(stranger, wire::EncodeLogin("x", "y"), MSG_REFUSED), (Bytes{6, 4}));
        }
    }
    ASSERT_EQ(LogIn(admin).size(), 3u);

    // Within the session: cut-short requests, odd console lines and a chat far too long to echo.
    for (const Bytes& datagram :
         {Bytes{}, Bytes{14}, Bytes{15}, Bytes{3}, Bytes{3, 3, 'h', 'i'}, Bytes{3, 3, '/'},
          Bytes(65507, MSG_CHAT), wire::EncodeChat("/refuse 300"), wire::EncodeChat("/refuse"),
          wire::EncodeChat("/removeip"), Bytes{1}, Bytes{16, 1}, Bytes{0x80, 1}}) {
        admin.SendTo(server.Port(), datagram);
    }
    admin.SendTo(server.Port(), wire::EncodeChat("/list"));
    for (;;) {
        const std::optional<Bytes> answer = admin.Receive(kWait);
        ASSERT_TRUE(answer) << server.Output();
        EXPECT_LE(answer->size(), MAX_DATAGRAM); // the client would drop anything longer
        if (answer == Bytes{17}) {
            break;
        }
    }
    EXPECT_FALSE(server.WaitForExit(0ms));
}

TEST_F(DemoServerTest, SignalsEndTheServerCleanly) {
    StartServer();
    LogIn(admin);
    ASSERT_TRUE(server.Signal(SIGTERM));
    EXPECT_EQ(admin.ReceiveOfType(MSG_REFUSED, kWait), (Bytes{6, 5}));
    EXPECT_EQ(server.WaitForExit(), 0);
    EXPECT_NE(server.Output().find("stopped:"), std::string::npos);

    DemoServerProcess interrupted{VYR_DEMO_SERVER_PATH};
    ASSERT_TRUE(interrupted.Start());
    ASSERT_TRUE(interrupted.Signal(SIGINT));
    EXPECT_EQ(interrupted.WaitForExit(), 0);
}

TEST(DemoServerOptions, BadOptionsExitWithCode2) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--players", "61"},
                                               {"--rate", "-1"},
                                               {"--bind", "nowhere"},
                                               {"--port", "70000"},
                                               {"--user", "a|b"},
                                               {"--seed"},
                                               {"--frobnicate"}}) {
        DemoServerProcess server{VYR_DEMO_SERVER_PATH};
        EXPECT_FALSE(server.Start(args));
        EXPECT_EQ(server.WaitForExit(), 2) << args[0];
    }
    DemoServerProcess version{VYR_DEMO_SERVER_PATH};
    EXPECT_FALSE(version.Start({"--version"}));
    EXPECT_EQ(version.WaitForExit(), 0);
    EXPECT_EQ(version.Output().rfind("vyr-demo-server 0.", 0), 0u) << version.Output();
}

// Follows the game from the welcome on and checks every event against the players it knows.
TEST_F(DemoServerTest, GameEventsAgreeWithTheRoster) {
    StartServer({"--players", "4", "--rate", "200", "--seed", "5"});
    std::map<std::uint8_t, std::string> live;
    for (const wire::PlayerEntry& p : LogIn(admin)) {
        live[p.id] = p.name;
    }
    std::set<int> types;
    std::set<std::uint8_t> leaveReasons;
    std::set<std::uint8_t> chatKinds;
    bool suicide = false;
    bool deathWithoutKiller = false;
    for (int events = 0; events < 300;) {
        const std::optional<Bytes> d = admin.Receive(kWait);
        ASSERT_TRUE(d && d->size() >= 3) << events;
        const Bytes& e = *d;
        if (e[0] == MSG_PING) {
            continue;
        }
        ++events;
        types.insert(e[0]);
        if (e[0] == MSG_PLAYER_JOIN) {
            const std::string name(e.begin() + 2, e.end());
            EXPECT_LE(name.size(), MAX_NAME);
            EXPECT_TRUE(live.emplace(e[1], name).second) << "id " << int(e[1]) << " is taken";
        } else if (e[0] == MSG_PLAYER_LEAVE) {
            EXPECT_EQ(live.erase(e[2]), 1u);
            leaveReasons.insert(e[1]);
        } else if (e[0] == MSG_DEATH) {
            EXPECT_EQ(live.count(e[1]), 1u);
            suicide |= e[1] == e[2];
            deathWithoutKiller |= live.count(e[2]) == 0;
        } else if (e[0] == MSG_PLAYER_VALUE || e[0] == MSG_CHAT) {
            EXPECT_EQ(live.count(e[1]), 1u);
            if (e[0] == MSG_CHAT) {
                chatKinds.insert(e[2]);
            }
        } else {
            ADD_FAILURE() << "unexpected type " << int(e[0]);
        }
        EXPECT_GE(live.size(), 3u);
        EXPECT_LE(live.size(), 5u);
    }
    EXPECT_EQ(types, (std::set<int>{MSG_CHAT, MSG_PLAYER_JOIN, MSG_PLAYER_LEAVE, MSG_DEATH,
                                    MSG_PLAYER_VALUE}));
    EXPECT_EQ(leaveReasons, (std::set<std::uint8_t>{LEAVE_TIMED_OUT, 3}));
    EXPECT_TRUE(suicide);
    EXPECT_TRUE(deathWithoutKiller);
    EXPECT_TRUE(chatKinds.count(CHAT_KIND_TEAM) && chatKinds.count(CHAT_KIND_SERVER) &&
                chatKinds.size() > 2);
}

TEST(DemoServerGame, TheSameSeedReplaysTheSameGame) {
    const auto record = [](const std::string& seed) {
        DemoServerProcess server{VYR_DEMO_SERVER_PATH};
        EXPECT_TRUE(server.Start({"--rate", "200", "--seed", seed}));
        UdpPeer admin;
        admin.SendTo(server.Port(), wire::EncodeLogin("admin", "admin"));
        std::vector<Bytes> game;
        while (game.size() < 60) {
            const std::optional<Bytes> d = admin.Receive(kWait);
            if (!d) {
                break;
            }
            if (d->empty() || (*d)[0] != MSG_PING) {
                game.push_back(*d);
            }
        }
        return game;
    };
    const std::vector<Bytes> first = record("9");
    EXPECT_EQ(first.size(), 60u);
    EXPECT_EQ(record("9"), first);
    EXPECT_NE(record("10"), first);
}

// The real admin client against the server: the way the window drives it, without the window.
TEST_F(DemoServerTest, AdminClientLogsInKicksAndSeesTheShutdown) {
    StartServer();
    MessageBoxRecorder boxes;
    CAdminClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", "admin"));
    const auto pollUntil = [&client](const auto& done) {
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
            client.OnTimer(TIMER_POLL);
        }
        return done();
    };
    ASSERT_TRUE(pollUntil([&] { return client.loggedIn; }));
    ASSERT_EQ(client.roster->GetCount(), 3);

    const std::string name = client.roster->NameByPosition(0).value_or("");
    client.Kick(0);
    ASSERT_TRUE(pollUntil([&] { return client.roster->GetCount() == 2; }));
    const std::vector<LogEntry> log = client.TakeLog();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&name](const LogEntry& e) {
        return e.text.find(name + " has been kicked from the game.") != std::string::npos;
    }));

    ASSERT_TRUE(server.Signal(SIGTERM));
    ASSERT_TRUE(pollUntil([&] { return !client.loggedIn; }));
    EXPECT_EQ(client.reason, "Server shutdown.");
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Disconnected: server shutdown."});
    EXPECT_EQ(server.WaitForExit(), 0);
}

} // namespace
