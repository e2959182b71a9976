#include "bench/WindowHarness.h"

#include <QApplication>
#include <fstream>
#include <string>

#include "bench/BenchRoster.h"

namespace {

long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size(), field) == 0) {
            return std::stol(line.substr(field.size()));
        }
    }
    return -1;
}

} // namespace

void UseOffscreenUnlessSet() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

WindowHarness::WindowHarness() {
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", configDir.path().toLocal8Bit()); // log files, when a bench keeps them
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

long ResidentKiB() {
    return StatusKiB("VmRSS:");
}

long PeakResidentKiB() {
    return StatusKiB("VmHWM:");
}
