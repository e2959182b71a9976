// Kick and Ban reach the player whose row is selected at the click, whatever the order of the
// table and whatever the roster did since the last redraw.
#include "AdminDlgFixture.h"
#include "ui/BanDialog.h"

namespace {

struct KickCase {
    const char* what;
    int sortColumn; // clicked `sortClicks` times
    int sortClicks;
    int row; // selected, then the server's datagram arrives, then Kick
    Bytes meanwhile;
    std::optional<Bytes> sent;
};

class PlayerTableTest : public AdminDlgTest, public ::testing::WithParamInterface<KickCase> {
  protected:
    void ClickHeader(int column) {
        QHeaderView* header = Dlg().m_playerList->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 4, 4));
    }
};

// Roster: Zed 9 (0), Bob 3 (25), Al 7 (-5), Bo 3 (0).
const KickCase kKickCases[] = {
    {"server order", -1, 0, 1, {}, wire::EncodeKick(3)},
    {"name ascending", 0, 1, 0, {}, wire::EncodeKick(7)},
    {"id descending", 1, 2, 0, {}, wire::EncodeKick(9)},
    {"third click: server order", 2, 3, 2, {}, wire::EncodeKick(7)},
    {"score changed: Zed moves to the end", -1, 0, 0, wire::EncodePlayerValue(9, 40),
     wire::EncodeKick(9)},
    {"score changed while sorted", 2, 1, 0, wire::EncodePlayerValue(7, 50), wire::EncodeKick(7)},
    {"player left", -1, 0, 2, wire::EncodePlayerLeave(1, 7), std::nullopt},
    {"duplicate id, the first one left", -1, 0, 3, wire::EncodePlayerLeave(1, 3),
     wire::EncodeKick(3)},
};

} // namespace

TEST_P(PlayerTableTest, KickTakesTheSelectedPlayerAtTheClick) {
    LogIn({{9, 0, "Zed"}, {3, 25, "Bob"}, {7, -5, "Al"}});
    ServerSends(wire::EncodePlayerJoin(3, "Bo"));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    Dlg().show();
    for (int i = 0; i < GetParam().sortClicks; ++i) {
        ClickHeader(GetParam().sortColumn);
    }
    CPlayerTable* table = Dlg().m_playerList;
    table->setCurrentItem(table->topLevelItem(GetParam().row));
    if (!GetParam().meanwhile.empty()) {
        ServerSends(GetParam().meanwhile); // the table is not redrawn before the click
    }
    Dlg().m_kickButton->click();
    EXPECT_EQ(server.ReceiveOfType(MSG_KICK, std::chrono::milliseconds(200)), GetParam().sent)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Orders, PlayerTableTest, ::testing::ValuesIn(kKickCases));

TEST_F(PlayerTableTest, BanAsksNamingThePlayerAndNoKeepsIt) {
    LogIn({{9, 0, "Zed"}, {4, 0, "E\nve"}});
    CPlayerTable* table = Dlg().m_playerList;
    table->setCurrentItem(table->topLevelItem(1));
    QString question;
    QTimer::singleShot(0, [&question] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<CBanDialog*>(widget); dialog && dialog->isVisible()) {
                for (const QLabel* label : dialog->findChildren<QLabel*>()) {
                    question += label->text() + '|';
                }
                dialog->m_no->click();
            }
        }
    });
    Dlg().m_banButton->click();
    EXPECT_TRUE(question.contains("Ban E\\nve (#4)?")) << question.toStdString();
    EXPECT_TRUE(server.NothingWithin());
}

TEST_F(PlayerTableTest, RowMenuCopiesTheIdAndKicks) {
    LogIn({{9, 0, "Zed"}, {3, 25, "Bob"}});
    Dlg().show();
    CPlayerTable* table = Dlg().m_playerList;
    const auto choose = [table](int action) { // Kick, Ban, Copy name, Copy id
        QTimer::singleShot(0, [table, action] {
            QMenu* menu = table->findChild<QMenu*>();
            menu->setActiveAction(menu->actions()[action]);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        emit table->customContextMenuRequested(
            table->visualItemRect(table->topLevelItem(1)).center());
    };
    choose(3);
    EXPECT_EQ(QApplication::clipboard()->text(), "3");
    choose(0);
    EXPECT_EQ(server.ReceiveOfType(MSG_KICK), wire::EncodeKick(3));
}
