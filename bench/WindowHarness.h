#pragma once
// The admin window for the benchmarks. The window loads and saves its settings, so every
// harness points XDG_CONFIG_HOME at a private temporary directory first; the Qt platform is
// the one QT_QPA_PLATFORM names, offscreen when it names none.

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "engine/Protocol.h"
#include "tests/support/ProcessStats.h"
#include "tests/support/qt/Offscreen.h"
#include "ui/AdminDlg.h"

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

// Runs the event loop until nothing is left to do (paints included).
void ProcessEvents();
