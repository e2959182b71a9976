// The window's tabs: one tab as the old window, the keys, the titles, a socket per tab, the same
// login refused, "Send to all", and the tabs that come back at the next start.
#include "MainWindowFixture.h"
#include "engine/Timers.h"
#include "ui/LogFindBar.h"
#include "ui/PageTabBar.h"
#include "ui/SessionDriver.h"
#include "ui/StatusLog.h"
#include "ui/TabTitle.h"

namespace {

// A chat line from player 3, as the server sends it.
Bytes Chat(std::string_view text) {
    return wire::EncodeServerChat(3, 0, text);
}

TEST_F(MainWindowTest, OneTabIsTheWindowAsItWasWithTheLoginOfVyrIni) {
    WriteFile(configDir.filePath("vyr.ini"),
              "[Remote Admin]\r\nUsername=bob\r\nIP=10.0.0.5\r\nPort=27888\r\n");
    ASSERT_EQ(Window().Count(), 1);
    EXPECT_FALSE(Window().m_tabBar->isVisible());
    EXPECT_EQ(Tab(0).m_userEdit->text(), "bob");
    EXPECT_EQ(Tab(0).m_hostEdit->text(), "10.0.0.5");
    // The page fills the window at the template's size: nothing around it.
    EXPECT_EQ(Window().size(), Tab(0).minimumSize());
    EXPECT_EQ(Tab(0).geometry(), QRect(QPoint(0, 0), Window().size()));
    EXPECT_FALSE(Tab(0).m_playerColumn->Wide());

    Press(Tab(0).m_userEdit, QKeySequence(Qt::CTRL | Qt::Key_T));
    ASSERT_EQ(Window().Count(), 2);
    EXPECT_TRUE(Window().m_tabBar->isVisible());
    EXPECT_EQ(Tab(1).m_userEdit->text(), "") << "only one tab holds vyr.ini's login";
    EXPECT_EQ(QApplication::focusWidget(), Tab(1).m_serverPicker);

    // Only the plain login's tab writes vyr.ini, when it goes.
    Tab(0).m_userEdit->setText("carol");
    Tab(1).m_userEdit->setText("dave");
    Restart();
    EXPECT_TRUE(ReadFile(configDir.filePath("vyr.ini")).contains("Username=carol"));
}

// The window's keys act wherever the focus is in a page, and leave the page its own keys.
TEST_F(MainWindowTest, KeysOpenSwitchAndCloseTabsAndTheFindKeyStaysWithThePage) {
    UdpPeer server;
    ConnectPlain(Tab(0), server);
    LogIn(server, Tab(0));
    Press(Tab(0).m_commandEdit, QKeySequence(Qt::CTRL | Qt::Key_T));
    Press(Tab(1).m_serverPicker, QKeySequence(Qt::CTRL | Qt::Key_T));
    ASSERT_EQ(Window().Count(), 3);
    EXPECT_EQ(Window().m_tabs->currentIndex(), 2);

    std::vector<int> visited;
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_PageDown), QKeySequence(Qt::CTRL | Qt::Key_PageDown),
          QKeySequence(Qt::CTRL | Qt::Key_PageUp), QKeySequence(Qt::CTRL | Qt::Key_PageUp)}) {
        Press(Window().CurrentPage()->m_userEdit, keys);
        visited.push_back(Window().m_tabs->currentIndex());
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 0, 2}));

    Window().m_tabs->setCurrentIndex(0);
    Press(Tab(0).m_log, QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    EXPECT_EQ(Window().m_tabs->currentIndex(), 1) << "from the log too";
    Press(Tab(1).m_log, QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    Press(Tab(0).m_commandEdit, QKeySequence::Find);
    EXPECT_TRUE(Tab(0).m_statusLog->FindBar()->isVisible());
    EXPECT_FALSE(Tab(1).m_statusLog->FindBar()->isVisibleTo(&Tab(1)));

    // Closing a connected tab logs out of its server; the last closes the window.
    Press(Tab(0).m_commandEdit, QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_EQ(Window().Count(), 2);
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT));
    Press(Window().CurrentPage()->m_userEdit, QKeySequence(Qt::CTRL | Qt::Key_W));
    Press(Window().CurrentPage()->m_userEdit, QKeySequence(Qt::CTRL | Qt::Key_W));
    EXPECT_FALSE(Window().isVisible());
}

// The background menu of a tab closes that very tab, while the menu is still open on its stack.
TEST_F(MainWindowTest, ATabClosesFromItsOwnMenu) {
    UdpPeer server;
    CAdminDlg& tab = *Window().NewTab();
    ConnectPlain(tab, server);
    LogIn(server, tab);
    QTimer pick;
    QObject::connect(&pick, &QTimer::timeout, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            pick.stop();
            menu->setActiveAction(Window().m_closeTab);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    pick.start(1);
    QContextMenuEvent click(QContextMenuEvent::Mouse, {5, 5}, tab.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&tab, &click);
    EXPECT_EQ(Window().Count(), 1);
    EXPECT_TRUE(server.ReceiveOfType(MSG_QUIT)) << "logged out at once";
    const QPointer<CAdminDlg> going(&tab);
    EXPECT_TRUE(Until([&] { return going.isNull(); }));
}

TEST(TabTitleTest, NameStateAndUnseenLines) {
    struct Case {
        QString name;
        PageState state;
        int unseen;
        QString title;
    } const cases[] = {
        {"eu1", PageState::Idle, 0, "eu1"},
        {"eu1", PageState::Connecting, 0, "eu1 \u2013 connecting"},
        {"eu1", PageState::Connected, 12, "eu1 \u2013 connected (12)"},
        {"10.0.0.5", PageState::Reconnecting, 0, "10.0.0.5 \u2013 reconnecting"},
        {"eu1", PageState::Lost, 1, "eu1 \u2013 lost (1)"},
        {"", PageState::Idle, 0, "New tab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TabTitle(c.name, c.state, c.unseen), c.title);
    }
}

// A tab in the background counts the lines it gets and is marked bold for a watch word or a
// watched player; looking at it clears both. Its title follows its session through every state.
TEST_F(MainWindowTest, TitlesFollowTheSessionCountUnseenLinesAndMarkWhatIsWatched) {
    UdpPeer server;
    WriteServers(Server("eu1", server.Port()));
    CAdminDlg& eu1 = *Window().OpenServer("eu1");
    const int at = Window().IndexOf(&eu1);
    const auto title = [&] { return Window().TitleOf(at); };
    EXPECT_EQ(title(), "eu1");

    Window().m_tabs->setCurrentIndex(at);
    eu1.OnConnect();
    EXPECT_EQ(title(), "eu1 \u2013 connecting") << "while the password command runs";
    LogIn(server, eu1);
    EXPECT_EQ(title(), "eu1 \u2013 connected");

    Window().m_tabs->setCurrentIndex(0);
    const int linesBefore = eu1.m_log->document()->blockCount();
    for (const char* text : {"one", "two", "three"}) {
        server.Send(Chat(text));
    }
    ASSERT_TRUE(Until([&] { return title() == "eu1 \u2013 connected (3)"; }))
        << title().toStdString();
    EXPECT_EQ(eu1.m_log->document()->blockCount() - linesBefore, 3);
    EXPECT_FALSE(Window().IsMarked(at));
    server.Send(Chat("is an ADMIN around?")); // the default watch word
    ASSERT_TRUE(Until([&] { return Window().IsMarked(at); }));
    EXPECT_GT(Window().m_tabBar->tabRect(at).width(),
              Window().m_tabBar->fontMetrics().horizontalAdvance(title()))
        << "wide enough for the bold title";

    Window().m_tabs->setCurrentIndex(at);
    EXPECT_EQ(title(), "eu1 \u2013 connected");
    EXPECT_FALSE(Window().IsMarked(at));
    eu1.MarkImportant(); // as a watched player joining would
    EXPECT_FALSE(Window().IsMarked(at)) << "the tab in view needs no mark";
    Window().m_tabs->setCurrentIndex(0);
    eu1.MarkImportant();
    EXPECT_TRUE(Window().IsMarked(at));

    // Lost to silence, reconnecting by itself; refused, lost; disconnected by the admin, idle.
    eu1.m_reconnectCheck->setChecked(true);
    for (int tick = 0; tick < WATCHDOG_SILENT_TICKS + 2; ++tick) {
        eu1.OnTimer(TIMER_WATCHDOG);
    }
    EXPECT_EQ(eu1.State(), PageState::Reconnecting);
    EXPECT_TRUE(title().startsWith("eu1 \u2013 reconnecting")) << title().toStdString();
    eu1.OnReconnectDue();
    EXPECT_EQ(eu1.State(), PageState::Reconnecting) << "the attempt of a reconnect";
    ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN));
    server.Send(wire::EncodeRefused(4));
    ASSERT_TRUE(Until([&] { return !boxes.texts.empty(); }));
    EXPECT_EQ(eu1.State(), PageState::Lost);
    EXPECT_TRUE(title().startsWith("eu1 \u2013 lost")) << title().toStdString();
    eu1.OnConnect();
    LogIn(server, eu1);
    eu1.OnConnect();
    eu1.OnTimer(TIMER_POLL);
    EXPECT_EQ(eu1.State(), PageState::Idle);
}

// Each tab has a socket of its own (the first the process-wide one), so two sessions never
// read each other's datagrams; the same server and user twice is refused before anything is
// sent, with a box naming the tab that has it.
TEST_F(MainWindowTest, TabsHaveTheirOwnSocketsAndTheSameLoginTwiceIsRefused) {
    UdpPeer first, second;
    CAdminDlg& a = Tab(0);
    CAdminDlg& b = *Window().NewTab();
    CAdminDlg& c = *Window().NewTab();
    ConnectPlain(a, first);
    LogIn(first, a, "admin", {{3, 10, "Bob"}});
    ConnectPlain(b, second);
    LogIn(second, b, "admin", {{4, 20, "Eve"}, {5, 30, "Ann"}});
    EXPECT_NE(a.m_pClient->link, b.m_pClient->link);
    EXPECT_NE(a.m_pClient->link->socketHandle, b.m_pClient->link->socketHandle);
    EXPECT_EQ(CAdminClient().link, a.m_pClient->link) << "the first tab's is the process-wide one";
    EXPECT_NE(a.m_pClient->roster, b.m_pClient->roster);
    second.Send(Chat("only for b"));
    ASSERT_TRUE(Until([&] { return LogOf(b).contains("only for b"); }));
    EXPECT_FALSE(LogOf(a).contains("only for b"));
    EXPECT_EQ(a.m_playerList->topLevelItemCount(), 1);
    EXPECT_EQ(b.m_playerList->topLevelItemCount(), 2);

    c.m_hostEdit->setText("127.0.0.1");
    c.m_portEdit->setText(QString::number(second.Port()));
    c.m_userEdit->setText("admin");
    c.m_passwordEdit->setText("admin");
    c.OnConnect();
    ASSERT_EQ(boxes.texts.size(), 1U);
    EXPECT_NE(boxes.texts[0].find("already has a session with 127.0.0.1:" +
                                  std::to_string(second.Port()) + " as admin"),
              std::string::npos)
        << boxes.texts[0];
    EXPECT_EQ(c.State(), PageState::Idle);
    EXPECT_TRUE(second.NothingWithin(100ms));
    c.m_userEdit->setText("other"); // another user on that server is fine
    c.OnConnect();
    EXPECT_EQ(Await(second, MSG_LOGIN), wire::EncodeLogin("other", "admin"));
}

// "Send to all" asks first, naming the connected tabs, then sends the line once to each; the
// command line empties and the line joins the history. No answers nothing.
TEST_F(MainWindowTest, SendToAllAsksNamingTheConnectedTabsThenSendsToEach) {
    UdpPeer first, second;
    CAdminDlg& a = Tab(0);
    CAdminDlg& b = *Window().NewTab();
    Window().NewTab(); // not connected: not asked about, sent nothing
    ConnectPlain(a, first);
    LogIn(first, a);
    ConnectPlain(b, second);
    LogIn(second, b);

    b.m_commandEdit->setText("  say restart in 5");
    answerYes = false;
    Window().SendToAll(&b);
    ASSERT_EQ(questions.size(), 1U);
    EXPECT_EQ(questions[0], "Send \u201csay restart in 5\u201d to 127.0.0.1 and 127.0.0.1?");
    EXPECT_TRUE(first.NothingWithin(100ms));
    EXPECT_EQ(b.m_commandEdit->text(), "  say restart in 5");

    answerYes = true;
    Window().SendToAll(&b);
    EXPECT_EQ(first.ReceiveOfType(MSG_CHAT), wire::EncodeChat("say restart in 5"));
    EXPECT_EQ(second.ReceiveOfType(MSG_CHAT), wire::EncodeChat("say restart in 5"));
    EXPECT_TRUE(first.NothingWithin(100ms)) << "once to each";
    EXPECT_EQ(b.m_commandEdit->text(), "");
    QTest::keyClick(a.m_commandEdit, Qt::Key_Up);
    EXPECT_EQ(a.m_commandEdit->text(), "say restart in 5") << "the history is the window's";

    b.m_commandEdit->setText("caf\u00e9 \u20ac"); // the euro sign is beyond Latin-1
    Window().SendToAll(&b);
    EXPECT_EQ(questions.size(), 2U) << "a line the wire cannot carry is refused before asking";
    EXPECT_EQ(boxes.texts.size(), 1U);
}

// The tabs of the last close come back in their order; the saved servers connect with the
// password from their source, the plain login's tab holds vyr.ini's login, and a server gone
// from the list is told of in the first tab.
TEST_F(MainWindowTest, TheTabsOfTheLastCloseComeBackAndTheSavedServersConnect) {
    UdpPeer eu, us;
    WriteServers(
        Server("eu1", eu.Port(), "{ command = \"printf 'from-command\\\\nsecond line'\" }") +
        Server("us-east", us.Port()) + Server("gone", 1));
    Window().OpenServer("us-east");
    Window().OpenServer("gone");
    Window().NewTab(); // no server, not the plain login's: not kept
    Window().OpenServer("eu1");
    Tab(0).m_hostEdit->setText("plain.example.org");
    Window().m_tabs->tabBar()->moveTab(0, 1); // the admin dragged the plain login's tab
    WriteServers(
        Server("eu1", eu.Port(), "{ command = \"printf 'from-command\\\\nsecond line'\" }") +
        Server("us-east", us.Port()));
    Restart();

    ASSERT_EQ(Window().Count(), 3);
    EXPECT_EQ(Tab(0).Name(), "us-east");
    EXPECT_EQ(Tab(1).m_hostEdit->text(), "plain.example.org");
    EXPECT_EQ(Tab(1).Profile(), nullptr);
    EXPECT_EQ(Tab(2).Name(), "eu1");
    EXPECT_TRUE(LogOf(Tab(0)).contains("The tab of \u201cgone\u201d was not opened again"))
        << LogOf(Tab(0)).toStdString();
    LogIn(eu, Tab(2), "from-command");
    LogIn(us, Tab(0));
    EXPECT_EQ(Tab(1).State(), PageState::Idle);
}

} // namespace
