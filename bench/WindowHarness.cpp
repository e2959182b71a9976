#include "bench/WindowHarness.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
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

TabsHarness::TabsHarness(int tabs) {
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", configDir.path().toLocal8Bit());
    window = std::make_unique<CMainWindow>();
    while (window->Count() < tabs) {
        window->NewTab();
    }
    window->m_tabs->setCurrentIndex(0);
    window->show();
    ProcessEvents();
}

TabsHarness::~TabsHarness() {
    window.reset(); // logs out and saves while the private directory still exists
}

bool TabsHarness::ConnectAll(const std::vector<int>& ports) {
    for (int i = 0; i < window->Count() && i < static_cast<int>(ports.size()); ++i) {
        CAdminDlg& tab = Tab(i);
        tab.m_hostEdit->setText("127.0.0.1");
        tab.m_portEdit->setText(QString::number(ports[static_cast<std::size_t>(i)]));
        tab.m_userEdit->setText("admin");
        tab.m_passwordEdit->setText("admin");
        tab.OnConnect();
    }
    const auto connected = [this] {
        for (int i = 0; i < window->Count(); ++i) {
            if (!Tab(i).m_bConnected) {
                return false;
            }
        }
        return true;
    };
    for (int waited = 0; !connected() && waited < 10000; waited += 50) {
        RunFor(50);
    }
    return connected();
}

void RunFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void ProcessEvents() {
    QApplication::sendPostedEvents();
    QApplication::processEvents(QEventLoop::AllEvents);
}
