#pragma once
// The admin window for the benchmarks, alone (WindowHarness) or as tabs of the main window
// (TabsHarness). The window loads and saves its settings, so every harness points
// XDG_CONFIG_HOME at a private temporary directory first; the Qt platform is the one
// QT_QPA_PLATFORM names, offscreen when it names none.

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "engine/Protocol.h"
#include "tests/support/ProcessStats.h"
#include "tests/support/qt/Offscreen.h"
#include "ui/AdminDlg.h"
#include "ui/MainWindow.h"

class WindowHarness {
  public:
    WindowHarness(); // the window, shown, with its first paint done
    ~WindowHarness();

    CAdminDlg& Dlg() { return *dlg; }
    // A client (not connected) for the window's ticks, its shared roster holding `players`.
    void GiveClient(const std::vector<wire::PlayerEntry>& players);
    // A log entry of the kinds the client makes, with its colour; varies with `index`.
    static LogEntry LogLine(int index);

  private:
    QTemporaryDir configDir;
    std::unique_ptr<CAdminDlg> dlg;
};

// The main window with `tabs` tabs, shown, the first one in view.
class TabsHarness {
  public:
    explicit TabsHarness(int tabs);
    ~TabsHarness();

    CMainWindow& Window() { return *window; }
    CAdminDlg& Tab(int index) { return *window->Page(index); }
    // Each tab logs in to the server on the port of its index (user and password "admin");
    // false when they are not all connected within 10 s.
    bool ConnectAll(const std::vector<int>& ports);

  private:
    QTemporaryDir configDir;
    std::unique_ptr<CMainWindow> window;
};

// Runs the event loop until nothing is left to do (paints included).
void ProcessEvents();
// Runs the event loop for `milliseconds`.
void RunFor(int milliseconds);
