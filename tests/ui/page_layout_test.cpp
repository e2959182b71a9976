// The page at every width: the template's layout up to where the log keeps its width beside a
// column of the player table's own, then the column at full height, its width remembered.
#include "MainWindowFixture.h"
#include "engine/PlayerList.h"
#include "ui/PlayerColumn.h"
#include "ui/PlayerTable.h"

namespace {

// Where the player table stands: beside the connection group (narrow) or in its column (wide).
bool InColumn(CAdminDlg& tab) {
    return tab.m_playerColumn->Wide() && tab.m_playerList->isVisible() &&
           tab.m_playerList->mapTo(&tab, QPoint(0, 0)).x() >
               tab.m_log->mapTo(&tab, QPoint(0, 0)).x() + tab.m_log->width();
}

TEST_F(MainWindowTest, ThePlayerTableTakesAColumnOnlyWhereTheLogKeepsItsWidth) {
    CAdminDlg& tab = Tab(0);
    const QSize least = Window().size();
    const int logWidth = tab.m_log->width();
    for (const int extra : {0, 100, 200}) {
        Window().resize(least.width() + extra, least.height() + 300);
        QApplication::processEvents();
        EXPECT_FALSE(tab.m_playerColumn->Wide()) << extra;
        EXPECT_LT(tab.m_playerList->mapTo(&tab, QPoint(0, 0)).y(),
                  tab.m_log->mapTo(&tab, QPoint(0, 0)).y());
    }
    Window().resize(1600, 900);
    QApplication::processEvents();
    EXPECT_TRUE(InColumn(tab));
    EXPECT_GE(tab.m_log->width(), logWidth);
    EXPECT_GT(tab.m_playerList->height(), tab.m_log->height()) << "at full height beside the log";
    Window().resize(least);
    QApplication::processEvents();
    EXPECT_FALSE(tab.m_playerColumn->Wide());
    EXPECT_EQ(tab.m_log->width(), logWidth) << "back as the template has it";
}

// A full 1080p screen less a title bar, a desktop panel and the tab bar: a server's 64 players
// all in view. Today's top-row table shows 9.
TEST_F(MainWindowTest, SixtyFourPlayersFitWithoutScrollingOnA1080pScreen) {
    CAdminDlg& tab = Tab(0);
    Window().NewTab(); // the tab bar shows and takes its height
    Window().m_tabs->setCurrentIndex(0);
    Window().resize(1920, 1080 - 37 - 32);
    QApplication::processEvents();
    ASSERT_TRUE(tab.m_playerColumn->Wide());
    CPlayerList roster;
    for (int id = 0; id < 64; ++id) {
        roster.Add(static_cast<std::uint8_t>(id), "Player" + std::to_string(id));
    }
    tab.m_playerList->Redraw(roster);
    QApplication::processEvents();
    EXPECT_EQ(tab.m_playerList->topLevelItemCount(), 64);
    EXPECT_EQ(tab.m_playerList->verticalScrollBar()->maximum(), 0)
        << "rows of "
        << tab.m_playerList->visualItemRect(tab.m_playerList->topLevelItem(0)).height() << " px in "
        << tab.m_playerList->viewport()->height() << " px";
}

// The admin's width for the column is every tab's, and the next start's.
TEST_F(MainWindowTest, TheColumnsWidthIsSharedByTheTabsAndRemembered) {
    Window().NewTab();
    Window().m_tabs->setCurrentIndex(0);
    Window().resize(1600, 900);
    QApplication::processEvents();
    CAdminDlg& tab = Tab(0);
    ASSERT_TRUE(tab.m_playerColumn->Wide());
    QSplitter* splitter = tab.findChild<QSplitter*>("columnSplitter");
    ASSERT_NE(splitter, nullptr);
    const int total = splitter->sizes()[0] + splitter->sizes()[1];
    splitter->setSizes({total - 420, 420});
    emit splitter->splitterMoved(total - 420, 1);
    EXPECT_EQ(tab.m_playerColumn->ColumnWidth(), 420);
    EXPECT_EQ(Tab(1).m_playerColumn->ColumnWidth(), 420);
    Restart();
    Window().resize(1600, 900);
    QApplication::processEvents();
    QSplitter* again = Tab(0).findChild<QSplitter*>("columnSplitter");
    ASSERT_TRUE(Tab(0).m_playerColumn->Wide());
    EXPECT_EQ(again->sizes()[1], 420);
}

} // namespace
