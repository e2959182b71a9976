#pragma once
// The window run the way an admin runs it: on its real timers inside the real event loop, with
// a recorder in place of the message box and a config directory of its own. Adds a probe that
// measures how long the event loop was kept from running.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "tests/support/MessageBoxRecorder.h"
#include "ui/AdminDlg.h"

// Runs the event loop until `done` holds or `timeout` passes; true when it holds.
inline bool RunEventLoopUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(5);
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

inline void RunEventLoopFor(std::chrono::milliseconds time) {
    RunEventLoopUntil([] { return false; }, time);
}

// A timer that should fire every few milliseconds; the longest gap between two of its ticks,
// less its period, is the longest time the event loop was kept busy.
class StallProbe {
  public:
    StallProbe() {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            longestGapMs = std::max(longestGapMs, sinceLastTick.restart());
        });
        sinceLastTick.start();
        timer.start(kPeriodMs);
    }
    qint64 LongestStallMs() const { return std::max<qint64>(0, longestGapMs - kPeriodMs); }

  private:
    static constexpr int kPeriodMs = 5;
    QTimer timer;
    QElapsedTimer sinceLastTick;
    qint64 longestGapMs = 0;
};

class WindowFaultTest : public ::testing::Test {
  protected:
    WindowFaultTest() { qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit()); }

    CAdminDlg& Dlg() {
        if (!dlg) {
            dlg = std::make_unique<CAdminDlg>();
            dlg->show(); // laid out at its real size, as the admin has it open
        }
        return *dlg;
    }

    void FillIn(const QString& host, const QString& port, const QString& user = "admin",
                const QString& password = "admin") {
        Dlg().m_hostEdit->setText(host);
        Dlg().m_portEdit->setText(port);
        Dlg().m_userEdit->setText(user);
        Dlg().m_passwordEdit->setText(password);
    }

    QString Log() { return Dlg().m_log->toPlainText(); }

    QTemporaryDir configDir;
    MessageBoxRecorder boxes;
    std::unique_ptr<CAdminDlg> dlg; // last, so it closes (and saves) before the rest goes
};

// The same, for tests that measure time on the real event loop: they run alone.
class RealTimeWindowTest : public WindowFaultTest {};
