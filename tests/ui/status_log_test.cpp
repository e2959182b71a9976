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

TEST_F(AdminDlgTest, ViewFollowsTheNewestLineUnlessScrolledUp) {
    Dlg().show();
    QScrollBar* bar = Dlg().m_log->verticalScrollBar();
    for (int i = 0; i < 50; ++i) {
        Dlg().AppendLog("line", COLOUR_BLACK, true);
    }
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(3);
    Dlg().AppendLog("while reading", COLOUR_BLACK, true);
    EXPECT_EQ(bar->value(), 3);
}
