// vyr-demo-server run as a process and spoken to over loopback UDP with raw datagrams; the real
// clients meet it in the window's and vyr-cli's tests.

#include <gtest/gtest.h>

#include "engine/Protocol.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/UdpPeer.h"

namespace {

using namespace std::chrono_literals;

constexpr auto WAIT = 5000ms;

// One server process and the admin's socket.
struct Session {
    explicit Session(const std::vector<std::string>& args = {"--players", "3", "--rate", "0"}) {
        EXPECT_TRUE(server.Start(args)) << server.Output();
    }

    // Sends `datagram` and waits for the answer of type `answerType`.
    std::optional<Bytes> Request(const Bytes& datagram, int answerType, UdpPeer* from = nullptr) {
        UdpPeer& peer = from ? *from : admin;
        peer.SendTo(server.Port(), datagram);
        return peer.ReceiveOfType(answerType, WAIT);
    }
    std::optional<Bytes> Chat(std::string_view text, int answerType) {
        return Request(wire::EncodeChat(text), answerType);
    }
    std::vector<wire::PlayerEntry> LogIn(UdpPeer* from = nullptr) {
        const auto welcome = Request(wire::EncodeLogin("admin", "admin"), MSG_WELCOME, from);
        if (!welcome || welcome->size() < WELCOME_BLOCK_OFFSET) {
            ADD_FAILURE() << "no welcome; server output:\n" << server.Output();
            return {};
        }
        return wire::DecodePlayerBlock(
            {welcome->data() + WELCOME_BLOCK_OFFSET, welcome->size() - WELCOME_BLOCK_OFFSET});
    }

    DemoServerProcess server{VYR_DEMO_SERVER_PATH};
    UdpPeer admin;
};

TEST(DemoServer, LoginPingBanListRemoveIpAndRefuse) {
    Session s;
    EXPECT_EQ(s.Request(wire::EncodeLogin("admin", "nope"), MSG_REFUSED), (Bytes{6, 4}));
    const std::vector<wire::PlayerEntry> roster = s.LogIn();
    ASSERT_EQ(roster.size(), 3u);
    UdpPeer other;
    EXPECT_EQ(s.Request(wire::EncodeLogin("admin", "admin"), MSG_REFUSED, &other), (Bytes{6, 2}));
    EXPECT_EQ(s.admin.ReceiveOfType(MSG_PING, WAIT), Bytes{4});

    // The client's kick is tried end to end below; a ban also puts the address on the list.
    const std::uint8_t banned = roster[1].id;
    EXPECT_EQ(s.Request(wire::EncodeBan(banned), MSG_PLAYER_LEAVE), (Bytes{9, 1, banned}));
    const std::optional<Bytes> list = s.Chat("/list", MSG_LIST_TEXT);
    ASSERT_TRUE(list);
    const std::vector<std::string> addresses =
        wire::SplitListText(wire::DecodeListText({list->data() + 1, list->size() - 1}));
    ASSERT_EQ(addresses.size(), 1u) << "only the banned player's address";
    EXPECT_EQ(addresses[0].rfind("10.", 0), 0u) << addresses[0];
    EXPECT_EQ(s.Chat("/removeip " + addresses[0], MSG_REMOVE_IP_RESULT), (Bytes{16, 1}));
    EXPECT_EQ(s.Chat("/removeip " + addresses[0], MSG_REMOVE_IP_RESULT), (Bytes{16, 0}));

    EXPECT_EQ(s.Chat("/refuse 3", MSG_REFUSED), (Bytes{6, 3}));
    EXPECT_EQ(s.LogIn(&other).size(), 2u) << "the refusal ended the session";
}

TEST(DemoServer, ShutdownTakesASecondRequestUnlessDisabled) {
    Session locked({"--rate", "0", "--no-remote-shutdown"});
    locked.LogIn();
    EXPECT_EQ(locked.Request(wire::EncodeKillServer(), MSG_KILLSERVER), (Bytes{18, 4}));
    EXPECT_EQ(locked.Request(wire::EncodeKillServer(), MSG_KILLSERVER), (Bytes{18, 4}));

    Session open;
    open.LogIn();
    EXPECT_EQ(open.Request(wire::EncodeKillServer(), MSG_KILLSERVER), (Bytes{18, 1}));
    EXPECT_EQ(open.Request(wire::EncodeKillServer(), MSG_KILLSERVER), (Bytes{18, 3}));
    EXPECT_EQ(open.admin.ReceiveOfType(MSG_REFUSED, WAIT), (Bytes{6, 5}));
    EXPECT_EQ(open.server.WaitForExit(), 0);
    EXPECT_FALSE(locked.server.WaitForExit(0ms)) << "exited though remote shutdown is disabled";
}

TEST(DemoServer, TheSameSeedReplaysTheSameGame) {
    const auto record = [](const std::string& seed) {
        Session s({"--rate", "200", "--seed", seed});
        s.admin.SendTo(s.server.Port(), wire::EncodeLogin("admin", "admin"));
        std::vector<Bytes> game; // the welcome's roster, then the events
        for (std::optional<Bytes> d; game.size() < 60 && (d = s.admin.Receive(WAIT));) {
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

TEST(DemoServer, MalformedDatagramsAreDroppedAndLeaveTheSessionAlone) {
    Session s;
    UdpPeer stranger;
    for (const Bytes& junk :
         {Bytes{13}, Bytes{13, 8}, Bytes{13, 8, 'a', 'd'}, Bytes{14, 1}, Bytes(65507, 0xAB)}) {
        stranger.SendTo(s.server.Port(), junk);
    }
    ASSERT_EQ(s.LogIn().size(), 3u);
    // Shorter than their layouts: each is dropped with one line of output.
    const Bytes noNul = Bytes{13, 8, 'a', 'd', 'm', 'i', 'n', '|', 'a', 'd', 'm', 'i', 'n'};
    const std::vector<Bytes> malformed{
        Bytes{}, Bytes{2},  Bytes{3}, Bytes{3, 3, 'h'}, Bytes{13}, Bytes{13, 8, 'x', 'x'},
        noNul,   Bytes{14}, Bytes{15}};
    for (const Bytes& junk : malformed) {
        s.admin.SendTo(s.server.Port(), junk);
    }
    // Well formed but odd: answered, or ignored.
    for (const Bytes& odd :
         {Bytes{1}, Bytes{16, 1}, Bytes{0x80, 1}, wire::EncodeChat(std::string(5000, 'x')),
          wire::EncodeChat("/refuse 300"), wire::EncodeChat("/refuse"),
          wire::EncodeChat("/removeip")}) {
        s.admin.SendTo(s.server.Port(), odd);
    }
    // Every answer fits the client's buffer, none ends the session, and the server still answers.
    s.admin.SendTo(s.server.Port(), wire::EncodeChat("/list"));
    for (std::optional<Bytes> answer; answer != Bytes{MSG_LIST_TEXT};) {
        answer = s.admin.Receive(WAIT);
        ASSERT_TRUE(answer) << s.server.Output();
        EXPECT_LE(answer->size(), MAX_DATAGRAM);
        EXPECT_NE((*answer)[0], MSG_REFUSED);
    }
    const std::string& output = s.server.Output();
    std::size_t dropped = 0;
    for (std::size_t at = 0; (at = output.find("dropped a malformed", at)) != std::string::npos;
         ++at) {
        ++dropped;
    }
    EXPECT_EQ(dropped, 3 + malformed.size()) << output;
    EXPECT_FALSE(s.server.WaitForExit(0ms));
}

} // namespace
