// The status log for daily use: times, log files, find, clear, options kept in the preferences
// file, attention, and what happens when the files cannot be read or written.
#include "AdminDlgFixture.h"
#include "engine/Timers.h"
#include "ui/LogExport.h"
#include "ui/LogFile.h"
#include "ui/LogFindBar.h"

#include <sys/stat.h>

namespace {

int Mode(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777 : -1;
}

const QRegularExpression kFileLine("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d (.*)$");

// The texts of a log file's lines, each checked for its date and time.
QStringList FileTexts(const QByteArray& content) {
    QStringList texts;
    for (const QString& line : QString::fromUtf8(content).split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = kFileLine.match(line);
        texts << (match.hasMatch() ? match.captured(1) : "NO TIME: " + line);
    }
    return texts;
}

} // namespace

class LogFeaturesTest : public AdminDlgTest {
  protected:
    QString ServerFolder() {
        return stateDir.filePath("vyr/logs/127.0.0.1_" + QString::number(server.Port()));
    }
    QString TodaysFile() {
        return ServerFolder() + QDate::currentDate().toString("/yyyy-MM-dd") + ".log";
    }
};

TEST_F(LogFeaturesTest, EachLineStartsWithItsTimeInGreyAndTheOptionShowsOrHidesThem) {
    Dlg().AppendLog("Disconnected: ", COLOUR_RED, false);
    Dlg().AppendLog("Server shutdown.", COLOUR_RED, true);
    Dlg().AppendLog("two\nlines", COLOUR_BLUE, true);
    const QTextBlock first = Dlg().m_log->document()->firstBlock();
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d Disconnected: Server shutdown\\.$")
                    .match(first.text())
                    .hasMatch())
        << first.text().toStdString();
    EXPECT_EQ(first.textFormats().at(0).format.foreground().color(), QColor(128, 128, 128));
    EXPECT_EQ(first.next().next().text(), "lines");

    const QString shown = Dlg().m_log->toPlainText();
    LogOptions options;
    options.showTimestamps = false;
    Dlg().SetLogOptions(options);
    EXPECT_EQ(Dlg().m_log->toPlainText(), "Disconnected: Server shutdown.\ntwo\nlines\n");
    dlg.reset(); // remembered
    EXPECT_FALSE(Dlg().m_statusLog->Options().showTimestamps);
    Dlg().AppendLog("Disconnected: Server shutdown.", COLOUR_RED, true);
    Dlg().AppendLog("two\nlines", COLOUR_BLUE, true);
    options.showTimestamps = true;
    Dlg().SetLogOptions(options);
    EXPECT_EQ(Dlg().m_log->toPlainText().size(), shown.size());
}

TEST_F(LogFeaturesTest, LinesGoToAPrivateFilePerServerAndDayOneLineEach) {
    LogIn();
    ServerSends(wire::EncodeServerChat(0, 0, "fake\nConnected."));
    Dlg().OnConnect();
    Dlg().OnTimer(TIMER_POLL);
    Dlg().m_statusLog->File().Flush();
    EXPECT_EQ(FileTexts(ReadFile(TodaysFile())),
              QStringList({"Connecting...", "Connected.", "Player #0: fake\\nConnected.",
                           "Disconnected: Client disconnected."}));
    EXPECT_EQ(Mode(TodaysFile()), 0600);
    EXPECT_EQ(Mode(ServerFolder()), 0700);

    LogOptions options;
    options.keepLogFiles = false;
    Dlg().SetLogOptions(options);
    Dlg().AppendLog("not kept", COLOUR_BLACK, true);
    Dlg().m_statusLog->File().Flush();
    EXPECT_EQ(FileTexts(ReadFile(TodaysFile())).size(), 4);
}

TEST_F(LogFeaturesTest, HostsBecomeSafeFolderNames) {
    const std::pair<QString, QString> cases[] = {
        {"game.example.org", "game.example.org"},
        {"::1", "__1"},
        {"..", "_."},
        {"a/../b c", "a_.._b_c"},
        {"ünï", "_n_"},
    };
    for (const auto& [host, folder] : cases) {
        EXPECT_EQ(CLogFile::SafeName(host), folder) << host.toStdString();
    }
}

TEST_F(LogFeaturesTest, AFailedWriteShowsOneLineAndPausesUntilTheNextConnection) {
    ASSERT_TRUE(QDir().mkpath(stateDir.filePath("vyr/logs")));
    WriteFile(stateDir.filePath("vyr/logs/127.0.0.1_" + QString::number(server.Port())), "x");
    LogIn();
    Dlg().m_statusLog->File().Flush();
    Dlg().AppendLog("more", COLOUR_BLACK, true);
    Dlg().m_statusLog->File().Flush();
    EXPECT_EQ(Log().count("Log file not written"), 1) << Log().toStdString();
    EXPECT_EQ(Runs().at(2).second, QColor(102, 0, 0)) << Runs().at(2).first.toStdString();

    QFile::remove(stateDir.filePath("vyr/logs/127.0.0.1_" + QString::number(server.Port())));
    Dlg().OnConnect();
    Dlg().OnTimer(TIMER_POLL);
    PressConnect();
    Dlg().m_statusLog->File().Flush();
    EXPECT_EQ(FileTexts(ReadFile(TodaysFile())), QStringList({"Connecting..."}));
}

TEST_F(LogFeaturesTest, ACorruptPreferencesFileGivesDefaultsAndSizeIsRemembered) {
    ASSERT_TRUE(QDir().mkpath(configDir.filePath("vyr")));
    QByteArray garbage(100000, '\0');
    for (int i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>((i * 7919) % 251);
    }
    WriteFile(configDir.filePath("vyr/vyr-admin.conf"), "[Log]\nShowTimestamps=maybe\n" + garbage);
    EXPECT_TRUE(Dlg().m_statusLog->Options().showTimestamps);
    EXPECT_TRUE(Dlg().m_statusLog->Options().keepLogFiles);
    EXPECT_TRUE(Log().contains("could not be read; the defaults are used.")) << Log().toStdString();

    const QSize bigger = Dlg().minimumSize() + QSize(200, 150);
    Dlg().resize(bigger);
    dlg.reset();
    EXPECT_EQ(Dlg().size(), bigger);
    EXPECT_EQ(Dlg().minimumSize(), Dlg().sizeHint());
}

TEST_F(LogFeaturesTest, FindBarFindsWrapsHighlightsAndEscapeClosesOnlyIt) {
    Dlg().show();
    QApplication::setActiveWindow(&Dlg());
    for (const char* line : {"alpha Beta", "gamma", "beta again"}) {
        Dlg().AppendLog(line, COLOUR_BLACK, true);
    }
    QTest::keySequence(&Dlg(), QKeySequence::Find);
    CLogFindBar* bar = Dlg().m_statusLog->FindBar();
    ASSERT_TRUE(bar->isVisible());
    QTest::keyClicks(bar->m_text, "beta");
    EXPECT_EQ(Dlg().m_log->extraSelections().size(), 2);
    ASSERT_TRUE(bar->Find(false));
    EXPECT_EQ(Dlg().m_log->textCursor().block().blockNumber(), 0);
    QTest::keyClick(bar->m_text, Qt::Key_Return);
    EXPECT_EQ(Dlg().m_log->textCursor().block().blockNumber(), 2);
    ASSERT_TRUE(bar->Find(false)); // wraps round
    EXPECT_EQ(Dlg().m_log->textCursor().block().blockNumber(), 0);
    bar->m_matchCase->setChecked(true);
    EXPECT_EQ(Dlg().m_log->extraSelections().size(), 1);
    ASSERT_TRUE(bar->Find(true));
    EXPECT_EQ(Dlg().m_log->textCursor().block().blockNumber(), 2);

    QTest::keyClick(bar->m_text, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(Dlg().isVisible());
    EXPECT_TRUE(Dlg().m_log->extraSelections().isEmpty());

    Dlg().m_statusLog->Clear();
    EXPECT_EQ(Log(), "");
}

TEST_F(LogFeaturesTest, AnInactiveWindowAsksForAttentionOnItsWordAndAtTheEnd) {
    LogIn({{4, 0, "Bob"}});
    ServerSends(wire::EncodeServerChat(4, 0, "hello all"));
    EXPECT_EQ(Dlg().m_attentionRequests, 0);
    ServerSends(wire::EncodeServerChat(4, 0, "where is the ADMIN?"));
    EXPECT_EQ(Dlg().m_attentionRequests, 1);
    Dlg().OnConnect();
    Dlg().OnTimer(TIMER_POLL);
    EXPECT_EQ(Dlg().m_attentionRequests, 2);
}

TEST_F(LogFeaturesTest, SaveLogAsWritesTextOrHtmlWithColoursPrivately) {
    Dlg().AppendLog("Bob: hi", COLOUR_BROWN, true);
    const QString text = stateDir.filePath("saved.txt");
    const QString html = stateDir.filePath("saved.html");
    EXPECT_EQ(SaveLog(*Dlg().m_log->document(), text), "");
    EXPECT_EQ(SaveLog(*Dlg().m_log->document(), html), "");
    EXPECT_TRUE(QString::fromUtf8(ReadFile(text)).endsWith(" Bob: hi\n"));
    EXPECT_TRUE(ReadFile(html).contains("#4a3800"));
    EXPECT_EQ(Mode(html), 0600);
    EXPECT_NE(SaveLog(*Dlg().m_log->document(), stateDir.filePath("no/such/folder.txt")), "");
}
