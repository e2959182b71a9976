#include "bench/WindowHarness.h"

#include <QApplication>
#include <string>

#include "bench/BenchRoster.h"

WindowHarness::WindowHarness() {
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", configDir.path().toLocal8Bit()); // log files, when a bench keeps them
    qputenv("XDG_DATA_HOME", configDir.path().toLocal8Bit());  // the player memory
    dlg = std::make_unique<CAdminDlg>();
    dlg->show();
    ProcessEvents();
}

WindowHarness::~WindowHarness() {
    dlg.reset(); // saves its settings into the private directory while it still exists
}

void WindowHarness::GiveClient(const std::vector<wire::PlayerEntry>& players) {
    dlg->m_pClient = std::make_unique<CAdminClient>();
    FillRoster(*dlg->m_pClient->roster, players);
}

LogEntry WindowHarness::LogLine(int index) {
    const std::string a = BenchPlayerName(index % 61);
    const std::string b = BenchPlayerName((index * 7 + 3) % 61);
    switch (index % 5) {
    case 0:
        return {a + " killed " + b + ".", COLOUR_RED};
    case 1:
        return {a + ": anyone up for a rematch?", COLOUR_BLACK};
    case 2:
        return {a + " has joined the game.", COLOUR_GREEN};
    case 3:
        return {b + ": cover the north door", COLOUR_BROWN};
    default:
        return {a + " has left the game.", COLOUR_GREEN};
    }
}

void ProcessEvents() {
    QApplication::sendPostedEvents();
    QApplication::processEvents(QEventLoop::AllEvents);
}
