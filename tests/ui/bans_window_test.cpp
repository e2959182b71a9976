// Bans in the window against the demo server, on the window's own timers (run alone): the ban
// dialog (No the default, Escape cancels, reason, length and a line said first), the kick with
// a reason, and the Bans window's rows, lift and export.
#include <sys/stat.h>

#include "AdminDlgFixture.h"
#include "tests/support/DemoServerProcess.h"
#include "ui/BanDialog.h"
#include "ui/BansWindow.h"
#include "ui/PageBans.h"

namespace {

using namespace std::chrono_literals;

class RealTimeBansTest : public RealTimeWindowTest {
  protected:
    void ConnectToGame() {
        ASSERT_TRUE(game.Start({"--players", "3", "--rate", "0"})) << game.Output();
        FillIn("127.0.0.1", QString::number(game.Port()));
        Dlg().OnConnect();
        ASSERT_TRUE(RunEventLoopUntil(
            [this] { return Dlg().m_bConnected && Dlg().m_playerList->topLevelItemCount() == 3; },
            5s));
    }
    // Selects the first player and opens the dialog for `kind`; `fill` runs in the open dialog.
    QString RemoveFirst(RemovalOrder::Kind kind, const std::function<void(CBanDialog&)>& fill) {
        CPlayerTable* table = Dlg().m_playerList;
        table->setCurrentItem(table->topLevelItem(0));
        const QString name = table->topLevelItem(0)->text(0);
        QTimer::singleShot(0, [fill] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<CBanDialog*>(widget);
                    dialog && dialog->isVisible()) {
                    fill(*dialog);
                    return;
                }
            }
            ADD_FAILURE() << "no dialog open";
        });
        if (kind == RemovalOrder::Kind::Ban) {
            Dlg().OnBan();
        } else {
            Dlg().OnKickWithReason();
        }
        return name;
    }
    bool LogSays(const QString& text) {
        return RunEventLoopUntil([&] { return Log().contains(text); }, 5s);
    }

    DemoServerProcess game{VYR_DEMO_SERVER_PATH};
};

TEST_F(RealTimeBansTest, BanAndKickWithReasonsThenLiftAndExportInTheBansWindow) {
    ConnectToGame();

    // Escape cancels, and No is the default: neither bans.
    RemoveFirst(RemovalOrder::Kind::Ban, [](CBanDialog& dialog) {
        EXPECT_TRUE(dialog.m_no->isDefault());
        EXPECT_FALSE(dialog.m_yes->isDefault());
        EXPECT_FALSE(dialog.m_sayFirst->isChecked());
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    RemoveFirst(RemovalOrder::Kind::Ban, [](CBanDialog& dialog) {
        dialog.m_reason->setCurrentText("typed, then Enter");
        QTest::keyClick(dialog.m_reason, Qt::Key_Return);
    });
    EXPECT_EQ(game.Output().find("ban "), std::string::npos) << game.Output();

    const QString banned = RemoveFirst(RemovalOrder::Kind::Ban, [](CBanDialog& dialog) {
        dialog.m_reason->setCurrentText("aimbot");
        dialog.m_length->setCurrentIndex(1); // 1 day
        dialog.m_sayFirst->setChecked(true);
        dialog.m_yes->click();
    });
    ASSERT_TRUE(LogSays("Banned " + banned + " (10.0.0.")) << Log().toStdString();
    EXPECT_TRUE(LogSays(") for 1 day: aimbot.")) << Log().toStdString();
    EXPECT_NE(game.Output().find("chat: Banned " + banned.toStdString() + ": aimbot (1 day)"),
              std::string::npos)
        << game.Output();

    const QString kicked = RemoveFirst(RemovalOrder::Kind::Kick, [](CBanDialog& dialog) {
        EXPECT_FALSE(dialog.m_length->isVisible());
        EXPECT_EQ(dialog.m_reason->itemText(0), "aimbot") << "the last reasons are offered";
        dialog.m_reason->setCurrentText("language");
        dialog.m_yes->click();
    });
    EXPECT_TRUE(LogSays("Kicked " + kicked + ": language.")) << Log().toStdString();

    // The Bans window: the banned address with its record; Lift asks, naming it, then lifts.
    CBansWindow* window = Dlg().m_bans->Window();
    Dlg().m_bans->ShowWindow();
    ASSERT_TRUE(RunEventLoopUntil(
        [&] {
            return window->m_table->topLevelItemCount() == 1 &&
                   window->m_table->topLevelItem(0)->text(1) == banned;
        },
        5s));
    QTreeWidgetItem* row = window->m_table->topLevelItem(0);
    EXPECT_EQ(row->text(2), "aimbot");
    EXPECT_EQ(row->text(4), "admin");

    QTemporaryDir exportDir;
    const QString csvPath = exportDir.filePath("bans.csv");
    EXPECT_EQ(window->ExportTo(csvPath), "");
    const QByteArray csv = ReadFile(csvPath);
    EXPECT_TRUE(csv.startsWith("address,name,reason,banned_at,banned_by,expires\r\n10.0.0."))
        << csv.toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(csvPath.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    window->m_filter->setText("no such text");
    EXPECT_TRUE(row->isHidden());
    window->m_filter->clear();
    row->setSelected(true);
    std::vector<std::string> questions;
    const QuestionBoxHook previous = SetQuestionBoxHook([&](const std::string& text) {
        questions.push_back(text);
        return true;
    });
    window->m_lift->click();
    SetQuestionBoxHook(previous);
    ASSERT_EQ(questions.size(), 1u);
    const QString address = row->text(0);
    EXPECT_EQ(questions[0], ("Lift the ban on " + address + " (" + banned + ")?").toStdString());
    EXPECT_TRUE(LogSays("Ban on " + banned + " (" + address + ") lifted.")) << Log().toStdString();
    EXPECT_TRUE(RunEventLoopUntil([&] { return window->m_table->topLevelItemCount() == 0; }, 5s))
        << "the list asked for again after the lift";
}

} // namespace
