// The window's states: controls in each, the connect checks, and the transitions on their ticks.
#include "AdminDlgFixture.h"
#include "engine/Timers.h"

TEST_F(AdminDlgTest, OpensIdle) {
    EXPECT_EQ(Shown(), kIdle);
    EXPECT_EQ(Dlg().m_passwordEdit->echoMode(), QLineEdit::Password);
    QTest::keyClicks(Dlg().m_portEdit, "27a8-88");
    EXPECT_EQ(Dlg().m_portEdit->text(), "27888");
}

TEST_F(AdminDlgTest, ConnectThatCannotWorkShowsOneBoxAndChangesNothingElse) {
    const char* hostOrPort = "Invalid Server Host or Port.";
    const char* failed = "A problem occured while trying to connect.";
    struct Case {
        QString host, port, user;
        const char* box;
        bool clientMade; // the fields passed the checks; the connect failed
    } const cases[] = {
        {"", "27888", "admin", hostOrPort, false},
        {"127.0.0.1", "0", "admin", hostOrPort, false},
        {"127.0.0.1", "", "admin", hostOrPort, false},
        {"127.0.0.1", "65536", "admin", hostOrPort, false},
        {"127.0.0.1", "99999999999999999999999", "admin", hostOrPort, false},
        {"127.0.0.1", "27888", "ad|min", "Invalid Nickname. |'s are NOT allowed.", false},
        {"", "27888", "ad|min", hostOrPort, false},
        {"   ", "27888", "admin", failed, true}, // nothing is trimmed
        {"no-such-host.invalid", "27888", "admin", failed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(("'" + c.host + "' port '" + c.port + "' user " + c.user).toStdString());
        dlg.reset();
        boxes.texts.clear();
        FillIn(c.host, c.port, c.user);
        Dlg().OnConnect();
        EXPECT_EQ(boxes.texts, std::vector<std::string>{c.box});
        EXPECT_EQ(Shown(), kIdle);
        EXPECT_EQ(Log(), "");
        for (unsigned id : {TIMER_CONNECT_TIMEOUT, TIMER_UI_REFRESH, TIMER_POLL, TIMER_WATCHDOG}) {
            EXPECT_FALSE(Dlg().m_session->Timers().IsRunning(id)) << "timer " << id;
        }
        ASSERT_EQ(Dlg().m_pClient != nullptr, c.clientMade);
        if (c.clientMade) {
            EXPECT_FALSE(Dlg().m_pClient->loginPending || Dlg().m_pClient->link->isOpen);
        }
    }
}

TEST_F(AdminDlgTest, ConnectingConnectedAndDisconnectedEachOnItsTick) {
    PressConnect("pa|ss");
    EXPECT_EQ(Shown(), "Disconnect 0000 00000 0");
    EXPECT_EQ(Log(), "Connecting...\n");
    server.Send(wire::EncodeWelcome({{3, 25, "Bob"}}));
    ASSERT_TRUE(PollUntil([this] { return Dlg().m_pClient->loggedIn; }));
    EXPECT_EQ(Shown(), "Disconnect+ 0000 11111 0"); // on that very tick; the list on the next
    Dlg().OnTimer(TIMER_UI_REFRESH);
    Dlg().OnTimer(TIMER_CONNECT_TIMEOUT); // ignored once logged in
    EXPECT_EQ(Shown(), "Disconnect+ 0000 11111 1");

    ServerSends(wire::EncodePlayerJoin(9, "Eve")); // its log line waits for a refresh tick
    Dlg().OnConnect();
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
    EXPECT_EQ(Shown(), "Disconnect+ 0000 11111 1"); // nothing changes before the next tick
    Dlg().OnTimer(TIMER_POLL); // the end shows on any tick, with what came before it above it
    EXPECT_EQ(Log(), "Connecting...\nConnected.\nEve has joined the game.\n"
                     "Disconnected: Client disconnected.\n");
    EXPECT_EQ(Runs().at(3),
              std::make_pair(QString("Disconnected: Client disconnected."), QColor(153, 0, 0)));
    EXPECT_EQ(Shown(), kIdle);
    EXPECT_FALSE(Dlg().m_session->Timers().IsRunning(TIMER_CONNECT_TIMEOUT));
}

// A refused attempt is tested with reconnecting, whose attempts take the path of Connect.
TEST_F(AdminDlgTest, AttemptEndsOnTheTimeoutTickOnly) {
    PressConnect();
    Dlg().OnTimer(TIMER_POLL);
    Dlg().OnTimer(TIMER_WATCHDOG);
    EXPECT_EQ(Log(), "Connecting...\n");
    Dlg().OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_EQ(Log(), "Connecting...\nDisconnected: Connection timed out.\n");
    EXPECT_EQ(Shown(), kIdle);
}

// A refusal whose box stays open across many ticks of every timer ends the attempt once, with
// its own reason: the window is already disconnected while the box is shown.
TEST_F(AdminDlgTest, ARefusalBoxHeldOpenEndsTheAttemptOnceWithItsReason) {
    PressConnect("wrong");
    QString shownInsideBox;
    boxes.insideNextBox = [&] {
        for (int i = 0; i < 12; ++i) {
            for (unsigned id :
                 {TIMER_CONNECT_TIMEOUT, TIMER_UI_REFRESH, TIMER_POLL, TIMER_WATCHDOG}) {
                if (Dlg().m_session->Timers().IsRunning(id)) { // as the running timers would tick
                    Dlg().OnTimer(id);
                }
            }
        }
        shownInsideBox = Shown();
    };
    ServerSends(wire::EncodeRefused(4));
    EXPECT_FALSE(Dlg().m_session->Timers().IsRunning(TIMER_CONNECT_TIMEOUT));
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Invalid username or password."});
    EXPECT_EQ(shownInsideBox, kIdle);
    EXPECT_EQ(Log().toStdString(), "Connecting...\nDisconnected: Invalid username or password.\n");
}
