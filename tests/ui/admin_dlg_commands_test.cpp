// The player list, the server list window and the commands the admin sends, as bytes on the wire.
#include "AdminDlgFixture.h"
#include "engine/Timers.h"
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

TEST_F(AdminDlgTest, ListsFollowTheServerAndKickAndBanTakeTheSelectedPosition) {
    LogIn({{9, 0, "Zed"}, {3, 25, "Bob"}, {7, -5, "Al"}});
    QListWidget* list = Dlg().m_playerList;
    EXPECT_EQ(Lines(list), QStringList({"Zed (9)\t0", "Bob (3)\t25", "Al (7)\t-5"}));
    Dlg().OnKick();
    Dlg().OnBan();
    EXPECT_TRUE(server.NothingWithin()); // nobody selected

    list->setCurrentRow(1);
    ServerSends(wire::EncodePlayerValue(3, 30)); // moves Bob to the end
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Lines(list), QStringList({"Zed (9)\t0", "Al (7)\t-5", "Bob (3)\t30"}));
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->row(list->selectedItems()[0]), 2);
    Dlg().m_kickButton->click();
    EXPECT_EQ(server.ReceiveOfType(MSG_KICK), wire::EncodeKick(3));
    list->setCurrentRow(1);
    Dlg().m_banButton->click();
    EXPECT_EQ(server.ReceiveOfType(MSG_BAN), wire::EncodeBan(7));

    ServerSends(wire::EncodePlayerLeave(1, 7));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_TRUE(list->selectedItems().isEmpty());

    ServerSends(wire::EncodeListText("alpha|beta|tail")); // each list replaces the last
    Dlg().OnTimer(TIMER_UI_REFRESH);
    ASSERT_TRUE(Dlg().m_serverList->isVisible());
    EXPECT_EQ(Lines(Dlg().m_serverList->list), QStringList({"alpha", "beta"}));
    ServerSends(wire::EncodeListText("gamma|"));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Lines(Dlg().m_serverList->list), QStringList({"gamma"}));
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
