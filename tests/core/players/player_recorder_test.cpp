// The recorder between a real admin client and the store: datagrams in, player memory out.

#include "core/players/PlayerRecorder.h"

#include <gmock/gmock.h>

#include "tests/core/players/PlayerStoreFixture.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/UdpPeer.h"

namespace {

using ::testing::ElementsAre;

class PlayerRecorderTest : public PlayerStoreTest {
  protected:
    void SetUp() override {
        PlayerStoreTest::SetUp();
        ASSERT_TRUE(gameServer.Valid());
        recorder = std::make_unique<CPlayerRecorder>(Store(), client);
        client.onEvent = [this](const ClientEvent& event) { recorder->OnEvent(event); };
        recorder->OnConnect(server, "admin");
        ASSERT_TRUE(client.Connect("127.0.0.1", gameServer.Port(), "admin", "pw"));
    }

    void TearDown() override {
        client.onEvent = nullptr;
        recorder.reset();
        PlayerStoreTest::TearDown();
    }

    int PositionOf(const std::string& name) const {
        for (int position = 0; position < roster.GetCount(); ++position) {
            if (roster.NameByPosition(position) == name) {
                return position;
            }
        }
        return -1;
    }

    // As the client's poll hands a datagram on; the front end's tick comes separately.
    void Handle(const Bytes& datagram) {
        client.HandleDatagram(wire::ByteView{datagram.data(), datagram.size()});
    }

    UdpPeer gameServer;
    MessageBoxRecorder boxes;
    CAdminSocket link;
    CPlayerList roster;
    CAdminClient client{link, roster};
    std::unique_ptr<CPlayerRecorder> recorder; // made once the fixture has its file
};

TEST_F(PlayerRecorderTest, TheGameAsTheClientSeesItEndsUpInThePlayerMemory) {
    // The welcome and a join in one drain: the join comes before the front end's next tick.
    Handle(wire::EncodeWelcome({{0, 10, "Ann"}, {1, 20, "Bjorn"}}));
    Handle(wire::EncodePlayerJoin(2, "Cassia"));
    recorder->OnTick();
    now = START + 10;
    Handle(wire::EncodePlayerJoin(3, std::string("Nu\0ll", 5))); // the roster keeps "Nu"
    Handle(wire::EncodeServerChat(0, 0, "hello all"));
    Handle(wire::EncodeServerChat(1, CHAT_KIND_TEAM, "cover me"));
    Handle(wire::EncodeServerChat(1, CHAT_KIND_SERVER, "Map changes soon"));
    Handle(wire::EncodeServerChat(9, 0, "from nobody known"));
    Handle(wire::EncodeDeath(1, 0)); // Ann kills Bjorn
    Handle(wire::EncodeDeath(2, 2)); // Cassia kills herself
    Handle(wire::EncodeDeath(0, 9)); // Ann dies of no one known
    Handle(wire::EncodePlayerValue(0, 42));
    now = START + 20;
    recorder->OnKick(PositionOf("Cassia"));
    Handle(wire::EncodePlayerLeave(LEAVE_KICKED, 2));
    Handle(wire::EncodePlayerLeave(LEAVE_TIMED_OUT, 3));
    Store().RecordBan({server, "Bjorn", std::nullopt, "", std::nullopt, "admin"}); // as bans do
    Handle(wire::EncodePlayerLeave(LEAVE_KICKED, 1));
    recorder->OnTick();
    now = START + 50;
    client.Disconnect();
    recorder->OnTick();
    Flush();

    const PlayerPage ann = PageOf("Ann");
    EXPECT_EQ(ann.record.kills, 1);
    EXPECT_EQ(ann.record.deaths, 1);
    EXPECT_EQ(ann.record.score, 42);
    EXPECT_EQ(ann.record.playSeconds, 50);
    ASSERT_EQ(ann.sessions.size(), 1u);
    EXPECT_EQ(ann.sessions[0].howJoined, JoinHow::PresentAtLogin);
    EXPECT_EQ(ann.sessions[0].howLeft, LeaveHow::ConnectionEnded);
    EXPECT_EQ(ann.chat.size(), 1u);

    const PlayerPage bjorn = PageOf("Bjorn");
    EXPECT_EQ(bjorn.record.deaths, 1);
    EXPECT_EQ(bjorn.record.bans, 1);
    EXPECT_EQ(bjorn.sessions[0].howLeft, LeaveHow::Banned);
    ASSERT_EQ(bjorn.chat.size(), 1u);
    EXPECT_EQ(bjorn.chat[0].kind, CHAT_KIND_TEAM);

    const PlayerPage cassia = PageOf("Cassia");
    EXPECT_EQ(cassia.record.suicides, 1);
    EXPECT_EQ(cassia.record.kicks, 1);
    EXPECT_EQ(cassia.sessions[0].howJoined, JoinHow::Joined);
    EXPECT_EQ(cassia.sessions[0].howLeft, LeaveHow::Kicked);
    EXPECT_EQ(cassia.record.playSeconds, 20);

    const PlayerPage nul = PageOf("Nu");
    EXPECT_EQ(nul.sessions[0].howLeft, LeaveHow::TimedOut);
    EXPECT_EQ(nul.record.playSeconds, 10);

    std::vector<std::string> serverLines;
    for (const ChatEntry& line : PageOf("").chat) {
        serverLines.push_back(line.text);
    }
    EXPECT_THAT(serverLines, ElementsAre("from nobody known", "Map changes soon"));
    EXPECT_EQ(Store().SearchNames(server, "").value.size(), 5u); // the four and the server
    EXPECT_TRUE(Store().TakeProblems().empty());
}

TEST_F(PlayerRecorderTest, AFirstEventThatIsALeaveCountsItsPlayerAsPresent) {
    Handle(wire::EncodeWelcome({{0, 0, "Ann"}, {1, 0, "Bjorn"}}));
    now = START + 5;
    Handle(wire::EncodePlayerLeave(0, 1)); // before any tick
    recorder->OnTick();
    Flush();
    const PlayerPage bjorn = PageOf("Bjorn");
    ASSERT_EQ(bjorn.sessions.size(), 1u);
    EXPECT_EQ(bjorn.sessions[0].howLeft, LeaveHow::Left);
    EXPECT_EQ(bjorn.record.playSeconds, 0); // the session started with the login it came in
    EXPECT_TRUE(PageOf("Ann").record.onlineSince.has_value());
}

// Automation's outputs, for two players present at login.
class AutomationRecordingTest : public PlayerRecorderTest {
  protected:
    void SetUp() override {
        PlayerRecorderTest::SetUp();
        Handle(wire::EncodeWelcome({{0, 0, "Ann"}, {1, 0, "Bjorn"}}));
        recorder->OnTick();
    }
    static AutomationOutput Output(AutomationOutputType type, std::uint8_t id, std::string name,
                                   std::string text) {
        AutomationOutput output;
        output.type = type;
        output.rule = "no-spam";
        output.hasPlayer = true;
        output.playerId = id;
        output.playerName = std::move(name);
        output.text = std::move(text);
        return output;
    }
};

TEST_F(AutomationRecordingTest, KicksAndNotesOfAutomationAreKeptAsTheAdminsAreAndBansLeftToBans) {
    Store().SetNote(server, "Ann", "plays fair", "admin");
    recorder->OnAutomation(Output(AutomationOutputType::Note, 0, "Ann", "said a bad word"));
    recorder->OnAutomation(Output(AutomationOutputType::Kick, 0, "Ann", "spam"));
    Handle(wire::EncodePlayerLeave(LEAVE_KICKED, 0));
    AutomationOutput ban = Output(AutomationOutputType::Ban, 1, "Bjorn", "links");
    ban.banMinutes = 60;
    recorder->OnAutomation(ban);
    Handle(wire::EncodePlayerLeave(LEAVE_KICKED, 1));
    // Lines only for the log, and a dry run's, leave no trace.
    recorder->OnAutomation(Output(AutomationOutputType::Log, 0, "Ann", "would kick"));
    recorder->OnAutomation(Output(AutomationOutputType::Attention, 0, "Ann", "look"));
    Flush();

    const PlayerPage ann = PageOf("Ann");
    EXPECT_EQ(ann.record.note, "plays fair\nsaid a bad word");
    EXPECT_EQ(ann.record.kicks, 1);
    ASSERT_EQ(ann.actions.size(), 3u); // the admin's note, automation's note, the kick
    EXPECT_EQ(ann.actions[0].kind, ActionKind::Kick);
    EXPECT_EQ(ann.actions[0].detail, "automation rule no-spam: spam");
    EXPECT_EQ(ann.actions[0].adminUser, "admin");
    EXPECT_EQ(ann.sessions[0].howLeft, LeaveHow::Kicked);

    // The ban memory records the ban and its action; a second one here would count it twice.
    const PlayerPage bjorn = PageOf("Bjorn");
    EXPECT_EQ(bjorn.record.bans, 0);
    EXPECT_TRUE(bjorn.actions.empty());
}

} // namespace
