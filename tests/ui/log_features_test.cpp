// The status log for daily use: times, log files, find, clear, options kept in the preferences
// file, attention, and what happens when the files cannot be read or written.
#include "AdminDlgFixture.h"
#include "FileSizeLimit.h"
#include "engine/Timers.h"
#include "ui/LogExport.h"
#include "ui/LogFile.h"
#include "ui/LogFindBar.h"
#include "ui/Preferences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsFifo(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISFIFO(status.st_mode);
}

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
    // The colour of the first run of text holding `text`.
    QColor ColourOf(const QString& text) {
        for (const auto& [run, colour] : Runs()) {
            if (run.contains(text)) {
                return colour;
            }
        }
        return {};
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

// A FIFO in place of today's log file, with a reader at its other end or without: said in one
// dark-red line, never written to, never waited on.
TEST_F(LogFeaturesTest, AFifoInPlaceOfTodaysLogIsSaidOnceAndNeverWaitedOn) {
    for (const bool withReader : {false, true}) {
        SCOPED_TRACE(withReader ? "with a reader" : "without a reader");
        ASSERT_TRUE(QDir().mkpath(ServerFolder()));
        QFile::remove(TodaysFile());
        ASSERT_EQ(::mkfifo(QFile::encodeName(TodaysFile()).constData(), 0600), 0);
        const int reader =
            withReader ? ::open(QFile::encodeName(TodaysFile()).constData(), O_RDONLY | O_NONBLOCK)
                       : -1;
        dlg.reset();
        LogIn();
        Dlg().m_statusLog->File().Flush();
        Dlg().AppendLog("more", COLOUR_BLACK, true);
        Dlg().m_statusLog->File().Flush();
        EXPECT_EQ(Log().count("Log file not written"), 1) << Log().toStdString();
        EXPECT_TRUE(Log().contains(TodaysFile() + ": not a regular file")) << Log().toStdString();
        EXPECT_EQ(ColourOf("Log file not written"), QColor(102, 0, 0));
        char byte = 0;
        EXPECT_LE(::read(reader, &byte, 1), 0) << "nothing written to it";
        EXPECT_TRUE(IsFifo(TodaysFile()));
        ::close(reader);
        Dlg().OnConnect();
        Dlg().OnTimer(TIMER_POLL);
        ASSERT_TRUE(server.ReceiveOfType(MSG_QUIT));
    }
}

// A FIFO in place of the preferences file: the window says so once, uses the defaults and keeps
// what is set during the run in memory, and the FIFO stays.
TEST_F(LogFeaturesTest, AFifoInPlaceOfThePreferencesGivesDefaultsForTheRun) {
    ASSERT_TRUE(QDir().mkpath(configDir.filePath("vyr")));
    const QString fifo = configDir.filePath("vyr/vyr-admin.conf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(Log().count("could not be read; the defaults are used."), 1) << Log().toStdString();
    EXPECT_TRUE(Log().contains(fifo)) << Log().toStdString();
    EXPECT_TRUE(Dlg().m_statusLog->Options().keepLogFiles);
    dlg.reset(); // saves its size and place
    EXPECT_TRUE(IsFifo(fifo));

    CPreferences preferences(fifo);
    EXPECT_TRUE(preferences.Unreadable());
    preferences.Set(CPreferences::Key::WatchWord, "mayday");
    EXPECT_EQ(preferences.Text(CPreferences::Key::WatchWord), "mayday");
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

// A full disk, or a FIFO where the file should go: the old file stays as it was, nothing is left
// behind, and the reason is given.
TEST_F(LogFeaturesTest, SaveLogAsOnAFullDiskOrOverAFifoKeepsWhatWasThere) {
    Dlg().AppendLog(QString(1000, 'x'), COLOUR_BLACK, true);
    const QString dir = stateDir.filePath("saves");
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString saved = dir + "/saved.txt", fifo = dir + "/fifo.txt";
    WriteFile(saved, "old");
    {
        const FileSizeLimit fullDisk(16);
        EXPECT_EQ(SaveLog(*Dlg().m_log->document(), saved),
                  QString::fromLocal8Bit(strerror(EFBIG)));
    }
    EXPECT_EQ(ReadFile(saved), "old");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(SaveLog(*Dlg().m_log->document(), fifo), "not a regular file");
    EXPECT_TRUE(IsFifo(fifo));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::System | QDir::Hidden),
              QStringList({"fifo.txt", "saved.txt"}));
}
