// AppendLog: colours in the COLORREF byte order, lines built from two calls, the scrollback
// bound and following the newest line.
#include "AdminDlgFixture.h"

TEST_F(AdminDlgTest, EachTextKeepsItsOwnColourInByteOrder) {
    Dlg().AppendLog("Connecting...", COLOUR_BLUE, true);
    Dlg().AppendLog("Bob: hi", COLOUR_BROWN, true);
    Dlg().AppendLog("", COLOUR_GREEN, true);
    Dlg().AppendLog("Disconnected: ", COLOUR_RED, false);
    Dlg().AppendLog("Server shutdown.", COLOUR_RED, true);
    const std::vector<std::pair<QString, QColor>> expected = {
        {"Connecting...", QColor(0, 51, 153)},
        {"Bob: hi", QColor(74, 56, 0)},
        {"Disconnected: Server shutdown.", QColor(153, 0, 0)},
    };
    EXPECT_EQ(Runs(), expected);
    EXPECT_EQ(Log(), "Connecting...\nBob: hi\n\nDisconnected: Server shutdown.\n");
}

TEST_F(AdminDlgTest, ScrollbackKeepsTheNewestHundredThousandLines) {
    LogOptions noTimes;
    noTimes.showTimestamps = false;
    Dlg().SetLogOptions(noTimes);
    QStringList lines;
    for (int i = 0; i < 100000; ++i) {
        lines << QString::number(i);
    }
    Dlg().AppendLog(lines.join('\n'), COLOUR_BLACK, true); // one edit, to keep the test fast
    for (int i = 100000; i < 100050; ++i) {
        Dlg().AppendLog(QString::number(i), COLOUR_BLACK, true);
    }
    const QTextDocument* document = Dlg().m_log->document();
    EXPECT_EQ(document->blockCount(), 100000);
    EXPECT_EQ(document->firstBlock().text(), "51");
    EXPECT_EQ(document->lastBlock().previous().text(), "100049");
}

TEST_F(AdminDlgTest, ScrolledUpTheViewStaysAndKeysBackToTheEndFollowAgain) {
    Dlg().show();
    QScrollBar* bar = Dlg().m_log->verticalScrollBar();
    for (const auto& keys : {QKeySequence(Qt::CTRL | Qt::Key_End), QKeySequence(Qt::Key_PageDown),
                             QKeySequence(Qt::Key_Down)}) {
        SCOPED_TRACE(keys.toString().toStdString());
        for (int i = 0; i < 50; ++i) {
            Dlg().AppendLog("line " + QString::number(i), COLOUR_BLACK, true);
        }
        bar->setValue(0);
        Dlg().m_log->moveCursor(QTextCursor::End);
        Dlg().m_log->moveCursor(QTextCursor::Up); // on the last line, the view scrolled away
        bar->setValue(0);
        Dlg().AppendLog("while reading", COLOUR_BLACK, true);
        EXPECT_EQ(bar->value(), 0);
        QTest::keySequence(Dlg().m_log, keys);
        Dlg().AppendLog("newest", COLOUR_BLACK, true);
        EXPECT_EQ(bar->value(), bar->maximum());
        QTextCursor newest(Dlg().m_log->document()->lastBlock().previous());
        EXPECT_LE(Dlg().m_log->cursorRect(newest).bottom(), Dlg().m_log->viewport()->height());
    }
}
