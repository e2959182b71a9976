// The window's states: controls in each, the connect checks, and the transitions on their ticks.
#include <QLayout>
#include <QTest>

#include "AdminDlgFixture.h"
#include "res/Resource.h"

namespace {

const std::vector<int> kLoginEdits = {IDC_USERNAME, IDC_PASSWORD, IDC_HOST, IDC_PORT};
const std::vector<int> kConnectedControls = {IDC_COMMAND, IDC_SEND, IDC_KICK, IDC_BAN,
                                             IDC_SHUTDOWN};

// Every control of `ids` has the enabled state `enabled`.
::testing::AssertionResult AllEnabled(CAdminDlg& dlg, const std::vector<int>& ids, bool enabled) {
    for (int id : ids) {
        if (dlg.GetDlgItem(id)->isEnabled() != enabled) {
            return ::testing::AssertionFailure() << "control " << id << " enabled != " << enabled;
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_F(AdminDlgTest, OpensIdleWithTheTemplatesControls) {
    CAdminDlg& dlg = Dlg();
    EXPECT_EQ(dlg.windowTitle(), "Vyr Remote Server Admin");
    EXPECT_EQ(dlg.layout()->sizeConstraint(), QLayout::SetFixedSize);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dlg.m_connectButton->text(), "Connect");
    EXPECT_TRUE(AllEnabled(dlg, kLoginEdits, true));
    EXPECT_TRUE(AllEnabled(dlg, kConnectedControls, false));
    EXPECT_FALSE(dlg.m_savePassCheck->isChecked());
    EXPECT_EQ(dlg.m_passwordEdit->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dlg.m_sendButton->isDefault());
    EXPECT_EQ(dlg.m_commandEdit->maxLength(), 128);
    EXPECT_EQ(dlg.GetDlgItem(1017), nullptr);

    QTest::keyClicks(dlg.m_portEdit, "27a8-88");
    EXPECT_EQ(dlg.m_portEdit->text(), "27888");

    // Tab order is the template's.
    const std::vector<int> order = {IDC_USERNAME, IDC_PASSWORD, IDC_SAVE_PASS,   IDC_HOST,
                                    IDC_PORT,     IDC_CONNECT,  IDC_SEND,        IDC_SHUTDOWN,
                                    IDC_KICK,     IDC_BAN,      IDC_PLAYER_LIST, IDC_COMMAND,
                                    IDC_LOG};
    QWidget* widget = dlg.GetDlgItem(order[0]);
    for (std::size_t i = 1; i < order.size(); ++i) {
        do {
            widget = widget->nextInFocusChain();
        } while (widget->focusPolicy() == Qt::NoFocus);
        EXPECT_EQ(widget, dlg.GetDlgItem(order[i])) << "tab stop " << i;
    }
}

TEST_F(AdminDlgTest, ConnectChecksTheFieldsBeforeAnyClientExists) {
    struct Case {
        QString host, port, user, message;
    };
    const QString hostOrPort = "Invalid Server Host or Port.";
    const QString nickname = "Invalid Nickname. |'s are NOT allowed.";
    const Case cases[] = {
        {"", "27888", "admin", hostOrPort},
        {"127.0.0.1", "0", "admin", hostOrPort},
        {"127.0.0.1", "", "admin", hostOrPort},
        {"127.0.0.1", "70000", "admin", hostOrPort},
        {"127.0.0.1", "99999999999999999999999", "admin", hostOrPort},
        {"127.0.0.1", "27888", "ad|min", nickname},
        {"", "27888", "ad|min", hostOrPort},
    };
    for (const Case& c : cases) {
        boxes.texts.clear();
        Dlg().m_hostEdit->setText(c.host);
        Dlg().m_portEdit->setText(c.port);
        Dlg().m_userEdit->setText(c.user);
        Dlg().OnConnect();
        EXPECT_EQ(boxes.texts, std::vector<std::string>{c.message.toStdString()})
            << c.host.toStdString() << ":" << c.port.toStdString();
        EXPECT_EQ(Dlg().m_pClient, nullptr);
    }
    EXPECT_EQ(Log(), "");

    // Nothing is trimmed: a host of blanks passes the checks and fails to connect.
    boxes.texts.clear();
    Dlg().m_hostEdit->setText("   ");
    Dlg().m_userEdit->setText("admin");
    Dlg().OnConnect();
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"A problem occured while trying to connect."});
    EXPECT_NE(Dlg().m_pClient, nullptr);
    EXPECT_EQ(Dlg().m_connectButton->text(), "Connect");
    EXPECT_FALSE(Dlg().m_timers.IsRunning(TIMER_POLL));
}

TEST_F(AdminDlgTest, ConnectingThenConnectedOnTheTickThatSeesTheWelcome) {
    PressConnect("admin", "pa|ss");
    EXPECT_EQ(*login, BytesOf(std::string("\x0d\x08"
                                          "admin|pa|ss",
                                          13) +
                              '\0'));
    CAdminDlg& dlg = Dlg();
    EXPECT_EQ(dlg.m_connectButton->text(), "Disconnect");
    EXPECT_TRUE(AllEnabled(dlg, kLoginEdits, false));
    EXPECT_TRUE(AllEnabled(dlg, kConnectedControls, false));
    EXPECT_EQ(Log(), "Connecting...\n");
    EXPECT_EQ(dlg.m_timers.PeriodOf(TIMER_CONNECT_TIMEOUT), 5000);
    EXPECT_EQ(dlg.m_timers.PeriodOf(TIMER_UI_REFRESH), 10); // 1 ms runs at the 10 ms minimum
    EXPECT_EQ(dlg.m_timers.PeriodOf(TIMER_POLL), 50);
    EXPECT_EQ(dlg.m_timers.PeriodOf(TIMER_WATCHDOG), 1000);

    server.Send(wire::EncodeWelcome({{3, 25, "Bob"}}));
    ASSERT_TRUE(PollUntil([&] { return dlg.m_pClient->loggedIn; }));
    EXPECT_TRUE(dlg.m_bConnected); // on that very tick
    EXPECT_TRUE(AllEnabled(dlg, kConnectedControls, true));
    EXPECT_TRUE(AllEnabled(dlg, kLoginEdits, false));
    EXPECT_EQ(Log(), "Connecting...\nConnected.\n");
    EXPECT_EQ(dlg.m_playerList->count(), 0); // drawn on the next refresh tick
    dlg.OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(dlg.m_playerList->count(), 1);
    dlg.OnTimer(TIMER_CONNECT_TIMEOUT); // ignored once logged in
    EXPECT_TRUE(dlg.m_bConnected);
}

TEST_F(AdminDlgTest, DisconnectShowsOnTheNextTickAsOneRedLine) {
    LogIn({{3, 25, "Bob"}});
    CAdminDlg& dlg = Dlg();
    dlg.OnConnect();
    EXPECT_EQ(server.ReceiveOfType(MSG_QUIT), BytesOf(std::string("\x02\x00", 2)));
    EXPECT_EQ(dlg.m_connectButton->text(), "Disconnect"); // nothing changes yet
    EXPECT_TRUE(AllEnabled(dlg, kConnectedControls, true));

    dlg.OnTimer(TIMER_WATCHDOG);
    EXPECT_EQ(Log(), "Connecting...\nConnected.\nDisconnected: Client disconnected.\n");
    const QTextBlock line = dlg.m_log->document()->findBlockByNumber(2);
    for (auto fragment = line.begin(); !fragment.atEnd(); ++fragment) {
        EXPECT_EQ(fragment.fragment().charFormat().foreground().color(), QColor(153, 0, 0));
    }
    EXPECT_FALSE(dlg.m_bConnected);
    EXPECT_EQ(dlg.m_connectButton->text(), "Connect");
    EXPECT_TRUE(AllEnabled(dlg, kLoginEdits, true));
    EXPECT_TRUE(AllEnabled(dlg, kConnectedControls, false));
    EXPECT_EQ(dlg.m_playerList->count(), 0);
    EXPECT_FALSE(dlg.m_timers.IsRunning(TIMER_CONNECT_TIMEOUT));
    EXPECT_TRUE(dlg.m_timers.IsRunning(TIMER_POLL));
}

TEST_F(AdminDlgTest, UnansweredLoginEndsOnTheTimeoutTick) {
    PressConnect();
    Dlg().OnTimer(TIMER_POLL);
    EXPECT_EQ(Log(), "Connecting...\n");
    Dlg().OnTimer(TIMER_CONNECT_TIMEOUT);
    EXPECT_EQ(Log(), "Connecting...\nDisconnected: Connection timed out.\n");
    EXPECT_EQ(Dlg().m_connectButton->text(), "Connect");
}

TEST_F(AdminDlgTest, RefusalShowsItsBoxThenEndsTheAttempt) {
    PressConnect();
    ServerSends(wire::EncodeRefused(4));
    const wire::Refusal refusal = wire::RefusalFor(4);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{std::string(refusal.box)});
    EXPECT_EQ(Log().toStdString(),
              "Connecting...\nDisconnected: " + std::string(refusal.reason) + "\n");
    EXPECT_FALSE(Dlg().m_pClient->reasonPending);
}

TEST_F(AdminDlgTest, RefreshLogsTheRedLineBeforeWaitingText) {
    LogIn();
    ServerSends(wire::EncodePlayerJoin(9, "Eve"));
    Dlg().OnConnect(); // Disconnect
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Log(), "Connecting...\nConnected.\nDisconnected: Client disconnected.\n"
                     "Eve has joined the game.\n");
}
