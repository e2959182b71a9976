// The player list and the commands the admin sends, checked as bytes on the wire.
#include <QTest>

#include "AdminDlgFixture.h"
#include "ui/ServerListWindow.h"

namespace {

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    return lines;
}

} // namespace

TEST_F(AdminDlgTest, PlayerListShowsTheRosterInOrderAndKeepsTheSelection) {
    LogIn({{9, 0, "Zed"}, {3, 25, "Bob"}, {7, -5, "Al"}});
    QListWidget* list = Dlg().m_playerList;
    EXPECT_EQ(Lines(list), QStringList({"Zed (9)\t0", "Bob (3)\t25", "Al (7)\t-5"}));

    list->setCurrentRow(1);
    ServerSends(wire::EncodePlayerValue(3, 30)); // moves Bob to the end
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Lines(list), QStringList({"Zed (9)\t0", "Al (7)\t-5", "Bob (3)\t30"}));
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->row(list->selectedItems()[0]), 2);

    ServerSends(wire::EncodePlayerLeave(1, 3));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_TRUE(list->selectedItems().isEmpty());
}

TEST_F(AdminDlgTest, KickAndBanSendTheSelectedPlayersId) {
    LogIn({{9, 0, "Zed"}, {3, 25, "Bob"}, {7, -5, "Al"}});
    Dlg().OnKick();
    Dlg().OnBan();
    EXPECT_TRUE(server.NothingWithin());

    Dlg().m_playerList->setCurrentRow(2);
    Dlg().m_kickButton->click();
    EXPECT_EQ(server.ReceiveOfType(MSG_KICK), wire::EncodeKick(7));
    Dlg().m_banButton->click();
    EXPECT_EQ(server.ReceiveOfType(MSG_BAN), wire::EncodeBan(7));
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

TEST_F(AdminDlgTest, EachServerListReplacesTheLastInItsWindow) {
    LogIn();
    ServerSends(wire::EncodeListText("alpha|beta|tail"));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Dlg().m_pClient->listTextLength, 0);
    ASSERT_TRUE(Dlg().m_serverList->isVisible());
    EXPECT_EQ(Lines(Dlg().m_serverList->list), QStringList({"alpha", "beta"}));

    ServerSends(wire::EncodeListText("gamma|"));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Lines(Dlg().m_serverList->list), QStringList({"gamma"}));
}
