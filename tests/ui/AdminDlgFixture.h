#pragma once
// A fresh admin window per test, with its own config and state directories (preferences, log
// files) and a recorder in place of the
// message box; the server is a loopback UDP peer or the demo server. Most tests drive the ticks
// by calling OnTimer; RealTime* tests run the window's own timers, alone.

#include <QtTest>
#include <QtWidgets>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>

#include "engine/Protocol.h"
#include "engine/Timers.h"
#include "res/Resource.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/UdpPeer.h"
#include "ui/AdminDlg.h"
#include "ui/PlayerTable.h"
#include "ui/SessionDriver.h"
#include "ui/StatusLog.h"

// What Shown() gives for a window that is not connected, whatever happened before.
inline const QString kIdle = "Connect 1111 00000 0";

// Runs the event loop, 5 ms at a time, until `done` holds or `timeout` passes; true when it holds.
// `stallMs` gets the longest a slice overran: the longest the event loop was kept from running.
inline bool RunEventLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                              qint64* stallMs = nullptr) {
    const QDeadlineTimer deadline(timeout);
    QElapsedTimer slice;
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(5, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        slice.start();
        loop.exec();
        if (stallMs) {
            *stallMs = std::max(*stallMs, slice.elapsed() - 5);
        }
    }
    return done();
}

class AdminDlgTest : public ::testing::Test {
  protected:
    AdminDlgTest() {
        qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
        qputenv("XDG_STATE_HOME", stateDir.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", dataDir.path().toLocal8Bit()); // the player memory
    }

    QString IniPath() const { return configDir.filePath("vyr.ini"); }
    static void WriteFile(const QString& path, const QByteArray& content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    static QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    CAdminDlg& Dlg() { return dlg ? *dlg : *(dlg = std::make_unique<CAdminDlg>()); }
    // The log's text without the times before its lines.
    QString Log() {
        static const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d ",
                                             QRegularExpression::MultilineOption);
        return Dlg().m_log->toPlainText().remove(time);
    }
    // The login fields as the admin sees them.
    QStringList Fields() {
        return {Dlg().m_userEdit->text(), Dlg().m_passwordEdit->text(),
                Dlg().m_savePassCheck->isChecked() ? "true" : "false", Dlg().m_hostEdit->text(),
                Dlg().m_portEdit->text()};
    }
    void FillIn(const QString& host, const QString& port, const QString& user = "admin",
                const QString& password = "admin") {
        Dlg().m_hostEdit->setText(host);
        Dlg().m_portEdit->setText(port);
        Dlg().m_userEdit->setText(user);
        Dlg().m_passwordEdit->setText(password);
    }

    // Presses Connect with the peer's address; the peer takes the login request, byte for byte.
    void PressConnect(const QString& password = "admin") {
        FillIn("127.0.0.1", QString::number(server.Port()), "admin", password);
        Dlg().OnConnect();
        ASSERT_EQ(server.ReceiveOfType(MSG_LOGIN),
                  wire::EncodeLogin("admin", password.toStdString()));
    }
    // Poll ticks, each when the socket has data or after 20 ms, until `done` holds (at most 5 s).
    bool PollUntil(const std::function<bool()>& done) {
        for (int round = 0; round < 250 && !done(); ++round) {
            pollfd socket{Dlg().m_pClient->link->socketHandle, POLLIN, 0};
            ::poll(&socket, 1, 20);
            Dlg().OnTimer(TIMER_POLL);
        }
        return done();
    }
    // Logs in to the peer, whose welcome lists `players`, and draws the player list.
    void LogIn(const std::vector<wire::PlayerEntry>& players = {}) {
        PressConnect();
        server.Send(wire::EncodeWelcome(players));
        ASSERT_TRUE(PollUntil([this] { return Dlg().m_bConnected; }));
        Dlg().OnTimer(TIMER_UI_REFRESH);
    }
    // Sends `datagram` as the peer and polls until the client has taken it.
    void ServerSends(const Bytes& datagram) {
        Dlg().m_pClient->heardFromServer = false;
        server.Send(datagram);
        ASSERT_TRUE(PollUntil([this] { return Dlg().m_pClient->heardFromServer; }));
    }

    // The window as the admin sees it: the button's caption ("+" when the window counts itself
    // connected), which login fields and which session controls are enabled, the players listed.
    QString Shown() {
        QString shown = Dlg().m_connectButton->text() + (Dlg().m_bConnected ? "+ " : " ");
        for (int id : {IDC_USERNAME, IDC_PASSWORD, IDC_HOST, IDC_PORT, 0, IDC_COMMAND, IDC_SEND,
                       IDC_KICK, IDC_BAN, IDC_SHUTDOWN}) {
            shown += id == 0 ? ' ' : Dlg().GetDlgItem(id)->isEnabled() ? '1' : '0';
        }
        return shown + ' ' + QString::number(Dlg().m_playerList->topLevelItemCount());
    }
    // (text, colour) of every run of text in the log, in order.
    std::vector<std::pair<QString, QColor>> Runs() {
        std::vector<std::pair<QString, QColor>> runs;
        for (auto line = Dlg().m_log->document()->begin(); line.isValid(); line = line.next()) {
            for (const QTextLayout::FormatRange& run : line.textFormats()) {
                if (run.format.foreground().color() == QColor(128, 128, 128)) {
                    continue; // the line's time
                }
                runs.emplace_back(line.text().mid(run.start, run.length),
                                  run.format.foreground().color());
            }
        }
        return runs;
    }

    QTemporaryDir configDir;
    QTemporaryDir stateDir;
    QTemporaryDir dataDir;
    MessageBoxRecorder boxes;
    UdpPeer server;
    std::unique_ptr<CAdminDlg> dlg; // last, so it closes (and saves) before the rest goes
};

// Shown at its real size, as the admin has it open.
class RealTimeWindowTest : public AdminDlgTest {
  protected:
    RealTimeWindowTest() { Dlg().show(); }
};
