// The command line's history and Tab completion, and the history file in the state folder.
#include <random>
#include <sys/stat.h>

#include "AdminDlgFixture.h"
#include "FileSizeLimit.h"
#include "ui/Preferences.h"

namespace {

class CommandHistoryTest : public AdminDlgTest {
  protected:
    QString HistoryPath() const { return stateDir.filePath("vyr/history"); }
    void Send(const QString& line) {
        Dlg().m_commandEdit->setText(line);
        Dlg().OnSend();
    }
    QString Key(Qt::Key key) {
        QTest::keyClick(Dlg().m_commandEdit, key);
        return Dlg().m_commandEdit->text();
    }
};

} // namespace

TEST_F(CommandHistoryTest, UpAndDownWalkTheSentCommandsWhichSurviveTheWindow) {
    LogIn();
    Send("/kick 3");
    Send("  say hi");
    Send("say hi");
    Dlg().m_commandEdit->setText("half");
    EXPECT_EQ(QStringList({Key(Qt::Key_Up), Key(Qt::Key_Up), Key(Qt::Key_Up), Key(Qt::Key_Down),
                           Key(Qt::Key_Down)}),
              QStringList({"say hi", "/kick 3", "/kick 3", "say hi", "half"}));
    EXPECT_EQ(ReadFile(HistoryPath()), "/kick 3\nsay hi\n");
    struct stat status {};
    ASSERT_EQ(::stat(HistoryPath().toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    dlg.reset();
    EXPECT_EQ(Key(Qt::Key_Up), "say hi");
}

// A damaged history costs only its bad lines, and the window says so.
TEST_F(CommandHistoryTest, AGarbledFileIsSaidInTheLog) {
    MakePrivateDirectory(stateDir.filePath("vyr"));
    WriteFile(HistoryPath(), "/say 1\n\xff\xfe\x01\n");
    EXPECT_TRUE(Log().contains("unreadable lines")) << Log().toStdString();
    EXPECT_EQ(Key(Qt::Key_Up), "/say 1");
}

TEST_F(CommandHistoryTest, TabCompletesAndCyclesAndOtherwiseMovesTheFocus) {
    LogIn({{3, 0, "Bob"}, {4, 0, "bobby"}});
    Dlg().m_commandEdit->setText("/kick bo");
    EXPECT_EQ(QStringList({Key(Qt::Key_Tab), Key(Qt::Key_Tab), Key(Qt::Key_Tab)}),
              QStringList({"/kick Bob", "/kick bobby", "/kick Bob"}));
    Dlg().show();
    Dlg().m_commandEdit->setFocus();
    Dlg().m_commandEdit->setText("nothing");
    QTest::keyClick(Dlg().m_commandEdit, Qt::Key_Tab);
    EXPECT_NE(Dlg().focusWidget(), Dlg().m_commandEdit);
}

TEST_F(CommandHistoryTest, AnUnwritableHistoryIsSaidOnceAndTheCommandsStillGo) {
    ASSERT_TRUE(QDir().mkpath(HistoryPath())); // a folder where the file should be
    LogIn();
    Send("one");
    Send("two");
    EXPECT_EQ(server.ReceiveOfType(MSG_CHAT), wire::EncodeChat("one"));
    EXPECT_EQ(server.ReceiveOfType(MSG_CHAT), wire::EncodeChat("two"));
    EXPECT_EQ(Log().count("The command history cannot be saved"), 1) << Log().toStdString();
    EXPECT_EQ(Key(Qt::Key_Up), "two");
}

// A full disk keeps the old file whole; the window says so in one dark-red line, and the
// commands still go.
TEST_F(CommandHistoryTest, AFullDiskKeepsTheOldHistoryAndIsSaidOnce) {
    MakePrivateDirectory(stateDir.filePath("vyr"));
    WriteFile(HistoryPath(), "old\n");
    LogIn();
    {
        const FileSizeLimit fullDisk(4);
        Send("a command longer than the disk has room for");
        Send("and another");
    }
    EXPECT_EQ(server.ReceiveOfType(MSG_CHAT),
              wire::EncodeChat("a command longer than the disk has room for"));
    EXPECT_EQ(server.ReceiveOfType(MSG_CHAT), wire::EncodeChat("and another"));
    EXPECT_EQ(ReadFile(HistoryPath()), "old\n");
    EXPECT_EQ(QDir(stateDir.filePath("vyr")).entryList(QDir::Files | QDir::Hidden),
              QStringList({"history"}))
        << "no temporary file left";
    EXPECT_EQ(Log().count("The command history cannot be saved"), 1) << Log().toStdString();
    const auto runs = Runs();
    const auto said = std::find_if(runs.begin(), runs.end(), [](const auto& run) {
        return run.first.contains("cannot be saved");
    });
    ASSERT_NE(said, runs.end());
    EXPECT_EQ(said->second, QColor(102, 0, 0));
}
