// AppendLog: colours in the COLORREF byte order, lines built from two calls, the scrollback
// bound and following the newest line.
#include <QScrollBar>

#include "AdminDlgFixture.h"

namespace {

// (text, colour) of every run of text in the log, in order.
std::vector<std::pair<QString, QColor>> Runs(const QPlainTextEdit* log) {
    std::vector<std::pair<QString, QColor>> runs;
    for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            runs.emplace_back(it.fragment().text(),
                              it.fragment().charFormat().foreground().color());
        }
    }
    return runs;
}

} // namespace

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
    EXPECT_EQ(Runs(Dlg().m_log), expected);
    EXPECT_EQ(Log(), "Connecting...\nBob: hi\n\nDisconnected: Server shutdown.\n");
}

TEST_F(AdminDlgTest, ScrollbackKeepsTheNewestHundredThousandLines) {
    for (int i = 0; i < 100050; ++i) {
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
