// The player table, the server list window and the commands the admin sends, as bytes on the wire.
#include "AdminDlgFixture.h"
#include "engine/Timers.h"
#include "ui/BansWindow.h"
#include "ui/PageBans.h"

namespace {

using namespace std::chrono_literals;

QStringList Column(const QTreeWidget* table, int column) {
    QStringList texts;
    for (int i = 0; i < table->topLevelItemCount(); ++i) {
        texts << table->topLevelItem(i)->text(column);
    }
    return texts;
}

QStringList Rows(const QTreeWidget* table) {
    QStringList rows;
    for (int i = 0; i < table->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = table->topLevelItem(i);
        rows << item->text(0) + ' ' + item->text(1) + ' ' + item->text(2);
    }
    return rows;
}

} // namespace

TEST_F(AdminDlgTest, TheTableFollowsTheServerAndKeepsTheSelectedPlayer) {
    LogIn({{9, 0, "Zed"}, {3, 25, "Bob"}, {7, -5, "A\nl"}});
    CPlayerTable* table = Dlg().m_playerList;
    EXPECT_EQ(Rows(table), QStringList({"Zed 9 0", "Bob 3 25", "A\\nl 7 -5"}));
    EXPECT_EQ(Dlg().findChild<QGroupBox*>("playerAdminGroup")->title(), "Player Admin (3)");
    Dlg().OnKick();
    EXPECT_TRUE(server.NothingWithin()); // nobody selected

    table->setCurrentItem(table->topLevelItem(1));
    ServerSends(wire::EncodePlayerValue(3, 30)); // moves Bob to the end
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Rows(table), QStringList({"Zed 9 0", "A\\nl 7 -5", "Bob 3 30"}));
    ASSERT_EQ(table->selectedItems().size(), 1);
    EXPECT_EQ(table->indexOfTopLevelItem(table->selectedItems()[0]), 2);

    ServerSends(wire::EncodePlayerLeave(1, 3));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_TRUE(table->selectedItems().isEmpty());
}

// A list the admin asked for opens the Bans window: entries escaped, each a row.
TEST_F(AdminDlgTest, AListOpensTheBansWindowWithAnEscapedEntryPerRowAndCopiesTheSelection) {
    LogIn();
    CBansWindow* window = Dlg().m_bans->Window();
    ServerSends(wire::EncodeListText("10.0.0.1|be\r\nta|tail")); // each list replaces the last
    ASSERT_TRUE(RunEventLoopUntil([&] { return window->isVisible(); }, 5s));
    ASSERT_TRUE(RunEventLoopUntil([&] { return window->m_table->topLevelItemCount() == 2; }, 5s));
    EXPECT_EQ(Column(window->m_table, 0),
              QStringList({"10.0.0.1", "be\\r\\nta (not an IPv4 address)"}));
    EXPECT_EQ(Column(window->m_table, 5), QStringList({"not recorded here", "not recorded here"}));
    EXPECT_EQ(window->m_status->text(), "2 addresses on the server's list, 0 recorded here.");

    window->m_table->selectAll();
    QTest::keyClick(window->m_table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().split('\n').size(), 2);

    ServerSends(wire::EncodeListText(""));
    ASSERT_TRUE(RunEventLoopUntil([&] { return window->m_table->topLevelItemCount() == 0; }, 5s));
}

TEST_F(AdminDlgTest, SendDropsLeadingBlanksKeepsTrailingOnesAndEmptiesTheLine) {
    LogIn();
    Dlg().show(); // the default button works in a shown window
    QLineEdit* command = Dlg().m_commandEdit;
    command->setText(" \t say hi  ");
    QTest::keyClick(command, Qt::Key_Return); // Enter presses Send
    EXPECT_EQ(server.ReceiveOfType(MSG_CHAT), wire::EncodeChat("say hi  "));
    EXPECT_EQ(command->text(), "");

    command->setText("   ");
    Dlg().OnSend();
    EXPECT_EQ(command->text(), "");
    EXPECT_TRUE(server.NothingWithin());

    Dlg().OnShutdown();
    EXPECT_EQ(server.ReceiveOfType(MSG_KILLSERVER), wire::EncodeKillServer());
}

TEST_F(AdminDlgTest, EnterInALoginFieldConnectsAndTheCommandLineTakesTheFocus) {
    Dlg().show();
    FillIn("127.0.0.1", QString::number(server.Port()));
    QTest::keyClick(Dlg().m_hostEdit, Qt::Key_Return);
    ASSERT_EQ(server.ReceiveOfType(MSG_LOGIN), wire::EncodeLogin("admin", "admin"));
    server.Send(wire::EncodeWelcome({}));
    ASSERT_TRUE(PollUntil([this] { return Dlg().m_bConnected; }));
    EXPECT_EQ(Dlg().focusWidget(), Dlg().m_commandEdit);
}

TEST_F(AdminDlgTest, TextTheWireCannotCarryIsRefusedAndKept) {
    const std::string box =
        "These characters cannot be sent to the server, which takes Latin-1 text only: ";
    FillIn("127.0.0.1", QString::number(server.Port()), "Жук", "pä€s");
    Dlg().OnConnect();
    EXPECT_EQ(boxes.texts, std::vector<std::string>{box + "Ж у к €"});
    EXPECT_EQ(Dlg().m_pClient, nullptr);
    EXPECT_EQ(Shown(), kIdle);

    boxes.texts.clear();
    LogIn();
    Dlg().m_commandEdit->setText(" Жук € ok é");
    Dlg().OnSend();
    EXPECT_EQ(boxes.texts, std::vector<std::string>{box + "Ж у к €"});
    EXPECT_EQ(Dlg().m_commandEdit->text(), " Жук € ok é");
    Dlg().m_commandEdit->setText("café");
    Dlg().OnSend();
    EXPECT_EQ(server.ReceiveOfType(MSG_CHAT), wire::EncodeChat("caf\xe9"));
}
